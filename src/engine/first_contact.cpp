#include "engine/first_contact.h"

#include <optional>
#include <string_view>

#include "engine/query_protocol.h"
#include "protocol/a2s.h"

namespace {

constexpr WireProtocol BothProtocols[] = {WireProtocol::Classic, WireProtocol::A2s};

}  // namespace

FirstContact::FirstContact(ExchangeDriver& driver, UdpSocket& classicSocket, UdpSocket& a2sSocket,
                           const ServerAddress& address, const QuerySettings& settings)
    : driver_(driver), race_(NowMicros()) {
  classic_ = driver.Start(classicSocket, address,
                          PartRequest(A2sQuery::Info, WireProtocol::Classic, settings));
  a2s_ = driver.Start(a2sSocket, address, PartRequest(A2sQuery::Info, WireProtocol::A2s, settings));
}

std::optional<Micros> FirstContact::Follow(Micros now) {
  for (const WireProtocol protocol : BothProtocols) {
    const Exchange& exchange = ExchangeOf(protocol);
    if (exchange.answeredAt) race_.Answered(protocol, *exchange.answeredAt);
    if (!exchange.Done()) continue;
    std::optional<std::string_view> reply;
    if (exchange.policy.state() == ReplyPolicy::State::Replied) reply = exchange.policy.Reply();
    race_.Ended(protocol, reply, now);
  }
  race_.Advance(now);
  if (const std::optional<WireProtocol> found = race_.Found())
    driver_.Abandon(*found == WireProtocol::Classic ? a2s_ : classic_);
  return race_.WakeAt();
}

const Exchange& FirstContact::Deciding() const {
  if (const std::optional<WireProtocol> found = race_.Found()) return ExchangeOf(*found);
  for (const WireProtocol protocol : BothProtocols) {
    const Exchange& exchange = ExchangeOf(protocol);
    if (exchange.policy.state() == ReplyPolicy::State::Replied || exchange.policy.Refusal())
      return exchange;
  }
  return ExchangeOf(WireProtocol::Classic);
}

Exchange& FirstContact::ExchangeOf(WireProtocol protocol) const {
  return driver_[protocol == WireProtocol::Classic ? classic_ : a2s_];
}
