#include "replies.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uint8_t ProtocolVersion = 47;
constexpr std::uint8_t OlderEraProtocol = 48;
constexpr std::uint16_t OlderEraAppId = 0;
constexpr std::uint8_t SourceProtocol = 17;
constexpr std::uint16_t SourceAppId = 200;
// The older pieces without their size field come from servers of this protocol and one of a few
// application ids, by which clients know them.
constexpr std::uint8_t OlderSourceProtocol = 7;
constexpr std::uint16_t OlderSourceAppId = 240;
constexpr std::uint8_t ExtraDataGamePort = 0x80;

std::string Header(char kind) {
  return std::string(4, '\xFF') + kind;
}

void PutText(std::string& out, const std::string& text) {
  out += text;
  out += '\0';
}

void PutByte(std::string& out, int value) {
  out += static_cast<char>(value & 0xFF);
}

void PutUint16(std::string& out, std::uint16_t value) {
  PutByte(out, value);
  PutByte(out, value >> 8);
}

void PutUint32(std::string& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) PutByte(out, int(value >> shift));
}

void PutInt32(std::string& out, std::int32_t value) {
  PutUint32(out, std::uint32_t(value));
}

void PutFloat(std::string& out, float value) {
  std::uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  PutUint32(out, bits);
}

std::uint32_t Uint32At(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | std::uint8_t(bytes[at + std::size_t(i)]);
  return value;
}

int BotCount(const GameState& state) {
  return int(std::count_if(state.players.begin(), state.players.end(),
                           [](const SimPlayer& player) { return player.bot; }));
}

// Clients end the last line at the third byte from the end and ignore the final two, so the text
// is followed by a line feed and two zero bytes.
std::string ConsoleDatagram(const std::string& text) {
  return Header('l') + text + "\n" + std::string(2, '\0');
}

// The lines of a text, an empty one wherever two line feeds meet.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  lines.push_back(text.substr(start));
  return lines;
}

}  // namespace

std::string DetailsReply(const GameState& state) {
  std::string out = Header('m');
  PutText(out, state.address);
  PutText(out, state.setup.name);
  PutText(out, state.setup.map);
  PutText(out, "arena");
  PutText(out, "Arena Deathmatch");
  PutByte(out, int(state.players.size()));
  PutByte(out, state.setup.maxPlayers);
  PutByte(out, ProtocolVersion);
  PutByte(out, 'd');  // dedicated
  PutByte(out, 'l');  // Linux
  PutByte(out, state.setup.joinPassword.empty() ? 0 : 1);
  PutByte(out, state.setup.mod ? 1 : 0);
  if (state.setup.mod) {
    PutText(out, "http://mods.example.org/arena-plus");
    PutText(out, "http://mods.example.org/arena-plus/download");
    PutByte(out, 0);          // unused by clients
    PutInt32(out, 2);         // version
    PutInt32(out, 18874368);  // size in bytes
    PutByte(out, 0);          // not server-only
    PutByte(out, 1);          // has its own client library
  }
  return out;
}

std::string InfoReply(const GameState& state, std::uint16_t gamePort, SplitLayout layout) {
  const bool packed = layout == SplitLayout::Packed;
  const bool olderSource = layout == SplitLayout::OlderSource;
  std::string out = Header('I');
  PutByte(out, packed ? OlderEraProtocol : olderSource ? OlderSourceProtocol : SourceProtocol);
  PutText(out, state.setup.name);
  PutText(out, state.setup.map);
  PutText(out, "arena");
  PutText(out, "Arena Deathmatch");
  PutUint16(out, packed ? OlderEraAppId : olderSource ? OlderSourceAppId : SourceAppId);
  PutByte(out, int(state.players.size()));  // bots included
  PutByte(out, state.setup.maxPlayers);
  PutByte(out, BotCount(state));
  PutByte(out, 'd');  // dedicated
  PutByte(out, 'l');  // Linux
  PutByte(out, state.setup.joinPassword.empty() ? 0 : 1);
  PutByte(out, 0);  // not secured by an anti-cheat service
  PutText(out, "1.0.2.0");
  PutByte(out, ExtraDataGamePort);
  PutUint16(out, gamePort);
  return out;
}

