#pragma once

#include <QFileDialog>
#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "actionqueue.h"
#include "boundedlog.h"
#include "commandhistory.h"
#include "engine/list_query.h"
#include "fleet.h"
#include "platform/icmpecho.h"
#include "protocol/UDPIOfuncs.h"
#include "protocol/consolememory.h"
#include "protocol/player_class.h"
#include "protocol/protocolmemory.h"
#include "protocol/rconlink.h"
#include "protocol/wireprotocol.h"
#include "store/inifile.h"
#include "store/mytypes.h"
#include "ui_frm_main.h"
#include "ui_tb_about.h"
#include "ui_tb_admin.h"
#include "ui_tb_options.h"
#include "ui_ts_details.h"
#include "ui_ts_overview.h"
#include "ui_ts_players.h"
#include "ui_ts_rules.h"
#include "viewcontent.h"
#include "zervalini.h"

class OverviewModel;
class QTreeWidgetItem;
class Sweep;
class Tfrm_query;

// The details a details reply showed, as the overview takes them.
Observation ObservationOf(const TDetailInfo& details, const A2sInfo* a2s);

// The main window: the frame, its seven pages and everything the operator does in them.
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
  Ui::ts_overview uiOverview;
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
  QTimer watchtimer;

  // The active page of pc_Server (0 the overview), -1 when none is, and a page's Tag.
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

  // Each server's own query protocol (main_settings.cpp): forced by the Options page (none:
  // each server's own), and found per "ip:port".
  std::optional<WireProtocol> ProtocolChoice;
  ProtocolMemory ServerProtocols;
  void SetProtocolChoice(std::optional<WireProtocol> protocol);
  std::string CurrentServerKey() const;
  // The selection's "details" step in the current server's protocol, finding it when unknown.
  bool QueryDetailsInOwnProtocol();
  // The editor's protocol column and the overview's protocol and console, from what is known:
  // of every entry, or of entry `entry`.
  void ShowKnownProtocols();
  void ShowKnownProtocol(int entry);

  // Overview page and watch (main_overview.cpp).
  OverviewSettings Watch;
  OverviewModel* overviewModel = nullptr;
  // The sweep running now; the row id of each of its targets.
  std::unique_ptr<Sweep> sweep;
  std::vector<std::uint64_t> sweepRows;
  // The details the views showed last.
  Observation ShownDetails;
  void SetupOverview();
  // Puts the watch settings read at start on the page; watching starts when they say so.
  void ApplyWatchSettings();
  OverviewSettings WatchSettingsShown() const;
  // The table follows the list: entries that stay keep their history.
  void FillOverview();
  void ShowFleetCounts();
  void cb_watchClick();
  void ed_watchperiodChange();
  void btn_refreshnowClick();
  void watchtimerTimer();
  void lv_overviewActivate(int entry);
  void StartSweep();
  void TakeSweepResult(std::size_t index, const ListResult& result);
  // The selected entry's own details query answered or not.
  void ReportToOverview(int entry, bool answered);
  void TakeObservation(std::uint64_t row, const Observation& seen);
  // A change of a server's state: the debug log, and with "Notify" a tray message and the sound.
  void ReportFleetChange(const QString& text);
  void ShowTrayMessage(const QString& text);

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
  std::unique_ptr<RconLink> Rcon;
  // Finds or recalls the selected entry's console and opens it: the classic challenge with its
  // console line, or the TCP session authenticated. False when neither answered.
  bool OpenConsole();
  void CloseConsole();
  bool ConsoleIsTcp() const { return Rcon != nullptr; }
  // One command on the selected server's TCP console, waited for with AwaitConsole's flags.
  RconResult RunTcpCommand(const std::string& command, const LogCallback& log, bool waitDialog,
                           bool reportTimeout);

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
  // "zerval.ini" (main_settings.cpp): read at start; written whole by "Save Options", and with
  // what the window remembers of its servers (PutRememberedServers) when the program ends.
  QString SettingsFilePath() const;
  void LoadSettingsFile();
  void ReadRememberedServers(const IniFile& file);
  void PutRememberedServers(IniFile& file) const;
  std::string SettingsFileBytes(bool withOptions) const;
  // What the file holds of the servers as last read or written, to write it only when changed.
  std::string RememberedWritten;
  std::string RememberedText() const;
  void SaveRememberedServers();
  void ApplyOptionsToUI();
  void SpeedButton2Click();
  void ed_serverfileChange();
  void cb_optcbstyleChange();
  void cb_protocolChange();
  void ud_timeoutChanging();
  void cb_trayClick();
  void btn_saveoptionsClick();

 signals:
  // A tray message went out, or would have with a notification area.
  void TrayMessageShown(const QString& text);

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
  bool fleetCountsDue = false;
  // Each page wires its own controls to their handlers.
  void SetupFrame();
  void SetupViews();
  void SetupConsole();
  void SetupEditor();
  void SetupOptions();
  // A kick, or with `banMinutes` a ban, of the player chosen at the click.
  void ActOnChosenPlayer(const std::string& banMinutes);
  void NoteConsole(ConsoleKind kind, const std::string& how);
  void ForgetConsole();
  bool AuthenticateConsole();
  void QueryTcpStatus();
  void SendTcpConsoleCommand(const std::string& command);
  void ShowDetailRows(const std::vector<TitledValue>& rows);
};
