#pragma once

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/server_query.h"
#include "engine/settings.h"
#include "engine/udp_socket.h"
#include "probe_request.h"
#include "protocol/player_class.h"
#include "server_table.h"

// A console that refused its password (or banned us) is not offered it again for a while:
// servers ban addresses that send wrong passwords repeatedly, and scrapes come every few
// seconds.
class ConsoleRefusals {
 public:
  static constexpr std::chrono::seconds HoldOff{60};

  // Whether the console at `address` refused within the hold-off before `now`.
  bool Recent(const ServerAddress& address, Clock::time_point now);
  void Note(const ServerAddress& address, Clock::time_point now);

 private:
  std::mutex mutex_;
  std::unordered_map<std::string, Clock::time_point> refusedAt_;
};

// What the exporter knows for every probe.
struct ProbeSetup {
  // Retries of each request, and at most this long after the last send; the interval shrinks
  // so that all retries fit into a probe's budget.
  int retries = 2;
  std::chrono::milliseconds interval{500};
  const ServerTable* passwords = nullptr;
  ConsoleRefusals* refusals = nullptr;
};

// The console's part of a probe.
struct ConsoleResult {
  bool up = false;
  // How asking it ended, and why it failed in English (empty: it was not asked in time).
  Outcome outcome = Outcome::TimedOut;
  std::string error;
  // The players of the "status" listing, up to the first line that could not be read.
  std::vector<TPlayerRecord> players;
};

struct ProbeResult {
  ServerReport report;
  // Only when a console password is known for the server.
  std::optional<ConsoleResult> console;
  double durationSeconds = 0;
};

// Asks the server for its details (and players when asked for), then, when a password is known
// for it, its console for "status": one console line, never repeated within the probe. All of it
// ends within the request's budget. `observer`, when given, is told every datagram.
ProbeResult RunProbe(const ProbeRequest& request, const ProbeSetup& setup,
                     ExchangeObserver* observer = nullptr);
