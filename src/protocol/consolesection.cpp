#include "protocol/consolesection.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace {

constexpr std::string_view SectionHeader = "[Consoles]";
// Longer keys name no server: a host name and a port fit in far less.
constexpr std::size_t MaxKeyBytes = 300;

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
    text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
    text.remove_suffix(1);
  return text;
}

bool SameLetters(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::optional<ConsoleKind> KindNamed(std::string_view name) {
  if (SameLetters(name, "tcp")) return ConsoleKind::Tcp;
  if (SameLetters(name, "udp")) return ConsoleKind::Udp;
  return std::nullopt;
}

bool IsKey(std::string_view key) {
  return !key.empty() && key.size() <= MaxKeyBytes &&
         std::none_of(key.begin(), key.end(), [](char c) {
           return static_cast<unsigned char>(c) < 0x20 || c == '[' || c == ']' || c == '=';
         });
}

// Calls `take` with every line of `ini` (without its line end) and whether it lies in the
// [Consoles] section, its header included.
template <typename Take>
void ForEachLine(std::string_view ini, Take take) {
  bool inSection = false;
  while (!ini.empty()) {
    const std::size_t end = std::min(ini.find('\n'), ini.size());
    std::string_view line = ini.substr(0, end);
    ini.remove_prefix(std::min(end + 1, ini.size()));
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::string_view trimmed = Trimmed(line);
    if (!trimmed.empty() && trimmed.front() == '[') inSection = trimmed == SectionHeader;
    take(line, inSection);
  }
}

}  // namespace

std::vector<ConsoleEntry> ReadConsoleSection(std::string_view ini, std::size_t limit) {
  std::vector<ConsoleEntry> entries;
  ForEachLine(ini, [&](std::string_view line, bool inSection) {
    const std::size_t equals = line.find('=');
    if (!inSection || equals == std::string_view::npos || entries.size() >= limit) return;
    const std::string_view key = Trimmed(line.substr(0, equals));
    const std::optional<ConsoleKind> kind = KindNamed(Trimmed(line.substr(equals + 1)));
    if (kind && IsKey(key)) entries.push_back({std::string(key), *kind});
  });
  return entries;
}

std::string WithConsoleSection(std::string_view ini, const std::vector<ConsoleEntry>& entries) {
  std::string out;
  ForEachLine(ini, [&](std::string_view line, bool inSection) {
    if (!inSection) out.append(line).push_back('\n');
  });
  while (out.size() >= 2 && out.compare(out.size() - 2, 2, "\n\n") == 0) out.pop_back();
  if (entries.empty()) return out;
  if (!out.empty()) out.push_back('\n');
  out.append(SectionHeader).push_back('\n');
  for (const ConsoleEntry& entry : entries) {
    if (!IsKey(entry.server)) continue;
    out.append(entry.server).append(entry.kind == ConsoleKind::Tcp ? "=tcp\n" : "=udp\n");
  }
  return out;
}
