#pragma once

#include <optional>
#include <string_view>

// How details, players and rules are asked for: with the text commands that servers of the older
// network era answer, or with the Steam-era requests that today's servers answer instead. The
// console lines are the same in both.
enum class WireProtocol { Classic, A2s };

// "classic" or "a2s", as options, lists, settings files and output name them.
const char* WireProtocolName(WireProtocol protocol);
// The protocol of such a name, exactly as written; none for any other text.
std::optional<WireProtocol> WireProtocolNamed(std::string_view name);
