// The overview's rules without a window: when a server counts as down, back or full, what its
// history keeps, how rows follow a changed list, and the watch settings of "zerval.ini".
#include <QTest>
#include <string>
#include <utility>
#include <vector>

#include "fleet.h"
#include "zervalini.h"

namespace {

Observation Answer(int players, int maxPlayers = 16) {
  Observation seen;
  seen.answered = true;
  seen.players = players;
  seen.maxPlayers = maxPlayers;
  return seen;
}

}  // namespace

class TestFleet : public QObject {
  Q_OBJECT

 private slots:
  // Outcomes in a row, 'a' an answer with 8 of 16 players, 'f' a full one, '-' none; the change
  // each one reports.
  void changesAreReportedOnce_data() {
    QTest::addColumn<QString>("outcomes");
    QTest::addColumn<QString>("changes");
    QTest::newRow("one miss is no outage") << "a-a"
                                           << "...";
    QTest::newRow("down after two misses, once") << "a----"
                                                 << "..D..";
    QTest::newRow("never answered") << "--"
                                    << ".D";
    QTest::newRow("back up") << "a--a"
                             << "..DB";
    QTest::newRow("full once") << "affaf"
                               << ".F..F";
    QTest::newRow("first answer full") << "f"
                                       << ".";
  }
  void changesAreReportedOnce() {
    QFETCH(QString, outcomes);
    QFETCH(QString, changes);
    FleetEntry entry;
    QString reported;
    for (int i = 0; i < outcomes.size(); ++i) {
      const Observation seen = outcomes[i] == u'-'   ? Observation()
                               : outcomes[i] == u'f' ? Answer(16)
                                                     : Answer(8);
      const std::optional<FleetChange> change = Observe(entry, seen, 1000 * i);
      reported += !change                            ? u'.'
                  : *change == FleetChange::WentDown ? u'D'
                  : *change == FleetChange::CameBack ? u'B'
                                                     : u'F';
    }
    QCOMPARE(reported, changes);
  }

  void historyKeepsTheLastHour() {
    FleetEntry entry;
    const std::int64_t step = 5000;
    for (std::int64_t at = 0; at <= 2 * HistorySpanMs; at += step) Observe(entry, Answer(3), at);
    QCOMPARE(entry.history.size(), std::size_t(HistorySpanMs / step + 1));
    QCOMPARE(entry.history.front().atMs, HistorySpanMs);
    for (int i = 0; i < int(MaxHistorySamples) + 10; ++i)
      Observe(entry, Answer(3), 3 * HistorySpanMs);
    QCOMPARE(entry.history.size(), MaxHistorySamples);
  }

  // Rows go with their address, each claimed once; a new address starts afresh.
  void rowsFollowTheList() {
    std::uint64_t nextId = 1;
    std::vector<FleetEntry> rows =
        Regroup({}, {{"A", "10.0.0.1:1"}, {"B", "10.0.0.2:1"}, {"B2", "10.0.0.2:1"}}, nextId);
    for (FleetEntry& row : rows) Observe(row, Answer(1), 0);
    rows = Regroup(std::move(rows),
                   {{"B renamed", "10.0.0.2:1"},
                    {"C", "10.0.0.3:1"},
                    {"B2", "10.0.0.2:1"},
                    {"A", "10.0.0.1:1"}},
                   nextId);
    std::vector<std::uint64_t> ids;
    for (const FleetEntry& row : rows) ids.push_back(row.id);
    QCOMPARE(ids, (std::vector<std::uint64_t>{2, 4, 3, 1}));
    QCOMPARE(rows[0].name, std::string("B renamed"));
    QCOMPARE(rows[0].history.size(), std::size_t(1));
    QVERIFY(rows[1].history.empty());
  }

  void watchSettingsRead_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("watch");
    QTest::addColumn<int>("period");
    QTest::addColumn<bool>("notify");
    QTest::newRow("none") << QByteArray() << false << 30 << true;
    QTest::newRow("set") << QByteArray("[Overview]\nWatch=TRUE\nPeriod=60\nNotify=false\n") << true
                         << 60 << false;
    QTest::newRow("too short, unreadable")
        << QByteArray("[Overview]\nWatch=1\nPeriod=2\n") << false << 5 << true;
  }
  void watchSettingsRead() {
    QFETCH(QByteArray, text);
    const OverviewSettings settings = OverviewSetting(IniFile::Parse(text.toStdString()));
    QTEST(settings.watch, "watch");
    QTEST(settings.periodSeconds, "period");
    QTEST(settings.notify, "notify");
  }

  // The consoles found keep a section of their own: the other sections stay, lines that name no
  // console are left out, and a key that would not stay one key on its line is not written.
  void consolesSection() {
    IniFile file = IniFile::Parse(
        "[Query]\nProtocol=steam\n[Consoles]\n10.0.0.1:27015=TCP\nbad\n10.0.0.2:1=quic\n"
        " 10.0.0.3:2 = udp \n[Other]\nx=1\n");
    ConsoleMemory memory;
    ReadServerConsoles(file, memory, 0);
    QVERIFY(memory.Kind("10.0.0.1:27015") == ConsoleKind::Tcp);
    QVERIFY(memory.Kind("10.0.0.3:2") == ConsoleKind::Udp);
    QCOMPARE(memory.Kinds().size(), std::size_t(2));
    memory.Forget("10.0.0.1:27015");
    memory.Learn("a=1", ConsoleKind::Tcp, 0);
    PutServerConsoles(file, memory);
    QCOMPARE(file.Text(), std::string("[Query]\nProtocol=steam\n[Consoles]\nbad\n"
                                      "10.0.0.3:2=udp\n[Other]\nx=1\n"));
  }
};

QTEST_MAIN(TestFleet)
#include "test_fleet.moc"
