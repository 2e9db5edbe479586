// The remote console and the admin actions.
#include <QAction>
#include <QEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <optional>
#include <string>
#include <vector>

#include "displaytext.h"
#include "main.h"
#include "platform/dialogs.h"
#include "platform/ownaddresses.h"
#include "platform/startprogram.h"
#include "protocol/datafuncs.h"
#include "protocol/player_class.h"

namespace {

// The port on this machine where the companion program listens for the server's log.
constexpr char LogPort[] = "3305";

std::string ConsoleLineFor(const TCurrentServer& server, const std::string& command) {
  return "rcon " + server.Challenge + " " + server.RconPassword + " " + command;
}

std::string SendingLine(const std::string& command) {
  return "Sending :\"" + command + "\"";
}

// The first two checks of every console action; false once the operator has been told.
bool ConsoleAvailable(const TCurrentServer& server) {
  if (!server.ServerSelected) {
    ShowMessage(DialogKind::Warning, QStringLiteral("Kein Server gewählt!!!"));
    return false;
  }
  if (!server.RconEnabled) {
    ShowMessage(DialogKind::Error, QStringLiteral("Kein Rcon password angegeben!"));
    return false;
  }
  return true;
}

// Enter in the command edit sends like the Send button; the key then reaches the edit as usual.
class CommandEditKeys : public QObject {
 public:
  explicit CommandEditKeys(Tfrm_main& window) : QObject(&window), window_(window) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress)
      window_.ed_rconcmdKeyDown(static_cast<QKeyEvent*>(event)->key());
    return QObject::eventFilter(watched, event);
  }

 private:
  Tfrm_main& window_;
};

struct PlayerMenuItem {
  const char* objectName;
  const char* caption;
  void (Tfrm_main::*handler)();
};

const PlayerMenuItem PlayerMenuItems[] = {
    {"kick1", "Kick", &Tfrm_main::kick1Click},
    {"ban1min1", "Ban 1min", &Tfrm_main::ban1min1Click},
    {"Ban2min1", "Ban 2min", &Tfrm_main::Ban2min1Click},
    {"Ban5min1", "Ban 5min", &Tfrm_main::Ban5min1Click},
    {"Ban10min1", "Ban 10min", &Tfrm_main::Ban10min1Click},
    {"Banpermanent1", "Ban permanent", &Tfrm_main::Banpermanent1Click},
};

}  // namespace

void Tfrm_main::SetupConsole() {
  connect(uiAdmin.btn_sendrconcmd, &QAbstractButton::clicked, this,
          [this] { btn_sendrconcmdClick(); });
  connect(uiAdmin.btn_clearlog, &QAbstractButton::clicked, this, [this] { btn_clearlogClick(); });
  connect(uiAdmin.btn_cht, &QAbstractButton::clicked, this, [this] { btn_chtClick(); });
  uiAdmin.ed_rconcmd->installEventFilter(new CommandEditKeys(*this));
  // A relative name: the companion is looked for in the working directory.
  uiAdmin.btn_cht->setEnabled(QFileInfo::exists(CompanionProgramName()));

  for (const PlayerMenuItem& item : PlayerMenuItems) {
    QAction* action = pop_player.addAction(QString::fromLatin1(item.caption));
    action->setObjectName(QString::fromLatin1(item.objectName));
    connect(action, &QAction::triggered, this,
            [this, handler = item.handler] { (this->*handler)(); });
  }
  QTreeWidget* players = uiPlayers.lv_players;
  players->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(players, &QWidget::customContextMenuRequested, this, [this, players](const QPoint& pos) {
    pop_player.popup(players->viewport()->mapToGlobal(pos));
  });
}

void Tfrm_main::AppendConsoleLine(const std::string& line) {
  uiAdmin.mem_rcondata->appendPlainText(ToDisplay(line));
}

std::string Tfrm_main::RconCommandText() {
  return FromDisplay(uiAdmin.ed_rconcmd->text());
}

void Tfrm_main::QueryRconStatus() {
  const std::optional<Datagram> reply = UDPClient.QueryQuiet(
      CurrentServer.HostIP, CurrentServer.Port, ConsoleLineFor(CurrentServer, "status"), true);
  if (!reply) return;
  PlayerInfo.Clear();
  if (const std::optional<std::vector<std::string>> lines = ParseRconReply(reply->Bytes))
    PlayerInfo.ParseStatus(*lines);
}

bool Tfrm_main::SendRconCommand(const std::string& command) {
  if (!ConsoleAvailable(CurrentServer)) return false;
  if (CurrentServer.Challenge.empty()) {
    ShowMessage(DialogKind::Error, QStringLiteral("Interner Error 112"));
    return false;
  }
  const bool replied =
      UDPClient.QueryServerEx(CurrentServer.HostIP, CurrentServer.Port,
                              ConsoleLineFor(CurrentServer, command), nullptr, false, false);
  uiAdmin.ed_rconcmd->clear();
  return replied;
}

