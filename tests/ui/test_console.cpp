// The remote console and the admin actions against a server played by a UDP peer.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QTreeWidget>
#include <QUdpSocket>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "floodpeer.h"
#include "frmquery.h"
#include "main.h"
#include "platform/ownaddresses.h"
#include "platform/startprogram.h"
#include "protocol/datafuncs.h"
#include "sandbox.h"
#include "scripteddialogs.h"
#include "udppeer.h"

namespace {

using Commands = std::vector<std::string>;

const std::string Password = "pw 2";  // a blank inside goes out unquoted

// The longest the window's message loop may wait while a server floods it. Sanitizers make every
// step several times slower.
#ifdef __SANITIZE_ADDRESS__
constexpr qint64 MaxStallMs = 300;
#else
constexpr qint64 MaxStallMs = 100;
#endif

std::string ChallengeReply(const std::string& challenge) {
  return Reply('c', "hallenge rcon " + challenge + "\n") + '\0';
}

std::string ConsoleText(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return Reply('l', text + std::string(2, '\0'));
}

std::string PlayersReply(const std::vector<std::string>& names) {
  std::string payload(1, static_cast<char>(names.size()));
  for (std::size_t i = 0; i < names.size(); ++i)
    payload += static_cast<char>(i) + names[i] + '\0' + std::string(8, '\0');
  return Reply('D', payload);
}

struct StatusPlayer {
  std::string nick;
  std::int32_t userId;
};

std::string StatusReply(const std::vector<StatusPlayer>& players) {
  std::vector<std::string> lines = {"hostname:  Test",
                                    "version :  48/1.1.2.2 8684 secure  (10)",
                                    "tcp/ip  :  127.0.0.1:27015",
                                    "map     :  crossfire at: 0 x, 0 y, 0 z",
                                    "players :  2 active (16 max)",
                                    "",
                                    "#      name userid uniqueid frag time ping loss adr"};
  int slot = 1;
  for (const StatusPlayer& p : players)
    lines.push_back("# " + std::to_string(slot++) + " \"" + p.nick + "\" " +
                    std::to_string(p.userId) + " STEAM_0:0:" + std::to_string(p.userId) +
                    " 0 01:00 50 0 127.0.0.1:27005");
  lines.push_back(std::to_string(players.size()) + " users");
  return ConsoleText(lines);
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// A server with a console: it hands out `challenge`, lists `names` as players and `status` as
// its status listing, and answers every other console command with one line of text.
UdpPeer::Script ConsoleServer(const std::string& challenge, std::vector<std::string> names = {},
                              std::vector<StatusPlayer> status = {}) {
  return [=](const UdpPeer::Request& request) -> Commands {
    const std::string command = request.command();
    if (command == "challenge rcon") return {ChallengeReply(challenge)};
    if (command == "players") return {PlayersReply(names)};
    if (StartsWith(command, "rcon ") && command.size() > 6 &&
        command.compare(command.size() - 7, 7, " status") == 0)
      return {StatusReply(status)};
    if (StartsWith(command, "rcon ")) return {ConsoleText({"done: " + command})};
    return {};
  };
}

void UseServer(Tfrm_main& w, std::uint16_t port, const std::string& challenge) {
  w.CurrentServer.HostIP = "127.0.0.1";
  w.CurrentServer.Port = port;
  w.CurrentServer.ServerSelected = true;
  w.CurrentServer.RconEnabled = true;
  w.CurrentServer.RconPassword = Password;
  w.CurrentServer.Challenge = challenge;
  w.UDPClient.SetReceiveTimeout(300);
}

void UseServer(Tfrm_main& w, const UdpPeer& peer, const std::string& challenge) {
  UseServer(w, peer.port(), challenge);
}

QStringList MemoLines(const QPlainTextEdit* memo) {
  const QString text = memo->toPlainText();
  return text.isEmpty() ? QStringList() : text.split('\n');
}

QAction* MenuItem(Tfrm_main& w, const char* name) {
  for (QAction* action : w.pop_player.actions())
    if (action->objectName() == QLatin1String(name)) return action;
  return nullptr;
}

void SelectRow(Tfrm_main& w, int row) {
  QTreeWidget* list = w.uiPlayers.lv_players;
  list->setCurrentItem(list->topLevelItem(row));
}

}  // namespace

class TestConsole : public QObject {
  Q_OBJECT

