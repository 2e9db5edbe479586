#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/micros.h"
#include "engine/server_address.h"

struct ReceivedDatagram {
  std::string bytes;
  ServerAddress source;
  Clock::time_point receivedAt;
  // No datagram but the system's report that `source` refused one of ours: nothing listens on
  // that port (ICMP port unreachable).
  bool portRefused = false;
};

// One non-blocking UDP socket of one address family on a port that the system chooses. It does
// not allow broadcasts, so no request, console lines included, goes out as one.
class UdpSocket {
 public:
  // Largest reply taken with the text commands; a longer datagram is cut to this size.
  static constexpr std::size_t ClassicBufferSize = 8192;
  // Steam-era replies may fill a whole UDP datagram.
  static constexpr std::size_t A2sBufferSize = 65536;

  // `family` is AF_INET or AF_INET6. Takes datagrams of up to `bufferSize` bytes. Raises EZerval
  // when the system refuses the socket.
  explicit UdpSocket(int family, std::size_t bufferSize = ClassicBufferSize);
  ~UdpSocket();
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;

  // Sends one datagram, waiting for room in the send buffer until `deadline` at most.
  // Returns an empty text on success, else the system's reason.
  std::string SendTo(const ServerAddress& target, const std::string& datagram,
                     Clock::time_point deadline);
  // The next datagram or refusal report already waiting, without blocking. Zero-byte datagrams
  // and other error reports are skipped.
  std::optional<ReceivedDatagram> TryReceive();
  // Waits until a datagram or report is waiting on any of `sockets` or `deadline` has passed;
  // true when one is. Readable() then tells which.
  static bool WaitAnyReadable(const std::vector<UdpSocket*>& sockets, Clock::time_point deadline);
  // For a poll() of its own together with other descriptors; TryReceive takes what it finds.
  int Descriptor() const { return fd_; }
  // Whether the last WaitAnyReadable found something waiting here.
  bool Readable() const { return readable_; }

 private:
  bool Wait(short events, Clock::time_point deadline);
  std::optional<ReceivedDatagram> TakeErrorReport();

  int family_;
  int fd_ = -1;
  // Not cleared: a query keeps hundreds of sockets, and clearing 64 KiB each costs more than
  // their replies.
  std::unique_ptr<char[]> buffer_;
  std::size_t bufferSize_;
  // An ICMP report may wait on the error queue: a call returned its error, or poll() said so.
  // Only then is the queue read, which saves a system call per datagram.
  bool errorReported_ = false;
  bool readable_ = false;
};
