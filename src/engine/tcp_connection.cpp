#include "engine/tcp_connection.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>
#include <utility>

#include "engine/exchange_driver.h"
#include "store/mytypes.h"

namespace {

constexpr in_addr_t LimitedBroadcast = INADDR_BROADCAST;

// The broadcast address of one of this machine's interfaces.
bool IsInterfaceBroadcast(const in_addr& ip) {
  ifaddrs* interfaces = nullptr;
  if (::getifaddrs(&interfaces) != 0) return false;
  bool found = false;
  for (const ifaddrs* entry = interfaces; entry && !found; entry = entry->ifa_next) {
    const sockaddr* broadcast = entry->ifa_ifu.ifu_broadaddr;
    if (!(entry->ifa_flags & IFF_BROADCAST) || !broadcast || broadcast->sa_family != AF_INET)
      continue;
    found = reinterpret_cast<const sockaddr_in*>(broadcast)->sin_addr.s_addr == ip.s_addr;
  }
  ::freeifaddrs(interfaces);
  return found;
}

}  // namespace

bool IsBroadcastOrMulticast(const ServerAddress& address) {
  if (address.Family() == AF_INET) {
    const in_addr ip = reinterpret_cast<const sockaddr_in&>(address.storage).sin_addr;
    const in_addr_t host = ntohl(ip.s_addr);
    if (host >> 24 == IN_LOOPBACKNET) return false;
    return host == INADDR_ANY || host == LimitedBroadcast || IN_MULTICAST(host) ||
           IsInterfaceBroadcast(ip);
  }
  const in6_addr& ip = reinterpret_cast<const sockaddr_in6&>(address.storage).sin6_addr;
  return IN6_IS_ADDR_UNSPECIFIED(&ip) || IN6_IS_ADDR_MULTICAST(&ip);
}

TcpConnection::~TcpConnection() {
  Close();
}

TcpConnection::TcpConnection(TcpConnection&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      state_(std::exchange(other.state_, State::Closed)),
      buffer_(std::move(other.buffer_)) {}

TcpConnection& TcpConnection::operator=(TcpConnection&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    state_ = std::exchange(other.state_, State::Closed);
    buffer_ = std::move(other.buffer_);
  }
  return *this;
}

std::string TcpConnection::Connect(const ServerAddress& address) {
  Close();
  if (IsBroadcastOrMulticast(address)) return "not a single server's address";
  fd_ = ::socket(address.Family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return std::strerror(errno);
  // Console packets are small and answered one by one: no waiting to fill a segment.
  const int on = 1;
  ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  int result = 0;
  do {
    result = ::connect(fd_, reinterpret_cast<const sockaddr*>(&address.storage), address.length);
  } while (result < 0 && errno == EINTR);
  if (result == 0) {
    state_ = State::Open;
    return {};
  }
  if (errno == EINPROGRESS) {
    state_ = State::Connecting;
    return {};
  }
  const std::string reason = std::strerror(errno);
  Close();
  return reason;
}

std::string TcpConnection::FinishConnect() {
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
  if (error == 0) {
    state_ = State::Open;
    return {};
  }
  Close();
  return std::strerror(error);
}

TcpConnection::ReadResult TcpConnection::Read() {
  ReadResult result;
  if (state_ != State::Open) return result;
  buffer_.resize(ReadChunk);
  for (;;) {
    const ssize_t count = ::recv(fd_, buffer_.data(), buffer_.size(), 0);
    if (count > 0) {
      result.bytes.assign(buffer_.data(), std::size_t(count));
      return result;
    }
    if (count < 0 && errno == EINTR) continue;
    result.closed = count == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
    return result;
  }
}

std::string TcpConnection::Write(std::string_view bytes, Clock::time_point deadline) {
  while (!bytes.empty()) {
    if (state_ != State::Open) return "the connection is closed";
    const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent >= 0) {
      bytes.remove_prefix(std::size_t(sent));
      continue;
    }
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return std::strerror(errno);
    const auto remaining =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (remaining <= 0) return "no room to write until the time-out";
    pollfd entry{fd_, POLLOUT, 0};
    ::poll(&entry, 1, int(std::min<long long>(remaining, 1000)));
  }
  return {};
}

void TcpConnection::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  state_ = State::Closed;
}

short TcpConnection::Events() const {
  return state_ == State::Connecting ? POLLOUT : POLLIN;
}

bool PollUntil(pollfd* entries, std::size_t count, Micros deadline) {
  for (;;) {
    const Micros remaining = deadline - NowMicros();
    if (remaining <= 0) return false;
    timespec timeout{};
    timeout.tv_sec = static_cast<time_t>(remaining / 1'000'000);
    timeout.tv_nsec = static_cast<long>(remaining % 1'000'000 * 1000);
    const int ready = ::ppoll(entries, count, &timeout, nullptr);
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR)
      throw EZerval(std::string("cannot wait: ") + std::strerror(errno));
  }
}