  QTemporaryDir workDir;

 private slots:
  void init() {
    EnterSandbox(workDir);
    ForceClassicQueries(UserOptionsFolder(workDir));
  }

  void adminPageLayout() {
    ScriptedDialogs dialogs;
    Tfrm_main w;
    const Ui::tb_admin& a = w.uiAdmin;
    QCOMPARE(a.Label7->text(), QStringLiteral("RCon &Command: (ohne rcon eingeben!)"));
    QCOMPARE(a.ed_rconcmd->geometry(), QRect(1, 20, 192, 21));
    QCOMPARE(a.btn_sendrconcmd->geometry(), QRect(199, 20, 33, 22));
    QCOMPARE(a.btn_sendrconcmd->toolTip(), QStringLiteral("Send rcon-command"));
    QCOMPARE(a.btn_cht->geometry(), QRect(234, 20, 56, 22));
    QVERIFY(!a.btn_cht->icon().isNull());
    QCOMPARE(a.btn_clearlog->text(), QStringLiteral("Clear &Log "));
    QCOMPARE(a.mem_rcondata->geometry(), QRect(0, 50, 675, 306));
    QVERIFY(!a.mem_rcondata->isReadOnly());
    QCOMPARE(a.mem_rcondata->lineWrapMode(), QPlainTextEdit::NoWrap);
    for (const QPushButton* flat : {a.btn_sendrconcmd, a.btn_cht, a.btn_clearlog})
      QVERIFY(flat->isFlat() && flat->focusPolicy() == Qt::NoFocus);
    QStringList captions;
    for (const QAction* action : w.pop_player.actions())
      captions << action->objectName() + "=" + action->text();
    QCOMPARE(captions, (QStringList{"kick1=Kick", "ban1min1=Ban 1min", "Ban2min1=Ban 2min",
                                    "Ban5min1=Ban 5min", "Ban10min1=Ban 10min",
                                    "Banpermanent1=Ban permanent"}));
  }

  // Found beside the program's own file, where the Chat action starts it; one in the working
  // directory does not count, nor one that cannot be run.
  void chatNeedsTheCompanionBesideTheProgram() {
    ScriptedDialogs dialogs;
    QTemporaryDir workingDir;
    QDir::setCurrent(workingDir.path());
    const auto chatEnabled = [] { return Tfrm_main().uiAdmin.btn_cht->isEnabled(); };
    const auto place = [](const QString& path, QFile::Permissions permissions) {
      QFile companion(path);
      return companion.open(QIODevice::WriteOnly) && companion.setPermissions(permissions);
    };
    const QFile::Permissions runnable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    QVERIFY(place(CompanionProgramName(), runnable));
    QVERIFY(!chatEnabled());
    QVERIFY(place(CompanionProgramPath(), QFile::ReadOwner | QFile::WriteOwner));
    QVERIFY(!chatEnabled());
    QVERIFY(place(CompanionProgramPath(), runnable));
    QVERIFY(chatEnabled());
    QVERIFY(QFile::remove(CompanionProgramPath()));
  }

  void sendWithStoredChallenge_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("byEnter");
    QTest::addColumn<QString>("wire");
    QTest::newRow("button") << "say hello all" << false << "rcon 77 pw 2 say hello all";
    QTest::newRow("enter") << "users" << true << "rcon 77 pw 2 users";
    QTest::newRow("empty edit") << "" << false << "rcon 77 pw 2 ";
  }

  void sendWithStoredChallenge() {
    QFETCH(QString, typed);
    QFETCH(bool, byEnter);
    QFETCH(QString, wire);
    ScriptedDialogs dialogs;
    UdpPeer server;
    server.setScript(ConsoleServer("77"));
    Tfrm_main w;
    UseServer(w, server, "77");
    w.show();
    w.SetActivePageIndex(4);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QLineEdit* edit = w.uiAdmin.ed_rconcmd;
    edit->setFocus();
    QTest::keyClicks(edit, typed);
    if (byEnter)
      QTest::keyClick(edit, Qt::Key_Return);
    else
      QTest::mouseClick(w.uiAdmin.btn_sendrconcmd, Qt::LeftButton);

    QCOMPARE(server.commands(), Commands{wire.toStdString()});
    QCOMPARE(MemoLines(w.uiAdmin.mem_rcondata),
             (QStringList{"Sending :\"" + typed + "\"", "done: " + wire}));
    QVERIFY(edit->text().isEmpty());
    QCOMPARE(QApplication::focusWidget(), edit);
    QVERIFY(dialogs.shown.empty());

    QTest::mouseClick(w.uiAdmin.btn_clearlog, Qt::LeftButton);
    QVERIFY(w.uiAdmin.mem_rcondata->toPlainText().isEmpty());
  }

