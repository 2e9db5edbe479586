#include <QByteArrayList>
#include <QString>
#include <QStringList>
#include <QTest>
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/player_class.h"
#include "store/mytypes.h"

namespace {

// The head of a status listing as servers print it: seven lines before the first player.
QByteArrayList Head() {
  return {"hostname:  Zerval Test Server",
          "version :  48/1.1.2.2 8684 secure  (10)",
          "tcp/ip  :  127.0.0.1:27015",
          "map     :  dm_ridge at: 0 x, 0 y, 0 z",
          "players :  3 active (16 max)",
          "",
          "#      name userid uniqueid frag time ping loss adr"};
}

QByteArrayList Listing(const QByteArrayList& players) {
  return Head() + players + QByteArrayList{QByteArray::number(players.size()) + " users"};
}

std::vector<std::string> Lines(const QByteArrayList& lines) {
  std::vector<std::string> result;
  for (const QByteArray& line : lines) result.push_back(line.toStdString());
  return result;
}

QString Summary(const TPlayerRecord& r) {
  return QString::fromLatin1(r.Nick.str()) + "|" + QString::number(r.UserId) + "|" +
         QString::fromLatin1(r.WonId.str()) + "|" + QString::number(r.Frags) + "|" +
         QString::fromLatin1(r.Time.str()) + "|" + QString::number(r.Ping) + "|" +
         QString::number(r.Loss) + "|" + QString::fromLatin1(r.Address.str());
}

QStringList Summaries(const TPlayerInfo& info) {
  QStringList result;
  for (std::int32_t i = 0; i < info.Count(); ++i) result << Summary(info.GetPlayer(i));
  return result;
}

TPlayerInfo Parsed(const QByteArrayList& players) {
  TPlayerInfo info;
  info.ParseStatus(Lines(Listing(players)));
  return info;
}

const QString Empty = "|0||0||0|0|";

}  // namespace

class TestPlayerInfo : public QObject {
  Q_OBJECT

 private slots:
  void parse_data() {
    QTest::addColumn<QByteArrayList>("players");
    QTest::addColumn<QStringList>("records");

    QTest::newRow("old numeric ids")
        << QByteArrayList{"# 1 \"Gordon\" 12 123456 5 10:23 50 0 192.168.0.20:27005",
                          "# 2 \"Barney\" 14 2147483647 -3 1:02:03 999 12 10.1.2.3:27005"}
        << QStringList{"\"Gordon\"|12|123456|5|10:23|50|0|192.168.0.20:27005",
                       "\"Barney\"|14|2147483647|-3|1:02:03|999|12|10.1.2.3:27005"};
    QTest::newRow("steam ids and a bot")
        << QByteArrayList{"# 1 \"Alyx\" 3 STEAM_0:1:23456 12 05:43 35 0 10.0.0.5:27005",
                          "# 2 \"[BOT] Walker\" 4 BOT 0 04:05 0 0 loopback"}
        << QStringList{"\"Alyx\"|3|STEAM_0:1:23456|12|05:43|35|0|10.0.0.5:27005",
                       "\"[BOT] Walker\"|4|BOT|0|04:05|0|0|loopback"};
    // Blanks and quotes inside the nick stay; only the fields at the right are split off.
    QTest::newRow("nicks with blanks and quotes")
        << QByteArrayList{"# 3 \"The  \"Real\" One 7 8\" 7 STEAM_0:0:1 1 00:10 20 1 1.2.3.4:1",
                          "# 4 \"J\xF6rg\" 8 STEAM_0:0:2 2 00:11 21 2 1.2.3.5:2"}
        << QStringList{"\"The  \"Real\" One 7 8\"|7|STEAM_0:0:1|1|00:10|20|1|1.2.3.4:1",
                       QString::fromLatin1("\"J\xF6rg\"|8|STEAM_0:0:2|2|00:11|21|2|1.2.3.5:2")};
    QTest::newRow("two-digit slots, wide blanks, line ends")
        << QByteArrayList{"#10 \"Ten\"   21  STEAM_0:1:5   0   12:00   80  0   1.1.1.1:27005\r",
                          "  #11 \"Eleven\" 22 STEAM_0:0:6 4 0:59 60 0 2.2.2.2:27005 \n"}
        << QStringList{"\"Ten\"|21|STEAM_0:1:5|0|12:00|80|0|1.1.1.1:27005",
                       "\"Eleven\"|22|STEAM_0:0:6|4|0:59|60|0|2.2.2.2:27005"};
    QTest::newRow("texts cut at their capacities")
        << QByteArrayList{"# 1 \"A nick that is far too long\" 1 STEAM_0:1:123456789012345678 0 "
                          "123:45:67:89 5 0 " +
                          QByteArray(120, 'a')}
        << QStringList{"\"A nick that is far too l|1|STEAM_0:1:123456789012345|0|123:45:67:|5|0|" +
                       QString(100, 'a')};
    QTest::newRow("a nine-line listing") << QByteArrayList{"# 1 \"Solo\" 2 BOT 0 0:01 0 0 x"}
                                         << QStringList{"\"Solo\"|2|BOT|0|0:01|0|0|x"};
  }

