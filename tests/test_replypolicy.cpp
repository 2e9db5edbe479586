// The reply policy on its own: datagrams and times go in, decisions come out. What a hostile or
// flaky server can make of an exchange is tried here at exact times, without sockets.
#include <QTest>
#include <string>
#include <vector>

#include "protocol/datafuncs.h"
#include "protocol/replypolicy.h"

namespace {

using Strings = std::vector<std::string>;
constexpr Micros Ms = 1000;

std::string Reply(char kind, const std::string& payload) {
  return std::string(4, '\xFF') + kind + payload;
}
std::string Console(const std::string& text) {
  return Reply('l', text + std::string(2, '\0'));
}
std::string Challenge(const std::string& challenge) {
  return Reply('c', "hallenge rcon " + challenge + "\n");
}
const std::string Details = Reply('m', std::string("1.2.3.4:5\0name\0", 15));
const std::string Expired = Console("Bad rcon_password.\nBad challenge.\n");

// The lines of a 32-player status listing; one player is named "5 users".
Strings StatusLines() {
  Strings lines = {"hostname:  Arena One",
                   "version :  47/1.0.2.0 secure",
                   "tcp/ip  :  127.0.0.1:27015",
                   "map     :  dm_canyon at: 0 x, 0 y, 0 z",
                   "players :  32 active (max 32)",
                   "",
                   "#      name userid uniqueid frag time ping loss adr"};
  for (int i = 1; i <= 32; ++i)
    lines.push_back("#" + std::to_string(i) + " \"" +
                    (i == 5 ? "5 users" : "Fragger " + std::to_string(i)) + "\" " +
                    std::to_string(100 + i) + " STEAM_0:1:" + std::to_string(4000 + i) +
                    " 7 12:34 40 0 127.0.0.1:27005");
  lines.push_back("32 users");
  return lines;
}

std::string Joined(const Strings& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

ExchangeRequest ConsoleRequest(const std::string& command = "status") {
  ExchangeRequest request;
  request.console = ConsoleLine{"111", "pw", command};
  request.timeout = 1000 * Ms;
  return request;
}

// Drives one policy, keeping what it sends as command texts (the frame taken off).
struct Drive {
  ReplyPolicy policy;
  Strings sent;

  explicit Drive(ExchangeRequest request) : policy(std::move(request), 0) { Collect(); }
  Intake Feed(const std::string& bytes, Micros at, bool fromServer = true) {
    const Intake intake = policy.Receive(bytes, fromServer, at);
    Collect();
    return intake;
  }
  void At(Micros at) {
    policy.Advance(at);
    Collect();
  }
  void Collect() {
    for (const std::string& datagram : policy.TakeOutgoing())
      sent.push_back(datagram.size() > 5 && datagram[4] != 'T' && datagram[4] != 'U'
                         ? datagram.substr(4, datagram.size() - 5)
                         : datagram);
  }
  bool Waiting() const { return policy.state() == ReplyPolicy::State::Waiting; }
  Strings ReplyLines() const { return ParseRconReply(policy.Reply()).value_or(Strings{}); }
};

}  // namespace

class TestReplyPolicy : public QObject {
  Q_OBJECT

 private slots:
  void consoleOutputWaitsFourRoundTrips_data() {
    QTest::addColumn<int>("roundTripMs");
    QTest::addColumn<int>("quietMs");
    QTest::newRow("LAN: the 20 ms floor") << 1 << 20;
    QTest::newRow("four round trips") << 40 << 160;
    QTest::newRow("never past 300 ms") << 200 << 300;
  }

  // Output in two datagrams 5 ms apart is joined; the wait ends a quiet time after the last.
  void consoleOutputWaitsFourRoundTrips() {
    QFETCH(int, roundTripMs);
    QFETCH(int, quietMs);
    Drive d(ConsoleRequest());
    const Micros first = roundTripMs * Ms;
    const std::string part1 = Console(std::string(1200, 'a') + "\n");
    QCOMPARE(d.Feed(part1, first).verdict, Verdict::Reply);
    QCOMPARE(d.Feed(Console("bb\n"), first + 5 * Ms).verdict, Verdict::Reply);
    // "bb" is short, so it was the last part: no wait at all.
    QVERIFY(!d.Waiting());
    QCOMPARE(d.ReplyLines(), (Strings{std::string(1200, 'a'), "bb"}));

    Drive quiet(ConsoleRequest());
    quiet.Feed(part1, first);
    QCOMPARE(quiet.policy.WakeAt(), first + quietMs * Ms);
    quiet.At(first + quietMs * Ms - 1);
    QVERIFY(quiet.Waiting());
    quiet.At(first + quietMs * Ms);
    QVERIFY(!quiet.Waiting());
    QCOMPARE(quiet.ReplyLines(), Strings{std::string(1200, 'a')});
  }

