#include "floodpeer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <utility>

namespace {

int LoopbackSocket(std::uint16_t& port) {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t size = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  port = ntohs(address.sin_port);
  return fd;
}

}  // namespace

FloodPeer::FloodPeer(std::string datagram, std::chrono::milliseconds duration, From from,
                     std::string firstAnswer, std::chrono::milliseconds pause) {
  std::uint16_t unused = 0;
  server_ = LoopbackSocket(port_);
  foreign_ = LoopbackSocket(unused);
  flooding_ = true;
  thread_ = std::thread(&FloodPeer::Run, this, std::move(datagram), duration, from,
                        std::move(firstAnswer), pause);
}

FloodPeer::~FloodPeer() {
  thread_.join();
  close(server_);
  close(foreign_);
}

void FloodPeer::Run(std::string datagram, std::chrono::milliseconds duration, From from,
                    std::string firstAnswer, std::chrono::milliseconds pause) {
  char request[8192];
  sockaddr_in client{};
  socklen_t size = sizeof client;
  // A bounded wait for each request, so a test that never asks still ends.
  timeval wait{5, 0};
  setsockopt(server_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  const auto receive = [&] {
    size = sizeof client;
    return recvfrom(server_, request, sizeof request, 0, reinterpret_cast<sockaddr*>(&client),
                    &size) >= 0;
  };
  const bool answered = firstAnswer.empty() ||
                        (receive() && sendto(server_, firstAnswer.data(), firstAnswer.size(), 0,
                                             reinterpret_cast<sockaddr*>(&client), size) >= 0);
  if (answered && receive()) {
    std::this_thread::sleep_for(pause);
    const int fd = from == From::Server ? server_ : foreign_;
    const auto end = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < end) {
      sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&client), size);
      ++sent_;
      // Thousands a second are a flood for the receiver, yet leave the machine to other tests.
      usleep(20);
    }
  }
  flooding_ = false;
}
