#include "protocol/datafuncs.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "store/mytypes.h"

// Bounds: servers send these replies without any length field, so every read below is checked
// against the received bytes. A datagram too short to hold the kind byte is not a reply at all
// and leaves every output untouched. A reply cut short keeps what was read before the cut.

namespace {

constexpr char KindDetails = 'm';
constexpr char KindPlayers = 'D';
constexpr char KindRules = 'E';
constexpr char KindConsoleText = 'l';

constexpr std::size_t FirstFieldOffset = ReplyKindOffset + 1;
constexpr std::size_t ChallengeOffset = 19;
constexpr std::size_t ShortConsoleReplyMax = 7;
constexpr char ShortConsoleReplyLine[] = "---> Erfolgreich!!!!";
constexpr char EmptyDownloadUrl[] = "none";
constexpr char EmptyRuleValue[] = "not set";

bool HasKind(std::string_view reply, char kind) {
  return reply.size() > ReplyKindOffset && reply[ReplyKindOffset] == kind;
}

// Reads the fields of a reply one after another. Every read checks the remaining bytes; a read
// that does not fit fails and leaves the position where it was.
struct ReplyReader {
  std::string_view bytes;
  std::size_t pos = FirstFieldOffset;

  std::size_t Remaining() const { return bytes.size() - std::min(pos, bytes.size()); }

  std::optional<std::uint8_t> Byte() {
    if (Remaining() < 1) return std::nullopt;
    return static_cast<std::uint8_t>(bytes[pos++]);
  }

  std::optional<std::uint32_t> UInt32() {
    if (Remaining() < 4) return std::nullopt;
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
      value |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[pos + i])) << (8 * i);
    }
    pos += 4;
    return value;
  }

  std::optional<std::int32_t> Int32() {
    const std::optional<std::uint32_t> value = UInt32();
    if (!value) return std::nullopt;
    return static_cast<std::int32_t>(*value);
  }

  std::optional<std::int16_t> Int16() {
    if (Remaining() < 2) return std::nullopt;
    const auto low = static_cast<std::uint8_t>(bytes[pos]);
    const auto high = static_cast<std::uint8_t>(bytes[pos + 1]);
    pos += 2;
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(low | (high << 8)));
  }

  // A zero-terminated text. Without its zero byte the text fails.
  std::optional<std::string_view> Text() {
    if (Remaining() < 1) return std::nullopt;
    const std::size_t end = bytes.find('\0', pos);
    if (end == std::string_view::npos) return std::nullopt;
    const std::string_view text = bytes.substr(pos, end - pos);
    pos = end + 1;
    return text;
  }

  // A zero-terminated text, or the bytes up to the end when the zero byte is missing.
  std::optional<std::string_view> TextOrRest() {
    if (Remaining() < 1) return std::nullopt;
    if (const std::optional<std::string_view> text = Text()) return text;
    const std::string_view rest = bytes.substr(pos);
    pos = bytes.size();
    return rest;
  }
};

// Reads the text into `field` when it is there; false when the reply ends first.
bool ReadDetailText(ReplyReader& reader, std::string& field) {
  const std::optional<std::string_view> text = reader.TextOrRest();
  if (!text) return false;
  field.assign(text->data(), text->size());
  return true;
}

bool ReadDetailByte(ReplyReader& reader, std::uint8_t& field) {
  const std::optional<std::uint8_t> value = reader.Byte();
  if (!value) return false;
  field = *value;
  return true;
}

bool ReadDetailInt32(ReplyReader& reader, std::int32_t& field) {
  const std::optional<std::int32_t> value = reader.Int32();
  if (!value) return false;
  field = *value;
  return true;
}

// The mod block after a mod flag of 1. An empty download address becomes `emptyDownloadUrl`.
void ReadModBlock(ReplyReader& reader, TDetailInfo& info, std::string_view emptyDownloadUrl) {
  if (!ReadDetailText(reader, info.ModInfoUrl)) return;
  if (!ReadDetailText(reader, info.ModDownloadUrl)) return;
  if (info.ModDownloadUrl.empty()) info.ModDownloadUrl = emptyDownloadUrl;
  // One byte stands between the download address and the version; it means nothing to us.
  if (!reader.Byte()) return;
  if (!ReadDetailInt32(reader, info.ModVersion)) return;
  if (!ReadDetailInt32(reader, info.ModSize)) return;
  if (!ReadDetailByte(reader, info.ModServerOnly)) return;
  ReadDetailByte(reader, info.ModClientDll);
}

