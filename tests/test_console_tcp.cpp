// The TCP console end to end: zerval-query and the engine against the simulator's TCP console on
// 127.0.0.1, its faults included.
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "engine/server_address.h"
#include "engine/tcp_console.h"
#include "querytool.h"
#include "simulator.h"

namespace {

constexpr int PasswordPacket = 3;
constexpr int CommandPacket = 2;

std::unique_ptr<SimulatorProcess> StartSimulator(const QStringList& arguments) {
  auto simulator = std::make_unique<SimulatorProcess>();
  if (!simulator->start(arguments)) qWarning("%s", qPrintable(simulator->errorText()));
  return simulator;
}

QString Loopback(std::uint16_t port) {
  return "127.0.0.1:" + QString::number(port);
}

}  // namespace

class TestConsoleTcp : public QObject {
  Q_OBJECT

 private slots:
  void statusOnEitherConsole_data() {
    QTest::addColumn<QStringList>("server");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("passwordsOverTcp");
    QTest::addColumn<QByteArray>("lastLine");
    QTest::newRow("TCP found by the race")
        << QStringList{"--console", "tcp"} << QStringList{} << 1 << QByteArray("#end");
    QTest::newRow("TCP named") << QStringList{"--console", "tcp"} << QStringList{"--console", "tcp"}
                               << 1 << QByteArray("#end");
    QTest::newRow("both: the classic console wins")
        << QStringList{"--console", "both"} << QStringList{} << 0 << QByteArray("3 users");
  }

  // ZERVAL_RCON_PASSWORD=... zerval-query --rcon status needs no flag for a TCP console; a server
  // that speaks both consoles never gets the password on its TCP port.
  void statusOnEitherConsole() {
    QFETCH(QStringList, server);
    QFETCH(QStringList, arguments);
    QFETCH(int, passwordsOverTcp);
    QFETCH(QByteArray, lastLine);
    auto simulator =
        StartSimulator(server + QStringList{"--password", "pw", "--players", "2", "--bots", "1"});
    const QueryRun run =
        RunQueryTool(QStringList{"--rcon", "status", Loopback(simulator->port())} + arguments, {},
                     {"ZERVAL_RCON_PASSWORD=pw"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out.trimmed().split('\n').back(), lastLine);
    QCOMPARE(int(simulator->tcpBodies(PasswordPacket).size()), passwordsOverTcp);
    if (passwordsOverTcp) QVERIFY(run.out.contains("\"[BOT] Alpha\" BOT active 64\n"));
  }

  void wrongPasswordIsSentOnce() {
    auto simulator = StartSimulator({"--console", "tcp", "--password", "right"});
    const QueryRun run =
        RunQueryTool({"--rcon", "status", "--password", "wrong", Loopback(simulator->port())});
    QCOMPARE(run.exitCode, 3);
    QVERIFY2(run.err.contains("wrong password"), run.err.constData());
    QCOMPARE(simulator->tcpBodies(PasswordPacket), std::vector<std::string>{"wrong"});
    QVERIFY(simulator->tcpBodies(CommandPacket).empty());
  }

  void faultsEndByTheDeadline_data() {
    QTest::addColumn<QStringList>("fault");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<bool>("listing");
    QTest::newRow("no marker answer") << QStringList{"--no-marker", "rcon"} << 0 << true;
    QTest::newRow("output that never ends") << QStringList{"--endless-output", "rcon"} << 4 << true;
    QTest::newRow("one byte every 20 ms") << QStringList{"--trickle", "20 rcon"} << 1 << false;
    QTest::newRow("output under a wrong id") << QStringList{"--wrong-id", "rcon"} << 0 << false;
    QTest::newRow("absurd size field") << QStringList{"--absurd-size", "rcon"} << 4 << false;
    QTest::newRow("closing after authentication")
        << QStringList{"--close-after-auth", "auth"} << 1 << false;
  }

  // Each ends within the time-out and a bounded memory, and the command goes out once at most.
  // Output under a wrong id never counts: what is left is an empty output.
  void faultsEndByTheDeadline() {
    QFETCH(QStringList, fault);
    QFETCH(int, exitCode);
    QFETCH(bool, listing);
    auto simulator = StartSimulator(QStringList{"--console", "tcp", "--password", "pw"} + fault);
    const QueryRun run = RunQueryTool(
        {"--timeout", "600", "--rcon", "status", "--password", "pw", Loopback(simulator->port())});
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.elapsedMs < 600 + 1500, QByteArray::number(run.elapsedMs).constData());
    QVERIFY2(run.peakKiB < 100 * 1024, QByteArray::number(run.peakKiB).constData());
    QVERIFY(simulator->tcpBodies(CommandPacket).size() <= 1);
    QCOMPARE(run.out.contains("#end"), listing);
  }

  void refusesBroadcastTargets_data() {
    QTest::addColumn<QString>("target");
    QTest::newRow("limited broadcast") << "255.255.255.255";
    QTest::newRow("multicast") << "224.0.0.1";
    QTest::newRow("unspecified") << "0.0.0.0";
  }

  void refusesBroadcastTargets() {
    QFETCH(QString, target);
    const QueryRun run = RunQueryTool({"--rcon", "status", "--password", "pw", target});
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains("broadcast"), run.err.constData());
  }

  // On one connection: 25 KB of output arrive whole, and the next command's output holds
  // nothing of them.
  void outputsStayApart() {
    auto simulator = StartSimulator({"--console", "tcp", "--password", "pw"});
    TcpConsole console(ResolveServerAddress(Loopback(simulator->port()).toStdString()), "pw",
                       5'000'000);
    const RconResult list = console.Run("cvarlist");
    QCOMPARE(list.end, RconEnd::Complete);
    QVERIFY(list.output.size() > 24'000);
    QVERIFY(list.output.rfind("cvar list\n", 0) == 0);
    QVERIFY(list.output.find("\n230 total convars/concommands") != std::string::npos);
    const RconResult status = console.Run("status");
    QVERIFY(status.output.rfind("hostname: ", 0) == 0);
    QVERIFY(status.output.find("zs_command") == std::string::npos);
    QCOMPARE(simulator->tcpBodies(PasswordPacket).size(), std::size_t(1));
  }
};

QTEST_MAIN(TestConsoleTcp)
#include "test_console_tcp.moc"
