#include "http_listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

constexpr std::size_t ReadChunk = 16384;
// A refused client is read from this long at most, and this much, before the connection closes.
constexpr HttpMicros RefusalLinger = 2'000'000;
constexpr std::size_t RefusalLingerBytes = std::size_t(1) << 20;
// When no file descriptor is left for a new connection, accepting waits this long.
constexpr HttpMicros AcceptPause = 100'000;
// New connections taken per turn of the loop, so that a flood of them does not stall the others.
constexpr int AcceptsPerTurn = 64;
// The loop looks at the time at least this often.
constexpr HttpMicros LongestSleep = 1'000'000;

HttpMicros Now() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string IpText(const sockaddr_storage& address, int* port = nullptr) {
  char text[INET6_ADDRSTRLEN] = "";
  if (address.ss_family == AF_INET) {
    const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
    ::inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
    if (port) *port = ntohs(v4.sin_port);
  } else {
    const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
    ::inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
    if (port) *port = ntohs(v6.sin6_port);
  }
  return text;
}

// A short answer on a connection that is about to close: whatever the socket takes at once.
void SendAtOnce(int fd, const std::string& bytes) {
  (void)!::send(fd, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
}

// The pages that never wait for a server, as written; anything else, however it is spelt (the
// library decodes %XX in paths), may be a probe.
bool IsPage(std::string_view target) {
  const std::string_view path = target.substr(0, target.find('?'));
  return path == "/metrics" || path == "/";
}

// The HTTP library's view of one request: the head that the listener read, then the end; what
// the library writes goes to the socket within WriteTimeout.
class HeadStream : public httplib::Stream {
 public:
  HeadStream(int fd, std::string head) : fd_(fd), head_(std::move(head)) {}

  bool is_readable() const override { return read_ < head_.size(); }
  bool is_writable() const override { return !failed_; }

  ssize_t read(char* bytes, size_t size) override {
    const std::size_t count = std::min(size, head_.size() - read_);
    std::copy_n(head_.data() + read_, count, bytes);
    read_ += count;
    return ssize_t(count);
  }

  ssize_t write(const char* bytes, size_t size) override {
    if (failed_) return -1;
    if (deadline_ == 0) deadline_ = Now() + WriteTimeout;
    std::size_t sent = 0;
    while (sent < size) {
      const ssize_t count = ::send(fd_, bytes + sent, size - sent, MSG_NOSIGNAL);
      if (count > 0) {
        sent += std::size_t(count);
        continue;
      }
      if (count < 0 && errno == EINTR) continue;
      const HttpMicros left = deadline_ - Now();
      pollfd writable{fd_, POLLOUT, 0};
      if (count < 0 && errno == EAGAIN && left > 0 &&
          ::poll(&writable, 1, int(left / 1000 + 1)) > 0)
        continue;
      failed_ = true;
      return -1;
    }
    return ssize_t(size);
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    ::getpeername(fd_, reinterpret_cast<sockaddr*>(&address), &length);
    ip = IpText(address, &port);
  }

  void get_local_ip_and_port(std::string& ip, int& port) const override {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
    ip = IpText(address, &port);
  }

  socket_t socket() const override { return fd_; }

 private:
  int fd_;
  std::string head_;
  std::size_t read_ = 0;
  HttpMicros deadline_ = 0;
  bool failed_ = false;
};

}  // namespace

HttpListener::HttpListener(RoutingServer& routes, std::function<void(int)> refused)
    : routes_(routes),
      refused_(std::move(refused)),
      wake_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
  routes_.set_keep_alive_timeout(IdleTimeout / 1'000'000);
  routes_.set_keep_alive_max_count(RequestsPerConnection);
}

HttpListener::~HttpListener() {
  probes_.Stop();
  pages_.Stop();
  for (const auto& entry : connections_) ::close(entry.first);
  if (listening_ >= 0) ::close(listening_);
  if (wake_ >= 0) ::close(wake_);
}