std::string PlayersReply(const GameState& state, std::int64_t nowMs) {
  std::string out = Header('D');
  PutByte(out, int(state.players.size()));
  for (const SimPlayer& player : state.players) {
    PutByte(out, player.slot);
    PutText(out, player.nick);
    PutInt32(out, player.frags);
    PutFloat(out, float(std::max<std::int64_t>(0, nowMs - player.joinedMs)) / 1000.0f);
  }
  return out;
}

std::string RulesReply(const GameState& state) {
  const int count = std::min(state.setup.rules, int(state.cvars.size()));
  std::string out = Header('E');
  PutUint16(out, std::uint16_t(count));
  for (int i = 0; i < count; ++i) {
    PutText(out, state.cvars[i].name);
    PutText(out, state.cvars[i].value);
  }
  return out;
}

// "challenge rcon " starts at the kind byte: 'c' is offset 4, "hallenge rcon " fills offsets 5 to
// 18, so the digits start at offset 19 and run up to the line feed, as clients read them.
std::string ChallengeReply(const std::string& challenge) {
  std::string out = std::string(4, '\xFF') + "challenge rcon " + challenge + "\n";
  out += '\0';
  return out;
}

std::string SteamChallengeReply(std::uint32_t challenge) {
  std::string out = Header('A');
  PutUint32(out, challenge);
  return out;
}

// Without text the reply is only the two zeros, the 7-byte form that clients take as "done, no
// output".
std::vector<std::string> ConsoleReplies(const std::string& text) {
  if (text.empty()) return {Header('l') + std::string(2, '\0')};
  const std::size_t capacity = ConsoleDatagramBytes - ConsoleDatagram({}).size();
  std::vector<std::string> replies;
  std::string chunk;
  bool chunkHasLines = false;
  for (const std::string& line : Lines(text)) {
    for (std::size_t at = 0; at == 0 || at < line.size(); at += capacity) {
      const std::string piece = line.substr(at, capacity);
      if (chunkHasLines && chunk.size() + 1 + piece.size() > capacity) {
        replies.push_back(ConsoleDatagram(chunk));
        chunkHasLines = false;
      }
      chunk = chunkHasLines ? chunk + "\n" + piece : piece;
      chunkHasLines = true;
    }
  }
  replies.push_back(ConsoleDatagram(chunk));
  return replies;
}

std::optional<std::string> RequestCommand(const std::string& datagram) {
  if (datagram.size() < 5 || datagram.compare(0, 4, std::string(4, '\xFF')) != 0)
    return std::nullopt;
  const std::size_t zero = datagram.find('\0');
  if (zero == std::string::npos) return datagram.substr(4);
  if (zero != datagram.size() - 1) return std::nullopt;
  return datagram.substr(4, datagram.size() - 5);
}

std::optional<SteamRequest> ParseSteamRequest(const std::string& datagram) {
  if (datagram.size() < 5 || datagram.compare(0, 4, std::string(4, '\xFF')) != 0)
    return std::nullopt;
  const std::string info = std::string("TSource Engine Query") + '\0';
  if (datagram.compare(4, std::string::npos, info) == 0 ||
      datagram.compare(4, std::string::npos, info, 0, info.size() - 1) == 0)
    return SteamRequest{SteamQuery::Info, {}};
  if (datagram.size() == 4 + info.size() + 4 && datagram.compare(4, info.size(), info) == 0)
    return SteamRequest{SteamQuery::Info, Uint32At(datagram, 4 + info.size())};
  if (datagram.size() != 9) return std::nullopt;
  if (datagram[4] == 'U') return SteamRequest{SteamQuery::Players, Uint32At(datagram, 5)};
  if (datagram[4] == 'V') return SteamRequest{SteamQuery::Rules, Uint32At(datagram, 5)};
  return std::nullopt;
}
