#pragma once

#include <string>
#include <string_view>

#include "protocol/datafuncs.h"

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
