// The overview page of the real window against simulated fleets: the watch asking every server
// once per period, servers going down and coming back, and the table following the list.
#include <QAbstractItemView>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <map>
#include <string>
#include <vector>

#include "e2ewindow.h"
#include "overviewmodel.h"
#include "queryreplies.h"

using e2e::Address;
using e2e::Entry;

namespace {

constexpr int PeriodMs = 5000;
// What a loaded machine may add to a deadline.
constexpr int SlackMs = 1500;

// Framed "details" requests per server port, from the simulator's request log.
std::map<std::uint16_t, int> DetailsRequests(const SimulatorProcess& simulator) {
  std::map<std::uint16_t, int> counts;
  for (const SimulatorProcess::Request& request : simulator.requests())
    if (request.framed && request.bytes == "details") ++counts[request.serverPort];
  return counts;
}

bool EachAskedAtLeast(const SimulatorProcess& fleet, int servers, std::uint16_t first, int times) {
  const std::map<std::uint16_t, int> counts = DetailsRequests(fleet);
  for (int i = 0; i < servers; ++i) {
    const auto found = counts.find(std::uint16_t(first + i));
    if (found == counts.end() || found->second < times) return false;
  }
  return true;
}

ServerState StateOf(const Tfrm_main& w, int row) {
  return w.overviewModel->Rows()[std::size_t(row)].state;
}

// A sweep now, as "Refresh now" starts it; true once it ended.
bool SweepNow(Tfrm_main& w) {
  w.uiOverview.btn_refreshnow->click();
  return QTest::qWaitFor([&w] { return w.sweep == nullptr; }, 10000);
}

}  // namespace

class TestE2eOverview : public QObject {
  Q_OBJECT

 private slots:
  void watchAsksEveryServerEachPeriod();
  void fleetWhereThreeGoDownAndComeBack();
};

// Twenty servers watched every 5 s from the start: the start-up selection of the first, a
// classic server known from the settings file, goes out as it always did, then each server is
// asked within the first period and again within the next. One server stopped shows "down" with
// one tray message within two periods, and "up" again once it is back.
void TestE2eOverview::watchAsksEveryServerEachPeriod() {
  SimulatorProcess fleet;
  QVERIFY(fleet.start({"--count", "19", "--password", "pw"}));
  SimulatorProcess lone;
  QVERIFY(lone.start({"--name", "Lone"}));
  const std::uint16_t first = fleet.port();
  TServerList list;
  for (int i = 0; i < 19; ++i)
    list.push_back(Entry("Fleet " + std::to_string(i + 1), "127.0.0.1:" + std::to_string(first + i),
                         i == 0 ? "pw" : ""));
  list.push_back(Entry("Lone", Address(lone)));

  QTemporaryDir dir;
  EnterSandbox(dir);
  SaveServerList(list, dir.filePath(QStringLiteral("fleet.zsl")));
  TOptions options;
  options.LoadListOnStartup = 1;
  options.StandardListFile = "fleet.zsl";
  options.QueryOnStartup = 1;
  options.StartupServer = 1;
  SaveOptions(options, dir.filePath(QStringLiteral("config.dat")));
  QFile settings(dir.filePath(QStringLiteral("zerval.ini")));
  QVERIFY(settings.open(QIODevice::WriteOnly));
  settings.write("[Query]\nProtocol=auto\n[Overview]\nWatch=true\nPeriod=5\n[Servers]\n127.0.0.1:" +
                 QByteArray::number(first) + "=classic\n");
  settings.close();
  ScriptedDialogs dialogs;
  Tfrm_main w;
  QSignalSpy trayMessages(&w, &Tfrm_main::TrayMessageShown);
  QElapsedTimer sinceStart;
  w.show();
  sinceStart.start();
  w.UDPClient.SetReceiveTimeout(e2e::ReceiveTimeoutMs);
  QCOMPARE(dialogs.texts(), QStringList());

  std::vector<std::string> startup;
  for (const SimulatorProcess::Request& request : fleet.requests())
    if (request.serverPort == first && startup.size() < 6) startup.push_back(request.bytes);
  const std::string console = "rcon " + w.CurrentServer.Challenge + " pw ";
  QCOMPARE(startup, (std::vector<std::string>{"challenge rcon", console, "details", "players",
                                              "rules", console + "status"}));

  QTRY_VERIFY_WITH_TIMEOUT(
      EachAskedAtLeast(fleet, 19, first, 1) && DetailsRequests(lone)[lone.port()] >= 1, PeriodMs);
  QTRY_VERIFY_WITH_TIMEOUT(
      EachAskedAtLeast(fleet, 19, first, 2) && DetailsRequests(lone)[lone.port()] >= 2,
      2 * PeriodMs + SlackMs - int(sinceStart.elapsed()));
  QCOMPARE(w.uiOverview.lbl_updown->text(), QStringLiteral("20 up, 0 down"));

  const QString port = QString::number(lone.port());
  lone.stop();
  QTRY_COMPARE_WITH_TIMEOUT(StateOf(w, 19), ServerState::Down, 2 * PeriodMs + SlackMs);
  QCOMPARE(trayMessages.size(), 1);
  QVERIFY(trayMessages[0][0].toString().contains(QStringLiteral("antwortet nicht mehr")));
  QCOMPARE(w.uiOverview.lbl_updown->text(), QStringLiteral("19 up, 1 down"));

  SimulatorProcess back;
  QVERIFY(back.start({"--name", "Lone", "--port", port}));
  QTRY_COMPARE_WITH_TIMEOUT(StateOf(w, 19), ServerState::Up, PeriodMs + SlackMs);
  QCOMPARE(trayMessages.size(), 2);
}

