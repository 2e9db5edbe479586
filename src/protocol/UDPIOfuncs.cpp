#include "protocol/UDPIOfuncs.h"

#include <poll.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QHostInfo>
#include <QNetworkInterface>
#include <QScopeGuard>
#include <QTimer>
#include <algorithm>
#include <limits>
#include <string_view>
#include <utility>
#include <vector>

#include "protocol/a2s.h"
#include "protocol/datafuncs.h"
#include "protocol/protocolrace.h"
#include "protocol/rconlink.h"
#include "protocol/splitreply.h"
#include "protocol/steadyclock.h"
#include "store/stdfuncs.h"

namespace {

// Counters only grow; past the 32-bit range they stay at the top instead of overflowing.
void AddToCounter(std::int32_t& counter, std::int64_t amount) {
  const std::int64_t sum = static_cast<std::int64_t>(counter) + amount;
  counter = static_cast<std::int32_t>(
      std::min<std::int64_t>(sum, std::numeric_limits<std::int32_t>::max()));
}

// Marks the exchange busy for the wait and the time-out dialog; cleared on every way out.
class BusyScope {
 public:
  explicit BusyScope(bool& busy) : busy_(busy) { busy_ = true; }
  ~BusyScope() { busy_ = false; }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  bool& busy_;
};

// Every datagram taken asks this, and listing the interfaces costs tens of microseconds of
// system calls; their broadcast addresses are therefore kept (per thread, so no lock is needed)
// and read again only when a few seconds have passed, so an interface that comes up later
// still counts.
bool IsBroadcast(const QHostAddress& address) {
  if (address == QHostAddress(QHostAddress::Broadcast)) return true;
  thread_local std::vector<QHostAddress> broadcasts;
  thread_local QDeadlineTimer stale;
  if (stale.hasExpired()) {
    broadcasts.clear();
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces())
      for (const QNetworkAddressEntry& entry : interface.addressEntries())
        if (!entry.broadcast().isNull()) broadcasts.push_back(entry.broadcast());
    stale = QDeadlineTimer(5000);
  }
  return std::find(broadcasts.begin(), broadcasts.end(), address) != broadcasts.end();
}

constexpr char ChallengeRequest[] = "challenge rcon";
constexpr char ConsoleLinePrefix[] = "rcon ";
// While datagrams keep coming, the window still gets its events this often.
constexpr Micros EventInterval = 25'000;
// A reply on a LAN comes within this; waiting for it without the event loop saves more than
// the round trip itself, and no window notices a pause this short.
constexpr Micros ShortWait = 2'000;

std::string CountText(std::int64_t count) {
  return FormatThousands(static_cast<std::int32_t>(
      std::min<std::int64_t>(count, std::numeric_limits<std::int32_t>::max())));
}

bool IsConsoleLine(const std::string& command) {
  return command.rfind(ConsoleLinePrefix, 0) == 0;
}

}  // namespace

// One exchange in progress: where it goes and the log lines of its wait.
struct UdpExchange::Run {
  QUdpSocket* socket = nullptr;
  QHostAddress address;
  std::uint16_t port = 0;
  std::string addressText;
  LogCallback log;
  ExchangeRequest request;
  int bufferSize = BufferSize;
  bool anySource = false;
  // Where the reply came from, and the replies kept for the next exchange.
  Datagram replySource;
  // The first other address that sent from the asked port, "address:port".
  std::string otherSource;
  // What may end the wait before a reply.
  ExchangeRival* rival = nullptr;
  // Whether the wait shows the wait dialog, and the dialog once it shows.
  bool waitDialog = false;
  std::shared_ptr<void> dialog;
  bool deferLog = false;
  std::vector<std::string> deferredLines;

  // Lines are made only when somebody reads them: a hex dump costs more than its datagram.
  bool Logs() const { return static_cast<bool>(log); }
  // During the wait the lines are kept, to be written once the wait dialog has closed.
  void Log(std::string line) {
    if (!log) return;
    if (deferLog)
      deferredLines.push_back(std::move(line));
    else
      log(line);
  }
  void FlushLog() {
    deferLog = false;
    for (const std::string& line : deferredLines) log(line);
    deferredLines.clear();
  }
  bool FromServer(const QHostAddress& source, std::uint16_t sourcePort) const {
    return anySource ||
           (sourcePort == port && source.isEqual(address, QHostAddress::TolerantConversion));
  }
};

