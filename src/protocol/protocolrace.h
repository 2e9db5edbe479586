#pragma once

#include <optional>
#include <string_view>

#include "protocol/replypolicy.h"
#include "protocol/wireprotocol.h"

// Which query protocol a server speaks, found at the first contact and decided without a socket
// or a clock of its own.
//
// The caller sends the classic "details" request and the Steam-era info request together, each
// in an exchange of its own (a ReplyPolicy), and tells the race what became of them. A readable
// reply to the classic request means classic. A readable reply to the info request means A2S,
// unless a readable classic reply follows within a grace of twice the time that the server took
// to first answer the info request, and at least MinGrace: a server that speaks both also speaks
// the classic console, so classic wins. When neither request got a readable reply, no protocol
// is found, and the exchanges' own failures say why. Readable is what the details decoders
// read ('m' or 'I'), whichever request it answered.
//
// The requests' exchanges are best told apart by the socket their replies come on: a server of
// the older engine answers the info request with a classic details reply as well.
class ProtocolRace {
 public:
  enum class State { Waiting, Found, Unanswered };
  static constexpr Micros MinGrace = 20'000;

  // Both requests went out at `start`.
  explicit ProtocolRace(Micros start) : start_(start) {}

  // The server first answered the request of `protocol` at `at`: with its reply, a challenge or
  // the first piece of a split reply. Telling it again changes nothing.
  void Answered(WireProtocol protocol, Micros at);
  // The exchange of `protocol` ended at `now`, with `reply` when one came. Only its first end
  // counts.
  void Ended(WireProtocol protocol, std::optional<std::string_view> reply, Micros now);
  // The time is now `now`: ends a grace that is over.
  void Advance(Micros now);

  State state() const { return state_; }
  // The protocol found; none before.
  std::optional<WireProtocol> Found() const;
  // The protocol whose request was answered first, by the times told. A caller with more to ask may
  // ask in it before the race is decided, and again when Found() names the other.
  std::optional<WireProtocol> FirstToAnswer() const { return first_; }
  // While a readable A2S reply waits for the end of its grace: when to call Advance.
  std::optional<Micros> WakeAt() const;

 private:
  void Find(WireProtocol protocol);
  void Settle(Micros now);

  Micros start_;
  State state_ = State::Waiting;
  WireProtocol found_ = WireProtocol::Classic;
  std::optional<WireProtocol> first_;
  Micros firstAt_ = 0;
  std::optional<Micros> graceUntil_;
  bool classicEnded_ = false;
  bool a2sEnded_ = false;
  bool a2sReadable_ = false;
};
