#include "engine/console_choice.h"

#include <poll.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "engine/exchange_driver.h"
#include "engine/micros.h"

namespace {

// Datagrams taken from the socket before the clock is looked at again.
constexpr int MaxTakenPerPass = 64;

void Connect(TcpConnection& connection, const ServerAddress& address, ConsoleRace& race) {
  const Micros now = NowMicros();
  if (!connection.Connect(address).empty())
    race.ConnectionRefused(now);
  else if (connection.state() == TcpConnection::State::Open)
    race.ConnectionAccepted(now);
}

// The challenge request's datagrams; false when they cannot go out.
bool Send(UdpSocket& socket, const ServerAddress& address, ReplyPolicy& policy) {
  for (const std::string& datagram : policy.TakeOutgoing())
    if (!socket.SendTo(address, datagram, AtMicros(policy.HardDeadline())).empty()) return false;
  return true;
}

// The replies waiting on the socket from `address`; false when the system reported its UDP
// port closed.
bool Take(UdpSocket& socket, const ServerAddress& address, ReplyPolicy& policy) {
  const std::string server = AddressKey(address);
  for (int taken = 0; taken < MaxTakenPerPass; ++taken) {
    const std::optional<ReceivedDatagram> datagram = socket.TryReceive();
    if (!datagram) break;
    if (AddressKey(datagram->source) != server) continue;
    if (datagram->portRefused) return false;
    policy.Receive(datagram->bytes, true, MicrosOf(datagram->receivedAt));
  }
  return true;
}

}  // namespace

ConsoleFound RaceConsoles(UdpSocket& socket, const ServerAddress& address,
                          ExchangeRequest challengeRequest, Micros deadline) {
  const Micros start = NowMicros();
  ConsoleRace race(start, deadline - start);
  ReplyPolicy policy(std::move(challengeRequest), start);
  ConsoleFound found;
  Connect(found.connection, address, race);
  bool challengeOpen = true;
  while (race.state() == ConsoleRace::State::Racing) {
    if (challengeOpen && !Send(socket, address, policy)) {
      challengeOpen = false;
      race.ChallengeRefused(NowMicros());
      continue;
    }
    Micros wake = race.WakeAt();
    if (challengeOpen && policy.state() == ReplyPolicy::State::Waiting)
      wake = std::min(wake, policy.WakeAt());
    pollfd entries[2] = {{socket.Descriptor(), POLLIN, 0},
                         {found.connection.Descriptor(), found.connection.Events(), 0}};
    const bool connecting = found.connection.state() == TcpConnection::State::Connecting;
    PollUntil(entries, connecting ? 2 : 1, wake);
    const Micros now = NowMicros();
    if (connecting && entries[1].revents) {
      if (found.connection.FinishConnect().empty())
        race.ConnectionAccepted(now);
      else
        race.ConnectionRefused(now);
    }
    if (challengeOpen && !Take(socket, address, policy)) {
      challengeOpen = false;
      race.ChallengeRefused(now);
    }
    policy.Advance(now);
    if (policy.state() == ReplyPolicy::State::Replied) race.ChallengeAnswered(now);
    race.Advance(now);
  }
  found.state = race.state();
  if (found.state != ConsoleRace::State::Tcp) found.connection.Close();
  if (found.state == ConsoleRace::State::Udp) {
    found.challengeReply = policy.Reply();
    found.held = policy.TakeHeld();
  } else if (found.state == ConsoleRace::State::Refused) {
    found.outcome = Outcome::PortRefused;
    found.failure = "no console: the UDP port and the TCP port were both refused";
  } else if (found.state == ConsoleRace::State::TimedOut) {
    found.failure = "no console challenge: no reply within " +
                    std::to_string((deadline - start) / 1000) + " ms, and no TCP console";
  }
  return found;
}