  void parse() {
    QFETCH(QByteArrayList, players);
    QFETCH(QStringList, records);
    QCOMPARE(Summaries(Parsed(players)), records);
  }

  void shortListingKeepsTheTable() {
    TPlayerInfo info =
        Parsed({"# 1 \"Kept\" 5 BOT 0 0:01 0 0 x", "# 2 \"Too\" 6 BOT 0 0:01 0 0 x"});
    QByteArrayList eightLines = Head() + QByteArrayList{"0 users"};
    info.ParseStatus(Lines(eightLines));
    QCOMPARE(info.Count(), 2);
    info.ParseStatus({});
    QCOMPARE(info.GetPlayer(0).Nick.str(), std::string("\"Kept\""));
  }

  void parseTodaysTable_data() {
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QByteArrayList>("rows");
    QTest::addColumn<QStringList>("records");
    const QByteArray rate = "# userid name uniqueid connected ping loss state rate adr";
    QTest::newRow("names with blanks, quotes and UTF-8; a bot; #end")
        << rate
        << QByteArrayList{"#  2 \"Dr. Frag\" STEAM_1:0:12 12:34 45 0 active 196608 192.0.2.1:27005",
                          "#  3 \"\"Sniper\" J\xC3\xB6"
                          "e\" [U:1:99] 1:02:03 80 2 active 80000 1.2.3.4:5",
                          "#  4 \"[BOT] Alpha\" BOT active 64", "#end",
                          "# 5 \"After\" BOT active 64"}
        << QStringList{"\"Dr. Frag\"|2|STEAM_1:0:12|0|12:34|45|0|192.0.2.1:27005",
                       QString::fromLatin1("\"\"Sniper\" J\xC3\xB6"
                                           "e\"|3|[U:1:99]|0|1:02:03|80|2|1.2.3.4:5"),
                       "\"[BOT] Alpha\"|4|BOT|0||0|0|"};
    QTest::newRow("older header with padding, no rate; a slot before the name")
        << QByteArray(
               "# userid name                uniqueid            connected ping loss state  adr")
        << QByteArrayList{"#      7 1 \"Ice Cube\"  STEAM_0:1:5  05:06   30    1 active 10.0.0.1:1",
                          "#      8 \"Bot01\"    BOT   active"}
        << QStringList{"\"Ice Cube\"|7|STEAM_0:1:5|0|05:06|30|1|10.0.0.1:1",
                       "\"Bot01\"|8|BOT|0||0|0|"};
    QTest::newRow("rows that do not fit are left out")
        << rate
        << QByteArrayList{"#  2 \"NoQuote STEAM_1:0:1 00:01 5 0 active 1 a:1",
                          "#  x \"BadId\" STEAM_1:0:1 00:01 5 0 active 1 a:1",
                          "#  3 \"Short\" STEAM_1:0:1 00:01 5 active 1 a:1",
                          "#  4 \"Good\" STEAM_1:0:1 00:01 5 0 active 1 a:1"}
        << QStringList{"\"Good\"|4|STEAM_1:0:1|0|00:01|5|0|a:1"};
  }

  // The columns are read by the header's names; the head before it is not counted.
  void parseTodaysTable() {
    QFETCH(QByteArray, header);
    QFETCH(QByteArrayList, rows);
    QFETCH(QStringList, records);
    TPlayerInfo info;
    info.ParseStatus(
        Lines(QByteArrayList{"hostname: Zerval", "map     : dm_canyon", "", header} + rows));
    QCOMPARE(Summaries(info), records);
  }

  void badNumberStopsTheParse_data() {
    QTest::addColumn<QByteArray>("badLine");
    QTest::addColumn<QString>("message");
    QTest::newRow("letters as ping")
        << QByteArray("# 2 \"Bad\" 5 STEAM_0:0:1 0 0:01 abc 0 1.2.3.4:5")
        << "'abc' is not a valid integer value";
    QTest::newRow("address missing")
        << QByteArray("# 2 \"NoAddr\" 5 BOT 0 4:05 0 0") << "'4:05' is not a valid integer value";
    QTest::newRow("only a nick") << QByteArray("# 2 \"Lonely\"")
                                 << "'' is not a valid integer value";
  }

  void badNumberStopsTheParse() {
    QFETCH(QByteArray, badLine);
    QFETCH(QString, message);
    TPlayerInfo info;
    const QByteArrayList listing = Listing({"# 1 \"First\" 1 STEAM_0:0:9 3 1:00 40 0 9.9.9.9:1",
                                            badLine, "# 3 \"Third\" 3 BOT 0 1:00 0 0 x"});
    try {
      info.ParseStatus(Lines(listing));
      QFAIL("no conversion error");
    } catch (const EConvertError& e) {
      QCOMPARE(QString::fromLatin1(e.what()), message);
    }
    QCOMPARE(Summaries(info),
             (QStringList{"\"First\"|1|STEAM_0:0:9|3|1:00|40|0|9.9.9.9:1", Empty, Empty}));
  }

