// zerval-query as a child process against the game-server simulator on 127.0.0.1.
#include <sys/stat.h>

#include <QFile>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/server_address.h"
#include "filelimits.h"
#include "floodpeer.h"
#include "querytool.h"
#include "simulator.h"
#include "store/mytypes.h"
#include "store/stdfuncs.h"
#include "udppeer.h"

namespace {

QString Loopback(std::uint16_t port) {
  return "127.0.0.1:" + QString::number(port);
}

// A port on 127.0.0.1 where nothing listens: the system answers with ICMP port unreachable.
std::uint16_t ClosedPort() {
  QUdpSocket socket;
  socket.bind(QHostAddress::LocalHost, 0);
  return socket.localPort();
}

int CountCommands(const SimulatorProcess& simulator, const std::string& command) {
  const std::vector<std::string> commands = simulator.commands();
  return int(std::count(commands.begin(), commands.end(), command));
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

// What a server was asked, in order of arrival: text commands as sent, Steam-era requests by
// their kind ("T" info, "U" players, "V" rules).
QStringList Asked(const SimulatorProcess& simulator) {
  QStringList asked;
  for (const SimulatorProcess::Request& request : simulator.requests())
    asked << (request.bytes.rfind("\xFF\xFF\xFF\xFF", 0) == 0
                  ? QString(request.bytes[4])
                  : QString::fromStdString(request.bytes));
  return asked;
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

QByteArray Text(const QByteArray& text) {
  return text + '\0';
}

// Kind byte of a Steam-era request.
char RequestKind(const QByteArray& request) {
  return request.size() > 4 ? request[4] : '\0';
}

// An info reply ('I'): protocol, texts, app id, players 0 of 8, no bots, of server type `type`
// and environment `environment`, public; `rest` from the anti-cheat byte on.
QByteArray InfoReply(const QByteArray& name, char type = 'd', char environment = 'l',
                     const QByteArray& rest = QByteArray(1, '\0')) {
  return A2sReply('I', QByteArray::fromHex("30") + name + QByteArray("\0map\0dir\0game\0", 14) +
                           QByteArray::fromHex("0000"
                                               "000800") +
                           type + environment + '\0' + rest);
}

QJsonObject JsonOf(const QueryRun& run) {
  QJsonParseError error{};
  const QJsonDocument document = QJsonDocument::fromJson(run.out, &error);
  if (error.error != QJsonParseError::NoError)
    qWarning("not JSON (%s): %s", qPrintable(error.errorString()), run.out.constData());
  return document.object();
}

// The object of the one server that a run asked.
QJsonObject FirstServer(const QueryRun& run) {
  return JsonOf(run)["servers"][0].toObject();
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

  QString WriteFile(const QString& name, const QByteArray& bytes) {
    const QString path = dir_.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) return {};
    return path;
  }

 private slots:
  void initTestCase() { QVERIFY(dir_.isValid()); }

  void printsDetailsPlayersAndRulesOfOneServer() {
    auto simulator = StartSimulator(
        {"--name", "Alpha", "--map", "dm_test", "--players", "3", "--bots", "0", "--rules", "5"});
    QVERIFY(simulator->port() != 0);

    const QueryRun run = RunQueryTool({Loopback(simulator->port())});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.err.isEmpty());
    QVERIFY(run.out.contains("Server Name:             Alpha\n"));
    QVERIFY(run.out.contains("running Map:             dm_test\n"));
    QVERIFY(run.out.contains("Player connected / max:  3/"));
    QVERIFY(run.out.contains("\nPlayers (3)\n  Nick          Frags  Time\n"));
    QVERIFY(run.out.contains("\nRules (5)\n"));

    QCOMPARE(Asked(*simulator), (QStringList{"details", "T", "players", "rules"}));
  }

  // Values as the server sent them: the simulator's sv_contact (rule 29) is empty; players carry
  // their seconds connected. --pretty indents the same document.
  void printsOneServerAsJson() {
    auto simulator = StartSimulator(
        {"--name", "Alpha", "--players", "2", "--bots", "1", "--rules", "30", "--mod"});
    const QueryRun run = RunQueryTool({"--json", Loopback(simulator->port())});
    QCOMPARE(run.exitCode, 0);
    const QJsonObject json = FirstServer(run);
    QCOMPARE(json["address"].toString(), Loopback(simulator->port()));
    QCOMPARE(json["details"]["serverName"].toString(), QString("Alpha"));
    QCOMPARE(json["details"]["players"].toInt(), 3);
    QCOMPARE(json["details"]["serverType"].toString(), QString("dedicated"));
    QVERIFY(json["details"]["mod"].isObject());
    QCOMPARE(json["players"].toArray().size(), 3);
    QVERIFY(json["players"][0]["time"].toDouble() >= 30);
    QCOMPARE(json["rules"].toArray().size(), 30);
    QCOMPARE(json["rules"][28]["name"].toString(), QString("sv_contact"));
    QVERIFY(json["rules"][28]["value"].isString() &&
            json["rules"][28]["value"].toString().isEmpty());
    QVERIFY(json["roundTripMs"].toDouble() > 0);
    QVERIFY(!json.contains("error") && !json.contains("a2s"));

    const QueryRun pretty = RunQueryTool({"--pretty", Loopback(simulator->port())});
    QVERIFY(pretty.out.startsWith("{\n  \"servers\": [\n    {\n      \"target\": "));
    QCOMPARE(FirstServer(pretty)["rules"], json["rules"]);
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
    const QueryRun run = RunQueryTool({"--timeout", "300", Loopback(simulator->port())});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.out.contains(expected), run.out.constData());
  }

