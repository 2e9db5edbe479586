#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <mutex>
#include <string>
#include <unordered_map>

#include "probe_verdict.h"

// One line on a stream for each failed probe, at most one per target within a minute: a server
// that is down would otherwise write a line at every scrape.
class FailureLog {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::seconds Quiet{60};
  // Targets remembered; while all of them were logged within the minute, a new one is not.
  static constexpr std::size_t MaxTargets = 4096;

  explicit FailureLog(std::FILE* out) : out_(out) {}

  // "probe of TARGET failed (REASON) after SECONDS s: DETAIL", unless TARGET had a line within
  // the last minute.
  void Note(const std::string& target, const ProbeVerdict& verdict, double seconds,
            Clock::time_point now);

 private:
  bool Due(const std::string& target, Clock::time_point now);

  std::FILE* out_;
  std::mutex mutex_;
  std::unordered_map<std::string, Clock::time_point> loggedAt_;
};
