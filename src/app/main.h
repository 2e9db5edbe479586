#pragma once

#include <QFileDialog>
#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "actionqueue.h"
#include "boundedlog.h"
#include "commandhistory.h"
#include "platform/icmpecho.h"
#include "protocol/UDPIOfuncs.h"
#include "protocol/consolememory.h"
#include "protocol/player_class.h"
#include "protocol/rconlink.h"
#include "store/mytypes.h"
#include "ui_frm_main.h"
#include "ui_tb_about.h"
#include "ui_tb_admin.h"
#include "ui_tb_options.h"
#include "ui_ts_details.h"
#include "ui_ts_players.h"
#include "ui_ts_rules.h"
#include "viewcontent.h"

class QTreeWidgetItem;
class Tfrm_query;

// The main window: the frame, its six pages and everything the operator does in them.
// Its handlers carry the names of the controls and events they serve.
class Tfrm_main : public QWidget, public ExchangeUi, public ReplyTarget {
  Q_OBJECT

 public:
  explicit Tfrm_main(QWidget* parent = nullptr);
  ~Tfrm_main() override;

  static constexpr int CompactHeight = 483;
  static constexpr int ExpandedHeight = 579;
  static constexpr int ClientWidth = 689;
  static constexpr int ClientHeight = 456;

  // The one wait dialog, made at the first wait, and how many waits hold it open.
  QPointer<Tfrm_query> waitDialog;
  int openWaitDialogs = 0;

  // State owned by the window.
  TCurrentServer CurrentServer;
  TOptions Options;
  TServerList ServerList;
  TPlayerInfo PlayerInfo;
  bool FirstShowDone = false;
  // The list holds changes that are in no file (added, modified or removed entries since the
  // last load or save); ListFile names the file it was last loaded from or saved to.
  bool ListChanged = false;
  QString ListFile;
  // The program ends: the tray menu's "Close" was confirmed.
  bool Ending = false;

  // Controls of the frame and the pages, named as in the layouts.
  Ui::frm_main ui;
  Ui::ts_details uiDetails;
  Ui::ts_players uiPlayers;
  Ui::ts_rules uiRules;
  Ui::tb_admin uiAdmin;
  Ui::tb_options uiOptions;
  Ui::tb_about uiAbout;

  // Non-visual components.
  UdpExchange UDPClient;
  IcmpEcho icmpPing;
  QTimer querytimer;
  QMenu pop_debug;
  QMenu pop_tray;
  QMenu pop_player;
  QFileDialog dlg_openfile;
  QFileDialog dlgSavefile;
  QSystemTrayIcon trayIcon;

  // The active page of pc_Server, -1 when none is, and a page's Tag.
  int ActivePageIndex() const;
  void SetActivePageIndex(int index);
  static int TagOf(const QObject* object);
  static void SetTag(QObject* object, int tag);

  // Start, frame and tray.
  void FormCreate();
  void FormShow();
  bool FormCloseQuery();
  void FormClose();
  void AddTrayIcon();
  void RemoveTrayIcon();
  void ShowTrayMenu();
  void TrayIconNotify(QSystemTrayIcon::ActivationReason reason);
  void tray_RestoreClick();
  void tray_CloseClick();
  void SpeedButton1Click();
  void ClearLog1Click();
  void AddStatusLine(const std::string& line);
  // The log lines kept while the strip is hidden go into the memo now.
  void ShowHiddenLogLines();
  // Before the program ends: false when the operator keeps it open, or the list could not be
  // saved.
  bool ConfirmClose();

  // Server selection and query cycle.
  void cb_serversChange();
  void cb_rconctrlClick();
  void pc_ServerChange();
  void querytimerTimer();
  void cb_autoQueryClick();
  void btn_refreshClick();
  void RefreshPlayers();
  void Deselect();
  // The selection of entry `index` and the query of the page with Tag `tag`, as the operator's
  // actions run them.
  void SelectServer(int index);
  void QueryPage(int tag);

  // Result views (ReplyTarget and ExchangeUi).
  void ShowDetails(const TDetailInfo& info) override;
  void ShowPlayers(const TPlayerList& list) override;
  void ShowRules(const TRuleList& list) override;
  void ShowA2sDetails(const TDetailInfo& info, const A2sInfo& a2s) override;
  void lv_playersSelectItem(QTreeWidgetItem* item, bool selected);
  void ClearPlayerDetails();
  void UpdateByteCounter() override;
  std::shared_ptr<void> OpenWaitDialog() override;
  void PlayTimeoutSound() override;
  void ShowTimeoutDialog() override;

