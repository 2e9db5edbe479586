#include <cstddef>
#include <cstdint>
#include <string_view>

#include "protocol/datafuncs.h"
#include "store/mytypes.h"

// Feeds the bytes as a players reply. The count must always match the entries held, and the reply
// is whole exactly when it holds as many as it counts.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view reply(reinterpret_cast<const char*>(data), size);
  TPlayerList list;
  list.Count = 99;
  ParsePlayers(reply, list);
  if (size <= ReplyKindOffset || reply[ReplyKindOffset] != 'D') {
    if (list.Count != 99 || !list.Items.empty()) __builtin_trap();
    return 0;
  }
  if (list.Count != list.Items.size()) __builtin_trap();
  const bool counted = size > ReplyKindOffset + 1 &&
                       list.Count == static_cast<std::uint8_t>(reply[ReplyKindOffset + 1]);
  if (ReplyShortfall(reply).empty() != counted) __builtin_trap();
  return 0;
}
