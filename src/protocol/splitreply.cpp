#include "protocol/splitreply.h"

#include <bzlib.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using Layout = SplitReassembler::Layout;
using Status = SplitOutcome::Status;

const std::string_view SplitMarker("\xFE\xFF\xFF\xFF", 4);
const std::string_view ReplyMarker("\xFF\xFF\xFF\xFF", 4);
const std::string_view Bzip2Marker("BZh");

constexpr std::size_t IdOffset = 4;
constexpr std::size_t CountOffset = 8;
constexpr std::size_t PackedHeaderSize = 9;
constexpr std::size_t SourceHeaderSize = 12;
constexpr std::size_t OlderSourceHeaderSize = 10;
constexpr std::size_t CompressionFieldsSize = 8;
constexpr std::uint32_t CompressedFlag = 0x80000000u;
// Enough to ignore late copies of pieces of the replies of one exchange.
constexpr std::size_t FinishedIdsKept = 16;

struct PieceHeader {
  int number = 0;
  int count = 0;
  std::size_t payloadOffset = 0;
  // The first piece of a compressed reply only.
  std::uint32_t decompressedSize = 0;
  std::uint32_t crc = 0;
};

std::uint32_t ReadUInt32(std::string_view bytes, std::size_t offset) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i)
    value |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[offset + i])) << (8 * i);
  return value;
}

std::uint8_t ByteAt(std::string_view bytes, std::size_t offset) {
  return static_cast<std::uint8_t>(bytes[offset]);
}

// The header of a piece read in `layout`; none when the piece is too short for it or its
// number and count do not fit together.
std::optional<PieceHeader> ReadPiece(std::string_view piece, Layout layout, bool compressed) {
  PieceHeader header;
  if (layout == Layout::Packed) {
    if (piece.size() < PackedHeaderSize) return std::nullopt;
    header.number = ByteAt(piece, CountOffset) >> 4;
    header.count = ByteAt(piece, CountOffset) & 0x0F;
    header.payloadOffset = PackedHeaderSize;
  } else {
    header.payloadOffset = layout == Layout::Source ? SourceHeaderSize : OlderSourceHeaderSize;
    if (piece.size() < header.payloadOffset) return std::nullopt;
    header.count = ByteAt(piece, CountOffset);
    header.number = ByteAt(piece, CountOffset + 1);
    if (compressed && header.number == 0) {
      if (piece.size() < SourceHeaderSize + CompressionFieldsSize) return std::nullopt;
      header.decompressedSize = ReadUInt32(piece, SourceHeaderSize);
      header.crc = ReadUInt32(piece, SourceHeaderSize + 4);
      header.payloadOffset += CompressionFieldsSize;
    }
  }
  if (header.count == 0 || header.number >= header.count) return std::nullopt;
  return header;
}

bool PayloadStartsWith(std::string_view piece, const PieceHeader& header, std::string_view marker) {
  return piece.substr(header.payloadOffset, marker.size()) == marker;
}

// Whether `piece` is the first piece of a reply in `layout`.
bool IsFirstPiece(std::string_view piece, Layout layout, bool compressed) {
  const std::optional<PieceHeader> header = ReadPiece(piece, layout, compressed);
  const bool bzip2 = compressed && layout == Layout::Source;
  return header && header->number == 0 &&
         PayloadStartsWith(piece, *header, bzip2 ? Bzip2Marker : ReplyMarker);
}

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t value = i;
    for (int bit = 0; bit < 8; ++bit) value = (value & 1) ? 0xEDB88320u ^ (value >> 1) : value >> 1;
    table[i] = value;
  }
  return table;
}

