#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/server_address.h"
#include "engine/settings.h"
#include "protocol/a2s.h"
#include "protocol/datafuncs.h"
#include "protocol/splitreply.h"
#include "store/mytypes.h"

// A challenge reply to a Steam-era request is answered this often; further ones are ignored.
constexpr int MaxChallengeResends = 2;

// Request framing: four 0xFF bytes, the command, one zero byte. The library's FrameRequest
// lives beside the window's socket class, whose Qt Network libraries would add several
// milliseconds to every start of this program.
inline std::string RequestDatagram(std::string_view command) {
  return std::string(4, '\xFF') + std::string(command) + '\0';
}

// The kind byte of a reply, '\0' for a datagram too short to have one.
inline char ReplyKind(std::string_view reply) {
  return reply.size() > ReplyKindOffset ? reply[ReplyKindOffset] : '\0';
}

// A details reply of `protocol`: 'm', or with the Steam-era requests also 'I'.
bool IsDetailsReply(WireProtocol protocol, std::string_view reply);

// Reads a details reply of either kind as sent. An 'I' reply also gives the whole info reply,
// and as it names no address, `source`, where it came from, stands in.
void ReadDetailsReply(std::string_view reply, const ServerAddress& source,
                      std::optional<TDetailInfo>& details, std::optional<A2sInfo>& a2sInfo);

// A datagram as a whole reply: a piece of a split reply goes to `pieces`, and only the piece
// that completes its reply gives one. When the pieces make no valid reply, `refusal` tells why.
std::optional<std::string> WholeReply(SplitReassembler& pieces, std::string datagram,
                                      std::string& refusal);

// A player's time connected in seconds: servers send it as a 32-bit float. None when the four
// bytes are no finite number.
std::optional<double> ConnectedSeconds(const PlayerEntry& player);