void ReplyTarget::AppendConsoleReply(std::string_view reply) {
  if (const auto lines = ParseRconReply(reply))
    for (const std::string& line : *lines) AppendConsoleLine(line);
}

std::string HexLine(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string line(bytes.size() * 3, ' ');
  char* out = line.data();
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    out[0] = digits[byte >> 4];
    out[1] = digits[byte & 0x0F];
    out += 3;
  }
  return line;
}

bool IsBroadcastHost(const std::string& host) {
  QHostAddress address;
  return address.setAddress(
             QString::fromLatin1(host.data(), static_cast<qsizetype>(host.size()))) &&
         IsBroadcast(address);
}

// A request in flight during a wait: its exchange, its policy and when the server first answered
// it (a reply, a challenge or a piece of one).
struct UdpExchange::Lane {
  Run& run;
  ReplyPolicy policy;
  std::optional<Micros> answeredAt;
};

UdpExchange::UdpExchange(TCurrentServer& server, ExchangeUi& ui, ReplyTarget& target,
                         QObject* parent)
    : QObject(parent),
      server_(server),
      ui_(ui),
      target_(target),
      buffer_(static_cast<std::size_t>(SteamBufferSize), '\0') {
  socket_.bind(QHostAddress(QHostAddress::AnyIPv4), 0);
}

UdpExchange::~UdpExchange() = default;

QHostAddress ResolveHost(const std::string& host) {
  const QString name = QString::fromLatin1(host.data(), static_cast<qsizetype>(host.size()));
  QHostAddress address;
  if (address.setAddress(name)) return address;
  const QHostInfo info = QHostInfo::fromName(name);
  for (const QHostAddress& candidate : info.addresses())
    if (candidate.protocol() == QAbstractSocket::IPv4Protocol) return candidate;
  throw EZerval("Host nicht gefunden: " + host +
                (info.errorString().isEmpty() ? std::string()
                                              : " (" + info.errorString().toStdString() + ")"));
}

UdpExchange::Run UdpExchange::Prepare(const std::string& host, std::int32_t port,
                                      const std::string& command, const LogCallback& log,
                                      QueryProtocol protocol) {
  Run run;
  run.socket = &socket_;
  run.address = ResolveHost(host);
  // A port outside the UDP range would otherwise wrap round to another port.
  if (port < 1 || port > 65535)
    throw EZerval("UDP Send Error: invalid port " + std::to_string(port));
  run.port = static_cast<std::uint16_t>(port);
  run.addressText = run.address.toString().toStdString();
  run.log = log;
  run.anySource = IsBroadcast(run.address);
  if (IsConsoleLine(command) && run.anySource)
    throw EZerval("Rcon-Befehle werden nicht an eine Broadcast-Adresse gesendet!");

  ExchangeRequest& request = run.request;
  request.command = command;
  request.timeout = static_cast<Micros>(receiveTimeout_) * 1000;
  // A console line built with the stored challenge and password can be built again with a new
  // challenge; without them there is no safe way to rebuild it.
  const std::string prefix =
      ConsoleLinePrefix + server_.Challenge + " " + server_.RconPassword + " ";
  if (IsConsoleLine(command) && command.rfind(prefix, 0) == 0)
    request.console =
        ConsoleLine{server_.Challenge, server_.RconPassword, command.substr(prefix.size())};
  if (protocol == QueryProtocol::Steam) {
    request.a2s = A2sQueryFor(command);
    run.bufferSize = SteamBufferSize;
  }
  return run;
}

