#include "pieces.h"

#include <bzlib.h>

#include <array>

namespace {

void PutByte(std::string& out, unsigned value) {
  out += static_cast<char>(value & 0xFF);
}

void PutUint32(std::string& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) PutByte(out, value >> shift);
}

constexpr std::uint32_t CompressedBit = 0x80000000u;

std::optional<std::string> Bzip2(const std::string& bytes) {
  // bzip2's own bound for incompressible data.
  unsigned int size = unsigned(bytes.size() + bytes.size() / 100 + 600);
  std::string packed(size, '\0');
  std::string source = bytes;
  if (BZ2_bzBuffToBuffCompress(packed.data(), &size, source.data(), unsigned(source.size()), 9, 0,
                               0) != BZ_OK)
    return std::nullopt;
  packed.resize(size);
  return packed;
}

std::string PieceHeader(const SplitStyle& style, std::uint32_t id, int number, int count) {
  std::string header(4, '\xFF');
  header[0] = '\xFE';
  PutUint32(header, id);
  if (style.layout == SplitLayout::Packed) {
    PutByte(header, unsigned(number << 4 | count));
  } else {
    PutByte(header, unsigned(count));
    PutByte(header, unsigned(number));
    if (style.layout == SplitLayout::Source) {
      PutByte(header, unsigned(style.maxDatagram));
      PutByte(header, unsigned(style.maxDatagram >> 8));
    }
  }
  return header;
}

}  // namespace

std::optional<std::vector<std::string>> SplitReply(const std::string& reply,
                                                   const SplitStyle& style, std::uint32_t id,
                                                   std::string& error) {
  if (reply.size() <= std::size_t(style.maxDatagram)) return std::vector<std::string>{reply};
  std::string data = reply;
  id &= ~CompressedBit;
  if (style.compress) {
    const std::optional<std::string> packed = Bzip2(reply);
    if (!packed) {
      error = "bzip2 failed";
      return std::nullopt;
    }
    data.clear();
    PutUint32(data, std::uint32_t(reply.size()));
    PutUint32(data, Crc32(reply));
    data += *packed;
    id |= CompressedBit;
  }
  const std::size_t room = std::size_t(style.maxDatagram) - PieceHeader(style, id, 0, 0).size();
  const std::size_t count = (data.size() + room - 1) / room;
  const std::size_t most =
      std::size_t(style.layout == SplitLayout::Packed ? MaxPackedPieces : MaxSourcePieces);
  if (count > most) {
    error = "a reply of " + std::to_string(reply.size()) + " bytes needs " + std::to_string(count) +
            " pieces, the layout numbers " + std::to_string(most);
    return std::nullopt;
  }
  std::vector<std::string> pieces;
  for (std::size_t number = 0; number < count; ++number)
    pieces.push_back(PieceHeader(style, id, int(number), int(count)) +
                     data.substr(number * room, room));
  return pieces;
}

std::uint32_t Crc32(std::string_view bytes) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> entries{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t value = n;
      for (int bit = 0; bit < 8; ++bit) value = value & 1 ? 0xEDB88320u ^ (value >> 1) : value >> 1;
      entries[n] = value;
    }
    return entries;
  }();
  std::uint32_t crc = 0xFFFFFFFFu;
  for (const char c : bytes) crc = table[(crc ^ std::uint8_t(c)) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}
