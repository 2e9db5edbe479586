#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/mytypes.h"

// Decoders of the reply datagrams. Each tests its own kind byte (offset 4) and leaves its
// output untouched when it does not match. None reads beyond the received bytes.
void ParseDetails(std::string_view reply, TDetailInfo& info);
void ParsePlayers(std::string_view reply, TPlayerList& list);
void ParseRules(std::string_view reply, TRuleList& list);
// Console text ('l') cut into lines; no list for another kind.
std::optional<std::vector<std::string>> ParseRconReply(std::string_view reply);
// The challenge of a challenge reply ('c'): the bytes from offset 19 up to the first line feed
// or the end of the datagram.
std::string ExtractChallenge(std::string_view reply);

// Offset of the kind byte in every reply.
constexpr std::size_t ReplyKindOffset = 4;