// The CRC32 of zip and PNG, which the compressed replies carry.
// A megabyte is checked per inflated reply, so the loop stays plain even in unoptimised builds.
std::uint32_t Crc32(const char* bytes, std::size_t size) {
  static constexpr std::array<std::uint32_t, 256> table = MakeCrcTable();
  const std::uint32_t* entries = table.data();
  std::uint32_t crc = 0xFFFFFFFFu;
  for (const char* end = bytes + size; bytes != end; ++bytes)
    crc = entries[(crc ^ static_cast<std::uint8_t>(*bytes)) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

bool IsCompressed(std::uint32_t id, Layout layout) {
  return layout == Layout::Source && (id & CompressedFlag) != 0;
}

// Where a later piece belongs: its count and its number.
std::uint32_t PlaceKey(const PieceHeader& header) {
  return (static_cast<std::uint32_t>(header.count) << 8) |
         static_cast<std::uint32_t>(header.number);
}

SplitOutcome Refused(SplitRefusal::Reason reason, std::int64_t figure = 0) {
  SplitOutcome outcome;
  outcome.status = Status::Refused;
  outcome.refusal = SplitRefusal{reason, figure};
  return outcome;
}

SplitOutcome Completed(std::string reply) {
  SplitOutcome outcome;
  outcome.status = Status::Complete;
  outcome.reply = std::move(reply);
  return outcome;
}

}  // namespace

std::string ReasonInEnglish(const SplitRefusal& refusal) {
  const std::string figure = std::to_string(refusal.figure);
  switch (refusal.reason) {
    case SplitRefusal::Reason::NotAPiece:
      return "not a piece of a split reply";
    case SplitRefusal::Reason::PieceTooShort:
      return "piece too short";
    case SplitRefusal::Reason::ReplyTooLarge:
      return "reply larger than " + std::to_string(SplitReassembler::MaxReplySize) + " bytes";
    case SplitRefusal::Reason::TooManyPieces:
      return "more than " + std::to_string(SplitReassembler::MaxPiecesPerReply) + " pieces";
    case SplitRefusal::Reason::CompressionNotAsked:
      return "compressed reply to a request of the classic protocol";
    case SplitRefusal::Reason::ClaimedSize:
      return "compressed reply claims an inadmissible size (" + figure + " bytes)";
    case SplitRefusal::Reason::InflateBudgetSpent:
      return "compressed replies beyond " + std::to_string(SplitReassembler::MaxInflatedBytes) +
             " bytes in one exchange";
    case SplitRefusal::Reason::Bzip2Damaged:
      return "bzip2 data damaged (error " + figure + ")";
    case SplitRefusal::Reason::SizeMismatch:
      return "inflated size does not match";
    case SplitRefusal::Reason::ChecksumMismatch:
      return "checksum (CRC32) does not match";
  }
  return {};
}

std::string ReasonInGerman(const SplitRefusal& refusal) {
  const std::string figure = std::to_string(refusal.figure);
  switch (refusal.reason) {
    case SplitRefusal::Reason::NotAPiece:
      return "kein Teilstück einer Antwort";
    case SplitRefusal::Reason::PieceTooShort:
      return "Teilstück zu kurz";
    case SplitRefusal::Reason::ReplyTooLarge:
      return "Antwort größer als " + std::to_string(SplitReassembler::MaxReplySize) + " Bytes";
    case SplitRefusal::Reason::TooManyPieces:
      return "mehr als " + std::to_string(SplitReassembler::MaxPiecesPerReply) + " Teilstücke";
    case SplitRefusal::Reason::CompressionNotAsked:
      return "gepackte Antwort auf eine Anfrage des klassischen Protokolls";
    case SplitRefusal::Reason::ClaimedSize:
      return "Größe der gepackten Antwort unzulässig (" + figure + " Bytes)";
    case SplitRefusal::Reason::InflateBudgetSpent:
      return "gepackte Antworten über " + std::to_string(SplitReassembler::MaxInflatedBytes) +
             " Bytes in einer Abfrage";
    case SplitRefusal::Reason::Bzip2Damaged:
      return "bzip2-Daten fehlerhaft (Fehler " + figure + ")";
    case SplitRefusal::Reason::SizeMismatch:
      return "entpackte Größe stimmt nicht";
    case SplitRefusal::Reason::ChecksumMismatch:
      return "Prüfsumme (CRC32) stimmt nicht";
  }
  return {};
}

bool IsSplitPiece(std::string_view datagram) {
  return datagram.substr(0, SplitMarker.size()) == SplitMarker;
}

SplitOutcome SplitReassembler::Add(std::string_view piece) {
  if (!IsSplitPiece(piece)) return Refused(SplitRefusal::Reason::NotAPiece);
  if (piece.size() < PackedHeaderSize) return Refused(SplitRefusal::Reason::PieceTooShort);
  const std::uint32_t id = ReadUInt32(piece, IdOffset);
  if (std::find(finished_.begin(), finished_.end(), id) != finished_.end()) return {};
  PendingReply& reply = PendingFor(id);

  // What the piece is in each layout, and whether it takes a place still free in any.
  std::array<std::optional<PieceHeader>, LayoutCount> headers;
  std::array<bool, LayoutCount> isFirst{};
  bool takesPlace = false;
  for (std::size_t i = 0; i < LayoutCount; ++i) {
    const auto layout = static_cast<Layout>(i);
    const bool compressed = IsCompressed(id, layout);
    headers[i] = ReadPiece(piece, layout, compressed);
    if (!headers[i]) continue;
    const LayoutIndex& index = reply.layouts[i];
    if (headers[i]->number == 0) {
      isFirst[i] = !index.first && IsFirstPiece(piece, layout, compressed);
      takesPlace = takesPlace || isFirst[i];
    } else {
      takesPlace = takesPlace || index.later.count(PlaceKey(*headers[i])) == 0;
    }
  }
  if (!takesPlace) return {};
  if (reply.storedBytes + piece.size() > MaxReplySize)
    return Finish(id, Refused(SplitRefusal::Reason::ReplyTooLarge));
  if (reply.pieces.size() >= MaxPiecesPerReply)
    return Finish(id, Refused(SplitRefusal::Reason::TooManyPieces));

  const std::size_t stored = reply.pieces.size();
  reply.pieces.emplace_back(piece);
  reply.storedBytes += piece.size();
  for (std::size_t i = 0; i < LayoutCount; ++i) {
    if (!headers[i]) continue;
    LayoutIndex& index = reply.layouts[i];
    if (isFirst[i]) index.first = stored;
    if (headers[i]->number != 0 && index.later.emplace(PlaceKey(*headers[i]), stored).second)
      ++index.laterPerCount[headers[i]->count];
  }
  for (std::size_t i = 0; i < LayoutCount; ++i) {
    SplitOutcome outcome = Assemble(reply, static_cast<Layout>(i));
    if (outcome.status != Status::Incomplete) return Finish(id, std::move(outcome));
  }
  return {};
}

std::size_t SplitReassembler::BytesStored() const {
  std::size_t bytes = 0;
  for (const PendingReply& reply : pending_) bytes += reply.storedBytes;
  return bytes;
}

SplitReassembler::PendingReply& SplitReassembler::PendingFor(std::uint32_t id) {
  const auto found = std::find_if(pending_.begin(), pending_.end(),
                                  [id](const PendingReply& reply) { return reply.id == id; });
  if (found != pending_.end()) return *found;
  if (pending_.size() >= MaxPendingReplies) pending_.erase(pending_.begin());
  pending_.push_back(PendingReply{});
  pending_.back().id = id;
  return pending_.back();
}

// Complete once a first piece is there and a piece of every later number with its count; of
// pieces that share a number the first one counts, and pieces that claim another count do not.
SplitOutcome SplitReassembler::Assemble(const PendingReply& reply, Layout layout) {
  const LayoutIndex& index = reply.layouts[static_cast<std::size_t>(layout)];
  if (!index.first) return {};
  const bool compressed = IsCompressed(reply.id, layout);
  const std::string& firstPiece = reply.pieces[*index.first];
  const PieceHeader first = *ReadPiece(firstPiece, layout, compressed);
  const auto later = index.laterPerCount.find(first.count);
  const int laterCount = later == index.laterPerCount.end() ? 0 : later->second;
  if (laterCount != first.count - 1) return {};
  std::string joined(std::string_view(firstPiece).substr(first.payloadOffset));
  for (int number = 1; number < first.count; ++number) {
    PieceHeader place;
    place.count = first.count;
    place.number = number;
    const std::string& piece = reply.pieces[index.later.at(PlaceKey(place))];
    joined.append(
        std::string_view(piece).substr(ReadPiece(piece, layout, compressed)->payloadOffset));
  }
  if (compressed) return Inflate(std::move(joined), first.decompressedSize, first.crc);
  return Completed(std::move(joined));
}

// Inflates into exactly the size claimed, so a forged claim costs no more than that size, within
// the budget of all inflating, and checks the result against the claimed CRC32.
SplitOutcome SplitReassembler::Inflate(std::string compressed, std::uint32_t claimedSize,
                                       std::uint32_t claimedCrc) {
  if (!inflate_) return Refused(SplitRefusal::Reason::CompressionNotAsked);
  if (claimedSize == 0 || claimedSize > MaxReplySize)
    return Refused(SplitRefusal::Reason::ClaimedSize, claimedSize);
  if (inflated_ + claimedSize > MaxInflatedBytes)
    return Refused(SplitRefusal::Reason::InflateBudgetSpent);
  inflated_ += claimedSize;
  // Not cleared first: bzip2 writes every byte that is looked at.
  const std::unique_ptr<char[]> inflated(new char[claimedSize]);
  unsigned int size = claimedSize;
  const int result = BZ2_bzBuffToBuffDecompress(inflated.get(), &size, compressed.data(),
                                                static_cast<unsigned int>(compressed.size()), 0, 0);
  if (result != BZ_OK) return Refused(SplitRefusal::Reason::Bzip2Damaged, result);
  if (size != claimedSize) return Refused(SplitRefusal::Reason::SizeMismatch);
  if (Crc32(inflated.get(), size) != claimedCrc)
    return Refused(SplitRefusal::Reason::ChecksumMismatch);
  return Completed(std::string(inflated.get(), size));
}

SplitOutcome SplitReassembler::Finish(std::uint32_t id, SplitOutcome outcome) {
  pending_.erase(std::remove_if(pending_.begin(), pending_.end(),
                                [id](const PendingReply& reply) { return reply.id == id; }),
                 pending_.end());
  if (finished_.size() >= FinishedIdsKept) finished_.erase(finished_.begin());
  finished_.push_back(id);
  return outcome;
}
