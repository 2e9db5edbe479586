#pragma once

#include <optional>
#include <string_view>

// The exporter's own process, as the Prometheus client libraries read it from /proc.
struct ProcessStats {
  double cpuSeconds = 0;        // user and system time
  double startTimeSeconds = 0;  // since the Unix epoch
  double openFds = 0;
  double maxFds = 0;
  double virtualBytes = 0;
  double residentBytes = 0;
};

// Reads the line of /proc/self/stat into cpu time, start time, virtual and resident memory:
// `ticksPerSecond` is the clock of its times, `pageSize` its resident size's unit and
// `bootTime` the system's start (from /proc/stat). None for a line that is not one.
std::optional<ProcessStats> ParseProcessStat(std::string_view line, double ticksPerSecond,
                                             double pageSize, double bootTime);

// From /proc; a figure that cannot be read stays 0.
ProcessStats ReadProcessStats();
