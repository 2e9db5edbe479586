#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

#include "engine/server_address.h"
#include "engine/settings.h"

// Host name lookups under way at once, at most: each holds a thread until the resolver is done.
constexpr std::size_t MaxPendingLookups = 64;

struct LookupResult {
  std::optional<ServerAddress> address;
  // TimedOut when the deadline came first or too many lookups are under way, BadAddress when
  // the name is no server's address; with the reason in English.
  Outcome outcome = Outcome::Answered;
  std::string reason;
};

// ResolveServerAddress, given up at `deadline`. A lookup cannot be called off: it goes on in a
// thread of its own, and its result is dropped.
LookupResult ResolveWithin(const std::string& text, std::chrono::steady_clock::time_point deadline);
