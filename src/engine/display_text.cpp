#include "engine/display_text.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>

namespace {

// Length of the UTF-8 sequence that starts at `at`, 0 when the bytes there are not one.
std::size_t Utf8SequenceLength(std::string_view bytes, std::size_t at) {
  const auto lead = static_cast<std::uint8_t>(bytes[at]);
  std::size_t length = 0;
  std::uint32_t minimum = 0;
  std::uint32_t value = 0;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    minimum = 0x80;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    minimum = 0x800;
    value = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    minimum = 0x10000;
    value = lead & 0x07;
  } else {
    return 0;
  }
  if (bytes.size() - at < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<std::uint8_t>(bytes[at + i]);
    if ((next & 0xC0) != 0x80) return 0;
    value = (value << 6) | (next & 0x3F);
  }
  const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
  if (value < minimum || value > 0x10FFFF || surrogate) return 0;
  return length;
}

// Where the valid UTF-8 at the start of `bytes` ends.
std::size_t Utf8End(std::string_view bytes) {
  std::size_t at = 0;
  while (at < bytes.size()) {
    const std::size_t length = Utf8SequenceLength(bytes, at);
    if (length == 0) break;
    at += length;
  }
  return at;
}

void AppendLatin1AsUtf8(std::string& out, std::uint8_t byte) {
  if (byte < 0x80) {
    out += static_cast<char>(byte);
    return;
  }
  out += static_cast<char>(0xC0 | (byte >> 6));
  out += static_cast<char>(0x80 | (byte & 0x3F));
}

bool IsControl(std::uint32_t codePoint) {
  return codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F);
}

// Embeddings, overrides and isolates reorder the text after them: a name could make the rest of
// its line read backwards.
bool IsBidiControl(std::uint32_t codePoint) {
  return (codePoint >= 0x202A && codePoint <= 0x202E) ||
         (codePoint >= 0x2066 && codePoint <= 0x2069);
}

struct CodeRange {
  std::uint32_t first;
  std::uint32_t last;
};

bool InRanges(std::uint32_t codePoint, std::initializer_list<CodeRange> ranges) {
  for (const CodeRange& range : ranges)
    if (codePoint >= range.first && codePoint <= range.last) return true;
  return false;
}

// East Asian wide and fullwidth characters, and the emoji blocks that terminals draw as wide.
bool IsWide(std::uint32_t codePoint) {
  return InRanges(codePoint, {{0x1100, 0x115F},
                              {0x2329, 0x232A},
                              {0x2E80, 0x303E},
                              {0x3041, 0x33FF},
                              {0x3400, 0x4DBF},
                              {0x4E00, 0x9FFF},
                              {0xA000, 0xA4CF},
                              {0xA960, 0xA97F},
                              {0xAC00, 0xD7A3},
                              {0xF900, 0xFAFF},
                              {0xFE10, 0xFE19},
                              {0xFE30, 0xFE6F},
                              {0xFF00, 0xFF60},
                              {0xFFE0, 0xFFE6},
                              {0x1F300, 0x1F64F},
                              {0x1F900, 0x1F9FF},
                              {0x20000, 0x2FFFD},
                              {0x30000, 0x3FFFD}});
}

// Combining marks, joiners and variation selectors take no column of their own.
bool IsZeroWidth(std::uint32_t codePoint) {
  return InRanges(codePoint, {{0x0300, 0x036F},
                              {0x1AB0, 0x1AFF},
                              {0x1DC0, 0x1DFF},
                              {0x200B, 0x200F},
                              {0x20D0, 0x20FF},
                              {0xFE00, 0xFE0F},
                              {0xFE20, 0xFE2F}});
}

std::uint32_t CodePoint(std::string_view bytes, std::size_t at, std::size_t length) {
  static constexpr std::uint8_t LeadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
  std::uint32_t value = static_cast<std::uint8_t>(bytes[at]) & LeadBits[length];
  for (std::size_t i = 1; i < length; ++i)
    value = (value << 6) | (static_cast<std::uint8_t>(bytes[at + i]) & 0x3Fu);
  return value;
}

// Calls `emit` with every character of `bytes` as UTF-8 text and its code point.
template <typename Emit>
void ForEachCharacter(std::string_view bytes, Emit emit) {
  if (Utf8End(bytes) != bytes.size()) {
    std::string character;
    for (const char c : bytes) {
      character.clear();
      AppendLatin1AsUtf8(character, static_cast<std::uint8_t>(c));
      emit(std::string_view(character), static_cast<std::uint32_t>(static_cast<std::uint8_t>(c)));
    }
    return;
  }
  std::size_t at = 0;
  while (at < bytes.size()) {
    const std::size_t length = Utf8SequenceLength(bytes, at);
    emit(bytes.substr(at, length), CodePoint(bytes, at, length));
    at += length;
  }
}

}  // namespace

std::string WholeCharacters(std::string_view bytes, std::size_t capacity) {
  const std::size_t at = Utf8End(bytes);
  if (at == bytes.size() || bytes.size() != capacity) return std::string(bytes);
  // A lead byte followed only by continuation bytes up to the end: a character cut in half.
  const auto lead = static_cast<std::uint8_t>(bytes[at]);
  const std::size_t needed = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (needed == 0 || bytes.size() - at >= needed) return std::string(bytes);
  for (std::size_t i = at + 1; i < bytes.size(); ++i)
    if ((static_cast<std::uint8_t>(bytes[i]) & 0xC0) != 0x80) return std::string(bytes);
  return std::string(bytes.substr(0, at));
}

std::string Utf8Text(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  ForEachCharacter(bytes, [&out](std::string_view character, std::uint32_t) { out += character; });
  return out;
}

std::string TerminalText(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  ForEachCharacter(bytes, [&out](std::string_view character, std::uint32_t codePoint) {
    if (IsControl(codePoint) || IsBidiControl(codePoint))
      out += '?';
    else
      out += character;
  });
  return out;
}

std::size_t TerminalColumns(std::string_view text) {
  std::size_t columns = 0;
  ForEachCharacter(text, [&columns](std::string_view, std::uint32_t codePoint) {
    columns += IsWide(codePoint) ? 2 : IsZeroWidth(codePoint) ? 0 : 1;
  });
  return columns;
}

std::string JsonString(std::string_view bytes) {
  std::string out = "\"";
  out.reserve(bytes.size() + 2);
  ForEachCharacter(bytes, [&out](std::string_view character, std::uint32_t codePoint) {
    if (codePoint == '"' || codePoint == '\\') {
      out += '\\';
      out += character;
    } else if (IsControl(codePoint) || IsBidiControl(codePoint)) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(codePoint));
      out += escape;
    } else {
      out += character;
    }
  });
  out += '"';
  return out;
}
