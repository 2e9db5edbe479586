// Server selection and the query cycle against servers played by UDP peers on 127.0.0.1.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTableWidgetItem>
#include <QTest>
#include <QTimer>
#include <string>
#include <utility>
#include <vector>

#include "main.h"
#include "queryreplies.h"

using namespace queryreplies;

using Commands = std::vector<std::string>;

namespace {

const QString TimeoutText = QStringLiteral("Ziel nicht erreichbar!");
const QString NoServerText = QStringLiteral("Kein Server gewählt!!!");

// Page indexes of the tab control as the operator sees them.
enum Page { ServerPage = 1, PlayersPage = 2, RulesPage = 3, AdminPage = 4 };

int CountOf(const QStringList& texts, const QString& text) {
  return static_cast<int>(texts.count(text));
}

// Switches auto query on with `seconds` as period, the way the operator does.
void StartAutoQuery(Tfrm_main& w, int seconds) {
  w.ui.ed_autoquery->setValue(seconds);
  w.ui.cb_autoQuery->click();
}

}  // namespace

Q_DECLARE_METATYPE(Commands)

namespace QTest {
template <>
char* toString(const Commands& commands) {
  QStringList quoted;
  for (const std::string& command : commands)
    quoted << QLatin1Char('"') + QString::fromLatin1(command.c_str()) + QLatin1Char('"');
  return toString(quoted.join(QStringLiteral(", ")));
}
}  // namespace QTest

class TestQueryCycle : public QObject {
  Q_OBJECT

 private slots:
  void selectionSendsItsRequestsInOrder_data();
  void selectionSendsItsRequestsInOrder();
  void failedStepDeselects_data();
  void failedStepDeselects();
  void invalidAddressSendsNothing_data();
  void invalidAddressSendsNothing();
  void pageChangeRequeriesItsPage_data();
  void pageChangeRequeriesItsPage();
  void autoQueryWithoutServerWarnsOncePerAttempt();
  void autoQueryStopsWhenServerStopsAnswering();
  void autoQuerySwitchedOffDuringFirstTickStaysOff();
  void runningTimerKeepsPagesAndRefreshQuiet();
  void refreshBlanksDetailsAndRequeries();
  void rconControlShowsOnlyTheFlag();
  void tickDuringWaitIsSkipped();
  void eventsDuringWaitRunAfterItInOrder();
  void passwordStaysWithItsServer();
  void choiceDuringFailingSelectionIsKept();
};

void TestQueryCycle::selectionSendsItsRequestsInOrder_data() {
  QTest::addColumn<QString>("password");
  QTest::addColumn<Commands>("expected");
  QTest::newRow("without password") << QString() << Commands{"details", "players", "rules"};
  // The challenge reply is followed by the empty command, never by text typed but not sent;
  // the status fetch comes last.
  QTest::newRow("with password") << QStringLiteral("pw 2")
                                 << Commands{"challenge rcon", "rcon 4711 pw 2 ",
                                             "details",        "players",
                                             "rules",          "rcon 4711 pw 2 status"};
}

void TestQueryCycle::selectionSendsItsRequestsInOrder() {
  QFETCH(QString, password);
  QFETCH(Commands, expected);
  Window window;
  Tfrm_main& w = *window.w;
  GameServer server;
  server.password = password.toStdString();
  w.uiAdmin.ed_rconcmd->setText(QStringLiteral("say hi"));

  window.Choose(window.AddServer("Test", server));

  QCOMPARE(server.Commands(), expected);
  QVERIFY(window.dialogs.shown.empty());
  QVERIFY(w.CurrentServer.ServerSelected);
  QCOMPARE(w.CurrentServer.RconEnabled, !password.isEmpty());
  QCOMPARE(w.ui.cb_rconctrl->isChecked(), !password.isEmpty());
  QCOMPARE(w.ui.cb_servers->currentIndex(), 0);
  QCOMPARE(w.CurrentServer.HostIP, std::string("127.0.0.1"));
  QCOMPARE(w.CurrentServer.Port, static_cast<std::int32_t>(server.peer.port()));
}

