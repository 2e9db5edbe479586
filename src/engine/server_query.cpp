#include "engine/server_query.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/exchange_driver.h"
#include "engine/query_protocol.h"
#include "engine/udp_socket.h"
#include "protocol/a2s.h"
#include "protocol/datafuncs.h"
#include "protocol/replypolicy.h"
#include "store/mytypes.h"

namespace {

// The exchanges of one server, one per part, each on a socket of its own: a Steam-era challenge
// reply does not say which request it answers, the socket it comes on does.
struct ServerExchanges {
  std::vector<std::unique_ptr<UdpSocket>> sockets;
  std::vector<std::size_t> exchanges;
};

// Stores a reply as its part. False when it is not one of that part's kind.
bool StoreReply(A2sQuery part, const std::string& reply, const ServerAddress& source,
                ServerReport& report) {
  switch (part) {
    case A2sQuery::Info:
      if (!IsInfoReply(reply)) return false;
      ReadDetailsReply(reply, source, report.details, report.a2sInfo);
      return true;
    case A2sQuery::Players:
      report.players = DecodePlayers(reply);
      return report.players.has_value();
    case A2sQuery::Rules:
      report.rules = DecodeRules(reply);
      return report.rules.has_value();
  }
  return false;
}

void Conclude(A2sQuery part, const Exchange& exchange, ServerReport& report) {
  Failure failure;
  if (exchange.policy.state() == ReplyPolicy::State::Replied) {
    const std::string& reply = exchange.policy.Reply();
    const double ms = double(exchange.policy.RoundTrip().value_or(0)) / 1000;
    report.roundTripMs = std::max(report.roundTripMs.value_or(0), ms);
    if (StoreReply(part, reply, exchange.address, report)) return;
    const char kind = ReplyKind(reply);
    failure = {Outcome::Unreadable, "a reply of another kind came (" +
                                        std::string(kind < ' ' ? "?" : std::string(1, kind)) + ")"};
  } else {
    failure = FailureOf(exchange);
  }
  report.outcome = std::max(report.outcome, failure.outcome);
  report.problems.push_back(Problem{PartName(part), failure.outcome, failure.reason});
}

}  // namespace

std::vector<ServerReport> QueryServers(const std::vector<std::string>& targets,
                                       const QuerySettings& settings,
                                       const std::vector<A2sQuery>& parts) {
  std::vector<ServerReport> reports(targets.size());
  std::vector<ServerExchanges> servers(targets.size());
  ExchangeDriver driver;
  for (std::size_t i = 0; i < targets.size(); ++i) {
    ServerReport& report = reports[i];
    report.target = targets[i];
    try {
      report.address = ResolveServerAddress(targets[i]);
    } catch (const EZerval& error) {
      report.outcome = Outcome::BadAddress;
      report.problems.push_back(Problem{{}, Outcome::BadAddress, error.what()});
      continue;
    }
    report.outcome = Outcome::Answered;
    for (std::size_t p = 0; p < parts.size(); ++p)
      servers[i].sockets.push_back(std::make_unique<UdpSocket>(
          report.address->Family(), settings.protocol == WireProtocol::A2s
                                        ? UdpSocket::A2sBufferSize
                                        : UdpSocket::ClassicBufferSize));
  }
  // Every socket is ready before the first request goes out, so the requests follow each other
  // closely. The time-out is all that a server may take: a part that starts later, after the
  // work that earlier replies brought, gets what is left of it.
  for (std::size_t i = 0; i < targets.size(); ++i) {
    if (!reports[i].address) continue;
    const Micros start = NowMicros();
    for (std::size_t p = 0; p < parts.size(); ++p) {
      ExchangeRequest request = PartRequest(parts[p], settings.protocol, settings);
      request.budget = std::max<Micros>(1, request.budget - (NowMicros() - start));
      servers[i].exchanges.push_back(
          driver.Start(*servers[i].sockets[p], *reports[i].address, std::move(request)));
    }
  }
  driver.Run();
  for (std::size_t i = 0; i < targets.size(); ++i) {
    if (!reports[i].address) continue;
    for (std::size_t p = 0; p < parts.size(); ++p)
      Conclude(parts[p], driver[servers[i].exchanges[p]], reports[i]);
  }
  return reports;
}