void UdpExchange::SendOutgoing(Run& run, ReplyPolicy& policy) {
  for (const std::string& datagram : policy.TakeOutgoing()) {
    const qint64 sent = run.socket->writeDatagram(
        datagram.data(), static_cast<qint64>(datagram.size()), run.address, run.port);
    if (sent < 0) throw EZerval("UDP Send Error: " + run.socket->errorString().toStdString());
    AddToCounter(server_.BytesSent, static_cast<std::int64_t>(datagram.size()));
    if (!run.Logs()) continue;
    run.Log("Daten gesendet (" + FormatThousands(static_cast<std::int32_t>(datagram.size())) + ")");
    run.Log(HexLine(datagram));
  }
  for (const std::string& note : policy.TakeNotes()) run.Log(note);
}

Verdict UdpExchange::ReadOne(Run& run, ReplyPolicy& policy) {
  QHostAddress source;
  quint16 sourcePort = 0;
  // A longer datagram is cut to the buffer size; the system drops the rest of it.
  const qint64 count =
      run.socket->readDatagram(buffer_.data(), run.bufferSize, &source, &sourcePort);
  if (count < 0) throw EZerval("UDP Receive Error: " + run.socket->errorString().toStdString());
  const Datagram datagram{buffer_.substr(0, static_cast<std::size_t>(count)),
                          source.toString().toStdString(), sourcePort};
  return Feed(run, policy, datagram, run.FromServer(source, sourcePort), false);
}

Verdict UdpExchange::Feed(Run& run, ReplyPolicy& policy, const Datagram& datagram, bool fromServer,
                          bool held) {
  const Intake intake = policy.Receive(datagram.Bytes, fromServer, SteadyMicros(), held);
  // The source is checked first: only the asked server can end the exchange with an error.
  if (intake.verdict == Verdict::Empty) throw EZerval("UDP Receive Error = 0.");
  if (intake.counted)
    AddToCounter(server_.BytesReceived, static_cast<std::int64_t>(datagram.Bytes.size()));
  const std::string from = run.Logs() && intake.log != LogDetail::Nothing
                               ? datagram.SourceAddress + ":" + std::to_string(datagram.SourcePort)
                               : std::string();
  switch (run.Logs() ? intake.log : LogDetail::Nothing) {
    case LogDetail::Nothing:
      break;
    case LogDetail::Summary:
      run.Log("… weitere Datagramme verworfen");
      break;
    case LogDetail::Brief:
    case LogDetail::Full:
      if (intake.verdict == Verdict::Foreign) {
        run.Log("Fremdes Datagramm verworfen von " + from);
        break;
      }
      run.Log("Daten Empfangen von " + from + " (" +
              FormatThousands(static_cast<std::int32_t>(datagram.Bytes.size())) + " bytes)");
      if (intake.log == LogDetail::Full) run.Log(HexLine(datagram.Bytes));
      break;
  }
  if (!fromServer && datagram.SourcePort == run.port && run.otherSource.empty())
    run.otherSource = datagram.SourceAddress + ":" + std::to_string(datagram.SourcePort);
  if (intake.verdict == Verdict::Reply || intake.verdict == Verdict::Hold) {
    run.replySource.SourceAddress = datagram.SourceAddress;
    run.replySource.SourcePort = datagram.SourcePort;
  }
  SendOutgoing(run, policy);
  return intake.verdict;
}

// A short wait on the lanes' sockets alone; the lane whose socket has a datagram, if any.
UdpExchange::Lane* UdpExchange::WaitBriefly(const std::vector<Lane*>& lanes, Micros until) {
  const Micros wait = std::min(until, SteadyMicros() + ShortWait) - SteadyMicros();
  if (wait <= 0) return nullptr;
  std::vector<pollfd> sockets;
  for (const Lane* lane : lanes)
    sockets.push_back(pollfd{static_cast<int>(lane->run.socket->socketDescriptor()), POLLIN, 0});
  if (poll(sockets.data(), sockets.size(), static_cast<int>((wait + 999) / 1000)) <= 0)
    return nullptr;
  for (std::size_t i = 0; i < lanes.size(); ++i)
    if ((sockets[i].revents & POLLIN) != 0) return lanes[i];
  return nullptr;
}

