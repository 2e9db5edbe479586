#pragma once

#include <ctime>
#include <optional>
#include <random>
#include <string>

#include "game_state.h"

// The texts of the server's log lines, without their time stamp. A player appears as
// "Nick<userid><uniqueid><team>".
std::string EnteredLine(const SimPlayer& player);
std::string DisconnectedLine(const SimPlayer& player);
std::string SayLine(const SimPlayer& player, const std::string& text, bool team);
// A "say" typed at the server's console.
std::string ServerSayLine(const std::string& text);

// A bot's chat line, said to everyone or to its team; nothing when the server has no bots.
std::optional<std::string> BotChatLine(const GameState& state, std::mt19937& random);

// One log datagram as servers send them: four 0xFF bytes, "log L MM/DD/YYYY - hh:mm:ss: ", the
// line, a line feed and a zero byte.
std::string LogDatagram(const std::string& line, const std::tm& localTime);
// The same as today's servers send it: four 0xFF bytes, 'R' (or 'S' and `secret` when there is
// one), "L MM/DD/YYYY - hh:mm:ss: ", the line, a line feed and a zero byte.
std::string TodaysLogDatagram(const std::string& line, const std::tm& localTime,
                              const std::string& secret);
