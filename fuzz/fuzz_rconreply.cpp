#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/consoletail.h"
#include "protocol/datafuncs.h"

// Feeds the bytes as a console-text reply. There is a list exactly for the kind 'l', the last
// two bytes of the datagram never change it, and the reply's tail reads as the list's end.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string reply(reinterpret_cast<const char*>(data), size);
  const std::optional<std::vector<std::string>> lines = ParseRconReply(reply);
  const bool consoleText = size > ReplyKindOffset && reply[ReplyKindOffset] == 'l';
  if (lines.has_value() != consoleText) __builtin_trap();
  if (!lines || size < 7) return 0;

  const ConsoleTail tail = ConsoleReplyTail(reply, 1 + size % 5);
  const std::optional<std::vector<std::string>> end = ParseRconReply(tail.reply);
  if (!end || end->size() > lines->size() || tail.cut != (end->size() < lines->size()) ||
      !std::equal(end->begin(), end->end(),
                  lines->end() - static_cast<std::ptrdiff_t>(end->size())))
    __builtin_trap();

  reply[size - 1] = static_cast<char>(~reply[size - 1]);
  reply[size - 2] = static_cast<char>(~reply[size - 2]);
  if (ParseRconReply(reply) != lines) __builtin_trap();
  return 0;
}
