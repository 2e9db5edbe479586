#include "engine/query_protocol.h"

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

void ParseDetailsReply(std::string_view reply, const ServerAddress& source, TDetailInfo& info) {
  if (ReplyKind(reply) != 'I') {
    ParseDetails(reply, info);
    return;
  }
  ParseA2sInfo(reply, info);
  info.ServerAddress = FormatServerAddress(source);
}

std::optional<std::string> WholeReply(SplitReassembler& pieces, std::string datagram,
                                      std::string& refusal) {
  if (!IsSplitPiece(datagram)) return datagram;
  SplitOutcome outcome = pieces.Add(datagram);
  if (outcome.status == SplitOutcome::Status::Refused) refusal = std::move(outcome.reason);
  if (outcome.status != SplitOutcome::Status::Complete) return std::nullopt;
  return std::move(outcome.reply);
}