void TestQueryCycle::failedStepDeselects_data() {
  QTest::addColumn<QString>("silentOn");
  QTest::addColumn<Commands>("sent");
  QTest::newRow("challenge") << QStringLiteral("challenge rcon") << Commands{"challenge rcon"};
  QTest::newRow("details") << QStringLiteral("details")
                           << Commands{"challenge rcon", "rcon 4711 pw ", "details"};
  QTest::newRow("players") << QStringLiteral("players")
                           << Commands{"challenge rcon", "rcon 4711 pw ", "details", "players"};
  QTest::newRow("rules") << QStringLiteral("rules")
                         << Commands{"challenge rcon", "rcon 4711 pw ", "details", "players",
                                     "rules"};
}

// A first server answers and auto query runs; then a second one misses a reply. The failure
// leaves nothing that would go on querying the failed address.
void TestQueryCycle::failedStepDeselects() {
  QFETCH(QString, silentOn);
  QFETCH(Commands, sent);
  Window window;
  Tfrm_main& w = *window.w;
  GameServer good;
  GameServer failing;
  failing.password = "pw";
  failing.silentOn = {silentOn.toStdString()};
  window.AddServer("Good", good);
  window.AddServer("Failing", failing);
  window.Choose(0);
  StartAutoQuery(w, 120);
  QVERIFY(w.querytimer.isActive());

  window.Choose(1);

  QCOMPARE(failing.Commands(), sent);
  QCOMPARE(window.dialogs.texts(), QStringList{TimeoutText});
  QCOMPARE(w.ui.cb_servers->currentIndex(), -1);
  QCOMPARE(w.ui.cb_servers->currentText(), QStringLiteral("kein Server gewählt"));
  QVERIFY(!w.CurrentServer.RconEnabled);
  QVERIFY(!w.ui.cb_rconctrl->isChecked());
  QVERIFY(!w.CurrentServer.ServerSelected);
  QVERIFY(!w.querytimer.isActive());
  QVERIFY(!w.ui.cb_autoQuery->isChecked());

  // Nothing acts on the failed address any more.
  const std::size_t before = failing.peer.requests.size();
  w.SetActivePageIndex(PlayersPage);
  w.RefreshPlayers();
  QCOMPARE(failing.peer.requests.size(), before);
  QCOMPARE(window.dialogs.texts(), (QStringList{TimeoutText, NoServerText}));
}

void TestQueryCycle::invalidAddressSendsNothing_data() {
  QTest::addColumn<QString>("address");
  QTest::addColumn<QString>("message");
  const QString badHost = QStringLiteral("ungültiger Host");
  const QString badIp = QStringLiteral("ungültige IP");
  QTest::newRow("port not a number") << QStringLiteral("127.0.0.1:abc") << badHost;
  QTest::newRow("no port") << QStringLiteral("127.0.0.1") << badHost;
  QTest::newRow("port beyond UDP") << QStringLiteral("127.0.0.1:70000") << badHost;
  QTest::newRow("port zero") << QStringLiteral("127.0.0.1:0") << badHost;
  QTest::newRow("IP of five parts") << QStringLiteral("1.2.3.4.5:27015") << badIp;
  QTest::newRow("no IP") << QStringLiteral("27015") << badIp;
}

// The error leaves the handler for the top-level error box; the current server is as before.
void TestQueryCycle::invalidAddressSendsNothing() {
  QFETCH(QString, address);
  QFETCH(QString, message);
  Window window;
  Tfrm_main& w = *window.w;
  GameServer good;
  window.AddServer("Good", good);
  window.AddServer("Bad", address.toStdString(), "pw");
  window.Choose(0);
  const std::int32_t sentBefore = w.CurrentServer.BytesSent;

  try {
    window.Choose(1);
    QFAIL("no error raised");
  } catch (const EZerval& error) {
    QCOMPARE(QString::fromUtf8(error.what()), message);
  }

  QCOMPARE(w.CurrentServer.BytesSent, sentBefore);
  QCOMPARE(w.CurrentServer.HostIP, std::string("127.0.0.1"));
  QCOMPARE(w.CurrentServer.Port, static_cast<std::int32_t>(good.peer.port()));
  QVERIFY(!w.CurrentServer.RconEnabled);
  QCOMPARE(w.ui.cb_servers->currentIndex(), 1);
}

