// The remote console and the admin actions.
#include <QAction>
#include <QEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "displaytext.h"
#include "main.h"
#include "platform/dialogs.h"
#include "platform/ownaddresses.h"
#include "platform/startprogram.h"
#include "protocol/consoletail.h"
#include "protocol/datafuncs.h"
#include "protocol/player_class.h"
#include "protocol/rconsession.h"

namespace {

// The port on this machine where the companion program listens for the server's log.
constexpr char LogPort[] = "3305";

std::string ConsoleLineFor(const TCurrentServer& server, const std::string& command) {
  return "rcon " + server.Challenge + " " + server.RconPassword + " " + command;
}

std::string SendingLine(const std::string& command) {
  return "Sending :\"" + command + "\"";
}

// The checks of every console action before the challenge; false once the operator has been
// told.
bool ConsoleAvailable(const TCurrentServer& server) {
  if (!server.ServerSelected) {
    ShowMessage(DialogKind::Warning, Tfrm_main::tr("Kein Server gewählt!!!"));
    return false;
  }
  if (!server.RconEnabled) {
    ShowMessage(DialogKind::Error, Tfrm_main::tr("Kein Rcon password angegeben!"));
    return false;
  }
  // An entry flagged with a password may hold none: no server would take its console lines.
  if (server.RconPassword.empty()) {
    ShowMessage(DialogKind::Error, Tfrm_main::tr("Kein Rcon-Passwort für diesen Server gesetzt."));
    return false;
  }
  // A console line carries the password; broadcast, every machine of the network would read it.
  if (IsBroadcastHost(server.HostIP)) {
    ShowMessage(DialogKind::Error,
                Tfrm_main::tr("Keine Rcon-Befehle an eine Broadcast-Adresse! Nichts gesendet."));
    return false;
  }
  return true;
}

// The last `lines` lines of a command's output, and whether lines before them were left out: a
// pane that keeps a bounded number of lines pays only for those.
std::pair<std::string_view, bool> LastLines(std::string_view output, std::size_t lines) {
  std::string_view text = output;
  if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  std::size_t from = text.size();
  for (std::size_t taken = 0; taken < lines; ++taken) {
    if (from == 0) return {output, false};
    const std::size_t feed = text.rfind('\n', from - 1);
    if (feed == std::string_view::npos) return {output, false};
    from = feed;
  }
  return {output.substr(from + 1), true};
}

bool HasOutput(RconEnd end) {
  return end == RconEnd::Complete || end == RconEnd::Quiet || end == RconEnd::Truncated;
}

// The commands of a kick or, with `banMinutes`, a ban: the TCP console names the player by the
// bare user id.
std::vector<std::string> AdminCommands(bool tcp, const std::string& banMinutes,
                                       std::int32_t userId) {
  const std::string id = (tcp ? "" : "#") + std::to_string(userId);
  const std::string kick = (tcp ? "kickid " : "kick ") + id;
  if (banMinutes.empty()) return {kick};
  return {"banid " + banMinutes + " " + id, "writeid", kick};
}

// A command that could not go out comes back into the edit, unless the operator has begun
// another one there meanwhile.
void ReturnToEdit(QLineEdit& edit, const std::string& command) {
  if (edit.text().isEmpty()) edit.setText(ToDisplay(command));
}

// What a kick or ban acts on: the player row chosen at the click, as a status record's user id
// on the server that was current then; or the message why there is none.
struct ChosenPlayer {
  std::int32_t UserId = 0;
  QString Refusal;
  std::string HostIP;
  std::int32_t Port = 0;
};

// The players list and the status listing need not share their order (a player joining
// between the two replies, bots listed elsewhere), so the row is matched by name.
ChosenPlayer ChoosePlayer(const QTreeWidget& players, const TPlayerInfo& status,
                          const TCurrentServer& server) {
  ChosenPlayer chosen;
  chosen.HostIP = server.HostIP;
  chosen.Port = server.Port;
  const QList<QTreeWidgetItem*> selected = players.selectedItems();
  if (selected.isEmpty()) {
    chosen.Refusal = Tfrm_main::tr("Kein Spieler gewählt!");
    return chosen;
  }
  QTreeWidgetItem* row = selected.first();
  const std::int32_t index =
      MatchStatusRecord(status, players.indexOfTopLevelItem(row),
                        row->data(0, Tfrm_main::PlayerNameRole).toByteArray().toStdString());
  if (index < 0)
    chosen.Refusal = Tfrm_main::tr("Spieler nicht in der Statusliste gefunden!");
  else
    chosen.UserId = status.GetPlayer(index).UserId;
  return chosen;
}

// Enter in the command edit sends like the Send button; the key then reaches the edit as usual.
// Up and Down walk the command history instead of reaching the edit.
class CommandEditKeys : public QObject {
 public:
  explicit CommandEditKeys(Tfrm_main& window) : QObject(&window), window_(window) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (window_.ed_rconcmdHistoryKey(key)) return true;
      window_.ed_rconcmdKeyDown(key);
    }
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
    {"kick1", QT_TRANSLATE_NOOP("Tfrm_main", "Kick"), &Tfrm_main::kick1Click},
    {"ban1min1", QT_TRANSLATE_NOOP("Tfrm_main", "Ban 1min"), &Tfrm_main::ban1min1Click},
    {"Ban2min1", QT_TRANSLATE_NOOP("Tfrm_main", "Ban 2min"), &Tfrm_main::Ban2min1Click},
    {"Ban5min1", QT_TRANSLATE_NOOP("Tfrm_main", "Ban 5min"), &Tfrm_main::Ban5min1Click},
    {"Ban10min1", QT_TRANSLATE_NOOP("Tfrm_main", "Ban 10min"), &Tfrm_main::Ban10min1Click},
    {"Banpermanent1", QT_TRANSLATE_NOOP("Tfrm_main", "Ban permanent"),
     &Tfrm_main::Banpermanent1Click},
};

}  // namespace

