#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/server_address.h"

using Clock = std::chrono::steady_clock;

struct ReceivedDatagram {
  std::string bytes;
  ServerAddress source;
  Clock::time_point receivedAt;
};

// One non-blocking IPv4 UDP socket on a port that the system chooses.
class UdpSocket {
 public:
  // Largest reply taken with the text commands; a longer datagram is cut to this size.
  static constexpr std::size_t ClassicBufferSize = 8192;
  // Steam-era replies may fill a whole UDP datagram.
  static constexpr std::size_t A2sBufferSize = 65536;

  // Takes datagrams of up to `bufferSize` bytes. Raises EZerval when the system refuses the
  // socket.
  explicit UdpSocket(std::size_t bufferSize = ClassicBufferSize);
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
  // Waits until any of `sockets` has a datagram waiting or `deadline` has passed; true when
  // one has.
  static bool WaitAnyReadable(const std::vector<UdpSocket*>& sockets, Clock::time_point deadline);

 private:
  bool Wait(short events, Clock::time_point deadline);

  int fd_ = -1;
  std::string buffer_;
};
