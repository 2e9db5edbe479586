#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/a2s.h"

// Whether a reply can be read as the answer to the request for `part`: its kind answers that
// request ('m' or 'I' for details, 'D' for players, 'E' for rules) and it is whole by the
// decoders' rules (ReplyShortfall, A2sInfoShortfall). Empty when it can; otherwise why not, in
// English, starting "unreadable reply: ". Nothing of such a reply is to be shown as a value.
std::string WhyUnreadable(A2sQuery part, std::string_view reply);

// A challenge goes into every console line between blanks: one longer than this, or with a blank,
// a control character or a byte above 0x7E, is no challenge a server made.
constexpr std::size_t MaxChallengeBytes = 64;
bool IsUsableChallenge(std::string_view challenge);

// The lines of console text as the server sent them: a console reply's bytes from offset 5 up to
// its trailing zero bytes, split at line feeds, a carriage return before one dropped. A line feed
// at the end ends the last line; no text is no line at all.
std::vector<std::string> ConsoleTextLines(std::string_view reply);