// Waits in a nested event loop, so painting, input and timers go on meanwhile. Only now the wait
// dialog opens: a reply that came before would have left nothing to see, and showing and hiding
// the dialog for it costs more than the whole exchange.
void UdpExchange::WaitForDatagram(Run& run, const std::vector<Lane*>& lanes, Micros until) {
  if (run.waitDialog && !run.dialog) run.dialog = ui_.OpenWaitDialog();
  const Micros wait = std::max<Micros>(0, until - SteadyMicros());
  QEventLoop loop;
  QTimer timer;
  timer.setSingleShot(true);
  timer.setTimerType(Qt::PreciseTimer);
  connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
  bool pending = false;
  for (const Lane* lane : lanes) {
    connect(lane->run.socket, &QUdpSocket::readyRead, &loop, &QEventLoop::quit);
    pending = pending || lane->run.socket->hasPendingDatagrams();
  }
  timer.start(static_cast<int>((wait + 999) / 1000));
  waitLoop_ = &loop;
  const auto forget = qScopeGuard([this] { waitLoop_ = nullptr; });
  if (!pending && !cancelled_) loop.exec();
}

void UdpExchange::Cancel() {
  if (!busy_) return;
  cancelled_ = true;
  if (waitLoop_) waitLoop_->quit();
}

void UdpExchange::Wake() {
  if (waitLoop_) waitLoop_->quit();
}

void UdpExchange::Await(const std::vector<Lane*>& lanes,
                        const std::function<bool(Micros now, Micros& wake)>& settle) {
  Lane& first = *lanes.front();
  std::deque<Datagram> earlier = std::move(held_);
  held_.clear();
  while (first.policy.state() == ReplyPolicy::State::Waiting && !earlier.empty()) {
    const Datagram& datagram = earlier.front();
    const QHostAddress source(QString::fromStdString(datagram.SourceAddress));
    Feed(first.run, first.policy, datagram, first.run.FromServer(source, datagram.SourcePort),
         true);
    earlier.pop_front();
  }
  Micros lastEvents = SteadyMicros();
  // The time is checked after every datagram, so no stream of them keeps the exchange waiting.
  while (!cancelled_) {
    const Micros now = SteadyMicros();
    Micros wake = std::numeric_limits<Micros>::max();
    for (Lane* lane : lanes) {
      if (lane->policy.state() != ReplyPolicy::State::Waiting) continue;
      lane->policy.Advance(now);
      SendOutgoing(lane->run, lane->policy);
      if (lane->policy.state() == ReplyPolicy::State::Waiting)
        wake = std::min(wake, lane->policy.WakeAt());
    }
    if (settle(now, wake) || wake == std::numeric_limits<Micros>::max()) break;
    Lane* ready = WaitBriefly(lanes, wake);
    if (ready == nullptr) {
      WaitForDatagram(first.run, lanes, wake);
      lastEvents = SteadyMicros();
      continue;
    }
    if (now - lastEvents > EventInterval) {
      QCoreApplication::processEvents();
      lastEvents = SteadyMicros();
    }
    if (ReadOne(ready->run, ready->policy) == Verdict::Reply && !ready->answeredAt)
      ready->answeredAt = SteadyMicros();
  }
  // Replies kept now came before those still kept from earlier, or after all of them.
  for (std::string& reply : first.policy.TakeHeld())
    held_.push_back(Datagram{std::move(reply), first.run.replySource.SourceAddress,
                             first.run.replySource.SourcePort});
  for (Datagram& datagram : earlier) held_.push_back(std::move(datagram));
}

void UdpExchange::BeginWait(Run& run, ReplyPolicy& policy, bool waitDialog) {
  run.replySource = Datagram{{}, run.addressText, run.port};
  SendOutgoing(run, policy);
  run.waitDialog = waitDialog;
  run.deferLog = true;
}

void UdpExchange::EndWait(Run& run) {
  ui_.UpdateByteCounter();
  run.dialog.reset();
  run.FlushLog();
  if (!cancelled_) return;
  cancelled_ = false;
  // Quiet exchanges write no lines of their own; the operator's cancel is still logged.
  const LogCallback& log = run.log ? run.log : server_.Log;
  if (log) log("cancelled");
  throw ExchangeCancelled();
}

