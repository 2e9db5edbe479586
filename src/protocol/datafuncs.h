#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/mytypes.h"

// Decoders of the reply datagrams. Each tests its own kind byte (offset 4) and leaves its
// output untouched when it does not match or the datagram is too short to hold it. None reads
// beyond the received bytes: a reply cut short gives the fields read before the cut, and for
// players and rules only the complete entries, Count being their number.
void ParseDetails(std::string_view reply, TDetailInfo& info);
void ParsePlayers(std::string_view reply, TPlayerList& list);
void ParseRules(std::string_view reply, TRuleList& list);

// The same replies as sent, for output that shows them whole: texts of any length, and an empty
// rule value or download address stays empty. No value for another kind.
struct PlayerEntry {
  std::uint8_t index = 0;
  std::string name;
  std::int32_t frags = 0;
  // Four bytes as received; servers send the seconds connected as a 32-bit float.
  std::uint32_t time = 0;
};
struct RuleEntry {
  std::string name;
  std::string value;
};
std::optional<TDetailInfo> DecodeDetails(std::string_view reply);
std::optional<std::vector<PlayerEntry>> DecodePlayers(std::string_view reply);
std::optional<std::vector<RuleEntry>> DecodeRules(std::string_view reply);

// Console text ('l') cut into lines; no list for another kind.
std::optional<std::vector<std::string>> ParseRconReply(std::string_view reply);
// The challenge of a challenge reply ('c'): the bytes from offset 19 up to the first line feed,
// zero byte or the end of the datagram; empty when the datagram ends before offset 19.
std::string ExtractChallenge(std::string_view reply);

// Offset of the kind byte in every reply.
constexpr std::size_t ReplyKindOffset = 4;
// The kind byte of a reply, '\0' for a datagram too short to have one.
inline char ReplyKind(std::string_view reply) {
  return reply.size() > ReplyKindOffset ? reply[ReplyKindOffset] : '\0';
}

// Why a details ('m'), players ('D') or rules ('E') reply cannot be read whole by the rules above,
// in English; empty when it can, and for another kind. Whole means every field the layout
// requires is there, each text ending in its zero byte inside the datagram: the five texts and
// seven bytes of details, and the mod block when the mod flag announces one; a count of players
// or rules of zero or more, and as many complete entries as it says. Bytes after them do not
// matter.
std::string ReplyShortfall(std::string_view reply);
