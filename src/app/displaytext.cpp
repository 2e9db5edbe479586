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

struct Utf8Scan {
  bool valid = true;
  std::size_t length = 0;  // bytes of complete characters
  bool multiByte = false;  // a complete character of two or more bytes was seen
};

// Scans for UTF-8; a sequence cut short by the end of the bytes is left out of the length.
Utf8Scan ScanUtf8(std::string_view bytes) {
  Utf8Scan scan;
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const std::size_t length = SequenceLength(lead);
    if (length == 0) return Utf8Scan{false};
    for (std::size_t k = 1; k < length; ++k) {
      if (i + k >= bytes.size()) {
        scan.length = i;
        return scan;
      }
      if (!IsContinuation(static_cast<unsigned char>(bytes[i + k]))) return Utf8Scan{false};
    }
    const auto second = length > 1 ? static_cast<unsigned char>(bytes[i + 1]) : 0;
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F))
      return Utf8Scan{false};
    scan.multiByte = scan.multiByte || length > 1;
    i += length;
  }
  scan.length = i;
  return scan;
}

}  // namespace

QString ToDisplay(std::string_view bytes, bool cutByLimit) {
  const Utf8Scan scan = ScanUtf8(bytes);
  const bool cutCharacter = scan.length < bytes.size();
  if (!scan.valid || (cutCharacter && !cutByLimit && !scan.multiByte))
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
  return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(scan.length));
}

std::string FromDisplay(const QString& text) {
  for (const QChar c : text)
    if (c.unicode() > 0xFF) return text.toUtf8().toStdString();
  return text.toLatin1().toStdString();
}
