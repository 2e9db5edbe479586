#pragma once

#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <QTimer>
#include <QUdpSocket>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "challenges.h"
#include "faults.h"
#include "game_state.h"
#include "replies.h"
#include "request_log.h"
#include "wire_setup.h"

// Milliseconds on a monotonic clock that starts with the process.
std::int64_t NowMs();

// "ip:port", or "[ip]:port" for IPv6.
QString HostAndPort(const QHostAddress& address, std::uint16_t port);

// One simulated game server on one UDP port, with its TCP console on the same port number when
// the wire setup asks for one.
class SimServer : public QObject {
 public:
  // Nothing, with the socket's error text, when the port cannot be bound.
  static std::unique_ptr<SimServer> Open(const QHostAddress& address, std::uint16_t port,
                                         const ServerSetup& setup, const WireSetup& wire,
                                         std::uint32_t seed, std::vector<FaultRule> faults,
                                         RequestLog& log, QString& error);

  std::uint16_t port() const { return socket_.localPort(); }
  void tick(std::int64_t nowMs);

 private:
  // A request this server answers: a text command or a Steam-era query.
  struct Request {
    std::string command;
    std::optional<SteamRequest> steam;
  };

  SimServer(const WireSetup& wire, std::vector<FaultRule> faults, RequestLog& log);
  void readPending();
  void acceptConsoles();
  void handle(const std::string& datagram, const QHostAddress& from, std::uint16_t fromPort);
  // Nothing for datagrams that this server ignores.
  std::optional<Request> understand(const std::string& datagram) const;
  // The keys by which faults pick the request.
  std::vector<std::string> requestKeys(const Request& request, const std::string& from) const;
  bool isConsole(const Request& request) const;
  bool bringsChallenge(const Request& request) const;
  bool checksChallenge(const SteamRequest& request) const;
  // The replies, after carrying out what the request asks.
  std::vector<std::string> answer(const Request& request, const std::string& from,
                                  bool expireChallenge);
  std::vector<std::string> steamAnswer(const SteamRequest& request, const std::string& from,
                                       bool expireChallenge);
  std::vector<std::string> consoleAnswer(const std::string& command, const std::string& from,
                                         bool expireChallenge);
  std::string misshape(std::string reply, const ReplyPlan& plan);
  // The datagrams of the replies, long ones in pieces unless they are console replies (long
  // console output is already several replies), arranged as the plan's faults say.
  std::vector<std::string> datagrams(const std::vector<std::string>& replies, const ReplyPlan& plan,
                                     bool splittable);
  void send(const std::vector<std::string>& datagrams, bool fromOtherPort, const QHostAddress& to,
            std::uint16_t toPort, int copies);
  // Sends the log lines that came up, when logging is on and the log address is this machine's.
  void sendLog();
  void scheduleBotChat();

  QUdpSocket socket_;
  QTcpServer consoleServer_;
  std::unique_ptr<QUdpSocket> otherSocket_;  // opened at the first reply from another port
  GameState state_;
  WireSetup wire_;
  std::vector<FaultRule> faults_;
  ChallengeBook consoleChallenges_;
  ChallengeBook steamChallenges_;
  std::map<std::string, int> wrongPasswords_;  // by client address
  std::set<std::string> banned_;
  std::uint32_t nextSplitId_ = 0;
  RequestLog& log_;
  QTimer botChat_;
  std::mt19937 chatRandom_;  // apart from the game's, so chat leaves players and challenges alone
  std::string refusedLogAddress_;  // the last one reported as not on this machine
};
