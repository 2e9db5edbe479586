#include "store/IPfuncs.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "store/mytypes.h"
#include "store/stdfuncs.h"

namespace {

// Fewer characters than this before the ":" mean no IP text at all.
constexpr std::size_t MinCharsBeforeColon = 7;
// The shortest and longest IP text accepted: from "1.2.3.4" to "255.255.255.255".
constexpr std::size_t MinIPLength = 7;
constexpr std::size_t MaxIPLength = 15;

}  // namespace

bool IsValidIP(std::string_view text) {
  std::array<std::string_view, 4> parts;
  for (std::size_t i = 0; i < 3; ++i) {
    const std::size_t dot = text.find('.');
    if (dot == std::string_view::npos) continue;
    parts[i] = text.substr(0, dot);
    text.remove_prefix(dot + 1);
  }
  // The last part is at most three characters long and nothing may follow it.
  parts[3] = text.substr(0, 3);
  text.remove_prefix(parts[3].size());
  if (!text.empty()) return false;

  std::int32_t value = 0;
  return std::all_of(parts.begin(), parts.end(),
                     [&value](std::string_view part) { return TryStrToInt(part, value); });
}

std::int32_t ExtractPort(std::string_view host) {
  const std::string trimmed = Trim(host);
  const std::size_t colon = trimmed.find(':');
  const std::string portText =
      Trim(colon == std::string::npos ? std::string_view(trimmed)
                                      : std::string_view(trimmed).substr(colon + 1));
  std::int32_t port = 0;
  if (!TryStrToInt(portText, port)) throw EInvalidHostString();
  return port;
}

std::string ExtractIP(std::string_view host) {
  const std::string trimmed = Trim(host);
  const std::size_t colon = trimmed.find(':');
  if (colon == std::string::npos || colon < MinCharsBeforeColon) return std::string();

  const std::string ip = RemoveSpaces(std::string_view(trimmed).substr(0, colon));
  const std::string trimmedIP = Trim(ip);
  if (!IsValidIP(ip) || trimmedIP.size() < MinIPLength || trimmedIP.size() > MaxIPLength) {
    throw EInvalidIP();
  }
  return trimmedIP;
}