void Tfrm_main::SetupConsole() {
  connect(uiAdmin.btn_sendrconcmd, &QAbstractButton::clicked, this,
          [this] { btn_sendrconcmdClick(); });
  connect(uiAdmin.btn_clearlog, &QAbstractButton::clicked, this, [this] { btn_clearlogClick(); });
  connect(uiAdmin.btn_cht, &QAbstractButton::clicked, this, [this] { btn_chtClick(); });
  uiAdmin.ed_rconcmd->installEventFilter(new CommandEditKeys(*this));
  consolePane =
      new BoundedLog(*uiAdmin.mem_rcondata, ConsolePaneLimits, tr("[Ältere Zeilen verworfen]"));
  // Found where the Chat action starts it: beside the program's own file.
  const QFileInfo companion(CompanionProgramPath());
  uiAdmin.btn_cht->setEnabled(companion.isFile() && companion.isExecutable());

  for (const PlayerMenuItem& item : PlayerMenuItems) {
    QAction* action = pop_player.addAction(tr(item.caption));
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
  consolePane->Append(line);
}

// Only the lines the pane keeps are read: a flood of console text costs what shows.
void Tfrm_main::AppendConsoleReply(std::string_view reply) {
  const ConsoleTail tail = ConsoleReplyTail(reply, ConsolePaneLimits.lines);
  if (const std::optional<std::vector<std::string>> lines = ParseRconReply(tail.reply))
    consolePane->Append(*lines, tail.cut);
}

bool Tfrm_main::ed_rconcmdHistoryKey(int key) {
  QLineEdit* edit = uiAdmin.ed_rconcmd;
  std::optional<QString> command;
  if (key == Qt::Key_Up)
    command = commandHistory.Older(edit->text());
  else if (key == Qt::Key_Down)
    command = commandHistory.Newer();
  else
    return false;
  if (command) edit->setText(*command);
  return true;
}

void Tfrm_main::QueryRconStatus() {
  // Callers reach here with a password stored, also for a broadcast entry; its status is not
  // fetched, quietly, as the fetch reports nothing else either.
  if (IsBroadcastHost(CurrentServer.HostIP)) {
    if (CurrentServer.Log)
      CurrentServer.Log("Broadcast-Adresse: Rcon-Befehl \"status\" nicht gesendet");
    return;
  }
  if (CurrentServer.RconPassword.empty()) {
    if (CurrentServer.Log)
      CurrentServer.Log("Kein Rcon-Passwort: Rcon-Befehl \"status\" nicht gesendet");
    return;
  }
  if (ConsoleIsTcp()) return QueryTcpStatus();
  const std::optional<Datagram> reply = UDPClient.QueryQuiet(
      CurrentServer.HostIP, CurrentServer.Port, ConsoleLineFor(CurrentServer, "status"), true);
  if (!reply) return;
  PlayerInfo.Clear();
  if (const std::optional<std::vector<std::string>> lines = ParseRconReply(reply->Bytes))
    PlayerInfo.ParseStatus(*lines);
}

// As the classic status reply: a refused password empties the table, no answer leaves it.
void Tfrm_main::QueryTcpStatus() {
  const RconResult result = RunTcpCommand("status", nullptr, true, false);
  if (result.end != RconEnd::WrongPassword && !HasOutput(result.end)) return;
  PlayerInfo.Clear();
  if (HasOutput(result.end)) PlayerInfo.ParseStatus(RconOutputLines(result.output));
}

bool Tfrm_main::SendRconCommand(const std::string& command) {
  if (!ConsoleAvailable(CurrentServer)) return false;
  if (ConsoleIsTcp()) {
    const RconEnd end = RunTcpCommand(command, nullptr, false, true).end;
    uiAdmin.ed_rconcmd->clear();
    return HasOutput(end) || end == RconEnd::WrongPassword;
  }
  if (CurrentServer.Challenge.empty()) {
    ShowMessage(DialogKind::Error, tr("Interner Error 112"));
    return false;
  }
  const bool replied =
      UDPClient.QueryServerEx(CurrentServer.HostIP, CurrentServer.Port,
                              ConsoleLineFor(CurrentServer, command), nullptr, false, false);
  uiAdmin.ed_rconcmd->clear();
  return replied;
}

void Tfrm_main::btn_sendrconcmdClick() {
  // Taken at the press, and the edit emptied, so the next command can be typed at once.
  const QString typed = uiAdmin.ed_rconcmd->text();
  const std::string command = FromDisplay(typed);
  commandHistory.Add(typed);
  uiAdmin.ed_rconcmd->clear();
  actions.Run([this, command] { SendConsoleCommand(command); });
}

void Tfrm_main::SendConsoleCommand(const std::string& command) {
  if (!ConsoleAvailable(CurrentServer)) {
    ReturnToEdit(*uiAdmin.ed_rconcmd, command);
    return;
  }
  if (ConsoleIsTcp()) return SendTcpConsoleCommand(command);
  // Without a challenge the command goes out with the challenge reply.
  if (CurrentServer.Challenge.empty()) {
    if (!UDPClient.QueryChallenge(CurrentServer.HostIP, CurrentServer.Port, CurrentServer.Log, true,
                                  command))
      ReturnToEdit(*uiAdmin.ed_rconcmd, command);
    return;
  }
  AppendConsoleLine(SendingLine(command));
  UDPClient.QueryServer(CurrentServer.HostIP, CurrentServer.Port,
                        ConsoleLineFor(CurrentServer, command), CurrentServer.Log, true);
}

// The output shows as the classic console's does; a refused password as its answer.
void Tfrm_main::SendTcpConsoleCommand(const std::string& command) {
  AppendConsoleLine(SendingLine(command));
  const RconResult result = RunTcpCommand(command, CurrentServer.Log, true, true);
  if (result.end == RconEnd::WrongPassword) return AppendConsoleLine(RconWrongPasswordText);
  if (result.end == RconEnd::NotSent) return ReturnToEdit(*uiAdmin.ed_rconcmd, command);
  if (!HasOutput(result.end)) return;
  const auto [tail, cut] = LastLines(result.output, ConsolePaneLimits.lines);
  consolePane->Append(RconOutputLines(tail), cut);
}

void Tfrm_main::ed_rconcmdKeyDown(int key) {
  if (key != Qt::Key_Return && key != Qt::Key_Enter) return;
  btn_sendrconcmdClick();
  uiAdmin.ed_rconcmd->setFocus();
}

void Tfrm_main::btn_clearlogClick() {
  consolePane->Clear();
}

void Tfrm_main::btn_chtClick() {
  actions.Run([this] { StartChat(); });
}

void Tfrm_main::StartChat() {
  if (!ConsoleAvailable(CurrentServer)) return;
  const bool tcp = ConsoleIsTcp();
  // The challenge's console line carries no command: the edit's text goes out only by Send.
  if (!tcp && CurrentServer.Challenge.empty()) {
    UDPClient.QueryChallenge(CurrentServer.HostIP, CurrentServer.Port, CurrentServer.Log, true,
                             std::string());
    return;
  }
  const std::optional<std::string> ownAddress = ChatLogAddress();
  if (!ownAddress) {
    ShowMessage(DialogKind::Error,
                tr("Keine eigene IP-Adresse gefunden! Der Chat kann nicht starten."));
    return;
  }
  if (tcp) {
    for (const std::string& command :
         {std::string("log on"), "logaddress_add " + *ownAddress + ":" + LogPort})
      RunTcpCommand(command, CurrentServer.Log, true, true);
  } else {
    for (const std::string& command : {std::string("LOG ON"), std::string("mp_logmessages 1"),
                                       "logaddress " + *ownAddress + " " + LogPort})
      UDPClient.QueryServer(CurrentServer.HostIP, CurrentServer.Port,
                            ConsoleLineFor(CurrentServer, command), CurrentServer.Log, false);
  }

  // The password reaches the companion through a pipe it inherits: a command line can be read by
  // every user of the machine.
  StartProgram(CompanionProgramPath(),
               {"--console", ConsoleKindName(tcp ? ConsoleKind::Tcp : ConsoleKind::Udp),
                "--password-fd", std::to_string(SecretDescriptor), "-" + CurrentServer.HostIP,
                "-" + std::to_string(CurrentServer.Port), "-" + CurrentServer.Challenge},
               CurrentServer.RconPassword);
}

void Tfrm_main::kick1Click() {
  ActOnChosenPlayer(std::string());
}

void Tfrm_main::ban1min1Click() {
  ActOnChosenPlayer("1");
}
void Tfrm_main::Ban2min1Click() {
  ActOnChosenPlayer("2");
}
void Tfrm_main::Ban5min1Click() {
  ActOnChosenPlayer("5");
}
void Tfrm_main::Ban10min1Click() {
  ActOnChosenPlayer("10");
}
void Tfrm_main::Banpermanent1Click() {
  ActOnChosenPlayer("0");
}

// The player is chosen at the click; the players list may be rebuilt before the commands go.
void Tfrm_main::ActOnChosenPlayer(const std::string& banMinutes) {
  const ChosenPlayer player = ChoosePlayer(*uiPlayers.lv_players, PlayerInfo, CurrentServer);
  actions.Run([this, player, banMinutes] {
    if (!player.Refusal.isEmpty()) {
      ShowMessage(DialogKind::Error, player.Refusal);
      return;
    }
    // The user id names a player of the server listed at the click, and no one elsewhere.
    if (player.HostIP != CurrentServer.HostIP || player.Port != CurrentServer.Port) {
      ShowMessage(DialogKind::Error, tr("Spieler nicht in der Statusliste gefunden!"));
      return;
    }
    for (const std::string& command : AdminCommands(ConsoleIsTcp(), banMinutes, player.UserId))
      SendRconCommand(command);
    RefreshPlayers();
  });
}
