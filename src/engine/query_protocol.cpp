#include "engine/query_protocol.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "engine/micros.h"
#include "protocol/a2s.h"
#include "protocol/datafuncs.h"
#include "protocol/replypolicy.h"

const char* PartName(A2sQuery part) {
  switch (part) {
    case A2sQuery::Info:
      return "details";
    case A2sQuery::Players:
      return "players";
    case A2sQuery::Rules:
      return "rules";
  }
  return "";
}

ExchangeRequest PartRequest(A2sQuery part, WireProtocol protocol, const QuerySettings& settings) {
  ExchangeRequest request;
  request.command = PartName(part);
  if (protocol == WireProtocol::A2s) request.a2s = part;
  request.timeout = request.budget = MicrosOf(settings.timeout);
  request.retries = settings.retries;
  request.retryInterval = MicrosOf(settings.interval);
  return request;
}

void ReadDetailsReply(std::string_view reply, const ServerAddress& source,
                      std::optional<TDetailInfo>& details, std::optional<A2sInfo>& a2sInfo) {
  if (ReplyKind(reply) != 'I') {
    details = DecodeDetails(reply);
    return;
  }
  a2sInfo = DecodeA2sInfo(reply);
  ParseA2sInfo(reply, details.emplace());
  details->ServerAddress = FormatServerAddress(source);
}

std::optional<double> ConnectedSeconds(const PlayerEntry& player) {
  float seconds = 0;
  static_assert(sizeof seconds == sizeof player.time);
  std::memcpy(&seconds, &player.time, sizeof seconds);
  if (!std::isfinite(seconds)) return std::nullopt;
  return seconds;
}