void Tfrm_main::btn_sendrconcmdClick() {
  if (UDPClient.IsBusy() || !ConsoleAvailable(CurrentServer)) return;
  // Without a challenge the command goes out with the challenge reply and stays in the edit.
  if (CurrentServer.Challenge.empty()) {
    UDPClient.QueryChallenge(CurrentServer.HostIP, CurrentServer.Port, CurrentServer.Log, true,
                             RconCommandText());
    return;
  }
  const std::string command = RconCommandText();
  AppendConsoleLine(SendingLine(command));
  UDPClient.QueryServer(CurrentServer.HostIP, CurrentServer.Port,
                        ConsoleLineFor(CurrentServer, command), CurrentServer.Log, true);
  uiAdmin.ed_rconcmd->clear();
}

void Tfrm_main::ed_rconcmdKeyDown(int key) {
  if (key != Qt::Key_Return && key != Qt::Key_Enter) return;
  btn_sendrconcmdClick();
  uiAdmin.ed_rconcmd->setFocus();
}

void Tfrm_main::btn_clearlogClick() {
  uiAdmin.mem_rcondata->clear();
}

void Tfrm_main::btn_chtClick() {
  if (UDPClient.IsBusy() || !ConsoleAvailable(CurrentServer)) return;
  if (CurrentServer.Challenge.empty()) {
    UDPClient.QueryChallenge(CurrentServer.HostIP, CurrentServer.Port, CurrentServer.Log, true, "");
    return;
  }
  // The server's log goes to this machine: to its second own address when it has two or more.
  const std::vector<std::string> ownAddresses = OwnIPv4Addresses();
  if (ownAddresses.empty()) {
    ShowMessage(DialogKind::Error,
                QStringLiteral("Keine eigene IP-Adresse gefunden! Der Chat kann nicht starten."));
    return;
  }
  const std::string& ownAddress = ownAddresses.size() >= 2 ? ownAddresses[1] : ownAddresses[0];
  const std::string setupCommands[] = {"LOG ON", "mp_logmessages 1",
                                       "logaddress " + ownAddress + " " + LogPort};
  for (const std::string& command : setupCommands)
    UDPClient.QueryServer(CurrentServer.HostIP, CurrentServer.Port,
                          ConsoleLineFor(CurrentServer, command), CurrentServer.Log, false);

  StartProgram(
      CompanionProgramPath(),
      {"-" + ToDisplay(CurrentServer.HostIP), "-" + QString::number(CurrentServer.Port),
       "-" + ToDisplay(CurrentServer.Challenge), "-" + ToDisplay(CurrentServer.RconPassword)});
}

void Tfrm_main::kick1Click() {
  if (UDPClient.IsBusy()) return;
  TPlayerRecord player;
  if (!SelectedStatusRecord(player)) return;
  SendRconCommand("kick #" + std::to_string(player.UserId));
  RefreshPlayers();
}

void Tfrm_main::ban1min1Click() {
  BanPlayer("1");
}
void Tfrm_main::Ban2min1Click() {
  BanPlayer("2");
}
void Tfrm_main::Ban5min1Click() {
  BanPlayer("5");
}
void Tfrm_main::Ban10min1Click() {
  BanPlayer("10");
}
void Tfrm_main::Banpermanent1Click() {
  BanPlayer("0");
}

void Tfrm_main::BanPlayer(const std::string& minutes) {
  if (UDPClient.IsBusy()) return;
  TPlayerRecord player;
  if (!SelectedStatusRecord(player)) return;
  const std::string userId = "#" + std::to_string(player.UserId);
  SendRconCommand("banid " + minutes + " " + userId);
  SendRconCommand("writeid");
  SendRconCommand("kick " + userId);
  RefreshPlayers();
}

// The players list and the status listing need not share their order (a player joining
// between the two replies, bots listed elsewhere), so the row is matched by name.
bool Tfrm_main::SelectedStatusRecord(TPlayerRecord& record) {
  const QTreeWidget* players = uiPlayers.lv_players;
  const QList<QTreeWidgetItem*> selected = players->selectedItems();
  if (selected.isEmpty()) {
    ShowMessage(DialogKind::Error, QStringLiteral("Kein Spieler gewählt!"));
    return false;
  }
  QTreeWidgetItem* row = selected.first();
  const std::int32_t index =
      MatchStatusRecord(PlayerInfo, players->indexOfTopLevelItem(row),
                        row->data(0, PlayerNameRole).toByteArray().toStdString());
  if (index < 0) {
    ShowMessage(DialogKind::Error, QStringLiteral("Spieler nicht in der Statusliste gefunden!"));
    return false;
  }
  record = PlayerInfo.GetPlayer(index);
  return true;
}
