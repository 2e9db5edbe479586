// The game-server simulator, driven over UDP on 127.0.0.1 as a child process.
#include <QFile>
#include <QHostAddress>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "simulator.h"

namespace {

struct Datagram {
  std::string bytes;
  std::uint16_t fromPort = 0;
};

class Client {
 public:
  Client() { socket_.bind(QHostAddress::LocalHost, 0); }

  void sendRaw(std::uint16_t port, const std::string& bytes) {
    socket_.writeDatagram(bytes.data(), qint64(bytes.size()), QHostAddress::LocalHost, port);
  }
  void send(std::uint16_t port, const std::string& command) {
    sendRaw(port, std::string(4, '\xFF') + command + std::string(1, '\0'));
  }
  std::optional<Datagram> receive(int timeoutMs = 2000) {
    if (!socket_.hasPendingDatagrams() && !socket_.waitForReadyRead(timeoutMs)) return std::nullopt;
    QByteArray data(int(socket_.pendingDatagramSize()), '\0');
    QHostAddress from;
    quint16 fromPort = 0;
    const qint64 size = socket_.readDatagram(data.data(), data.size(), &from, &fromPort);
    return Datagram{data.left(int(size)).toStdString(), fromPort};
  }
  // The next datagram; fromPort 0 when none came.
  Datagram next(int timeoutMs = 2000) { return receive(timeoutMs).value_or(Datagram()); }
  std::string ask(std::uint16_t port, const std::string& command, int timeoutMs = 2000) {
    send(port, command);
    const std::optional<Datagram> reply = receive(timeoutMs);
    return reply ? reply->bytes : std::string();
  }
  std::string challenge(std::uint16_t port) {
    const std::string reply = ask(port, "challenge rcon");
    const std::size_t end = reply.find('\n');
    return reply.size() > 19 && end != std::string::npos ? reply.substr(19, end - 19) : "";
  }
  // The console text of the reply to one console line, or "<no reply>" / "<bad ending>".
  std::string console(std::uint16_t port, const std::string& challenge, const std::string& password,
                      const std::string& command, int timeoutMs = 2000) {
    const std::string reply =
        ask(port, "rcon " + challenge + " " + password + " " + command, timeoutMs);
    if (reply.empty()) return "<no reply>";
    if (reply == std::string("\xFF\xFF\xFF\xFFl\0\0", 7)) return "";
    const std::string ending("\n\0\0", 3);
    if (reply.size() < 9 || reply.compare(0, 5, "\xFF\xFF\xFF\xFFl") != 0 ||
        reply.compare(reply.size() - 3, 3, ending) != 0)
      return "<bad ending>";
    return reply.substr(5, reply.size() - 8);
  }

 private:
  QUdpSocket socket_;
};

// Reads reply fields from offset 5 and notices reading past the end.
struct Reader {
  std::string_view data;
  std::size_t at = 5;
  bool overrun = false;

  std::uint8_t byte() {
    if (at >= data.size()) {
      overrun = true;
      return 0;
    }
    return std::uint8_t(data[at++]);
  }
  std::uint32_t uint32() {
    std::uint32_t value = 0;
    for (int shift = 0; shift < 32; shift += 8) value |= std::uint32_t(byte()) << shift;
    return value;
  }
  float real() {
    const std::uint32_t bits = uint32();
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  std::string text() {
    const std::size_t end = data.find('\0', at);
    if (end == std::string_view::npos) {
      overrun = true;
      return {};
    }
    const std::string value(data.substr(at, end - at));
    at = end + 1;
    return value;
  }
  bool atEnd() const { return !overrun && at == data.size(); }
};

// The kind byte of a reply, 0 when there is none.
char Kind(const std::string& reply) {
  return reply.size() > 4 ? reply[4] : '\0';
}

QStringList Lines(const std::string& text) {
  return QString::fromLatin1(text.data(), int(text.size())).split('\n');
}

// "#  1 "nick" userid uniqueid frags time ping loss address"
const QRegularExpression PlayerLine(
    R"re(^#[ \d]{3} "(.*)" (\d+) (\S+) (-?\d+) (\d+:)?\d\d:\d\d (\d+) (\d+) (\S+)$)re");

struct StatusPlayer {
  QString nick;
  int userId = 0;
  QString uniqueId;
  QString address;
};

std::vector<StatusPlayer> StatusPlayers(const QStringList& lines) {
  std::vector<StatusPlayer> players;
  for (int i = 7; i + 1 < lines.size(); ++i) {
    const QRegularExpressionMatch match = PlayerLine.match(lines[i]);
    if (match.hasMatch())
      players.push_back(
          {match.captured(1), match.captured(2).toInt(), match.captured(3), match.captured(8)});
  }
  return players;
}

bool Start(SimulatorProcess& simulator, const QStringList& arguments) {
  if (simulator.start(arguments)) return true;
  qWarning("%s", qPrintable(simulator.errorText()));
  return false;
}

}  // namespace

class TestGameServer : public QObject {
  Q_OBJECT

