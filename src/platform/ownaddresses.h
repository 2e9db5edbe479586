#pragma once

#include <optional>
#include <string>
#include <vector>

// This machine's own IPv4 addresses as dotted texts, in the order the system lists them.
std::vector<std::string> OwnIPv4Addresses();

// The own address that a server's log is pointed at for the chat: the second one when the
// machine has two or more, else the first; none without any.
std::optional<std::string> ChatLogAddress();