  void getPlayerBounds() {
    const TPlayerInfo info =
        Parsed({"# 1 \"A\" 1 BOT 0 0:01 0 0 x", "# 2 \"B\" 2 BOT 0 0:01 0 0 y"});
    QCOMPARE(info.GetPlayer(1).UserId, 2);
    for (const std::int32_t index : {-1, 2, 1000}) {
      try {
        info.GetPlayer(index);
        QFAIL("no error");
      } catch (const EZerval& e) {
        QCOMPARE(std::string(e.what()), std::string("TPlayerInfo: Zugriff hinter dem Array"));
      }
    }
    TPlayerInfo cleared = info;
    cleared.Clear();
    QCOMPARE(cleared.Count(), 0);
    QVERIFY_THROWS_EXCEPTION(EZerval, cleared.GetPlayer(0));
  }

  void nickMatches_data() {
    QTest::addColumn<QByteArray>("statusNick");
    QTest::addColumn<QByteArray>("playerName");
    QTest::addColumn<bool>("matches");
    QTest::newRow("quoted, same") << QByteArray("\"Gordon\"") << QByteArray("Gordon") << true;
    QTest::newRow("quoted, longer name")
        << QByteArray("\"Gordon\"") << QByteArray("Gordon2") << false;
    QTest::newRow("quoted, shorter name")
        << QByteArray("\"Gordon\"") << QByteArray("Gord") << false;
    QTest::newRow("blanks and inner quotes")
        << QByteArray("\"The \"Real\" One\"") << QByteArray("The \"Real\" One") << true;
    QTest::newRow("unquoted") << QByteArray("Gordon") << QByteArray("Gordon") << true;
    QTest::newRow("cut, closing quote gone") << QByteArray("\"abcdefghijklmnopqrstuvwx")
                                             << QByteArray("abcdefghijklmnopqrstuvwxyz") << true;
    QTest::newRow("cut, name differs after the cut")
        << QByteArray("\"abcdefghijklmnopqrstuvwx") << QByteArray("abcdefghijklmnopqrstuvwx!!!")
        << true;
    QTest::newRow("cut, name differs before the cut")
        << QByteArray("\"abcdefghijklmnopqrstuvwx") << QByteArray("abcdefghijklmnopqrstuvwX")
        << false;
    QTest::newRow("cut, name too short") << QByteArray("\"abcdefghijklmnopqrstuvwx")
                                         << QByteArray("abcdefghijklmnopqrstuvw") << false;
    // 23 bytes and both quotes fill the 25 exactly: nothing was cut.
    QTest::newRow("full but whole") << QByteArray("\"abcdefghijklmnopqrstuvw\"")
                                    << QByteArray("abcdefghijklmnopqrstuvwxyz") << false;
    QTest::newRow("8-bit bytes") << QByteArray("\"J\xF6rg\"") << QByteArray("J\xF6rg") << true;
  }

  void nickMatches() {
    QFETCH(QByteArray, statusNick);
    QFETCH(QByteArray, playerName);
    QFETCH(bool, matches);
    QCOMPARE(StatusNickMatches(statusNick.toStdString(), playerName.toStdString()), matches);
  }

  void matchStatusRecord_data() {
    QTest::addColumn<QByteArrayList>("statusNicks");
    QTest::addColumn<int>("row");
    QTest::addColumn<QByteArray>("playerName");
    QTest::addColumn<int>("record");
    const QByteArrayList sameOrder{"\"Ann\"", "\"Bob\"", "\"Cy\""};
    QTest::newRow("same order") << sameOrder << 1 << QByteArray("Bob") << 1;
    QTest::newRow("other order") << QByteArrayList{"\"Cy\"", "\"Ann\"", "\"Bob\""} << 0
                                 << QByteArray("Bob") << 2;
    QTest::newRow("row beyond the table") << sameOrder << 7 << QByteArray("Ann") << 0;
    QTest::newRow("not in the listing") << sameOrder << 0 << QByteArray("Dee") << -1;
    QTest::newRow("empty table") << QByteArrayList{} << 0 << QByteArray("Ann") << -1;
    QTest::newRow("twins, row agrees")
        << QByteArrayList{"\"Ann\"", "\"Ann\""} << 1 << QByteArray("Ann") << 1;
    QTest::newRow("twins elsewhere")
        << QByteArrayList{"\"Ann\"", "\"Bob\"", "\"Ann\""} << 1 << QByteArray("Ann") << -1;
  }

  void matchStatusRecord() {
    QFETCH(QByteArrayList, statusNicks);
    QFETCH(int, row);
    QFETCH(QByteArray, playerName);
    QFETCH(int, record);
    QByteArrayList players;
    for (int i = 0; i < statusNicks.size(); ++i)
      players << "# " + QByteArray::number(i + 1) + " " + statusNicks[i] + " " +
                     QByteArray::number(100 + i) + " BOT 0 0:01 0 0 x";
    const TPlayerInfo info = Parsed(players);
    QCOMPARE(MatchStatusRecord(info, row, playerName.toStdString()), record);
  }
};

QTEST_GUILESS_MAIN(TestPlayerInfo)
#include "test_playerinfo.moc"
