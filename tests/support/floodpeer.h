#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

// A server that answers a request with a flood: the same datagram again and again, for a while,
// from its own port or from a second, foreign one. With a `firstAnswer` the first request gets it
// and the second the flood (a console challenge, then console text). The flood starts `pause`
// after its request: a slow server, for which a client waits longer between datagrams. It runs
// on a thread of its own, so the flood goes on whatever the exchange under test does.
class FloodPeer {
 public:
  enum class From { Server, Foreign };
  FloodPeer(std::string datagram, std::chrono::milliseconds duration, From from,
            std::string firstAnswer = {}, std::chrono::milliseconds pause = {});
  ~FloodPeer();
  FloodPeer(const FloodPeer&) = delete;
  FloodPeer& operator=(const FloodPeer&) = delete;

  std::uint16_t port() const { return port_; }
  bool flooding() const { return flooding_; }
  int sent() const { return sent_; }

 private:
  void Run(std::string datagram, std::chrono::milliseconds duration, From from,
           std::string firstAnswer, std::chrono::milliseconds pause);

  int server_ = -1;
  int foreign_ = -1;
  std::uint16_t port_ = 0;
  std::atomic<bool> flooding_{false};
  std::atomic<int> sent_{0};
  std::thread thread_;
};
