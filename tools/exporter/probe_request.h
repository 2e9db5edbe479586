#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "engine/server_address.h"
#include "engine/settings.h"
#include "server_table.h"

// A request's query parameters, decoded; a name may come more than once.
using QueryParameters = std::multimap<std::string, std::string>;

// What a scrape asks of /probe.
struct ProbeRequest {
  // HOST[:PORT] as given.
  std::string target;
  AddressText name;
  // Known at once for an address written as digits; a host name is looked up by the probe.
  std::optional<ServerAddress> address;
  // None: found by asking in both.
  std::optional<WireProtocol> protocol;
  // Also the players reply, for the per-player metrics.
  bool players = false;
  // The probe's log instead of its metrics.
  bool debug = false;
  // All that the probe may take.
  std::chrono::milliseconds budget{0};
};

// An answer that refuses a request: its HTTP status and one line saying why.
struct HttpRefusal {
  int status = 400;
  std::string reason;
};

// How long a probe may take when the scraper waits `scrapeTimeout` (the header
// X-Prometheus-Scrape-Timeout-Seconds, decimal seconds): that less a margin for the answer's way
// back. None for a text that is no positive number of seconds.
std::optional<std::chrono::milliseconds> ProbeBudget(std::string_view scrapeTimeout);

// Reads the parameters target (required), protocol ("auto", the default, "classic" or "a2s"),
// players ("0" or "1") and debug ("true" or "false"); any other parameter, or one given twice, is
// refused. Without a scrape time-out the probe may take `defaultBudget`.
std::variant<ProbeRequest, HttpRefusal> ReadProbeRequest(
    const QueryParameters& parameters, const std::optional<std::string>& scrapeTimeout,
    std::chrono::milliseconds defaultBudget);

// ReadProbeRequest, then with a table of allowed servers (none: any server) a target outside it
// is refused with 403.
std::variant<ProbeRequest, HttpRefusal> AdmitProbe(const QueryParameters& parameters,
                                                   const std::optional<std::string>& scrapeTimeout,
                                                   std::chrono::milliseconds defaultBudget,
                                                   const ServerTable* allowed);
