#include "engine/list_input.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/display_text.h"
#include "store/mytypes.h"
#include "store/stdfuncs.h"

namespace {

// Standard input may be anything; a list larger than this is refused before it fills memory.
constexpr std::size_t MaxStandardInputBytes = std::size_t(64) << 20;

std::string ReadStandardInput() {
  std::string bytes;
  char chunk[65536];
  for (;;) {
    const ssize_t count = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) throw EZerval("Cannot read the list from standard input");
    if (count == 0) return bytes;
    if (bytes.size() + static_cast<std::size_t>(count) > MaxStandardInputBytes)
      throw EZerval("The list on standard input is larger than 64 MiB");
    bytes.append(chunk, static_cast<std::size_t>(count));
  }
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
  return text;
}

// Takes `word` and the blanks after it off the front of `line` when the line starts with them.
bool TakePrefix(std::string_view& line, std::string_view word) {
  if (line.size() <= word.size() || line.substr(0, word.size()) != word) return false;
  const std::string_view rest = line.substr(word.size());
  if (rest.front() != ' ' && rest.front() != '\t') return false;
  line = TrimBlanks(rest);
  return true;
}

std::vector<ListTarget> FromServerList(const TServerList& list) {
  if (list.size() > MaxListEntries) TooManyListEntries();
  std::vector<ListTarget> targets;
  targets.reserve(list.size());
  for (const TServerEntry& entry : list)
    targets.push_back(ListTarget{WholeCharacters(entry.Name.view(), entry.Name.Capacity),
                                 WholeCharacters(entry.Address.view(), entry.Address.Capacity),
                                 {}});
  return targets;
}

}  // namespace

void TooManyListEntries() {
  throw EZerval("more than " + std::to_string(MaxListEntries) + " servers listed");
}

std::vector<ListTarget> ParseTextList(std::string_view text) {
  std::vector<ListTarget> targets;
  // Room for every line at once: growing by doubling would leave up to half of it unused.
  targets.reserve(
      std::min<std::size_t>(std::count(text.begin(), text.end(), '\n') + 1, MaxListEntries));
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    line = TrimBlanks(line.substr(0, line.find('#')));
    if (line.empty()) continue;
    if (targets.size() == MaxListEntries) TooManyListEntries();
    ListTarget target;
    if (TakePrefix(line, "classic"))
      target.protocol = WireProtocol::Classic;
    else if (TakePrefix(line, "a2s"))
      target.protocol = WireProtocol::A2s;
    target.name = std::string(line);
    target.address = std::string(line);
    targets.push_back(std::move(target));
  }
  return targets;
}

std::vector<ListTarget> ReadListTargets(const std::string& fileName) {
  const bool standardInput = fileName == "-";
  std::string bytes = standardInput ? ReadStandardInput() : ReadListFileBytes(fileName);
  // A server list file starts with its entry count, whose high byte is zero for any real list;
  // a text list holds no zero byte.
  if (bytes.find('\0') == std::string::npos) return ParseTextList(bytes);
  const TServerList list = ParseServerList(bytes, standardInput ? "(standard input)" : fileName);
  // Freed before the targets are made, so that at most two forms of the list are held at once.
  std::string().swap(bytes);
  return FromServerList(list);
}
