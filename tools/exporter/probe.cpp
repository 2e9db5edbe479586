#include "probe.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/console.h"
#include "engine/server_query.h"
#include "lookup_within.h"
#include "protocol/a2s.h"
#include "protocol/player_class.h"
#include "store/mytypes.h"

namespace {

using std::chrono::duration_cast;
using std::chrono::milliseconds;

// The records of a status listing up to the first that could not be read: ParseStatus leaves
// that one and all after it empty, and a record read from a line has at least its nick's quotes.
std::vector<TPlayerRecord> StatusPlayers(const std::vector<std::string>& lines) {
  TPlayerInfo info;
  try {
    info.ParseStatus(lines);
  } catch (const EZerval&) {
  }
  std::vector<TPlayerRecord> players;
  for (std::int32_t i = 0; i < info.Count(); ++i) {
    TPlayerRecord record = info.GetPlayer(i);
    if (record.Nick.empty()) break;
    players.push_back(std::move(record));
  }
  return players;
}

ConsoleResult AskConsole(const ServerAddress& address, const std::string& password,
                         QuerySettings settings, const ProbeSetup& setup) {
  ConsoleResult result;
  const Clock::time_point now = Clock::now();
  if (setup.refusals && setup.refusals->Recent(address, now)) {
    result.outcome = Outcome::ConsoleRefused;
    result.error = "the console refused the password within the last minute; not asked again yet";
    return result;
  }
  const ConsoleReport report = RunConsoleCommand(address, password, "status", settings);
  if (report.outcome == Outcome::ConsoleRefused && setup.refusals)
    setup.refusals->Note(address, Clock::now());
  result.outcome = report.outcome;
  result.error = report.error;
  result.up = report.outcome == Outcome::Answered;
  if (result.up && report.lines) result.players = StatusPlayers(*report.lines);
  return result;
}

}  // namespace

bool ConsoleRefusals::Recent(const ServerAddress& address, Clock::time_point now) {
  const std::lock_guard<std::mutex> lock(mutex_);
  const auto found = refusedAt_.find(AddressKey(address));
  if (found == refusedAt_.end()) return false;
  if (now - found->second < HoldOff) return true;
  refusedAt_.erase(found);
  return false;
}

void ConsoleRefusals::Note(const ServerAddress& address, Clock::time_point now) {
  const std::lock_guard<std::mutex> lock(mutex_);
  refusedAt_[AddressKey(address)] = now;
}

ProbeResult RunProbe(const ProbeRequest& request, const ProbeSetup& setup,
                     ExchangeObserver* observer) {
  const Clock::time_point start = Clock::now();
  const Clock::time_point deadline = start + request.budget;
  ProbeResult result;

  QuerySettings settings;
  settings.protocol = request.protocol;
  settings.observer = observer;
  settings.retries = std::max(setup.retries, 0);
  settings.interval =
      std::max(std::min(setup.interval, request.budget / (settings.retries + 1)), milliseconds(1));
  std::vector<A2sQuery> parts{A2sQuery::Info};
  if (request.players) parts.push_back(A2sQuery::Players);
  // A host name is looked up first, so that the lookup keeps to the budget as well.
  LookupResult lookup = request.address ? LookupResult{request.address, Outcome::Answered, {}}
                                        : ResolveWithin(request.target, deadline);
  settings.timeout = duration_cast<milliseconds>(deadline - Clock::now());
  if (lookup.address && settings.timeout.count() <= 0)
    lookup = LookupResult{std::nullopt, Outcome::TimedOut, "no time was left to ask the server"};
  if (lookup.address) {
    result.report = QueryServers({FormatServerAddress(*lookup.address)}, settings, parts).front();
  } else {
    result.report.outcome = lookup.outcome;
    result.report.problems.push_back(Problem{{}, lookup.outcome, lookup.reason});
  }
  result.report.target = request.target;

  const std::string* password =
      setup.passwords ? setup.passwords->Find(request.name, result.report.address) : nullptr;
  if (password) {
    settings.timeout = duration_cast<milliseconds>(deadline - Clock::now());
    result.console = settings.timeout.count() > 0 && result.report.address
                         ? AskConsole(*result.report.address, *password, settings, setup)
                         : ConsoleResult{};
  }
  result.durationSeconds = std::chrono::duration<double>(Clock::now() - start).count();
  return result;
}