  // The command is taken at the press: what the operator types while the challenge is fetched
  // stays in the edit and does not go out.
  void sendWithoutChallengeGoesThroughTheChallengeReply() {
    ScriptedDialogs dialogs;
    UdpPeer server;
    Tfrm_main w;
    const UdpPeer::Script console = ConsoleServer("31337");
    server.setScript([&](const UdpPeer::Request& request) {
      w.uiAdmin.ed_rconcmd->setText(QStringLiteral("quit"));
      return console(request);
    });
    UseServer(w, server, "");
    w.uiAdmin.ed_rconcmd->setText(QStringLiteral("maps *"));
    w.btn_sendrconcmdClick();

    QCOMPARE(server.commands(), (Commands{"challenge rcon", "rcon 31337 pw 2 maps *"}));
    QCOMPARE(w.CurrentServer.Challenge, std::string("31337"));
    QCOMPARE(MemoLines(w.uiAdmin.mem_rcondata),
             (QStringList{"Sending :\"maps *\"", "done: rcon 31337 pw 2 maps *"}));
    QCOMPARE(w.uiAdmin.ed_rconcmd->text(), QStringLiteral("quit"));
  }

  // While an exchange waits, the operator sends two lines, kicks the selected player, selects
  // another row and refreshes. Nothing is lost or garbled: all of it runs after the wait, in
  // order, and the kick hits the player chosen at its click.
  void actionsDuringAWaitRunAfterItInOrder() {
    ScriptedDialogs dialogs;
    UdpPeer server;
    Tfrm_main w;
    const UdpPeer::Script console =
        ConsoleServer("5", {"Gordon", "Alyx"}, {{"Gordon", 12}, {"Alyx", 17}});
    UseServer(w, server, "5");
    server.setScript(console);
    w.RefreshPlayers();
    SelectRow(w, 1);
    QLineEdit* edit = w.uiAdmin.ed_rconcmd;
    QStringList editAfterEnter;
    server.setScript([&](const UdpPeer::Request& request) -> Commands {
      if (request.command() != "rules") return console(request);
      for (const char* line : {"say 1", "say 2"}) {
        QTest::keyClicks(edit, QString::fromLatin1(line));
        QTest::keyClick(edit, Qt::Key_Return);
        editAfterEnter << edit->text();
      }
      MenuItem(w, "kick1")->trigger();
      SelectRow(w, 0);
      w.uiPlayers.btn_refresh->click();
      return {Reply('E', std::string(2, '\0'))};
    });
    w.UDPClient.QueryServer(w.CurrentServer.HostIP, w.CurrentServer.Port, "rules", nullptr, true);
    const std::string refresh[] = {"players", "rcon 5 pw 2 status"};
    QTRY_COMPARE(server.commands(), (Commands{refresh[0], refresh[1], "rules", "rcon 5 pw 2 say 1",
                                              "rcon 5 pw 2 say 2", "rcon 5 pw 2 kick #17",
                                              refresh[0], refresh[1], refresh[0], refresh[1]}));
    QCOMPARE(editAfterEnter, (QStringList{"", ""}));
    QVERIFY(dialogs.shown.empty());
  }

  // Console lines carry the password and never go to a broadcast address: every console action
  // says so and sends nothing; the status fetch is skipped with a log line only.
  void consoleActionsRefuseABroadcastAddress() {
    ScriptedDialogs dialogs;
    UdpPeer server;
    Tfrm_main w;
    UseServer(w, server, "5");
    w.CurrentServer.HostIP = "255.255.255.255";
    w.uiAdmin.ed_rconcmd->setText(QStringLiteral("say x"));
    w.btn_sendrconcmdClick();
    w.btn_chtClick();
    QVERIFY(!w.SendRconCommand("writeid"));
    w.QueryRconStatus();

    QCOMPARE(w.CurrentServer.BytesSent, 0);
    const QString refusal =
        QStringLiteral("Keine Rcon-Befehle an eine Broadcast-Adresse! Nichts gesendet.");
    QCOMPARE(dialogs.texts(), (QStringList{refusal, refusal, refusal}));
    QCOMPARE(w.uiAdmin.ed_rconcmd->text(), QStringLiteral("say x"));
    w.ShowHiddenLogLines();
    QVERIFY(w.ui.mem_status->toPlainText().contains(QStringLiteral("\"status\" nicht gesendet")));
  }

