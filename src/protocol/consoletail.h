#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The end of a console-text reply ('l'), framed as a reply of its own, that ParseRconReply reads
// as the last lines of the whole reply: at most about `lines` of them, starting where a line of
// the whole begins. A view that keeps a bounded number of lines then pays for what it keeps,
// however long the reply. `cut` tells that lines before them were left out.
struct ConsoleTail {
  std::string reply;
  bool cut = false;
};

ConsoleTail ConsoleReplyTail(std::string_view reply, std::size_t lines);
