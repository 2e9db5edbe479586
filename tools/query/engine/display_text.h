#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "store/mytypes.h"

// Wire and file texts are bytes. They are shown as UTF-8 when they are UTF-8, otherwise as
// Latin-1; the result is UTF-8. A text stored at its full capacity may end in a character cut
// in half by the byte limit: that character is dropped.

// For a terminal: control characters become "?", so a server cannot send terminal escapes and
// one server stays on one line. `capacity` is the byte limit the text was cut at, 0 for none.
std::string TerminalText(std::string_view bytes, std::size_t capacity = 0);
// A JSON string literal, quotes included; control characters are escaped.
std::string JsonString(std::string_view bytes, std::size_t capacity = 0);

template <std::size_t N>
std::string TerminalText(const ShortString<N>& text) {
  return TerminalText(text.view(), N);
}
template <std::size_t N>
std::string JsonString(const ShortString<N>& text) {
  return JsonString(text.view(), N);
}