  // Someone else answers the challenge request: the exchange takes only the asked server's
  // reply, so the forger never sees a console line, let alone the password.
  void forgedChallengeReplyNeverGetsThePassword() {
    ScriptedDialogs dialogs;
    UdpPeer server;
    QUdpSocket forger;
    QVERIFY(forger.bind(QHostAddress::LocalHost, 0));
    server.setScript([&forger](const UdpPeer::Request& request) -> Commands {
      const std::string reply = ChallengeReply("666");
      forger.writeDatagram(reply.data(), static_cast<qint64>(reply.size()), request.from,
                           request.fromPort);
      return {};
    });
    Tfrm_main w;
    UseServer(w, server, "");
    w.uiAdmin.ed_rconcmd->setText(QStringLiteral("status"));
    w.btn_sendrconcmdClick();
    QTest::qWait(100);

    QCOMPARE(server.commands(), Commands{"challenge rcon"});
    QVERIFY(!forger.hasPendingDatagrams());
    QVERIFY(w.CurrentServer.Challenge.empty());
    QCOMPARE(dialogs.texts(), QStringList{"Ziel nicht erreichbar!"});

    // A challenge reply that got through anyway was asked for by nobody: it is only stored.
    server.setScript(ConsoleServer("666"));
    const Datagram forged{ChallengeReply("666"), "127.0.0.1", forger.localPort()};
    w.UDPClient.HandleReply(forged, nullptr, false);
    QTest::qWait(100);
    QCOMPARE(server.commands(), Commands{"challenge rcon"});
    QCOMPARE(w.CurrentServer.Challenge, std::string("666"));
    QVERIFY(!forger.hasPendingDatagrams());
  }

