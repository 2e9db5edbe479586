#pragma once

#include <chrono>
#include <optional>
#include <vector>

#include "engine/server_query.h"
#include "engine/settings.h"
#include "engine/udp_socket.h"
#include "probe_request.h"
#include "protocol/consolememory.h"
#include "protocol/player_class.h"
#include "server_table.h"

// What the exporter knows for every probe.
struct ProbeSetup {
  // Retries of each request, and at most this long after the last send; the interval shrinks
  // so that all retries fit into a probe's budget.
  int retries = 2;
  std::chrono::milliseconds interval{500};
  const ServerTable* passwords = nullptr;
  // Which console each server speaks, and which refused its password lately: scrapes come every
  // few seconds, and servers ban addresses that send wrong passwords repeatedly.
  ConsoleMemory* consoles = nullptr;
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
// for it, its console for "status", on the console it speaks (found by the race the first time,
// and again when it stops answering): one console line or one TCP connection, never repeated
// within the probe. All of it ends within the request's budget. `observer`, when given, is told
// every datagram.
ProbeResult RunProbe(const ProbeRequest& request, const ProbeSetup& setup,
                     ExchangeObserver* observer = nullptr);
