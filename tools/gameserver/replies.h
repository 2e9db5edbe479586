#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "game_state.h"
#include "pieces.h"

// Reply datagrams of the query protocol, written byte by byte: four 0xFF bytes, the kind byte,
// then the fields; texts end with a zero byte, numbers are little-endian. The Steam-era protocol
// shares the players ('D') and rules ('E') layouts with the classic one.

std::string DetailsReply(const GameState& state);  // 'm'
// 'I'. Clients tell the layout of split replies by the engine era that it shows: protocol 48 and
// a low application id for the Packed layout, protocol 17 and a higher id for the Source one,
// protocol 7 and application id 240 for the older Source one.
std::string InfoReply(const GameState& state, std::uint16_t gamePort, SplitLayout layout);
std::string PlayersReply(const GameState& state, std::int64_t nowMs);  // 'D'
std::string RulesReply(const GameState& state);                        // 'E'
std::string ChallengeReply(const std::string& challenge);              // 'c'
std::string SteamChallengeReply(std::uint32_t challenge);              // 'A'

// Real servers flush console output whenever the next line would not fit into one datagram.
constexpr std::size_t ConsoleDatagramBytes = 1400;
// 'l' replies carrying console output (text lines joined by line feeds, no trailing line feed):
// one per datagram of at most ConsoleDatagramBytes, each holding whole lines; only a line too long
// for a datagram of its own is cut. Empty output is the one 7-byte reply.
std::vector<std::string> ConsoleReplies(const std::string& text);

// The command text of a request: four 0xFF bytes, the text, one zero byte (and no other zero).
// Some query tools leave the zero byte out, and servers answer them all the same. Nothing for a
// datagram not framed either way.
std::optional<std::string> RequestCommand(const std::string& datagram);

enum class SteamQuery {
  Info,     // FF FF FF FF 'T' "Source Engine Query" 00, then optionally the challenge; the zero
            // byte may be left out when no challenge follows
  Players,  // FF FF FF FF 'U' challenge
  Rules,    // FF FF FF FF 'V' challenge
};

// The challenge with which a client asks for one.
constexpr std::uint32_t NoChallenge = 0xFFFFFFFFu;

struct SteamRequest {
  SteamQuery query = SteamQuery::Info;
  std::optional<std::uint32_t> challenge;  // none only on an info request without one
};

// Nothing for a datagram that is not exactly one of the Steam-era requests.
std::optional<SteamRequest> ParseSteamRequest(const std::string& datagram);
