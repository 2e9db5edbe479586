#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Wire and file texts are bytes. They are shown as UTF-8 when they are UTF-8, otherwise as
// Latin-1; the result is UTF-8.

// A text stored at its full byte capacity may end in a UTF-8 character cut in half by the limit:
// the text without it. Any other text is returned whole.
std::string WholeCharacters(std::string_view bytes, std::size_t capacity);

// The text as UTF-8, control characters included.
std::string Utf8Text(std::string_view bytes);
// For a terminal: control characters become "?", so a server or a list cannot send terminal
// escapes and one server stays on one line.
std::string TerminalText(std::string_view bytes);
// A JSON string literal, quotes included; control characters are escaped.
std::string JsonString(std::string_view bytes);
