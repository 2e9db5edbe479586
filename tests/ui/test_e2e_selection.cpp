// Server selection and the auto query of the real window against the game-server simulator.
#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTableWidget>
#include <QTableWidgetItem>
#include <QTest>
#include <string>

#include "e2ewindow.h"

using namespace e2e;

namespace {

const std::string Password = "pw 9";  // a blank inside goes out unquoted

QString Cell(const QTableWidget* grid, int row, int column) {
  const QTableWidgetItem* item = grid->item(row, column);
  return item == nullptr ? QString() : item->text();
}

// What the window looks like after a selection failed: nothing chosen, no console.
void VerifyDeselected(const Window& window) {
  const Tfrm_main& w = *window.w;
  QCOMPARE(w.ui.cb_servers->currentIndex(), -1);
  QCOMPARE(w.ui.cb_servers->currentText(), NoServerText);
  QVERIFY(!w.ui.cb_rconctrl->isChecked());
  QVERIFY(!w.CurrentServer.RconEnabled);
  QVERIFY(!w.CurrentServer.ServerSelected);
}

// Each request the debug log shows as sent, with the kind byte of the reply taken for it, in
// the form "details>m"; "details>-" when none was taken.
QStringList RepliesTaken(Tfrm_main& w) {
  w.ShowHiddenLogLines();
  const QStringList log = w.ui.mem_status->toPlainText().split(u'\n');
  QStringList pairs;
  for (int i = 0; i + 1 < log.size(); ++i) {
    const QByteArray bytes = QByteArray::fromHex(log[i + 1].toLatin1());
    if (log[i].startsWith(QStringLiteral("Daten gesendet")) && bytes.size() > 5)
      pairs << QString::fromLatin1(bytes.mid(4, bytes.size() - 5)) + QStringLiteral(">-");
    else if (log[i].startsWith(QStringLiteral("Daten Empfangen")) && bytes.size() > 4 &&
             !pairs.isEmpty())
      pairs.last().replace(pairs.last().size() - 1, 1, QChar::fromLatin1(bytes[4]));
  }
  return pairs;
}

}  // namespace

class TestE2eSelection : public QObject {
  Q_OBJECT

 private slots:
  void selectionFillsThePagesInWireOrder_data();
  void selectionFillsThePagesInWireOrder();
  void deadServerGivesOneDialogAndDeselects_data();
  void deadServerGivesOneDialogAndDeselects();
  void autoQueryStopsWhenTheServerStopsAnswering();
  void lateReplyOfAnotherServerIsNotShown();
  void lateReplyIsTakenByTheNextRequest();
};

void TestE2eSelection::selectionFillsThePagesInWireOrder_data() {
  QTest::addColumn<bool>("withPassword");
  QTest::newRow("without password") << false;
  QTest::newRow("with password") << true;
}

void TestE2eSelection::selectionFillsThePagesInWireOrder() {
  QFETCH(bool, withPassword);
  SimulatorProcess simulator;
  QVERIFY2(simulator.start({"--password", QString::fromStdString(Password), "--name", "E2E Server",
                            "--map", "de_e2e", "--players", "3", "--bots", "1", "--rules", "35"}),
           qPrintable(simulator.errorText()));
  Window window;
  Tfrm_main& w = *window.w;
  window.LoadList({Entry("E2E", Address(simulator), withPassword ? Password : std::string())});
  w.uiAdmin.ed_rconcmd->setText(QStringLiteral("say hello"));

  window.Choose(0);

  const std::string challenge = w.CurrentServer.Challenge;
  const std::string console = "rcon " + challenge + " " + Password + " ";
  const Commands expected = withPassword ? Commands{"challenge rcon", console, "details",
                                                    "players",        "rules", console + "status"}
                                         : Commands{"details", "players", "rules"};
  QCOMPARE(simulator.commands(), expected);
  if (withPassword)
    QVERIFY2(challenge.find_first_not_of("0123456789") == std::string::npos && !challenge.empty(),
             challenge.c_str());
  QCOMPARE(window.dialogTexts(), QStringList());
  QVERIFY(w.CurrentServer.ServerSelected);
  QCOMPARE(w.CurrentServer.RconEnabled, withPassword);
  QCOMPARE(w.ui.cb_rconctrl->isChecked(), withPassword);
  QCOMPARE(w.ui.cb_servers->currentIndex(), 0);

  const QTableWidget* details = w.uiDetails.sg_details;
  QCOMPARE(Cell(details, 0, 1), QStringLiteral("E2E Server"));
  QCOMPARE(Cell(details, 1, 1), QString::fromStdString(Address(simulator)));
  QCOMPARE(Cell(details, 3, 1), QStringLiteral("de_e2e"));
  QCOMPARE(Cell(details, 4, 1), QStringLiteral("4/16"));
  QCOMPARE(ShownPlayers(w).size(), 4);
  QCOMPARE(w.uiRules.sg_rules->rowCount(), 36);
  QCOMPARE(Cell(w.uiRules.sg_rules, 0, 0), QStringLiteral("Rule"));
  QVERIFY(!Cell(w.uiRules.sg_rules, 35, 0).isEmpty());

  // The status listing names the same players; the quiet console lines left no trace.
  if (withPassword) {
    QStringList shown = ShownPlayers(w);
    QStringList listed = StatusNicks(w);
    shown.sort();
    listed.sort();
    QCOMPARE(listed, shown);
  } else {
    QCOMPARE(w.PlayerInfo.Count(), 0);
  }
  QCOMPARE(w.uiAdmin.mem_rcondata->toPlainText(), QString());
  QCOMPARE(w.uiAdmin.ed_rconcmd->text(), QStringLiteral("say hello"));
}

