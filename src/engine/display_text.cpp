#include "engine/display_text.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
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

// Calls `emit` with every character of `bytes` as UTF-8 text and its code point (the code
// point is exact for the one- and two-byte forms, the only ones that can be controls).
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
    const auto lead = static_cast<std::uint8_t>(bytes[at]);
    std::uint32_t codePoint = lead;
    if (length == 2)
      codePoint = ((lead & 0x1Fu) << 6) | (static_cast<std::uint8_t>(bytes[at + 1]) & 0x3Fu);
    else if (length > 2)
      codePoint = 0x800;
    emit(bytes.substr(at, length), codePoint);
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
    if (IsControl(codePoint))
      out += '?';
    else
      out += character;
  });
  return out;
}

std::string JsonString(std::string_view bytes) {
  std::string out = "\"";
  out.reserve(bytes.size() + 2);
  ForEachCharacter(bytes, [&out](std::string_view character, std::uint32_t codePoint) {
    if (codePoint == '"' || codePoint == '\\') {
      out += '\\';
      out += character;
    } else if (IsControl(codePoint)) {
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
