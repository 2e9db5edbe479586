#include "engine/query_protocol.h"

#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "protocol/a2s.h"
#include "protocol/datafuncs.h"
#include "protocol/splitreply.h"

bool IsDetailsReply(WireProtocol protocol, std::string_view reply) {
  return protocol == WireProtocol::A2s ? IsInfoReply(reply) : ReplyKind(reply) == 'm';
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

std::optional<std::string> WholeReply(SplitReassembler& pieces, std::string datagram,
                                      std::string& refusal) {
  if (!IsSplitPiece(datagram)) return datagram;
  SplitOutcome outcome = pieces.Add(datagram);
  if (outcome.status == SplitOutcome::Status::Refused) refusal = std::move(outcome.reason);
  if (outcome.status != SplitOutcome::Status::Complete) return std::nullopt;
  return std::move(outcome.reply);
}

std::optional<double> ConnectedSeconds(const PlayerEntry& player) {
  float seconds = 0;
  static_assert(sizeof seconds == sizeof player.time);
  std::memcpy(&seconds, &player.time, sizeof seconds);
  if (!std::isfinite(seconds)) return std::nullopt;
  return seconds;
}
