#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/server_address.h"
#include "engine/settings.h"
#include "protocol/a2s.h"
#include "protocol/datafuncs.h"
#include "protocol/replypolicy.h"
#include "store/mytypes.h"

// "details", "players" or "rules": the text command, and the part's name in reports.
const char* PartName(A2sQuery part);

// The request of one part of a server's answer in `protocol`, with the settings' time-out, which
// bounds the whole exchange, and retries.
ExchangeRequest PartRequest(A2sQuery part, WireProtocol protocol, const QuerySettings& settings);

// Reads a details reply of either kind as sent. An 'I' reply also gives the whole info reply,
// and as it names no address, `source`, where it came from, stands in.
void ReadDetailsReply(std::string_view reply, const ServerAddress& source,
                      std::optional<TDetailInfo>& details, std::optional<A2sInfo>& a2sInfo);

// A player's time connected in seconds: servers send it as a 32-bit float. None when the four
// bytes are no finite number.
std::optional<double> ConnectedSeconds(const PlayerEntry& player);
