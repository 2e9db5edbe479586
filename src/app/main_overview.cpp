// The overview page "Übersicht": every list entry's state at a glance, kept current by a watch.
//
// While "Watch" is on, a sweep asks every entry for its details once per period, whichever page
// shows and also while the window sits in the tray. A sweep is the query engine's list round on
// sockets of its own, run by the window's one event loop (Sweep): it never waits, shows no
// dialog and shares nothing with the window's UDP client, whose exchanges go on beside it (their
// nested waits run the sweep's notifiers and timers too). It uses the window's time-out and the
// engine's retries, and each server's protocol as the selection does, learning into the same
// memory. The selected server's own auto query stays as it is: while it runs the sweep leaves
// that entry out and takes the auto query's outcome instead. The first sweep comes once the
// start-up selection is over, so the start-up's requests go out as they always did.
#include <QCheckBox>
#include <QDateTime>
#include <QHeaderView>
#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QTableView>
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "displaytext.h"
#include "frmquery.h"
#include "main.h"
#include "overviewmodel.h"
#include "sparkline.h"
#include "store/IPfuncs.h"
#include "sweep.h"

namespace {

constexpr int MillisecondsPerSecond = 1000;
// Alt and a digit choose the pages in their order, the overview Alt+1.
constexpr int PageShortcuts = 9;
constexpr int EditorProtocolColumn = 3;
constexpr int TrayMessageMs = 10000;
// The sparkline takes what the others leave.
constexpr int ColumnWidths[OverviewModel::ColumnCount] = {84, 76, 96, 60, 70, 44, 50, 50, 52, 60};

std::int64_t NowMs() {
  return QDateTime::currentMSecsSinceEpoch();
}

// "ip:port" of an entry's address, as the selection keys what it remembers; none when the
// address cannot be queried.
std::optional<std::string> ServerKeyOf(const TServerEntry& entry) {
  try {
    const std::string ip = ExtractIP(entry.Address.view());
    const std::int32_t port = ExtractPort(entry.Address.view());
    if (ip.empty() || port < 1 || port > 65535) return std::nullopt;
    return ip + ":" + std::to_string(port);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

Observation ObservationOf(const ListResult& result) {
  Observation seen;
  seen.answered = result.outcome == Outcome::Answered && result.details.has_value();
  if (!seen.answered) return seen;
  seen.serverName = result.details->ServerName;
  seen.map = result.details->MapName;
  seen.players = result.details->PlayerCount;
  seen.maxPlayers = result.details->MaxPlayers;
  if (result.a2sInfo) seen.bots = result.a2sInfo->bots;
  seen.roundTripMs = result.roundTripMs;
  seen.protocol = result.protocol;
  return seen;
}

QString ChangeText(FleetChange change, const FleetEntry& entry) {
  const QString server =
      QStringLiteral("%1 (%2)").arg(ToDisplay(entry.name), ToDisplay(entry.address));
  switch (change) {
    case FleetChange::WentDown:
      return Tfrm_main::tr("%1 antwortet nicht mehr").arg(server);
    case FleetChange::CameBack:
      return Tfrm_main::tr("%1 antwortet wieder").arg(server);
    case FleetChange::BecameFull:
      break;
  }
  return Tfrm_main::tr("%1 ist voll (%2/%3)")
      .arg(server)
      .arg(entry.last.players)
      .arg(entry.last.maxPlayers);
}

}  // namespace

Observation ObservationOf(const TDetailInfo& details, const A2sInfo* a2s) {
  Observation seen;
  seen.answered = true;
  seen.serverName = details.ServerName;
  seen.map = details.MapName;
  seen.players = details.PlayerCount;
  seen.maxPlayers = details.MaxPlayers;
  if (a2s != nullptr) seen.bots = a2s->bots;
  return seen;
}

void Tfrm_main::SetupOverview() {
  uiOverview.setupUi(ui.ts_overview);
  overviewModel = new OverviewModel(this);
  auto* sorted = new QSortFilterProxyModel(this);
  sorted->setSourceModel(overviewModel);
  sorted->setSortRole(OverviewModel::SortRole);
  QTableView* table = uiOverview.lv_overview;
  table->setModel(sorted);
  // List order until the operator sorts.
  table->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  for (int column = 0; column < OverviewModel::ColumnCount; ++column)
    table->setColumnWidth(column, ColumnWidths[column]);
  table->setItemDelegateForColumn(
      OverviewModel::History, new SparklineDelegate(
                                  [this, sorted](const QModelIndex& index) -> const FleetEntry* {
                                    const int row = sorted->mapToSource(index).row();
                                    if (row < 0 || row >= overviewModel->rowCount()) return nullptr;
                                    return &overviewModel->Rows()[std::size_t(row)];
                                  },
                                  table));
  connect(table, &QAbstractItemView::activated, this, [this, sorted](const QModelIndex& index) {
    lv_overviewActivate(sorted->mapToSource(index).row());
  });

  watchtimer.setObjectName(QStringLiteral("watchtimer"));
  connect(&watchtimer, &QTimer::timeout, this, [this] { watchtimerTimer(); });
  connect(uiOverview.cb_watch, &QCheckBox::toggled, this, [this] { cb_watchClick(); });
  connect(uiOverview.ed_watchperiod, &QSpinBox::valueChanged, this,
          [this] { ed_watchperiodChange(); });
  connect(uiOverview.btn_refreshnow, &QPushButton::clicked, this,
          [this] { btn_refreshnowClick(); });

  for (int page = 1; page <= PageShortcuts; ++page) {
    auto* shortcut = new QShortcut(QKeySequence(Qt::ALT | Qt::Key(Qt::Key_0 + page)), this);
    connect(shortcut, &QShortcut::activated, this, [this, page] {
      if (page < ui.pc_Server->count()) SetActivePageIndex(page - 1);
    });
  }
  ShowFleetCounts();
}

void Tfrm_main::ApplyWatchSettings() {
  {
    const QSignalBlocker quietPeriod(uiOverview.ed_watchperiod);
    uiOverview.ed_watchperiod->setValue(Watch.periodSeconds);
  }
  uiOverview.cb_notify->setChecked(Watch.notify);
  uiOverview.cb_watch->setChecked(Watch.watch);
}

OverviewSettings Tfrm_main::WatchSettingsShown() const {
  OverviewSettings shown;
  shown.watch = uiOverview.cb_watch->isChecked();
  shown.periodSeconds = uiOverview.ed_watchperiod->value();
  shown.notify = uiOverview.cb_notify->isChecked();
  return shown;
}

void Tfrm_main::FillOverview() {
  std::vector<std::pair<std::string, std::string>> entries;
  entries.reserve(ServerList.size());
  for (const TServerEntry& entry : ServerList)
    entries.emplace_back(entry.Name.str(), entry.Address.str());
  overviewModel->SetEntries(entries);
  ShowKnownProtocols();
  ShowFleetCounts();
}

void Tfrm_main::ShowKnownProtocols() {
  for (std::size_t i = 0; i < ServerList.size(); ++i) ShowKnownProtocol(int(i));
}

void Tfrm_main::ShowKnownProtocol(int entry) {
  if (entry < 0 || entry >= int(ServerList.size())) return;
  const std::optional<std::string> key = ServerKeyOf(ServerList[std::size_t(entry)]);
  const std::optional<WireProtocol> protocol = key ? ServerProtocols.Known(*key) : std::nullopt;
  if (QTreeWidgetItem* row = uiOptions.lw_serverlist->topLevelItem(entry))
    row->setText(EditorProtocolColumn, !protocol ? QString()
                                       : *protocol == WireProtocol::A2s
                                           ? QStringLiteral("A2S")
                                           : QStringLiteral("Classic"));
  if (protocol) overviewModel->SetProtocol(entry, protocol);
  overviewModel->SetConsole(entry, key ? Consoles.Kind(*key) : std::nullopt);
}

void Tfrm_main::ShowFleetCounts() {
  uiOverview.lbl_updown->setText(tr("%1 up, %2 down")
                                     .arg(overviewModel->Count(ServerState::Up))
                                     .arg(overviewModel->Count(ServerState::Down)));
}

void Tfrm_main::cb_watchClick() {
  if (!uiOverview.cb_watch->isChecked()) {
    watchtimer.stop();
    return;
  }
  watchtimer.start(uiOverview.ed_watchperiod->value() * MillisecondsPerSecond);
  StartSweep();
}

void Tfrm_main::ed_watchperiodChange() {
  if (watchtimer.isActive())
    watchtimer.start(uiOverview.ed_watchperiod->value() * MillisecondsPerSecond);
}

void Tfrm_main::btn_refreshnowClick() {
  StartSweep();
}

void Tfrm_main::watchtimerTimer() {
  StartSweep();
}

void Tfrm_main::StartSweep() {
  // One sweep at a time, and none before the start-up selection is over.
  if (sweep || !FirstShowDone) return;
  QuerySettings settings;
  settings.timeout = std::chrono::milliseconds(UDPClient.ReceiveTimeout());
  std::vector<ListTarget> targets;
  sweepRows.clear();
  const int autoQueried = querytimer.isActive() ? ui.cb_servers->currentIndex() : -1;
  for (std::size_t i = 0; i < ServerList.size(); ++i) {
    const std::optional<std::string> key = ServerKeyOf(ServerList[i]);
    if (!key || int(i) == autoQueried) continue;
    ListTarget target;
    target.name = ServerList[i].Name.str();
    target.address = *key;
    target.protocol = ProtocolChoice ? ProtocolChoice : ServerProtocols.Known(*key);
    targets.push_back(std::move(target));
    sweepRows.push_back(overviewModel->Rows()[i].id);
  }
  sweep = std::make_unique<Sweep>(
      std::move(targets), settings,
      [this](std::size_t index, const ListResult& result) { TakeSweepResult(index, result); },
      [this] {
        sweep.release()->deleteLater();
        ShowFleetCounts();
      });
}

void Tfrm_main::TakeSweepResult(std::size_t index, const ListResult& result) {
  const std::string& key = result.target.address;
  const Observation seen = ObservationOf(result);
  if (seen.answered && result.protocol)
    ServerProtocols.Answered(key, *result.protocol);
  else if (!seen.answered && !ProtocolChoice && result.protocol)
    ServerProtocols.Missed(key);
  TakeObservation(sweepRows[index], seen);
}

void Tfrm_main::ReportToOverview(int entry, bool answered) {
  if (entry < 0 || entry >= overviewModel->rowCount()) return;
  Observation seen = answered ? ShownDetails : Observation();
  seen.answered = answered;
  if (answered) {
    const std::optional<Micros> roundTrip = UDPClient.LastRoundTrip();
    if (roundTrip) seen.roundTripMs = double(*roundTrip) / 1000;
    seen.protocol = ServerProtocols.Known(CurrentServerKey());
  }
  TakeObservation(overviewModel->Rows()[std::size_t(entry)].id, seen);
}

void Tfrm_main::TakeObservation(std::uint64_t row, const Observation& seen) {
  const std::optional<FleetChange> change = overviewModel->Take(row, seen, NowMs());
  const int at = overviewModel->RowOf(row);
  if (at < 0) return;
  ShowKnownProtocol(at);
  if (change) ReportFleetChange(ChangeText(*change, overviewModel->Rows()[std::size_t(at)]));
  if (!fleetCountsDue) {
    // Counting goes over every row: once per turn of the event loop is enough.
    fleetCountsDue = true;
    QTimer::singleShot(0, this, [this] {
      fleetCountsDue = false;
      ShowFleetCounts();
    });
  }
}

void Tfrm_main::ReportFleetChange(const QString& text) {
  AddStatusLine(FromDisplay(tr("Übersicht: %1").arg(text)));
  if (!uiOverview.cb_notify->isChecked()) return;
  ShowTrayMessage(text);
  PlayTimeoutSound();
}

void Tfrm_main::ShowTrayMessage(const QString& text) {
  emit TrayMessageShown(text);
  if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
  // The icon shows while the window sits in the tray; otherwise it comes for the message only.
  if (!trayIcon.isVisible()) {
    trayIcon.show();
    QTimer::singleShot(TrayMessageMs, this, [this] {
      if (isVisible()) trayIcon.hide();
    });
  }
  trayIcon.showMessage(QStringLiteral("Zerval"), text, QSystemTrayIcon::Information, TrayMessageMs);
}

void Tfrm_main::lv_overviewActivate(int entry) {
  if (entry < 0 || entry >= int(ServerList.size())) return;
  {
    // The selection fills the details page; opening it must not query it again.
    const QSignalBlocker quiet(ui.pc_Server);
    ui.pc_Server->setCurrentWidget(ui.ts_details);
  }
  ui.cb_servers->setCurrentIndex(entry);
  cb_serversChange();
}
