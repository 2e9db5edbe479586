#include <cstddef>
#include <cstdint>
#include <string_view>

#include "protocol/datafuncs.h"
#include "store/mytypes.h"

// Feeds the bytes as a rules reply. A positive count must match the entries held; a count of
// zero or less comes without entries. The reply is whole exactly when its count is zero or more
// and it holds that many.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view reply(reinterpret_cast<const char*>(data), size);
  TRuleList list;
  list.Count = 99;
  ParseRules(reply, list);
  if (size <= ReplyKindOffset || reply[ReplyKindOffset] != 'E') {
    if (list.Count != 99 || !list.Items.empty()) __builtin_trap();
    return 0;
  }
  if (list.Count > 0 && static_cast<std::size_t>(list.Count) != list.Items.size()) {
    __builtin_trap();
  }
  if (list.Count <= 0 && !list.Items.empty()) __builtin_trap();
  for (const TRuleItem& item : list.Items) {
    if (item.Value.empty()) __builtin_trap();
  }
  const auto count = static_cast<std::int16_t>(
      size > ReplyKindOffset + 2 ? static_cast<std::uint8_t>(reply[ReplyKindOffset + 1]) |
                                       static_cast<std::uint8_t>(reply[ReplyKindOffset + 2]) << 8
                                 : -1);
  const bool counted = count >= 0 && list.Items.size() == static_cast<std::size_t>(count);
  if (ReplyShortfall(reply).empty() != counted) __builtin_trap();
  return 0;
}