void TestE2eSelection::deadServerGivesOneDialogAndDeselects_data() {
  QTest::addColumn<bool>("listening");
  QTest::addColumn<bool>("withPassword");
  QTest::addColumn<Commands>("received");
  QTest::newRow("ignoring everything") << true << false << Commands{"details"};
  QTest::newRow("ignoring everything, with password") << true << true << Commands{"challenge rcon"};
  QTest::newRow("nothing on the port") << false << false << Commands{};
}

void TestE2eSelection::deadServerGivesOneDialogAndDeselects() {
  QFETCH(bool, listening);
  QFETCH(bool, withPassword);
  QFETCH(Commands, received);
  SimulatorProcess simulator;
  QVERIFY2(simulator.start({"--password", "pw", "--ignore", "all"}),
           qPrintable(simulator.errorText()));
  // A port that was just free is very likely still free once the simulator has let it go.
  if (!listening) {
    simulator.stop();
    QCOMPARE(simulator.process()->state(), QProcess::NotRunning);
  }
  Window window;
  Tfrm_main& w = *window.w;
  window.LoadList({Entry("Dead", Address(simulator), withPassword ? "pw" : "")});

  window.Choose(0);

  QCOMPARE(window.dialogTexts(), QStringList{TimeoutText});
  VerifyDeselected(window);
  QCOMPARE(simulator.commands(), received);
  w.ShowHiddenLogLines();
  QVERIFY(w.ui.mem_status->toPlainText().contains(QStringLiteral("TimeOut!!!")));
}

// The timer's first tick is answered, the second is not: the timer stops, the box stays checked,
// and nothing is sent any more.
void TestE2eSelection::autoQueryStopsWhenTheServerStopsAnswering() {
  SimulatorProcess simulator;
  QVERIFY2(simulator.start({"--stop-after", "6"}), qPrintable(simulator.errorText()));
  Window window;
  Tfrm_main& w = *window.w;
  window.LoadList({Entry("Tiring", Address(simulator))});
  window.Choose(0);
  QVERIFY(w.CurrentServer.ServerSelected);

  w.ui.ed_autoquery->setValue(1);
  w.ui.cb_autoQuery->click();
  QVERIFY(w.querytimer.isActive());
  QCOMPARE(w.querytimer.interval(), 1000);
  QCOMPARE(simulator.commands().size(), std::size_t{6});

  QTRY_VERIFY_WITH_TIMEOUT(!w.querytimer.isActive(), 5000);
  QTest::qWait(1500);
  QCOMPARE(simulator.commands(),
           (Commands{"details", "players", "rules", "details", "players", "rules", "details"}));
  QCOMPARE(window.dialogTexts(), QStringList{TimeoutText});
  QVERIFY(w.ui.cb_autoQuery->isChecked());
  QVERIFY(!w.querytimer.isActive());
  QCOMPARE(w.ui.cb_servers->currentIndex(), 0);
}

// A server answers too late for its selection; its reply is still under way when the operator
// picks another server. That server's pages must show that server.
void TestE2eSelection::lateReplyOfAnotherServerIsNotShown() {
  SimulatorProcess slow;
  QVERIFY2(slow.start({"--name", "Slow", "--delay", "800"}), qPrintable(slow.errorText()));
  SimulatorProcess quick;
  QVERIFY2(quick.start({"--name", "Quick"}), qPrintable(quick.errorText()));
  Window window;
  Tfrm_main& w = *window.w;
  window.LoadList({Entry("Slow", Address(slow)), Entry("Quick", Address(quick))});

  window.Choose(0);
  QCOMPARE(window.dialogTexts(), QStringList{TimeoutText});
  VerifyDeselected(window);

  QTest::qWait(500);  // the slow details reply arrives now, while nothing waits for it
  window.Choose(1);
  QCOMPARE(window.dialogTexts(), QStringList{TimeoutText});
  QVERIFY(w.CurrentServer.ServerSelected);
  QCOMPARE(Cell(w.uiDetails.sg_details, 0, 1), QStringLiteral("Quick"));
  QCOMPARE(quick.commands(), (Commands{"details", "players", "rules"}));
  w.ShowHiddenLogLines();
  QVERIFY(w.ui.mem_status->toPlainText().contains(
      QStringLiteral("Fremdes Datagramm verworfen von 127.0.0.1:%1").arg(slow.port())));
}

// A server answers "details" after the time-out. A late reply from the server that was asked
// is not thrown away: the next exchange takes it and shows it by its own kind.
void TestE2eSelection::lateReplyIsTakenByTheNextRequest() {
  SimulatorProcess simulator;
  QVERIFY2(simulator.start({"--delay", "700 details"}), qPrintable(simulator.errorText()));
  Window window;
  Tfrm_main& w = *window.w;
  window.LoadList({Entry("Late", Address(simulator))});

  window.Choose(0);
  QTest::qWait(600);  // the late details reply arrives
  window.Choose(0);
  QTest::qWait(900);  // the second one arrives
  w.ui.pc_Server->setCurrentWidget(w.ui.ts_rules);
  w.ui.pc_Server->setCurrentWidget(w.ui.ts_players);

  // The last request took a reply already there; the simulator may log it a moment later.
  QTRY_COMPARE_WITH_TIMEOUT(
      simulator.commands(),
      (Commands{"details", "details", "players", "rules", "rules", "players"}), 2000);
  // The second selection's details reply comes late too: the rules page takes it, and the
  // players page the rules reply left over.
  const QStringList expected = {"details>-", "details>m", "players>D",
                                "rules>E",   "rules>m",   "players>E"};
  QCOMPARE(RepliesTaken(w), expected);
}

QTEST_MAIN(TestE2eSelection)
#include "test_e2e_selection.moc"
