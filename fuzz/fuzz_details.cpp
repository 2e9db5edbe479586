#include <cstddef>
#include <cstdint>
#include <string_view>

#include "protocol/datafuncs.h"
#include "store/mytypes.h"

// Feeds the bytes as a details reply. Another kind must leave the record as it was, and no text
// may hold more bytes than the datagram. A whole reply holds at least five zero bytes and seven
// bytes more.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view reply(reinterpret_cast<const char*>(data), size);
  TDetailInfo info;
  info.ServerName = "untouched";
  ParseDetails(reply, info);
  if (size <= ReplyKindOffset || reply[ReplyKindOffset] != 'm') {
    if (info.ServerName != "untouched") __builtin_trap();
    return 0;
  }
  const std::size_t textBytes = info.ServerAddress.size() + info.ServerName.size() +
                                info.MapName.size() + info.GameDir.size() + info.GameName.size() +
                                info.ModInfoUrl.size();
  if (textBytes > size) __builtin_trap();
  if (ReplyShortfall(reply).empty() && size < ReplyKindOffset + 1 + 5 + 7) __builtin_trap();
  return 0;
}