// Details: a text cut off by the end of the datagram keeps the bytes up to the end, and the
// fields after the cut keep their empty or zero values.
void ReadDetails(ReplyReader& reader, TDetailInfo& info, std::string_view emptyDownloadUrl) {
  for (std::string* text :
       {&info.ServerAddress, &info.ServerName, &info.MapName, &info.GameDir, &info.GameName}) {
    if (!ReadDetailText(reader, *text)) return;
  }
  for (std::uint8_t* byte : {&info.PlayerCount, &info.MaxPlayers, &info.Protocol, &info.ServerType,
                             &info.ServerOS, &info.HasPassword, &info.IsMod}) {
    if (!ReadDetailByte(reader, *byte)) return;
  }
  if (info.IsMod == 1) ReadModBlock(reader, info, emptyDownloadUrl);
}

// The smallest entries on the wire: a player takes an index, a zero byte and eight number
// bytes, a rule two zero bytes. Room is made only for as many as the datagram can hold.
constexpr std::size_t MinPlayerSize = 10;
constexpr std::size_t MinRuleSize = 2;

// The complete player entries of a players reply, each made by `make` from its index, name (a
// view into the reply), frags and time. Only complete entries count, so a list cut short never
// claims entries it does not hold.
template <typename Item, typename Make>
std::vector<Item> ReadPlayers(std::string_view reply, Make make) {
  ReplyReader reader{reply};
  std::vector<Item> items;
  const std::uint8_t count = reader.Byte().value_or(0);
  items.reserve(std::min<std::size_t>(count, reader.Remaining() / MinPlayerSize));
  for (std::size_t i = 0; i < count; ++i) {
    const std::optional<std::uint8_t> index = reader.Byte();
    const std::optional<std::string_view> name = index ? reader.Text() : std::nullopt;
    const std::optional<std::int32_t> frags = name ? reader.Int32() : std::nullopt;
    const std::optional<std::uint32_t> time = frags ? reader.UInt32() : std::nullopt;
    if (!time) break;
    items.push_back(make(*index, *name, *frags, *time));
  }
  return items;
}

// The complete rule entries of a rules reply, each made by `make` from its name and value
// (views into the reply); none when the count is zero or less.
template <typename Item, typename Make>
std::vector<Item> ReadRules(std::string_view reply, Make make) {
  ReplyReader reader{reply};
  std::vector<Item> items;
  const std::int16_t count = reader.Int16().value_or(0);
  if (count <= 0) return items;
  items.reserve(
      std::min<std::size_t>(static_cast<std::size_t>(count), reader.Remaining() / MinRuleSize));
  for (std::int16_t i = 0; i < count; ++i) {
    const std::optional<std::string_view> name = reader.Text();
    const std::optional<std::string_view> value = name ? reader.Text() : std::nullopt;
    if (!value) break;
    items.push_back(make(*name, *value));
  }
  return items;
}

}  // namespace

std::optional<TDetailInfo> DecodeDetails(std::string_view reply) {
  if (!HasKind(reply, KindDetails)) return std::nullopt;
  ReplyReader reader{reply};
  TDetailInfo decoded;
  ReadDetails(reader, decoded, {});
  return decoded;
}

void ParseDetails(std::string_view reply, TDetailInfo& info) {
  if (!HasKind(reply, KindDetails)) return;
  ReplyReader reader{reply};
  TDetailInfo decoded;
  ReadDetails(reader, decoded, EmptyDownloadUrl);
  info = std::move(decoded);
}

std::optional<std::vector<PlayerEntry>> DecodePlayers(std::string_view reply) {
  if (!HasKind(reply, KindPlayers)) return std::nullopt;
  return ReadPlayers<PlayerEntry>(
      reply, [](std::uint8_t index, std::string_view name, std::int32_t frags, std::uint32_t time) {
        return PlayerEntry{index, std::string(name), frags, time};
      });
}

// Count is the number of entries kept.
void ParsePlayers(std::string_view reply, TPlayerList& list) {
  if (!HasKind(reply, KindPlayers)) return;
  TPlayerList decoded;
  decoded.Items = ReadPlayers<TPlayerItem>(
      reply, [](std::uint8_t index, std::string_view name, std::int32_t frags, std::uint32_t time) {
        return TPlayerItem{index, name, frags, time};
      });
  decoded.Count = static_cast<std::uint8_t>(decoded.Items.size());
  list = std::move(decoded);
}

std::optional<std::vector<RuleEntry>> DecodeRules(std::string_view reply) {
  if (!HasKind(reply, KindRules)) return std::nullopt;
  return ReadRules<RuleEntry>(reply, [](std::string_view name, std::string_view value) {
    return RuleEntry{std::string(name), std::string(value)};
  });
}

