#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "chatlog.h"

// Feeds the bytes as a datagram on the companion's log port: every piece it reads out of a log
// line must lie inside that line.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view datagram(reinterpret_cast<const char*>(data), size);
  const std::optional<LogLine> line = ReadLogDatagram(datagram);
  if (!line) return 0;
  if (line->time.size() != 8 || datagram.find(line->text) == std::string_view::npos)
    __builtin_trap();
  const ChatEvent event = ReadChatEvent(line->text);
  if (line->text.find(event.name) == std::string::npos ||
      line->text.find(event.text) == std::string::npos)
    __builtin_trap();
  return 0;
}