  // The password from the command line, a file or the environment; a refused line exits with 3.
  void runsConsoleCommandAfterChallenge_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("--password") << QStringList{"--password", "sec ret"} << QStringList{} << 0;
    QTest::newRow("--password-file") << QStringList{"--password-file=@file"} << QStringList{} << 0;
    QTest::newRow("environment") << QStringList{} << QStringList{"ZERVAL_RCON_PASSWORD=sec ret"}
                                 << 0;
    QTest::newRow("wrong password") << QStringList{"--password", "wrong"} << QStringList{} << 3;
  }
  void runsConsoleCommandAfterChallenge() {
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, environment);
    QFETCH(int, exitCode);
    arguments.replaceInStrings("@file", WriteFile("password", "sec ret\nsecond line\n"));
    auto simulator = StartSimulator({"--password", "sec ret", "--players", "2", "--bots", "0"});
    const QueryRun run = RunQueryTool(
        QStringList{"--json", "--rcon", "status", Loopback(simulator->port())} + arguments, {},
        environment);
    QCOMPARE(run.exitCode, exitCode);
    const QJsonObject json = FirstServer(run);
    const std::vector<std::string> commands = simulator->commands();
    QCOMPARE(commands.size(), std::size_t(2));
    QCOMPARE(commands[0], std::string("challenge rcon"));
    QVERIFY(commands[1].rfind("rcon ", 0) == 0);
    if (exitCode == 3) {
      QCOMPARE(json["lines"][0].toString(), QString("Bad rcon_password."));
      QVERIFY2(run.err.contains("console refused: wrong password"), run.err.constData());
      return;
    }
    QVERIFY(json["lines"].toArray().contains(QString("2 users")));
    const std::string ending = " sec ret status";
    QCOMPARE(commands[1].substr(commands[1].size() - ending.size()), ending);
  }

  // A banned address is refused at its challenge request already; an expired challenge is
  // renewed once and the line sent again with the new one.
  void consoleRefusalsAndRenewal() {
    auto banning = StartSimulator({"--password", "secret", "--ban-after", "1"});
    const QStringList wrong{"--rcon", "status", "--password", "wrong", Loopback(banning->port())};
    QCOMPARE(RunQueryTool(wrong).exitCode, 3);
    const QueryRun banned = RunQueryTool(wrong);
    QCOMPARE(banned.exitCode, 3);
    QVERIFY2(banned.err.contains("banned"), banned.err.constData());

    auto expiring = StartSimulator({"--password", "secret", "--expire-challenge", "1 rcon"});
    const QueryRun renewed = RunQueryTool({"--rcon", "say hi", Loopback(expiring->port())}, {},
                                          {"ZERVAL_RCON_PASSWORD=secret"});
    QCOMPARE(renewed.exitCode, 0);
    QCOMPARE(renewed.out, QByteArray("Console: hi\n"));
    QCOMPARE(CountCommands(*expiring, "challenge rcon"), 2);
  }

  // A full server's status listing is longer than one reply datagram.
  void joinsLongConsoleOutput() {
    auto simulator =
        StartSimulator({"--password", "secret", "--players", "16", "--bots", "16", "--max", "32"});
    const QueryRun run =
        RunQueryTool({"--rcon", "status", "--password", "secret", Loopback(simulator->port())});
    QCOMPARE(run.exitCode, 0);
    const QList<QByteArray> lines = run.out.trimmed().split('\n');
    QCOMPARE(lines.size(), 7 + 32 + 1);
    QCOMPARE(lines.back(), QByteArray("32 users"));
    for (int i = 7; i < 7 + 32; ++i) QVERIFY2(lines[i].startsWith("#"), lines[i].constData());
  }

  void consoleWithoutChallengeSendsNoPassword() {
    auto simulator = StartSimulator({"--password", "secret", "--ignore", "challenge"});
    const QueryRun run = RunQueryTool({"--timeout", "300", "--rcon", "status", "--password",
                                       "secret", Loopback(simulator->port())});
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.err.contains("no console challenge"));
    QCOMPARE(simulator->commands(), std::vector<std::string>{"challenge rcon"});
  }

  // A server flooding console text cannot hold the tool past its time-out: it ends while the
  // flood still goes on.
  void floodEndsAtTheTimeout() {
    const std::string text =
        std::string(4, '\xFF') + 'l' + std::string(1400, 'x') + std::string("\n\0\0", 3);
    FloodPeer flood(text, std::chrono::milliseconds(4000), FloodPeer::From::Server);
    const QueryRun run = RunQueryTool(
        {"--timeout", "300", "--rcon", "status", "--password", "pw", Loopback(flood.port())});
    QVERIFY(flood.flooding());
    QVERIFY(run.exitCode == 1 || run.exitCode == 4);
  }

  void consoleWithoutReplyTimesOut() {
    auto simulator = StartSimulator({"--password", "secret", "--ignore", "rcon"});
    const QueryRun run = RunQueryTool({"--timeout", "300", "--rcon", "status", "--password",
                                       "secret", Loopback(simulator->port())});
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
                      Entry("silent", Address(silent->port())), Entry("open bracket", "[::1"),
                      Entry("no port", "127.0.0.1:"), Entry("again", Address(fast->port()))});

    const QueryRun run = RunQueryTool({"--json", "--timeout", "1500", "--list", list});
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
    QVERIFY(servers[0]["roundTripMs"].isDouble() && servers[3]["roundTripMs"].isNull());
    QVERIFY(servers[3]["error"].toString().startsWith("no reply within 1500 ms"));
    QVERIFY(servers[4]["error"].toString().contains("\"]\" is missing"));
    QVERIFY(run.err.contains("\"open bracket\""));
    QVERIFY(run.err.contains("\"no port\" (127.0.0.1:): the port must be"));
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
    const QueryRun run =
        RunQueryTool({"--timeout", "300", "--list", WriteList("lines.zsl", entries)});
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
    const QueryRun run =
        RunQueryTool({"--timeout", "400", "--list", WriteList("silent.zsl", entries)});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.out.count("timeout"), 20);
    QVERIFY2(run.elapsedMs < 4000, QByteArray::number(run.elapsedMs).constData());
    QCOMPARE(CountCommands(*simulator, "details"), 20);
  }

  // Server and list texts can hold any byte: the terminal gets no control characters, and
  // Latin-1 shows as such.
  void keepsControlCharactersOffTheTerminal() {
    auto simulator = StartSimulator({"--name", "Evil\x1b[2J\u202Ename"});
    const QString list = WriteList("texts.zsl", {Entry("M\xFCller", Address(simulator->port()))});
    const QueryRun single = RunQueryTool({Loopback(simulator->port())});
    QVERIFY(!single.out.contains('\x1b'));
    QVERIFY(single.out.contains("Evil?[2J?name"));
    const QueryRun listed = RunQueryTool({"--list", list});
    QVERIFY(listed.out.contains("M\xC3\xBCller"));
    const QueryRun json = RunQueryTool({"--json", "--list", list});
    // JSON escapes the right-to-left override: the same value, safe to show.
    QVERIFY(!json.out.contains("\u202E") && json.out.contains("\\u202E"));
    QCOMPARE(JsonOf(json)["servers"][0]["serverName"].toString(), QString("Evil\x1b[2J\u202Ename"));
    QCOMPARE(JsonOf(json)["servers"][0]["name"].toString(), QString::fromLatin1("M\xFCller"));
    // An address read from a list reaches standard error masked as well.
    const QueryRun escaped = RunQueryTool({"--list", "-"}, "bad\x1b[2J:1\n");
    QCOMPARE(escaped.exitCode, 2);
    QVERIFY(!escaped.err.contains('\x1b') && escaped.err.contains("bad?[2J:1"));
  }

  void refusesBadInput_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("nothing") << QStringList{} << QByteArray("no server given");
    QTest::newRow("unknown option")
        << QStringList{"--fast", "127.0.0.1:1"} << QByteArray("unknown option \"--fast\"");
    QTest::newRow("timeout 0") << QStringList{"--timeout", "0", "127.0.0.1:1"}
                               << QByteArray("--timeout needs milliseconds");
    QTest::newRow("timeout text") << QStringList{"--timeout=soon", "127.0.0.1:1"}
                                  << QByteArray("not \"soon\"");
    QTest::newRow("timeout missing")
        << QStringList{"127.0.0.1:1", "--timeout"} << QByteArray("\"--timeout\" needs a value");
    QTest::newRow("retries") << QStringList{"-r", "11", "127.0.0.1:1"}
                             << QByteArray("--retries needs a count from 0 to 10");
    QTest::newRow("interval") << QStringList{"--interval", "0", "127.0.0.1:1"}
                              << QByteArray("--interval needs milliseconds");
    QTest::newRow("rcon missing command") << QStringList{"--rcon"} << QByteArray("needs a value");
    QTest::newRow("rcon without password")
        << QStringList{"--rcon", "status", "127.0.0.1:1"} << QByteArray("ZERVAL_RCON_PASSWORD");
    QTest::newRow("rcon, two servers")
        << QStringList{"--rcon", "status", "--password", "p", "127.0.0.1:1", "127.0.0.1:2"}
        << QByteArray("one server only");
    QTest::newRow("password without rcon")
        << QStringList{"--password", "p", "127.0.0.1:1"} << QByteArray("only used with --rcon");
    QTest::newRow("missing password file")
        << QStringList{"--rcon", "status", "--password-file", "@missing", "127.0.0.1:1"}
        << QByteArray("cannot read the password file");
    QTest::newRow("protocol") << QStringList{"--protocol", "steam", "127.0.0.1:1"}
                              << QByteArray("--protocol wants auto, classic or a2s, not \"steam\"");
    QTest::newRow("list and rcon") << QStringList{"--list", "a.zsl", "--rcon", "c", "127.0.0.1:1"}
                                   << QByteArray("cannot be combined");
    QTest::newRow("missing list") << QStringList{"--list", "@missing"}
                                  << QByteArray("Cannot open file");
    QTest::newRow("cut list") << QStringList{"--list", "@cut"}
                              << QByteArray("Invalid server list file");
    QTest::newRow("device as list")
        << QStringList{"--list", "/dev/zero"} << QByteArray("Invalid server list file /dev/zero");
    QTest::newRow("list too long") << QStringList{"--list", "-", "--list", "@long"}
                                   << QByteArray("more than 1000000 servers listed");
    // A password is sent as given or not at all: whatever could hang, be cut or run a second
    // command is refused.
    const QStringList console{"--rcon", "status", "127.0.0.1:1"};
    QTest::newRow("password file a FIFO without a writer")
        << QStringList{"--password-file", "@fifo"} + console << QByteArray("no regular file");
    QTest::newRow("password file a device")
        << QStringList{"--password-file", "/dev/zero"} + console << QByteArray("no regular file");
    QTest::newRow("password too long") << QStringList{"--password-file", "@pw256"} + console
                                       << QByteArray("longer than 255 bytes");
    QTest::newRow("password with a zero byte")
        << QStringList{"--password-file", "@zero"} + console << QByteArray("holds a zero byte");
    QTest::newRow("password with a line feed")
        << QStringList{"--password", "pw\nstatus"} + console << QByteArray("a line feed");
    // After "--" an option is a server address: here a second one.
    QTest::newRow("after --") << QStringList{"--rcon", "c", "--password", "p", "--", "--json", "x"}
                              << QByteArray("one server only");
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
    QByteArray lines;
    if (arguments.contains("@long")) {
      lines = QByteArray("127.0.0.1:1\n").repeated(500000);
      arguments.replaceInStrings("@long", WriteFile("long.txt", lines + "127.0.0.1:2\n"));
    }
    arguments.replaceInStrings("@pw256", WriteFile("long", QByteArray(256, 'p') + "\n"));
    arguments.replaceInStrings("@zero", WriteFile("zero", QByteArray("pa\0ss\n", 6)));
    const QString fifo = dir_.filePath("fifo");
    QFile::remove(fifo);
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const FifoWriterVisit unblock(fifo.toStdString());
    arguments.replaceInStrings("@fifo", fifo);

    const QueryRun run = RunQueryTool(arguments, lines);
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
    QTest::newRow("packed pieces") << QStringList{"--split", "packed", "--split-size", "300"} << 1;
    QTest::newRow("older source pieces, without the size field")
        << QStringList{"--split", "older-source", "--split-size", "300"} << 1;
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
        StartSimulator(SteamServer({"--name", "Today", "--map", "dm_test", "--players", "16",
                                    "--bots", "16", "--max", "32", "--rules", "60"}) +
                       wire);
    const QueryRun run = RunQueryTool({"--a2s", "--json", Loopback(simulator->port())});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.err.isEmpty(), run.err.constData());
    const QJsonObject json = FirstServer(run);
    QCOMPARE(json["details"]["serverName"].toString(), QString("Today"));
    QCOMPARE(json["details"]["map"].toString(), QString("dm_test"));
    QCOMPARE(json["details"]["serverAddress"].toString(), Loopback(simulator->port()));
    QCOMPARE(json["details"]["players"].toInt(), 32);
    QCOMPARE(json["players"].toArray().size(), 32);
    QCOMPARE(json["rules"].toArray().size(), 60);
    // Today's servers send names in UTF-8.
    QVERIFY(
        json["players"].toArray().contains(QJsonObject{{"name", QString::fromUtf8("M\xC3\xBCller")},
                                                       {"frags", json["players"][4]["frags"]},
                                                       {"time", json["players"][4]["time"]}}));
    if (!wire.contains("--both-info")) {
      QCOMPARE(json["a2s"]["bots"].toInt(), 16);
      QCOMPARE(json["a2s"]["version"].toString(), QString("1.0.2.0"));
      QCOMPARE(json["a2s"]["gamePort"].toInt(), int(simulator->port()));
      QCOMPARE(json["a2s"]["vac"].toBool(true), false);
    }
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
    const QueryRun run =
        RunQueryTool({"--a2s", "--retries", "0", "--timeout", "500", Loopback(simulator->port())});
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
    const QueryRun run = RunQueryTool({"--a2s", "--timeout", "300", Loopback(simulator->port())});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.out.contains(expected), run.out.constData());
  }

  // A Steam-era reply may fill a whole UDP datagram, far more than a classic one.
  // Nor are texts cut at the window's 50 bytes.
  void a2sTakesLongDatagramsWhole() {
    QByteArray rules("\xF4\x01", 2);
    for (int i = 0; i < 500; ++i)
      rules += "rule_" + QByteArray::number(i) + '\0' + QByteArray(70, 'x') + '\0';
    FakeServer server([&rules](const QByteArray& request) {
      switch (RequestKind(request)) {
        case 'T':
          return InfoReply("Long");
        case 'U':
          return A2sReply('D', "\x01\x01" + Text(QByteArray(60, 'n')) + QByteArray(8, '\0'));
        case 'V':
          return A2sReply('E', rules);
      }
      return QByteArray();
    });
    const QueryRun run = RunQueryTool({"--a2s", "--json", Loopback(server.port())});
    QCOMPARE(run.exitCode, 0);
    const QJsonArray decoded = FirstServer(run)["rules"].toArray();
    QCOMPARE(decoded.size(), 500);
    QCOMPARE(decoded[499]["name"].toString(), QString("rule_499"));
    QCOMPARE(decoded[499]["value"].toString(), QString(70, 'x'));
    QCOMPARE(FirstServer(run)["players"][0]["name"].toString(), QString(60, 'n'));
  }

  // What the window shows as "none", "not set", "Listen" or "Windows" the JSON gives as sent: an
  // empty download address and rule value, a relay on macOS, the info reply's further fields. A
  // time that is no number is null.
  void jsonKeepsValuesAsSent() {
    const QByteArray details =
        A2sReply('m', Text("1.2.3.4:5") + Text("Old") + Text("map") + Text("dir") + Text("game") +
                          QByteArray::fromHex("0108 2f 706d 00 01") + Text("http://info") +
                          Text("") + QByteArray::fromHex("00 01000000 02000000 00 01"));
    const QByteArray info =
        InfoReply("New", 'p', 'm',
                  QByteArray::fromHex("01") + Text("2.0") +
                      QByteArray::fromHex("B0 8769 0100000000000090") + Text("tag,other"));
    FakeServer server([&](const QByteArray& request) {
      switch (RequestKind(request)) {
        case 'd':
          return details;
        case 'T':
          return info;
        case 'p':
        case 'U':
          return A2sReply('D', "\x01\x01" + Text("nan") + QByteArray::fromHex("00000000 0000C07F"));
        case 'r':
        case 'V':
          return A2sReply('E', QByteArray("\x01\x00", 2) + Text("sv_contact") + Text(""));
      }
      return QByteArray();
    });
    const QJsonObject classic = FirstServer(RunQueryTool({"--json", Loopback(server.port())}));
    QCOMPARE(classic["details"]["mod"]["downloadUrl"], QJsonValue(""));
    QCOMPARE(classic["details"]["serverType"].toString(), QString("relay"));
    QCOMPARE(classic["rules"][0]["value"], QJsonValue(""));
    QVERIFY(classic["players"][0]["time"].isNull());

    const QJsonObject a2s = FirstServer(RunQueryTool({"--a2s", "--json", Loopback(server.port())}));
    QCOMPARE(a2s["details"]["serverType"].toString(), QString("relay"));
    QCOMPARE(a2s["details"]["os"].toString(), QString("macos"));
    QCOMPARE(a2s["a2s"]["vac"].toBool(), true);
    QCOMPARE(a2s["a2s"]["gamePort"].toInt(), 27015);
    QCOMPARE(a2s["a2s"]["steamId"].toString(), QString("10376293541461622785"));
    QCOMPARE(a2s["a2s"]["keywords"].toString(), QString("tag,other"));

    const QJsonObject refused = FirstServer(RunQueryTool({"--json", Loopback(ClosedPort())}));
    QVERIFY(refused["roundTripMs"].isNull() && refused["details"].isNull());
    QVERIFY(refused["error"].toString().contains("refused"));
  }

  // A compressed reply whose data is no bzip2 stream is refused, with the reason, and counts as
  // no reply.
  void a2sRefusesBrokenPiecesClearly() {
    const QByteArray piece = QByteArray("\xFE\xFF\xFF\xFF\x01\x00\x00\x80\x01\x00\xE0\x04", 12) +
                             QByteArray("\x64\x00\x00\x00\x12\x34\x56\x78", 8) + "BZh9" +
                             QByteArray(40, '\x5A');
    FakeServer server([&piece](const QByteArray&) { return piece; });
    const QueryRun single = RunQueryTool({"--a2s", "--timeout", "300", Loopback(server.port())});
    QCOMPARE(single.exitCode, 4);
    for (const char* part : {"details", "players", "rules"})
      QVERIFY2(single.err.contains(Loopback(server.port()).toLatin1() + ": " + part +
                                   ": reply refused: bzip2"),
               single.err.constData());

    const QString list = WriteList("refused.zsl", {Entry("broken", Address(server.port()))});
    const QueryRun listed = RunQueryTool({"--a2s", "--timeout", "300", "--list", list});
    QCOMPARE(listed.exitCode, 4);
    QVERIFY2(listed.out.contains("unreadable (reply refused: bzip2"), listed.out.constData());
    const QueryRun json = RunQueryTool({"--a2s", "--json", "--timeout", "300", "--list", list});
    QCOMPARE(JsonOf(json)["servers"][0]["status"].toString(), QString("unreadable"));
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

    const QueryRun run = RunQueryTool({"--a2s", "--json", "--retries", "0", "--timeout", "800",
                                       "--list", WriteList("a2s.zsl", entries)});
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

  // With no protocol named, each server's is found: the first contact adds the info request
  // beside "details", and the rest is asked in the protocol that answered; classic wins when both
  // do, and a silent server times out as before.
  void findsEachServersProtocol_data() {
    QTest::addColumn<QStringList>("server");
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<QStringList>("asked");
    QTest::newRow("classic") << QStringList{} << "classic"
                             << QStringList{"details", "T", "players", "rules"};
    QTest::newRow("A2S only, challenges everywhere")
        << SteamServer({"--info-challenge"}) << "a2s"
        << QStringList{"details", "T", "T", "U", "U", "V", "V"};
    QTest::newRow("both") << QStringList{"--protocol", "both"} << "classic"
                          << QStringList{"details", "T", "players", "rules"};
    QTest::newRow("silent") << QStringList{"--ignore", "all"} << "" << QStringList{"details", "T"};
  }
  void findsEachServersProtocol() {
    QFETCH(QStringList, server);
    QFETCH(QString, protocol);
    QFETCH(QStringList, asked);
    auto simulator = StartSimulator(server + QStringList{"--name", "Found"});
    const QueryRun run = RunQueryTool({"--json", "--timeout", "400", Loopback(simulator->port())});
    QCOMPARE(run.exitCode, protocol.isEmpty() ? 1 : 0);
    const QJsonObject json = FirstServer(run);
    QCOMPARE(json["protocol"].toString(), protocol);
    QCOMPARE(json["details"]["serverName"].toString(), protocol.isEmpty() ? "" : "Found");
    QCOMPARE(json["players"].toArray().size(), protocol.isEmpty() ? 0 : 8);
    // The first contact in order; the rest goes out as answers come.
    QStringList wire = Asked(*simulator);
    std::sort(wire.begin() + std::min<int>(2, wire.size()), wire.end());
    QCOMPARE(wire, asked);
    if (protocol.isEmpty())
      QVERIFY2(run.err.contains(": players: no reply within 400 ms"), run.err.constData());
    else
      QVERIFY(RunQueryTool({Loopback(simulator->port())})
                  .out.contains(" ms with the " + protocol.toLatin1() + " protocol\n"));
  }

  // A mixed list: each server answers in its own protocol, a line's prefix forces one, a server
  // listed again is found again, and a server of the other generation at the same address is
  // found afresh at the next run.
  void listFindsEachServersProtocol() {
    auto classic = StartSimulator({});
    auto steam = StartSimulator(SteamServer({"--info-challenge"}));
    auto both = StartSimulator({"--protocol", "both"});
    auto silent = StartSimulator({"--ignore", "all"});
    const QByteArray c = Loopback(classic->port()).toLatin1();
    const QByteArray a = Loopback(steam->port()).toLatin1();
    const QByteArray list = c + "\n" + a + "\na2s " + a + "\n" + a + "\n" +
                            Loopback(both->port()).toLatin1() + "\n" +
                            Loopback(silent->port()).toLatin1() + "\nclassic " + a + "\na2s " + c;
    const QueryRun run = RunQueryTool({"--json", "--timeout", "400", "--list", "-"}, list);
    QCOMPARE(run.exitCode, 1);
    const QJsonArray servers = JsonOf(run)["servers"].toArray();
    const std::vector<std::pair<QString, QJsonValue>> expected = {
        {"ok", "classic"}, {"ok", "a2s"},   {"ok", "a2s"},          {"ok", "a2s"},
        {"ok", "classic"}, {"timeout", {}}, {"timeout", "classic"}, {"timeout", "a2s"}};
    QCOMPARE(servers.size(), int(expected.size()));
    for (int i = 0; i < servers.size(); ++i) {
      QCOMPARE(servers[i]["status"].toString(), expected[i].first);
      QCOMPARE(servers[i]["protocol"], expected[i].second);
    }

    const std::uint16_t port = classic->port();
    QVERIFY(classic->stop());
    auto successor = StartSimulator(SteamServer({"--port", QString::number(port)}));
    QVERIFY(RunQueryTool({"--list", "-"}, Loopback(port).toLatin1()).out.contains(" a2s "));
    QCOMPARE(FirstServer(RunQueryTool({"--json", Loopback(port)}))["protocol"].toString(),
             QString("a2s"));
  }

  // A protocol named is the only one asked, whatever answers.
  void forcedProtocolIsTheOnlyOneAsked_data() {
    QTest::addColumn<QStringList>("server");
    QTest::addColumn<QStringList>("option");
    QTest::addColumn<QStringList>("asked");
    QTest::newRow("classic") << SteamServer() << QStringList{"--protocol", "classic"}
                             << QStringList{"details", "players", "rules"};
    QTest::newRow("a2s") << QStringList{} << QStringList{"--protocol", "a2s"}
                         << QStringList{"T", "U", "V"};
    QTest::newRow("--a2s") << QStringList{} << QStringList{"--a2s"} << QStringList{"T", "U", "V"};
  }
  void forcedProtocolIsTheOnlyOneAsked() {
    QFETCH(QStringList, server);
    QFETCH(QStringList, option);
    QFETCH(QStringList, asked);
    auto simulator = StartSimulator(server);
    const QueryRun run =
        RunQueryTool(option + QStringList{"--timeout", "300", Loopback(simulator->port())});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(Asked(*simulator), asked);
  }

  void helpAndVersion() {
    const QueryRun run = RunQueryTool({"--help"});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.out.startsWith("Usage: zerval-query"));
    for (const char* text :
         {"--a2s ", "--protocol NAME", "--retries N", "--password-file FILE",
          "ZERVAL_RCON_PASSWORD", "Exit status", "  4  a reply could not be read"})
      QVERIFY2(run.out.contains(text), text);
    const QueryRun version = RunQueryTool({"--version"});
    QCOMPARE(version.exitCode, 0);
    QVERIFY(QRegularExpression("^zerval-query \\d+\\.\\d+").match(version.out).hasMatch());
  }

  // Addresses are read without sending anything; only the forms that name loopback are asked.
  void readsEveryKindOfAddress_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("any dotted IPv4") << "8.8.8.8:27015"
                                     << "8.8.8.8:27015";
    QTest::newRow("short IPv4, default port") << " 1.2.3.4 "
                                              << "1.2.3.4:27015";
    QTest::newRow("IPv6 in brackets") << "[::1]:27016"
                                      << "[::1]:27016";
    QTest::newRow("bare IPv6") << "::1"
                               << "[::1]:27015";
    QTest::newRow("host name") << "localhost:5"
                               << "127.0.0.1:5";
    QTest::newRow("empty port") << "127.0.0.1:"
                                << "error: the port must be";
    QTest::newRow("port range") << "127.0.0.1:70000"
                                << "error: the port must be";
    QTest::newRow("octet range") << "300.0.0.1"
                                 << "error: \"300.0.0.1\" is not an IPv4 address";
    QTest::newRow("open bracket") << "[::1"
                                  << "error: \"]\" is missing";
    QTest::newRow("after the bracket") << "[::1]x"
                                       << "error: only \":PORT\"";
    QTest::newRow("no host") << ":27015"
                             << "error: no host";
    QTest::newRow("bad IPv6") << "[fe80::zz]:1"
                              << "error: \"fe80::zz\" is not an IPv6 address";
  }
  void readsEveryKindOfAddress() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QString read;
    try {
      read = QString::fromStdString(FormatServerAddress(ResolveServerAddress(text.toStdString())));
    } catch (const EZerval& error) {
      read = "error: " + QString::fromStdString(error.what());
    }
    QVERIFY2(read.startsWith(expected), qPrintable(read));
  }

  // Several servers in one call, named by host name and by IPv6 address, all asked at once.
  void queriesSeveralServersOfAnyAddress() {
    auto v4 = StartSimulator({"--name", "Four"});
    auto v6 = StartSimulator({"--name", "Six", "--address", "::1"});
    const QString byName = "localhost:" + QString::number(v4->port());
    const QString byV6 = "[::1]:" + QString::number(v6->port());
    const QueryRun run = RunQueryTool({"--json", byName, byV6});
    QCOMPARE(run.exitCode, 0);
    const QJsonArray servers = JsonOf(run)["servers"].toArray();
    QCOMPARE(servers.size(), 2);
    QCOMPARE(servers[0]["target"].toString(), byName);
    QCOMPARE(servers[0]["address"].toString(), Loopback(v4->port()));
    QCOMPARE(servers[0]["details"]["serverName"].toString(), QString("Four"));
    QCOMPARE(servers[1]["address"].toString(), byV6);
    QCOMPARE(servers[1]["players"].toArray().size(), 8);
    QCOMPARE(RunQueryTool({"--list", "-"}, byV6.toLatin1()).exitCode, 0);
  }

  // One lost request is no false alarm: it goes out again after the interval, in every mode.
  void retriesUnansweredRequests_data() {
    QTest::addColumn<QStringList>("server");
    QTest::addColumn<QStringList>("mode");
    QTest::addColumn<char>("kind");
    QTest::newRow("server") << QStringList{} << QStringList{} << 'd';
    QTest::newRow("list") << QStringList{} << QStringList{"--list", "-"} << 'd';
    QTest::newRow("a2s challenge")
        << SteamServer({"--info-challenge"}) << QStringList{"--a2s"} << 'T';
    QTest::newRow("console challenge")
        << QStringList{"--password", "pw"} << QStringList{"--rcon", "status", "--password", "pw"}
        << 'c';
  }
  void retriesUnansweredRequests() {
    QFETCH(QStringList, server);
    QFETCH(QStringList, mode);
    QFETCH(char, kind);
    const QString target = kind == 'c' ? "challenge" : "details";
    for (const int retries : {0, 1}) {
      auto simulator = StartSimulator(server + QStringList{"--answer-after", "1 " + target});
      const QString address = Loopback(simulator->port());
      QStringList arguments =
          mode + QStringList{"--timeout", "1000",      "--interval",
                             "100",       "--retries", QString::number(retries)};
      if (!mode.contains("-")) arguments << address;
      const QueryRun run = RunQueryTool(arguments, address.toLatin1());
      QCOMPARE(run.exitCode, retries == 0 ? 1 : 0);
      const int asked = kind == 'T'   ? CountA2sRequests(*simulator, 'T')
                        : kind == 'c' ? CountCommands(*simulator, "challenge rcon")
                                      : CountCommands(*simulator, "details");
      // With a retry: the lost request, its repeat, and with a challenge the answered one.
      QCOMPARE(asked, retries == 0 ? 1 : kind == 'T' ? 3 : 2);
    }
  }

  // Nothing listens: the system's report ends the wait at once, well before the time-out.
  void reportsARefusedPortAtOnce() {
    const QString closed = Loopback(ClosedPort());
    const QueryRun single = RunQueryTool({"--timeout", "60000", closed});
    QCOMPARE(single.exitCode, 1);
    QVERIFY2(single.out.startsWith(closed.toLatin1() + ": refused\n"), single.out.constData());
    auto simulator = StartSimulator({});
    const QueryRun listed =
        RunQueryTool({"--timeout", "60000", "--list", "-", Loopback(simulator->port())},
                     closed.toLatin1() + "\n");
    QCOMPARE(listed.exitCode, 1);
    QVERIFY2(listed.out.contains(" refused\n") && listed.out.contains(" ms\n"),
             listed.out.constData());
  }

  // A text list: comments, blank lines, a protocol per line; the same on standard input; and a
  // server list file with more servers on the command line.
  void readsTextListsAndStandardInput() {
    auto classic = StartSimulator({"--name", "Classic"});
    auto steam = StartSimulator(SteamServer({"--name", "Steam"}));
    const QByteArray text = "# servers\n\n" + Loopback(classic->port()).toLatin1() +
                            "  # the old one\n  a2s " + Loopback(steam->port()).toLatin1() +
                            "\nclassic\t" + Loopback(classic->port()).toLatin1() + "\n";
    const QString file = WriteFile("servers.txt", text);
    const QString zsl = WriteList("one.zsl", {Entry("listed", Address(classic->port()))});
    for (const QueryRun& run :
         {RunQueryTool({"--json", "--list", file}), RunQueryTool({"--json", "-l", "-"}, text)}) {
      QCOMPARE(run.exitCode, 0);
      const QJsonArray servers = JsonOf(run)["servers"].toArray();
      QCOMPARE(servers.size(), 3);
      QCOMPARE(servers[1]["protocol"].toString(), QString("a2s"));
      QCOMPARE(servers[1]["serverName"].toString(), QString("Steam"));
      QCOMPARE(servers[1]["a2s"]["bots"].toInt(), 2);
      QCOMPARE(servers[2]["serverName"].toString(), QString("Classic"));
    }
    const QueryRun both = RunQueryTool({"--list", zsl, "--list=" + file, Loopback(steam->port())});
    QCOMPARE(both.exitCode, 0);
    QCOMPARE(both.out.count('\n'), 1 + 1 + 3 + 1);
    QVERIFY(both.out.contains("\nlisted "));
  }

  // A reply cut short, or random bytes after its kind byte: the fields stay null, the reason is
  // given, and the status is 4, in every mode.
  void unreadableRepliesExitWithFour_data() {
    QTest::addColumn<QStringList>("server");
    QTest::addColumn<QStringList>("mode");
    const QStringList console{"--rcon", "status", "--password", "pw"};
    for (const QStringList& fault : {QStringList{"--truncate", "12 all"}, {"--garbage", "all"}}) {
      const QStringList server = fault + QStringList{"--password", "pw"};
      const QByteArray name = fault[0].toLatin1();
      QTest::addRow("%s, server", name.constData()) << server << QStringList{};
      QTest::addRow("%s, list", name.constData()) << server << QStringList{"--list", "-"};
      QTest::addRow("%s, console", name.constData()) << server << console;
    }
    QTest::newRow("info reply cut short")
        << SteamServer({"--truncate", "12 details"}) << QStringList{"--a2s"};
  }
  void unreadableRepliesExitWithFour() {
    QFETCH(QStringList, server);
    QFETCH(QStringList, mode);
    auto simulator = StartSimulator(server);
    const QString address = Loopback(simulator->port());
    if (!mode.contains("-")) mode << address;
    const QueryRun text = RunQueryTool(mode, address.toLatin1());
    QCOMPARE(text.exitCode, 4);
    QVERIFY2(text.err.contains("unreadable reply: "), text.err.constData());
    const QueryRun json = RunQueryTool(QStringList{"--json"} + mode, address.toLatin1());
    QCOMPARE(json.exitCode, 4);
    const QJsonObject entry = FirstServer(json);
    QVERIFY2(entry["error"].toString().contains("unreadable reply: "), json.out.constData());
    for (const char* field : {"details", "serverName", "lines"})
      QVERIFY2(entry[field].isNull() || entry[field].isUndefined(), field);
  }

  // Console text as the server sent it: an empty reply prints nothing, and every line stays a
  // line of its own.
  void printsConsoleTextAsSent_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("empty") << QByteArray("\0\0", 2) << QStringList{};
    QTest::newRow("short lines, no zeros at the end")
        << QByteArray("a\nb\r\n\nc") << QStringList{"a", "b", "", "c"};
  }
  void printsConsoleTextAsSent() {
    QFETCH(QByteArray, reply);
    QFETCH(QStringList, lines);
    UdpPeer peer;
    peer.setScript([&reply](const UdpPeer::Request& request) -> std::vector<std::string> {
      if (request.command() == "challenge rcon")
        return {Reply('c', std::string("hallenge rcon 123456789\n") + '\0')};
      return {Reply('l', reply.toStdString())};
    });
    const QStringList console{"--rcon", "mp_logmessages 1", "--password", "pw",
                              Loopback(peer.port())};
    const QueryRun text = RunQueryTool(console);
    QCOMPARE(text.exitCode, 0);
    QCOMPARE(text.out, lines.isEmpty() ? QByteArray() : lines.join('\n').toLatin1() + '\n');
    const QJsonObject json = FirstServer(RunQueryTool(QStringList{"--json"} + console));
    QCOMPARE(json["lines"].toArray(), QJsonArray::fromStringList(lines));
    QCOMPARE(json["truncated"], QJsonValue(false));
  }

  // Output beyond what one command's output may hold is cut, and the tool says so.
  void oversizedConsoleOutputSaysSo() {
    const std::string text = std::string(4, '\xFF') + 'l' + std::string(8000, 'x') + '\n';
    const std::string challenge = std::string(4, '\xFF') + "challenge rcon 1\n" + '\0';
    for (const bool json : {false, true}) {
      // Slow to answer, so that the tool waits long for each next datagram, whatever the load.
      FloodPeer flood(text, std::chrono::milliseconds(2000), FloodPeer::From::Server, challenge,
                      std::chrono::milliseconds(100));
      QStringList arguments{"--rcon", "status", "--password", "pw", Loopback(flood.port())};
      if (json) arguments.prepend("--json");
      const QueryRun run = RunQueryTool(arguments);
      QCOMPARE(run.exitCode, 4);
      QVERIFY2(run.err.contains("console output cut"), run.err.constData());
      if (json) QCOMPARE(FirstServer(run)["truncated"], QJsonValue(true));
      QVERIFY(run.out.startsWith(json ? "{" : "xxxx"));
    }
  }

  // The entry's own name, the server's own name and the address side by side; East Asian wide
  // characters take two columns, so the columns after them line up on a terminal.
  void listShowsEntryAndServerNames() {
    auto simulator = StartSimulator({"--name", "Alpha", "--count", "2"});
    const QString list =
        WriteList("names.zsl", {Entry("\xE6\x9D\xB1\xE4\xBA\xAC", Address(simulator->port())),
                                Entry("abcd", Address(simulator->port() + 1))});
    const QueryRun run = RunQueryTool({"--list", list, Loopback(simulator->port())});
    QCOMPARE(run.exitCode, 0);
    const QList<QByteArray> lines = run.out.split('\n');
    QVERIFY2(lines[0].startsWith("Name  Server   Address"), lines[0].constData());
    QVERIFY(lines[1].startsWith("\xE6\x9D\xB1\xE4\xBA\xAC  Alpha 1  "));
    QVERIFY(lines[2].startsWith("abcd  Alpha 2  " + Loopback(simulator->port() + 1).toLatin1()));
    QVERIFY(lines[3].startsWith("-     Alpha 1  " + Loopback(simulator->port()).toLatin1()));
  }

  // With several servers the highest status applies.
  void exitStatusIsTheHighest_data() {
    QTest::addColumn<QByteArray>("extra");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("one silent") << QByteArray() << 1;
    QTest::newRow("and a bad address") << QByteArray("127.0.0.1:0\n") << 2;
    QTest::newRow("and an unreadable reply") << QByteArray("@broken\n127.0.0.1:0\n") << 4;
  }
  void exitStatusIsTheHighest() {
    QFETCH(QByteArray, extra);
    QFETCH(int, exitCode);
    auto answering = StartSimulator({});
    auto silent = StartSimulator({"--ignore", "all"});
    FakeServer broken([](const QByteArray&) { return QByteArray("\xFE\xFF\xFF\xFF\x01", 5); });
    extra.replace("@broken", Loopback(broken.port()).toLatin1());
    const QByteArray list = Loopback(answering->port()).toLatin1() + "\n" +
                            Loopback(silent->port()).toLatin1() + "\n" + extra;
    const QueryRun run = RunQueryTool({"--timeout", "300", "--list", "-"}, list);
    QCOMPARE(run.exitCode, exitCode);
  }
};

QTEST_GUILESS_MAIN(TestQueryCli)
#include "test_query_cli.moc"
