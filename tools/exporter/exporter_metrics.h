#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

// The exporter's own metrics, counted by every request handler at once.
class ExporterMetrics {
 public:
  // Upper bounds of the probe duration histogram's buckets, in seconds (+Inf comes last).
  static constexpr std::array<double, 14> Buckets{0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025, 0.05,
                                                  0.1,    0.25,  0.5,    1,     2.5,  5,     10};

  void CountProbe(bool answered, double durationSeconds);
  void CountRefusal(int status);
  // The text format, with the build's version and the process's figures from /proc.
  std::string Text(const std::string& version);

 private:
  std::mutex mutex_;
  std::uint64_t probes_ = 0;
  std::uint64_t failures_ = 0;
  std::array<std::uint64_t, Buckets.size()> bucketCounts_{};
  double durationSum_ = 0;
  std::map<int, std::uint64_t> refusals_;
};
