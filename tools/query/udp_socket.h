#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "server_address.h"

using Clock = std::chrono::steady_clock;

struct ReceivedDatagram {
  std::string bytes;
  ServerAddress source;
  Clock::time_point receivedAt;
};

// One non-blocking IPv4 UDP socket on a port that the system chooses.
class UdpSocket {
 public:
  // Largest reply taken; a longer datagram is cut to this size.
  static constexpr std::size_t BufferSize = 8192;

  // Raises EZerval when the system refuses the socket.
  UdpSocket();
  ~UdpSocket();
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;

  // Sends one datagram, waiting for room in the send buffer until `deadline` at most.
  // Returns an empty text on success, else the system's reason.
  std::string SendTo(const ServerAddress& target, const std::string& datagram,
                     Clock::time_point deadline);
  // The next datagram already waiting, without blocking. Zero-byte datagrams are skipped.
  std::optional<ReceivedDatagram> TryReceive();
  // Waits until a datagram is waiting or `deadline` has passed; true when one is waiting.
  bool WaitReadable(Clock::time_point deadline);

 private:
  bool Wait(short events, Clock::time_point deadline);

  int fd_ = -1;
  std::string buffer_;
};