std::optional<Datagram> UdpExchange::Exchange(Run& run, bool waitDialog) {
  Lane lane{run, ReplyPolicy(run.request, SteadyMicros()), std::nullopt};
  ReplyPolicy& policy = lane.policy;
  cancelled_ = false;
  BeginWait(run, policy, waitDialog);
  try {
    Await({&lane}, [&policy, &run](Micros now, Micros& wake) {
      if (policy.state() != ReplyPolicy::State::Waiting) return true;
      if (!run.rival) return false;
      if (run.rival->Won(now)) return true;
      wake = std::min(wake, run.rival->WakeAt());
      return false;
    });
  } catch (...) {
    run.dialog.reset();
    run.FlushLog();
    throw;
  }
  if (policy.RenewedChallenge()) server_.Challenge = *policy.RenewedChallenge();
  EndWait(run);
  lastRoundTrip_ = policy.RoundTrip();
  if (policy.state() != ReplyPolicy::State::Replied) return std::nullopt;
  return Datagram{policy.Reply(), run.replySource.SourceAddress, run.replySource.SourcePort};
}

std::optional<WireProtocol> UdpExchange::Race(Run& classic, Run& info,
                                              std::optional<Datagram>& reply) {
  const Micros start = SteadyMicros();
  Lane classicLane{classic, ReplyPolicy(classic.request, start), std::nullopt};
  Lane infoLane{info, ReplyPolicy(info.request, start), std::nullopt};
  ProtocolRace race(start);
  cancelled_ = false;
  BeginWait(classic, classicLane.policy, true);
  BeginWait(info, infoLane.policy, false);
  // The info request's lines go into the classic request's log, in their order.
  info.deferLog = false;
  const auto settle = [&](Micros now, Micros& wake) {
    for (const Lane* lane : {&classicLane, &infoLane}) {
      const WireProtocol protocol =
          lane == &classicLane ? WireProtocol::Classic : WireProtocol::A2s;
      if (lane->answeredAt) race.Answered(protocol, *lane->answeredAt);
      if (lane->policy.state() == ReplyPolicy::State::Waiting) continue;
      std::optional<std::string_view> answer;
      if (lane->policy.state() == ReplyPolicy::State::Replied) answer = lane->policy.Reply();
      race.Ended(protocol, answer, now);
    }
    race.Advance(now);
    if (const std::optional<Micros> grace = race.WakeAt()) wake = std::min(wake, *grace);
    return race.state() != ProtocolRace::State::Waiting;
  };
  try {
    Await({&classicLane, &infoLane}, settle);
  } catch (...) {
    classic.dialog.reset();
    classic.FlushLog();
    throw;
  }
  EndWait(classic);
  const std::optional<WireProtocol> found = race.Found();
  lastRoundTrip_.reset();
  if (!found) return std::nullopt;
  const Lane& winner = *found == WireProtocol::Classic ? classicLane : infoLane;
  lastRoundTrip_ = winner.policy.RoundTrip();
  reply = Datagram{winner.policy.Reply(), winner.run.replySource.SourceAddress,
                   winner.run.replySource.SourcePort};
  return found;
}

std::optional<WireProtocol> UdpExchange::QueryFirstContact(const std::string& host,
                                                           std::int32_t port,
                                                           const LogCallback& log, bool display) {
  if (busy_) throw EZerval("Es läuft bereits eine Abfrage!");
  Run classic = Prepare(host, port, "details", log, QueryProtocol::Classic);
  // The info request has a socket of its own: its reply is known by the socket it comes on, and
  // one that comes late finds the socket closed instead of passing for the reply to a later
  // request.
  QUdpSocket infoSocket;
  if (!infoSocket.bind(QHostAddress(QHostAddress::AnyIPv4), 0))
    throw EZerval("UDP Socket Error: " + infoSocket.errorString().toStdString());
  Run info = Prepare(host, port, "details", nullptr, QueryProtocol::Steam);
  info.socket = &infoSocket;
  if (log) info.log = [&classic](const std::string& line) { classic.Log(line); };
  std::optional<Datagram> reply;
  std::optional<WireProtocol> found;
  try {
    BusyScope busy(busy_);
    found = Race(classic, info, reply);
    if (!found) {
      otherSource_ = classic.otherSource;
      ReportTimeout(log);
    }
  } catch (const ExchangeCancelled&) {
    emit Idle();
    throw;
  }
  emit Idle();
  if (found) Dispatch(*reply, log, display, nullptr);
  return found;
}