void TestQueryCycle::pageChangeRequeriesItsPage_data() {
  QTest::addColumn<int>("page");
  QTest::addColumn<bool>("selected");
  QTest::addColumn<QString>("password");
  QTest::addColumn<Commands>("sent");
  QTest::addColumn<QStringList>("dialogs");
  QTest::newRow("Server") << int(ServerPage) << true << QString() << Commands{"details"}
                          << QStringList();
  QTest::newRow("Players") << int(PlayersPage) << true << QString() << Commands{"players"}
                           << QStringList();
  QTest::newRow("Players with console")
      << int(PlayersPage) << true << QStringLiteral("pw")
      << Commands{"players", "rcon 4711 pw status"} << QStringList();
  QTest::newRow("Rules with console")
      << int(RulesPage) << true << QStringLiteral("pw") << Commands{"rules"} << QStringList();
  QTest::newRow("Admin") << int(AdminPage) << true << QString() << Commands{} << QStringList();
  QTest::newRow("Players, none selected")
      << int(PlayersPage) << false << QString() << Commands{} << QStringList{NoServerText};
  QTest::newRow("Admin, none selected")
      << int(AdminPage) << false << QString() << Commands{} << QStringList();
}

void TestQueryCycle::pageChangeRequeriesItsPage() {
  QFETCH(int, page);
  QFETCH(bool, selected);
  QFETCH(QString, password);
  QFETCH(Commands, sent);
  QFETCH(QStringList, dialogs);
  Window window;
  Tfrm_main& w = *window.w;
  GameServer server;
  server.password = password.toStdString();
  window.AddServer("Test", server);
  if (selected) window.Choose(0);
  server.peer.requests.clear();

  w.SetActivePageIndex(page);

  QCOMPARE(server.Commands(), sent);
  QCOMPARE(window.dialogs.texts(), dialogs);
}

// Unchecking the box from code runs the handler a second time; still exactly one warning.
void TestQueryCycle::autoQueryWithoutServerWarnsOncePerAttempt() {
  Window window;
  Tfrm_main& w = *window.w;
  for (int attempt = 1; attempt <= 2; ++attempt) {
    w.ui.cb_autoQuery->click();
    QCOMPARE(CountOf(window.dialogs.texts(), NoServerText), attempt);
    QVERIFY(!w.ui.cb_autoQuery->isChecked());
    QVERIFY(!w.querytimer.isActive());
  }
  QCOMPARE(window.dialogs.shown.size(), std::size_t{2});
  QCOMPARE(window.dialogs.shown.front().kind, DialogKind::Warning);
}

void TestQueryCycle::autoQueryStopsWhenServerStopsAnswering() {
  Window window;
  Tfrm_main& w = *window.w;
  GameServer server;
  window.Choose(window.AddServer("Test", server));
  server.peer.requests.clear();

  StartAutoQuery(w, 1);
  // The first tick runs at once, before the timer is on.
  QCOMPARE(server.Commands(), (Commands{"details", "players", "rules"}));
  QVERIFY(w.querytimer.isActive());
  QCOMPARE(w.querytimer.interval(), 1000);
  QTRY_VERIFY_WITH_TIMEOUT(server.peer.requests.size() >= 6, 5000);

  server.answering = false;
  QTRY_VERIFY_WITH_TIMEOUT(!w.querytimer.isActive(), 5000);
  QCOMPARE(window.dialogs.texts(), QStringList{TimeoutText});
  QVERIFY(w.ui.cb_autoQuery->isChecked());
  QVERIFY(w.CurrentServer.ServerSelected);
  QCOMPARE(w.ui.cb_servers->currentIndex(), 0);
}

