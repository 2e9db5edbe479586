// The TCP console session and the console race on their own: bytes, connection events and times
// go in, actions and results come out, at exact times and without sockets.
#include <QTest>
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/consolememory.h"
#include "protocol/consolerace.h"
#include "protocol/rconsession.h"

namespace {

constexpr Micros Ms = 1000;
constexpr Micros Timeout = 1000 * Ms;

struct Packet {
  std::int32_t id = 0;
  std::int32_t type = 0;
  std::string body;
};

std::int32_t Int32At(const std::string& bytes, std::size_t at) {
  std::uint32_t bits = 0;
  for (int i = 3; i >= 0; --i) bits = bits << 8 | std::uint8_t(bytes[at + std::size_t(i)]);
  return std::int32_t(bits);
}

std::vector<Packet> Packets(const std::string& bytes) {
  std::vector<Packet> packets;
  for (std::size_t at = 0; at + 12 <= bytes.size();) {
    const std::size_t size = std::size_t(Int32At(bytes, at));
    packets.push_back(
        {Int32At(bytes, at + 4), Int32At(bytes, at + 8), bytes.substr(at + 12, size - 10)});
    at += 4 + size;
  }
  return packets;
}

std::string Value(std::int32_t id, const std::string& body = {}) {
  return EncodeRconPacket(id, RconSession::ResponseValue, body);
}

// One session and the server's side of its connection, played by the test.
struct Drive {
  RconSession session{"pw", Timeout};
  std::string written;
  int connects = 0;
  int closes = 0;
  bool connectAsked = false;
  std::vector<RconResult> results;
  std::vector<std::string> notes;

  void Act(Micros at) {
    const RconActions actions = session.TakeActions(at);
    connects += actions.connect;
    connectAsked = actions.connect;
    closes += actions.close;
    written += actions.write;
    for (RconResult& result : session.TakeResults()) results.push_back(std::move(result));
    for (std::string& note : session.TakeNotes()) notes.push_back(std::move(note));
  }
  // Bytes from the server, `chunk` at a time (all at once with 0).
  void Feed(const std::string& bytes, Micros at, std::size_t chunk = 0) {
    for (std::size_t from = 0; from < bytes.size(); from += chunk ? chunk : bytes.size())
      session.Received(std::string_view(bytes).substr(from, chunk ? chunk : bytes.size()), at);
    Act(at);
  }
  // Connects and authenticates when the session asks for a connection; returns the ids of the
  // command written last and of its marker.
  std::pair<std::int32_t, std::int32_t> Open(Micros at) {
    Act(at);
    if (connectAsked) {
      session.Connected(at);
      Act(at);
      const std::int32_t authId = Packets(written).back().id;
      Feed(Value(authId) + EncodeRconPacket(authId, RconSession::AuthResponse, {}), at);
    }
    const std::vector<Packet> sent = Packets(written);
    return {sent[sent.size() - 2].id, sent.back().id};
  }
  std::pair<std::int32_t, std::int32_t> Run(const std::string& command, Micros at) {
    session.Submit(command, at);
    return Open(at);
  }
  int Sent(std::int32_t type) const {
    int count = 0;
    for (const Packet& packet : Packets(written)) count += packet.type == type;
    return count;
  }
};

}  // namespace

class TestRconSession : public QObject {
  Q_OBJECT

 private slots:
  void outputIsWholeInAnyChunking_data() {
    QTest::addColumn<int>("chunk");
    QTest::newRow("all at once") << 0;
    QTest::newRow("one byte per read") << 1;
    QTest::newRow("seven bytes per read") << 7;
    QTest::newRow("a packet and a bit") << 4111;
  }

  // Output under the command's id is joined up to the marker; other ids, the packet after the
  // marker and a late packet of the first command never reach the second command's output.
  void outputIsWholeInAnyChunking() {
    QFETCH(int, chunk);
    Drive d;
    const auto [command, marker] = d.Run("cvarlist", 0);
    const std::string big(4096, 'a');
    d.Feed(Value(command, big) + Value(77, "stray") + Value(command, "tail\n") + Value(marker) +
               Value(marker, std::string("\0\0\0\1", 4)),
           5 * Ms, std::size_t(chunk));
    QCOMPARE(d.results.size(), std::size_t(1));
    QCOMPARE(d.results[0].end, RconEnd::Complete);
    QCOMPARE(d.results[0].output, big + "tail\n");
    QCOMPARE(*d.results[0].roundTrip, 5 * Ms);
    QCOMPARE(d.notes.size(), std::size_t(1));

    const auto [second, secondMarker] = d.Run("status", 6 * Ms);
    d.Feed(Value(command, "late") + Value(second, "#end\n") + Value(secondMarker), 7 * Ms,
           std::size_t(chunk));
    QCOMPARE(d.results.back().output, std::string("#end\n"));
    QCOMPARE(d.Sent(RconSession::Auth), 1);
    QCOMPARE(d.connects, 1);
  }

