#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/splitreply.h"

// Two modes, chosen by the lowest bit of the first byte.
// Pieces: the rest is datagrams, each a 2-byte little-endian length and that many bytes, fed as
// pieces after FE FF FF FF. Whatever they claim, a completed reply stays within the bound.
// Round trip: the rest (after FF FF FF FF) is a reply, cut into pieces of the layout that the
// second bit chooses and fed rotated, the first one fed twice: exactly that reply must come out,
// exactly once.

namespace {

const std::string SplitMarker("\xFE\xFF\xFF\xFF", 4);

std::string PieceHeader(bool packed, std::size_t number, std::size_t count) {
  const std::string id("\x2A\x00\x00\x00", 4);
  if (packed) return SplitMarker + id + static_cast<char>((number << 4) | count);
  return SplitMarker + id + static_cast<char>(count) + static_cast<char>(number) + "\xE0\x04";
}

void FeedPieces(std::string_view rest) {
  SplitReassembler reassembler;
  while (rest.size() >= 2) {
    const std::size_t length =
        static_cast<std::uint8_t>(rest[0]) | (static_cast<std::size_t>(rest[1]) & 0xFF) << 8;
    rest.remove_prefix(2);
    const std::string piece = SplitMarker + std::string(rest.substr(0, length));
    rest.remove_prefix(std::min(length, rest.size()));
    const SplitOutcome outcome = reassembler.Add(piece);
    if (outcome.status == SplitOutcome::Status::Complete &&
        outcome.reply.size() > SplitReassembler::MaxReplySize)
      __builtin_trap();
    if (outcome.status == SplitOutcome::Status::Refused &&
        (ReasonInEnglish(outcome.refusal).empty() || ReasonInGerman(outcome.refusal).empty()))
      __builtin_trap();
    if (reassembler.BytesInflated() > SplitReassembler::MaxInflatedBytes) __builtin_trap();
  }
}

void RoundTrip(bool packed, std::uint8_t shape, std::string_view body) {
  const std::string reply = std::string(4, '\xFF') + std::string(body);
  const std::size_t wanted = 1 + shape % 15;
  // Servers cut after hundreds of bytes; a first piece holds at least the reply's own header.
  const std::size_t size = std::max<std::size_t>((reply.size() + wanted - 1) / wanted, 4);
  const std::size_t count = (reply.size() + size - 1) / size;
  std::vector<std::string> pieces;
  for (std::size_t number = 0; number < count; ++number)
    pieces.push_back(PieceHeader(packed, number, count) + reply.substr(number * size, size));
  const std::size_t rotation = (shape >> 4) % count;
  SplitReassembler reassembler;
  int completed = 0;
  for (std::size_t i = 0; i <= count; ++i) {
    const SplitOutcome outcome = reassembler.Add(pieces[(i + rotation) % count]);
    if (outcome.status == SplitOutcome::Status::Refused) __builtin_trap();
    if (outcome.status != SplitOutcome::Status::Complete) continue;
    if (outcome.reply != reply) __builtin_trap();
    ++completed;
  }
  if (completed != 1) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::string_view rest(reinterpret_cast<const char*>(data) + 2, size - 2);
  if ((data[0] & 1) == 0)
    FeedPieces(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  else
    RoundTrip((data[0] & 2) != 0, data[1], rest);
  return 0;
}
