#pragma once

#include <sys/socket.h>

#include <cstdint>
#include <string>
#include <string_view>

// The port that game servers answer on unless they are told otherwise.
constexpr std::uint16_t DefaultServerPort = 27015;

// A server's UDP address, IPv4 or IPv6, in the form the socket calls take.
struct ServerAddress {
  sockaddr_storage storage{};
  socklen_t length = 0;

  int Family() const { return storage.ss_family; }
};

// An address text taken apart, not yet looked up.
struct AddressText {
  std::string host;
  std::uint16_t port = DefaultServerPort;
  // The text named the port; without it `port` is the default.
  bool hasPort = false;
  // Written as an IPv6 address (in brackets or with colons).
  bool ipv6 = false;
  // An IPv4 or IPv6 address rather than a name: reading it needs no lookup.
  bool literal = false;
};

// Splits "HOST", "HOST:PORT", "[IPV6]" or "[IPV6]:PORT" as ResolveServerAddress reads it,
// without looking the host up. Raises EZerval as it does for a malformed text.
AddressText SplitServerAddress(std::string_view text);

// Reads "HOST", "HOST:PORT", "[IPV6]" or "[IPV6]:PORT"; blanks around it do not count. HOST is a
// dotted IPv4 address, an IPv6 address or a host name, which getaddrinfo looks up; of a name with
// both kinds of address the IPv4 one is taken, as game servers mostly listen on IPv4 only. PORT
// is 27015 when none is given. Raises EZerval with a message that names the faulty part.
ServerAddress ResolveServerAddress(std::string_view text);

// "a.b.c.d:port" or "[ipv6]:port".
std::string FormatServerAddress(const ServerAddress& address);

// The bytes that tell addresses apart (family, address, port), as a key of maps.
std::string AddressKey(const ServerAddress& address);
