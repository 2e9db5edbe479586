#pragma once

#include <QHostAddress>
#include <QObject>
#include <QUdpSocket>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "faults.h"
#include "game_state.h"
#include "request_log.h"

// Milliseconds on a monotonic clock that starts with the process.
std::int64_t NowMs();

// One simulated game server on one UDP port.
class SimServer : public QObject {
 public:
  // Nothing, with the socket's error text, when the port cannot be bound.
  static std::unique_ptr<SimServer> Open(const QHostAddress& address, std::uint16_t port,
                                         const ServerSetup& setup, std::uint32_t seed,
                                         std::vector<FaultRule> faults, RequestLog& log,
                                         QString& error);

  std::uint16_t port() const { return socket_.localPort(); }
  void tick(std::int64_t nowMs) { ChurnStep(state_, nowMs); }

 private:
  SimServer(std::vector<FaultRule> faults, RequestLog& log);
  void readPending();
  void handle(const std::string& datagram, const QHostAddress& from, std::uint16_t fromPort);
  // The keys by which faults pick the request; empty for requests the server does not know.
  std::vector<std::string> requestKeys(const std::string& command, const QHostAddress& from) const;
  // The reply, after carrying out what the request asks; nothing for unknown requests.
  std::optional<std::string> answer(const std::string& command, const QHostAddress& from);
  const std::string& challengeFor(const QHostAddress& from);
  std::string misshape(std::string reply, const ReplyPlan& plan);
  void send(const std::string& reply, bool fromOtherPort, const QHostAddress& to,
            std::uint16_t toPort, int copies);

  QUdpSocket socket_;
  std::unique_ptr<QUdpSocket> otherSocket_;  // opened at the first reply from another port
  GameState state_;
  std::vector<FaultRule> faults_;
  std::map<QString, std::string> challenges_;  // by client address, as long as the server runs
  RequestLog& log_;
};
