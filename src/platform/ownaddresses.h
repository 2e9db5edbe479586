#pragma once

#include <string>
#include <vector>

// This machine's own IPv4 addresses as dotted texts, in the order the system lists them.
std::vector<std::string> OwnIPv4Addresses();
