#include "failure_log.h"

#include <cstdio>
#include <iterator>
#include <mutex>
#include <string>

#include "engine/display_text.h"

namespace {

// Of a target's text, only so much names it in the table and in the line.
constexpr std::size_t MaxTargetBytes = 300;

}  // namespace

void FailureLog::Note(const std::string& target, const ProbeVerdict& verdict, double seconds,
                      Clock::time_point now) {
  const std::string name = TerminalText(target.substr(0, MaxTargetBytes));
  const std::lock_guard<std::mutex> lock(mutex_);
  if (!Due(name, now)) return;
  char duration[32];
  std::snprintf(duration, sizeof duration, "%.3f", seconds);
  const std::string line = "zerval-exporter: probe of " + name + " failed (" + verdict.reason +
                           ") after " + duration + " s: " + TerminalText(verdict.detail) + "\n";
  std::fputs(line.c_str(), out_);
  std::fflush(out_);
}

bool FailureLog::Due(const std::string& target, Clock::time_point now) {
  const auto found = loggedAt_.find(target);
  if (found != loggedAt_.end()) {
    if (now - found->second < Quiet) return false;
    found->second = now;
    return true;
  }
  if (loggedAt_.size() >= MaxTargets)
    for (auto entry = loggedAt_.begin(); entry != loggedAt_.end();)
      entry = now - entry->second >= Quiet ? loggedAt_.erase(entry) : std::next(entry);
  if (loggedAt_.size() >= MaxTargets) return false;
  loggedAt_.emplace(target, now);
  return true;
}
