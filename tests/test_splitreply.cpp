// Split replies: the reassembler on pieces of every layout, and the exchange taking them.
#include <bzlib.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "protocol/UDPIOfuncs.h"
#include "protocol/replypolicy.h"
#include "protocol/splitreply.h"
#include "udppeer.h"

Q_DECLARE_METATYPE(std::string)
Q_DECLARE_METATYPE(std::vector<int>)
Q_DECLARE_METATYPE(SplitRefusal::Reason)

namespace {

using Pieces = std::vector<std::string>;

std::string Le32(std::uint32_t value) {
  std::string bytes;
  for (int i = 0; i < 4; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
  return bytes;
}

// Bit by bit, independent of the table the product uses.
std::uint32_t Crc32(const std::string& bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (const char c : bytes) {
    crc ^= static_cast<std::uint8_t>(c);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

std::string Bzip2(std::string bytes) {
  std::string packed(bytes.size() + bytes.size() / 100 + 600, '\0');
  unsigned int size = static_cast<unsigned int>(packed.size());
  const int result = BZ2_bzBuffToBuffCompress(packed.data(), &size, bytes.data(),
                                              static_cast<unsigned int>(bytes.size()), 9, 0, 0);
  if (result != BZ_OK) qFatal("bzip2 compression failed: %d", result);
  packed.resize(size);
  return packed;
}

Pieces Chunks(const std::string& data, std::size_t size) {
  Pieces chunks;
  for (std::size_t at = 0; at < data.size(); at += size) chunks.push_back(data.substr(at, size));
  return chunks;
}

const std::string SplitHeader("\xFE\xFF\xFF\xFF", 4);

Pieces PackedPieces(const std::string& reply, std::uint32_t id, std::size_t size) {
  const Pieces chunks = Chunks(reply, size);
  Pieces pieces;
  for (std::size_t number = 0; number < chunks.size(); ++number)
    pieces.push_back(SplitHeader + Le32(id) +
                     static_cast<char>((number << 4) | (chunks.size() & 0x0F)) + chunks[number]);
  return pieces;
}

// `sizeField`: false for the older layout without the size field.
Pieces SourcePieces(const std::string& reply, std::uint32_t id, std::size_t size,
                    bool compressed = false, bool sizeField = true) {
  if (compressed) id |= 0x80000000u;
  const Pieces chunks = Chunks(compressed ? Bzip2(reply) : reply, size);
  Pieces pieces;
  for (std::size_t number = 0; number < chunks.size(); ++number) {
    std::string piece = SplitHeader + Le32(id) + static_cast<char>(chunks.size()) +
                        static_cast<char>(number) + (sizeField ? std::string("\xE0\x04", 2) : "");
    if (compressed && number == 0)
      piece += Le32(static_cast<std::uint32_t>(reply.size())) + Le32(Crc32(reply));
    pieces.push_back(piece + chunks[number]);
  }
  return pieces;
}

// A rules reply of 60 rules, 2,997 bytes.
std::string LongRulesReply() {
  std::string payload = std::string("\x3C\x00", 2);
  for (int i = 0; i < 60; ++i)
    payload += "rule_" + std::to_string(i) + '\0' + std::string(40, char('a' + i % 26)) + '\0';
  return Reply('E', payload);
}

// The reply in three pieces of the layout named "packed", "source", "older source" or
// "source compressed".
Pieces ThreePieces(const std::string& layout, const std::string& reply, std::uint32_t id) {
  if (layout == "packed") return PackedPieces(reply, id, (reply.size() + 2) / 3);
  if (layout == "source") return SourcePieces(reply, id, (reply.size() + 2) / 3);
  if (layout == "older source")
    return SourcePieces(reply, id, (reply.size() + 2) / 3, false, false);
  return SourcePieces(reply, id, (Bzip2(reply).size() + 2) / 3, true);
}

struct Feed {
  int completed = 0;
  std::string reply;
  std::vector<SplitRefusal::Reason> refusals;
};

Feed FeedAll(SplitReassembler& reassembler, const Pieces& pieces) {
  Feed feed;
  for (const std::string& piece : pieces) {
    SplitOutcome outcome = reassembler.Add(piece);
    if (outcome.status == SplitOutcome::Status::Complete) {
      ++feed.completed;
      feed.reply = outcome.reply;
    } else if (outcome.status == SplitOutcome::Status::Refused) {
      feed.refusals.push_back(outcome.refusal.reason);
    }
  }
  return feed;
}

Pieces Reordered(const Pieces& pieces, const std::vector<int>& order) {
  Pieces result;
  for (const int index : order) result.push_back(pieces.at(static_cast<std::size_t>(index)));
  return result;
}

// A whole compressed reply in one piece, of 65 bytes, that claims 1 MiB and inflates to it, with
// a wrong CRC32: each costs a client a megabyte of work.
std::string InflatingPiece(std::uint32_t id) {
  static const std::string zeros = Bzip2(std::string(SplitReassembler::MaxReplySize, '\0'));
  return SplitHeader + Le32(id | 0x80000000u) + std::string("\x01\x00\xE0\x04", 4) +
         Le32(SplitReassembler::MaxReplySize) + Le32(0) + zeros;
}

Pieces HostilePieces() {
  Pieces pieces;
  for (std::uint32_t id = 1; id <= 250; ++id) pieces.push_back(InflatingPiece(id));
  return pieces;
}

struct ToolRun {
  int exitCode = -1;
  QString err;
};

// Runs zerval-query, handling events meanwhile so that a UdpPeer of the test can answer it.
ToolRun RunQueryTool(const QStringList& arguments) {
  QProcess process;
  process.start(ZERVAL_QUERY_BIN, arguments);
  while (process.state() != QProcess::NotRunning && !process.waitForFinished(2))
    QCoreApplication::processEvents();
  return {process.exitCode(), QString::fromUtf8(process.readAllStandardError())};
}

// Shows where rules replies go; everything else of the window is a quiet stand-in.
class RulesTarget : public ExchangeUi, public ReplyTarget {
 public:
  std::vector<TRuleList> rules;
  int timeouts = 0;
  std::shared_ptr<void> OpenWaitDialog() override { return nullptr; }
  void PlayTimeoutSound() override {}
  void ShowTimeoutDialog() override { ++timeouts; }
  void UpdateByteCounter() override {}
  void ShowDetails(const TDetailInfo&) override {}
  void ShowPlayers(const TPlayerList&) override {}
  void ShowRules(const TRuleList& list) override { rules.push_back(list); }
  void AppendConsoleLine(const std::string&) override {}
};

}  // namespace

class TestSplitReply : public QObject {
  Q_OBJECT

 private slots:
  void piecesMakeTheReply_data() {
    QTest::addColumn<std::string>("layout");
    QTest::addColumn<std::vector<int>>("order");
    const std::vector<std::pair<const char*, std::vector<int>>> orders = {
        {"in order", {0, 1, 2}},
        {"reversed", {2, 1, 0}},
        {"first piece last", {1, 2, 0}},
        {"duplicates", {1, 1, 0, 2, 0, 1}},
    };
    for (const char* layout : {"packed", "source", "older source", "source compressed"})
      for (const auto& [name, order] : orders)
        QTest::addRow("%s, %s", layout, name) << std::string(layout) << order;
  }

  void piecesMakeTheReply() {
    QFETCH(std::string, layout);
    QFETCH(std::vector<int>, order);
    const std::string reply = LongRulesReply();
    const Pieces pieces = ThreePieces(layout, reply, 7);
    QCOMPARE(pieces.size(), std::size_t(3));
    SplitReassembler reassembler;
    const Feed feed = FeedAll(reassembler, Reordered(pieces, order));
    QVERIFY(feed.refusals.empty());
    QCOMPARE(feed.completed, 1);
    QCOMPARE(feed.reply, reply);
  }

  void singlePieceAndMissingPiece() {
    const std::string reply = LongRulesReply();
    for (const Pieces& single : {PackedPieces(reply, 1, 5000), SourcePieces(reply, 1, 5000)}) {
      SplitReassembler reassembler;
      QCOMPARE(FeedAll(reassembler, single).reply, reply);
    }
    SplitReassembler reassembler;
    const Feed feed = FeedAll(reassembler, Reordered(ThreePieces("source", reply, 1), {0, 2}));
    QCOMPARE(feed.completed, 0);
    QVERIFY(feed.refusals.empty());
  }

  // A later piece of the older layout whose data happen to begin like a first piece of the
  // newer one, arriving first, must not decide the layout.
  void laterOlderPieceLookingLikeANewerFirstPiece() {
    const std::string reply = Reply('E', std::string(95, 'a')) +
                              std::string("\x00\x01\x02\xFF\xFF\xFF\xFF", 7) + std::string(50, 'b');
    const Pieces pieces = PackedPieces(reply, 3, 100);
    SplitReassembler reassembler;
    QCOMPARE(FeedAll(reassembler, Reordered(pieces, {1, 0})).reply, reply);
  }

  // Pieces of two replies arrive interleaved; a piece of the second never fills a hole in the
  // first, and pieces of a finished reply arriving late make no second reply.
  void idsNeverMix() {
    const std::string first = LongRulesReply();
    const std::string second = Reply('D', std::string(3000, 'x'));
    const Pieces a = ThreePieces("source", first, 100);
    const Pieces b = ThreePieces("source", second, 200);
    SplitReassembler reassembler;
    QCOMPARE(FeedAll(reassembler, {a[0], b[1], a[2], b[0]}).completed, 0);
    Feed feed = FeedAll(reassembler, {a[1]});
    QCOMPARE(feed.reply, first);
    feed = FeedAll(reassembler, {a[1], a[0], b[2]});
    QCOMPARE(feed.completed, 1);
    QCOMPARE(feed.reply, second);
  }

  void compressedReplyChecked_data() {
    using Reason = SplitRefusal::Reason;
    QTest::addColumn<int>("fault");
    QTest::addColumn<Reason>("reason");
    QTest::newRow("wrong crc") << 0 << Reason::ChecksumMismatch;
    QTest::newRow("damaged stream") << 1 << Reason::Bzip2Damaged;
    QTest::newRow("size claimed too small") << 2 << Reason::Bzip2Damaged;
    QTest::newRow("size claimed too large") << 3 << Reason::SizeMismatch;
    QTest::newRow("giant size claimed") << 4 << Reason::ClaimedSize;
    QTest::newRow("zero size claimed") << 5 << Reason::ClaimedSize;
  }

  void compressedReplyChecked() {
    QFETCH(int, fault);
    QFETCH(SplitRefusal::Reason, reason);
    const std::string reply = LongRulesReply();
    Pieces pieces = SourcePieces(reply, 9, 200, true);
    std::string& first = pieces[0];
    const std::size_t sizeField = 12;
    const std::size_t crcField = 16;
    const std::uint32_t size = static_cast<std::uint32_t>(reply.size());
    switch (fault) {
      case 0:
        first[crcField] = static_cast<char>(first[crcField] ^ 1);
        break;
      case 1:
        first[first.size() - 5] = static_cast<char>(first[first.size() - 5] ^ 0x55);
        break;
      case 2:
        first.replace(sizeField, 4, Le32(size - 1));
        break;
      case 3:
        first.replace(sizeField, 4, Le32(size + 1));
        break;
      case 4:
        first.replace(sizeField, 4, Le32(0xFFFFFFF0u));
        break;
      case 5:
        first.replace(sizeField, 4, Le32(0));
        break;
    }
    SplitReassembler reassembler;
    const Feed feed = FeedAll(reassembler, pieces);
    QCOMPARE(feed.completed, 0);
    QCOMPARE(feed.refusals, std::vector<SplitRefusal::Reason>{reason});
    // The refused reply is done with: its pieces again change nothing.
    QCOMPARE(FeedAll(reassembler, pieces).refusals.size(), std::size_t(0));
  }

  // Headers that claim 255 pieces, or pieces that never make a whole reply, cannot make the
  // reassembler keep more than its bound.
  void forgedHeadersStayBounded() {
    SplitReassembler reassembler;
    Pieces flood;
    for (int number = 1; number < 255; ++number)
      flood.push_back(SplitHeader + Le32(5) + char(255) + char(number) + "\xE0\x04" +
                      std::string(8000, 'z'));
    const Feed feed = FeedAll(reassembler, flood);
    QCOMPARE(feed.completed, 0);
    QCOMPARE(feed.refusals.size(), std::size_t(1));

    // 65,536 small pieces of one id, each claiming a place of its own: refused once the
    // reply holds its most pieces, and every later one is looked at no more.
    Pieces many;
    for (int i = 0; i < 65536; ++i)
      many.push_back(SplitHeader + Le32(9) + char(2 + i % 254) + char(1 + (i / 254) % 200) + "pc");
    const Feed manyFeed = FeedAll(reassembler, many);
    QCOMPARE(manyFeed.refusals.size(), std::size_t(1));
    QVERIFY(reassembler.BytesStored() <= SplitReassembler::MaxReplySize);

    const Feed garbage = FeedAll(reassembler, {SplitHeader + "\x01\x02\x03", Reply('m', "")});
    QCOMPARE(garbage.refusals.size(), std::size_t(2));
    // Number 3 of 2 and count 0: no such pieces, so the reply stays incomplete.
    const std::string reply = LongRulesReply();
    Pieces odd = PackedPieces(reply, 6, 2000);
    odd[1][8] = '\x32';
    QCOMPARE(FeedAll(reassembler, odd).completed, 0);
    odd[1][8] = '\x10';
    QCOMPARE(FeedAll(reassembler, odd).completed, 0);
  }

  // Over the wire: a Steam rules request with its challenge, answered in pieces out of order
  // with one twice; a piece that never comes is a missing reply; with the older protocol the
  // older layout.
  void exchangeTakesSplitReplies_data() {
    QTest::addColumn<int>("protocol");
    QTest::addColumn<std::string>("layout");
    QTest::addColumn<bool>("missing");
    const int steam = int(QueryProtocol::Steam);
    QTest::newRow("steam") << steam << std::string("source") << false;
    QTest::newRow("steam compressed") << steam << std::string("source compressed") << false;
    QTest::newRow("steam, older layout") << steam << std::string("packed") << false;
    QTest::newRow("steam piece missing") << steam << std::string("source") << true;
    QTest::newRow("classic") << int(QueryProtocol::Classic) << std::string("packed") << false;
  }

  void exchangeTakesSplitReplies() {
    QFETCH(int, protocol);
    QFETCH(std::string, layout);
    QFETCH(bool, missing);
    const bool steam = protocol == int(QueryProtocol::Steam);
    const std::string reply = LongRulesReply();
    UdpPeer peer;
    peer.setScript([&](const UdpPeer::Request& request) -> Pieces {
      if (request.bytes == "\xFF\xFF\xFF\xFFV\xFF\xFF\xFF\xFF")
        return {Reply('A', "\x21\x22\x23\x24")};
      const Pieces pieces = ThreePieces(layout, reply, 77);
      if (missing) return {pieces[2], pieces[0]};
      return {pieces[2], pieces[0], pieces[2], pieces[1]};
    });
    TCurrentServer server;
    RulesTarget target;
    UdpExchange exchange(server, target, target);
    exchange.SetReceiveTimeout(400);
    exchange.SetProtocol(static_cast<QueryProtocol>(protocol));
    const bool answered = exchange.QueryServer("127.0.0.1", peer.port(), "rules", nullptr, true);
    QCOMPARE(answered, !missing);
    QCOMPARE(target.timeouts, missing ? 1 : 0);
    QCOMPARE(target.rules.size(), std::size_t(missing ? 0 : 1));
    if (!missing) {
      QCOMPARE(int(target.rules[0].Count), 60);
      QCOMPARE(target.rules[0].Items[59].Name.str(), std::string("rule_59"));
    }
    QCOMPARE(peer.requests.back().bytes, steam ? std::string("\xFF\xFF\xFF\xFFV\x21\x22\x23\x24")
                                               : std::string("\xFF\xFF\xFF\xFFrules\0", 10));
  }

  // Only a query's reply is put together from pieces, and only a Steam-era one is inflated.
  void piecesOnlyForTheQueryAsked_data() {
    QTest::addColumn<std::string>("command");
    QTest::addColumn<bool>("replied");
    QTest::addColumn<bool>("refused");
    QTest::newRow("steam rules") << std::string() << true << false;
    QTest::newRow("classic rules") << std::string("rules") << false << true;
    QTest::newRow("console line") << std::string("rcon 1 pw status") << false << false;
    QTest::newRow("challenge") << std::string("challenge rcon") << false << false;
  }

  void piecesOnlyForTheQueryAsked() {
    QFETCH(std::string, command);
    QFETCH(bool, replied);
    QFETCH(bool, refused);
    const std::string reply = LongRulesReply();
    ExchangeRequest request;
    request.command = command;
    if (command.empty()) request.a2s = A2sQuery::Rules;
    ReplyPolicy policy(request, 0);
    for (const std::string& piece : ThreePieces("source compressed", reply, 5))
      policy.Receive(piece, true, 1000);
    QCOMPARE(policy.state() == ReplyPolicy::State::Replied, replied);
    QCOMPARE(policy.BytesInflated(), replied ? reply.size() : 0);
    QCOMPARE(policy.Refusal().has_value(), refused);
    if (replied) QCOMPARE(policy.Reply(), reply);
    if (refused) QCOMPARE(policy.Refusal()->reason, SplitRefusal::Reason::CompressionNotAsked);
  }

  // A server that answers with 250 compressed ids, each claiming 1 MiB: an exchange inflates
  // 4 MiB at most, and the window and zerval-query both end by their deadline, the tool
  // saying why in English.
  void inflatingStaysWithinBudget() {
    ExchangeRequest request;
    request.a2s = A2sQuery::Rules;
    ReplyPolicy policy(request, 0);
    int inflated = 0;
    for (const std::string& piece : HostilePieces())
      inflated += policy.Receive(piece, true, 1000).inflated;
    QCOMPARE(inflated, 4);
    QCOMPARE(policy.BytesInflated(), SplitReassembler::MaxInflatedBytes);
    QCOMPARE(policy.Refusal()->reason, SplitRefusal::Reason::InflateBudgetSpent);

    // From its first request on, which is after the tool has started.
    QElapsedTimer clock;
    std::optional<qint64> firstRequestMs;
    UdpPeer peer;
    peer.setScript([&](const UdpPeer::Request&) {
      if (!firstRequestMs) firstRequestMs = clock.elapsed();
      return HostilePieces();
    });
    TCurrentServer server;
    RulesTarget target;
    UdpExchange exchange(server, target, target);
    exchange.SetReceiveTimeout(300);
    exchange.SetProtocol(QueryProtocol::Steam);
    clock.start();
    QVERIFY(!exchange.QueryServer("127.0.0.1", peer.port(), "rules", nullptr, true));
    QVERIFY2(clock.elapsed() < 350, QByteArray::number(clock.elapsed()));

    firstRequestMs.reset();
    clock.start();
    const ToolRun run = RunQueryTool({"--a2s", "--retries", "0", "--timeout", "300",
                                      "127.0.0.1:" + QString::number(peer.port())});
    QCOMPARE(run.exitCode, 4);
    QVERIFY2(clock.elapsed() - *firstRequestMs < 350,
             QByteArray::number(clock.elapsed() - *firstRequestMs));
    QVERIFY2(run.err.contains(": reply refused: compressed replies beyond 4194304 bytes"),
             qPrintable(run.err));
  }

  // Today's servers may send a datagram of up to 64 KiB unsplit; the older protocol cuts at
  // its 8,192 bytes.
  void steamBufferTakesLargeDatagrams() {
    UdpPeer peer;
    const std::string large = Reply('E', std::string(30000, 'r'));
    peer.setScript([&](const UdpPeer::Request&) { return Pieces{large}; });
    TCurrentServer server;
    RulesTarget target;
    UdpExchange exchange(server, target, target);
    exchange.SetReceiveTimeout(400);
    QVERIFY(exchange.QueryServer("127.0.0.1", peer.port(), "rules", nullptr, true));
    QCOMPARE(server.BytesReceived, UdpExchange::BufferSize);
    exchange.SetProtocol(QueryProtocol::Steam);
    QVERIFY(exchange.QueryServer("127.0.0.1", peer.port(), "rules", nullptr, true));
    QCOMPARE(server.BytesReceived, UdpExchange::BufferSize + std::int32_t(large.size()));
  }
};

QTEST_GUILESS_MAIN(TestSplitReply)
#include "test_splitreply.moc"
