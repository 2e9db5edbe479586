#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "store/IPfuncs.h"
#include "store/mytypes.h"
#include "store/stdfuncs.h"

namespace {

void CheckConversion(std::string_view text) {
  std::int32_t tried = 0;
  const bool converts = TryStrToInt(text, tried);
  try {
    if (StrToInt(text) != tried || !converts) __builtin_trap();
    std::string grouped = FormatThousands(tried);
    const std::size_t dot = grouped.find('.');
    if (dot != std::string::npos) grouped.erase(dot, 1);
    if (grouped != std::to_string(tried)) __builtin_trap();
  } catch (const EConvertError&) {
    if (converts) __builtin_trap();
  }
}

void CheckHost(std::string_view host) {
  try {
    const std::string ip = ExtractIP(host);
    if (!ip.empty() && (!IsValidIP(ip) || ip.size() < 7 || ip.size() > 15)) __builtin_trap();
  } catch (const EInvalidIP&) {
  }
  try {
    ExtractPort(host);
  } catch (const EInvalidHostString&) {
  }
}

}  // namespace

// Feeds the bytes as a host string and as a number text; only the helpers' own errors may leave.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CheckHost(text);
  CheckConversion(text);
  if (RemoveSpaces(text).find(' ') != std::string::npos) __builtin_trap();
  return 0;
}
