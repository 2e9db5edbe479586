#pragma once

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

// Asks every server of the list for its details at once and waits for all replies together:
// wall time is about one round trip when all answer, one time-out when some do not. With the
// Steam-era requests a server's challenge reply makes its info request go out again at once,
// with the challenge, at most twice, and split replies are put together. A server without a
// protocol of its own or in the settings has its protocol found at a first contact, which an
// A2S-only server answers a grace later (FirstContact).
std::vector<ListResult> QueryServerList(const std::vector<ListTarget>& targets,
                                        const QuerySettings& settings);
