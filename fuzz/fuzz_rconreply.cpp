#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/datafuncs.h"

// Feeds the bytes as a console-text reply. There is a list exactly for the kind 'l', and the
// last two bytes of the datagram never change it.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string reply(reinterpret_cast<const char*>(data), size);
  const std::optional<std::vector<std::string>> lines = ParseRconReply(reply);
  const bool consoleText = size > ReplyKindOffset && reply[ReplyKindOffset] == 'l';
  if (lines.has_value() != consoleText) __builtin_trap();
  if (!lines || size < 7) return 0;

  reply[size - 1] = static_cast<char>(~reply[size - 1]);
  reply[size - 2] = static_cast<char>(~reply[size - 2]);
  if (ParseRconReply(reply) != lines) __builtin_trap();
  return 0;
}
