#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A reply too long for one datagram comes in pieces, each a datagram that begins FE FF FF FF and
// a 4-byte reply id (little-endian), then a header in one of three layouts:
// - Packed: one byte, the piece number in its high and the piece count in its low four bits;
// - Source: the piece count, the piece number, a 2-byte piece size (not needed here). When the
//   id's top bit is set the reply is bzip2-compressed, and the first piece holds the size after
//   decompression and its CRC32 (4 bytes each) before the data;
// - older Source (servers of protocol 7): the piece count and the piece number, no size field,
//   never compressed.
// Cut into the pieces is the whole reply, its FF FF FF FF and kind byte included. Nothing in a
// piece names its layout; a first piece does, as only there the reply (or, compressed, the
// bzip2 stream) starts right after the header. A later Packed piece may look like a first
// Source piece, never the other way round, so a reply is tried in every layout that a stored
// piece allows, Packed first; the older Source layout comes last, as a Source first piece
// reads as one of it only when its size field holds FF FF.
bool IsSplitPiece(std::string_view datagram);

// Why a piece, or the reply it completed, was refused. The tools say it in English, the window
// in German.
struct SplitRefusal {
  enum class Reason {
    NotAPiece,
    PieceTooShort,
    ReplyTooLarge,
    TooManyPieces,
    CompressionNotAsked,  // a compressed reply to a request whose protocol has none
    ClaimedSize,          // the size claimed for the inflated reply is 0 or too large
    InflateBudgetSpent,
    Bzip2Damaged,
    SizeMismatch,
    ChecksumMismatch,
  };
  Reason reason = Reason::NotAPiece;
  // ClaimedSize: the size claimed; Bzip2Damaged: bzip2's error code.
  std::int64_t figure = 0;
};
std::string ReasonInEnglish(const SplitRefusal& refusal);
std::string ReasonInGerman(const SplitRefusal& refusal);

struct SplitOutcome {
  enum class Status { Incomplete, Complete, Refused };
  Status status = Status::Incomplete;
  // Complete: the whole reply, as if one datagram had brought it.
  std::string reply;
  // Refused: why.
  SplitRefusal refusal;
};

// Puts the pieces of split replies together, in whatever order they come. Pieces of different
// ids never mix; a repeated piece, and a piece of a reply already completed or refused, changes
// nothing. Each piece is looked up by its number, so a reply costs time in proportion to its
// pieces. Memory stays bounded whatever the headers claim: each reply keeps at most
// MaxReplySize bytes and MaxPiecesPerReply pieces, a compressed one may claim at most that size,
// and at most MaxPendingReplies replies are kept at a time (a further id pushes out the oldest).
// Inflating costs time in proportion to the size claimed, so one reassembler inflates at most
// MaxInflatedBytes in all and refuses every compressed reply beyond them.
class SplitReassembler {
 public:
  static constexpr std::size_t MaxReplySize = std::size_t(1) << 20;
  static constexpr std::size_t MaxInflatedBytes = std::size_t(4) << 20;
  // A reply has at most 255 pieces; each layout may read a piece as another one.
  static constexpr std::size_t MaxPiecesPerReply = 512;
  static constexpr std::size_t MaxPendingReplies = 4;
  enum class Layout { Packed, Source, OlderSource };
  static constexpr std::size_t LayoutCount = 3;

  // `inflate`: compressed replies are inflated; without it they are refused, as only the
  // Steam-era protocol compresses.
  explicit SplitReassembler(bool inflate = true) : inflate_(inflate) {}

  SplitOutcome Add(std::string_view piece);
  // Bytes of pieces kept for replies not yet complete.
  std::size_t BytesStored() const;
  // Bytes that compressed replies claimed and were given to inflate so far.
  std::size_t BytesInflated() const { return inflated_; }

 private:
  // Where the pieces of one reply stand when read in one layout.
  struct LayoutIndex {
    // The first piece that is a valid first piece (number 0, the reply's start).
    std::optional<std::size_t> first;
    // Pieces 1 and up by (count, number): the first piece to claim a place keeps it.
    std::map<std::uint32_t, std::size_t> later;
    // How many later pieces each count has.
    std::map<int, int> laterPerCount;
  };
  struct PendingReply {
    std::uint32_t id = 0;
    std::vector<std::string> pieces;
    std::size_t storedBytes = 0;
    std::array<LayoutIndex, LayoutCount> layouts;
  };

  PendingReply& PendingFor(std::uint32_t id);
  SplitOutcome Assemble(const PendingReply& reply, Layout layout);
  SplitOutcome Inflate(std::string compressed, std::uint32_t claimedSize, std::uint32_t claimedCrc);
  SplitOutcome Finish(std::uint32_t id, SplitOutcome outcome);

  bool inflate_ = true;
  std::size_t inflated_ = 0;
  std::vector<PendingReply> pending_;
  std::vector<std::uint32_t> finished_;
};
