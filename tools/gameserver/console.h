#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "game_state.h"

// A console line "<challenge> <password> <command>" (the request text after "rcon "), taken
// apart. The password is matched as a whole, so one containing blanks works; an empty password
// never matches.
struct ConsoleLine {
  std::optional<std::uint32_t> challenge;  // none when the first word is no challenge number
  std::optional<std::string> command;      // none when the password does not match
};
ConsoleLine ReadConsoleLine(const std::string& line, const std::string& password);

// The first word of a command, lower-case: console commands ignore case.
std::string CommandWord(const std::string& command);

// How "status" lists the players: the classic listing by position, or today's table whose header
// names its columns.
enum class StatusLayout { Classic, Table };

// Runs one console command and returns its output lines joined by line feeds; empty when the
// command prints nothing (setting a cvar, "writeid").
std::string RunConsoleCommand(GameState& state, const std::string& command, std::int64_t nowMs,
                              StatusLayout layout = StatusLayout::Classic);

// Seven header lines, one line per player, one closing line.
std::string StatusListing(const GameState& state, std::int64_t nowMs);
// Today's: a head, a blank line, "# userid name uniqueid connected ping loss state rate adr", a
// row per player (bots without connection columns), "#end".
std::string StatusTable(const GameState& state, std::int64_t nowMs);
// Every cvar and some 170 commands, one line each: about 25 KB.
std::string CvarList(const GameState& state);