 private slots:
  void detailsReply_data();
  void detailsReply();
  void playersMatchStatusOrder();
  void rulesReply_data();
  void rulesReply();
  void challengeReplyLayout();
  void consoleAuthorisation_data();
  void consoleAuthorisation();
  void statusListingShape();
  void kickAndBanChangeThePlayers();
  void consoleCommands();
  void ignoredRequests();
  void requestCountFaults();
  void delayedAndLateReplies();
  void misshapenReplies();
  void replyFromAnotherPort();
  void scenarioFile();
  void badOptionsAreRefused_data();
  void badOptionsAreRefused();
  void requestLogKeepsWireOrder();
  void severalServersInOneProcess();
  void playersComeAndGo();
  void portInUseAndCleanStop();
};

void TestGameServer::detailsReply_data() {
  QTest::addColumn<bool>("mod");
  QTest::newRow("plain") << false;
  QTest::newRow("mod block") << true;
}

void TestGameServer::detailsReply() {
  QFETCH(bool, mod);
  SimulatorProcess simulator;
  QStringList arguments{"--name", "Alpha Base", "--map", "dm_lake", "--players",
                        "3",      "--bots",     "2",     "--max",   "20"};
  if (mod) arguments << "--mod";
  QVERIFY(Start(simulator, arguments));
  Client client;
  const std::string reply = client.ask(simulator.port(), "details");
  QVERIFY(reply.compare(0, 5, "\xFF\xFF\xFF\xFFm") == 0);
  Reader in{reply};
  QCOMPARE(in.text(), "127.0.0.1:" + std::to_string(simulator.port()));
  QCOMPARE(in.text(), std::string("Alpha Base"));
  QCOMPARE(in.text(), std::string("dm_lake"));
  QVERIFY(!in.text().empty());  // game directory
  QVERIFY(!in.text().empty());  // game name
  QCOMPARE(int(in.byte()), 5);
  QCOMPARE(int(in.byte()), 20);
  QCOMPARE(int(in.byte()), 47);
  QCOMPARE(char(in.byte()), 'd');
  QCOMPARE(char(in.byte()), 'l');
  QCOMPARE(int(in.byte()), 0);
  QCOMPARE(int(in.byte()), mod ? 1 : 0);
  if (mod) {
    QVERIFY(!in.text().empty());  // information address
    QVERIFY(!in.text().empty());  // download address
    in.byte();
    QVERIFY(int(in.uint32()) > 0);  // version
    QVERIFY(int(in.uint32()) > 0);  // size
    QVERIFY(in.byte() <= 1);
    QVERIFY(in.byte() <= 1);
  }
  QVERIFY(in.atEnd());
}

// Clients take row n of the players reply as record n of the status listing.
void TestGameServer::playersMatchStatusOrder() {
  SimulatorProcess simulator;
  QVERIFY(Start(simulator, {"--players", "5", "--bots", "2", "--password", "pw"}));
  Client client;
  const std::string reply = client.ask(simulator.port(), "players");
  QCOMPARE(reply.substr(0, 5), std::string("\xFF\xFF\xFF\xFF"
                                           "D"));
  Reader in{reply};
  const int count = in.byte();
  QCOMPARE(count, 7);
  std::vector<QString> names;
  int lastIndex = 0;
  for (int i = 0; i < count; ++i) {
    const int index = in.byte();
    QVERIFY(index > lastIndex);
    lastIndex = index;
    names.push_back(QString::fromLatin1(in.text().c_str()));
    in.uint32();
    const float seconds = in.real();
    QVERIFY2(seconds >= 30 && seconds < 3700, qPrintable(QString::number(seconds)));
  }
  QVERIFY(in.atEnd());

  const std::string challenge = client.challenge(simulator.port());
  const std::vector<StatusPlayer> listed =
      StatusPlayers(Lines(client.console(simulator.port(), challenge, "pw", "status")));
  QCOMPARE(listed.size(), names.size());
  for (std::size_t i = 0; i < names.size(); ++i) QCOMPARE(listed[i].nick, names[i]);
}

void TestGameServer::rulesReply_data() {
  QTest::addColumn<int>("count");
  QTest::newRow("none") << 0;
  QTest::newRow("30") << 30;
  QTest::newRow("60") << 60;
}

void TestGameServer::rulesReply() {
  QFETCH(int, count);
  SimulatorProcess simulator;
  QVERIFY(Start(simulator, {"--rules", QString::number(count)}));
  Client client;
  const std::string reply = client.ask(simulator.port(), "rules");
  QVERIFY(reply.compare(0, 5,
                        "\xFF\xFF\xFF\xFF"
                        "E") == 0);
  Reader in{reply};
  QCOMPARE(int(in.byte() | in.byte() << 8), count);
  bool unsetRule = false;
  for (int i = 0; i < count; ++i) {
    QVERIFY(!in.text().empty());
    const std::string value = in.text();
    unsetRule = unsetRule || value.empty();
  }
  QVERIFY(in.atEnd());
  QCOMPARE(unsetRule, count >= 30);  // one realistic rule has no value
}

void TestGameServer::challengeReplyLayout() {
  SimulatorProcess simulator;
  QVERIFY(Start(simulator, {}));
  Client client;
  const std::string reply = client.ask(simulator.port(), "challenge rcon");
  QCOMPARE(reply.substr(0, 19), std::string("\xFF\xFF\xFF\xFF"
                                            "challenge rcon "));
  QCOMPARE(reply.back(), '\0');
  const std::string challenge = reply.substr(19, reply.find('\n') - 19);
  QCOMPARE(reply.size(), 19 + challenge.size() + 2);
  QVERIFY(challenge.size() >= 9);
  QVERIFY(challenge.find_first_not_of("0123456789") == std::string::npos);
  QCOMPARE(client.challenge(simulator.port()), challenge);  // kept for the client
}

void TestGameServer::consoleAuthorisation_data() {
  QTest::addColumn<QStringList>("arguments");
  QTest::addColumn<QString>("password");
  QTest::addColumn<bool>("rightChallenge");
  QTest::addColumn<bool>("accepted");
  const QStringList secret{"--password", "secret"};
  QTest::newRow("right") << secret << "secret" << true << true;
  QTest::newRow("wrong password") << secret << "secreT" << true << false;
  QTest::newRow("password prefix") << secret << "secre" << true << false;
  QTest::newRow("wrong challenge") << secret << "secret" << false << false;
  QTest::newRow("blank in password")
      << QStringList{"--password", "two words"} << "two words" << true << true;
  QTest::newRow("no console password") << QStringList{} << "" << true << false;
}

void TestGameServer::consoleAuthorisation() {
  QFETCH(QStringList, arguments);
  QFETCH(QString, password);
  QFETCH(bool, rightChallenge);
  QFETCH(bool, accepted);
  SimulatorProcess simulator;
  QVERIFY(Start(simulator, arguments));
  Client client;
  const std::string challenge = client.challenge(simulator.port());
  const std::string sent = rightChallenge ? challenge : challenge + "1";
  const std::string answer =
      client.console(simulator.port(), sent, password.toStdString(), "say hello");
  QCOMPARE(answer, accepted ? std::string("Console: hello") : std::string("Bad rcon_password."));
}

void TestGameServer::statusListingShape() {
  SimulatorProcess simulator;
  QVERIFY(Start(simulator, {"--players", "4", "--bots", "2", "--max", "12", "--name", "Shape",
                            "--password", "pw"}));
  Client client;
  const QStringList lines =
      Lines(client.console(simulator.port(), client.challenge(simulator.port()), "pw", "status"));
  QCOMPARE(lines.size(), 7 + 6 + 1);
  QCOMPARE(lines[0], QString("hostname:  Shape"));
  QCOMPARE(lines[2], "tcp/ip  :  127.0.0.1:" + QString::number(simulator.port()));
  QVERIFY(lines[3].startsWith("map     :  dm_canyon"));
  QCOMPARE(lines[4], QString("players :  6 active (max 12)"));
  QCOMPARE(lines[5], QString());
  QCOMPARE(lines[6], QString("#      name userid uniqueid frag time ping loss adr"));
  QCOMPARE(lines.last(), QString("6 users"));
  const std::vector<StatusPlayer> players = StatusPlayers(lines);
  QCOMPARE(players.size(), std::size_t(6));
  bool blankAndQuoteNick = false;
  for (std::size_t i = 0; i < players.size(); ++i) {
    QVERIFY2(lines[7 + int(i)].left(4) == QString("#  %1").arg(i + 1),
             qPrintable(lines[7 + int(i)]));
    const bool bot = players[i].uniqueId == "BOT";
    QCOMPARE(players[i].address == "loopback", bot);
    blankAndQuoteNick = blankAndQuoteNick || players[i].nick.contains("\" ");
  }
  QVERIFY(blankAndQuoteNick);
  QCOMPARE(players.back().uniqueId, QString("BOT"));
}

void TestGameServer::kickAndBanChangeThePlayers() {
  SimulatorProcess simulator;
  QVERIFY(Start(simulator, {"--players", "4", "--bots", "0", "--password", "pw"}));
  Client client;
  const std::uint16_t port = simulator.port();
  const std::string challenge = client.challenge(port);
  const auto status = [&] {
    return StatusPlayers(Lines(client.console(port, challenge, "pw", "status")));
  };
  const std::vector<StatusPlayer> before = status();
  QCOMPARE(before.size(), std::size_t(4));

  QCOMPARE(client.console(port, challenge, "pw", "kick #" + std::to_string(before[1].userId)),
           "Kicked " + before[1].nick.toStdString());
  QCOMPARE(client.console(port, challenge, "pw", "kick #99"),
           std::string("Couldn't find player #99."));
  QCOMPARE(client.console(port, challenge, "pw", "banid 5 #" + std::to_string(before[0].userId)),
           "banid:  " + before[0].uniqueId.toStdString() + " banned for 5 minutes");
  QCOMPARE(client.console(port, challenge, "pw", "writeid"), std::string());
  QCOMPARE(client.console(port, challenge, "pw",
                          "banid 0 # " + std::to_string(before[3].userId) + " kick"),
           "banid:  " + before[3].uniqueId.toStdString() + " banned permanently\nKicked " +
               before[3].nick.toStdString());
  QCOMPARE(client.console(port, challenge, "pw", "listid"),
           "ID filter list: 2 entries\n1 " + before[0].uniqueId.toStdString() + " : 5 min\n2 " +
               before[3].uniqueId.toStdString() + " : permanent");

  const std::vector<StatusPlayer> after = status();
  QCOMPARE(after.size(), std::size_t(2));
  QCOMPARE(after[0].userId, before[0].userId);  // banned, not yet kicked
  QCOMPARE(after[1].userId, before[2].userId);
  const std::string detailsReply = client.ask(port, "details");
  Reader details{detailsReply};
  for (int i = 0; i < 5; ++i) details.text();
  QCOMPARE(int(details.byte()), 2);
  QCOMPARE(int(Reader{client.ask(port, "players")}.byte()), 2);
}

void TestGameServer::consoleCommands() {
  SimulatorProcess simulator;
  QVERIFY(Start(simulator, {"--password", "pw"}));
  Client client;
  const std::string challenge = client.challenge(simulator.port());
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"LOG ON", "Server logging enabled."},
      {"mp_logmessages 1", ""},
      {"mp_logmessages", "\"mp_logmessages\" is \"1\""},
      {"logaddress 127.0.0.1 3305", "logaddress:  127.0.0.1:3305"},
      {"logaddress 127.0.0 3305", "Usage:  logaddress ip port"},
      {"say hello   there", "Console: hello   there"},
      {"kick", "Usage:  kick < # userid >"},
      {"frobnicate now", "Unknown command: frobnicate"},
      {"", ""},
  };
  for (const auto& [command, answer] : expected)
    QCOMPARE(client.console(simulator.port(), challenge, "pw", command), answer);
}

