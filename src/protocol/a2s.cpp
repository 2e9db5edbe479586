#include "protocol/a2s.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "protocol/datafuncs.h"
#include "store/mytypes.h"

namespace {

constexpr char KindChallenge = 'A';
constexpr char KindInfo = 'I';
constexpr char KindOlderInfo = 'm';
constexpr std::size_t ChallengeSize = 4;
constexpr std::size_t FirstFieldOffset = ReplyKindOffset + 1;
constexpr std::size_t AppIdSize = 2;

const std::string Header(4, '\xFF');
const std::string FirstChallenge(ChallengeSize, '\xFF');

constexpr std::uint8_t Dedicated = 'd';
constexpr std::uint8_t Listen = 'l';
constexpr std::uint8_t Linux = 'l';
constexpr std::uint8_t Windows = 'w';

bool HasKind(std::string_view reply, char kind) {
  return reply.size() > ReplyKindOffset && reply[ReplyKindOffset] == kind;
}

// The game that adds three bytes (mode, witnesses, duration) after the anti-cheat byte.
constexpr std::uint16_t ShipAppId = 2400;
constexpr std::size_t ShipFieldsSize = 3;

// Flags of the extra data after the version, in the order of their fields.
constexpr std::uint8_t ExtraGamePort = 0x80;
constexpr std::uint8_t ExtraSteamId = 0x10;
constexpr std::uint8_t ExtraRelay = 0x40;
constexpr std::uint8_t ExtraKeywords = 0x20;
constexpr std::uint8_t ExtraGameId = 0x01;

// Reads the fields of an info reply one after another, never beyond its end.
struct InfoReader {
  std::string_view bytes;
  std::size_t pos = FirstFieldOffset;

  bool AtEnd() const { return pos >= bytes.size(); }

  bool Byte(std::uint8_t& field) {
    if (AtEnd()) return false;
    field = static_cast<std::uint8_t>(bytes[pos++]);
    return true;
  }

  std::optional<std::uint8_t> Byte() {
    std::uint8_t value = 0;
    if (!Byte(value)) return std::nullopt;
    return value;
  }

  // A little-endian number of `size` bytes.
  std::optional<std::uint64_t> Number(std::size_t size) {
    if (bytes.size() - pos < size) return std::nullopt;
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < size; ++i)
      value |= static_cast<std::uint64_t>(static_cast<std::uint8_t>(bytes[pos + i])) << (8 * i);
    pos += size;
    return value;
  }

  bool Skip(std::size_t count) {
    if (bytes.size() - pos < count) return false;
    pos += count;
    return true;
  }

  // A zero-terminated text; without its zero byte it runs to the end of the reply.
  bool Text(std::string& field) {
    if (AtEnd()) return false;
    const std::size_t end = std::min(bytes.find('\0', pos), bytes.size());
    field.assign(bytes.substr(pos, end - pos));
    pos = std::min(end + 1, bytes.size());
    return true;
  }

  std::optional<std::string> Text() {
    std::string text;
    if (!Text(text)) return std::nullopt;
    return text;
  }
};

void ReadExtraData(InfoReader& reader, A2sInfo& info) {
  const std::optional<std::uint8_t> flags = reader.Byte();
  if (!flags) return;
  if (*flags & ExtraGamePort) {
    if (const std::optional<std::uint64_t> port = reader.Number(2))
      info.gamePort = static_cast<std::uint16_t>(*port);
    else
      return;
  }
  if (*flags & ExtraSteamId) {
    info.steamId = reader.Number(8);
    if (!info.steamId) return;
  }
  if (*flags & ExtraRelay) {
    if (const std::optional<std::uint64_t> port = reader.Number(2))
      info.relayPort = static_cast<std::uint16_t>(*port);
    else
      return;
    info.relayName = reader.Text();
    if (!info.relayName) return;
  }
  if (*flags & ExtraKeywords) {
    info.keywords = reader.Text();
    if (!info.keywords) return;
  }
  if (*flags & ExtraGameId) info.gameId = reader.Number(8);
}