  // A refused password (id -1) ends the command; it is never sent again and nothing else goes
  // out. An empty value before the answer is no refusal.
  void wrongPasswordIsSentOnce() {
    Drive d;
    d.session.Submit("status", 0);
    d.Act(0);
    d.session.Connected(Ms);
    d.Act(Ms);
    d.Feed(Value(1) + EncodeRconPacket(RconSession::RefusedId, RconSession::AuthResponse, {}),
           2 * Ms);
    QCOMPARE(d.results.at(0).end, RconEnd::WrongPassword);
    QCOMPARE(d.closes, 1);
    d.session.Submit("status", 3 * Ms);
    d.Act(3 * Ms);
    QCOMPARE(d.results.at(1).end, RconEnd::WrongPassword);
    QCOMPARE(d.connects, 1);
    QCOMPARE(d.Sent(RconSession::Auth), 1);
    QCOMPARE(d.Sent(RconSession::ExecCommand), 0);
    QVERIFY(d.session.Refused());
  }

  // The opening alone writes the password and no command; on an open connection it ends at once,
  // and the commands after it share that connection.
  void authenticationAlone() {
    Drive d;
    d.session.Authenticate(0);
    d.Act(0);
    d.session.Connected(Ms);
    d.Act(Ms);
    const std::int32_t authId = Packets(d.written).back().id;
    d.Feed(EncodeRconPacket(authId, RconSession::AuthResponse, {}), 2 * Ms);
    d.session.Authenticate(3 * Ms);
    d.Act(3 * Ms);
    QCOMPARE(d.results.size(), std::size_t(2));
    QCOMPARE(d.results[0].end, RconEnd::Complete);
    QCOMPARE(d.results[1].end, RconEnd::Complete);
    QCOMPARE(d.Sent(RconSession::ExecCommand), 0);
    d.Run("status", 4 * Ms);
    QCOMPARE(d.Sent(RconSession::Auth), 1);
    QCOMPARE(d.Sent(RconSession::ExecCommand), 1);
    QCOMPARE(d.connects, 1);
  }

  void commandEnds_data() {
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("end");
    QTest::addColumn<int>("endMs");
    // The first packet 10 ms after the command: four round trips of quiet after the last.
    QTest::newRow("marker never answered") << 0 << int(RconEnd::Quiet) << 10 + 40;
    QTest::newRow("one byte every 20 ms") << 1 << int(RconEnd::TimedOut) << 1000;
    QTest::newRow("output past 1 MiB") << 2 << int(RconEnd::Truncated) << 10;
    QTest::newRow("size below 10") << 3 << int(RconEnd::BrokenPeer) << 10;
    QTest::newRow("size above 4106") << 4 << int(RconEnd::BrokenPeer) << 10;
    QTest::newRow("closed after the command") << 5 << int(RconEnd::ConnectionLost) << 10;
  }

  // However a command ends, it ends by its deadline with bounded memory, and it is never
  // written twice.
  void commandEnds() {
    QFETCH(int, fault);
    QFETCH(int, end);
    QFETCH(int, endMs);
    Drive d;
    const std::int32_t command = d.Run("status", 0).first;
    const std::string output = Value(command, std::string(4000, 'o'));
    std::string broken = Value(command, std::string(fault == 3 ? 0 : 4097, 'x'));
    broken.replace(0, 4,
                   fault == 3 ? std::string("\x09\0\0\0", 4) : std::string("\x0B\x10\0\0", 4));
    Micros endedAt = 0;
    for (Micros at = Ms; d.results.empty() && at <= 2 * Timeout; at += Ms) {
      if (at == 10 * Ms && fault == 0) d.Feed(output, at);
      if (at % (20 * Ms) == 0 && fault == 1)
        d.Feed(output.substr(std::size_t(at / Ms / 20 - 1), 1), at);
      for (int i = 0; at == 10 * Ms && fault == 2 && i < 300; ++i)
        d.Feed(Value(command, std::string(4096, 'x')), at);
      if (at == 10 * Ms && (fault == 3 || fault == 4)) d.Feed(broken, at);
      if (at == 10 * Ms && fault == 5) d.session.ConnectionLost(at);
      d.session.Advance(at);
      d.Act(at);
      QVERIFY(d.session.BytesKept() <= RconSession::MaxOutput + 2 * RconSession::MaxPacketSize);
      endedAt = at;
    }
    QCOMPARE(int(d.results.at(0).end), end);
    QCOMPARE(endedAt, endMs * Ms);
    QVERIFY(d.results[0].output.size() <= RconSession::MaxOutput);
    QCOMPARE(d.Sent(RconSession::ExecCommand), 1);
    if (end == int(RconEnd::Quiet)) QCOMPARE(d.results[0].output, std::string(4000, 'o'));
  }

