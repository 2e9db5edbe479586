// The Steam-era requests and the info reply decoder; the older decoders on Steam-era replies.
#include <QTest>
#include <cstdint>
#include <cstring>
#include <string>

#include "protocol/a2s.h"
#include "protocol/datafuncs.h"
#include "udppeer.h"

Q_DECLARE_METATYPE(std::string)

namespace {

std::string Text(const std::string& text) {
  return text + '\0';
}

std::string Int32(std::uint32_t value) {
  std::string bytes;
  for (int i = 0; i < 4; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
  return bytes;
}

std::string Float(float value) {
  std::uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return Int32(bits);
}

// An info reply as a server of today sends it, with the optional extra data after the version.
std::string InfoReply(char type, char environment, char visibility) {
  const std::string appId("\x0A\x00", 2);
  const std::string playersMaxBots("\x07\x20\x02", 3);
  const std::string vac("\x01", 1);
  const std::string extraData = std::string("\xB1\x87\x69", 3) + Text("alltalk,secure");
  return Reply('I', std::string("\x11", 1) + Text("Zerval Test") + Text("dm_ridge") +
                        Text("skyfort") + Text("Skyfort Battle") + appId + playersMaxBots + type +
                        environment + visibility + vac + Text("1.0.0.70") + extraData);
}

}  // namespace

class TestA2s : public QObject {
  Q_OBJECT

 private slots:
  void requestsForTheTextCommands() {
    const std::string info("\xFF\xFF\xFF\xFFTSource Engine Query\0", 25);
    QCOMPARE(A2sRequest(A2sQuery::Info), info);
    QCOMPARE(A2sRequest(A2sQuery::Info, "\x01\x02\x03\x04"), info + "\x01\x02\x03\x04");
    QCOMPARE(A2sRequest(A2sQuery::Players), std::string("\xFF\xFF\xFF\xFFU\xFF\xFF\xFF\xFF"));
    QCOMPARE(A2sRequest(A2sQuery::Rules, std::string("\x00\x7F\x80\xFF", 4)),
             std::string("\xFF\xFF\xFF\xFFV\x00\x7F\x80\xFF", 9));
    QVERIFY(A2sQueryFor("details") == A2sQuery::Info);
    QVERIFY(A2sQueryFor("players") == A2sQuery::Players);
    QVERIFY(A2sQueryFor("rules") == A2sQuery::Rules);
    QVERIFY(!A2sQueryFor("challenge rcon"));
    QVERIFY(!A2sQueryFor("rcon 1 pw details"));
  }

  void challengeReply() {
    QVERIFY(A2sChallenge(Reply('A', std::string("\x00\x01\xFE\xFF", 4))) ==
            std::string("\x00\x01\xFE\xFF", 4));
    QVERIFY(!A2sChallenge(Reply('A', "\x01\x02\x03")));
    QVERIFY(!A2sChallenge(Reply('c', "\x01\x02\x03\x04")));
  }

  void infoReplyFields_data() {
    QTest::addColumn<std::string>("reply");
    QTest::addColumn<int>("serverType");
    QTest::addColumn<int>("serverOS");
    QTest::addColumn<int>("password");
    QTest::newRow("dedicated linux public") << InfoReply('d', 'l', 0) << int('d') << int('l') << 0;
    QTest::newRow("listen windows private") << InfoReply('l', 'w', 1) << int('l') << int('w') << 1;
    QTest::newRow("proxy mac") << InfoReply('p', 'm', 0) << int('l') << int('w') << 0;
    QTest::newRow("older letters") << InfoReply('D', 'L', 0) << int('l') << int('w') << 0;
    QTest::newRow("other os") << InfoReply('d', 'o', 0) << int('d') << int('w') << 0;
  }

