#include "server.h"

#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QTimer>
#include <cstdio>
#include <ctime>

#include "console.h"
#include "log_lines.h"
#include "pieces.h"
#include "tcp_console.h"

namespace {

// Console challenges are printed in decimal and read back as text; these have 9 or 10 digits.
constexpr std::uint32_t ConsoleChallengeLow = 100000000u;
constexpr std::uint32_t ConsoleChallengeHigh = 2147483647u;

const char* const BadPassword = "Bad rcon_password.";
// One reply, so that a client that reads one console datagram sees why its line failed.
const char* const ExpiredChallenge = "Bad rcon_password.\nBad challenge.";
const char* const Banned = "You have been banned from this server.";

// Log lines never leave the machine: loopback, or an address of one of its own interfaces.
bool OnThisMachine(const QHostAddress& address) {
  return address.isLoopback() || QNetworkInterface::allAddresses().contains(address);
}

std::tm LocalTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local = {};
  localtime_r(&now, &local);
  return local;
}

}  // namespace

QString HostAndPort(const QHostAddress& address, std::uint16_t port) {
  const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                           ? "[" + address.toString() + "]"
                           : address.toString();
  return host + ":" + QString::number(port);
}

std::int64_t NowMs() {
  static QElapsedTimer clock = [] {
    QElapsedTimer started;
    started.start();
    return started;
  }();
  return clock.elapsed();
}

std::unique_ptr<SimServer> SimServer::Open(const QHostAddress& address, std::uint16_t port,
                                           const ServerSetup& setup, const WireSetup& wire,
                                           std::uint32_t seed, std::vector<FaultRule> faults,
                                           RequestLog& log, QString& error) {
  std::unique_ptr<SimServer> server(new SimServer(wire, std::move(faults), log));
  if (!server->socket_.bind(address, port, QAbstractSocket::DontShareAddress)) {
    error = server->socket_.errorString();
    return nullptr;
  }
  if (wire.console != ConsoleMode::Udp &&
      !server->consoleServer_.listen(address, server->socket_.localPort())) {
    error = "TCP console: " + server->consoleServer_.errorString();
    return nullptr;
  }
  const std::string announced = HostAndPort(address, server->socket_.localPort()).toStdString();
  server->state_ = NewGameState(setup, announced, seed, NowMs());
  server->nextSplitId_ = server->state_.random();
  server->chatRandom_.seed(seed);
  return server;
}

SimServer::SimServer(const WireSetup& wire, std::vector<FaultRule> faults, RequestLog& log)
    : wire_(wire),
      faults_(std::move(faults)),
      consoleChallenges_(ConsoleChallengeLow, ConsoleChallengeHigh, wire.challengeLifetimeSeconds),
      steamChallenges_(0, NoChallenge - 1, wire.challengeLifetimeSeconds),
      log_(log) {
  connect(&socket_, &QUdpSocket::readyRead, this, [this] { readPending(); });
  connect(&consoleServer_, &QTcpServer::newConnection, this, [this] { acceptConsoles(); });
  botChat_.setSingleShot(true);
  connect(&botChat_, &QTimer::timeout, this, [this] {
    if (std::optional<std::string> line = BotChatLine(state_, chatRandom_))
      state_.logEvents.push_back({std::move(*line), true});
    sendLog();
  });
}

void SimServer::tick(std::int64_t nowMs) {
  ChurnStep(state_, nowMs);
  sendLog();
}

void SimServer::readPending() {
  while (socket_.hasPendingDatagrams()) {
    const QNetworkDatagram datagram = socket_.receiveDatagram();
    handle(datagram.data().toStdString(), datagram.senderAddress(),
           static_cast<std::uint16_t>(datagram.senderPort()));
  }
}

void SimServer::acceptConsoles() {
  while (QTcpSocket* socket = consoleServer_.nextPendingConnection()) {
    const std::string client = socket->peerAddress().toString().toStdString();
    TcpConsoleHost host;
    host.authenticate = [this, client](const std::string& password) {
      if (!state_.setup.password.empty() && password == state_.setup.password) return true;
      if (wire_.banAfter > 0 && ++wrongPasswords_[client] >= wire_.banAfter) banned_.insert(client);
      return false;
    };
    host.banned = [this, client] { return banned_.count(client) > 0; };
    host.run = [this](const std::string& command) {
      std::string output = RunConsoleCommand(state_, command, NowMs(), StatusLayout::Table);
      sendLog();
      return output;
    };
    host.planCommand = [this](const std::string& command) {
      return PlanReply(faults_, {"rcon", "rcon:" + CommandWord(command)}, false);
    };
    host.planAuth = [this] { return PlanReply(faults_, {"auth"}, false); };
    host.record = [this](std::int32_t type, const std::string& body) {
      log_.RecordTcp(port(), type, body);
    };
    new TcpConsoleConnection(socket, std::move(host), this);
  }
}

