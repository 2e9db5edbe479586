#include "engine/exchange_driver.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/micros.h"
#include "protocol/splitreply.h"

namespace {

// A flood must not keep the clock from being looked at: after this many datagrams from one
// socket the exchanges' deadlines come first.
constexpr int MaxTakenPerPass = 64;

}  // namespace

Failure FailureOf(const Exchange& exchange) {
  if (exchange.portRefused) return {Outcome::PortRefused, "refused (port unreachable)"};
  if (!exchange.sendFailure.empty())
    return {Outcome::SendFailed, "cannot send: " + exchange.sendFailure};
  // What came was a split reply that could not be put together.
  if (exchange.policy.Refusal())
    return {Outcome::Unreadable, "reply refused: " + ReasonInEnglish(*exchange.policy.Refusal())};
  // Rounded: a part that starts a few microseconds after its server's first one gets what is
  // left of the time-out.
  const Micros allowed = exchange.policy.request.budget;
  return {Outcome::TimedOut, "no reply within " + std::to_string((allowed + 500) / 1000) + " ms"};
}

std::size_t ExchangeDriver::Start(UdpSocket& socket, const ServerAddress& address,
                                  ExchangeRequest request, const std::vector<std::string>& held) {
  const std::size_t index = exchanges_.size();
  exchanges_.emplace_back(socket, address, std::move(request), NowMicros());
  if (std::find(sockets_.begin(), sockets_.end(), &socket) == sockets_.end())
    sockets_.push_back(&socket);
  routes_[&socket][AddressKey(address)].push_back(index);
  Exchange& exchange = exchanges_.back();
  for (const std::string& reply : held)
    if (!exchange.Done()) exchange.policy.Receive(reply, true, NowMicros(), true);
  Flush(index);
  Schedule(index);
  TakeWaiting(socket);
  return index;
}

void ExchangeDriver::Run(const std::function<std::optional<Micros>()>& between) {
  for (std::optional<Micros> wake = Pass(between); wake; wake = Pass(between))
    if (UdpSocket::WaitAnyReadable(sockets_, AtMicros(*wake))) TakeReadable();
}

std::optional<Micros> ExchangeDriver::Step(const std::function<std::optional<Micros>()>& between) {
  if (UdpSocket::WaitAnyReadable(sockets_, Clock::now())) TakeReadable();
  return Pass(between);
}

// Only the sockets that have something: a server's query keeps a socket per part, and asking
// each of hundreds in turn would cost more than the replies.
void ExchangeDriver::TakeReadable() {
  for (UdpSocket* socket : sockets_)
    if (socket->Readable()) TakeWaiting(*socket);
}

std::optional<Micros> ExchangeDriver::Pass(const std::function<std::optional<Micros>()>& between) {
  AdvanceDue(NowMicros());
  const std::optional<Micros> wanted = between ? between() : std::nullopt;
  DropEnded();
  if (wakes_.empty()) return wanted;
  return std::min(wakes_.top().first, wanted.value_or(wakes_.top().first));
}

void ExchangeDriver::Flush(std::size_t index) {
  Exchange& exchange = exchanges_[index];
  for (const std::string& datagram : exchange.policy.TakeOutgoing()) {
    if (!exchange.sendFailure.empty()) break;
    exchange.sendFailure = exchange.socket->SendTo(exchange.address, datagram,
                                                   AtMicros(exchange.policy.HardDeadline()));
    if (observer_ && exchange.sendFailure.empty()) observer_->Sent(exchange, datagram);
  }
}

void ExchangeDriver::Schedule(std::size_t index) {
  const Exchange& exchange = exchanges_[index];
  if (!exchange.Done())
    wakes_.emplace(exchange.policy.WakeAt(), index);
  else if (observer_)
    observer_->Ended(exchange);
}

void ExchangeDriver::AdvanceDue(Micros now) {
  while (!wakes_.empty() && wakes_.top().first <= now) {
    const auto [at, index] = wakes_.top();
    wakes_.pop();
    Exchange& exchange = exchanges_[index];
    if (exchange.Done() || exchange.policy.WakeAt() != at) continue;
    exchange.policy.Advance(now);
    Flush(index);
    Schedule(index);
  }
  DropEnded();
}

// Entries of exchanges that ended meanwhile must not hold up the end.
void ExchangeDriver::DropEnded() {
  while (!wakes_.empty() && exchanges_[wakes_.top().second].Done()) wakes_.pop();
}

void ExchangeDriver::TakeWaiting(UdpSocket& socket) {
  for (int taken = 0; taken < MaxTakenPerPass; ++taken) {
    std::optional<ReceivedDatagram> datagram = socket.TryReceive();
    if (!datagram) break;
    Take(socket, *datagram);
  }
}

void ExchangeDriver::Take(UdpSocket& socket, ReceivedDatagram& datagram) {
  Routes& routes = routes_[&socket];
  const auto route = routes.find(AddressKey(datagram.source));
  if (route == routes.end()) {
    if (observer_) observer_->Received(nullptr, datagram, Verdict::Foreign);
    return;
  }
  std::vector<std::size_t>& waiting = route->second;
  waiting.erase(waiting.begin(),
                std::find_if(waiting.begin(), waiting.end(),
                             [this](std::size_t index) { return !exchanges_[index].Done(); }));
  if (waiting.empty()) {
    if (observer_) observer_->Received(nullptr, datagram, Verdict::Drop);
    return;
  }
  if (datagram.portRefused) {
    for (const std::size_t index : waiting) {
      Exchange& exchange = exchanges_[index];
      if (exchange.Done()) continue;
      exchange.portRefused = true;
      if (observer_) {
        observer_->Received(&exchange, datagram, Verdict::Reply);
        observer_->Ended(exchange);
      }
    }
    waiting.clear();
    return;
  }
  const std::size_t index = waiting.front();
  Exchange& exchange = exchanges_[index];
  const Micros at = MicrosOf(datagram.receivedAt);
  const Intake intake = exchange.policy.Receive(datagram.bytes, true, at);
  if (observer_) observer_->Received(&exchange, datagram, intake.verdict);
  if (intake.verdict == Verdict::Reply && !exchange.answeredAt) exchange.answeredAt = at;
  Flush(index);
  Schedule(index);
  // Inflating took time: every exchange whose end came meanwhile ends before any takes more.
  if (intake.inflated) AdvanceDue(NowMicros());
}
