#include "log_lines.h"

#include <array>
#include <string_view>
#include <vector>

namespace {

// Quotes, angle brackets and UTF-8 among them, as players type them.
constexpr std::array<std::string_view, 12> BotPhrases = {"gg",
                                                         "nice shot!",
                                                         "anyone up for a map vote?",
                                                         "rush the north door",
                                                         "lol, \"camping\" again?",
                                                         "<3 this map",
                                                         "brb",
                                                         "sch\xC3\xB6nes Spiel",
                                                         "who took the sniper rifle",
                                                         "cover me",
                                                         "2 left, careful",
                                                         "wp all"};

std::string Team(const SimPlayer& player) {
  return player.slot % 2 == 1 ? "Red" : "Blue";
}

std::string Tag(const SimPlayer& player, const std::string& team) {
  return "\"" + player.nick + "<" + std::to_string(player.userId) + "><" + player.uniqueId + "><" +
         team + ">\"";
}

}  // namespace

std::string EnteredLine(const SimPlayer& player) {
  return Tag(player, "") + " entered the game";
}

std::string DisconnectedLine(const SimPlayer& player) {
  return Tag(player, Team(player)) + " disconnected";
}

std::string SayLine(const SimPlayer& player, const std::string& text, bool team) {
  return Tag(player, Team(player)) + (team ? " say_team \"" : " say \"") + text + "\"";
}

std::string ServerSayLine(const std::string& text) {
  return "Server say \"" + text + "\"";
}

std::optional<std::string> BotChatLine(const GameState& state, std::mt19937& random) {
  std::vector<const SimPlayer*> bots;
  for (const SimPlayer& player : state.players)
    if (player.bot) bots.push_back(&player);
  if (bots.empty()) return std::nullopt;
  const auto pick = [&random](std::size_t count) {
    return std::uniform_int_distribution<std::size_t>(0, count - 1)(random);
  };
  const SimPlayer& bot = *bots[pick(bots.size())];
  const std::string_view phrase = BotPhrases[pick(BotPhrases.size())];
  return SayLine(bot, std::string(phrase), pick(4) == 0);
}

std::string LogDatagram(const std::string& line, const std::tm& localTime) {
  char stamp[32];
  const std::size_t length =
      std::strftime(stamp, sizeof stamp, "log L %m/%d/%Y - %H:%M:%S: ", &localTime);
  return std::string(4, '\xFF') + std::string(stamp, length) + line + "\n" + std::string(1, '\0');
}

std::string TodaysLogDatagram(const std::string& line, const std::tm& localTime,
                              const std::string& secret) {
  const bool secretSet = !secret.empty() && secret != "0";
  std::string datagram = LogDatagram(line, localTime);
  // "log L ..." becomes "RL ..." or "S<secret>L ...".
  return datagram.replace(4, 4, secretSet ? "S" + secret : "R");
}