void TestGameServer::ignoredRequests() {
  SimulatorProcess simulator;
  QVERIFY(
      Start(simulator, {"--ignore", "details,rules", "--ignore", "rcon:kick", "--password", "pw"}));
  Client client;
  const std::uint16_t port = simulator.port();
  QCOMPARE(client.ask(port, "details", 300), std::string());
  QCOMPARE(Kind(client.ask(port, "players")), 'D');
  QCOMPARE(client.ask(port, "rules", 300), std::string());
  const std::string challenge = client.challenge(port);
  QCOMPARE(client.console(port, challenge, "pw", "kick #1", 300), std::string("<no reply>"));
  QCOMPARE(client.console(port, challenge, "pw", "KICK #1", 300), std::string("<no reply>"));
  // An ignored request has no effect either.
  const std::vector<StatusPlayer> players =
      StatusPlayers(Lines(client.console(port, challenge, "pw", "status")));
  QVERIFY(!players.empty());
  QCOMPARE(players.front().userId, 1);

  SimulatorProcess silent;
  QVERIFY(Start(silent, {"--ignore", "all"}));
  QCOMPARE(client.ask(silent.port(), "players", 300), std::string());
  QCOMPARE(client.ask(silent.port(), "challenge rcon", 300), std::string());
}

void TestGameServer::requestCountFaults() {
  SimulatorProcess stopping;
  QVERIFY(Start(stopping, {"--stop-after", "2"}));
  SimulatorProcess waking;
  QVERIFY(Start(waking, {"--answer-after", "2 players"}));
  Client client;
  QVERIFY(!client.ask(stopping.port(), "details").empty());
  QVERIFY(!client.ask(stopping.port(), "rules").empty());
  QCOMPARE(client.ask(stopping.port(), "details", 300), std::string());
  QCOMPARE(client.ask(stopping.port(), "players", 300), std::string());

  QVERIFY(!client.ask(waking.port(), "details").empty());  // not counted
  QCOMPARE(client.ask(waking.port(), "players", 300), std::string());
  QCOMPARE(client.ask(waking.port(), "players", 300), std::string());
  QCOMPARE(Kind(client.ask(waking.port(), "players")), 'D');
}

