#include "protocol/wireprotocol.h"

#include <optional>
#include <string_view>

const char* WireProtocolName(WireProtocol protocol) {
  return protocol == WireProtocol::A2s ? "a2s" : "classic";
}

std::optional<WireProtocol> WireProtocolNamed(std::string_view name) {
  if (name == "classic") return WireProtocol::Classic;
  if (name == "a2s") return WireProtocol::A2s;
  return std::nullopt;
}