  // Remote console and admin actions.
  void AppendConsoleLine(const std::string& line) override;
  void AppendConsoleReply(std::string_view reply) override;
  // Up and Down in the command edit walk the history; true when the key was one of them.
  bool ed_rconcmdHistoryKey(int key);
  void QueryRconStatus();
  bool SendRconCommand(const std::string& command);
  void btn_sendrconcmdClick();
  // The Send action for a command taken from the edit at the press.
  void SendConsoleCommand(const std::string& command);
  void ed_rconcmdKeyDown(int key);
  void btn_clearlogClick();
  void btn_chtClick();
  void StartChat();
  void kick1Click();
  void ban1min1Click();
  void Ban2min1Click();
  void Ban5min1Click();
  void Ban10min1Click();
  void Banpermanent1Click();

  // The console of the selected server (main_consoles.cpp): what is known of every server's
  // console, kept in "zerval.ini" ([Consoles]), and the TCP session of the selected server
  // while it stays selected; none when it speaks the classic console.
  ConsoleMemory Consoles;
  bool ConsolesChanged = false;
  std::unique_ptr<RconLink> Rcon;
  // Finds or recalls the selected entry's console and opens it: the classic challenge with its
  // console line, or the TCP session authenticated. False when neither answered.
  bool OpenConsole();
  void CloseConsole();
  bool ConsoleIsTcp() const { return Rcon != nullptr; }
  // One command on the selected server's TCP console, waited for with AwaitConsole's flags.
  RconResult RunTcpCommand(const std::string& command, const LogCallback& log, bool waitDialog,
                           bool reportTimeout);
  void LoadConsoleKinds();
  // The settings file's bytes `settings` with the consoles known now.
  std::string WithConsoleKinds(const std::string& settings) const;
  // Writes what changed since the last load or save into "zerval.ini".
  void SaveConsoleKinds();

  // Server list editor.
  void FillServerList();
  void FillServerCombo();
  void btn_addClick();
  void btn_modClick();
  void btn_removeClick();
  void lw_serverlistSelectItem(QTreeWidgetItem* item, bool selected);
  void icmpPingReply(std::uint32_t roundTripMs);
  void ed_servernameChange();
  void ed_ipChange();
  void ed_rconpwdChange();
  void btn_openserverlistClick();
  void btn_saveslistClick();
  // Writes the list to `fileName`; it then holds no unsaved changes.
  void SaveListTo(const QString& fileName);
  // A list dialog opens in the options' folder while the list has no file yet.
  void PrepareListFolder(QFileDialog& dialog);

  // Options page.
  // The folder of "config.dat" and "zerval.ini": the working directory (empty text) when it
  // held a "config.dat" at start, otherwise the per-user folder $XDG_CONFIG_HOME/zerval.
  QString OptionsFolder;
  // A file of that folder; also how a relative standard list name is resolved.
  QString OptionsFile(const QString& name) const;
  // Chooses the folder and reads both files from it, when they are there.
  void LoadOptionFiles();
  // Sets the query protocol from the settings file "zerval.ini".
  void LoadQuerySettings();
  void ApplyOptionsToUI();
  void SpeedButton2Click();
  void ed_serverfileChange();
  void cb_optcbstyleChange();
  void cb_protocolChange();
  void ud_timeoutChanging();
  void cb_trayClick();
  void btn_saveoptionsClick();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 public:
  // The operator's actions that start exchanges; those that arrive while an exchange waits run
  // once it is over.
  ActionQueue actions;
  // The console commands of this session, for Up and Down.
  CommandHistory commandHistory;
  // The console memo and the debug memo, bounded against servers that flood them.
  BoundedLog* consolePane = nullptr;
  BoundedLog* debugLog = nullptr;
  static constexpr BoundedLog::Limits ConsolePaneLimits{10000, std::size_t(4) << 20};
  static constexpr BoundedLog::Limits DebugLogLimits{20000, std::size_t(4) << 20};

  // Views and console: column 0 of each lv_players row keeps the player's name bytes, as the
  // players reply gave them, under this role (QByteArray); the shown text is converted for
  // display and cannot give the bytes back. Kick and ban match rows to status records by them.
  static constexpr int PlayerNameRole = Qt::UserRole;

 private:
  // Each page wires its own controls to their handlers.
  void SetupFrame();
  void SetupViews();
  void SetupConsole();
  void SetupEditor();
  void SetupOptions();
  // A kick, or with `banMinutes` a ban, of the player chosen at the click.
  void ActOnChosenPlayer(const std::string& banMinutes);
  std::string ConsoleKey() const;
  void NoteConsole(ConsoleKind kind, const std::string& how);
  void ForgetConsole();
  bool AuthenticateConsole();
  void QueryTcpStatus();
  void SendTcpConsoleCommand(const std::string& command);
  void ShowDetailRows(const std::vector<TitledValue>& rows);
};