void TestGameServer::delayedAndLateReplies() {
  SimulatorProcess simulator;
  QVERIFY(Start(simulator, {"--delay", "400 details", "--delay", "800 players"}));
  Client client;
  client.send(simulator.port(), "details");
  QVERIFY(!client.receive(150));
  QCOMPARE(Kind(client.next().bytes), 'm');

  // A reply after the client gave up is what the client receives for its next request.
  QCOMPARE(client.ask(simulator.port(), "players", 300), std::string());
  QTest::qWait(800);
  client.send(simulator.port(), "rules");
  QCOMPARE(Kind(client.next().bytes), 'D');
  QCOMPARE(Kind(client.next().bytes), 'E');
}

void TestGameServer::misshapenReplies() {
  SimulatorProcess normal;
  QVERIFY(Start(normal, {"--seed", "5"}));
  SimulatorProcess faulty;
  QVERIFY(Start(faulty, {"--seed", "5", "--truncate", "9 details", "--truncate", "0 challenge",
                         "--garbage", "players", "--twice", "rules"}));
  Client client;
  const std::string details = client.ask(faulty.port(), "details");
  QCOMPARE(details, std::string("\xFF\xFF\xFF\xFF"
                                "m127."));
  client.send(faulty.port(), "challenge rcon");
  const Datagram empty = client.next();
  QVERIFY(empty.fromPort != 0);
  QCOMPARE(empty.bytes, std::string());

  const std::string players = client.ask(faulty.port(), "players");
  const std::string proper = client.ask(normal.port(), "players");
  QCOMPARE(players.substr(0, 5), proper.substr(0, 5));
  QCOMPARE(players.size(), proper.size());
  QVERIFY(players != proper);

  const std::string rules = client.ask(faulty.port(), "rules");
  QCOMPARE(client.next().bytes, rules);
  QCOMPARE(rules, client.ask(normal.port(), "rules"));
}

