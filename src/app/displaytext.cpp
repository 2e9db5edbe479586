#include "displaytext.h"

#include <cstddef>

namespace {

// Length of the UTF-8 sequence that starts with `lead`, 0 when it cannot start one.
std::size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// The length of the valid UTF-8 text, or npos when the bytes are not UTF-8. A sequence cut
// short by the end of the bytes is left out of the length.
std::size_t Utf8Length(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const std::size_t length = SequenceLength(lead);
    if (length == 0) return std::string_view::npos;
    for (std::size_t k = 1; k < length; ++k) {
      if (i + k >= bytes.size()) return i;
      if (!IsContinuation(static_cast<unsigned char>(bytes[i + k]))) return std::string_view::npos;
    }
    const auto second = length > 1 ? static_cast<unsigned char>(bytes[i + 1]) : 0;
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F))
      return std::string_view::npos;
    i += length;
  }
  return i;
}

}  // namespace

QString ToDisplay(std::string_view bytes) {
  const std::size_t length = Utf8Length(bytes);
  if (length == std::string_view::npos)
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
  return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(length));
}

std::string FromDisplay(const QString& text) {
  for (const QChar c : text)
    if (c.unicode() > 0xFF) return text.toUtf8().toStdString();
  return text.toLatin1().toStdString();
}
