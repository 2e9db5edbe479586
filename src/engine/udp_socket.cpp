#include "engine/udp_socket.h"

#include <linux/errqueue.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
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
// An error report counts as an event, whatever was asked for.
bool PollUntil(std::vector<pollfd>& entries, Clock::time_point deadline) {
  for (;;) {
    // A deadline already passed still looks once: a caller may only want to know what is there.
    const auto remaining = std::max(deadline - Clock::now(), Clock::duration::zero());
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(remaining);
    timespec timeout{};
    timeout.tv_sec = static_cast<time_t>(nanoseconds.count() / 1000000000);
    timeout.tv_nsec = static_cast<long>(nanoseconds.count() % 1000000000);
    const int ready = ::ppoll(entries.data(), entries.size(), &timeout, nullptr);
    if (ready >= 0) return ready > 0;
    if (errno != EINTR) throw EZerval(SystemError("cannot wait on the UDP socket"));
  }
}

// Errors that an earlier datagram's ICMP report leaves on the socket; the next call on it
// returns one of them once, whatever that call does.
bool IsReportedError(int error) {
  return error == ECONNREFUSED || error == EHOSTUNREACH || error == ENETUNREACH ||
         error == EHOSTDOWN || error == EPROTO || error == EMSGSIZE;
}

}  // namespace

UdpSocket::UdpSocket(int family, std::size_t bufferSize)
    : family_(family), buffer_(new char[bufferSize]), bufferSize_(bufferSize) {
  fd_ = ::socket(family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) throw EZerval(SystemError("cannot open a UDP socket"));
  const int on = 1;
  const int size = ReceiveBufferBytes;
  ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
  // ICMP reports of refused datagrams, with the address they were sent to.
  if (family == AF_INET6)
    ::setsockopt(fd_, SOL_IPV6, IPV6_RECVERR, &on, sizeof on);
  else
    ::setsockopt(fd_, SOL_IP, IP_RECVERR, &on, sizeof on);
}

UdpSocket::~UdpSocket() {
  ::close(fd_);
}

std::string UdpSocket::SendTo(const ServerAddress& target, const std::string& datagram,
                              Clock::time_point deadline) {
  int reportedErrors = 0;
  for (;;) {
    const ssize_t sent =
        ::sendto(fd_, datagram.data(), datagram.size(), 0,
                 reinterpret_cast<const sockaddr*>(&target.storage), target.length);
    if (sent >= 0) return {};
    if (errno == EINTR) continue;
    // Another server's refusal, reported here; a second one in a row is this send's own.
    if (IsReportedError(errno)) errorReported_ = true;
    if (IsReportedError(errno) && ++reportedErrors < 2) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != ENOBUFS) return std::strerror(errno);
    if (!Wait(POLLOUT, deadline)) return "send buffer full until the time-out";
  }
}

std::optional<ReceivedDatagram> UdpSocket::TakeErrorReport() {
  while (errorReported_) {
    sockaddr_storage offender{};
    char control[512];
    char payload[1];
    iovec part{payload, sizeof payload};
    msghdr message{};
    message.msg_name = &offender;
    message.msg_namelen = sizeof offender;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    if (::recvmsg(fd_, &message, MSG_ERRQUEUE) < 0) {
      errorReported_ = errno == EINTR;
      continue;
    }
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header;
         header = CMSG_NXTHDR(&message, header)) {
      const bool v4 = header->cmsg_level == SOL_IP && header->cmsg_type == IP_RECVERR;
      const bool v6 = header->cmsg_level == SOL_IPV6 && header->cmsg_type == IPV6_RECVERR;
      if (!v4 && !v6) continue;
      sock_extended_err report{};
      std::memcpy(&report, CMSG_DATA(header), sizeof report);
      const bool icmp =
          report.ee_origin == SO_EE_ORIGIN_ICMP || report.ee_origin == SO_EE_ORIGIN_ICMP6;
      if (!icmp || report.ee_errno != ECONNREFUSED || message.msg_namelen == 0) continue;
      ReceivedDatagram refusal;
      refusal.source.storage = offender;
      refusal.source.length = message.msg_namelen;
      refusal.receivedAt = Clock::now();
      refusal.portRefused = true;
      return refusal;
    }
  }
  return std::nullopt;
}

std::optional<ReceivedDatagram> UdpSocket::TryReceive() {
  if (std::optional<ReceivedDatagram> refusal = TakeErrorReport()) return refusal;
  for (;;) {
    ReceivedDatagram datagram;
    socklen_t fromLength = sizeof datagram.source.storage;
    const ssize_t count =
        ::recvfrom(fd_, buffer_.get(), bufferSize_, 0,
                   reinterpret_cast<sockaddr*>(&datagram.source.storage), &fromLength);
    if (count < 0) {
      if (errno == EINTR) continue;
      if (!IsReportedError(errno)) return std::nullopt;
      errorReported_ = true;
      if (std::optional<ReceivedDatagram> refusal = TakeErrorReport()) return refusal;
      continue;
    }
    if (count == 0 || datagram.source.Family() != family_) continue;
    datagram.source.length = fromLength;
    datagram.bytes.assign(buffer_.get(), static_cast<std::size_t>(count));
    datagram.receivedAt = Clock::now();
    return datagram;
  }
}

bool UdpSocket::WaitAnyReadable(const std::vector<UdpSocket*>& sockets,
                                Clock::time_point deadline) {
  std::vector<pollfd> entries;
  for (const UdpSocket* socket : sockets) entries.push_back(pollfd{socket->fd_, POLLIN, 0});
  const bool ready = PollUntil(entries, deadline);
  for (std::size_t i = 0; i < sockets.size(); ++i) {
    if (entries[i].revents & POLLERR) sockets[i]->errorReported_ = true;
    sockets[i]->readable_ = entries[i].revents != 0;
  }
  return ready;
}

bool UdpSocket::Wait(short events, Clock::time_point deadline) {
  std::vector<pollfd> entries{pollfd{fd_, events, 0}};
  const bool ready = PollUntil(entries, deadline);
  if (entries[0].revents & POLLERR) errorReported_ = true;
  return ready;
}