void TestGameServer::replyFromAnotherPort() {
  SimulatorProcess simulator;
  QVERIFY(Start(simulator, {"--other-port", "challenge"}));
  Client client;
  client.send(simulator.port(), "challenge rcon");
  const Datagram reply = client.next();
  QCOMPARE(Kind(reply.bytes), 'c');
  QVERIFY(reply.fromPort != simulator.port());
  client.send(simulator.port(), "details");
  QCOMPARE(client.next().fromPort, simulator.port());
}

void TestGameServer::scenarioFile() {
  QTemporaryDir dir;
  const QString path = dir.filePath("faults.txt");
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write("# details stays silent, rules come twice\n\n  ignore details\ntwice rules\r\n");
  file.close();
  SimulatorProcess simulator;
  QVERIFY(Start(simulator, {"--scenario", path, "--truncate", "6 players"}));
  Client client;
  QCOMPARE(client.ask(simulator.port(), "details", 300), std::string());
  const std::string rules = client.ask(simulator.port(), "rules");
  QCOMPARE(client.next().bytes, rules);
  QCOMPARE(client.ask(simulator.port(), "players").size(), std::size_t(6));

  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write("twice rules\ndelay soon\n");
  file.close();
  SimulatorProcess broken;
  QVERIFY(!broken.start({"--scenario", path}));
  QVERIFY2(broken.errorText().contains("line 2"), qPrintable(broken.errorText()));
}

