#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/server_address.h"
#include "engine/settings.h"
#include "protocol/consolerace.h"

// Which console to use: the one that answers first (ConsoleRace), or the one named.
enum class ConsoleChoice { Auto, Udp, Tcp };

struct ConsoleReport {
  ServerAddress address;
  // The console that ran the command; none when none answered.
  std::optional<ConsoleKind> console;
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

// Runs one console command, all within the settings' time-out. On the classic console it obtains a
// challenge ("challenge rcon"), then sends "rcon <challenge> <password> <command>" and waits for
// the console text, joined from as many datagrams as the server sends it in. The challenge
// request is resent as the settings say, the console line never; an expired challenge is renewed
// once. On the TCP console it authenticates once and runs the command in an RconSession. With
// ConsoleChoice::Auto the two race (RaceConsoles), and the password goes only to the winner.
// A wrong password or a ban makes the outcome ConsoleRefused.
ConsoleReport RunConsoleCommand(const ServerAddress& address, const std::string& password,
                                const std::string& command, const QuerySettings& settings,
                                ConsoleChoice choice = ConsoleChoice::Auto);
