#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/server_address.h"
#include "engine/settings.h"
#include "protocol/a2s.h"
#include "protocol/datafuncs.h"
#include "protocol/wireprotocol.h"
#include "store/mytypes.h"

// Why a part of a server's answer is missing.
struct Problem {
  // "details", "players" or "rules"; empty when the server could not be asked at all.
  std::string part;
  Outcome outcome = Outcome::TimedOut;
  std::string reason;
};

// Everything one server told, as it was sent: a part that did not come stays empty.
struct ServerReport {
  // The server as it was named.
  std::string target;
  // None when the name could not be read or resolved.
  std::optional<ServerAddress> address;
  // An info reply of the Steam-era requests is read into the record as well, with the address
  // it came from as its server address.
  std::optional<TDetailInfo> details;
  // The whole info reply, when it was one of the Steam-era kind ('I').
  std::optional<A2sInfo> a2sInfo;
  std::optional<std::vector<PlayerEntry>> players;
  std::optional<std::vector<RuleEntry>> rules;
  // From the first request to the last reply that came; none when nothing came.
  std::optional<double> roundTripMs;
  // The protocol that the server answered in; none when nothing came.
  std::optional<WireProtocol> protocol;
  // The worst of the parts.
  Outcome outcome = Outcome::TimedOut;
  // What went wrong, in English.
  std::vector<Problem> problems;
};

// Asks every server for `parts` (details, players and rules unless told otherwise), all servers
// and requests in flight together, and returns one report per target, in order. Only replies from
// the asked address count. A challenge reply to a Steam-era request makes it go out again with the
// challenge, at most twice, and split replies are put together.
//
// Without a protocol in the settings, each server's is found at its first contact (FirstContact,
// which brings the details whatever `parts` says), and the other parts are asked in it: those of
// an A2S server as soon as it answers, and again in classic when a classic reply wins after all.
// Everything of one server ends within the settings' time-out.
std::vector<ServerReport> QueryServers(const std::vector<std::string>& targets,
                                       const QuerySettings& settings,
                                       const std::vector<A2sQuery>& parts = {
                                           A2sQuery::Info, A2sQuery::Players, A2sQuery::Rules});
