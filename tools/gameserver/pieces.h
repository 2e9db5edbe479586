#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A reply longer than one datagram goes out in pieces that start with FE FF FF FF, followed by
// the reply's 32-bit id and the piece header of the layout.
enum class SplitLayout {
  Source,       // id, total count, number (from 0), 16-bit largest datagram size
  Packed,       // id, one byte: number (from 0) in the high, count in the low four bits
  OlderSource,  // id, total count, number: the Source layout before it had the size field
};

struct SplitStyle {
  SplitLayout layout = SplitLayout::Source;
  int maxDatagram = 1400;  // bytes of the largest datagram, piece headers included
  // Source layout only: the reply is bzip2-compressed, the id's top bit is set, and the first
  // piece's data starts with the reply's size and CRC-32.
  bool compress = false;
};

constexpr int MaxSourcePieces = 255;
constexpr int MaxPackedPieces = 15;

// The datagrams a reply goes out in: the reply itself when it fits into one, else its pieces.
// Nothing, with the reason, when the layout cannot number as many pieces as it needs.
std::optional<std::vector<std::string>> SplitReply(const std::string& reply,
                                                   const SplitStyle& style, std::uint32_t id,
                                                   std::string& error);

std::uint32_t Crc32(std::string_view bytes);
