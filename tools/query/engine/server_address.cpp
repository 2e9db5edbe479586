#include "engine/server_address.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "store/IPfuncs.h"
#include "store/mytypes.h"

namespace {

// One dotted part of an IP text: decimal digits only, 0 to 255 (leading zeros stay decimal).
bool ParseOctet(std::string_view part, std::uint32_t& value) {
  if (part.empty() || part.size() > 3) return false;
  value = 0;
  for (const char c : part) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<std::uint32_t>(c - '0');
  }
  return value <= 255;
}

// The address rules accept any four integers, hexadecimal forms and out-of-range values
// included; a datagram needs four octets.
bool ParseIPv4(std::string_view text, std::uint32_t& ip) {
  ip = 0;
  for (int part = 0; part < 4; ++part) {
    const std::size_t dot = part < 3 ? text.find('.') : text.size();
    if (dot == std::string_view::npos) return false;
    std::uint32_t octet = 0;
    if (!ParseOctet(text.substr(0, dot), octet)) return false;
    ip = (ip << 8) | octet;
    text.remove_prefix(part < 3 ? dot + 1 : dot);
  }
  return true;
}

}  // namespace

ServerAddress ParseServerAddress(std::string_view hostString) {
  const std::string quoted = "\"" + std::string(hostString) + "\"";
  std::string ipText;
  std::int32_t port = 0;
  try {
    ipText = ExtractIP(hostString);
    if (ipText.empty()) throw EZerval(quoted + " is not IP:PORT");
    port = ExtractPort(hostString);
  } catch (const EInvalidIP& error) {
    throw EZerval(std::string(error.what()) + " in " + quoted);
  } catch (const EInvalidHostString& error) {
    throw EZerval(std::string(error.what()) + " " + quoted + " (port missing or not a number)");
  }
  ServerAddress address;
  if (!ParseIPv4(ipText, address.ip))
    throw EZerval("\"" + ipText + "\" is not an IPv4 address (four numbers 0 to 255)");
  if (port < 1 || port > 65535)
    throw EZerval("port " + std::to_string(port) + " of " + quoted + " is outside 1 to 65535");
  address.port = static_cast<std::uint16_t>(port);
  return address;
}

std::string FormatServerAddress(const ServerAddress& address) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    text += std::to_string((address.ip >> shift) & 0xFF);
    text += shift > 0 ? '.' : ':';
  }
  return text + std::to_string(address.port);
}
