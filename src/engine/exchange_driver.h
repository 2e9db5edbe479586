#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <queue>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/micros.h"
#include "engine/server_address.h"
#include "engine/settings.h"
#include "engine/udp_socket.h"
#include "protocol/replypolicy.h"

// One exchange with one server: the policy decides, the driver sends and receives for it.
struct Exchange {
  Exchange(UdpSocket& to, const ServerAddress& server, ExchangeRequest request, Micros now)
      : socket(&to), address(server), policy(std::move(request), now) {}

  UdpSocket* socket;
  ServerAddress address;
  ReplyPolicy policy;
  // The system reported that nothing listens on the server's port.
  bool portRefused = false;
  // Why a datagram could not be sent; empty when all went out.
  std::string sendFailure;
  // When the server began to answer: its first datagram taken, a challenge or piece included.
  std::optional<Micros> answeredAt;
  // Its caller no longer wants it.
  bool abandoned = false;

  bool Done() const {
    return policy.state() != ReplyPolicy::State::Waiting || portRefused || !sendFailure.empty() ||
           abandoned;
  }
};

// Why an exchange that ended without a reply got none, in English.
struct Failure {
  Outcome outcome = Outcome::TimedOut;
  std::string reason;
};
Failure FailureOf(const Exchange& exchange);

// Told what a driver does, for a debug log: without one the driver does nothing more.
class ExchangeObserver {
 public:
  virtual ~ExchangeObserver() = default;
  virtual void Sent(const Exchange& exchange, std::string_view datagram) = 0;
  // A datagram or refusal report: taken by `exchange` with the policy's verdict, or by none
  // (then Foreign: no exchange asked its source; Drop: none of them waits any more).
  virtual void Received(const Exchange* exchange, const ReceivedDatagram& datagram,
                        Verdict verdict) = 0;
  // The exchange is done: replied, timed out, refused or failed to send.
  virtual void Ended(const Exchange& exchange) = 0;
};

// Drives any number of exchanges on the engine's sockets with one poll() loop. A datagram on a
// socket goes to the oldest exchange on that socket with its source that is still waiting, so a
// server asked twice on one socket answers its exchanges in turn; a datagram that no exchange
// waits for is dropped. Every exchange ends by its policy's deadline.
class ExchangeDriver {
 public:
  // Starts an exchange and sends its request at once. The replies that an earlier exchange held
  // for the next one come first; then the datagrams already waiting on its socket are taken: with
  // many exchanges on one socket the first replies arrive while later requests still go out, and
  // taking them keeps the receive buffer from overflowing. The index names it in this driver.
  std::size_t Start(UdpSocket& socket, const ServerAddress& address, ExchangeRequest request,
                    const std::vector<std::string>& held = {});
  // Returns when every exchange is done. `between`, when given, runs after every step (datagrams
  // taken, exchanges advanced): it may start and abandon exchanges, and returns when it wants to
  // run again at the latest, if ever.
  void Run(const std::function<std::optional<Micros>()>& between = {});
  // One step of Run without waiting, for a caller that waits on Sockets() itself (an event
  // loop): takes the datagrams waiting, advances what is due and runs `between`. Returns when to
  // step again at the latest; none when every exchange is done and `between` wants nothing.
  std::optional<Micros> Step(const std::function<std::optional<Micros>()>& between = {});
  const std::vector<UdpSocket*>& Sockets() const { return sockets_; }
  // Ends an exchange at once: what comes for it from now on is dropped.
  void Abandon(std::size_t index) { exchanges_[index].abandoned = true; }
  void Observe(ExchangeObserver* observer) { observer_ = observer; }

  Exchange& operator[](std::size_t index) { return exchanges_[index]; }
  const Exchange& operator[](std::size_t index) const { return exchanges_[index]; }

 private:
  // Mostly one exchange per address: a vector costs less than a deque.
  using Routes = std::unordered_map<std::string, std::vector<std::size_t>>;

  std::optional<Micros> Pass(const std::function<std::optional<Micros>()>& between);
  void Flush(std::size_t index);
  void Schedule(std::size_t index);
  void TakeReadable();
  void TakeWaiting(UdpSocket& socket);
  void Take(UdpSocket& socket, ReceivedDatagram& datagram);
  void AdvanceDue(Micros now);
  void DropEnded();

  // Stable addresses: exchanges are only ever added.
  std::deque<Exchange> exchanges_;
  std::vector<UdpSocket*> sockets_;
  // Per socket, the exchanges by their server's address, oldest first.
  std::unordered_map<const UdpSocket*, Routes> routes_;
  // When each waiting exchange wants to be advanced, soonest first; an entry whose time is no
  // longer its exchange's is stale and skipped.
  std::priority_queue<std::pair<Micros, std::size_t>, std::vector<std::pair<Micros, std::size_t>>,
                      std::greater<>>
      wakes_;
  ExchangeObserver* observer_ = nullptr;
};
