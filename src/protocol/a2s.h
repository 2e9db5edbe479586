#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "store/mytypes.h"

// The Steam-era query requests and the replies that only they bring. Servers of that era ignore
// the text commands "details", "players" and "rules" and answer these requests instead.
enum class A2sQuery { Info, Players, Rules };

// The request standing in for a text command of the older protocol; none for any other command.
std::optional<A2sQuery> A2sQueryFor(std::string_view command);

// The request datagram. An empty challenge makes the first request: info without one, players
// and rules with FF FF FF FF, which asks the server for a challenge. A challenge reply's four
// bytes make the repeated request (info carries them after its zero byte).
std::string A2sRequest(A2sQuery query, std::string_view challenge = {});

// The four challenge bytes of a challenge reply ('A'); none for another kind or a reply cut
// short.
std::optional<std::string> A2sChallenge(std::string_view reply);

// An info reply of either protocol: 'm' or 'I'.
bool IsInfoReply(std::string_view reply);

// Everything an info reply ('I') holds, as sent. A reply cut short gives the fields before the
// cut; a field after it stays empty (none, or an empty text or zero before the type bytes).
struct A2sInfo {
  std::uint8_t protocol = 0;
  std::string name;
  std::string map;
  std::string folder;
  std::string game;
  std::uint16_t appId = 0;
  std::uint8_t players = 0;  // bots included
  std::uint8_t maxPlayers = 0;
  std::uint8_t bots = 0;
  std::optional<std::uint8_t> serverType;   // 'd' dedicated, 'l' listen, 'p' relay
  std::optional<std::uint8_t> environment;  // 'l' Linux, 'w' Windows, 'm' or 'o' macOS
  std::optional<std::uint8_t> visibility;   // 1: a password is needed to join
  std::optional<std::uint8_t> vac;          // 1: secured by the anti-cheat service
  std::optional<std::string> version;
  // From the extra data that the flag byte after the version announces.
  std::optional<std::uint16_t> gamePort;
  std::optional<std::uint64_t> steamId;
  std::optional<std::uint16_t> relayPort;
  std::optional<std::string> relayName;
  std::optional<std::string> keywords;
  std::optional<std::uint64_t> gameId;
};

// None for another kind.
std::optional<A2sInfo> DecodeA2sInfo(std::string_view reply);

// Decodes an info reply ('I') into the details record, as ParseDetails does for 'm': the output
// stays untouched for another kind and is otherwise replaced whole; a reply cut short gives the
// fields read before the cut. The reply names no address, so ServerAddress stays empty. Server
// type 'd' stays 'd' (dedicated), any other reads as listen ('l'); environment 'l' stays 'l'
// (Linux), any other reads as Windows ('w'): the record knows no others. HasPassword is the
// visibility byte (1 = private).
void ParseA2sInfo(std::string_view reply, TDetailInfo& info);

// Why an info reply ('I') cannot be read whole, in English; empty when it can, and for another
// kind. Whole means it holds every field up to the bot count, each text ending in its zero byte:
// the fields after it are optional, as servers of some eras leave them out.
std::string A2sInfoShortfall(std::string_view reply);
