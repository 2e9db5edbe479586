#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/list_input.h"
#include "engine/settings.h"
#include "protocol/a2s.h"
#include "store/mytypes.h"

// The outcome for one server of a list, in list order.
struct ListResult {
  ListTarget target;
  // The protocol it was asked in: the list line's own, else the settings', else the one found;
  // none when it was to be found and nothing answered.
  std::optional<WireProtocol> protocol;
  Outcome outcome = Outcome::TimedOut;
  // Why it did not answer, in English; empty when it did.
  std::string error;
  // The details as sent; with an info reply of the Steam-era kind also the whole reply.
  std::optional<TDetailInfo> details;
  std::optional<A2sInfo> a2sInfo;
  std::optional<double> roundTripMs;
};

// The most servers of a list asked at once. A longer list is asked in turns of this many, each
// turn's results handed on before the next starts, so that memory does not grow with the list.
constexpr std::size_t ListServersAtOnce = 16384;

// Asks every server of the list for its details and hands each result to `take`, in list order.
// Up to ListServersAtOnce servers are asked at once and their replies waited for together: wall
// time is about one round trip when all answer, one time-out when some do not. With the
// Steam-era requests a server's challenge reply makes its info request go out again at once,
// with the challenge, at most twice, and split replies are put together. A server without a
// protocol of its own or in the settings has its protocol found at a first contact, which an
// A2S-only server answers a grace later (FirstContact).
void QueryServerList(const std::vector<ListTarget>& targets, const QuerySettings& settings,
                     const std::function<void(const ListResult&)>& take);