  void infoReplyFields() {
    QFETCH(std::string, reply);
    QFETCH(int, serverType);
    QFETCH(int, serverOS);
    QFETCH(int, password);
    TDetailInfo info;
    info.ModInfoUrl = "stale";
    ParseA2sInfo(reply, info);
    QCOMPARE(info.ServerAddress, std::string());
    QCOMPARE(info.ServerName, std::string("Zerval Test"));
    QCOMPARE(info.MapName, std::string("dm_ridge"));
    QCOMPARE(info.GameDir, std::string("skyfort"));
    QCOMPARE(info.GameName, std::string("Skyfort Battle"));
    QCOMPARE(int(info.Protocol), 0x11);
    QCOMPARE(int(info.PlayerCount), 7);
    QCOMPARE(int(info.MaxPlayers), 32);
    QCOMPARE(int(info.ServerType), serverType);
    QCOMPARE(int(info.ServerOS), serverOS);
    QCOMPARE(int(info.HasPassword), password);
    QCOMPARE(int(info.IsMod), 0);
    QCOMPARE(info.ModInfoUrl, std::string());
  }

  // Every cut keeps the fields before it and never reads past the end. The game name ends
  // at offset 49, the player count stands at 52.
  void infoReplyCutShort() {
    const std::string whole = InfoReply('d', 'l', 1);
    for (std::size_t size = 5; size < whole.size(); ++size) {
      TDetailInfo info;
      ParseA2sInfo(std::string_view(whole).substr(0, size), info);
      QCOMPARE(info.GameName == "Skyfort Battle", size >= 49);
      QCOMPARE(int(info.PlayerCount), size >= 53 ? 7 : 0);
      QCOMPARE(int(info.HasPassword), size >= 58 ? 1 : 0);
    }
    TDetailInfo cut;
    ParseA2sInfo(Reply('I', "\x11Zerv"), cut);
    QCOMPARE(cut.ServerName, std::string("Zerv"));
    QCOMPARE(cut.MapName, std::string());
  }

  void otherKindsLeaveTheRecord() {
    TDetailInfo info;
    info.ServerName = "kept";
    ParseA2sInfo(Reply('m', InfoReply('d', 'l', 0).substr(5)), info);
    ParseA2sInfo("\xFF\xFF\xFF\xFF", info);
    QCOMPARE(info.ServerName, std::string("kept"));
    QVERIFY(IsInfoReply(Reply('m', "")) && IsInfoReply(Reply('I', "")));
    QVERIFY(!IsInfoReply(Reply('D', "")) && !IsInfoReply("\xFF\xFF\xFF"));
  }

  // The players and rules replies of today's servers have the older layouts: a score and a
  // float duration where the older servers put frags and time.
  void olderDecodersReadTheSteamReplies() {
    TPlayerList players;
    ParsePlayers(
        Reply('D', std::string("\x02", 1) + '\0' + Text("Alpha") + Int32(12) + Float(61.5f) +
                       '\x01' + Text("") + Int32(std::uint32_t(-3)) + Float(2.0f)),
        players);
    QCOMPARE(int(players.Count), 2);
    QCOMPARE(players.Items[0].Name.str(), std::string("Alpha"));
    QCOMPARE(players.Items[0].Frags, 12);
    QCOMPARE(players.Items[1].Name.str(), std::string());
    QCOMPARE(players.Items[1].Frags, -3);
    float seconds = 0;
    std::memcpy(&seconds, &players.Items[0].Time, sizeof seconds);
    QCOMPARE(seconds, 61.5f);

    TRuleList rules;
    ParseRules(Reply('E', std::string("\x02\x00", 2) + Text("mp_timelimit") + Text("20") +
                              Text("sv_password") + Text("")),
               rules);
    QCOMPARE(int(rules.Count), 2);
    QCOMPARE(rules.Items[0].Value.str(), std::string("20"));
    QCOMPARE(rules.Items[1].Value.str(), std::string("not set"));
  }
};

QTEST_GUILESS_MAIN(TestA2s)
#include "test_a2s.moc"
