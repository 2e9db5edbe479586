#pragma once

#include <string>
#include <vector>

#include "engine/server_address.h"
#include "engine/settings.h"
#include "engine/tcp_connection.h"
#include "engine/udp_socket.h"
#include "protocol/consolerace.h"
#include "protocol/replypolicy.h"

// What the race between the two consoles found.
struct ConsoleFound {
  ConsoleRace::State state = ConsoleRace::State::TimedOut;
  // The classic console won: the reply to the challenge request, and what it held for the next
  // exchange.
  std::string challengeReply;
  std::vector<std::string> held;
  // TCP won: the open connection, nothing sent on it yet.
  TcpConnection connection;
  // Neither answered: why, in English, and the outcome.
  Outcome outcome = Outcome::TimedOut;
  std::string failure;
};

// Opens a TCP connection to `address` and sends `challengeRequest` ("challenge rcon", resent as it
// says) from `socket` together, and decides with ConsoleRace by `deadline` (NowMicros). The
// loser is dropped: the connection closed unused, or a late challenge reply ignored.
ConsoleFound RaceConsoles(UdpSocket& socket, const ServerAddress& address,
                          ExchangeRequest challengeRequest, Micros deadline);
