#include "protocol/consoletail.h"

namespace {

// The layout ParseRconReply reads: four 0xFF bytes and the kind byte, the text, and three bytes
// of which the first ends the last line.
constexpr std::size_t TextOffset = 5;
constexpr std::size_t EndBytes = 3;
constexpr char ConsoleTextKind = 'l';

}  // namespace

// ParseRconReply joins a line of one character with the next, so a line of the whole begins
// only after a line of two or more characters; the tail starts after such a line, with at least
// twice `lines` line feeds after it, as joined lines take two or more.
ConsoleTail ConsoleReplyTail(std::string_view reply, std::size_t lines) {
  if (reply.size() < TextOffset + EndBytes || reply[TextOffset - 1] != ConsoleTextKind)
    return {std::string(reply), false};
  const std::string_view text = reply.substr(TextOffset, reply.size() - TextOffset - EndBytes);
  std::size_t breaks = 0;
  for (std::size_t end = text.rfind('\n'); end != std::string_view::npos && end > 0;
       end = text.rfind('\n', end - 1)) {
    if (++breaks < 2 * lines) continue;
    const std::size_t before = text.rfind('\n', end - 1);
    const std::size_t length = before == std::string_view::npos ? end : end - before - 1;
    if (length < 2) continue;
    return {std::string(reply.substr(0, TextOffset)) + std::string(text.substr(end + 1)) +
                std::string(reply.substr(reply.size() - EndBytes)),
            true};
  }
  return {std::string(reply), false};
}