  // A status listing ends with its closing line, without a quiet time, wherever the server cut
  // it; one cut short before its closing line waits the quiet time like other long output.
  void statusListingEndsWithItsClosingLine() {
    const Strings lines = StatusLines();
    const std::string text = Joined(lines);
    std::vector<std::size_t> cuts;
    for (std::size_t at = text.find('\n'); at + 1 < text.size(); at = text.find('\n', at + 1))
      cuts.push_back(at + 1);
    const std::size_t closing = text.rfind("32 users");
    for (const std::size_t cut : {closing + 1, closing + 6, closing + 8}) cuts.push_back(cut);
    for (const std::size_t cut : cuts) {
      Drive d(ConsoleRequest());
      d.Feed(Console(text.substr(0, cut)), Ms);
      QVERIFY2(d.Waiting(), text.substr(0, cut).c_str());
      d.Feed(Console(text.substr(cut)), 2 * Ms);
      QVERIFY2(!d.Waiting(), text.substr(cut).c_str());
      QCOMPARE(d.ReplyLines(), lines);
    }

    Drive whole(ConsoleRequest());
    whole.Feed(Console(text), Ms);
    QCOMPARE(whole.ReplyLines(), lines);

    Drive cutShort(ConsoleRequest());
    cutShort.Feed(Console(text.substr(0, closing)), Ms);
    cutShort.At(Ms + ReplyPolicy::MinConsoleQuiet - 1);
    QVERIFY(cutShort.Waiting());
    cutShort.At(Ms + ReplyPolicy::MinConsoleQuiet);
    QCOMPARE(cutShort.ReplyLines(), Strings(lines.begin(), lines.end() - 1));
  }

  // A datagram of another kind ends the joining at once and is kept for the next exchange.
  void otherKindEndsConsoleOutputAndIsHeld() {
    Drive d(ConsoleRequest());
    d.Feed(Console(std::string(1200, 'a') + "\n"), Ms);
    QCOMPARE(d.Feed(Details, 2 * Ms).verdict, Verdict::Hold);
    QCOMPARE(d.policy.state(), ReplyPolicy::State::Replied);
    QCOMPARE(d.policy.TakeHeld(), Strings{Details});
  }

  // The renewal waits for its challenge until its deadline, keeping other replies; a refusal
  // is renewed once and a wrong password never.
  void expiredChallengeIsRenewedOnce() {
    Drive d(ConsoleRequest("kick #3"));
    d.Feed(Expired, Ms);
    QCOMPARE(d.sent, (Strings{"rcon 111 pw kick #3", "challenge rcon"}));
    QCOMPARE(d.Feed(Details, 2 * Ms).verdict, Verdict::Hold);
    QCOMPARE(d.Feed(Console("stray\n"), 3 * Ms).verdict, Verdict::Hold);
    QVERIFY(d.Waiting());
    d.Feed(Challenge("222"), 900 * Ms);
    QCOMPARE(d.sent.back(), std::string("rcon 222 pw kick #3"));
    QCOMPARE(*d.policy.RenewedChallenge(), std::string("222"));
    d.Feed(Expired, 901 * Ms);
    QCOMPARE(d.policy.Reply(), Expired);
    QCOMPARE(d.sent.size(), std::size_t(3));
    QCOMPARE(d.policy.TakeHeld(), (Strings{Details, Console("stray\n")}));

    Drive late(ConsoleRequest());
    late.Feed(Expired, Ms);
    late.At(Ms + 1000 * Ms);
    QCOMPARE(late.policy.Reply(), Expired);
    QVERIFY(!late.policy.RenewedChallenge());

    // A copy of the challenge reply is no answer to the line.
    Drive copy(ConsoleRequest());
    QCOMPARE(copy.Feed(Challenge("111"), Ms).verdict, Verdict::Drop);
    copy.Feed(Console("ok\n"), 2 * Ms);
    QCOMPARE(copy.ReplyLines(), Strings{"ok"});

    Drive wrong(ConsoleRequest());
    wrong.Feed(Console("Bad rcon_password.\n"), Ms);
    wrong.At(500 * Ms);
    QCOMPARE(wrong.sent.size(), std::size_t(1));
    QCOMPARE(AnswerOf(wrong.policy.Reply()), ConsoleAnswer::WrongPassword);
  }

