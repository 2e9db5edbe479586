// The query protocols of the real window against the game-server simulator: the selection
// cycle with both of them, each server's own protocol found and remembered, the "Protocol"
// option of the Options page and its settings file.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTableWidget>
#include <QTableWidgetItem>
#include <QTest>
#include <QTreeWidget>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "e2ewindow.h"
#include "protocol/player_class.h"
#include "udppeer.h"

using namespace e2e;

namespace {

const std::string Password = "pw";
const QString SettingsFile = QStringLiteral("zerval.ini");
const QByteArray AutoSettings = QByteArrayLiteral("[Query]\nProtocol=auto\n");

QString Cell(const QTableWidget* grid, int row, int column) {
  const QTableWidgetItem* item = grid->item(row, column);
  return item == nullptr ? QString() : item->text();
}

// Every request the simulator received, named: command texts as they are, with the console
// challenge shown as "CH"; Steam-era requests as "info", "players" or "rules", followed by
// "+challenge" when they carry a challenge the server gave.
Commands RequestNames(const SimulatorProcess& simulator, const std::string& consoleChallenge) {
  const std::string steamPrefix(4, '\xFF');
  const std::string infoRequest = steamPrefix + "TSource Engine Query" + '\0';
  const std::string noChallenge(4, '\xFF');
  Commands names;
  for (const SimulatorProcess::Request& request : simulator.requests()) {
    const std::string& bytes = request.bytes;
    if (bytes.rfind(infoRequest, 0) == 0) {
      names.push_back(bytes.size() > infoRequest.size() ? "info+challenge" : "info");
    } else if (bytes.rfind(steamPrefix, 0) == 0 && bytes.size() == 9) {
      const std::string name = bytes[4] == 'U' ? "players" : bytes[4] == 'V' ? "rules" : "?";
      names.push_back(bytes.substr(5) == noChallenge ? name : name + "+challenge");
    } else {
      std::string command = bytes;
      if (!consoleChallenge.empty())
        for (std::size_t at; (at = command.find(consoleChallenge)) != std::string::npos;)
          command.replace(at, consoleChallenge.size(), "CH");
      names.push_back(command);
    }
  }
  return names;
}

// The program started again in the same working directory, with `files` put into the per-user
// options folder first. False when a file could not be written.
[[nodiscard]] bool Restart(Window& window,
                           const std::vector<std::pair<QString, QByteArray>>& files) {
  window.w.reset();
  window.dialogs.shown.clear();
  for (const auto& [name, bytes] : files) {
    QFile file(UserOptionsFile(window.dir, name));
    if (!QDir().mkpath(QFileInfo(file).path()) || !file.open(QIODevice::WriteOnly) ||
        file.write(bytes) != bytes.size())
      return false;
  }
  window.w = std::make_unique<Tfrm_main>();
  window.w->show();
  window.w->UDPClient.SetReceiveTimeout(ReceiveTimeoutMs);
  return true;
}

QByteArray ReadUserFile(const Window& window, const QString& name) {
  QFile file(UserOptionsFile(window.dir, name));
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The operator picks a protocol in the Options page's drop-down list.
void PickProtocol(Tfrm_main& w, QueryProtocol protocol) {
  QTest::keyClick(w.uiOptions.cb_protocol,
                  protocol == QueryProtocol::Steam ? Qt::Key_Down : Qt::Key_Up);
}

}  // namespace

class TestE2eProtocol : public QObject {
  Q_OBJECT

