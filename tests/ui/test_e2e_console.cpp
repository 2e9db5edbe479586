// The remote console and the kick and ban actions of the real window against the simulator.
#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <cstdint>
#include <string>

#include "e2ewindow.h"

using namespace e2e;

namespace {

const std::string Password = "pw";

// Every "CH" in the expected commands stands for the challenge the window received.
Commands WithChallenge(Commands commands, const std::string& challenge) {
  for (std::string& command : commands)
    for (std::size_t at; (at = command.find("CH")) != std::string::npos;)
      command.replace(at, 2, challenge);
  return commands;
}

Commands CommandsSince(const SimulatorProcess& simulator, std::size_t count) {
  const Commands all = simulator.commands();
  return Commands(all.begin() + static_cast<std::ptrdiff_t>(std::min(count, all.size())),
                  all.end());
}

// The operator clicks the tab of `page`.
void OpenPage(Tfrm_main& w, QWidget* page) {
  QTabBar* tabs = w.ui.pc_Server->findChild<QTabBar*>();
  QTest::mouseClick(tabs, Qt::LeftButton, {},
                    tabs->tabRect(w.ui.pc_Server->indexOf(page)).center());
  QCOMPARE(w.ui.pc_Server->currentWidget(), page);
}

// A window that has selected a simulator whose console password it knows.
struct ConsoleSetup {
  explicit ConsoleSetup(const QStringList& faults = {}) {
    started = simulator.start(QStringList{"--password", QString::fromStdString(Password),
                                          "--players", "5", "--bots", "0"} +
                              faults);
    if (!started) return;
    window.LoadList({Entry("Console", Address(simulator), Password)});
    window.Choose(0);
  }

  SimulatorProcess simulator;
  bool started = false;
  Window window;
};

}  // namespace

class TestE2eConsole : public QObject {
  Q_OBJECT

 private slots:
  void sendReachesTheConsoleMemo_data();
  void sendReachesTheConsoleMemo();
  void kickAndBanChangeThePlayerList_data();
  void kickAndBanChangeThePlayerList();
};

void TestE2eConsole::sendReachesTheConsoleMemo_data() {
  QTest::addColumn<QStringList>("faults");
  QTest::addColumn<Commands>("sent");
  QTest::addColumn<QStringList>("memo");
  QTest::addColumn<QString>("editAfter");
  QTest::newRow("challenge stored")
      << QStringList() << Commands{"rcon CH pw say hi all"}
      << QStringList{"Sending :\"say hi all\"", "Console: hi all"} << QString();
  // A challenge reply cut before its challenge leaves none stored: Send asks for one, and its
  // reply sends the command taken at the press, which the server refuses without a challenge.
  QTest::newRow("no challenge stored")
      << QStringList{"--truncate", "19 challenge"}
      << Commands{"challenge rcon", "rcon  pw say hi all"}
      << QStringList{"Sending :\"say hi all\"", "Bad rcon_password."} << QString();
}

void TestE2eConsole::sendReachesTheConsoleMemo() {
  QFETCH(QStringList, faults);
  QFETCH(Commands, sent);
  QFETCH(QStringList, memo);
  QFETCH(QString, editAfter);
  ConsoleSetup setup(faults);
  QVERIFY2(setup.started, qPrintable(setup.simulator.errorText()));
  Tfrm_main& w = *setup.window.w;
  QVERIFY(w.CurrentServer.ServerSelected);
  QCOMPARE(w.CurrentServer.Challenge.empty(), !faults.isEmpty());
  OpenPage(w, w.ui.tb_admin);
  const std::size_t before = setup.simulator.commands().size();

  QTest::keyClicks(w.uiAdmin.ed_rconcmd, QStringLiteral("say hi all"));
  QTest::keyClick(w.uiAdmin.ed_rconcmd, Qt::Key_Return);

  QCOMPARE(CommandsSince(setup.simulator, before), WithChallenge(sent, w.CurrentServer.Challenge));
  QCOMPARE(ConsoleLines(*w.uiAdmin.mem_rcondata), memo);
  QCOMPARE(w.uiAdmin.ed_rconcmd->text(), editAfter);
  QCOMPARE(setup.window.dialogTexts(), QStringList());

  w.uiAdmin.btn_clearlog->click();
  QCOMPARE(w.uiAdmin.mem_rcondata->toPlainText(), QString());
}