// The first tick runs before the timer starts; unchecking the box while it waits must still
// switch the auto query off. A period text that is no number counts as one second.
void TestQueryCycle::autoQuerySwitchedOffDuringFirstTickStaysOff() {
  Window window;
  Tfrm_main& w = *window.w;
  GameServer server;
  window.Choose(window.AddServer("Test", server));
  w.ui.ed_autoquery->findChild<QLineEdit*>()->setText(QString());
  w.ui.cb_autoQuery->click();
  QCOMPARE(w.querytimer.interval(), 1000);
  w.ui.cb_autoQuery->click();

  server.beforeAnswer = [&](const std::string& command) {
    if (command == "details" && w.ui.cb_autoQuery->isChecked()) w.ui.cb_autoQuery->click();
  };
  w.ui.cb_autoQuery->click();
  QVERIFY(!w.ui.cb_autoQuery->isChecked());
  QVERIFY(!w.querytimer.isActive());
  server.peer.requests.clear();
  w.SetActivePageIndex(PlayersPage);
  QCOMPARE(server.Commands(), Commands{"players"});
}

void TestQueryCycle::runningTimerKeepsPagesAndRefreshQuiet() {
  Window window;
  Tfrm_main& w = *window.w;
  GameServer server;
  server.password = "pw";
  window.Choose(window.AddServer("Test", server));
  StartAutoQuery(w, 120);
  server.peer.requests.clear();

  for (const int page : {PlayersPage, RulesPage, ServerPage}) w.SetActivePageIndex(page);
  w.uiPlayers.btn_refresh->click();
  QCOMPARE(server.Commands(), Commands{});

  w.ui.cb_autoQuery->click();
  QVERIFY(!w.querytimer.isActive());
  w.SetActivePageIndex(PlayersPage);
  QCOMPARE(server.Commands(), (Commands{"players", "rcon 4711 pw status"}));
  QVERIFY(window.dialogs.shown.empty());
}

void TestQueryCycle::refreshBlanksDetailsAndRequeries() {
  Window window;
  Tfrm_main& w = *window.w;
  GameServer server;
  window.AddServer("Test", server);

  w.uiPlayers.btn_refresh->click();
  QCOMPARE(server.Commands(), Commands{});
  QVERIFY(window.dialogs.shown.empty());

  window.Choose(0);
  server.peer.requests.clear();
  w.uiPlayers.sg_addplayerinfo->setItem(0, 1, new QTableWidgetItem(QStringLiteral("old")));
  w.uiPlayers.btn_refresh->click();
  QCOMPARE(server.Commands(), Commands{"players"});
  QCOMPARE(w.uiPlayers.sg_addplayerinfo->item(0, 1)->text(), QString());
}

void TestQueryCycle::rconControlShowsOnlyTheFlag() {
  Window window;
  Tfrm_main& w = *window.w;
  GameServer server;
  server.password = "pw";
  w.ui.cb_rconctrl->click();
  QVERIFY(!w.ui.cb_rconctrl->isChecked());
  window.Choose(window.AddServer("Test", server));
  w.ui.cb_rconctrl->click();
  QVERIFY(w.ui.cb_rconctrl->isChecked());
}

// A tick that arrives while another tick waits for its reply is skipped, and neither stops
// the timer nor shows anything.
void TestQueryCycle::tickDuringWaitIsSkipped() {
  Window window;
  Tfrm_main& w = *window.w;
  w.UDPClient.SetReceiveTimeout(3000);
  GameServer server;
  window.Choose(window.AddServer("Test", server));
  StartAutoQuery(w, 120);
  server.peer.requests.clear();
  server.silentOn = {"details"};

  std::size_t sentDuringWait = 0;
  QTimer::singleShot(100, [&] {
    w.querytimerTimer();
    sentDuringWait = server.peer.requests.size();
    server.silentOn.clear();
    server.peer.sendToLastClient(DetailsReply(server.details));
  });
  w.querytimerTimer();

  QCOMPARE(sentDuringWait, std::size_t{1});
  QCOMPARE(server.Commands(), (Commands{"details", "players", "rules"}));
  QVERIFY(w.querytimer.isActive());
  QVERIFY(window.dialogs.shown.empty());
}

