#include "engine/option_number.h"

#include "store/mytypes.h"

std::int64_t OptionNumber(const std::string& option, const std::string& text, std::int64_t low,
                          std::int64_t high, const std::string& what) {
  std::int64_t value = 0;
  // Nine digits at most, so the value cannot overflow before it is compared.
  bool digits = !text.empty() && text.size() <= 9;
  for (const char c : text) {
    digits = digits && c >= '0' && c <= '9';
    if (digits) value = value * 10 + (c - '0');
  }
  if (!digits || value < low || value > high)
    throw EZerval(option + " needs " + what + " from " + std::to_string(low) + " to " +
                  std::to_string(high) + ", not \"" + text + "\"");
  return value;
}
