#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "store/mytypes.h"
#include "store/stdfuncs.h"

namespace {

std::optional<int> DigitValue(char c, int base) {
  int value = -1;
  if (c >= '0' && c <= '9') {
    value = c - '0';
  } else if (c >= 'a' && c <= 'f') {
    value = c - 'a' + 10;
  } else if (c >= 'A' && c <= 'F') {
    value = c - 'A' + 10;
  }
  if (value < 0 || value >= base) return std::nullopt;
  return value;
}

// Length of the hexadecimal prefix at the start of `text`: "$", "x", "X", "0x" or "0X".
std::size_t HexPrefixLength(std::string_view text) {
  if (!text.empty() && (text[0] == '$' || text[0] == 'x' || text[0] == 'X')) return 1;
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) return 2;
  return 0;
}

std::optional<std::int32_t> ParseInt32(std::string_view text) {
  const std::size_t firstNonBlank = text.find_first_not_of(' ');
  if (firstNonBlank == std::string_view::npos) return std::nullopt;
  text.remove_prefix(firstNonBlank);

  bool negative = false;
  if (text[0] == '+' || text[0] == '-') {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  const std::size_t prefix = HexPrefixLength(text);
  const int base = prefix > 0 ? 16 : 10;
  text.remove_prefix(prefix);
  if (text.empty()) return std::nullopt;

  // The magnitude may reach 2^31 only for a negative value.
  const std::int64_t limit =
      static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::max()) + (negative ? 1 : 0);
  std::int64_t magnitude = 0;
  for (const char c : text) {
    const std::optional<int> digit = DigitValue(c, base);
    if (!digit) return std::nullopt;
    magnitude = magnitude * base + *digit;
    if (magnitude > limit) return std::nullopt;
  }
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

}  // namespace

std::string RemoveSpaces(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (const char c : text) {
    if (c != ' ') result.push_back(c);
  }
  return result;
}

std::string FormatThousands(std::int32_t value) {
  std::string text = std::to_string(value);
  if (value >= 1000) text.insert(text.size() - 3, 1, '.');
  return text;
}

std::string Trim(std::string_view text) {
  const auto isTrimmed = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && isTrimmed(text[begin])) ++begin;
  while (end > begin && isTrimmed(text[end - 1])) --end;
  return std::string(text.substr(begin, end - begin));
}

std::int32_t StrToInt(std::string_view text) {
  const std::optional<std::int32_t> value = ParseInt32(text);
  if (!value) throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
  return *value;
}

bool TryStrToInt(std::string_view text, std::int32_t& value) {
  const std::optional<std::int32_t> parsed = ParseInt32(text);
  if (!parsed) return false;
  value = *parsed;
  return true;
}
