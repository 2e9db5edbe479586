// The real window against servers whose console speaks TCP: the console found by the race and
// kept in "zerval.ini", the selection, Console, Players, kick, ban and Chat over one session.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>
#include <string>

#include "e2ewindow.h"
#include "platform/ownaddresses.h"

using namespace e2e;

namespace {

const std::string Password = "pw";

// UDP commands and TCP console packets in the order the server got them; the password packet as
// "auth PASSWORD", the empty markers left out.
Commands Wire(const SimulatorProcess& simulator, std::size_t from = 0) {
  Commands wire;
  for (const SimulatorProcess::Request& request : simulator.requests()) {
    if (request.framed) wire.push_back(request.bytes);
    if (request.tcpType == 3) wire.push_back("auth " + request.bytes);
    if (request.tcpType == 2) wire.push_back(request.bytes);
  }
  return Commands(wire.begin() + std::ptrdiff_t(std::min(from, wire.size())), wire.end());
}

// A window that chose the simulator started with `arguments`, with the console password
// `password`.
struct TcpSetup {
  explicit TcpSetup(const QStringList& arguments, const std::string& password = Password) {
    started = simulator.start(QStringList{"--password", QString::fromStdString(Password),
                                          "--players", "3", "--bots", "1"} +
                              arguments);
    if (!started) return;
    window.LoadList({Entry("Today", Address(simulator), password)});
    window.Choose(0);
  }
  // The operator sends `command` from the Admin page.
  void send(const QString& command) {
    QTest::keyClicks(window.w->uiAdmin.ed_rconcmd, command);
    QTest::keyClick(window.w->uiAdmin.ed_rconcmd, Qt::Key_Return);
  }
  QString settings() const {
    QFile file(UserOptionsFile(window.dir, QStringLiteral("zerval.ini")));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
  }

  SimulatorProcess simulator;
  bool started = false;
  Window window;
};

}  // namespace

class TestE2eTcpConsole : public QObject {
  Q_OBJECT

 private slots:
  void raceDecidesAndIsKept_data() {
    QTest::addColumn<QString>("console");
    QTest::addColumn<Commands>("wire");
    QTest::addColumn<QString>("kept");
    // The password goes once over TCP, in place of the challenge's console line.
    QTest::newRow("TCP only") << "tcp" << Commands{"challenge rcon", "auth pw", "details",
                                                   "players",        "rules",   "status"}
                              << "=tcp";
    // A server that answers both is spoken to classically: no password to its TCP port.
    QTest::newRow("both") << "both"
                          << Commands{"challenge rcon", "rcon CH pw ", "details",
                                      "players",        "rules",       "rcon CH pw status"}
                          << "=udp";
  }

  // The first selection races both consoles; the answer is written when the program ends, and
  // the next start asks only the console found.
  void raceDecidesAndIsKept() {
    QFETCH(QString, console);
    QFETCH(Commands, wire);
    QFETCH(QString, kept);
    TcpSetup setup({"--console", console});
    QVERIFY2(setup.started, qPrintable(setup.simulator.errorText()));
    Tfrm_main& w = *setup.window.w;
    QVERIFY(w.CurrentServer.ServerSelected);
    for (std::string& command : wire)
      if (command.rfind("rcon CH", 0) == 0) command.replace(5, 2, w.CurrentServer.Challenge);
    QCOMPARE(Wire(setup.simulator), wire);
    QCOMPARE(setup.window.dialogTexts(), QStringList());
    QStringList shown = ShownPlayers(w);
    QStringList listed = StatusNicks(w);
    shown.sort();
    listed.sort();
    QCOMPARE(listed, shown);
    QVERIFY(w.PlayerInfo.GetPlayer(0).Ping > 0);

    setup.window.Restart();
    const QString line = "127.0.0.1:" + QString::number(setup.simulator.port()) + kept;
    QVERIFY2(setup.settings().contains("[Consoles]\n" + line + "\n"), qPrintable(setup.settings()));
    setup.window.LoadList({Entry("Today", Address(setup.simulator), Password)});
    const std::size_t before = Wire(setup.simulator).size();
    setup.window.Choose(0);
    QCOMPARE(Wire(setup.simulator, before).front(), wire[console == "tcp" ? 1 : 0]);
  }

