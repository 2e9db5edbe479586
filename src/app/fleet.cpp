#include "fleet.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

std::uint8_t Byte(int value) {
  return static_cast<std::uint8_t>(std::clamp(value, 0, 255));
}

void Record(FleetEntry& entry, const Observation& seen, std::int64_t nowMs) {
  HistorySample sample;
  sample.atMs = nowMs;
  sample.answered = seen.answered;
  if (seen.answered) {
    sample.roundTripMs = static_cast<float>(seen.roundTripMs.value_or(0));
    sample.players = Byte(seen.players);
    sample.maxPlayers = Byte(seen.maxPlayers);
  }
  std::deque<HistorySample>& history = entry.history;
  history.push_back(sample);
  while (history.size() > MaxHistorySamples ||
         (!history.empty() && history.front().atMs < nowMs - HistorySpanMs))
    history.pop_front();
}

void Enter(FleetEntry& entry, ServerState state, std::int64_t nowMs) {
  entry.state = state;
  entry.sinceMs = nowMs;
}

}  // namespace

std::optional<FleetChange> Observe(FleetEntry& entry, const Observation& seen, std::int64_t nowMs) {
  Record(entry, seen, nowMs);
  if (!seen.answered) {
    if (++entry.misses < MissesToDown || entry.state == ServerState::Down) return std::nullopt;
    Enter(entry, ServerState::Down, nowMs);
    return FleetChange::WentDown;
  }
  const ServerState before = entry.state;
  const bool wasFull = entry.full;
  entry.misses = 0;
  entry.last = seen;
  if (seen.protocol) entry.protocol = seen.protocol;
  entry.full = seen.maxPlayers > 0 && seen.players >= seen.maxPlayers;
  if (before != ServerState::Up) Enter(entry, ServerState::Up, nowMs);
  if (before == ServerState::Down) return FleetChange::CameBack;
  if (before == ServerState::Up && entry.full && !wasFull) return FleetChange::BecameFull;
  return std::nullopt;
}

std::vector<FleetEntry> Regroup(std::vector<FleetEntry> rows,
                                const std::vector<std::pair<std::string, std::string>>& entries,
                                std::uint64_t& nextId) {
  // The rows of each address not claimed yet, last first, so that the first is claimed first.
  std::unordered_map<std::string, std::vector<std::size_t>> unclaimed;
  for (std::size_t i = rows.size(); i-- > 0;) unclaimed[rows[i].address].push_back(i);
  std::vector<FleetEntry> regrouped;
  regrouped.reserve(entries.size());
  for (const auto& [name, address] : entries) {
    const auto found = unclaimed.find(address);
    if (found != unclaimed.end() && !found->second.empty()) {
      regrouped.push_back(std::move(rows[found->second.back()]));
      found->second.pop_back();
    } else {
      regrouped.emplace_back();
      regrouped.back().id = nextId++;
      regrouped.back().address = address;
    }
    regrouped.back().name = name;
  }
  return regrouped;
}
