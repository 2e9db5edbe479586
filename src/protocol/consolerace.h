#pragma once

#include <optional>
#include <string_view>

#include "protocol/replypolicy.h"

// The two consoles a server may speak: the classic one in UDP datagrams ("challenge rcon", then
// "rcon CHALLENGE PASSWORD COMMAND"), or today's over TCP on the port number of its queries.
enum class ConsoleKind { Udp, Tcp };

// "udp" or "tcp", as options and settings files name them.
const char* ConsoleKindName(ConsoleKind kind);
// The console of such a name, exactly as written; none for any other text.
std::optional<ConsoleKind> ConsoleKindNamed(std::string_view name);

// Which console a server speaks, decided without sockets: the caller starts a TCP connection and
// the classic challenge request together and reports what became of them. The first positive
// answer decides. A challenge reply means the classic console, even when it comes after an
// accepted connection, as long as it comes within a grace period of twice the connection's round
// trip (at least MinGrace): a TCP port that only happened to accept is never sent a password.
// A refused connection alone decides nothing; nothing within the time-out is a time-out.
class ConsoleRace {
 public:
  enum class State { Racing, Udp, Tcp, TimedOut, Refused };

  static constexpr Micros MinGrace = 20'000;

  ConsoleRace(Micros now, Micros timeout);

  void ConnectionAccepted(Micros now);
  void ConnectionRefused(Micros now);
  void ChallengeAnswered(Micros now);
  // The system reported the UDP port closed: no challenge reply will come.
  void ChallengeRefused(Micros now);
  void Advance(Micros now);

  State state() const { return state_; }
  // The console decided on; none while racing or when neither answered.
  std::optional<ConsoleKind> Kind() const;
  // While racing: when to call Advance at the latest.
  Micros WakeAt() const;

 private:
  void Decide(State state);

  State state_ = State::Racing;
  Micros start_;
  Micros deadline_;
  std::optional<Micros> graceEnd_;
  bool connectionRefused_ = false;
  bool challengeRefused_ = false;
};
