#include "probe.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "engine/console.h"
#include "engine/exchange_driver.h"
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

ConsoleChoice ChoiceOf(const std::optional<ConsoleKind>& known) {
  if (!known) return ConsoleChoice::Auto;
  return *known == ConsoleKind::Tcp ? ConsoleChoice::Tcp : ConsoleChoice::Udp;
}

ConsoleResult AskConsole(const ServerAddress& address, const std::string& password,
                         QuerySettings settings, ConsoleMemory& consoles) {
  ConsoleResult result;
  const std::string server = AddressKey(address);
  if (consoles.RefusedRecently(server, NowMicros())) {
    result.outcome = Outcome::ConsoleRefused;
    result.error = "the console refused the password within the last minute; not asked again yet";
    return result;
  }
  const ConsoleReport report =
      RunConsoleCommand(address, password, "status", settings, ChoiceOf(consoles.Kind(server)));
  if (report.outcome == Outcome::ConsoleRefused) consoles.NoteRefusal(server, NowMicros());
  if (report.console && report.outcome != Outcome::TimedOut &&
      report.outcome != Outcome::PortRefused)
    consoles.Learn(server, *report.console, NowMicros());
  else
    consoles.Forget(server);
  result.outcome = report.outcome;
  result.error = report.error;
  result.up = report.outcome == Outcome::Answered;
  if (result.up && report.lines) result.players = StatusPlayers(*report.lines);
  return result;
}

}  // namespace

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
    ConsoleMemory forgotten;
    result.console = settings.timeout.count() > 0 && result.report.address
                         ? AskConsole(*result.report.address, *password, settings,
                                      setup.consoles ? *setup.consoles : forgotten)
                         : ConsoleResult{};
  }
  result.durationSeconds = std::chrono::duration<double>(Clock::now() - start).count();
  return result;
}
