// zerval-query as a child process against the game-server simulator on 127.0.0.1.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "simulator.h"
#include "store/mytypes.h"
#include "store/stdfuncs.h"

namespace {

struct QueryRun {
  int exitCode = -1;
  QByteArray out;
  QByteArray err;
  qint64 elapsedMs = 0;
};

// Runs zerval-query to its end. Events are handled meanwhile, so that a FakeServer of the test
// can answer it.
QueryRun RunQuery(const QStringList& arguments) {
  QProcess process;
  QElapsedTimer clock;
  clock.start();
  process.start(ZERVAL_QUERY_BIN, arguments);
  QueryRun run;
  // The process may end while events are handled; waitForFinished() then answers false.
  while (process.state() != QProcess::NotRunning && !process.waitForFinished(5)) {
    if (clock.hasExpired(60000)) {
      process.kill();
      process.waitForFinished();
      return run;
    }
    QCoreApplication::processEvents();
  }
  if (process.error() == QProcess::FailedToStart) return run;
  run.elapsedMs = clock.elapsed();
  run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.out = process.readAllStandardOutput();
  run.err = process.readAllStandardError();
  return run;
}

QString Loopback(std::uint16_t port) {
  return "127.0.0.1:" + QString::number(port);
}

std::unique_ptr<SimulatorProcess> StartSimulator(const QStringList& arguments) {
  auto simulator = std::make_unique<SimulatorProcess>();
  if (!simulator->start(arguments)) qWarning("%s", qPrintable(simulator->errorText()));
  return simulator;
}

TServerEntry Entry(const std::string& name, const std::string& address) {
  TServerEntry entry;
  entry.Name = name;
  entry.Address = address;
  return entry;
}

std::string Address(std::uint16_t port) {
  return "127.0.0.1:" + std::to_string(port);
}

// The Steam-era requests of `kind` ('T' info, 'U' players, 'V' rules) that the simulator got, at
// `port` or at any of its ports.
int CountA2sRequests(const SimulatorProcess& simulator, char kind, std::uint16_t port = 0) {
  const std::vector<SimulatorProcess::Request> requests = simulator.requests();
  return int(std::count_if(requests.begin(), requests.end(), [&](const auto& request) {
    return (port == 0 || request.serverPort == port) && request.bytes.size() > 4 &&
           request.bytes.compare(0, 4, "\xFF\xFF\xFF\xFF") == 0 && request.bytes[4] == kind;
  }));
}

QStringList SteamServer(const QStringList& more = {}) {
  return QStringList{"--protocol", "steam"} + more;
}

// A peer on 127.0.0.1 that answers each datagram with what `answer` makes of it (nothing for an
// empty result), for replies that the simulator does not give.
class FakeServer {
 public:
  explicit FakeServer(std::function<QByteArray(const QByteArray&)> answer)
      : answer_(std::move(answer)) {
    socket_.bind(QHostAddress::LocalHost, 0);
    QObject::connect(&socket_, &QUdpSocket::readyRead, [this] {
      while (socket_.hasPendingDatagrams()) {
        const QNetworkDatagram request = socket_.receiveDatagram();
        const QByteArray reply = answer_(request.data());
        if (!reply.isEmpty())
          socket_.writeDatagram(reply, request.senderAddress(), quint16(request.senderPort()));
      }
    });
  }
  std::uint16_t port() const { return socket_.localPort(); }

 private:
  std::function<QByteArray(const QByteArray&)> answer_;
  QUdpSocket socket_;
};

QByteArray A2sReply(char kind, const QByteArray& body) {
  return QByteArray(4, '\xFF') + kind + body;
}

// Kind byte of a Steam-era request.
char RequestKind(const QByteArray& request) {
  return request.size() > 4 ? request[4] : '\0';
}

// An info reply ('I'): protocol, texts, app id, players 0 of 8, no bots, dedicated, Linux, public,
// no VAC.
QByteArray InfoReply(const QByteArray& name) {
  return A2sReply('I', QByteArray::fromHex("30") + name + QByteArray("\0map\0dir\0game\0", 14) +
                           QByteArray::fromHex("0000"
                                               "000800"
                                               "646C"
                                               "0000"));
}

QJsonObject JsonOf(const QueryRun& run) {
  QJsonParseError error{};
  const QJsonDocument document = QJsonDocument::fromJson(run.out, &error);
  if (error.error != QJsonParseError::NoError)
    qWarning("not JSON (%s): %s", qPrintable(error.errorString()), run.out.constData());
  return document.object();
}

}  // namespace