 private slots:
  void selectionCycleWithBothProtocols_data();
  void selectionCycleWithBothProtocols();
  void mixedFleetFindsEachProtocol();
  void serverOfAnotherGenerationIsFoundAfresh();
  void protocolSwitchActsAtOnce();
  void protocolSurvivesARestart();
  void settingsFileReadAtStart_data();
  void settingsFileReadAtStart();
  void unreadableSettingsFileIsReported();
};

void TestE2eProtocol::selectionCycleWithBothProtocols_data() {
  QTest::addColumn<QueryProtocol>("protocol");
  QTest::addColumn<QStringList>("serverMode");
  QTest::addColumn<Commands>("queries");
  QTest::addColumn<bool>("inPieces");
  const Commands classicQueries = {"details", "players", "rules"};
  const Commands steamQueries = {"info", "players", "players+challenge", "rules",
                                 "rules+challenge"};
  // Pieces of at most 400 bytes, so that the players and rules replies are split.
  const QStringList small = {"--split-size", "400"};
  QTest::newRow("classic") << QueryProtocol::Classic << QStringList{"--protocol", "classic"}
                           << classicQueries << false;
  QTest::newRow("classic, older pieces")
      << QueryProtocol::Classic << QStringList{"--protocol", "classic", "--split", "packed"} + small
      << classicQueries << true;
  QTest::newRow("steam") << QueryProtocol::Steam << QStringList{"--protocol", "steam"}
                         << steamQueries << false;
  QTest::newRow("steam, info with challenge")
      << QueryProtocol::Steam << QStringList{"--protocol", "steam", "--info-challenge"}
      << Commands{"info",  "info+challenge", "players", "players+challenge",
                  "rules", "rules+challenge"}
      << false;
  QTest::newRow("steam, newer pieces")
      << QueryProtocol::Steam << QStringList{"--protocol", "steam"} + small << steamQueries << true;
  QTest::newRow("steam, older pieces")
      << QueryProtocol::Steam << QStringList{"--protocol", "steam", "--split", "packed"} + small
      << steamQueries << true;
  QTest::newRow("steam, compressed pieces")
      << QueryProtocol::Steam << QStringList{"--protocol", "steam", "--compress"} + small
      << steamQueries << true;
}

// A full server: its status listing is longer than one console reply of the simulator, so it
// arrives in several; with small pieces its players and rules replies arrive split.
void TestE2eProtocol::selectionCycleWithBothProtocols() {
  QFETCH(QueryProtocol, protocol);
  QFETCH(QStringList, serverMode);
  QFETCH(Commands, queries);
  QFETCH(bool, inPieces);
  SimulatorProcess simulator;
  QVERIFY2(simulator.start(QStringList{"--password", QString::fromStdString(Password), "--name",
                                       "Full House", "--map", "dm_full", "--players", "32",
                                       "--bots", "0", "--max", "32", "--rules", "60"} +
                           serverMode),
           qPrintable(simulator.errorText()));
  Window window;
  Tfrm_main& w = *window.w;
  w.SetProtocolChoice(protocol == QueryProtocol::Steam ? WireProtocol::A2s : WireProtocol::Classic);
  window.LoadList({Entry("Full", Address(simulator), Password)});

  window.Choose(0);

  QCOMPARE(window.dialogTexts(), QStringList());
  Commands expected = {"challenge rcon", "rcon CH pw "};
  expected.insert(expected.end(), queries.begin(), queries.end());
  expected.push_back("rcon CH pw status");
  QCOMPARE(RequestNames(simulator, w.CurrentServer.Challenge), expected);
  QVERIFY(w.CurrentServer.ServerSelected);
  w.ShowHiddenLogLines();
  QCOMPARE(w.ui.mem_status->toPlainText().contains(QStringLiteral("\nFE FF FF FF ")), inPieces);

  const QTableWidget* details = w.uiDetails.sg_details;
  QCOMPARE(Cell(details, 0, 1), QStringLiteral("Full House"));
  QCOMPARE(Cell(details, 1, 1), QString::fromStdString(Address(simulator)));
  QCOMPARE(Cell(details, 3, 1), QStringLiteral("dm_full"));
  QCOMPARE(Cell(details, 4, 1), QStringLiteral("32/32"));
  QCOMPARE(ShownPlayers(w).size(), 32);
  QCOMPARE(w.uiRules.sg_rules->rowCount(), 61);
  for (int row = 1; row < 61; ++row) QVERIFY(!Cell(w.uiRules.sg_rules, row, 0).isEmpty());

  // The status listing, joined from its replies, has a record for each of the 32 rows, found
  // as kick and ban find it.
  QCOMPARE(w.PlayerInfo.Count(), 32);
  const QTreeWidget* rows = w.uiPlayers.lv_players;
  std::set<std::int32_t> records;
  for (int row = 0; row < rows->topLevelItemCount(); ++row)
    records.insert(MatchStatusRecord(
        w.PlayerInfo, row,
        rows->topLevelItem(row)->data(0, Tfrm_main::PlayerNameRole).toByteArray().toStdString()));
  QCOMPARE(records.size(), std::size_t{32});
  QVERIFY(records.count(-1) == 0);
}

// With "Auto", each server of a mixed list is asked in its own protocol without a time-out:
// "details" and the info request go out together at the first selection, later selections ask
// as the protocol found asks, and the list editor shows what was found. A silent server times
// out as before. What was found is in the settings file once the program ends.
void TestE2eProtocol::mixedFleetFindsEachProtocol() {
  SimulatorProcess classic, steam, both;
  QVERIFY(classic.start({"--protocol", "classic", "--name", "Old Guard"}));
  QVERIFY(steam.start({"--protocol", "steam", "--name", "New Wave"}));
  QVERIFY(both.start({"--protocol", "both", "--name", "Bridge"}));
  UdpPeer silent;
  silent.setScript([](const UdpPeer::Request&) { return std::vector<std::string>(); });
  Window window;
  QVERIFY(Restart(window, {{SettingsFile, AutoSettings}}));
  Tfrm_main& w = *window.w;
  const std::string silentAddress = "127.0.0.1:" + std::to_string(silent.port());
  window.LoadList({Entry("Old", Address(classic)), Entry("New", Address(steam)),
                   Entry("Bridge", Address(both)), Entry("Silent", silentAddress)});

  const QStringList names = {"Old Guard", "New Wave", "Bridge"};
  for (int round = 0; round < 2; ++round)
    for (int i = 0; i < names.size(); ++i) {
      window.Choose(i);
      QCOMPARE(window.dialogTexts(), QStringList());
      QVERIFY(w.CurrentServer.ServerSelected);
      QCOMPARE(Cell(w.uiDetails.sg_details, 0, 1), names[i]);
    }
  const Commands steamQueries = {"info", "players", "players+challenge", "rules",
                                 "rules+challenge"};
  Commands steamWire = {"details"};
  for (int round = 0; round < 2; ++round)
    steamWire.insert(steamWire.end(), steamQueries.begin(), steamQueries.end());
  QCOMPARE(RequestNames(steam, {}), steamWire);
  for (const SimulatorProcess* server : {&classic, &both})
    QCOMPARE(RequestNames(*server, {}),
             (Commands{"details", "info", "players", "rules", "details", "players", "rules"}));
  QStringList shown;
  for (int row = 0; row < 4; ++row) shown << w.uiOptions.lw_serverlist->topLevelItem(row)->text(3);
  QCOMPARE(shown, (QStringList{"Classic", "A2S", "Classic", ""}));

  window.Choose(3);
  QCOMPARE(window.dialogTexts(), QStringList{TimeoutText});
  QVERIFY(!w.CurrentServer.ServerSelected);
  QCOMPARE(w.ui.cb_servers->currentText(), NoServerText);
  QCOMPARE(silent.commands(), (Commands{"details", "TSource Engine Query"}));

  QVERIFY(w.close());
  const QByteArray settings = ReadUserFile(window, SettingsFile);
  QVERIFY(settings.startsWith(AutoSettings + "[Servers]\n"));
  for (const auto& [server, name] :
       {std::pair{&classic, "classic"}, std::pair{&steam, "a2s"}, std::pair{&both, "classic"}})
    QVERIFY(settings.contains(QByteArray::fromStdString(Address(*server) + "=" + name + "\n")));
}

// A classic server replaced by an A2S-only one at the same address: the remembered protocol
// fails at two selections, and the next one finds the new server's protocol.
void TestE2eProtocol::serverOfAnotherGenerationIsFoundAfresh() {
  SimulatorProcess older;
  QVERIFY(older.start({"--protocol", "classic"}));
  const QString port = QString::number(older.port());
  Window window;
  QVERIFY(Restart(window, {{SettingsFile, AutoSettings}}));
  window.LoadList({Entry("Server", Address(older))});
  window.Choose(0);
  older.stop();
  SimulatorProcess newer;
  QVERIFY(newer.start({"--protocol", "steam", "--port", port, "--name", "Renewed"}));

  window.Choose(0);
  window.Choose(0);
  QCOMPARE(window.dialogTexts(), (QStringList{TimeoutText, TimeoutText}));
  window.Choose(0);
  QCOMPARE(window.dialogTexts().size(), 2);
  QVERIFY(window.w->CurrentServer.ServerSelected);
  QCOMPARE(Cell(window.w->uiDetails.sg_details, 0, 1), QStringLiteral("Renewed"));
  QCOMPARE(RequestNames(newer, {}), (Commands{"details", "details", "details", "info", "players",
                                              "players+challenge", "rules", "rules+challenge"}));
}

// A server that answers only the Steam-era requests: nothing before the switch, everything
// right after it, nothing again after switching back.
void TestE2eProtocol::protocolSwitchActsAtOnce() {
  SimulatorProcess simulator;
  QVERIFY2(simulator.start({"--protocol", "steam", "--name", "Steam Only"}),
           qPrintable(simulator.errorText()));
  Window window;
  Tfrm_main& w = *window.w;
  QCOMPARE(w.uiOptions.cb_protocol->currentText(), QStringLiteral("Classic"));
  QCOMPARE(w.UDPClient.Protocol(), QueryProtocol::Classic);
  window.LoadList({Entry("Steam", Address(simulator))});

  window.Choose(0);
  QCOMPARE(window.dialogTexts(), QStringList{TimeoutText});
  QVERIFY(!w.CurrentServer.ServerSelected);

  PickProtocol(w, QueryProtocol::Steam);
  QCOMPARE(w.uiOptions.cb_protocol->currentText(), QStringLiteral("Steam (A2S)"));
  QCOMPARE(w.UDPClient.Protocol(), QueryProtocol::Steam);
  window.Choose(0);
  QCOMPARE(window.dialogTexts(), QStringList{TimeoutText});
  QVERIFY(w.CurrentServer.ServerSelected);
  QCOMPARE(Cell(w.uiDetails.sg_details, 0, 1), QStringLiteral("Steam Only"));

  PickProtocol(w, QueryProtocol::Classic);
  QCOMPARE(w.UDPClient.Protocol(), QueryProtocol::Classic);
  w.uiPlayers.btn_refresh->click();
  QCOMPARE(window.dialogTexts(), (QStringList{TimeoutText, TimeoutText}));
  QCOMPARE(RequestNames(simulator, {}), (Commands{"details", "info", "players", "players+challenge",
                                                  "rules", "rules+challenge", "players"}));
}

// The protocol reaches the settings file with "Save Options", not before; "config.dat" keeps
// its size. Without a "config.dat" in the working directory both go to the per-user folder.
// Started again from there, the window queries its start-up server with the stored protocol
// before the Options page is filled.
void TestE2eProtocol::protocolSurvivesARestart() {
  SimulatorProcess simulator;
  QVERIFY2(simulator.start({"--protocol", "steam", "--name", "Steam Only"}),
           qPrintable(simulator.errorText()));
  Window window;
  Tfrm_main& w = *window.w;
  Ui::tb_options& page = w.uiOptions;
  const QByteArray unsaved = ReadUserFile(window, SettingsFile);

  // The operator picks the protocol, adds the server, which is queried at once, and makes the
  // saved list the standard list, queried at start.
  PickProtocol(w, QueryProtocol::Steam);
  QTest::keyClicks(page.ed_servername, QStringLiteral("Steam"));
  QTest::keyClicks(page.ed_ip, QString::fromStdString(Address(simulator)));
  page.btn_add->click();
  QVERIFY(w.CurrentServer.ServerSelected);
  const QString listFile = window.dir.filePath(QStringLiteral("servers.zsl"));
  window.dialogs.files = {listFile};
  page.btn_saveslist->click();
  page.ed_serverfile->setText(listFile);
  page.cb_loadslist->click();
  page.cb_Startupquery->click();
  QCOMPARE(page.ud_queryserver->value(), 1);
  QCOMPARE(ReadUserFile(window, SettingsFile), unsaved);

  page.btn_saveoptions->click();
  const QByteArray config = ReadUserFile(window, QStringLiteral("config.dat"));
  const QByteArray settings = ReadUserFile(window, SettingsFile);
  QCOMPARE(window.dialogTexts(), QStringList());
  QCOMPARE(config.size(), 268);
  QCOMPARE(QString(settings).split(u'\n'),
           (QStringList{"[Query]", "Protocol=steam", "[Overview]", "Watch=false", "Period=30",
                        "Notify=true", "[Servers]",
                        QString::fromStdString(Address(simulator)) + "=a2s", ""}));

  QVERIFY(!QFile::exists(window.dir.filePath(QStringLiteral("config.dat"))));
  QVERIFY(Restart(window, {}));
  Tfrm_main& again = *window.w;
  QCOMPARE(window.dialogTexts(), QStringList());
  QCOMPARE(again.UDPClient.Protocol(), QueryProtocol::Steam);
  QCOMPARE(again.uiOptions.cb_protocol->currentText(), QStringLiteral("Steam (A2S)"));
  QVERIFY(again.CurrentServer.ServerSelected);
  QCOMPARE(Cell(again.uiDetails.sg_details, 0, 1), QStringLiteral("Steam Only"));

  // Saved back as Classic, and that is what the next start reads.
  PickProtocol(again, QueryProtocol::Classic);
  again.uiOptions.btn_saveoptions->click();
  QCOMPARE(ReadUserFile(window, QStringLiteral("config.dat")).size(), 268);
  QVERIFY(Restart(window, {}));
  QCOMPARE(window.w->UDPClient.Protocol(), QueryProtocol::Classic);
  QCOMPARE(window.w->uiOptions.cb_protocol->currentText(), QStringLiteral("Classic"));
}

// The items of "Protocol": 0 Auto, 1 Classic, 2 Steam (A2S).
void TestE2eProtocol::settingsFileReadAtStart_data() {
  QTest::addColumn<QByteArray>("contents");
  QTest::addColumn<int>("item");
  QTest::addColumn<QStringList>("dialogs");
  QTest::newRow("steam") << QByteArray("[Query]\nProtocol=steam\n") << 2 << QStringList();
  QTest::newRow("typed by hand") << QByteArray("[Query]\nProtocol = Steam \n") << 2
                                 << QStringList();
  QTest::newRow("classic") << QByteArray("[Query]\nProtocol=classic\n") << 1 << QStringList();
  QTest::newRow("auto") << AutoSettings << 0 << QStringList();
  QTest::newRow("without the key") << QByteArray("[Other]\nKey=1\n") << 0 << QStringList();
  QTest::newRow("empty") << QByteArray() << 0 << QStringList();
  QTest::newRow("unknown protocol")
      << QByteArray("[Query]\nProtocol=a2s\n") << 0
      << QStringList{QStringLiteral("Unknown Query/Protocol \"a2s\" in %1.")};
}

void TestE2eProtocol::settingsFileReadAtStart() {
  QFETCH(QByteArray, contents);
  QFETCH(int, item);
  QFETCH(QStringList, dialogs);
  Window window;
  QVERIFY(Restart(window, {{SettingsFile, contents}}));
  QCOMPARE(
      window.dialogTexts(),
      dialogs.replaceInStrings(QStringLiteral("%1"), UserOptionsFile(window.dir, SettingsFile)));
  QCOMPARE(window.w->uiOptions.cb_protocol->currentIndex(), item);
  if (item == 2) QCOMPARE(window.w->UDPClient.Protocol(), QueryProtocol::Steam);
}

// A folder where the file should be: reported like an unreadable "config.dat"; Auto.
void TestE2eProtocol::unreadableSettingsFileIsReported() {
  Window window;
  QFile::remove(UserOptionsFile(window.dir, SettingsFile));
  QVERIFY(QDir().mkpath(UserOptionsFile(window.dir, SettingsFile)));
  QVERIFY(Restart(window, {}));
  QCOMPARE(window.dialogTexts(),
           QStringList{"Cannot read file " + UserOptionsFile(window.dir, SettingsFile) + "."});
  QCOMPARE(window.w->uiOptions.cb_protocol->currentIndex(), 0);
}

QTEST_MAIN(TestE2eProtocol)
#include "test_e2e_protocol.moc"
