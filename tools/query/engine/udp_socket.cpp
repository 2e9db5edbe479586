#include "engine/udp_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "store/mytypes.h"

namespace {

// Replies of many servers may arrive while requests are still going out; a large receive
// buffer keeps them (the system caps the value at its own maximum).
constexpr int ReceiveBufferBytes = 4 * 1024 * 1024;

std::string SystemError(const char* what) {
  return std::string(what) + ": " + std::strerror(errno);
}

// Waits until one of `entries` reports its events or `deadline` has passed; true when one does.
bool PollUntil(std::vector<pollfd>& entries, Clock::time_point deadline) {
  for (;;) {
    const auto remaining = deadline - Clock::now();
    if (remaining <= Clock::duration::zero()) return false;
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(remaining);
    timespec timeout{};
    timeout.tv_sec = static_cast<time_t>(nanoseconds.count() / 1000000000);
    timeout.tv_nsec = static_cast<long>(nanoseconds.count() % 1000000000);
    const int ready = ::ppoll(entries.data(), entries.size(), &timeout, nullptr);
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) throw EZerval(SystemError("cannot wait on the UDP socket"));
  }
}

}  // namespace

UdpSocket::UdpSocket(std::size_t bufferSize) : buffer_(bufferSize, '\0') {
  fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) throw EZerval(SystemError("cannot open a UDP socket"));
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  local.sin_port = 0;
  if (::bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    const std::string message = SystemError("cannot bind a UDP socket");
    ::close(fd_);
    throw EZerval(message);
  }
  const int size = ReceiveBufferBytes;
  ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
}

UdpSocket::~UdpSocket() {
  ::close(fd_);
}

std::string UdpSocket::SendTo(const ServerAddress& target, const std::string& datagram,
                              Clock::time_point deadline) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(target.ip);
  to.sin_port = htons(target.port);
  for (;;) {
    const ssize_t sent = ::sendto(fd_, datagram.data(), datagram.size(), 0,
                                  reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (sent >= 0) return {};
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != ENOBUFS) return std::strerror(errno);
    if (!Wait(POLLOUT, deadline)) return "send buffer full until the time-out";
  }
}

std::optional<ReceivedDatagram> UdpSocket::TryReceive() {
  for (;;) {
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const ssize_t count = ::recvfrom(fd_, buffer_.data(), buffer_.size(), 0,
                                     reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (count < 0) {
      if (errno == EINTR) continue;
      // Nothing waiting, or an error report of an earlier datagram: neither is a reply, and a
      // reply behind such a report is taken at the next call.
      return std::nullopt;
    }
    if (count == 0 || from.sin_family != AF_INET) continue;
    ReceivedDatagram datagram;
    datagram.bytes.assign(buffer_.data(), static_cast<std::size_t>(count));
    datagram.source.ip = ntohl(from.sin_addr.s_addr);
    datagram.source.port = ntohs(from.sin_port);
    datagram.receivedAt = Clock::now();
    return datagram;
  }
}

bool UdpSocket::WaitReadable(Clock::time_point deadline) {
  return Wait(POLLIN, deadline);
}

bool UdpSocket::WaitAnyReadable(const std::vector<UdpSocket*>& sockets,
                                Clock::time_point deadline) {
  std::vector<pollfd> entries;
  for (const UdpSocket* socket : sockets) entries.push_back(pollfd{socket->fd_, POLLIN, 0});
  return PollUntil(entries, deadline);
}

bool UdpSocket::Wait(short events, Clock::time_point deadline) {
  std::vector<pollfd> entries{pollfd{fd_, events, 0}};
  return PollUntil(entries, deadline);
}
