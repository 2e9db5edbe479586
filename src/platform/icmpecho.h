#pragma once

#include <cstdint>
#include <string>

// One ICMP echo request at a time, waiting for the reply while the window stays responsive.
class IcmpEcho {
 public:
  static constexpr int DefaultTimeoutMs = 5000;

  // The row index whose ping is running, -1 for none.
  int Tag = -1;
  int TimeoutMs = DefaultTimeoutMs;

  // Sends one echo request to `host` and waits for the reply; the round-trip time in
  // milliseconds, 0 when no reply came in time. Raises EZerval when no echo can be sent
  // (no socket, a name that does not resolve).
  std::uint32_t Ping(const std::string& host);
  // True while a Ping waits for its reply (events, and so further handlers, run meanwhile).
  bool IsBusy() const { return busy_; }

 private:
  bool busy_ = false;
};