void TestE2eConsole::kickAndBanChangeThePlayerList_data() {
  QTest::addColumn<QString>("menuItem");
  QTest::addColumn<Commands>("sent");
  QTest::addColumn<QString>("banList");
  QTest::newRow("kick") << "kick1" << Commands{"rcon CH pw kick #ID"} << "ID filter list: empty";
  QTest::newRow("ban 1 min") << "ban1min1"
                             << Commands{"rcon CH pw banid 1 #ID", "rcon CH pw writeid",
                                         "rcon CH pw kick #ID"}
                             << "1 WONID : 1 min";
  QTest::newRow("ban 10 min") << "Ban10min1"
                              << Commands{"rcon CH pw banid 10 #ID", "rcon CH pw writeid",
                                          "rcon CH pw kick #ID"}
                              << "1 WONID : 10 min";
  QTest::newRow("ban permanent") << "Banpermanent1"
                                 << Commands{"rcon CH pw banid 0 #ID", "rcon CH pw writeid",
                                             "rcon CH pw kick #ID"}
                                 << "1 WONID : permanent";
}

// The operator picks the third player on the Players page and uses the popup menu. The
// server's fresh players reply and status listing no longer hold that player, and the server's
// ban list, read through the Admin page, shows the ban.
void TestE2eConsole::kickAndBanChangeThePlayerList() {
  QFETCH(QString, menuItem);
  QFETCH(Commands, sent);
  QFETCH(QString, banList);
  ConsoleSetup setup;
  QVERIFY2(setup.started, qPrintable(setup.simulator.errorText()));
  Tfrm_main& w = *setup.window.w;
  OpenPage(w, w.ui.ts_players);
  QCOMPARE(ShownPlayers(w).size(), 5);
  QCOMPARE(w.PlayerInfo.Count(), 5);

  QTreeWidget* players = w.uiPlayers.lv_players;
  const QString victim = players->topLevelItem(2)->text(0);
  QTest::mouseClick(players->viewport(), Qt::LeftButton, {},
                    players->visualItemRect(players->topLevelItem(2)).center());
  const std::int32_t record = static_cast<std::int32_t>(StatusNicks(w).indexOf(victim));
  QVERIFY(record >= 0);
  const TPlayerRecord player = w.PlayerInfo.GetPlayer(record);
  QCOMPARE(w.uiPlayers.sg_addplayerinfo->item(1, 1)->text(), QString::number(player.UserId));
  w.uiAdmin.ed_rconcmd->setText(QStringLiteral("half typed"));
  const std::size_t before = setup.simulator.commands().size();

  QAction* action = w.pop_player.findChild<QAction*>(menuItem);
  QVERIFY(action != nullptr);
  action->trigger();

  Commands expected = sent;
  expected.push_back("players");
  expected.push_back("rcon CH pw status");
  for (std::string& command : expected)
    for (std::size_t at; (at = command.find("#ID")) != std::string::npos;)
      command.replace(at, 3, "#" + std::to_string(player.UserId));
  QCOMPARE(CommandsSince(setup.simulator, before),
           WithChallenge(expected, w.CurrentServer.Challenge));
  QCOMPARE(setup.window.dialogTexts(), QStringList());
  QCOMPARE(w.uiAdmin.ed_rconcmd->text(), QString());
  QCOMPARE(ShownPlayers(w).size(), 4);
  QVERIFY(!ShownPlayers(w).contains(victim));
  QCOMPARE(w.PlayerInfo.Count(), 4);
  QVERIFY(!StatusNicks(w).contains(victim));

  OpenPage(w, w.ui.tb_admin);
  QTest::keyClicks(w.uiAdmin.ed_rconcmd, QStringLiteral("listid"));
  w.uiAdmin.btn_sendrconcmd->click();
  QVERIFY2(ConsoleLines(*w.uiAdmin.mem_rcondata)
               .contains(QString(banList).replace(QStringLiteral("WONID"),
                                                  QString::fromStdString(player.WonId.str()))),
           qPrintable(w.uiAdmin.mem_rcondata->toPlainText()));
}

QTEST_MAIN(TestE2eConsole)
#include "test_e2e_console.moc"
