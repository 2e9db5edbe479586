#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/settings.h"

// One server to ask, as a list names it.
struct ListTarget {
  // A server list file's entry name; a text list names a server by its address.
  std::string name;
  // HOST[:PORT] as written.
  std::string address;
  // A text list line's "classic " or "a2s " prefix.
  std::optional<WireProtocol> protocol;
};

// The most servers a list may name; a longer one is refused (TooManyListEntries) before it fills
// memory.
constexpr std::size_t MaxListEntries = 1'000'000;
// Raises EZerval with the message for a list longer than MaxListEntries.
[[noreturn]] void TooManyListEntries();

// The servers of a list: the file `fileName`, or standard input for "-". A list with a zero
// byte is a server list file (.zsl), read as the window reads it; any other is a text list of
// one "[classic |a2s ]HOST[:PORT]" per line, where "#" starts a comment and blank lines do not
// count. Raises EZerval when the list cannot be read, is not a valid server list file or names
// more than MaxListEntries servers.
std::vector<ListTarget> ReadListTargets(const std::string& fileName);

// The lines of a text list; raises EZerval past MaxListEntries.
std::vector<ListTarget> ParseTextList(std::string_view text);
