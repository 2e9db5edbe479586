#include "protocol/UDPIOfuncs.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QHostInfo>
#include <QNetworkInterface>
#include <QTimer>
#include <algorithm>
#include <limits>
#include <string_view>
#include <utility>
#include <vector>

#include "protocol/a2s.h"
#include "protocol/datafuncs.h"
#include "protocol/splitreply.h"
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

constexpr char KindConsoleText = 'l';
constexpr char KindChallenge = 'c';
constexpr char ChallengeRequest[] = "challenge rcon";
constexpr char ConsoleLinePrefix[] = "rcon ";
// A challenge reply to a Steam request is answered this often; further ones are ignored.
constexpr int MaxChallengeResends = 2;

char KindOf(std::string_view reply) {
  return reply.size() > ReplyKindOffset ? reply[ReplyKindOffset] : '\0';
}

// The text of a console-text reply: from offset 5 to its end, without trailing zero bytes.
std::string_view ConsoleText(std::string_view reply) {
  if (reply.size() <= ReplyKindOffset + 1) return {};
  std::string_view text = reply.substr(ReplyKindOffset + 1);
  while (!text.empty() && text.back() == '\0') text.remove_suffix(1);
  return text;
}

// The answers by which a server refuses a console line.
enum class ConsoleAnswer { Other, WrongPassword, ChallengeExpired };

// A refusal is recognised only when it is the whole of the console text, so that no command's
// output can pass for one.
ConsoleAnswer AnswerOf(std::string_view reply) {
  std::vector<std::string_view> lines;
  std::string_view text = ConsoleText(reply);
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
    if (!line.empty()) lines.push_back(line);
  }
  const std::string_view wrongPassword = "Bad rcon_password.";
  if (lines == std::vector<std::string_view>{wrongPassword}) return ConsoleAnswer::WrongPassword;
  if (lines == std::vector<std::string_view>{wrongPassword, "Bad challenge."})
    return ConsoleAnswer::ChallengeExpired;
  return ConsoleAnswer::Other;
}

}  // namespace

std::string JoinConsoleReplies(const std::vector<std::string>& replies) {
  std::string text;
  for (const std::string& reply : replies) text += ConsoleText(reply);
  if (text.empty() || text.back() != '\n') text += '\n';
  return std::string(4, '\xFF') + KindConsoleText + text + std::string(2, '\0');
}

// One exchange in progress: where it goes, what it asked and what it has taken so far.
struct UdpExchange::Run {
  Run(QHostAddress to, std::int32_t toPort, std::string text, LogCallback logLine,
      QueryProtocol protocol)
      : address(std::move(to)),
        port(toPort),
        command(std::move(text)),
        log(std::move(logLine)),
        consoleLine(command.rfind(ConsoleLinePrefix, 0) == 0) {
    if (protocol == QueryProtocol::Steam) {
      query = A2sQueryFor(command);
      dropsInfoReplies = query != A2sQuery::Info;
      bufferSize = SteamBufferSize;
    }
  }

  // During the wait the lines are kept, to be written once the wait dialog has closed.
  void Log(const std::string& line) {
    if (!log) return;
    if (deferLog)
      deferredLines.push_back(line);
    else
      log(line);
  }
  void FlushLog() {
    deferLog = false;
    for (const std::string& line : deferredLines) log(line);
    deferredLines.clear();
  }
  std::string Request() const { return query ? A2sRequest(*query) : FrameRequest(command); }
  std::uint16_t Port() const { return static_cast<std::uint16_t>(port); }

  QHostAddress address;
  std::int32_t port = 0;
  std::string command;
  LogCallback log;
  bool consoleLine = false;
  std::optional<A2sQuery> query;
  bool dropsInfoReplies = false;
  int bufferSize = BufferSize;
  int challengeResends = 0;
  QDeadlineTimer deadline;
  SplitReassembler pieces;
  bool deferLog = false;
  std::vector<std::string> deferredLines;
};

// A datagram from the asked server; `fresh` when it came from the socket just now, not from
// the datagrams an earlier exchange left (those were counted and logged then).
struct UdpExchange::Taken {
  Datagram datagram;
  bool fresh = false;
};

std::string FrameRequest(const std::string& command) {
  return std::string(4, '\xFF') + command + '\0';
}

std::string HexLine(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string line;
  line.reserve(bytes.size() * 3);
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    line += digits[byte >> 4];
    line += digits[byte & 0x0F];
    line += ' ';
  }
  return line;
}

UdpExchange::UdpExchange(TCurrentServer& server, ExchangeUi& ui, ReplyTarget& target,
                         QObject* parent)
    : QObject(parent), server_(server), ui_(ui), target_(target) {
  socket_.bind(QHostAddress(QHostAddress::AnyIPv4), 0);
}

UdpExchange::~UdpExchange() = default;