class TestQueryCli : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;

  QString WriteList(const QString& name, const TServerList& list) {
    const QString path = dir_.filePath(name);
    SaveServerList(list, path);
    return path;
  }

 private slots:
  void initTestCase() { QVERIFY(dir_.isValid()); }

  void printsDetailsPlayersAndRulesOfOneServer() {
    auto simulator = StartSimulator(
        {"--name", "Alpha", "--map", "dm_test", "--players", "3", "--bots", "0", "--rules", "5"});
    QVERIFY(simulator->port() != 0);

    const QueryRun run = RunQuery({Loopback(simulator->port())});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.err.isEmpty());
    QVERIFY(run.out.contains("Server Name:             Alpha\n"));
    QVERIFY(run.out.contains("running Map:             dm_test\n"));
    QVERIFY(run.out.contains("Player connected / max:  3/"));
    QVERIFY(run.out.contains("\nPlayers (3)\n"));
    QVERIFY(run.out.contains("\nRules (5)\n"));

    std::vector<std::string> commands = simulator->commands();
    std::sort(commands.begin(), commands.end());
    QCOMPARE(commands, (std::vector<std::string>{"details", "players", "rules"}));
  }

  void printsOneServerAsJson() {
    auto simulator = StartSimulator(
        {"--name", "Alpha", "--players", "2", "--bots", "1", "--rules", "4", "--mod"});
    const QueryRun run = RunQuery({"--json", Loopback(simulator->port())});
    QCOMPARE(run.exitCode, 0);
    const QJsonObject json = JsonOf(run);
    QCOMPARE(json["address"].toString(), Loopback(simulator->port()));
    QCOMPARE(json["details"]["serverName"].toString(), QString("Alpha"));
    QCOMPARE(json["details"]["players"].toInt(), 3);
    QVERIFY(json["details"]["mod"].isObject());
    QCOMPARE(json["players"].toArray().size(), 3);
    QCOMPARE(json["rules"].toArray().size(), 4);
    QVERIFY(json["rules"][0]["name"].isString());
    QVERIFY(json["roundTripMs"].toDouble() >= 0);
  }

  // Each missing reply shows as a time-out of its own part; any of them makes the status 1.
  void reportsMissingRepliesAsTimeouts_data() {
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("silent") << QStringList{"--ignore", "all"}
                            << QByteArray(": timeout\n\nDetails: timeout\n");
    QTest::newRow("no rules") << QStringList{"--ignore", "rules"}
                              << QByteArray("\nRules: timeout\n");
    QTest::newRow("too late") << QStringList{"--delay", "900 players"}
                              << QByteArray("\nPlayers: timeout\n");
    // A reply from another port is not the server's, whatever it says.
    QTest::newRow("other port") << QStringList{"--other-port", "details"}
                                << QByteArray("\nDetails: timeout\n");
  }
  void reportsMissingRepliesAsTimeouts() {
    QFETCH(QStringList, faults);
    QFETCH(QByteArray, expected);
    auto simulator = StartSimulator(faults);
    const QueryRun run = RunQuery({"--timeout", "300", Loopback(simulator->port())});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.out.contains(expected), run.out.constData());
  }

  void runsConsoleCommandAfterChallenge() {
    auto simulator = StartSimulator({"--password", "sec ret", "--players", "2", "--bots", "0"});
    const QueryRun run = RunQuery({"--rcon", "sec ret", "status", Loopback(simulator->port())});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.contains("2 users\n"), run.out.constData());

    const std::vector<std::string> commands = simulator->commands();
    QCOMPARE(commands.size(), std::size_t(2));
    QCOMPARE(commands[0], std::string("challenge rcon"));
    QVERIFY(commands[1].rfind("rcon ", 0) == 0);
    const std::string ending = " sec ret status";
    QVERIFY(commands[1].size() > ending.size() + 5);
    QCOMPARE(commands[1].substr(commands[1].size() - ending.size()), ending);

    const QueryRun json =
        RunQuery({"--json", "--rcon", "wrong", "status", Loopback(simulator->port())});
    QCOMPARE(json.exitCode, 0);
    QCOMPARE(JsonOf(json)["lines"][0].toString(), QString("Bad rcon_password."));
  }

  // A full server's status listing is longer than one reply datagram.
  void joinsLongConsoleOutput() {
    auto simulator =
        StartSimulator({"--password", "secret", "--players", "16", "--bots", "16", "--max", "32"});
    const QueryRun run = RunQuery({"--rcon", "secret", "status", Loopback(simulator->port())});
    QCOMPARE(run.exitCode, 0);
    const QList<QByteArray> lines = run.out.trimmed().split('\n');
    QCOMPARE(lines.size(), 7 + 32 + 1);
    QCOMPARE(lines.back(), QByteArray("32 users"));
    for (int i = 7; i < 7 + 32; ++i) QVERIFY2(lines[i].startsWith("#"), lines[i].constData());
  }

  void consoleWithoutChallengeSendsNoPassword() {
    auto simulator = StartSimulator({"--password", "secret", "--ignore", "challenge"});
    const QueryRun run =
        RunQuery({"--timeout", "300", "--rcon", "secret", "status", Loopback(simulator->port())});
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.err.contains("no console challenge"));
    QCOMPARE(simulator->commands(), std::vector<std::string>{"challenge rcon"});
  }

  void consoleWithoutReplyTimesOut() {
    auto simulator = StartSimulator({"--password", "secret", "--ignore", "rcon"});
    const QueryRun run =
        RunQuery({"--timeout", "300", "--rcon", "secret", "status", Loopback(simulator->port())});
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.err.contains("no console reply"));
  }

  // Replies are matched by their source: the slow first server's reply arrives last, and a
  // server named twice in the list answers both entries.
  void queriesWholeListAndMatchesRepliesBySource() {
    auto slow = StartSimulator({"--name", "Slow", "--delay", "250 details"});
    auto fast = StartSimulator({"--name", "Fast", "--count", "2", "--map", "dm_fast"});
    auto silent = StartSimulator({"--ignore", "all"});
    const QString list = WriteList(
        "mixed.zsl", {Entry("slow", Address(slow->port())), Entry("fast1", Address(fast->port())),
                      Entry("fast2", Address(fast->port() + 1)),
                      Entry("silent", Address(silent->port())), Entry("bad ip", "1.2.3.4.5:27015"),
                      Entry("no port", "127.0.0.1"), Entry("again", Address(fast->port()))});

    const QueryRun run = RunQuery({"--json", "--timeout", "1500", "--list", list});
    QCOMPARE(run.exitCode, 2);
    const QJsonArray servers = JsonOf(run)["servers"].toArray();
    QCOMPARE(servers.size(), 7);
    const std::vector<std::pair<QString, QString>> expected = {
        {"ok", "Slow"},      {"ok", "Fast 1"},    {"ok", "Fast 2"}, {"timeout", ""},
        {"bad address", ""}, {"bad address", ""}, {"ok", "Fast 1"}};
    for (int i = 0; i < servers.size(); ++i) {
      QCOMPARE(servers[i]["status"].toString(), expected[i].first);
      QCOMPARE(servers[i]["serverName"].toString(), expected[i].second);
    }
    QCOMPARE(servers[1]["map"].toString(), QString("dm_fast"));
    QVERIFY(servers[0]["roundTripMs"].toDouble() >= 250);
    QVERIFY(servers[4]["error"].toString().contains("ungültige IP"));
    QVERIFY(run.err.contains("\"bad ip\""));
    QVERIFY(run.err.contains("\"no port\""));
  }

  void printsOneLinePerServer_data() {
    QTest::addColumn<bool>("withSilent");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("all answer") << false << 0;
    QTest::newRow("one silent") << true << 1;
  }
  void printsOneLinePerServer() {
    QFETCH(bool, withSilent);
    QFETCH(int, exitCode);
    auto simulator = StartSimulator(
        {"--count", "3", "--map", "dm_list", "--players", "4", "--bots", "0", "--max", "12"});
    auto silent = StartSimulator({"--ignore", "all"});
    TServerList entries;
    for (int i = 0; i < 3; ++i)
      entries.push_back(Entry("server " + std::to_string(i), Address(simulator->port() + i)));
    if (withSilent) entries.push_back(Entry("quiet one", Address(silent->port())));
    const QueryRun run = RunQuery({"--timeout", "300", "--list", WriteList("lines.zsl", entries)});
    QCOMPARE(run.exitCode, exitCode);
    const QList<QByteArray> lines = run.out.trimmed().split('\n');
    QCOMPARE(lines.size(), int(entries.size()) + 1);
    QVERIFY(lines[0].startsWith("Name"));
    for (int i = 1; i <= 3; ++i) {
      QVERIFY(lines[i].startsWith("server " + QByteArray::number(i - 1)));
      QVERIFY(lines[i].contains(Address(simulator->port() + i - 1).c_str()));
      QVERIFY(lines[i].contains("dm_list"));
      QVERIFY(lines[i].contains("4/12"));
      QVERIFY(lines[i].endsWith(" ms"));
    }
    if (withSilent) QVERIFY(lines[4].startsWith("quiet one") && lines[4].endsWith("timeout"));
  }

  // All requests are in flight together: twenty silent servers cost one time-out, not twenty.
  void silentServersCostOneTimeout() {
    auto simulator = StartSimulator({"--count", "20", "--ignore", "all"});
    TServerList entries;
    for (int i = 0; i < 20; ++i)
      entries.push_back(Entry("s" + std::to_string(i), Address(simulator->port() + i)));
    const QueryRun run = RunQuery({"--timeout", "400", "--list", WriteList("silent.zsl", entries)});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.out.count("timeout"), 20);
    QVERIFY2(run.elapsedMs < 4000, QByteArray::number(run.elapsedMs).constData());
    QCOMPARE(simulator->commands().size(), std::size_t(20));
  }

  // Server and list texts can hold any byte: the terminal gets no control characters, and
  // Latin-1 shows as such.
  void keepsControlCharactersOffTheTerminal() {
    auto simulator = StartSimulator({"--name", "Evil\x1b[2Jname"});
    const QString list = WriteList("texts.zsl", {Entry("M\xFCller", Address(simulator->port()))});
    const QueryRun single = RunQuery({Loopback(simulator->port())});
    QVERIFY(!single.out.contains('\x1b'));
    QVERIFY(single.out.contains("Evil?[2Jname"));
    const QueryRun listed = RunQuery({"--list", list});
    QVERIFY(listed.out.contains("M\xC3\xBCller"));
    const QueryRun json = RunQuery({"--json", "--list", list});
    QCOMPARE(JsonOf(json)["servers"][0]["serverName"].toString(), QString("Evil\x1b[2Jname"));
    QCOMPARE(JsonOf(json)["servers"][0]["name"].toString(), QString::fromLatin1("M\xFCller"));
  }

  void refusesBadInput_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("nothing") << QStringList{} << QByteArray("no server given");
    QTest::newRow("unknown option")
        << QStringList{"--fast", "127.0.0.1:1"} << QByteArray("unknown option \"--fast\"");
    QTest::newRow("timeout 0") << QStringList{"--timeout", "0", "127.0.0.1:1"}
                               << QByteArray("--timeout needs milliseconds");
    QTest::newRow("timeout text") << QStringList{"--timeout", "soon", "127.0.0.1:1"}
                                  << QByteArray("not \"soon\"");
    QTest::newRow("timeout missing")
        << QStringList{"127.0.0.1:1", "--timeout"} << QByteArray("--timeout needs");
    QTest::newRow("rcon missing command")
        << QStringList{"--rcon", "pw"} << QByteArray("--rcon needs");
    QTest::newRow("two servers") << QStringList{"127.0.0.1:1", "127.0.0.1:2"}
                                 << QByteArray("more than one server");
    QTest::newRow("list and server")
        << QStringList{"--list", "a.zsl", "127.0.0.1:1"} << QByteArray("--list takes no HOST:PORT");
    QTest::newRow("list and rcon")
        << QStringList{"--list", "a.zsl", "--rcon", "p", "c"} << QByteArray("cannot be combined");
    QTest::newRow("five-part ip") << QStringList{"1.2.3.4.5:27015"} << QByteArray("ungültige IP");
    QTest::newRow("no port") << QStringList{"127.0.0.1"} << QByteArray("is not IP:PORT");
    QTest::newRow("port text") << QStringList{"127.0.0.1:abc"} << QByteArray("ungültiger Host");
    QTest::newRow("port range") << QStringList{"127.0.0.1:70000"}
                                << QByteArray("outside 1 to 65535");
    QTest::newRow("octet range") << QStringList{"300.0.0.1:27015"}
                                 << QByteArray("is not an IPv4 address");
    QTest::newRow("missing list") << QStringList{"--list", "@missing"}
                                  << QByteArray("Cannot open file");
    QTest::newRow("cut list") << QStringList{"--list", "@cut"}
                              << QByteArray("Invalid server list file");
  }
  void refusesBadInput() {
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, message);
    const QString cut = dir_.filePath("cut.zsl");
    QFile file(cut);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromStdString(
                   ServerListToBytes({Entry("one", "127.0.0.1:1"), Entry("two", "127.0.0.1:2")}))
                   .left(100));
    file.close();
    arguments.replaceInStrings("@missing", dir_.filePath("missing.zsl"));
    arguments.replaceInStrings("@cut", cut);

    const QueryRun run = RunQuery(arguments);
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.out.isEmpty());
    QVERIFY2(run.err.contains(message), run.err.constData());
  }

  // Today's servers in their ways of answering: a challenge before every reply, replies in pieces
  // of either layout, compressed, out of order, doubled, and an info reply of either kind.
  void a2sReadsAWholeServer_data() {
    QTest::addColumn<QStringList>("wire");
    QTest::addColumn<int>("infoRequests");
    QTest::newRow("plain") << QStringList{} << 1;
    QTest::newRow("info challenge") << QStringList{"--info-challenge"} << 2;
    QTest::newRow("goldsource pieces")
        << QStringList{"--split", "goldsource", "--split-size", "300"} << 1;
    QTest::newRow("pieces reversed and doubled")
        << QStringList{"--split-size", "300", "--reverse-pieces", "all", "--duplicate-piece", "2"}
        << 1;
    QTest::newRow("compressed") << QStringList{"--compress", "--split-size", "200",
                                               "--info-challenge"}
                                << 2;
    QTest::newRow("'I' before 'm'")
        << QStringList{"--both-info", "--reverse-pieces", "details"} << 1;
  }
  void a2sReadsAWholeServer() {
    QFETCH(QStringList, wire);
    QFETCH(int, infoRequests);
    auto simulator =
        StartSimulator(SteamServer({"--name", "Today", "--map", "de_test", "--players", "16",
                                    "--bots", "16", "--max", "32", "--rules", "60"}) +
                       wire);
    const QueryRun run = RunQuery({"--a2s", "--json", Loopback(simulator->port())});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.err.isEmpty(), run.err.constData());
    const QJsonObject json = JsonOf(run);
    QCOMPARE(json["details"]["serverName"].toString(), QString("Today"));
    QCOMPARE(json["details"]["map"].toString(), QString("de_test"));
    QCOMPARE(json["details"]["serverAddress"].toString(), Loopback(simulator->port()));
    QCOMPARE(json["details"]["players"].toInt(), 32);
    QCOMPARE(json["players"].toArray().size(), 32);
    QCOMPARE(json["rules"].toArray().size(), 60);
    QCOMPARE(CountA2sRequests(*simulator, 'T'), infoRequests);
    QCOMPARE(CountA2sRequests(*simulator, 'U'), 2);
    QCOMPARE(CountA2sRequests(*simulator, 'V'), 2);
  }

  // A server that wants a new challenge every time is asked three times at most. (The simulator's
  // challenge is one per client address, so an expired one may hold up players and rules too.)
  void a2sAnswersAChallengeAtMostTwice_data() {
    QTest::addColumn<int>("expired");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("one expired") << 1 << 0;
    QTest::newRow("two expired") << 2 << 1;
  }
  void a2sAnswersAChallengeAtMostTwice() {
    QFETCH(int, expired);
    QFETCH(int, exitCode);
    auto simulator = StartSimulator(SteamServer(
        {"--info-challenge", "--expire-challenge", QString("%1 details").arg(expired)}));
    const QueryRun run = RunQuery({"--a2s", "--timeout", "500", Loopback(simulator->port())});
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(run.out.contains("\nDetails: timeout\n"), exitCode != 0);
    QCOMPARE(CountA2sRequests(*simulator, 'T'), 3);
  }

  void a2sReportsMissingRepliesAsTimeouts_data() {
    QTest::addColumn<QStringList>("server");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("older server") << QStringList{} << QByteArray(": timeout\n\nDetails: timeout\n");
    QTest::newRow("piece missing")
        << SteamServer({"--rules", "60", "--split-size", "300", "--drop-piece", "2 rules"})
        << QByteArray("\nRules: timeout\n");
    QTest::newRow("other port") << SteamServer({"--other-port", "players"})
                                << QByteArray("\nPlayers: timeout\n");
  }
  void a2sReportsMissingRepliesAsTimeouts() {
    QFETCH(QStringList, server);
    QFETCH(QByteArray, expected);
    auto simulator = StartSimulator(server);
    const QueryRun run = RunQuery({"--a2s", "--timeout", "300", Loopback(simulator->port())});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.out.contains(expected), run.out.constData());
  }

  // A Steam-era reply may fill a whole UDP datagram, far more than a classic one.
  void a2sTakesLongDatagramsWhole() {
    QByteArray rules("\xF4\x01", 2);
    for (int i = 0; i < 500; ++i)
      rules += "rule_" + QByteArray::number(i) + '\0' + QByteArray(40, 'x') + '\0';
    FakeServer server([&rules](const QByteArray& request) {
      switch (RequestKind(request)) {
        case 'T':
          return InfoReply("Long");
        case 'U':
          return A2sReply('D', QByteArray(1, '\0'));
        case 'V':
          return A2sReply('E', rules);
      }
      return QByteArray();
    });
    const QueryRun run = RunQuery({"--a2s", "--json", Loopback(server.port())});
    QCOMPARE(run.exitCode, 0);
    const QJsonArray decoded = JsonOf(run)["rules"].toArray();
    QCOMPARE(decoded.size(), 500);
    QCOMPARE(decoded[499]["name"].toString(), QString("rule_499"));
    QCOMPARE(decoded[499]["value"].toString(), QString(40, 'x'));
  }

  // A compressed reply whose data is no bzip2 stream is refused, with the reason, and counts as
  // no reply.
  void a2sRefusesBrokenPiecesClearly() {
    const QByteArray piece = QByteArray("\xFE\xFF\xFF\xFF\x01\x00\x00\x80\x01\x00\xE0\x04", 12) +
                             QByteArray("\x64\x00\x00\x00\x12\x34\x56\x78", 8) + "BZh9" +
                             QByteArray(40, '\x5A');
    FakeServer server([&piece](const QByteArray&) { return piece; });
    const QueryRun single = RunQuery({"--a2s", "--timeout", "300", Loopback(server.port())});
    QCOMPARE(single.exitCode, 1);
    for (const char* part : {"details", "players", "rules"})
      QVERIFY2(single.err.contains(Loopback(server.port()).toLatin1() + ": " + part +
                                   " reply refused: bzip2"),
               single.err.constData());

    const QString list = WriteList("refused.zsl", {Entry("broken", Address(server.port()))});
    const QueryRun listed = RunQuery({"--a2s", "--timeout", "300", "--list", list});
    QCOMPARE(listed.exitCode, 1);
    QVERIFY2(listed.out.contains("timeout (reply refused: bzip2"), listed.out.constData());
    const QueryRun json = RunQuery({"--a2s", "--json", "--timeout", "300", "--list", list});
    QCOMPARE(JsonOf(json)["servers"][0]["status"].toString(), QString("timeout"));
    QVERIFY(JsonOf(json)["servers"][0]["error"].toString().startsWith("reply refused: bzip2"));
  }

  // All info requests of a list are in flight together; a challenge reply makes only its own
  // server be asked again, at most twice; of 'm' and 'I' to one request the first counts.
  void a2sListAnswersEachServersChallenge() {
    auto today =
        StartSimulator(SteamServer({"--info-challenge", "--name", "Today", "--count", "4"}));
    auto older = StartSimulator(SteamServer({"--both-info", "--name", "Older"}));
    auto stubborn =
        StartSimulator(SteamServer({"--info-challenge", "--expire-challenge", "9 details"}));
    auto classic = StartSimulator({"--name", "Classic"});
    TServerList entries;
    for (int i = 0; i < 4; ++i)
      entries.push_back(Entry("today" + std::to_string(i), Address(today->port() + i)));
    entries.push_back(Entry("older", Address(older->port())));
    entries.push_back(Entry("stubborn", Address(stubborn->port())));
    entries.push_back(Entry("classic", Address(classic->port())));
    entries.push_back(Entry("today again", Address(today->port())));

    const QueryRun run =
        RunQuery({"--a2s", "--json", "--timeout", "800", "--list", WriteList("a2s.zsl", entries)});
    QCOMPARE(run.exitCode, 1);
    const QJsonArray servers = JsonOf(run)["servers"].toArray();
    const std::vector<std::pair<QString, QString>> expected = {
        {"ok", "Today 1"}, {"ok", "Today 2"}, {"ok", "Today 3"}, {"ok", "Today 4"},
        {"ok", "Older"},   {"timeout", ""},   {"timeout", ""},   {"ok", "Today 1"}};
    QCOMPARE(servers.size(), int(expected.size()));
    for (int i = 0; i < servers.size(); ++i) {
      QCOMPARE(servers[i]["status"].toString(), expected[i].first);
      QCOMPARE(servers[i]["serverName"].toString(), expected[i].second);
    }
    // The server listed twice is asked twice, each time again with the challenge.
    for (int i = 0; i < 4; ++i)
      QCOMPARE(CountA2sRequests(*today, 'T', std::uint16_t(today->port() + i)), i == 0 ? 4 : 2);
    QCOMPARE(CountA2sRequests(*older, 'T'), 1);
    QCOMPARE(CountA2sRequests(*stubborn, 'T'), 3);
    QCOMPARE(CountA2sRequests(*classic, 'T'), 1);
  }

  void helpNamesTheOneRequestOfAList() {
    const QueryRun run = RunQuery({"--help"});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.out.startsWith("Usage: zerval-query"));
    QVERIFY(run.out.contains("one details request per server"));
    QVERIFY(run.out.contains("--a2s "));
  }
};

QTEST_GUILESS_MAIN(TestQueryCli)
#include "test_query_cli.moc"
