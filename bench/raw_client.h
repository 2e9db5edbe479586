#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A plain blocking socket connected to a simulator on 127.0.0.1: what the wire itself costs.
class RawClient {
 public:
  explicit RawClient(std::uint16_t port);
  ~RawClient();
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  // Sends the request and reads `datagrams` replies; the first, empty when none came.
  std::string RoundTrip(const std::string& command, int datagrams = 1);
  // The requests of a selection with a console password, without decoding anything; the
  // status listing comes as `statusDatagrams` datagrams. False when one was not answered.
  bool CycleRoundTrips(const std::string& password, int statusDatagrams = 1);

 private:
  int fd_ = -1;
  std::vector<char> buffer_;
};

// Runs the raw round trips and then the cycle that needs them in every iteration, so both see
// the same load, and sets the medians of both and of their ratio as the counters raw_us,
// cycle_us and ratio. Stops with an error when either fails.
void MeasurePaired(benchmark::State& state, const std::function<bool()>& raw,
                   const std::function<bool()>& cycle);