void SimServer::handle(const std::string& datagram, const QHostAddress& from,
                       std::uint16_t fromPort) {
  log_.Record(port(), datagram);
  const std::optional<Request> request = understand(datagram);
  if (!request) return;
  const std::string client = from.toString().toStdString();
  const ReplyPlan plan =
      PlanReply(faults_, requestKeys(*request, client), bringsChallenge(*request));
  if (!plan.send) return;
  const std::vector<std::string> sent =
      datagrams(answer(*request, client, plan.expireChallenge), plan, !isConsole(*request));
  sendLog();
  if (plan.delayMs == 0) {
    send(sent, plan.otherPort, from, fromPort, plan.copies);
    return;
  }
  QTimer::singleShot(plan.delayMs, this,
                     [=] { send(sent, plan.otherPort, from, fromPort, plan.copies); });
}

std::optional<SimServer::Request> SimServer::understand(const std::string& datagram) const {
  const bool classic = wire_.protocol != QueryProtocol::Steam;
  const bool steam = wire_.protocol != QueryProtocol::Classic;
  if (std::optional<SteamRequest> query = ParseSteamRequest(datagram))
    return steam ? std::optional<Request>(Request{{}, query}) : std::nullopt;
  const std::optional<std::string> command = RequestCommand(datagram);
  if (!command) return std::nullopt;
  if (*command == "details" || *command == "players" || *command == "rules")
    return classic ? std::optional<Request>(Request{*command, {}}) : std::nullopt;
  const bool udpConsole = wire_.console != ConsoleMode::Tcp;
  if (udpConsole && (*command == "challenge rcon" || command->rfind("rcon ", 0) == 0))
    return Request{*command, {}};
  return std::nullopt;
}

std::vector<std::string> SimServer::requestKeys(const Request& request,
                                                const std::string& from) const {
  if (request.steam) {
    switch (request.steam->query) {
      case SteamQuery::Info:
        return {"details"};
      case SteamQuery::Players:
        return {"players"};
      case SteamQuery::Rules:
        return {"rules"};
    }
  }
  if (request.command == "challenge rcon") return {"challenge"};
  if (request.command.rfind("rcon ", 0) != 0) return {request.command};
  const ConsoleLine line = ReadConsoleLine(request.command.substr(5), state_.setup.password);
  if (banned_.count(from) || !line.challenge || !line.command ||
      consoleChallenges_.Check(from, *line.challenge, NowMs()) != ChallengeBook::Standing::Live)
    return {"rcon"};
  return {"rcon", "rcon:" + CommandWord(*line.command)};
}

bool SimServer::isConsole(const Request& request) const {
  return !request.steam &&
         (request.command == "challenge rcon" || request.command.rfind("rcon ", 0) == 0);
}

bool SimServer::bringsChallenge(const Request& request) const {
  if (!request.steam) return request.command.rfind("rcon ", 0) == 0;
  return checksChallenge(*request.steam) && request.steam->challenge &&
         *request.steam->challenge != NoChallenge;
}

// Current servers want the challenge with every query; older ones not with the info request.
bool SimServer::checksChallenge(const SteamRequest& request) const {
  return request.query != SteamQuery::Info || wire_.infoChallenge;
}

std::vector<std::string> SimServer::answer(const Request& request, const std::string& from,
                                           bool expireChallenge) {
  if (request.steam) return steamAnswer(*request.steam, from, expireChallenge);
  if (request.command == "details") return {DetailsReply(state_)};
  if (request.command == "players") return {PlayersReply(state_, NowMs())};
  if (request.command == "rules") return {RulesReply(state_)};
  return consoleAnswer(request.command, from, expireChallenge);
}

std::vector<std::string> SimServer::steamAnswer(const SteamRequest& request,
                                                const std::string& from, bool expireChallenge) {
  const std::int64_t now = NowMs();
  if (expireChallenge) steamChallenges_.Drop(from);
  if (checksChallenge(request) &&
      !(request.challenge &&
        steamChallenges_.Check(from, *request.challenge, now) == ChallengeBook::Standing::Live))
    return {SteamChallengeReply(steamChallenges_.Current(from, now, state_.random))};
  switch (request.query) {
    case SteamQuery::Info:
      if (wire_.bothInfo)
        return {DetailsReply(state_), InfoReply(state_, port(), wire_.split.layout)};
      return {InfoReply(state_, port(), wire_.split.layout)};
    case SteamQuery::Players:
      return {PlayersReply(state_, now)};
    case SteamQuery::Rules:
      return {RulesReply(state_)};
  }
  return {};
}

