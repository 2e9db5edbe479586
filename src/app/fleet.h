#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "protocol/consolerace.h"
#include "protocol/wireprotocol.h"

// What the overview knows of each server of the list, and the rules of its states, without Qt.
// Times are milliseconds of the wall clock.

enum class ServerState { NotAsked, Up, Down };

// One query's outcome for a server: from a sweep, or from the selected server's own queries.
struct Observation {
  bool answered = false;
  // The details as sent, bytes.
  std::string serverName;
  std::string map;
  int players = 0;
  int maxPlayers = 0;
  // Only the Steam-era info reply tells the bots apart.
  std::optional<int> bots;
  std::optional<double> roundTripMs;
  std::optional<WireProtocol> protocol;
};

// One point of a server's history.
struct HistorySample {
  std::int64_t atMs = 0;
  float roundTripMs = 0;
  std::uint8_t players = 0;
  std::uint8_t maxPlayers = 0;
  bool answered = false;
};

// A change worth telling the operator, reported once when it happens.
enum class FleetChange { WentDown, CameBack, BecameFull };

struct FleetEntry {
  // Tells rows apart across list changes: a sweep's result finds its row by it.
  std::uint64_t id = 0;
  // The list entry's name and address, bytes.
  std::string name;
  std::string address;
  ServerState state = ServerState::NotAsked;
  std::int64_t sinceMs = 0;
  // Queries in a row without an answer.
  int misses = 0;
  bool full = false;
  // The last details that came; empty fields until one did.
  Observation last;
  std::optional<WireProtocol> protocol;
  std::optional<ConsoleKind> console;
  std::deque<HistorySample> history;
};

// Queries in a row without an answer before a server counts as down.
constexpr int MissesToDown = 2;
// How far back the history goes, and its most points, whatever the period and the selected
// server's own auto query (once a second at the fastest) add.
constexpr std::int64_t HistorySpanMs = 3'600'000;
constexpr std::size_t MaxHistorySamples = 3600;

// Takes an outcome for `entry` at `nowMs`: state, details, history. The change to tell, if any:
// down after MissesToDown queries without an answer (from any state but down), back up after
// being down, full when an answering server that was not full fills up.
std::optional<FleetChange> Observe(FleetEntry& entry, const Observation& seen, std::int64_t nowMs);

// The rows for the list `entries` (name and address): an entry whose address a row already
// had keeps that row's record and history, each row claimed once; the others start afresh,
// with ids from `nextId`.
std::vector<FleetEntry> Regroup(std::vector<FleetEntry> rows,
                                const std::vector<std::pair<std::string, std::string>>& entries,
                                std::uint64_t& nextId);
