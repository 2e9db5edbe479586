#include "process_stats.h"

#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Fields of the stat line after the command name, counted from the state, the line's third.
constexpr std::size_t UserTime = 14 - 3;
constexpr std::size_t SystemTime = 15 - 3;
constexpr std::size_t StartTime = 22 - 3;
constexpr std::size_t VirtualSize = 23 - 3;
constexpr std::size_t ResidentPages = 24 - 3;

double BootTime() {
  std::ifstream stat("/proc/stat");
  for (std::string line; std::getline(stat, line);)
    if (line.rfind("btime ", 0) == 0) return std::atof(line.c_str() + 6);
  return 0;
}

double OpenFds() {
  DIR* folder = ::opendir("/proc/self/fd");
  if (!folder) return 0;
  double count = 0;
  while (const dirent* entry = ::readdir(folder))
    if (entry->d_name[0] != '.') ++count;
  ::closedir(folder);
  // The folder being read is one of them.
  return count - 1;
}

}  // namespace

std::optional<ProcessStats> ParseProcessStat(std::string_view line, double ticksPerSecond,
                                             double pageSize, double bootTime) {
  // The command name is in parentheses and may hold blanks and parentheses itself.
  const std::size_t nameEnd = line.rfind(')');
  if (nameEnd == std::string_view::npos || ticksPerSecond <= 0) return std::nullopt;
  std::istringstream rest{std::string(line.substr(nameEnd + 1))};
  const std::vector<std::string> fields{std::istream_iterator<std::string>(rest),
                                        std::istream_iterator<std::string>()};
  if (fields.size() <= ResidentPages) return std::nullopt;
  const auto number = [&fields](std::size_t field) { return std::atof(fields[field].c_str()); };
  ProcessStats stats;
  stats.cpuSeconds = (number(UserTime) + number(SystemTime)) / ticksPerSecond;
  stats.startTimeSeconds = bootTime + number(StartTime) / ticksPerSecond;
  stats.virtualBytes = number(VirtualSize);
  stats.residentBytes = number(ResidentPages) * pageSize;
  return stats;
}

ProcessStats ReadProcessStats() {
  std::ifstream file("/proc/self/stat");
  std::string line;
  std::getline(file, line);
  ProcessStats stats = ParseProcessStat(line, double(::sysconf(_SC_CLK_TCK)),
                                        double(::sysconf(_SC_PAGESIZE)), BootTime())
                           .value_or(ProcessStats{});
  stats.openFds = OpenFds();
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) == 0) stats.maxFds = double(limit.rlim_cur);
  return stats;
}
