#include "protocol/UDPIOfuncs.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostInfo>
#include <QNetworkInterface>
#include <QTimer>
#include <limits>

#include "protocol/datafuncs.h"
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

bool IsBroadcast(const QHostAddress& address) {
  if (address == QHostAddress(QHostAddress::Broadcast)) return true;
  for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces())
    for (const QNetworkAddressEntry& entry : interface.addressEntries())
      if (!entry.broadcast().isNull() && entry.broadcast() == address) return true;
  return false;
}

}  // namespace

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

void UdpExchange::Send(const QHostAddress& address, std::int32_t port,
                       const std::string& datagram) {
  // A port outside the UDP range would otherwise wrap round to another port.
  if (port < 1 || port > 65535)
    throw EZerval("UDP Send Error: invalid port " + std::to_string(port));
  const qint64 sent = socket_.writeDatagram(datagram.data(), static_cast<qint64>(datagram.size()),
                                            address, static_cast<quint16>(port));
  if (sent < 0) throw EZerval("UDP Send Error: " + socket_.errorString().toStdString());
}

bool UdpExchange::AcceptsSource(const QHostAddress& expected, std::uint16_t port,
                                const QHostAddress& source, std::uint16_t sourcePort) const {
  if (IsBroadcast(expected)) return true;
  return sourcePort == port && source.isEqual(expected, QHostAddress::TolerantConversion);
}

std::optional<Datagram> UdpExchange::Receive(const QHostAddress& from, std::uint16_t port,
                                             const LogCallback& log) {
  QElapsedTimer clock;
  clock.start();
  for (;;) {
    while (socket_.hasPendingDatagrams()) {
      // A longer datagram is cut to the buffer size; the system drops the rest of it.
      std::string buffer(BufferSize, '\0');
      QHostAddress source;
      quint16 sourcePort = 0;
      const qint64 count = socket_.readDatagram(buffer.data(), BufferSize, &source, &sourcePort);
      if (count < 0) throw EZerval("UDP Receive Error: " + socket_.errorString().toStdString());
      if (count == 0) throw EZerval("UDP Receive Error = 0.");
      buffer.resize(static_cast<std::size_t>(count));
      const std::string sourceText = source.toString().toStdString();
      // Only the server that was asked may answer; anything else could be a forged reply.
      if (!AcceptsSource(from, port, source, sourcePort)) {
        if (log)
          log("Fremdes Datagramm verworfen von " + sourceText + ":" + std::to_string(sourcePort));
        continue;
      }
      return Datagram{std::move(buffer), sourceText, sourcePort};
    }
    const qint64 remaining = receiveTimeout_ - clock.elapsed();
    if (remaining <= 0) return std::nullopt;
    // Wait in a nested event loop, so painting, input and timers go on meanwhile.
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(&socket_, &QUdpSocket::readyRead, &loop, &QEventLoop::quit);
    timer.start(static_cast<int>(remaining));
    if (!socket_.hasPendingDatagrams()) loop.exec();
  }
}

std::optional<Datagram> UdpExchange::QueryQuiet(const std::string& host, std::int32_t port,
                                                const std::string& command, bool waitDialog) {
  if (busy_) throw EZerval("Es läuft bereits eine Abfrage!");
  const std::string datagram = FrameRequest(command);
  const QHostAddress address = Resolve(host);
  Send(address, port, datagram);
  AddToCounter(server_.BytesSent, static_cast<std::int64_t>(datagram.size()));
  std::shared_ptr<void> dialog = waitDialog ? ui_.OpenWaitDialog() : nullptr;
  BusyScope busy(busy_);
  std::optional<Datagram> reply = Receive(address, static_cast<std::uint16_t>(port), nullptr);
  AddToCounter(server_.BytesReceived, reply ? static_cast<std::int64_t>(reply->Bytes.size()) : 0);
  ui_.UpdateByteCounter();
  return reply;
}

bool UdpExchange::QueryServer(const std::string& host, std::int32_t port,
                              const std::string& command, const LogCallback& log, bool display) {
  return QueryServerEx(host, port, command, log, display, true);
}

bool UdpExchange::QueryServerEx(const std::string& host, std::int32_t port,
                                const std::string& command, const LogCallback& log, bool display,
                                bool waitDialog) {
  if (busy_) throw EZerval("Es läuft bereits eine Abfrage!");
  const std::string datagram = FrameRequest(command);
  const QHostAddress address = Resolve(host);
  Send(address, port, datagram);
  AddToCounter(server_.BytesSent, static_cast<std::int64_t>(datagram.size()));
  if (log) {
    log("Daten gesendet (" + FormatThousands(static_cast<std::int32_t>(datagram.size())) + ")");
    log(HexLine(datagram));
  }

  std::optional<Datagram> reply;
  {
    BusyScope busy(busy_);
    std::shared_ptr<void> dialog = waitDialog ? ui_.OpenWaitDialog() : nullptr;
    reply = Receive(address, static_cast<std::uint16_t>(port), log);
    AddToCounter(server_.BytesReceived, reply ? static_cast<std::int64_t>(reply->Bytes.size()) : 0);
    ui_.UpdateByteCounter();
    dialog.reset();
    if (!reply) {
      ui_.PlayTimeoutSound();
      ui_.ShowTimeoutDialog();
      if (log) log("TimeOut!!!");
      return false;
    }
  }
  if (log) {
    log("Daten Empfangen von " + reply->SourceAddress + ":" + std::to_string(reply->SourcePort) +
        " (" + FormatThousands(static_cast<std::int32_t>(reply->Bytes.size())) + " bytes)");
    log(HexLine(reply->Bytes));
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
              "rcon " + server_.Challenge + " " + server_.RconPassword + " " + command, log,
              display);
}
