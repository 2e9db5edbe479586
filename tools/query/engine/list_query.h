#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "engine/server_address.h"
#include "engine/wire_protocol.h"
#include "store/mytypes.h"

enum class ListStatus { Answered, TimedOut, BadAddress, SendFailed };

// The outcome for one entry of a server list, in list order.
struct ListResult {
  decltype(TServerEntry::Name) name;
  decltype(TServerEntry::Address) address;
  ListStatus status = ListStatus::TimedOut;
  // Why the entry could not be asked (bad address, send failure), or why a reply that came was
  // refused (a split reply that made no valid reply).
  std::string error;
  TDetailInfo details;
  double roundTripMs = 0;
};

// Asks every server of the list for its details at once and waits for all replies together:
// wall time is about one round trip when all answer, one time-out when some do not. With the
// Steam-era requests a server's challenge reply makes its info request go out again at once,
// with the challenge, at most twice, and split replies are put together.
std::vector<ListResult> QueryServerList(const TServerList& list, WireProtocol protocol,
                                        std::chrono::milliseconds timeout);