  // Requests without an answer go out again; console lines never.
  void retriesResendUnansweredRequests() {
    ExchangeRequest request;
    request.command = "details";
    request.timeout = 2000 * Ms;
    request.retries = 2;
    request.retryInterval = 500 * Ms;
    Drive d(request);
    for (Micros at = 0; at <= 2000 * Ms; at += 100 * Ms) d.At(at);
    QCOMPARE(d.sent, Strings(3, "details"));
    QCOMPARE(d.policy.state(), ReplyPolicy::State::TimedOut);

    request.a2s = A2sQuery::Players;
    Drive a2s(request);
    a2s.Feed(Reply('A', "\x01\x02\x03\x04"), 10 * Ms);
    a2s.At(510 * Ms);
    const std::string challenged = A2sRequest(A2sQuery::Players, "\x01\x02\x03\x04");
    QCOMPARE(a2s.sent, (Strings{A2sRequest(A2sQuery::Players), challenged, challenged}));

    ExchangeRequest line = ConsoleRequest();
    line.retries = 5;
    Drive console(line);
    for (Micros at = 0; at <= 1000 * Ms; at += 100 * Ms) console.At(at);
    QCOMPARE(console.sent.size(), std::size_t(1));
  }

  // Whatever the server sends, the exchange takes, logs and keeps a bounded amount and ends by
  // its deadline; other sources change nothing.
  void hostilePeersCostBoundedWork() {
    Drive flood(ConsoleRequest());
    const std::string part = Console(std::string(1400, 'x'));
    int summaries = 0;
    for (int i = 0; i < 1000 && flood.Waiting(); ++i) {
      const Intake intake = flood.Feed(part, Ms + i);
      summaries += intake.log == LogDetail::Summary;
      QVERIFY(flood.policy.BytesKept() <= ReplyPolicy::MaxConsoleText + ReplyPolicy::MaxHeldBytes);
    }
    flood.At(flood.policy.HardDeadline());
    QVERIFY(!flood.Waiting());
    QVERIFY(flood.policy.Reply().size() <= ReplyPolicy::MaxConsoleText);
    QVERIFY(summaries <= 1);

    Drive foreign(ConsoleRequest());
    int logged = 0;
    for (int i = 0; i < 100; ++i) {
      const Intake intake = foreign.Feed(i % 2 ? std::string() : Challenge("9"), Ms, false);
      QCOMPARE(intake.verdict, Verdict::Foreign);
      logged += intake.log != LogDetail::Nothing;
    }
    QCOMPARE(logged, int(ReplyPolicy::MaxForeignLogged));
    QVERIFY(foreign.Waiting());
    QCOMPARE(foreign.Feed(std::string(), Ms).verdict, Verdict::Empty);

    // Split pieces count against the same cap as whole datagrams.
    ExchangeRequest rules;
    rules.a2s = A2sQuery::Rules;
    Drive pieces(rules);
    std::size_t taken = 0;
    for (int i = 0; i < 1000; ++i) {
      std::string piece("\xFE\xFF\xFF\xFF\x07\x00\x00\x00\xFF", 9);
      piece += static_cast<char>(1 + i % 254);
      taken += pieces.Feed(piece + std::string(1000, 'p'), Ms).counted;
    }
    QCOMPARE(taken, ReplyPolicy::MaxDatagrams);
    QVERIFY(pieces.policy.BytesKept() <= SplitReassembler::MaxReplySize);
  }
};

QTEST_APPLESS_MAIN(TestReplyPolicy)
#include "test_replypolicy.moc"