std::optional<Datagram> UdpExchange::QueryQuiet(const std::string& host, std::int32_t port,
                                                const std::string& command, bool waitDialog) {
  if (busy_) throw EZerval("Es läuft bereits eine Abfrage!");
  Run run = Prepare(host, port, command, nullptr, protocol_);
  std::optional<Datagram> reply;
  try {
    BusyScope busy(busy_);
    reply = Exchange(run, waitDialog);
  } catch (const ExchangeCancelled&) {
    emit Idle();
    throw;
  }
  emit Idle();
  return reply;
}

bool UdpExchange::QueryServer(const std::string& host, std::int32_t port,
                              const std::string& command, const LogCallback& log, bool display) {
  return Query(host, port, command, log, display, true, nullptr);
}

bool UdpExchange::QueryServerEx(const std::string& host, std::int32_t port,
                                const std::string& command, const LogCallback& log, bool display,
                                bool waitDialog) {
  return Query(host, port, command, log, display, waitDialog, nullptr);
}

bool UdpExchange::QueryChallenge(const std::string& host, std::int32_t port, const LogCallback& log,
                                 bool display, const std::string& followUpCommand) {
  return Query(host, port, ChallengeRequest, log, display, true, &followUpCommand);
}

bool UdpExchange::QueryChallengeRaced(const std::string& host, std::int32_t port,
                                      const LogCallback& log, const std::string& followUpCommand,
                                      ExchangeRival& rival) {
  return Query(host, port, ChallengeRequest, log, false, true, &followUpCommand, &rival);
}

void UdpExchange::ReportTimeout(const LogCallback& log) {
  ui_.PlayTimeoutSound();
  ui_.ShowTimeoutDialog();
  if (log) log("TimeOut!!!");
}

bool UdpExchange::Query(const std::string& host, std::int32_t port, const std::string& command,
                        const LogCallback& log, bool display, bool waitDialog,
                        const std::string* followUpCommand, ExchangeRival* rival) {
  if (busy_) throw EZerval("Es läuft bereits eine Abfrage!");
  Run run = Prepare(host, port, command, log, protocol_);
  run.rival = rival;
  std::optional<Datagram> reply;
  try {
    BusyScope busy(busy_);
    reply = Exchange(run, waitDialog);
    // At the time-out a rival that has won takes its place.
    if (!reply && !(rival && rival->Won(SteadyMicros()))) {
      otherSource_ = run.otherSource;
      ReportTimeout(log);
    }
  } catch (const ExchangeCancelled&) {
    emit Idle();
    throw;
  }
  emit Idle();
  if (!reply) return false;
  Dispatch(*reply, log, display, followUpCommand);
  return true;
}

