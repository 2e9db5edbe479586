// The frame of the main window: creation, first showing, the debug strip and the tray.
#include "main.h"

#include <QCloseEvent>
#include <QCursor>
#include <QFile>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

#include "application.h"
#include "displaytext.h"
#include "frmquery.h"
#include "platform/dialogs.h"
#include "store/stdfuncs.h"
#include "sweep.h"

// The pictures and the sound are compiled into the window's static library, whose resources
// must be registered before first use.
static void InitResources() {
  Q_INIT_RESOURCE(zerval);
  Q_INIT_RESOURCE(wave);
}

namespace {

constexpr int DebugStripHeight = Tfrm_main::ExpandedHeight - Tfrm_main::CompactHeight;

// The list's file when it has one, else the standard list when one is set: the file a close
// saves into without asking. Empty when the operator has to choose one.
QString FileToSaveListInto(const Tfrm_main& window) {
  if (!window.ListFile.isEmpty()) return window.ListFile;
  const std::string standard = Trim(window.Options.StandardListFile.str());
  if (standard.empty() || standard == "none") return {};
  return window.OptionsFile(ToDisplay(standard));
}

}  // namespace

Tfrm_main::Tfrm_main(QWidget* parent)
    : QWidget(parent),
      UDPClient(CurrentServer, *this, *this, this),
      actions(*this, [this] { return UDPClient.IsBusy(); }) {
  InitResources();
  ui.setupUi(this);
  uiDetails.setupUi(ui.ts_details);
  uiPlayers.setupUi(ui.ts_players);
  uiRules.setupUi(ui.ts_rules);
  uiAdmin.setupUi(ui.tb_admin);
  uiOptions.setupUi(ui.tb_options);
  uiAbout.setupUi(ui.tb_about);
  SetupFrame();
  connect(&UDPClient, &UdpExchange::Idle, this, [this] { actions.ExchangeEnded(); });
  SetupEditor();
  SetupOptions();
  SetupOverview();
  FormCreate();
  // The debug strip lies below the pages, and comes after all of them in the tab order.
  QWidget* last = previousInFocusChain();
  while (last != this && (last->focusPolicy() & Qt::TabFocus) == 0)
    last = last->previousInFocusChain();
  if (last != this && last != ui.mem_status) setTabOrder(last, ui.mem_status);
}

Tfrm_main::~Tfrm_main() {
  trayIcon.hide();
}

void Tfrm_main::SetupFrame() {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(ClientWidth, ClientHeight);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());

  // A tab control always shows one of its pages; an invisible first page stands for "none".
  auto* noPage = new QWidget();
  noPage->setObjectName(QStringLiteral("pc_Server_none"));
  SetTag(noPage, 0);
  ui.pc_Server->insertTab(0, noPage, QString());
  ui.pc_Server->setTabVisible(0, false);

  querytimer.setObjectName(QStringLiteral("querytimer"));

  // The debug log keeps its newest lines only, so a long run cannot eat the memory. Laying out a
  // line costs far more than the exchange that logs it, so while the strip is hidden the lines
  // are only kept, and the memo gets them when it is shown.
  debugLog = new BoundedLog(*ui.mem_status, DebugLogLimits, tr("[Ältere Zeilen verworfen]"));
  debugLog->Hold(true);
  pop_debug.setObjectName(QStringLiteral("pop_debug"));
  QAction* clearLog = pop_debug.addAction(tr("Clear Log"));
  clearLog->setObjectName(QStringLiteral("ClearLog1"));
  connect(clearLog, &QAction::triggered, this, [this] { ClearLog1Click(); });
  connect(ui.mem_status, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { pop_debug.popup(ui.mem_status->mapToGlobal(at)); });
  connect(ui.SpeedButton1, &QPushButton::clicked, this, [this] { SpeedButton1Click(); });

  pop_tray.setObjectName(QStringLiteral("pop_tray"));
  QAction* restore =
      pop_tray.addAction(QIcon(QStringLiteral(":/images/tray_restore.png")), tr("Restore"));
  restore->setObjectName(QStringLiteral("tray_Restore"));
  pop_tray.addSeparator();
  QAction* close =
      pop_tray.addAction(QIcon(QStringLiteral(":/images/tray_close.png")), tr("Close"));
  close->setObjectName(QStringLiteral("tray_Close"));
  connect(restore, &QAction::triggered, this, [this] { tray_RestoreClick(); });
  connect(close, &QAction::triggered, this, [this] { tray_CloseClick(); });
  trayIcon.setIcon(windowIcon());
  trayIcon.setToolTip(QStringLiteral("Zerval"));
  connect(&trayIcon, &QSystemTrayIcon::activated, this,
          [this](QSystemTrayIcon::ActivationReason reason) { TrayIconNotify(reason); });
}