  // A connection found closed before the command went out is opened again once; a command that
  // went out is never sent again; an idle connection closes after 60 s.
  void connections() {
    Drive d;
    const auto [command, marker] = d.Run("status", 0);
    d.Feed(Value(command, "x") + Value(marker), Ms);
    QCOMPARE(*d.session.WakeAt(), Ms + RconSession::IdleClose);
    d.session.Submit("say hi", 2 * Ms);
    d.session.ConnectionLost(2 * Ms);
    d.Open(3 * Ms);
    QCOMPARE(d.connects, 2);
    QCOMPARE(d.Sent(RconSession::ExecCommand), 2);
    d.session.ConnectionLost(4 * Ms);
    d.Act(4 * Ms);
    QCOMPARE(d.results.back().end, RconEnd::ConnectionLost);
    QCOMPARE(d.Sent(RconSession::ExecCommand), 2);

    Drive idle;
    const auto ids = idle.Run("status", 0);
    idle.Feed(Value(ids.second), Ms);
    idle.session.Advance(Ms + RconSession::IdleClose);
    idle.Act(Ms + RconSession::IdleClose);
    QCOMPARE(idle.closes, 1);
    QVERIFY(!idle.session.WakeAt());
  }

  void raceDecides_data() {
    QTest::addColumn<QString>("events");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("decidedMs");
    // Events "<what>@<ms>": a accepted, r refused, c challenge reply, u UDP port refused.
    QTest::newRow("challenge alone") << "c@30" << int(ConsoleRace::State::Udp) << 30;
    QTest::newRow("challenge within the grace") << "a@5 c@24" << int(ConsoleRace::State::Udp) << 24;
    QTest::newRow("grace of 20 ms at least") << "a@5 c@26" << int(ConsoleRace::State::Tcp) << 25;
    QTest::newRow("grace of two round trips")
        << "a@40 c@110" << int(ConsoleRace::State::Udp) << 110;
    QTest::newRow("UDP port refused") << "a@5 u@6" << int(ConsoleRace::State::Tcp) << 6;
    QTest::newRow("refused connection alone") << "r@1" << int(ConsoleRace::State::TimedOut) << 500;
    QTest::newRow("both refused") << "r@1 u@2" << int(ConsoleRace::State::Refused) << 2;
  }

  void raceDecides() {
    QFETCH(QString, events);
    QFETCH(int, state);
    QFETCH(int, decidedMs);
    ConsoleRace race(0, 500 * Ms);
    Micros decided = -1;
    for (const QString& event : events.split(' ')) {
      const Micros at = event.mid(2).toInt() * Ms;
      for (Micros now = 0; now < at && race.state() == ConsoleRace::State::Racing; now += Ms) {
        race.Advance(now);
        if (race.state() != ConsoleRace::State::Racing) decided = now;
      }
      const char what = event[0].toLatin1();
      if (what == 'a') race.ConnectionAccepted(at);
      if (what == 'r') race.ConnectionRefused(at);
      if (what == 'c') race.ChallengeAnswered(at);
      if (what == 'u') race.ChallengeRefused(at);
      if (decided < 0 && race.state() != ConsoleRace::State::Racing) decided = at;
    }
    for (Micros now = 0; decided < 0 && now <= 600 * Ms; now += Ms) {
      race.Advance(now);
      if (race.state() != ConsoleRace::State::Racing) decided = now;
    }
    QCOMPARE(int(race.state()), state);
    QCOMPARE(decided, decidedMs * Ms);
  }

  void memoryHoldsRefusalsForAMinute() {
    ConsoleMemory memory;
    memory.NoteRefusal("a", 0);
    QVERIFY(memory.RefusedRecently("a", ConsoleMemory::RefusalHoldOff - 1));
    QVERIFY(!memory.RefusedRecently("a", ConsoleMemory::RefusalHoldOff));
    QVERIFY(!memory.RefusedRecently("b", 0));
    memory.Learn("a", ConsoleKind::Tcp, 0);
    QCOMPARE(*memory.Kind("a"), ConsoleKind::Tcp);
    memory.Learn("0", ConsoleKind::Udp, 0);
    QCOMPARE(memory.Kinds().front().server + memory.Kinds().back().server, std::string("0a"));
    memory.Forget("a");
    QVERIFY(!memory.Kind("a"));
    QVERIFY(memory.RefusedRecently("a", 1));
  }
};

QTEST_APPLESS_MAIN(TestRconSession)
#include "test_rconsession.moc"
