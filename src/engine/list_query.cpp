#include "engine/list_query.h"

#include <netinet/in.h>

#include <algorithm>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/exchange_driver.h"
#include "engine/first_contact.h"
#include "engine/query_protocol.h"
#include "engine/reply_reading.h"
#include "engine/server_address.h"
#include "engine/udp_socket.h"
#include "protocol/a2s.h"
#include "protocol/protocolrace.h"
#include "protocol/replypolicy.h"
#include "protocol/wireprotocol.h"
#include "store/mytypes.h"

namespace {

// What a socket of the list carries. A Steam-era challenge reply does not say which request it
// answers, so the info requests of first contacts have a socket apart from those of servers
// listed as "a2s", and each address has one first contact at most.
enum class SocketUse { Classic, A2s, FirstContactInfo };

// The details requests of a whole list, on one socket per address family and use: replies are
// told apart by the address they come from.
class ListSockets {
 public:
  UdpSocket& For(int family, SocketUse use) {
    std::unique_ptr<UdpSocket>& socket =
        sockets_[family == AF_INET6 ? 1 : 0][static_cast<std::size_t>(use)];
    if (!socket) socket = std::make_unique<UdpSocket>(family, UdpSocket::A2sBufferSize);
    return *socket;
  }

 private:
  std::unique_ptr<UdpSocket> sockets_[2][3];
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
  std::vector<std::optional<FirstContact>> contacts(targets.size());
  // The entry whose first contact stands for each entry whose protocol is to be found.
  std::vector<std::optional<std::size_t>> contactOf(targets.size());
  std::unordered_map<std::string, std::size_t> contactAt;
  std::vector<std::size_t> racing;
  ListSockets sockets;
  ExchangeDriver driver;
  for (std::size_t i = 0; i < targets.size(); ++i) {
    ListResult& result = results[i];
    result.target = targets[i];
    result.protocol = targets[i].protocol ? targets[i].protocol : settings.protocol;
    ServerAddress address;
    try {
      address = ResolveServerAddress(result.target.address);
    } catch (const EZerval& error) {
      result.outcome = Outcome::BadAddress;
      result.error = error.what();
      continue;
    }
    if (result.protocol) {
      const SocketUse use =
          *result.protocol == WireProtocol::A2s ? SocketUse::A2s : SocketUse::Classic;
      exchanges[i] = driver.Start(sockets.For(address.Family(), use), address,
                                  PartRequest(A2sQuery::Info, *result.protocol, settings));
      continue;
    }
    const auto [at, first] = contactAt.emplace(AddressKey(address), i);
    contactOf[i] = at->second;
    if (!first) continue;
    contacts[i].emplace(driver, sockets.For(address.Family(), SocketUse::Classic),
                        sockets.For(address.Family(), SocketUse::FirstContactInfo), address,
                        settings);
    racing.push_back(i);
  }
  driver.Run([&]() -> std::optional<Micros> {
    const Micros now = NowMicros();
    std::optional<Micros> wake;
    for (const std::size_t i : racing)
      if (const std::optional<Micros> at = contacts[i]->Follow(now))
        wake = std::min(wake.value_or(*at), *at);
    // Decided races need no more looks.
    racing.erase(std::remove_if(racing.begin(), racing.end(),
                                [&](std::size_t i) {
                                  return contacts[i]->Race().state() !=
                                         ProtocolRace::State::Waiting;
                                }),
                 racing.end());
    return wake;
  });
  for (std::size_t i = 0; i < targets.size(); ++i) {
    if (exchanges[i]) Conclude(driver[*exchanges[i]], results[i]);
    if (!contactOf[i]) continue;
    const FirstContact& contact = *contacts[*contactOf[i]];
    results[i].protocol = contact.Race().Found();
    Conclude(contact.Deciding(), results[i]);
  }
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