// A ban comes first; then a line is refused for its challenge before its password is looked at,
// and only wrong passwords count towards a ban.
std::vector<std::string> SimServer::consoleAnswer(const std::string& command,
                                                  const std::string& from, bool expireChallenge) {
  const std::int64_t now = NowMs();
  if (banned_.count(from)) return ConsoleReplies(Banned);
  if (command == "challenge rcon")
    return {ChallengeReply(std::to_string(consoleChallenges_.Current(from, now, state_.random)))};
  if (expireChallenge) consoleChallenges_.Drop(from);
  const ConsoleLine line = ReadConsoleLine(command.substr(5), state_.setup.password);
  const ChallengeBook::Standing standing =
      line.challenge ? consoleChallenges_.Check(from, *line.challenge, now)
                     : ChallengeBook::Standing::Unknown;
  if (standing == ChallengeBook::Standing::Expired) return ConsoleReplies(ExpiredChallenge);
  if (standing == ChallengeBook::Standing::Unknown) return ConsoleReplies(BadPassword);
  if (!line.command) {
    if (wire_.banAfter > 0 && ++wrongPasswords_[from] >= wire_.banAfter) banned_.insert(from);
    return ConsoleReplies(BadPassword);
  }
  return ConsoleReplies(RunConsoleCommand(state_, *line.command, now));
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

std::vector<std::string> SimServer::datagrams(const std::vector<std::string>& replies,
                                              const ReplyPlan& plan, bool splittable) {
  std::vector<std::string> all;
  for (const std::string& reply : replies) {
    if (!splittable) {
      all.push_back(misshape(reply, plan));
      continue;
    }
    std::string error;
    const std::optional<std::vector<std::string>> pieces =
        SplitReply(misshape(reply, plan), wire_.split, nextSplitId_++, error);
    if (!pieces) {
      std::fprintf(stderr, "zerval-gameserver: reply not sent: %s\n", error.c_str());
      continue;
    }
    all.insert(all.end(), pieces->begin(), pieces->end());
  }
  return ArrangePieces(all, plan);
}

void SimServer::send(const std::vector<std::string>& datagrams, bool fromOtherPort,
                     const QHostAddress& to, std::uint16_t toPort, int copies) {
  if (fromOtherPort && !otherSocket_) {
    otherSocket_ = std::make_unique<QUdpSocket>();
    otherSocket_->bind(socket_.localAddress(), 0);
  }
  QUdpSocket& sender = fromOtherPort ? *otherSocket_ : socket_;
  for (int i = 0; i < copies; ++i)
    for (const std::string& datagram : datagrams)
      sender.writeDatagram(datagram.data(), qint64(datagram.size()), to, toPort);
}

void SimServer::sendLog() {
  const std::vector<LogEvent> events = std::move(state_.logEvents);
  state_.logEvents.clear();
  if (!state_.logging || state_.logAddress.empty()) return;
  scheduleBotChat();
  const std::size_t colon = state_.logAddress.rfind(':');
  const QHostAddress to(QString::fromStdString(state_.logAddress.substr(0, colon)));
  const auto toPort = std::uint16_t(std::stoi(state_.logAddress.substr(colon + 1)));
  if (!OnThisMachine(to)) {
    if (refusedLogAddress_ != state_.logAddress) {
      refusedLogAddress_ = state_.logAddress;
      std::fprintf(stderr,
                   "zerval-gameserver: log address %s is not on this machine: no log "
                   "lines go there\n",
                   state_.logAddress.c_str());
    }
    return;
  }
  // Today's servers log the chat whenever they log.
  const SimCvar* logMessages = FindCvar(state_, "mp_logmessages");
  const bool chat = state_.todaysLog || (logMessages && logMessages->value == "1");
  const std::tm now = LocalTimeNow();
  for (const LogEvent& event : events) {
    if (event.chat && !chat) continue;
    const std::string datagram = state_.todaysLog
                                     ? TodaysLogDatagram(event.line, now, state_.logSecret)
                                     : LogDatagram(event.line, now);
    socket_.writeDatagram(datagram.data(), qint64(datagram.size()), to, toPort);
  }
}

// Bots chat while the log goes somewhere, every chatSeconds on average.
void SimServer::scheduleBotChat() {
  const int meanMs = state_.setup.chatSeconds * 1000;
  if (meanMs == 0 || botChat_.isActive()) return;
  botChat_.start(std::uniform_int_distribution<int>(meanMs / 2, meanMs + meanMs / 2)(chatRandom_));
}