RconResult UdpExchange::AwaitConsole(RconLink& link, std::uint64_t ticket, const LogCallback& log,
                                     bool waitDialog, bool reportTimeout) {
  if (busy_) throw EZerval("Es läuft bereits eine Abfrage!");
  std::optional<RconResult> result;
  {
    BusyScope busy(busy_);
    cancelled_ = false;
    QEventLoop loop;
    const QMetaObject::Connection taken =
        connect(&link, &RconLink::finished, &loop, [&](const RconResult& end) {
          if (end.ticket != ticket) return;
          result = end;
          loop.quit();
        });
    // As with a datagram, only a wait that goes on shows the dialog.
    std::shared_ptr<void> dialog;
    QTimer later;
    later.setSingleShot(true);
    if (waitDialog) {
      connect(&later, &QTimer::timeout, &loop, [&] { dialog = ui_.OpenWaitDialog(); });
      later.start(static_cast<int>(ShortWait / 1000));
    }
    waitLoop_ = &loop;
    const auto forget = qScopeGuard([&] {
      waitLoop_ = nullptr;
      disconnect(taken);
    });
    while (!result && !cancelled_) loop.exec();
    dialog.reset();
    const RconLink::Traffic traffic = link.TakeTraffic();
    AddToCounter(server_.BytesSent, traffic.sent);
    AddToCounter(server_.BytesReceived, traffic.received);
    ui_.UpdateByteCounter();
    const std::vector<std::string> notes = link.TakeNotes();
    if (log) {
      for (const std::string& note : notes) log(note);
      if (traffic.sent > 0) log("Daten gesendet über TCP (" + CountText(traffic.sent) + ")");
      if (traffic.received > 0)
        log("Daten Empfangen über TCP (" + CountText(traffic.received) + " bytes)");
    }
    const bool unanswered =
        result && (result->end == RconEnd::TimedOut || result->end == RconEnd::ConnectFailed ||
                   result->end == RconEnd::ConnectionLost || result->end == RconEnd::BrokenPeer);
    if (unanswered && reportTimeout) {
      otherSource_.clear();
      ReportTimeout(log);
    }
  }
  emit Idle();
  if (!cancelled_) return *result;
  cancelled_ = false;
  const LogCallback& cancelLog = log ? log : server_.Log;
  if (cancelLog) cancelLog("cancelled");
  throw ExchangeCancelled();
}

void UdpExchange::HandleReply(const Datagram& reply, const LogCallback& log, bool display) {
  Dispatch(reply, log, display, nullptr);
}

void UdpExchange::Dispatch(const Datagram& reply, const LogCallback& log, bool display,
                           const std::string* followUpCommand) {
  const std::string& bytes = reply.Bytes;
  if (bytes.size() <= ReplyKindOffset) return;
  switch (bytes[ReplyKindOffset]) {
    case 'D': {
      TPlayerList players;
      ParsePlayers(bytes, players);
      target_.ShowPlayers(players);
      break;
    }
    case 'E': {
      TRuleList rules;
      ParseRules(bytes, rules);
      target_.ShowRules(rules);
      break;
    }
    case 'I': {
      TDetailInfo details;
      ParseA2sInfo(bytes, details);
      // The server that answered is the one asked: an exchange takes no other datagrams.
      details.ServerAddress = reply.SourceAddress + ":" + std::to_string(reply.SourcePort);
      if (const std::optional<A2sInfo> info = DecodeA2sInfo(bytes))
        target_.ShowA2sDetails(details, *info);
      else
        target_.ShowDetails(details);
      break;
    }
    case 'c':
      ChallengeAction(reply, log, display, followUpCommand);
      break;
    case 'l':
      if (!display) break;
      target_.AppendConsoleReply(bytes);
      break;
    case 'm': {
      TDetailInfo details;
      ParseDetails(bytes, details);
      target_.ShowDetails(details);
      break;
    }
    default:
      break;
  }
}

void UdpExchange::ChallengeAction(const Datagram& reply, const LogCallback& log, bool display,
                                  const std::string* followUpCommand) {
  // The password belongs to the selected entry alone: without one, no challenge is of use.
  if (!server_.RconEnabled || server_.RconPassword.empty()) {
    if (log) log("Challenge ignoriert: kein Rcon-Passwort für diesen Server");
    return;
  }
  server_.Challenge = ExtractChallenge(reply.Bytes);
  // Only the exchange that asked for the challenge sends a console line on it, and only once:
  // a late, repeated or unasked challenge reply runs nothing.
  if (!followUpCommand) return;
  if (IsBroadcastHost(server_.HostIP)) {
    if (log) log("Kein Rcon-Befehl an eine Broadcast-Adresse");
    return;
  }
  if (display) target_.AppendConsoleLine("Sending :\"" + *followUpCommand + "\"");
  // The line carries the password: it goes to the server the operator selected, never to
  // whatever address the challenge reply claims to come from.
  QueryServer(server_.HostIP, server_.Port,
              ConsoleLineText({server_.Challenge, server_.RconPassword, *followUpCommand}), log,
              display);
}
