#include "server.h"

#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QTimer>

#include "console.h"
#include "replies.h"

std::int64_t NowMs() {
  static QElapsedTimer clock = [] {
    QElapsedTimer started;
    started.start();
    return started;
  }();
  return clock.elapsed();
}

std::unique_ptr<SimServer> SimServer::Open(const QHostAddress& address, std::uint16_t port,
                                           const ServerSetup& setup, std::uint32_t seed,
                                           std::vector<FaultRule> faults, RequestLog& log,
                                           QString& error) {
  std::unique_ptr<SimServer> server(new SimServer(std::move(faults), log));
  if (!server->socket_.bind(address, port, QAbstractSocket::DontShareAddress)) {
    error = server->socket_.errorString();
    return nullptr;
  }
  const std::string announced =
      address.toString().toStdString() + ":" + std::to_string(server->socket_.localPort());
  server->state_ = NewGameState(setup, announced, seed, NowMs());
  return server;
}

SimServer::SimServer(std::vector<FaultRule> faults, RequestLog& log)
    : faults_(std::move(faults)), log_(log) {
  connect(&socket_, &QUdpSocket::readyRead, this, [this] { readPending(); });
}

void SimServer::readPending() {
  while (socket_.hasPendingDatagrams()) {
    const QNetworkDatagram datagram = socket_.receiveDatagram();
    handle(datagram.data().toStdString(), datagram.senderAddress(),
           static_cast<std::uint16_t>(datagram.senderPort()));
  }
}

void SimServer::handle(const std::string& datagram, const QHostAddress& from,
                       std::uint16_t fromPort) {
  log_.Record(port(), datagram);
  const std::optional<std::string> command = RequestCommand(datagram);
  if (!command) return;
  const ReplyPlan plan = PlanReply(faults_, requestKeys(*command, from));
  if (!plan.send) return;
  const std::optional<std::string> reply = answer(*command, from);
  if (!reply) return;
  const std::string shaped = misshape(*reply, plan);
  if (plan.delayMs == 0) {
    send(shaped, plan.otherPort, from, fromPort, plan.copies);
    return;
  }
  QTimer::singleShot(plan.delayMs, this,
                     [=] { send(shaped, plan.otherPort, from, fromPort, plan.copies); });
}

std::vector<std::string> SimServer::requestKeys(const std::string& command,
                                                const QHostAddress& from) const {
  if (command == "details" || command == "players" || command == "rules") return {command};
  if (command == "challenge rcon") return {"challenge"};
  if (command.rfind("rcon ", 0) != 0) return {};
  const auto known = challenges_.find(from.toString());
  const std::optional<std::string> console = AuthorisedCommand(
      command.substr(5), known == challenges_.end() ? std::string() : known->second,
      state_.setup.password);
  if (!console) return {"rcon"};
  return {"rcon", "rcon:" + CommandWord(*console)};
}

std::optional<std::string> SimServer::answer(const std::string& command, const QHostAddress& from) {
  if (command == "details") return DetailsReply(state_);
  if (command == "players") return PlayersReply(state_, NowMs());
  if (command == "rules") return RulesReply(state_);
  if (command == "challenge rcon") return ChallengeReply(challengeFor(from));
  if (command.rfind("rcon ", 0) != 0) return std::nullopt;
  const std::optional<std::string> console =
      AuthorisedCommand(command.substr(5), challengeFor(from), state_.setup.password);
  return ConsoleReply(console ? RunConsoleCommand(state_, *console, NowMs())
                              : "Bad rcon_password.");
}

// A client keeps its challenge for the life of the server, as real servers keep it for a while.
const std::string& SimServer::challengeFor(const QHostAddress& from) {
  std::string& challenge = challenges_[from.toString()];
  if (challenge.empty())
    challenge = std::to_string(
        std::uniform_int_distribution<std::uint32_t>(100000000u, 2147483647u)(state_.random));
  return challenge;
}

std::string SimServer::misshape(std::string reply, const ReplyPlan& plan) {
  if (plan.garbage) {
    std::uniform_int_distribution<int> byte(0, 255);
    for (std::size_t i = 5; i < reply.size(); ++i)
      reply[i] = static_cast<char>(byte(state_.random));
  }
  if (plan.truncateAt >= 0 && std::size_t(plan.truncateAt) < reply.size())
    reply.resize(std::size_t(plan.truncateAt));
  return reply;
}

void SimServer::send(const std::string& reply, bool fromOtherPort, const QHostAddress& to,
                     std::uint16_t toPort, int copies) {
  if (fromOtherPort && !otherSocket_) {
    otherSocket_ = std::make_unique<QUdpSocket>();
    otherSocket_->bind(socket_.localAddress(), 0);
  }
  QUdpSocket& sender = fromOtherPort ? *otherSocket_ : socket_;
  for (int i = 0; i < copies; ++i)
    sender.writeDatagram(reply.data(), qint64(reply.size()), to, toPort);
}