// Two hundred servers, three of them silent for two sweeps: each goes down once, with one tray
// message, however many sweeps follow, and comes back once. The table follows the list and keeps
// the history of the entries that stay; Enter on a row selects its server as the combo does.
void TestE2eOverview::fleetWhereThreeGoDownAndComeBack() {
  SimulatorProcess fleet;
  QVERIFY(fleet.start({"--count", "197"}));
  queryreplies::GameServer flaky[3];
  e2e::Window window;
  Tfrm_main& w = *window.w;
  TServerList list;
  for (int i = 0; i < 197; ++i)
    list.push_back(Entry("Fleet", "127.0.0.1:" + std::to_string(fleet.port() + i)));
  for (const queryreplies::GameServer& server : flaky)
    list.push_back(Entry("Flaky", server.Address()));
  window.LoadList(list);
  QSignalSpy trayMessages(&w, &Tfrm_main::TrayMessageShown);
  QCOMPARE(w.overviewModel->rowCount(), 200);

  QVERIFY(SweepNow(w));
  QCOMPARE(w.uiOverview.lbl_updown->text(), QStringLiteral("200 up, 0 down"));
  for (queryreplies::GameServer& server : flaky) server.answering = false;
  for (int sweep = 0; sweep < 3; ++sweep) QVERIFY(SweepNow(w));
  QCOMPARE(w.uiOverview.lbl_updown->text(), QStringLiteral("197 up, 3 down"));
  QCOMPARE(trayMessages.size(), 3);
  for (queryreplies::GameServer& server : flaky) server.answering = true;
  QVERIFY(SweepNow(w));
  QCOMPARE(w.uiOverview.lbl_updown->text(), QStringLiteral("200 up, 0 down"));
  QCOMPARE(trayMessages.size(), 6);
  QVERIFY(trayMessages[5][0].toString().contains(QStringLiteral("antwortet wieder")));

  window.w->uiOptions.lw_serverlist->setCurrentItem(w.uiOptions.lw_serverlist->topLevelItem(0));
  w.uiOptions.btn_remove->click();
  QCOMPARE(w.overviewModel->rowCount(), 199);
  QCOMPARE(w.overviewModel->Rows()[196].history.size(), std::size_t(5));

  QTableView* table = w.uiOverview.lv_overview;
  w.SetActivePageIndex(0);
  table->setFocus();
  table->setCurrentIndex(table->model()->index(197, OverviewModel::Name));
  QTest::keyClick(table, Qt::Key_Return);
  QCOMPARE(w.ui.pc_Server->currentWidget(), w.ui.ts_details);
  QCOMPARE(w.ui.cb_servers->currentIndex(), 197);
  QVERIFY(w.CurrentServer.ServerSelected);
  QCOMPARE(flaky[1].Commands().back(), std::string("rules"));
}

QTEST_MAIN(TestE2eOverview)
#include "test_e2e_overview.moc"
