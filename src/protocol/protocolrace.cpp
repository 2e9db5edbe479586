#include "protocol/protocolrace.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "protocol/a2s.h"

void ProtocolRace::Answered(WireProtocol protocol, Micros at) {
  if (state_ != State::Waiting) return;
  if (!first_ || at < firstAt_) {
    first_ = protocol;
    firstAt_ = at;
  }
  if (protocol != WireProtocol::A2s || graceUntil_) return;
  const Micros roundTrip = std::max<Micros>(at - start_, 0);
  graceUntil_ = at + std::max(2 * roundTrip, MinGrace);
}

void ProtocolRace::Ended(WireProtocol protocol, std::optional<std::string_view> reply, Micros now) {
  bool& ended = protocol == WireProtocol::Classic ? classicEnded_ : a2sEnded_;
  if (state_ != State::Waiting || ended) return;
  ended = true;
  const bool readable = reply && IsInfoReply(*reply);
  if (readable) Answered(protocol, now);
  if (readable && protocol == WireProtocol::Classic) {
    Find(WireProtocol::Classic);
    return;
  }
  if (protocol == WireProtocol::A2s) a2sReadable_ = readable;
  Settle(now);
}

void ProtocolRace::Advance(Micros now) {
  Settle(now);
}

std::optional<WireProtocol> ProtocolRace::Found() const {
  if (state_ != State::Found) return std::nullopt;
  return found_;
}

std::optional<Micros> ProtocolRace::WakeAt() const {
  if (state_ != State::Waiting || !a2sReadable_) return std::nullopt;
  return graceUntil_;
}

void ProtocolRace::Find(WireProtocol protocol) {
  found_ = protocol;
  state_ = State::Found;
}

// A readable A2S reply wins once no classic one can come or its grace is over.
void ProtocolRace::Settle(Micros now) {
  if (state_ != State::Waiting) return;
  if (a2sReadable_ && (classicEnded_ || now >= *graceUntil_))
    Find(WireProtocol::A2s);
  else if (classicEnded_ && a2sEnded_)
    state_ = State::Unanswered;
}
