#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "engine/server_address.h"
#include "engine/wire_protocol.h"
#include "store/mytypes.h"

// Everything one server told: a part that did not come within the time-out stays empty.
struct ServerReport {
  ServerAddress address;
  std::optional<TDetailInfo> details;
  std::optional<TPlayerList> players;
  std::optional<TRuleList> rules;
  // From the first request to the last reply that came.
  double roundTripMs = 0;
  // Why replies that came were refused (split replies that made no valid reply).
  std::vector<std::string> refusals;

  bool Complete() const { return details && players && rules; }
};

// Asks for details, players and rules at once and waits for the three replies. Only replies from
// `address` count. Classic replies are told apart by their kind byte. The Steam-era requests go
// out on a socket each, as a challenge reply does not say which request it answers; it makes
// that request go out again with the challenge, at most twice. Split replies are put together.
ServerReport QueryServerReport(const ServerAddress& address, WireProtocol protocol,
                               std::chrono::milliseconds timeout);

struct ConsoleReport {
  ServerAddress address;
  bool challengeAnswered = false;
  // The console text's lines; no value when the command was not answered.
  std::optional<std::vector<std::string>> lines;
  double roundTripMs = 0;
};

// Obtains a console challenge ("challenge rcon"), then sends
// "rcon <challenge> <password> <command>" and waits for the console text. Each of the two
// requests waits up to `timeout`.
ConsoleReport RunConsoleCommand(const ServerAddress& address, const std::string& password,
                                const std::string& command, std::chrono::milliseconds timeout);