  void playerMenuSendsItsCommandsThenRefreshes_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<QStringList>("sent");
    const QString kick = "rcon 42 pw 2 kick #17";
    QTest::newRow("kick") << "kick1" << QStringList{kick};
    QTest::newRow("1 min") << "ban1min1"
                           << QStringList{"rcon 42 pw 2 banid 1 #17", "rcon 42 pw 2 writeid", kick};
    QTest::newRow("2 min") << "Ban2min1"
                           << QStringList{"rcon 42 pw 2 banid 2 #17", "rcon 42 pw 2 writeid", kick};
    QTest::newRow("5 min") << "Ban5min1"
                           << QStringList{"rcon 42 pw 2 banid 5 #17", "rcon 42 pw 2 writeid", kick};
    QTest::newRow("10 min") << "Ban10min1"
                            << QStringList{"rcon 42 pw 2 banid 10 #17", "rcon 42 pw 2 writeid",
                                           kick};
    QTest::newRow("permanent") << "Banpermanent1"
                               << QStringList{"rcon 42 pw 2 banid 0 #17", "rcon 42 pw 2 writeid",
                                              kick};
  }

  void playerMenuSendsItsCommandsThenRefreshes() {
    QFETCH(QString, item);
    QFETCH(QStringList, sent);
    ScriptedDialogs dialogs;
    UdpPeer server;
    server.setScript(ConsoleServer("42", {"Gordon", "Alyx"}, {{"Gordon", 12}, {"Alyx", 17}}));
    Tfrm_main w;
    UseServer(w, server, "42");
    w.RefreshPlayers();
    server.requests.clear();
    SelectRow(w, 1);
    w.uiAdmin.ed_rconcmd->setText(QStringLiteral("half typed"));
    MenuItem(w, item.toLatin1().constData())->trigger();

    QStringList wire;
    for (const std::string& command : server.commands()) wire << QString::fromStdString(command);
    QCOMPARE(wire, sent + QStringList({"players", "rcon 42 pw 2 status"}));
    QVERIFY(w.uiAdmin.ed_rconcmd->text().isEmpty());
    QVERIFY(w.uiAdmin.mem_rcondata->toPlainText().isEmpty());
    QVERIFY(dialogs.shown.empty());
  }

  // The players reply and the status listing list the players in different orders; a bot is
  // missing from the listing, and a player has quotes and blanks in the name.
  void kickFindsThePlayerByName_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("sent");
    QTest::addColumn<QString>("error");
    QTest::newRow("first row, last record") << 0 << "rcon 9 pw 2 kick #3"
                                            << "";
    QTest::newRow("quoted nick") << 1 << "rcon 9 pw 2 kick #5"
                                 << "";
    QTest::newRow("not in the listing") << 2 << ""
                                        << "Spieler nicht in der Statusliste gefunden!";
    QTest::newRow("no row selected") << -1 << ""
                                     << "Kein Spieler gewählt!";
  }

  void kickFindsThePlayerByName() {
    QFETCH(int, row);
    QFETCH(QString, sent);
    QFETCH(QString, error);
    ScriptedDialogs dialogs;
    UdpPeer server;
    server.setScript(ConsoleServer("9", {"Anna", "The \"Real\" One", "[BOT] Zed"},
                                   {{"Bert", 4}, {"The \"Real\" One", 5}, {"Anna", 3}}));
    Tfrm_main w;
    UseServer(w, server, "9");
    w.RefreshPlayers();
    server.requests.clear();
    if (row >= 0) SelectRow(w, row);
    w.kick1Click();

    if (error.isEmpty()) {
      QCOMPARE(server.commands(), (Commands{sent.toStdString(), "players", "rcon 9 pw 2 status"}));
      QVERIFY(dialogs.shown.empty());
    } else {
      QVERIFY(server.commands().empty());
      QCOMPARE(dialogs.texts(), QStringList{error});
      QCOMPARE(dialogs.shown.front().kind, DialogKind::Error);
    }
  }

  void statusQuery_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("count");
    QTest::newRow("console text") << QByteArray::fromStdString(StatusReply({{"Zoe", 8}})) << 1;
    QTest::newRow("another kind") << QByteArray::fromStdString(PlayersReply({"Zoe"})) << 0;
    QTest::newRow("no reply") << QByteArray() << 2;
  }

  void statusQuery() {
    QFETCH(QByteArray, reply);
    QFETCH(int, count);
    ScriptedDialogs dialogs;
    UdpPeer server;
    server.setScript([reply](const UdpPeer::Request&) -> Commands {
      if (reply.isEmpty()) return {};
      return {reply.toStdString()};
    });
    Tfrm_main w;
    UseServer(w, server, "5");
    const std::string before = StatusReply({{"Old", 1}, {"Older", 2}});
    w.PlayerInfo.ParseStatus(*ParseRconReply(before));
    w.QueryRconStatus();

    QCOMPARE(server.commands(), Commands{"rcon 5 pw 2 status"});
    QCOMPARE(w.PlayerInfo.Count(), count);
    QCOMPARE(w.CurrentServer.BytesSent, 23);
    QCOMPARE(w.CurrentServer.BytesReceived, static_cast<std::int32_t>(reply.size()));
    w.ShowHiddenLogLines();
    QVERIFY(w.ui.mem_status->toPlainText().isEmpty());
    QVERIFY(w.uiAdmin.mem_rcondata->toPlainText().isEmpty());
    QVERIFY(dialogs.shown.empty());
  }

  void sendRconCommandChecksInOrder_data() {
    QTest::addColumn<bool>("selected");
    QTest::addColumn<bool>("rcon");
    QTest::addColumn<QString>("challenge");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("message");
    QTest::newRow("nothing set") << false << false << "" << int(DialogKind::Warning)
                                 << "Kein Server gewählt!!!";
    QTest::newRow("no console") << true << false << "7" << int(DialogKind::Error)
                                << "Kein Rcon password angegeben!";
    QTest::newRow("no challenge") << true << true << "" << int(DialogKind::Error)
                                  << "Interner Error 112";
    QTest::newRow("ready") << true << true << "7" << -1 << "";
  }

  void sendRconCommandChecksInOrder() {
    QFETCH(bool, selected);
    QFETCH(bool, rcon);
    QFETCH(QString, challenge);
    QFETCH(int, kind);
    QFETCH(QString, message);
    ScriptedDialogs dialogs;
    UdpPeer server;
    server.setScript(ConsoleServer("7"));
    Tfrm_main w;
    UseServer(w, server, challenge.toStdString());
    w.CurrentServer.ServerSelected = selected;
    w.CurrentServer.RconEnabled = rcon;
    w.uiAdmin.ed_rconcmd->setText(QStringLiteral("typing"));

    const bool replied = w.SendRconCommand("writeid");
    QTest::qWait(50);
    if (kind < 0) {
      QVERIFY(replied);
      QCOMPARE(server.commands(), Commands{"rcon 7 pw 2 writeid"});
      QVERIFY(w.uiAdmin.ed_rconcmd->text().isEmpty());
      QVERIFY(dialogs.shown.empty());
    } else {
      QVERIFY(!replied);
      QVERIFY(server.commands().empty());
      QCOMPARE(w.uiAdmin.ed_rconcmd->text(), QStringLiteral("typing"));
      QCOMPARE(dialogs.texts(), QStringList{message});
      QCOMPARE(int(dialogs.shown.front().kind), kind);
    }
    w.ShowHiddenLogLines();
    QVERIFY(w.ui.mem_status->toPlainText().isEmpty());
    QVERIFY(w.uiAdmin.mem_rcondata->toPlainText().isEmpty());
  }

  // Up and Down walk the commands sent in this session, the newest 100, back to what was being
  // typed; none of them is written anywhere.
  void commandHistory() {
    ScriptedDialogs dialogs;
    UdpPeer server;
    server.setScript(ConsoleServer("3"));
    Tfrm_main w;
    UseServer(w, server, "3");
    QLineEdit* edit = w.uiAdmin.ed_rconcmd;
    for (int i = 1; i <= 102; ++i) {
      edit->setText(QString("say %1 secret%1").arg(i));
      QTest::keyClick(edit, Qt::Key_Return);
    }
    edit->setText(QStringLiteral("half typed"));
    const auto press = [edit](Qt::Key key, int times) {
      for (int i = 0; i < times; ++i) QTest::keyClick(edit, key);
      return edit->text();
    };
    QCOMPARE(press(Qt::Key_Up, 1), QStringLiteral("say 102 secret102"));
    QCOMPARE(press(Qt::Key_Up, 99), QStringLiteral("say 3 secret3"));
    QCOMPARE(press(Qt::Key_Up, 1), QStringLiteral("say 3 secret3"));
    QCOMPARE(press(Qt::Key_Down, 1), QStringLiteral("say 4 secret4"));
    QCOMPARE(press(Qt::Key_Down, 99), QStringLiteral("half typed"));
    QCOMPARE(press(Qt::Key_Down, 1), QStringLiteral("half typed"));
    QDirIterator files(workDir.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
      QFile file(files.next());
      QVERIFY(file.open(QIODevice::ReadOnly));
      QVERIFY2(!file.readAll().contains("secret"), qPrintable(file.fileName()));
    }
  }

  // Cancel on the wait dialog ends the exchange at once: no time-out message, nothing more of
  // that action (the status after the players), while the action kept behind it still runs.
  void cancelEndsTheWaitAndItsAction() {
    ScriptedDialogs dialogs;
    UdpPeer server;
    Tfrm_main w;
    UseServer(w, server, "5");
    w.UDPClient.SetReceiveTimeout(5000);
    const UdpPeer::Script console = ConsoleServer("5");
    server.setScript([&](const UdpPeer::Request& request) -> Commands {
      if (request.command() != "players") return console(request);
      w.uiAdmin.ed_rconcmd->setText(QStringLiteral("say kept"));
      w.btn_sendrconcmdClick();
      QTimer::singleShot(100, &w, [&w] { w.waitDialog->ui.btn_cancel->click(); });
      return {};
    });
    QElapsedTimer clock;
    clock.start();
    w.btn_refreshClick();
    QTRY_COMPARE(server.commands(), (Commands{"players", "rcon 5 pw 2 say kept"}));
    QVERIFY(clock.elapsed() < 3000);
    QVERIFY(dialogs.shown.empty());
    QVERIFY(!w.waitDialog->isVisible());
    w.ShowHiddenLogLines();
    QVERIFY(MemoLines(w.ui.mem_status).contains(QStringLiteral("cancelled")));
  }

  // Say why: an entry flagged with a password but holding none sends nothing and says so, the
  // command staying in the edit; a time-out while the server answered from another of its
  // addresses names that address.
  void sayWhy() {
    ScriptedDialogs dialogs;
    UdpPeer server;
    server.setScript(ConsoleServer("5"));
    Tfrm_main w;
    UseServer(w, server, "");
    w.CurrentServer.RconPassword.clear();
    w.uiAdmin.ed_rconcmd->setText(QStringLiteral("status"));
    w.btn_sendrconcmdClick();
    w.btn_chtClick();
    QVERIFY(server.commands().empty());
    const QString noPassword = QStringLiteral("Kein Rcon-Passwort für diesen Server gesetzt.");
    QCOMPARE(dialogs.texts(), (QStringList{noPassword, noPassword}));
    QCOMPARE(w.uiAdmin.ed_rconcmd->text(), QStringLiteral("status"));

    QUdpSocket otherAddress;
    QVERIFY(otherAddress.bind(QHostAddress(QStringLiteral("127.0.0.2")), server.port()));
    server.setScript([&otherAddress](const UdpPeer::Request& request) -> Commands {
      const std::string reply = Reply('m', "x");
      otherAddress.writeDatagram(reply.data(), qint64(reply.size()), request.from,
                                 request.fromPort);
      return {};
    });
    dialogs.shown.clear();
    QVERIFY(!w.UDPClient.QueryServer("127.0.0.1", server.port(), "details", nullptr, true));
    QCOMPARE(dialogs.texts(),
             QStringList{"Ziel nicht erreichbar!\nAntworten kamen von einer anderen Adresse: "
                         "127.0.0.2:" +
                         QString::number(server.port())});
  }

  // A server answering with a flood of console text: the pane keeps its newest 10,000 lines with
  // a note that older ones were dropped, and the window's message loop never stalls.
  void floodedPaneStaysBoundedAndTheWindowResponsive() {
    ScriptedDialogs dialogs;
    std::string lines;
    while (lines.size() < 7900) lines += "ab\n";
    FloodPeer flood(Reply('l', lines), std::chrono::milliseconds(1500), FloodPeer::From::Server);
    Tfrm_main w;
    UseServer(w, flood.port(), "5");
    w.show();
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longestStall = 0;
    QTimer tick;
    tick.setInterval(5);
    connect(&tick, &QTimer::timeout, [&] {
      longestStall = std::max(longestStall, clock.elapsed() - last);
      last = clock.elapsed();
    });
    clock.start();
    tick.start();
    w.uiAdmin.ed_rconcmd->setText(QStringLiteral("status"));
    w.btn_sendrconcmdClick();
    QTRY_VERIFY_WITH_TIMEOUT(!flood.flooding() && w.consolePane->Pending() == 0, 10000);
    tick.stop();

    const QTextDocument& pane = *w.uiAdmin.mem_rcondata->document();
    QCOMPARE(pane.blockCount(), int(Tfrm_main::ConsolePaneLimits.lines));
    QVERIFY(std::size_t(pane.characterCount()) <= Tfrm_main::ConsolePaneLimits.characters);
    QCOMPARE(pane.firstBlock().text(), QStringLiteral("[Ältere Zeilen verworfen]"));
    QVERIFY2(longestStall < MaxStallMs, qPrintable(QString("stalled %1 ms").arg(longestStall)));
  }

  void chatSetsUpTheServerLog() {
    ScriptedDialogs dialogs;
    UdpPeer server;
    server.setScript(ConsoleServer("8"));
    Tfrm_main w;
    UseServer(w, server, "8");
    w.btn_chtClick();

    const std::vector<std::string> own = OwnIPv4Addresses();
    if (own.empty()) {
      QVERIFY(server.commands().empty());
      QCOMPARE(dialogs.shown.size(), std::size_t(1));
      return;
    }
    const std::string address = own.size() >= 2 ? own[1] : own[0];
    QCOMPARE(server.commands(), (Commands{"rcon 8 pw 2 LOG ON", "rcon 8 pw 2 mp_logmessages 1",
                                          "rcon 8 pw 2 logaddress " + address + " 3305"}));
    QVERIFY(w.uiAdmin.mem_rcondata->toPlainText().isEmpty());
    QVERIFY(dialogs.shown.empty());
  }
};

QTEST_MAIN(TestConsole)
#include "test_console.moc"