int Tfrm_main::ActivePageIndex() const {
  return ui.pc_Server->currentIndex() - 1;
}

void Tfrm_main::SetActivePageIndex(int index) {
  ui.pc_Server->setCurrentIndex(index + 1);
}

int Tfrm_main::TagOf(const QObject* object) {
  return object->property("Tag").toInt();
}

void Tfrm_main::SetTag(QObject* object, int tag) {
  object->setProperty("Tag", tag);
}

void Tfrm_main::FormCreate() {
  CurrentServer.BytesSent = 0;
  CurrentServer.BytesReceived = 0;
  UpdateByteCounter();
  CurrentServer.Challenge.clear();
  CurrentServer.ServerSelected = false;
  CurrentServer.Log = [this](const std::string& line) { AddStatusLine(line); };
  ServerList.clear();
  Options = TOptions();
  SetActivePageIndex(-1);
  SetupConsole();
  LoadOptionFiles();
  FirstShowDone = false;
  PlayerInfo.Clear();
  SetupViews();
}

void Tfrm_main::FormShow() {
  if (FirstShowDone) return;
  if (Options.LoadListOnStartup) {
    const QString listFile = ToDisplay(Options.StandardListFile);
    if (QFile::exists(OptionsFile(listFile))) {
      // The start-up work goes on after a bad list or a failed start-up selection: the
      // options must still reach their page, and the message must come only once.
      try {
        LoadServerList(ServerList, OptionsFile(listFile));
        ListFile = OptionsFile(listFile);
        ListChanged = false;
        FillServerList();
        if (Options.QueryOnStartup) {
          if (Options.StartupServer != -1 &&
              Options.StartupServer <= static_cast<std::int32_t>(ServerList.size()) &&
              Options.StartupServer >= 1) {
            ui.cb_servers->setCurrentIndex(Options.StartupServer - 1);
            cb_serversChange();
          }
        } else {
          uiOptions.ud_queryserver->setMaximum(static_cast<int>(ServerList.size()));
        }
        uiOptions.ud_queryserver->setMinimum(1);
        uiOptions.ud_queryserver->setValue(1);
      } catch (const EZerval& error) {
        ShowErrorBox(error);
      }
    } else {
      ShowMessage(DialogKind::Error, tr("%1 nicht gefunden").arg(listFile));
    }
  }
  ApplyOptionsToUI();
  FirstShowDone = true;
  ApplyWatchSettings();
}

void Tfrm_main::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

bool Tfrm_main::FormCloseQuery() {
  if (!Options.TrayIcon) return true;
  // Without a notification area a hidden window could never be brought back.
  if (!QSystemTrayIcon::isSystemTrayAvailable()) return true;
  AddTrayIcon();
  hide();
  return false;
}

void Tfrm_main::FormClose() {
  querytimer.stop();
  watchtimer.stop();
  SaveRememberedServers();
  ServerList.clear();
}

void Tfrm_main::closeEvent(QCloseEvent* event) {
  // Ending from the tray menu closes the window too, which then neither hides nor asks again.
  if (!Ending && (!FormCloseQuery() || !ConfirmClose())) {
    event->ignore();
    return;
  }
  FormClose();
  event->accept();
  // The program does not end with its last visible window (it may hide in the tray), so the
  // main window's close ends the message loop itself.
  QCoreApplication::quit();
}

