// Finding a server's query protocol without sockets: the race's decision at exact times, and the
// memory of what was found.
#include <QTest>
#include <optional>
#include <string>

#include "protocol/protocolmemory.h"
#include "protocol/protocolrace.h"

namespace {

constexpr Micros Ms = 1000;

WireProtocol ProtocolOf(const QString& name) {
  return name == "a2s" ? WireProtocol::A2s : WireProtocol::Classic;
}

// Runs steps "PROTOCOL answered MS", "PROTOCOL ended MS KIND" (kind "-": no reply) and "at MS".
ProtocolRace Run(const QStringList& steps) {
  ProtocolRace race(0);
  for (const QString& step : steps) {
    const QStringList words = step.split(' ');
    if (words[0] == "at") {
      race.Advance(words[1].toInt() * Ms);
      continue;
    }
    const Micros at = words[2].toInt() * Ms;
    if (words[1] == "answered") {
      race.Answered(ProtocolOf(words[0]), at);
      continue;
    }
    const std::string reply = std::string(4, '\xFF') + words[3].toStdString() + "name";
    race.Ended(ProtocolOf(words[0]),
               words[3] == "-" ? std::nullopt : std::optional<std::string_view>(reply), at);
  }
  return race;
}

QString Outcome(const ProtocolRace& race) {
  switch (race.state()) {
    case ProtocolRace::State::Waiting:
      return "waiting until " + QString::number(race.WakeAt().value_or(-Ms) / Ms);
    case ProtocolRace::State::Unanswered:
      return "none";
    case ProtocolRace::State::Found:
      break;
  }
  return race.Found() == WireProtocol::A2s ? "a2s" : "classic";
}

}  // namespace

class TestProtocolRace : public QObject {
  Q_OBJECT

 private slots:
  void decides_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("outcome");
    QTest::newRow("classic at once") << QStringList{"classic ended 1 m"} << "classic";
    QTest::newRow("A2S waits out the 20 ms floor")
        << QStringList{"a2s ended 1 I", "at 20"} << "waiting until 21";
    QTest::newRow("A2S after the floor") << QStringList{"a2s ended 1 I", "at 21"} << "a2s";
    QTest::newRow("twice a slow round trip")
        << QStringList{"a2s ended 30 I", "at 89"} << "waiting until 90";
    QTest::newRow("classic within the grace wins")
        << QStringList{"a2s ended 1 I", "classic ended 15 m"} << "classic";
    QTest::newRow("the grace runs from the challenge")
        << QStringList{"a2s answered 1", "a2s ended 2 I", "at 21"} << "a2s";
    QTest::newRow("no grace once classic has ended")
        << QStringList{"a2s ended 1 I", "classic ended 2 -"} << "a2s";
    QTest::newRow("an 'm' answering the info request")
        << QStringList{"a2s ended 1 m", "at 21"} << "a2s";
    QTest::newRow("replies of other kinds")
        << QStringList{"classic ended 1 D", "a2s ended 2 E"} << "none";
  }
  void decides() {
    QFETCH(QStringList, steps);
    QFETCH(QString, outcome);
    QCOMPARE(Outcome(Run(steps)), outcome);
  }

  // Told late or out of order, the earlier answer is still the first.
  void firstToAnswerGoesByTime() {
    QCOMPARE(Run({"classic answered 5", "a2s answered 3"}).FirstToAnswer(), WireProtocol::A2s);
    QCOMPARE(Run({"a2s answered 3", "a2s answered 1", "classic answered 2"}).FirstToAnswer(),
             WireProtocol::A2s);
  }

  void memoryForgetsAfterTwoMissesInARowAndIsBounded() {
    ProtocolMemory memory;
    memory.Answered("127.0.0.1:27015", WireProtocol::A2s);
    memory.Missed("127.0.0.1:27015");
    memory.Answered("127.0.0.1:27015", WireProtocol::A2s);
    memory.Missed("127.0.0.1:27015");
    QCOMPARE(memory.Known("127.0.0.1:27015"), WireProtocol::A2s);
    memory.Missed("127.0.0.1:27015");
    QCOMPARE(memory.Known("127.0.0.1:27015"), std::nullopt);
    memory.Answered(std::string(ProtocolMemory::MaxKeyBytes + 1, '1'), WireProtocol::Classic);
    QVERIFY(memory.Entries().empty());

    // When full, the server whose last answer lies furthest back makes room.
    for (std::size_t i = 0; i < ProtocolMemory::MaxServers; ++i)
      memory.Answered("10.0.0.1:" + std::to_string(i), WireProtocol::Classic);
    memory.Answered("10.0.0.1:0", WireProtocol::A2s);
    memory.Answered("10.0.0.2:1", WireProtocol::Classic);
    QCOMPARE(memory.Entries().size(), ProtocolMemory::MaxServers);
    QCOMPARE(memory.Known("10.0.0.1:0"), WireProtocol::A2s);
    QCOMPARE(memory.Known("10.0.0.1:1"), std::nullopt);
    QCOMPARE(memory.Entries().front().first, std::string("10.0.0.1:0"));
  }
};

QTEST_APPLESS_MAIN(TestProtocolRace)
#include "test_protocolrace.moc"
