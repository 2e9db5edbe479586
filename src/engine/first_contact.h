#pragma once

#include <cstddef>
#include <optional>

#include "engine/exchange_driver.h"
#include "engine/server_address.h"
#include "engine/settings.h"
#include "engine/udp_socket.h"
#include "protocol/protocolrace.h"
#include "protocol/replypolicy.h"
#include "protocol/wireprotocol.h"

// The first contact with a server whose query protocol is to be found: its classic details
// request and its Steam-era info request in flight together, each on a socket of its own so that
// a reply is known by the request it answers, and the race that their outcomes decide.
class FirstContact {
 public:
  // Starts both requests with the settings' time-out and retries. The info request's socket
  // carries no other Steam-era request to this server while it waits: a challenge reply does
  // not say which request it answers.
  FirstContact(ExchangeDriver& driver, UdpSocket& classicSocket, UdpSocket& a2sSocket,
               const ServerAddress& address, const QuerySettings& settings);

  // Tells the race what became of the requests; once it is decided the other request is
  // abandoned. Returns when to be called again at the latest, if ever.
  std::optional<Micros> Follow(Micros now);

  const ProtocolRace& Race() const { return race_; }
  // The exchange whose reply found the protocol; without one, the exchange that says best why
  // none was found: one that ended with a reply that was no details, else the classic one.
  const Exchange& Deciding() const;

 private:
  Exchange& ExchangeOf(WireProtocol protocol) const;

  ExchangeDriver& driver_;
  std::size_t classic_ = 0;
  std::size_t a2s_ = 0;
  ProtocolRace race_;
};
