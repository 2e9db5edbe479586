#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "game_state.h"

// Reply datagrams of the query protocol, written byte by byte: four 0xFF bytes, the kind byte,
// then the fields; texts end with a zero byte, numbers are little-endian.

std::string DetailsReply(const GameState& state);                      // 'm'
std::string PlayersReply(const GameState& state, std::int64_t nowMs);  // 'D'
std::string RulesReply(const GameState& state);                        // 'E'
std::string ChallengeReply(const std::string& challenge);              // 'c'
// 'l': the text lines joined by line feeds, no trailing line feed.
std::string ConsoleReply(const std::string& text);

// The command text of a request: four 0xFF bytes, the text, one zero byte (and no other zero).
// Nothing for a datagram not framed that way.
std::optional<std::string> RequestCommand(const std::string& datagram);
