#include "replies.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uint8_t ProtocolVersion = 47;

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
  PutByte(out, 0);    // no join password
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
  PutByte(out, count);
  PutByte(out, count >> 8);
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

// Clients end the last line at the third byte from the end and ignore the final two, so the text
// is followed by a line feed and two zero bytes. Without text the reply is only the two zeros, the
// 7-byte form that clients take as "done, no output".
std::string ConsoleReply(const std::string& text) {
  std::string out = Header('l');
  if (!text.empty()) out += text + "\n";
  out += std::string(2, '\0');
  return out;
}

std::optional<std::string> RequestCommand(const std::string& datagram) {
  if (datagram.size() < 5 || datagram.compare(0, 4, std::string(4, '\xFF')) != 0 ||
      datagram.find('\0') != datagram.size() - 1)
    return std::nullopt;
  return datagram.substr(4, datagram.size() - 5);
}
