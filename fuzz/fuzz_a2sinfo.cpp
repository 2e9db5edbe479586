#include <cstddef>
#include <cstdint>
#include <string_view>

#include "protocol/a2s.h"
#include "protocol/datafuncs.h"
#include "store/mytypes.h"

// Feeds the bytes as an info reply ('I'). Another kind must leave the record as it was; no text
// may hold more bytes than the datagram, and the letters shown are only those the views know. A
// whole reply holds at least the protocol, four zero bytes, the application id and three counts.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view reply(reinterpret_cast<const char*>(data), size);
  TDetailInfo info;
  info.ServerName = "untouched";
  ParseA2sInfo(reply, info);
  if (size <= ReplyKindOffset || reply[ReplyKindOffset] != 'I') {
    if (info.ServerName != "untouched") __builtin_trap();
    return 0;
  }
  const std::size_t textBytes = info.ServerAddress.size() + info.ServerName.size() +
                                info.MapName.size() + info.GameDir.size() + info.GameName.size();
  if (textBytes > size) __builtin_trap();
  if (info.ServerType != 0 && info.ServerType != 'd' && info.ServerType != 'l') __builtin_trap();
  if (info.ServerOS != 0 && info.ServerOS != 'l' && info.ServerOS != 'w') __builtin_trap();
  if (info.IsMod != 0 || !info.ModInfoUrl.empty()) __builtin_trap();
  if (A2sInfoShortfall(reply).empty() && size < ReplyKindOffset + 1 + 1 + 4 + 2 + 3)
    __builtin_trap();
  return 0;
}