void ReadInfo(InfoReader& reader, A2sInfo& info) {
  if (!reader.Byte(info.protocol)) return;
  for (std::string* text : {&info.name, &info.map, &info.folder, &info.game})
    if (!reader.Text(*text)) return;
  const std::optional<std::uint64_t> appId = reader.Number(AppIdSize);
  if (!appId) return;
  info.appId = static_cast<std::uint16_t>(*appId);
  if (!reader.Byte(info.players) || !reader.Byte(info.maxPlayers) || !reader.Byte(info.bots))
    return;
  for (std::optional<std::uint8_t>* byte :
       {&info.serverType, &info.environment, &info.visibility, &info.vac}) {
    *byte = reader.Byte();
    if (!*byte) return;
  }
  if (info.appId == ShipAppId && !reader.Skip(ShipFieldsSize)) return;
  info.version = reader.Text();
  if (info.version) ReadExtraData(reader, info);
}

}  // namespace

std::optional<A2sQuery> A2sQueryFor(std::string_view command) {
  if (command == "details") return A2sQuery::Info;
  if (command == "players") return A2sQuery::Players;
  if (command == "rules") return A2sQuery::Rules;
  return std::nullopt;
}

std::string A2sRequest(A2sQuery query, std::string_view challenge) {
  switch (query) {
    case A2sQuery::Info:
      return Header + "TSource Engine Query" + '\0' + std::string(challenge);
    case A2sQuery::Players:
      return Header + 'U' + std::string(challenge.empty() ? FirstChallenge : challenge);
    case A2sQuery::Rules:
      return Header + 'V' + std::string(challenge.empty() ? FirstChallenge : challenge);
  }
  return {};
}

std::optional<std::string> A2sChallenge(std::string_view reply) {
  if (!HasKind(reply, KindChallenge) || reply.size() < FirstFieldOffset + ChallengeSize)
    return std::nullopt;
  return std::string(reply.substr(FirstFieldOffset, ChallengeSize));
}

bool IsInfoReply(std::string_view reply) {
  return HasKind(reply, KindInfo) || HasKind(reply, KindOlderInfo);
}

std::optional<A2sInfo> DecodeA2sInfo(std::string_view reply) {
  if (!HasKind(reply, KindInfo)) return std::nullopt;
  InfoReader reader{reply};
  A2sInfo info;
  ReadInfo(reader, info);
  return info;
}

void ParseA2sInfo(std::string_view reply, TDetailInfo& info) {
  const std::optional<A2sInfo> a2s = DecodeA2sInfo(reply);
  if (!a2s) return;
  TDetailInfo decoded;
  decoded.Protocol = a2s->protocol;
  decoded.ServerName = a2s->name;
  decoded.MapName = a2s->map;
  decoded.GameDir = a2s->folder;
  decoded.GameName = a2s->game;
  decoded.PlayerCount = a2s->players;
  decoded.MaxPlayers = a2s->maxPlayers;
  if (a2s->serverType) decoded.ServerType = *a2s->serverType == Dedicated ? Dedicated : Listen;
  if (a2s->environment) decoded.ServerOS = *a2s->environment == Linux ? Linux : Windows;
  decoded.HasPassword = a2s->visibility.value_or(0);
  info = std::move(decoded);
}

std::string A2sInfoShortfall(std::string_view reply) {
  if (!HasKind(reply, KindInfo)) return {};
  const auto cutShort = [](const char* field) {
    return std::string("the info reply is cut short in its ") + field;
  };
  InfoReader reader{reply};
  if (!reader.Byte()) return cutShort("protocol");
  for (const char* text : {"server name", "map", "game folder", "game name"}) {
    // The reader takes a text without its zero byte up to the end; one that fields follow has it.
    if (reader.bytes.find('\0', reader.pos) == std::string_view::npos) return cutShort(text);
    reader.Text();
  }
  if (!reader.Number(AppIdSize)) return cutShort("application id");
  for (const char* byte : {"player count", "player maximum", "bot count"})
    if (!reader.Byte()) return cutShort(byte);
  return {};
}