QHostAddress UdpExchange::Resolve(const std::string& host) const {
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

void UdpExchange::SendRequest(Run& run, const std::string& datagram) {
  // A port outside the UDP range would otherwise wrap round to another port.
  if (run.port < 1 || run.port > 65535)
    throw EZerval("UDP Send Error: invalid port " + std::to_string(run.port));
  const qint64 sent = socket_.writeDatagram(datagram.data(), static_cast<qint64>(datagram.size()),
                                            run.address, run.Port());
  if (sent < 0) throw EZerval("UDP Send Error: " + socket_.errorString().toStdString());
  AddToCounter(server_.BytesSent, static_cast<std::int64_t>(datagram.size()));
  run.Log("Daten gesendet (" + FormatThousands(static_cast<std::int32_t>(datagram.size())) + ")");
  run.Log(HexLine(datagram));
}

bool UdpExchange::AcceptsSource(const QHostAddress& expected, std::uint16_t port,
                                const QHostAddress& source, std::uint16_t sourcePort) const {
  if (IsBroadcast(expected)) return true;
  return sourcePort == port && source.isEqual(expected, QHostAddress::TolerantConversion);
}

std::optional<UdpExchange::Taken> UdpExchange::NextDatagram(Run& run,
                                                            const QDeadlineTimer& deadline) {
  for (;;) {
    while (!held_.empty()) {
      Datagram datagram = std::move(held_.front());
      held_.pop_front();
      const QHostAddress source(QString::fromStdString(datagram.SourceAddress));
      if (AcceptsSource(run.address, run.Port(), source, datagram.SourcePort))
        return Taken{std::move(datagram), false};
      run.Log("Fremdes Datagramm verworfen von " + datagram.SourceAddress + ":" +
              std::to_string(datagram.SourcePort));
    }
    while (socket_.hasPendingDatagrams()) {
      // A longer datagram is cut to the buffer size; the system drops the rest of it.
      std::string buffer(static_cast<std::size_t>(run.bufferSize), '\0');
      QHostAddress source;
      quint16 sourcePort = 0;
      const qint64 count =
          socket_.readDatagram(buffer.data(), run.bufferSize, &source, &sourcePort);
      if (count < 0) throw EZerval("UDP Receive Error: " + socket_.errorString().toStdString());
      if (count == 0) throw EZerval("UDP Receive Error = 0.");
      buffer.resize(static_cast<std::size_t>(count));
      const std::string sourceText = source.toString().toStdString();
      // Only the server that was asked may answer; anything else could be a forged reply.
      if (!AcceptsSource(run.address, run.Port(), source, sourcePort)) {
        run.Log("Fremdes Datagramm verworfen von " + sourceText + ":" + std::to_string(sourcePort));
        continue;
      }
      AddToCounter(server_.BytesReceived, count);
      run.Log("Daten Empfangen von " + sourceText + ":" + std::to_string(sourcePort) + " (" +
              FormatThousands(static_cast<std::int32_t>(count)) + " bytes)");
      run.Log(HexLine(buffer));
      return Taken{Datagram{std::move(buffer), sourceText, sourcePort}, true};
    }
    if (deadline.hasExpired()) return std::nullopt;
    // Wait in a nested event loop, so painting, input and timers go on meanwhile.
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(&socket_, &QUdpSocket::readyRead, &loop, &QEventLoop::quit);
    timer.start(static_cast<int>(deadline.remainingTime()));
    if (!socket_.hasPendingDatagrams()) loop.exec();
  }
}

std::optional<Datagram> UdpExchange::NextReply(Run& run, const QDeadlineTimer& deadline) {
  for (;;) {
    std::optional<Taken> taken = NextDatagram(run, deadline);
    if (!taken) return std::nullopt;
    Datagram reply = std::move(taken->datagram);
    if (taken->fresh && IsSplitPiece(reply.Bytes)) {
      SplitOutcome outcome = run.pieces.Add(reply.Bytes);
      if (outcome.status == SplitOutcome::Status::Refused)
        run.Log("Geteilte Antwort verworfen: " + outcome.reason);
      if (outcome.status != SplitOutcome::Status::Complete) continue;
      reply.Bytes = std::move(outcome.reply);
    }
    if (run.query) {
      if (const std::optional<std::string> challenge = A2sChallenge(reply.Bytes)) {
        if (run.challengeResends < MaxChallengeResends) {
          ++run.challengeResends;
          SendRequest(run, A2sRequest(*run.query, *challenge));
        }
        continue;
      }
    }
    if (run.dropsInfoReplies && IsInfoReply(reply.Bytes)) {
      run.Log("Nicht angefragte Info-Antwort verworfen");
      continue;
    }
    return reply;
  }
}

std::optional<Datagram> UdpExchange::AwaitReply(Run& run) {
  std::optional<Datagram> reply = NextReply(run, run.deadline);
  if (!reply || KindOf(reply->Bytes) != KindConsoleText) return reply;
  return CompleteConsoleText(run, std::move(*reply));
}

Datagram UdpExchange::CompleteConsoleText(Run& run, Datagram reply) {
  std::vector<std::string> parts{reply.Bytes};
  const auto mayGoOn = [&run, &parts] {
    return parts.back().size() >= static_cast<std::size_t>(LongConsoleReply) ||
           (run.consoleLine && AnswerOf(JoinConsoleReplies(parts)) == ConsoleAnswer::WrongPassword);
  };
  while (mayGoOn()) {
    const QDeadlineTimer quiet(std::min<qint64>(ConsoleQuietTime, run.deadline.remainingTime()));
    std::optional<Datagram> next = NextReply(run, quiet);
    if (!next) break;
    if (KindOf(next->Bytes) != KindConsoleText) {
      held_.push_front(std::move(*next));
      break;
    }
    parts.push_back(std::move(next->Bytes));
  }
  if (parts.size() > 1) reply.Bytes = JoinConsoleReplies(parts);
  return reply;
}

std::optional<Datagram> UdpExchange::RetryWithNewChallenge(Run& run) {
  // The line was built with the stored challenge; without it there is no safe way to rebuild it.
  const std::string sentPrefix = ConsoleLinePrefix + server_.Challenge + " ";
  if (run.command.rfind(sentPrefix, 0) != 0) return std::nullopt;
  const std::string passwordAndCommand = run.command.substr(sentPrefix.size());
  run.Log("Challenge abgelaufen, hole eine neue");
  SendRequest(run, FrameRequest(ChallengeRequest));
  run.deadline = QDeadlineTimer(receiveTimeout_);
  std::optional<Datagram> challenge = NextReply(run, run.deadline);
  if (!challenge) return std::nullopt;
  if (KindOf(challenge->Bytes) != KindChallenge) {
    held_.push_front(std::move(*challenge));
    return std::nullopt;
  }
  const std::string expired = server_.Challenge;
  server_.Challenge = ExtractChallenge(challenge->Bytes);
  // The same answer again is all that an empty or unchanged challenge could bring.
  if (server_.Challenge.empty() || server_.Challenge == expired) return std::nullopt;
  run.command = ConsoleLinePrefix + server_.Challenge + " " + passwordAndCommand;
  SendRequest(run, FrameRequest(run.command));
  run.deadline = QDeadlineTimer(receiveTimeout_);
  return AwaitReply(run);
}

std::optional<Datagram> UdpExchange::Exchange(Run& run, bool waitDialog) {
  SendRequest(run, run.Request());
  std::shared_ptr<void> dialog = waitDialog ? ui_.OpenWaitDialog() : nullptr;
  run.deferLog = true;
  run.deadline = QDeadlineTimer(receiveTimeout_);
  std::optional<Datagram> reply;
  try {
    reply = AwaitReply(run);
    if (reply && run.consoleLine && AnswerOf(reply->Bytes) == ConsoleAnswer::ChallengeExpired)
      if (std::optional<Datagram> again = RetryWithNewChallenge(run)) reply = std::move(again);
  } catch (...) {
    dialog.reset();
    run.FlushLog();
    throw;
  }
  ui_.UpdateByteCounter();
  dialog.reset();
  run.FlushLog();
  return reply;
}

std::optional<Datagram> UdpExchange::QueryQuiet(const std::string& host, std::int32_t port,
                                                const std::string& command, bool waitDialog) {
  if (busy_) throw EZerval("Es läuft bereits eine Abfrage!");
  Run run(Resolve(host), port, command, nullptr, protocol_);
  BusyScope busy(busy_);
  return Exchange(run, waitDialog);
}

bool UdpExchange::QueryServer(const std::string& host, std::int32_t port,
                              const std::string& command, const LogCallback& log, bool display) {
  return QueryServerEx(host, port, command, log, display, true);
}

bool UdpExchange::QueryServerEx(const std::string& host, std::int32_t port,
                                const std::string& command, const LogCallback& log, bool display,
                                bool waitDialog) {
  if (busy_) throw EZerval("Es läuft bereits eine Abfrage!");
  Run run(Resolve(host), port, command, log, protocol_);
  std::optional<Datagram> reply;
  {
    BusyScope busy(busy_);
    reply = Exchange(run, waitDialog);
    if (!reply) {
      ui_.PlayTimeoutSound();
      ui_.ShowTimeoutDialog();
      if (log) log("TimeOut!!!");
      return false;
    }
  }
  HandleReply(*reply, log, display);
  return true;
}

void UdpExchange::HandleReply(const Datagram& reply, const LogCallback& log, bool display) {
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
      target_.ShowDetails(details);
      break;
    }
    case 'c':
      ChallengeAction(reply, log, display);
      break;
    case 'l':
      if (!display) break;
      if (const auto lines = ParseRconReply(bytes))
        for (const std::string& line : *lines) target_.AppendConsoleLine(line);
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

void UdpExchange::ChallengeAction(const Datagram& reply, const LogCallback& log, bool display) {
  server_.Challenge = ExtractChallenge(reply.Bytes);
  const std::string command = target_.RconCommandText();
  if (display) target_.AppendConsoleLine("Sending :\"" + command + "\"");
  // The line carries the password: it goes to the server the operator selected, never to
  // whatever address the challenge reply claims to come from.
  QueryServer(server_.HostIP, server_.Port,
              ConsoleLinePrefix + server_.Challenge + " " + server_.RconPassword + " " + command,
              log, display);
}