void Tfrm_main::AddTrayIcon() {
  trayIcon.show();
}

void Tfrm_main::RemoveTrayIcon() {
  trayIcon.hide();
}

void Tfrm_main::ShowTrayMenu() {
  pop_tray.popup(QCursor::pos());
}

void Tfrm_main::TrayIconNotify(QSystemTrayIcon::ActivationReason reason) {
  if (reason == QSystemTrayIcon::Trigger) tray_RestoreClick();
  if (reason == QSystemTrayIcon::Context) ShowTrayMenu();
}

void Tfrm_main::tray_RestoreClick() {
  show();
  RemoveTrayIcon();
}

bool Tfrm_main::ConfirmClose() {
  if (!ListChanged) return true;
  const DialogResult answer =
      ShowMessage(DialogKind::Warning, tr("Die Serverliste wurde geändert. Änderungen speichern?"),
                  DialogButtons::SaveDiscardCancel);
  if (answer == DialogResult::Discard) {
    ListChanged = false;
    return true;
  }
  if (answer != DialogResult::Save) return false;
  QString fileName = FileToSaveListInto(*this);
  if (fileName.isEmpty()) {
    PrepareListFolder(dlgSavefile);
    fileName = Dialogs().ChooseFile(dlgSavefile);
  }
  if (fileName.isEmpty()) return false;
  // A list that could not be written keeps the program open: nothing is lost.
  try {
    SaveListTo(fileName);
  } catch (const EZerval& error) {
    ShowErrorBox(error);
    return false;
  }
  return true;
}

void Tfrm_main::tray_CloseClick() {
  if (!ConfirmClose()) return;
  Ending = true;
  RemoveTrayIcon();
  SaveRememberedServers();
  QCoreApplication::quit();
}

void Tfrm_main::SpeedButton1Click() {
  const bool expand = TagOf(ui.SpeedButton1) != 0;
  ui.SpeedButton1->setText(expand ? tr(" hide &Debuginfos") : tr("show &Debuginfos"));
  ui.mem_status->setVisible(expand);
  ui.Label4->setVisible(expand);
  debugLog->Hold(!expand);
  setFixedSize(ClientWidth, ClientHeight + (expand ? DebugStripHeight : 0));
  SetTag(ui.SpeedButton1, expand ? 0 : 1);
}

void Tfrm_main::ClearLog1Click() {
  debugLog->Clear();
}

void Tfrm_main::AddStatusLine(const std::string& line) {
  debugLog->Append(line);
}

void Tfrm_main::ShowHiddenLogLines() {
  debugLog->Hold(false);
  debugLog->Hold(!ui.mem_status->isVisibleTo(this));
}

std::shared_ptr<void> Tfrm_main::OpenWaitDialog() {
  if (!waitDialog) {
    waitDialog = new Tfrm_query(this);
    connect(waitDialog->ui.btn_cancel, &QPushButton::clicked, this, [this] { UDPClient.Cancel(); });
  }
  if (openWaitDialogs++ == 0) waitDialog->Open();
  return std::shared_ptr<void>(this, [this](void*) {
    if (--openWaitDialogs == 0 && waitDialog) waitDialog->hide();
  });
}

void Tfrm_main::PlayTimeoutSound() {
  PlayWaveResource(QStringLiteral("TIMEOUT"), false);
}

void Tfrm_main::ShowTimeoutDialog() {
  QString text = tr("Ziel nicht erreichbar!");
  // A server on a host of several addresses may answer from another one, which no exchange
  // takes; the operator learns where the answers came from.
  if (!UDPClient.OtherSource().empty())
    text += u'\n' + tr("Antworten kamen von einer anderen Adresse: %1")
                        .arg(QString::fromStdString(UDPClient.OtherSource()));
  ShowMessage(DialogKind::Error, text);
}