// While a page's request waits, a tick is skipped; a page change, Refresh, the choice of
// another server and a console line run after the wait, in that order. The line cannot go out
// there (no password) and comes back into the edit.
void TestQueryCycle::eventsDuringWaitRunAfterItInOrder() {
  Window window;
  Tfrm_main& w = *window.w;
  GameServer first;
  GameServer second;
  window.AddServer("First", first);
  window.AddServer("Second", second);
  window.Choose(0);
  first.peer.requests.clear();

  Commands sentDuringWait;
  bool acted = false;
  first.beforeAnswer = [&](const std::string&) {
    if (std::exchange(acted, true)) return;
    w.querytimerTimer();
    w.SetActivePageIndex(RulesPage);
    w.uiPlayers.btn_refresh->click();
    window.Choose(1);
    w.uiAdmin.ed_rconcmd->setText(QStringLiteral("say hi"));
    w.btn_sendrconcmdClick();
    sentDuringWait = first.Commands();
  };
  w.SetActivePageIndex(PlayersPage);
  QTRY_COMPARE(w.uiAdmin.ed_rconcmd->text(), QStringLiteral("say hi"));

  QCOMPARE(sentDuringWait, Commands{"players"});
  QCOMPARE(first.Commands(), (Commands{"players", "rules", "players"}));
  QCOMPARE(second.Commands(), (Commands{"details", "players", "rules"}));
  QCOMPARE(w.CurrentServer.Port, static_cast<std::int32_t>(second.peer.port()));
  QVERIFY(w.CurrentServer.ServerSelected);
  QCOMPARE(window.dialogs.texts(), QStringList{"Kein Rcon password angegeben!"});
}

// A password and a challenge belong to their server. After a server with a password, one
// without answers every request with a challenge reply: it gets no console line, let alone the
// first server's password.
void TestQueryCycle::passwordStaysWithItsServer() {
  Window window;
  Tfrm_main& w = *window.w;
  GameServer withPassword;
  withPassword.password = "secretB";
  UdpPeer hostile;
  hostile.setScript([](const UdpPeer::Request&) { return Commands{ChallengeReply("4242")}; });
  window.Choose(window.AddServer("A", withPassword));
  window.Choose(window.AddServer("B", "127.0.0.1:" + std::to_string(hostile.port())));
  QCOMPARE(hostile.commands(), (Commands{"details", "players", "rules"}));
  QVERIFY(w.CurrentServer.RconPassword.empty() && w.CurrentServer.Challenge.empty());
  QVERIFY(window.dialogs.shown.empty());
}

// The first selection fails after the operator has chosen another server; that choice is
// selected all the same.
void TestQueryCycle::choiceDuringFailingSelectionIsKept() {
  Window window;
  Tfrm_main& w = *window.w;
  GameServer dead;
  dead.answering = false;
  GameServer second;
  window.AddServer("Dead", dead);
  window.AddServer("Second", second);

  QTimer::singleShot(100, [&] { window.Choose(1); });
  window.Choose(0);

  QTRY_COMPARE_WITH_TIMEOUT(second.Commands(), (Commands{"details", "players", "rules"}), 3000);
  QCOMPARE(window.dialogs.texts(), QStringList{TimeoutText});
  QCOMPARE(w.ui.cb_servers->currentIndex(), 1);
  QVERIFY(w.CurrentServer.ServerSelected);
}

QTEST_MAIN(TestQueryCycle)
#include "test_querycycle.moc"
