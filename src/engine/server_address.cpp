#include "engine/server_address.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "store/mytypes.h"

namespace {

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
  return text;
}

std::string Quoted(std::string_view text) {
  return "\"" + std::string(text) + "\"";
}

std::uint16_t ParsePort(std::string_view port) {
  std::uint32_t value = 0;
  bool digits = !port.empty() && port.size() <= 5;
  for (const char c : port) {
    digits = digits && c >= '0' && c <= '9';
    if (digits) value = value * 10 + static_cast<std::uint32_t>(c - '0');
  }
  if (!digits || value < 1 || value > 65535)
    throw EZerval("the port must be a number from 1 to 65535, not " + Quoted(port));
  return static_cast<std::uint16_t>(value);
}

bool OnlyDigitsAndDots(std::string_view text) {
  return text.find_first_not_of("0123456789.") == std::string_view::npos;
}

ServerAddress FromIPv4(const in_addr& ip, std::uint16_t port) {
  ServerAddress address;
  sockaddr_in v4{};
  v4.sin_family = AF_INET;
  v4.sin_addr = ip;
  v4.sin_port = htons(port);
  std::memcpy(&address.storage, &v4, sizeof v4);
  address.length = sizeof v4;
  return address;
}

// An IPv4 address is preferred over an IPv6 one; among each kind the resolver's order counts.
ServerAddress Lookup(const std::string& host, bool numericOnly, std::uint16_t port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;
  hints.ai_flags = numericOnly ? AI_NUMERICHOST : 0;
  addrinfo* results = nullptr;
  const int failure = ::getaddrinfo(host.c_str(), nullptr, &hints, &results);
  if (failure != 0) {
    throw EZerval(numericOnly ? Quoted(host) + " is not an IPv6 address"
                              : "cannot resolve " + Quoted(host) + ": " + gai_strerror(failure));
  }
  const addrinfo* chosen = nullptr;
  for (const addrinfo* result = results; result; result = result->ai_next) {
    if (result->ai_family == AF_INET) {
      chosen = result;
      break;
    }
    if (result->ai_family == AF_INET6 && !chosen) chosen = result;
  }
  ServerAddress address;
  if (chosen) {
    std::memcpy(&address.storage, chosen->ai_addr, chosen->ai_addrlen);
    address.length = chosen->ai_addrlen;
  }
  ::freeaddrinfo(results);
  if (!chosen) throw EZerval(Quoted(host) + " has no IPv4 or IPv6 address");
  if (address.Family() == AF_INET)
    reinterpret_cast<sockaddr_in*>(&address.storage)->sin_port = htons(port);
  else
    reinterpret_cast<sockaddr_in6*>(&address.storage)->sin6_port = htons(port);
  return address;
}

}  // namespace

AddressText SplitServerAddress(std::string_view text) {
  const std::string_view whole = TrimBlanks(text);
  std::string_view host = whole;
  std::optional<std::string_view> port;
  const bool bracketed = !whole.empty() && whole.front() == '[';
  if (bracketed) {
    const std::size_t close = whole.find(']');
    if (close == std::string_view::npos) throw EZerval("\"]\" is missing");
    host = whole.substr(1, close - 1);
    const std::string_view rest = whole.substr(close + 1);
    if (!rest.empty() && rest.front() != ':') throw EZerval("only \":PORT\" may follow \"]\"");
    if (!rest.empty()) port = rest.substr(1);
  } else if (const std::size_t colon = whole.find(':');
             colon != std::string_view::npos &&
             whole.find(':', colon + 1) == std::string_view::npos) {
    // Two colons or more make an IPv6 address without a port.
    host = whole.substr(0, colon);
    port = whole.substr(colon + 1);
  }
  if (host.empty()) throw EZerval("no host");
  AddressText parts;
  parts.host = std::string(host);
  parts.port = port ? ParsePort(*port) : DefaultServerPort;
  parts.hasPort = port.has_value();
  parts.ipv6 = bracketed || host.find(':') != std::string_view::npos;
  parts.literal = parts.ipv6 || OnlyDigitsAndDots(host);
  return parts;
}

ServerAddress ResolveServerAddress(std::string_view text) {
  const AddressText parts = SplitServerAddress(text);
  if (!parts.ipv6 && parts.literal) {
    in_addr ip{};
    if (::inet_pton(AF_INET, parts.host.c_str(), &ip) != 1)
      throw EZerval(Quoted(parts.host) + " is not an IPv4 address (four numbers from 0 to 255)");
    return FromIPv4(ip, parts.port);
  }
  return Lookup(parts.host, parts.ipv6, parts.port);
}

std::string FormatServerAddress(const ServerAddress& address) {
  char text[INET6_ADDRSTRLEN] = "";
  if (address.Family() == AF_INET) {
    const auto& v4 = reinterpret_cast<const sockaddr_in&>(address.storage);
    ::inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(v4.sin_port));
  }
  const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address.storage);
  ::inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
  return "[" + std::string(text) + "]:" + std::to_string(ntohs(v6.sin6_port));
}

std::string AddressKey(const ServerAddress& address) {
  if (address.Family() == AF_INET) {
    const auto& v4 = reinterpret_cast<const sockaddr_in&>(address.storage);
    return std::string(reinterpret_cast<const char*>(&v4.sin_addr), sizeof v4.sin_addr) +
           std::string(reinterpret_cast<const char*>(&v4.sin_port), sizeof v4.sin_port);
  }
  const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address.storage);
  return std::string(reinterpret_cast<const char*>(&v6.sin6_addr), sizeof v6.sin6_addr) +
         std::string(reinterpret_cast<const char*>(&v6.sin6_port), sizeof v6.sin6_port) +
         std::string(reinterpret_cast<const char*>(&v6.sin6_scope_id), sizeof v6.sin6_scope_id);
}
