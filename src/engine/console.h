#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/server_address.h"
#include "engine/settings.h"

struct ConsoleReport {
  ServerAddress address;
  bool challengeAnswered = false;
  // The console text's lines as sent; no value when the command was not answered.
  std::optional<std::vector<std::string>> lines;
  // The output was longer than one exchange takes and `lines` end where it was cut.
  bool truncated = false;
  std::optional<double> roundTripMs;
  Outcome outcome = Outcome::TimedOut;
  // Why the command did not run or was refused, in English; empty when it ran.
  std::string error;
};

// Obtains a console challenge ("challenge rcon"), then sends
// "rcon <challenge> <password> <command>" and waits for the console text, joined from as many
// datagrams as the server sends it in, all within the settings' time-out. The challenge request
// is resent as the settings say, the console line never; an expired challenge is renewed once.
// A wrong password or a ban makes the outcome ConsoleRefused.
ConsoleReport RunConsoleCommand(const ServerAddress& address, const std::string& password,
                                const std::string& command, const QuerySettings& settings);
