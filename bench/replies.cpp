#include "replies.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

const std::string Header(4, '\xFF');

const std::array<const char*, 8> Nicks = {"Dr. Frag",    "[ZX] Viper",  "\"Sniper\" Joe",
                                          "x_Slayer_x",  "Rocket Rita", "Camper",
                                          "[BOT] Alpha", "NoScope"};

const std::array<const char*, 12> RuleNames = {"mp_timelimit", "mp_fraglimit", "mp_friendlyfire",
                                               "mp_footsteps", "mp_autokick",  "mp_limitteams",
                                               "sv_gravity",   "sv_maxspeed",  "sv_airaccelerate",
                                               "sv_contact",   "mp_roundtime", "sv_password"};

void AppendText(std::string& out, const std::string& text) {
  out += text;
  out += '\0';
}

void AppendInt32(std::string& out, std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>(bits >> shift);
}

std::string Rule(int index) {
  std::string rule;
  AppendText(rule, std::string(RuleNames[index % RuleNames.size()]) + "_" + std::to_string(index));
  AppendText(rule, index % 5 == 0 ? "" : std::to_string(index * 37 % 1000));
  return rule;
}

std::string PlayerName(int index) {
  return std::string(Nicks[index % Nicks.size()]) + " " + std::to_string(index);
}

}  // namespace

std::string DetailsReply() {
  std::string reply = Header + 'm';
  AppendText(reply, "192.168.0.10:27015");
  AppendText(reply, "Zerval Test Server | Public Deathmatch | 32 slots");
  AppendText(reply, "dm_canyon");
  AppendText(reply, "arena");
  AppendText(reply, "Arena Deathmatch");
  reply += static_cast<char>(28);
  reply += static_cast<char>(32);
  reply += static_cast<char>(47);
  reply += 'd';
  reply += 'l';
  reply += static_cast<char>(0);
  reply += static_cast<char>(1);
  AppendText(reply, "http://www.example.org/arena");
  AppendText(reply, "");
  reply += static_cast<char>(0);
  AppendInt32(reply, 1);
  AppendInt32(reply, 184'000'000);
  reply += static_cast<char>(0);
  reply += static_cast<char>(1);
  return reply;
}

std::string PlayersReply(int count) {
  std::string reply = Header + 'D';
  reply += static_cast<char>(count);
  for (int i = 0; i < count; ++i) {
    reply += static_cast<char>(i + 1);
    AppendText(reply, PlayerName(i));
    AppendInt32(reply, (i * 7) % 40 - 3);
    AppendInt32(reply, 0x45000000 + i * 1000);
  }
  return reply;
}

std::string RulesReply(std::size_t bytes) {
  constexpr std::size_t HeaderSize = 7;
  std::vector<std::string> rules;
  std::size_t size = HeaderSize;
  for (std::string next = Rule(0); size + next.size() <= bytes; next = Rule(int(rules.size()))) {
    size += next.size();
    rules.push_back(next);
  }
  // One last rule with a long value takes up what is left, so the reply has exactly the size
  // asked for; it needs room for its name and two zero bytes.
  const std::string lastName = "sv_motd";
  while (!rules.empty() && size < bytes && bytes - size < lastName.size() + 2) {
    size -= rules.back().size();
    rules.pop_back();
  }
  if (size < bytes) {
    std::string last;
    AppendText(last, lastName);
    AppendText(last, std::string(bytes - size - lastName.size() - 2, 'x'));
    rules.push_back(last);
  }
  std::string reply = Header + 'E';
  const auto count = static_cast<std::uint16_t>(rules.size());
  reply += static_cast<char>(count & 0xFF);
  reply += static_cast<char>(count >> 8);
  for (const std::string& rule : rules) reply += rule;
  return reply;
}

std::string StatusReply(int players) {
  std::string text =
      "hostname:  Zerval Test Server\n"
      "version :  47/1.0.2.0 secure\n"
      "tcp/ip  :  192.168.0.10:27015\n"
      "map     :  dm_canyon at: 0 x, 0 y, 0 z\n"
      "players :  " +
      std::to_string(players) +
      " active (max 32)\n\n#      name userid uniqueid frag time ping loss adr\n";
  for (int i = 0; i < players; ++i) {
    const std::string number = std::to_string(i + 1);
    text += "#" + std::string(3 - number.size(), ' ') + number + " \"" + PlayerName(i) + "\" " +
            std::to_string(100 + i) + " STEAM_0:" + std::to_string(i % 2) + ":" +
            std::to_string(7'000'000 + i * 4321) + " " + std::to_string((i * 7) % 40) + " " +
            std::to_string(10 + i) + ":" + std::to_string(10 + i % 50) + " " +
            std::to_string(20 + i * 3 % 90) + " 0 192.0.2." + std::to_string(10 + i) + ":27005\n";
  }
  text += std::to_string(players) + " users\n";
  return Header + 'l' + text + std::string(2, '\0');
}
