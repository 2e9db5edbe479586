#include "engine/list_query.h"

#include <netinet/in.h>

#include <algorithm>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/exchange_driver.h"
#include "engine/query_protocol.h"
#include "engine/reply_reading.h"
#include "engine/server_address.h"
#include "engine/udp_socket.h"
#include "protocol/a2s.h"
#include "protocol/replypolicy.h"
#include "store/mytypes.h"

namespace {

// The details requests of a whole list, on one socket per address family: replies are told
// apart by the address they come from.
class ListSockets {
 public:
  UdpSocket& For(int family) {
    std::unique_ptr<UdpSocket>& socket = sockets_[family == AF_INET6 ? 1 : 0];
    if (!socket) socket = std::make_unique<UdpSocket>(family, UdpSocket::A2sBufferSize);
    return *socket;
  }

 private:
  std::unique_ptr<UdpSocket> sockets_[2];
};

void Conclude(const Exchange& exchange, ListResult& result) {
  if (exchange.policy.state() == ReplyPolicy::State::Replied) {
    const std::string& reply = exchange.policy.Reply();
    result.error = WhyUnreadable(A2sQuery::Info, reply);
    if (!result.error.empty()) {
      result.outcome = Outcome::Unreadable;
      return;
    }
    ReadDetailsReply(reply, exchange.address, result.details, result.a2sInfo);
    result.outcome = Outcome::Answered;
    result.roundTripMs = double(exchange.policy.RoundTrip().value_or(0)) / 1000;
    return;
  }
  const Failure failure = FailureOf(exchange);
  result.outcome = failure.outcome;
  result.error = failure.reason;
}

std::vector<ListResult> AskAtOnce(const std::vector<ListTarget>& targets,
                                  const QuerySettings& settings) {
  std::vector<ListResult> results(targets.size());
  std::vector<std::optional<std::size_t>> exchanges(targets.size());
  ListSockets sockets;
  ExchangeDriver driver;
  for (std::size_t i = 0; i < targets.size(); ++i) {
    ListResult& result = results[i];
    result.target = targets[i];
    result.protocol = targets[i].protocol.value_or(settings.protocol);
    ServerAddress address;
    try {
      address = ResolveServerAddress(result.target.address);
    } catch (const EZerval& error) {
      result.outcome = Outcome::BadAddress;
      result.error = error.what();
      continue;
    }
    exchanges[i] = driver.Start(sockets.For(address.Family()), address,
                                PartRequest(A2sQuery::Info, result.protocol, settings));
  }
  driver.Run();
  for (std::size_t i = 0; i < targets.size(); ++i)
    if (exchanges[i]) Conclude(driver[*exchanges[i]], results[i]);
  return results;
}

}  // namespace

void QueryServerList(const std::vector<ListTarget>& targets, const QuerySettings& settings,
                     const std::function<void(const ListResult&)>& take) {
  for (std::size_t first = 0; first < targets.size(); first += ListServersAtOnce) {
    const auto begin = targets.begin() + std::ptrdiff_t(first);
    const std::vector<ListTarget> turn(
        begin, begin + std::ptrdiff_t(std::min(ListServersAtOnce, targets.size() - first)));
    for (const ListResult& result : AskAtOnce(turn, settings)) take(result);
  }
}