int HttpListener::Listen(const ServerAddress& address) {
  listening_ = ::socket(address.Family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (listening_ < 0 || wake_ < 0) return -1;
  // Not SO_REUSEPORT: a second exporter on the same port would take half of the scrapes instead
  // of being refused.
  const int on = 1;
  const int off = 0;
  ::setsockopt(listening_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (address.Family() == AF_INET6)
    ::setsockopt(listening_, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
  const auto* where = reinterpret_cast<const sockaddr*>(&address.storage);
  sockaddr_storage bound{};
  socklen_t length = sizeof bound;
  if (::bind(listening_, where, address.length) != 0 || ::listen(listening_, SOMAXCONN) != 0 ||
      ::getsockname(listening_, reinterpret_cast<sockaddr*>(&bound), &length) != 0)
    return -1;
  int port = 0;
  IpText(bound, &port);
  return port;
}

void HttpListener::Run() {
  std::vector<pollfd> polled;
  std::vector<int> due;
  while (!stopping_) {
    HttpMicros now = Now();
    HttpMicros wakeAt = now + LongestSleep;
    polled.assign({pollfd{wake_, POLLIN, 0}});
    if (now >= acceptPausedUntil_)
      polled.push_back(pollfd{listening_, POLLIN, 0});
    else
      wakeAt = std::min(wakeAt, acceptPausedUntil_);
    for (const auto& [fd, connection] : connections_) {
      if (connection.phase == Connection::Phase::Serving) continue;
      polled.push_back(pollfd{fd, POLLIN, 0});
      wakeAt = std::min(wakeAt, connection.phase == Connection::Phase::Reading
                                    ? connection.reader.Deadline()
                                    : connection.closeAt);
    }
    const int sleepMs = int(std::max<HttpMicros>(wakeAt - now, 0) / 1000 + 1);
    if (::poll(polled.data(), polled.size(), sleepMs) < 0 && errno != EINTR) break;
    now = Now();
    // The wake-up and the listening socket come first: connections closed while their entries
    // are looked at cannot have handed their numbers on yet.
    for (const pollfd& entry : polled) {
      if (entry.revents == 0) continue;
      if (entry.fd == wake_)
        TakeReturned(now);
      else if (entry.fd == listening_)
        Accept(now);
      else
        Read(entry.fd, now);
    }
    due.clear();
    for (const auto& [fd, connection] : connections_)
      if ((connection.phase == Connection::Phase::Reading && connection.reader.Deadline() <= now) ||
          (connection.phase == Connection::Phase::Closing && connection.closeAt <= now))
        due.push_back(fd);
    for (const int fd : due) {
      Connection& connection = connections_.at(fd);
      if (connection.phase == Connection::Phase::Closing) {
        Close(fd);
        continue;
      }
      connection.reader.Advance(now);
      Settle(fd, now);
    }
  }
  probes_.Stop();
  pages_.Stop();
}

void HttpListener::Stop() {
  stopping_ = true;
  const std::uint64_t one = 1;
  (void)!::write(wake_, &one, sizeof one);
}

void HttpListener::Accept(HttpMicros now) {
  for (int turn = 0; turn < AcceptsPerTurn; ++turn) {
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    const int fd = ::accept4(listening_, reinterpret_cast<sockaddr*>(&peer), &length,
                             SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
        acceptPausedUntil_ = now + AcceptPause;
      return;
    }
    std::string client = IpText(peer);
    const auto known = perClient_.find(client);
    const std::size_t open = known == perClient_.end() ? 0 : known->second;
    if (open >= MaxConnectionsPerClient || connections_.size() >= MaxConnections) {
      refused_(503);
      SendAtOnce(fd, RefusalResponse(503, "too many connections; try again later"));
      ::close(fd);
      continue;
    }
    ++perClient_[client];
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    connections_.emplace(fd, Connection(std::move(client), now));
  }
}

void HttpListener::Read(int fd, HttpMicros now) {
  const auto found = connections_.find(fd);
  if (found == connections_.end()) return;
  Connection& connection = found->second;
  char buffer[ReadChunk];
  const ssize_t count = ::recv(fd, buffer, sizeof buffer, 0);
  if (count < 0 && (errno == EAGAIN || errno == EINTR)) return;
  if (count <= 0) return Close(fd);
  if (connection.phase == Connection::Phase::Closing) {
    connection.dropped += std::size_t(count);
    if (connection.dropped > RefusalLingerBytes) Close(fd);
    return;
  }
  Take(fd, std::string_view(buffer, std::size_t(count)), now);
}

void HttpListener::Take(int fd, std::string_view bytes, HttpMicros now) {
  Connection& connection = connections_.at(fd);
  const std::size_t taken = connection.reader.Feed(bytes, now);
  if (connection.reader.state() == RequestHeadReader::State::Complete)
    connection.next.assign(bytes.substr(taken));
  Settle(fd, now);
}

void HttpListener::Settle(int fd, HttpMicros now) {
  Connection& connection = connections_.at(fd);
  switch (connection.reader.state()) {
    case RequestHeadReader::State::Reading:
      return;
    case RequestHeadReader::State::Idle:
      return Close(fd);
    case RequestHeadReader::State::Refused:
      return Refuse(fd, connection.reader.Status(), connection.reader.Reason(), now);
    case RequestHeadReader::State::Complete:
      connection.phase = Connection::Phase::Serving;
      if (!Serve(fd, connection, now))
        Refuse(fd, 503, "too many requests at once; try again later", now);
      return;
  }
}

bool HttpListener::Serve(int fd, Connection& connection, HttpMicros now) {
  const bool last = ++connection.served >= RequestsPerConnection;
  TaskThreads& threads = IsPage(connection.reader.Target()) ? pages_ : probes_;
  return threads.TryRun([this, fd, last, head = connection.reader.Head(), now] {
    const std::string waited = std::to_string((Now() - now) / 1000);
    const auto tellWait = [&waited](httplib::Request& request) {
      request.headers.erase(WaitedHeader);
      request.set_header(WaitedHeader, waited);
    };
    HeadStream stream(fd, head);
    bool closed = false;
    const bool keep = routes_.process_request(stream, last, closed, tellWait) && !last && !closed;
    return std::function<void()>([this, fd, keep] { Return(fd, keep); });
  });
}

void HttpListener::Refuse(int fd, int status, const std::string& reason, HttpMicros now) {
  refused_(status);
  SendAtOnce(fd, RefusalResponse(status, reason));
  ::shutdown(fd, SHUT_WR);
  Connection& connection = connections_.at(fd);
  connection.phase = Connection::Phase::Closing;
  connection.closeAt = now + RefusalLinger;
}

void HttpListener::Close(int fd) {
  const auto found = connections_.find(fd);
  const auto count = perClient_.find(found->second.client);
  if (--count->second == 0) perClient_.erase(count);
  connections_.erase(found);
  ::close(fd);
}

void HttpListener::TakeReturned(HttpMicros now) {
  std::uint64_t count = 0;
  (void)!::read(wake_, &count, sizeof count);
  std::vector<std::pair<int, bool>> returned;
  {
    const std::lock_guard<std::mutex> lock(returnedMutex_);
    returned.swap(returned_);
  }
  for (const auto& [fd, keep] : returned) {
    if (!keep) {
      Close(fd);
      continue;
    }
    Connection& connection = connections_.at(fd);
    connection.phase = Connection::Phase::Reading;
    connection.reader = RequestHeadReader(now);
    const std::string next = std::move(connection.next);
    connection.next.clear();
    Take(fd, next, now);
  }
}

void HttpListener::Return(int fd, bool keep) {
  {
    const std::lock_guard<std::mutex> lock(returnedMutex_);
    returned_.emplace_back(fd, keep);
  }
  const std::uint64_t one = 1;
  (void)!::write(wake_, &one, sizeof one);
}
