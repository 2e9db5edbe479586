#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// An IPv4 server address, both parts in host byte order.
struct ServerAddress {
  std::uint32_t ip = 0;
  std::uint16_t port = 0;
};

// Splits a host string ("IP:PORT") with the program's own address rules (ExtractIP and
// ExtractPort), then checks that the parts form a usable IPv4 address and UDP port.
// Raises EZerval with a message that names the fault.
ServerAddress ParseServerAddress(std::string_view hostString);

// "a.b.c.d:port"
std::string FormatServerAddress(const ServerAddress& address);
