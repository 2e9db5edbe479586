#include "platform/icmpecho.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QHostInfo>
#include <QObject>
#include <QScopeGuard>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "store/mytypes.h"

namespace {

constexpr std::uint8_t EchoReplyType = 0;
constexpr std::uint8_t EchoRequestType = 8;
constexpr std::size_t IcmpHeaderSize = 8;
constexpr std::size_t PayloadSize = 32;
// An echo reply with the largest IP header fits; anything longer is not ours anyway.
constexpr std::size_t ReceiveBufferSize = 60 + IcmpHeaderSize + PayloadSize + 64;

std::uint16_t WordAt(std::string_view bytes, std::size_t offset) {
  return static_cast<std::uint16_t>((static_cast<std::uint8_t>(bytes[offset]) << 8) |
                                    static_cast<std::uint8_t>(bytes[offset + 1]));
}

void PutWord(std::string& bytes, std::size_t offset, std::uint16_t value) {
  bytes[offset] = static_cast<char>(value >> 8);
  bytes[offset + 1] = static_cast<char>(value & 0xFF);
}

// The Internet checksum over big-endian 16-bit words.
std::uint16_t Checksum(std::string_view bytes) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) sum += WordAt(bytes, i);
  if (bytes.size() % 2 != 0)
    sum += static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes.back())) << 8;
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint16_t>(~sum & 0xFFFF);
}

std::string EchoRequest(std::uint16_t identifier, std::uint16_t sequence) {
  std::string packet(IcmpHeaderSize + PayloadSize, '\0');
  packet[0] = static_cast<char>(EchoRequestType);
  PutWord(packet, 4, identifier);
  PutWord(packet, 6, sequence);
  for (std::size_t i = 0; i < PayloadSize; ++i)
    packet[IcmpHeaderSize + i] = static_cast<char>('a' + i % 26);
  PutWord(packet, 2, Checksum(packet));
  return packet;
}

// An ICMP socket of either kind, closed when it goes out of scope.
class IcmpSocket {
 public:
  IcmpSocket() {
    // The unprivileged echo socket where the system allows it, else a raw socket.
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd_ < 0) {
      fd_ = ::socket(AF_INET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
      raw_ = true;
    }
    if (fd_ < 0) throw EZerval(std::string("Cannot open an ICMP socket: ") + std::strerror(errno));
  }
  ~IcmpSocket() { ::close(fd_); }
  IcmpSocket(const IcmpSocket&) = delete;
  IcmpSocket& operator=(const IcmpSocket&) = delete;

  int fd() const { return fd_; }
  bool raw() const { return raw_; }

 private:
  int fd_ = -1;
  bool raw_ = false;
};

// Whether a datagram read from the socket is the reply to our request. A raw socket delivers
// the IP header first and sees every ICMP message of the machine, our own request included;
// the kernel gives an unprivileged echo socket only the replies to its own identifier.
bool IsReplyTo(std::string_view datagram, bool raw, std::uint16_t identifier,
               std::uint16_t sequence) {
  if (raw) {
    if (datagram.empty()) return false;
    const std::size_t ipHeaderSize = (static_cast<std::uint8_t>(datagram[0]) & 0x0F) * 4u;
    if (datagram.size() < ipHeaderSize) return false;
    datagram.remove_prefix(ipHeaderSize);
  }
  if (datagram.size() < IcmpHeaderSize) return false;
  if (static_cast<std::uint8_t>(datagram[0]) != EchoReplyType) return false;
  if (raw && WordAt(datagram, 4) != identifier) return false;
  return WordAt(datagram, 6) == sequence;
}

// Resolves a host text to an IPv4 address, handling events while the resolver works.
QHostAddress ResolveIPv4(const std::string& host) {
  const QString name = QString::fromLatin1(host.data(), static_cast<qsizetype>(host.size()));
  QHostAddress literal;
  if (literal.setAddress(name) && literal.protocol() == QAbstractSocket::IPv4Protocol)
    return literal;

  QEventLoop loop;
  QHostInfo info;
  bool done = false;
  QHostInfo::lookupHost(name, &loop, [&](const QHostInfo& result) {
    info = result;
    done = true;
    loop.quit();
  });
  if (!done) loop.exec();
  for (const QHostAddress& address : info.addresses())
    if (address.protocol() == QAbstractSocket::IPv4Protocol) return address;
  throw EZerval("Cannot resolve host name \"" + host + "\"");
}

// Reads every waiting datagram; true once the reply to our request was among them.
bool ReadReply(const IcmpSocket& socket, std::uint16_t identifier, std::uint16_t sequence) {
  char buffer[ReceiveBufferSize];
  for (;;) {
    const ssize_t received = ::recv(socket.fd(), buffer, sizeof buffer, 0);
    if (received < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (IsReplyTo(std::string_view(buffer, static_cast<std::size_t>(received)), socket.raw(),
                  identifier, sequence))
      return true;
  }
}

std::uint16_t NextSequence() {
  static std::uint16_t sequence = 0;
  return ++sequence;
}

}  // namespace

std::uint32_t IcmpEcho::Ping(const std::string& host) {
  busy_ = true;
  const auto idle = qScopeGuard([this] { busy_ = false; });

  const QHostAddress address = ResolveIPv4(host);
  const IcmpSocket socket;
  const auto identifier = static_cast<std::uint16_t>(::getpid());
  const std::uint16_t sequence = NextSequence();
  const std::string request = EchoRequest(identifier, sequence);

  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_addr.s_addr = htonl(address.toIPv4Address());
  QElapsedTimer clock;
  clock.start();
  if (::sendto(socket.fd(), request.data(), request.size(), 0,
               reinterpret_cast<const sockaddr*>(&target), sizeof target) < 0)
    throw EZerval("Cannot send an ICMP echo request to " + host + ": " + std::strerror(errno));

  // The wait runs the event loop, like a datagram exchange, so the window stays responsive.
  QEventLoop loop;
  QSocketNotifier readable(socket.fd(), QSocketNotifier::Read);
  QTimer timeout;
  timeout.setSingleShot(true);
  std::uint32_t roundTripMs = 0;
  QObject::connect(&readable, &QSocketNotifier::activated, &loop, [&] {
    if (!ReadReply(socket, identifier, sequence)) return;
    roundTripMs = static_cast<std::uint32_t>(clock.elapsed());
    loop.quit();
  });
  QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
  timeout.start(TimeoutMs);
  loop.exec();
  return roundTripMs;
}
