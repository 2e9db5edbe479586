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
// For a terminal: control characters and the bidirectional embeddings, overrides and isolates
// (U+202A to U+202E, U+2066 to U+2069) become "?", so a server or a list cannot send terminal
// escapes, one server stays on one line and no text turns the rest of its line around.
std::string TerminalText(std::string_view bytes);
// The columns a terminal gives a text that TerminalText made: East Asian wide characters take
// two, combining marks none.
std::size_t TerminalColumns(std::string_view text);
// A JSON string literal, quotes included; control characters and the bidirectional controls are
// escaped, so the document reads the same and shows safely on a terminal.
std::string JsonString(std::string_view bytes);