  // A remembered console that no longer answers costs one time-out; the next selection finds
  // the console afresh.
  void rememberedConsoleThatStopsAnsweringIsFoundAfresh() {
    SimulatorProcess simulator;
    QVERIFY(simulator.start({"--password", "pw"}));
    Window window;
    QDir().mkpath(UserOptionsFolder(window.dir));
    QFile settings(UserOptionsFile(window.dir, QStringLiteral("zerval.ini")));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write("[Consoles]\n" + QByteArray::fromStdString(Address(simulator)) + "=tcp\n");
    settings.close();
    window.Restart();
    window.LoadList({Entry("Classic", Address(simulator), "pw")});
    window.Choose(0);
    QCOMPARE(window.dialogTexts(), QStringList{TimeoutText});
    QCOMPARE(simulator.commands(), Commands{});
    window.Choose(0);
    QVERIFY(window.w->CurrentServer.ServerSelected);
    QCOMPARE(simulator.commands().front(), std::string("challenge rcon"));
    QCOMPARE(*window.w->Consoles.Kind(Address(simulator)), ConsoleKind::Udp);
  }

  // A cvarlist of 25 KB comes whole into the console pane, and the next command's output holds
  // nothing of it.
  void longOutputComesWhole() {
    TcpSetup setup({"--console", "tcp"});
    QVERIFY2(setup.started, qPrintable(setup.simulator.errorText()));
    QPlainTextEdit& memo = *setup.window.w->uiAdmin.mem_rcondata;
    setup.send(QStringLiteral("cvarlist"));
    const QStringList cvars = ConsoleLines(memo);
    QCOMPARE(cvars.mid(0, 2), (QStringList{"Sending :\"cvarlist\"", "cvar list"}));
    QVERIFY(memo.toPlainText().size() > 25000);
    QCOMPARE(cvars.size(), cvars.last().section(' ', 0, 0).toInt() + 5);
    setup.window.w->uiAdmin.btn_clearlog->click();
    setup.send(QStringLiteral("status"));
    QVERIFY(ConsoleLines(memo).last().startsWith("#end"));
    QVERIFY(!memo.toPlainText().contains("zs_command"));
  }

  void adminActionsOverTcp_data() {
    QTest::addColumn<QString>("menuItem");  // empty: the Chat button
    QTest::addColumn<Commands>("sent");
    QTest::newRow("kick") << "kick1" << Commands{"kickid ID", "players", "status"};
    QTest::newRow("ban 5 min") << "Ban5min1"
                               << Commands{"banid 5 ID", "writeid", "kickid ID", "players",
                                           "status"};
    QTest::newRow("ban permanent")
        << "Banpermanent1" << Commands{"banid 0 ID", "writeid", "kickid ID", "players", "status"};
    QTest::newRow("chat") << ""
                          << Commands{"log on", "logaddress_add " + *ChatLogAddress() + ":3305"};
  }

  void adminActionsOverTcp() {
    QFETCH(QString, menuItem);
    QFETCH(Commands, sent);
    TcpSetup setup({"--console", "tcp"});
    QVERIFY2(setup.started, qPrintable(setup.simulator.errorText()));
    Tfrm_main& w = *setup.window.w;
    const std::size_t before = Wire(setup.simulator).size();
    QTreeWidget* players = w.uiPlayers.lv_players;
    players->setCurrentItem(players->topLevelItem(0));
    const std::string userId = std::to_string(
        w.PlayerInfo
            .GetPlayer(std::int32_t(StatusNicks(w).indexOf(players->topLevelItem(0)->text(0))))
            .UserId);
    if (menuItem.isEmpty())
      w.btn_chtClick();
    else
      w.pop_player.findChild<QAction*>(menuItem)->trigger();
    for (std::string& command : sent)
      if (command.size() > 2 && command.compare(command.size() - 2, 2, "ID") == 0)
        command.replace(command.size() - 2, 2, userId);
    QCOMPARE(Wire(setup.simulator, before), sent);
    QCOMPARE(setup.window.dialogTexts(), QStringList());
  }

  // A refused password shows as the console's answer, and is not sent again: neither in the
  // session, nor at the next selection within a minute.
  void wrongPasswordIsSentOnce() {
    TcpSetup setup({"--console", "tcp"}, "wrong");
    QVERIFY2(setup.started, qPrintable(setup.simulator.errorText()));
    Tfrm_main& w = *setup.window.w;
    QVERIFY(w.CurrentServer.ServerSelected);
    setup.send(QStringLiteral("status"));
    QCOMPARE(ConsoleLines(*w.uiAdmin.mem_rcondata),
             (QStringList{"Sending :\"status\"", "Bad rcon_password."}));
    setup.window.Choose(0);
    QCOMPARE(setup.simulator.tcpBodies(3), std::vector<std::string>{"wrong"});
    QCOMPARE(setup.simulator.tcpBodies(2), std::vector<std::string>{});
    QCOMPARE(setup.window.dialogTexts(), QStringList());
  }
};

QTEST_MAIN(TestE2eTcpConsole)
#include "test_e2e_tcpconsole.moc"
