#include "protocol/saycommand.h"

#include <algorithm>

namespace {

std::string QuotedChatText(std::string_view line) {
  std::string quoted = "\"";
  for (const char c : line) {
    if (c == ';' || c == '\0') continue;
    quoted += c == '"' ? '\'' : c;
  }
  return quoted + '"';
}

bool HoldsSomethingToSay(std::string_view line) {
  return line.find_first_not_of(" \t;\0", 0, 4) != std::string_view::npos;
}

}  // namespace

std::vector<SayLine> SayCommands(std::string_view text) {
  std::vector<SayLine> lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = std::min(text.find_first_of("\r\n", start), text.size());
    const std::string_view line = text.substr(start, end - start);
    if (HoldsSomethingToSay(line))
      lines.push_back({std::string(line), "say " + QuotedChatText(line)});
    start = end + 1;
  }
  return lines;
}