void TestGameServer::badOptionsAreRefused_data() {
  QTest::addColumn<QStringList>("arguments");
  QTest::addColumn<QString>("message");
  QTest::newRow("too many players") << QStringList{"--players", "300"} << "--players";
  QTest::newRow("more than the slots")
      << QStringList{"--max", "4", "--players", "3", "--bots", "2"} << "--bots";
  QTest::newRow("too many rules") << QStringList{"--rules", "61"} << "--rules";
  QTest::newRow("address") << QStringList{"--address", "localhost"} << "--address";
  QTest::newRow("unknown request") << QStringList{"--ignore", "detail"} << "detail";
  QTest::newRow("missing number") << QStringList{"--delay", "players"} << "--delay";
  QTest::newRow("missing scenario") << QStringList{"--scenario", "/nonexistent/x"} << "scenario";
}

void TestGameServer::badOptionsAreRefused() {
  QFETCH(QStringList, arguments);
  QFETCH(QString, message);
  SimulatorProcess simulator;
  QVERIFY(!simulator.start(arguments));
  QVERIFY2(simulator.errorText().contains(message), qPrintable(simulator.errorText()));
  QCOMPARE(simulator.process()->exitCode(), 2);
}

void TestGameServer::requestLogKeepsWireOrder() {
  SimulatorProcess simulator;
  QVERIFY(Start(simulator, {"--password", "pw"}));
  Client client;
  client.ask(simulator.port(), "details");
  client.sendRaw(simulator.port(), "\xFF\xFF\xFF\xFFplayers");  // no closing zero
  QVERIFY(!client.receive(300));
  client.ask(simulator.port(), "rcon 1 pw say \"quoted\" \\ ");
  client.ask(simulator.port(), "rules");
  QTRY_COMPARE(simulator.requests().size(), std::size_t(4));
  const std::vector<SimulatorProcess::Request> requests = simulator.requests();
  QCOMPARE(requests[1].framed, false);
  QCOMPARE(requests[1].bytes, std::string("\xFF\xFF\xFF\xFFplayers"));
  QCOMPARE(simulator.commands(),
           (std::vector<std::string>{"details", "rcon 1 pw say \"quoted\" \\ ", "rules"}));
  QCOMPARE(requests[0].serverPort, simulator.port());
}

void TestGameServer::severalServersInOneProcess() {
  SimulatorProcess simulator;
  QVERIFY(Start(simulator, {"--count", "3", "--name", "Farm"}));
  Client client;
  for (int i = 0; i < 3; ++i) {
    const std::string reply = client.ask(std::uint16_t(simulator.port() + i), "details");
    Reader details{reply};
    QCOMPARE(details.text(), "127.0.0.1:" + std::to_string(simulator.port() + i));
    QCOMPARE(details.text(), "Farm " + std::to_string(i + 1));
  }
}

void TestGameServer::playersComeAndGo() {
  SimulatorProcess simulator;
  QVERIFY(Start(simulator, {"--churn", "1", "--players", "3", "--bots", "1", "--max", "5"}));
  Client client;
  const auto names = [&] {
    const std::string reply = client.ask(simulator.port(), "players");
    Reader in{reply};
    std::vector<std::string> result(in.byte());
    for (std::string& name : result) {
      in.byte();
      name = in.text();
      in.uint32();
      in.uint32();
    }
    return result;
  };
  const std::vector<std::string> before = names();
  QTRY_VERIFY_WITH_TIMEOUT(names() != before, 15000);
  const std::vector<std::string> after = names();
  QVERIFY(after.size() <= 5);
  QVERIFY(std::find(after.begin(), after.end(), "[BOT] Alpha") != after.end());  // bots stay
}

void TestGameServer::portInUseAndCleanStop() {
  SimulatorProcess first;
  QVERIFY(Start(first, {}));
  SimulatorProcess second;
  QVERIFY(!second.start({"--port", QString::number(first.port())}));
  QVERIFY2(second.errorText().contains("cannot listen"), qPrintable(second.errorText()));
  QCOMPARE(second.process()->exitCode(), 1);
  QVERIFY(first.stop());
}

QTEST_GUILESS_MAIN(TestGameServer)
#include "test_gameserver.moc"