// Count is the number of entries kept; a count of zero or less stays as received, and a
// datagram without a whole count field gives Count 0.
void ParseRules(std::string_view reply, TRuleList& list) {
  if (!HasKind(reply, KindRules)) return;
  TRuleList decoded;
  decoded.Items = ReadRules<TRuleItem>(reply, [](std::string_view name, std::string_view value) {
    return TRuleItem{name, value.empty() ? std::string_view(EmptyRuleValue) : value};
  });
  const std::int16_t count = ReplyReader{reply}.Int16().value_or(0);
  decoded.Count = count > 0 ? static_cast<std::int16_t>(decoded.Items.size()) : count;
  list = std::move(decoded);
}

// Console text: the last two bytes of the datagram are never part of the text, and offset
// L - 3 always ends a line, so the scan stays inside the datagram by construction.
std::optional<std::vector<std::string>> ParseRconReply(std::string_view reply) {
  if (!HasKind(reply, KindConsoleText)) return std::nullopt;
  std::vector<std::string> lines;
  if (reply.size() <= ShortConsoleReplyMax) {
    lines.emplace_back(ShortConsoleReplyLine);
    return lines;
  }
  const std::size_t lastOffset = reply.size() - 3;
  std::string line;
  for (std::size_t i = FirstFieldOffset; i <= lastOffset; ++i) {
    if (reply[i] == '\n' || i == lastOffset) {
      // A line of one character is not a line of its own: it opens the next one.
      if (line.size() == 1) continue;
      lines.push_back(std::move(line));
      line.clear();
    } else {
      line.push_back(reply[i]);
    }
  }
  return lines;
}

// Challenge: from its offset to the first line feed, zero byte or the end of the datagram; a
// datagram that ends before the offset has no challenge. A zero byte would cut every console
// line that carries the challenge.
std::string ExtractChallenge(std::string_view reply) {
  if (reply.size() <= ChallengeOffset) return std::string();
  const std::string_view rest = reply.substr(ChallengeOffset);
  return std::string(rest.substr(0, rest.find_first_of(std::string_view("\n\0", 2))));
}

namespace {

std::string CutShort(const char* reply, const char* field) {
  return std::string("the ") + reply + " reply is cut short in its " + field;
}

std::string FewerEntries(const char* reply, std::size_t held, long counted, const char* entries) {
  return std::string("the ") + reply + " reply holds " + std::to_string(held) + " of the " +
         std::to_string(counted) + " " + entries + " it counts";
}

std::string DetailsShortfall(std::string_view reply) {
  ReplyReader reader{reply};
  for (const char* text : {"server address", "server name", "map", "game folder", "game name"})
    if (!reader.Text()) return CutShort("details", text);
  std::uint8_t modFlag = 0;
  for (const char* byte : {"player count", "player maximum", "protocol", "server type",
                           "operating system", "password flag", "mod flag"})
    if (!ReadDetailByte(reader, modFlag)) return CutShort("details", byte);
  if (modFlag != 1) return {};
  if (!reader.Text()) return CutShort("details", "mod information address");
  if (!reader.Text()) return CutShort("details", "mod download address");
  if (!reader.Byte() || !reader.Int32()) return CutShort("details", "mod version");
  if (!reader.Int32()) return CutShort("details", "mod size");
  if (!reader.Byte()) return CutShort("details", "server-only flag");
  if (!reader.Byte()) return CutShort("details", "client library flag");
  return {};
}

std::string PlayersShortfall(std::string_view reply) {
  const std::optional<std::uint8_t> count = ReplyReader{reply}.Byte();
  if (!count) return CutShort("players", "player count");
  const std::size_t held =
      ReadPlayers<bool>(reply, [](std::uint8_t, std::string_view, std::int32_t, std::uint32_t) {
        return true;
      }).size();
  return held < *count ? FewerEntries("players", held, *count, "players") : std::string();
}

std::string RulesShortfall(std::string_view reply) {
  const std::optional<std::int16_t> count = ReplyReader{reply}.Int16();
  if (!count) return CutShort("rules", "rule count");
  if (*count < 0) return "the rules reply counts " + std::to_string(*count) + " rules";
  const std::size_t held =
      ReadRules<bool>(reply, [](std::string_view, std::string_view) { return true; }).size();
  return held < std::size_t(*count) ? FewerEntries("rules", held, *count, "rules") : std::string();
}

}  // namespace

std::string ReplyShortfall(std::string_view reply) {
  switch (ReplyKind(reply)) {
    case KindDetails:
      return DetailsShortfall(reply);
    case KindPlayers:
      return PlayersShortfall(reply);
    case KindRules:
      return RulesShortfall(reply);
  }
  return {};
}
