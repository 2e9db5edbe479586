#pragma once

#include <poll.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/server_address.h"
#include "engine/udp_socket.h"
#include "protocol/replypolicy.h"

// One non-blocking TCP connection to a server. It never connects to a broadcast or multicast
// address, nor to an unspecified one.
class TcpConnection {
 public:
  enum class State { Closed, Connecting, Open };

  // What one read gives at most.
  static constexpr std::size_t ReadChunk = 16384;

  TcpConnection() = default;
  ~TcpConnection();
  TcpConnection(TcpConnection&& other) noexcept;
  TcpConnection& operator=(TcpConnection&& other) noexcept;
  TcpConnection(const TcpConnection&) = delete;
  TcpConnection& operator=(const TcpConnection&) = delete;

  // Starts connecting, closing any connection before. Returns an empty text, or why the
  // connection failed at once (then the state is Closed).
  std::string Connect(const ServerAddress& address);
  // While Connecting and once poll() reported the socket: how the connect ended; an empty text
  // when it is open.
  std::string FinishConnect();

  // Bytes waiting to be read, without blocking; `closed` when the peer ended the connection.
  struct ReadResult {
    std::string bytes;
    bool closed = false;
  };
  ReadResult Read();
  // Writes all of `bytes`, waiting for room until `deadline`. An empty text, or the reason.
  std::string Write(std::string_view bytes, Clock::time_point deadline);
  void Close();

  State state() const { return state_; }
  int Descriptor() const { return fd_; }
  // What poll() waits for: the end of the connect, or bytes to read.
  short Events() const;

 private:
  int fd_ = -1;
  State state_ = State::Closed;
  std::string buffer_;
};

// Whether `address` is a broadcast or multicast address, or an unspecified one (0.0.0.0, ::):
// no console connection or password ever goes to such an address.
bool IsBroadcastOrMulticast(const ServerAddress& address);

// Waits until one of `entries` reports its events (an error counts) or the steady clock in
// microseconds (NowMicros) reaches `deadline`; true when one does.
bool PollUntil(pollfd* entries, std::size_t count, Micros deadline);
