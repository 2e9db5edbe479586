#include "engine/list_round.h"

#include <netinet/in.h>

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/query_protocol.h"
#include "engine/reply_reading.h"
#include "engine/server_address.h"
#include "protocol/a2s.h"
#include "protocol/protocolrace.h"
#include "protocol/replypolicy.h"
#include "store/mytypes.h"

namespace {

void ConcludeExchange(const Exchange& exchange, ListResult& result) {
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

}  // namespace

ListRound::ListRound(std::vector<ListTarget> targets, const QuerySettings& settings)
    : targets_(std::move(targets)),
      settings_(settings),
      exchanges_(targets_.size()),
      contacts_(targets_.size()),
      contactOf_(targets_.size()) {}

ListRound::~ListRound() = default;

// A Steam-era challenge reply does not say which request it answers, so the info requests of
// first contacts have a socket apart from those of servers listed as "a2s". Otherwise one socket
// per address family and use serves the whole list: replies are told apart by their source.
UdpSocket& ListRound::SocketFor(int family, SocketUse use) {
  std::unique_ptr<UdpSocket>& socket =
      sockets_[family == AF_INET6 ? 1 : 0][static_cast<std::size_t>(use)];
  if (!socket) socket = std::make_unique<UdpSocket>(family, UdpSocket::A2sBufferSize);
  return *socket;
}

bool ListRound::StartMore(std::size_t count) {
  const std::size_t end = std::min(targets_.size(), started_ + count);
  for (; started_ < end; ++started_) StartTarget(started_);
  return started_ < targets_.size();
}

void ListRound::StartTarget(std::size_t i) {
  const ListTarget& target = targets_[i];
  const std::optional<WireProtocol> protocol =
      target.protocol ? target.protocol : settings_.protocol;
  ServerAddress address;
  try {
    address = ResolveServerAddress(target.address);
  } catch (const EZerval& error) {
    ListResult result;
    result.target = target;
    result.protocol = protocol;
    result.outcome = Outcome::BadAddress;
    result.error = error.what();
    failed_.emplace_back(i, std::move(result));
    return;
  }
  pending_.push_back(i);
  if (protocol) {
    const SocketUse use = *protocol == WireProtocol::A2s ? SocketUse::A2s : SocketUse::Classic;
    exchanges_[i] = driver_.Start(SocketFor(address.Family(), use), address,
                                  PartRequest(A2sQuery::Info, *protocol, settings_));
    return;
  }
  const auto [at, first] = contactAt_.emplace(AddressKey(address), i);
  contactOf_[i] = at->second;
  if (!first) return;
  contacts_[i].emplace(driver_, SocketFor(address.Family(), SocketUse::Classic),
                       SocketFor(address.Family(), SocketUse::FirstContactInfo), address,
                       settings_);
  racing_.push_back(i);
}

std::optional<Micros> ListRound::Step() {
  const std::optional<Micros> wake = driver_.Step([this]() -> std::optional<Micros> {
    const Micros now = NowMicros();
    std::optional<Micros> raceWake;
    for (const std::size_t i : racing_)
      if (const std::optional<Micros> at = contacts_[i]->Follow(now))
        raceWake = std::min(raceWake.value_or(*at), *at);
    // Decided races need no more looks.
    racing_.erase(std::remove_if(racing_.begin(), racing_.end(),
                                 [this](std::size_t i) {
                                   return contacts_[i]->Race().state() !=
                                          ProtocolRace::State::Waiting;
                                 }),
                  racing_.end());
    return raceWake;
  });
  return wake;
}

std::vector<int> ListRound::Descriptors() const {
  std::vector<int> descriptors;
  for (const UdpSocket* socket : driver_.Sockets()) descriptors.push_back(socket->Descriptor());
  return descriptors;
}

void ListRound::Wait(Micros wake) {
  UdpSocket::WaitAnyReadable(driver_.Sockets(), AtMicros(wake));
}

bool ListRound::Ended(std::size_t i) const {
  if (exchanges_[i]) return driver_[*exchanges_[i]].Done();
  return contacts_[*contactOf_[i]]->Race().state() != ProtocolRace::State::Waiting;
}

ListResult ListRound::Conclude(std::size_t i) const {
  ListResult result;
  result.target = targets_[i];
  result.protocol = targets_[i].protocol ? targets_[i].protocol : settings_.protocol;
  if (exchanges_[i]) {
    ConcludeExchange(driver_[*exchanges_[i]], result);
    return result;
  }
  const FirstContact& contact = *contacts_[*contactOf_[i]];
  result.protocol = contact.Race().Found();
  ConcludeExchange(contact.Deciding(), result);
  return result;
}

std::vector<std::pair<std::size_t, ListResult>> ListRound::TakeEnded() {
  std::vector<std::pair<std::size_t, ListResult>> ended = std::move(failed_);
  failed_.clear();
  const auto stillPending = std::stable_partition(pending_.begin(), pending_.end(),
                                                  [this](std::size_t i) { return !Ended(i); });
  for (auto at = stillPending; at != pending_.end(); ++at) ended.emplace_back(*at, Conclude(*at));
  pending_.erase(stillPending, pending_.end());
  return ended;
}
