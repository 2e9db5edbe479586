#include "probe_request.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "engine/display_text.h"
#include "protocol/wireprotocol.h"
#include "store/mytypes.h"

namespace {

// The time kept back from the scraper's time-out for sending the answer; never more than half
// of that time-out.
constexpr std::chrono::milliseconds AnswerMargin{500};
// However long a scraper would wait, a probe ends within this.
constexpr std::chrono::milliseconds LongestProbe{120000};

HttpRefusal BadRequest(std::string reason) {
  return HttpRefusal{400, TerminalText(reason)};
}

// The one value of a parameter, none when absent; a refusal when it comes more than once.
std::variant<std::optional<std::string>, HttpRefusal> OneValue(const QueryParameters& parameters,
                                                               const std::string& name) {
  const auto [first, last] = parameters.equal_range(name);
  if (first == last) return std::nullopt;
  if (std::next(first) != last) return BadRequest("the parameter " + name + " is given twice");
  return first->second;
}

}  // namespace

std::optional<std::chrono::milliseconds> ProbeBudget(std::string_view scrapeTimeout) {
  double seconds = 0;
  const char* end = scrapeTimeout.data() + scrapeTimeout.size();
  const auto [stop, error] = std::from_chars(scrapeTimeout.data(), end, seconds);
  if (error != std::errc() || stop != end || !std::isfinite(seconds) || seconds <= 0)
    return std::nullopt;
  const double ms = std::min(seconds * 1000, double(LongestProbe.count()));
  const auto allowed = std::chrono::milliseconds(static_cast<long long>(ms));
  return allowed - std::min(AnswerMargin, allowed / 2);
}

std::variant<ProbeRequest, HttpRefusal> ReadProbeRequest(
    const QueryParameters& parameters, const std::optional<std::string>& scrapeTimeout,
    std::chrono::milliseconds defaultBudget) {
  for (const auto& parameter : parameters)
    if (parameter.first != "target" && parameter.first != "protocol" &&
        parameter.first != "players" && parameter.first != "debug")
      return BadRequest("unknown parameter " + parameter.first +
                        " (known: target, protocol, players, debug)");
  std::optional<std::string> values[4];
  const char* names[4] = {"target", "protocol", "players", "debug"};
  for (int i = 0; i < 4; ++i) {
    auto value = OneValue(parameters, names[i]);
    if (auto* refusal = std::get_if<HttpRefusal>(&value)) return *refusal;
    values[i] = std::get<std::optional<std::string>>(value);
  }
  const auto& [target, protocol, players, debug] = values;

  ProbeRequest request;
  if (!target || target->empty()) return BadRequest("the parameter target=HOST:PORT is missing");
  request.target = *target;
  try {
    request.name = SplitServerAddress(*target);
    if (request.name.literal) request.address = ResolveServerAddress(*target);
  } catch (const EZerval& error) {
    return BadRequest("target " + *target + ": " + error.what());
  }
  if (protocol && *protocol != "auto") {
    request.protocol = WireProtocolNamed(*protocol);
    if (!request.protocol)
      return BadRequest("protocol must be auto, classic or a2s, not " + *protocol);
  }
  if (players && *players != "0" && *players != "1")
    return BadRequest("players must be 0 or 1, not " + *players);
  request.players = players == "1";
  if (debug && *debug != "true" && *debug != "false")
    return BadRequest("debug must be true or false, not " + *debug);
  request.debug = debug == "true";
  request.budget = defaultBudget;
  if (scrapeTimeout) {
    const std::optional<std::chrono::milliseconds> budget = ProbeBudget(*scrapeTimeout);
    if (!budget)
      return BadRequest("X-Prometheus-Scrape-Timeout-Seconds is no number of seconds: " +
                        *scrapeTimeout);
    request.budget = std::min(*budget, defaultBudget);
  }
  return request;
}

std::variant<ProbeRequest, HttpRefusal> AdmitProbe(const QueryParameters& parameters,
                                                   const std::optional<std::string>& scrapeTimeout,
                                                   std::chrono::milliseconds defaultBudget,
                                                   const ServerTable* allowed) {
  std::variant<ProbeRequest, HttpRefusal> read =
      ReadProbeRequest(parameters, scrapeTimeout, defaultBudget);
  const ProbeRequest* request = std::get_if<ProbeRequest>(&read);
  // A host name outside the list is refused as written, without looking it up.
  if (request && allowed && !allowed->Find(request->name, request->address))
    return HttpRefusal{403, "target " + TerminalText(request->target) + " is not allowed"};
  return read;
}
