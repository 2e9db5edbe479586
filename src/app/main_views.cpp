// The result views: details, players, rules, the player details and the byte counter.
#include <QAbstractButton>
#include <QByteArray>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QItemSelection>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTabWidget>
#include <QTableWidget>
#include <QTableWidgetItem>
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <cstddef>
#include <cstdint>

#include "displaytext.h"
#include "griddelegates.h"
#include "language.h"
#include "main.h"
#include "protocol/player_class.h"
#include "viewcontent.h"

namespace {

constexpr int NickColumnWidth = 264;
constexpr int FragsColumnWidth = 38;
// Column 1 of the player detail grid takes the grid's width but for the title column and 9.
constexpr int DetailValueColumnMargin = 9;

// Rows of the player detail grid: a title and the value of the selected player's status record.
const char* const PlayerDetailTitles[] = {
    QT_TRANSLATE_NOOP("Tfrm_main", "Nick"),  QT_TRANSLATE_NOOP("Tfrm_main", "ID"),
    QT_TRANSLATE_NOOP("Tfrm_main", "WonID"), QT_TRANSLATE_NOOP("Tfrm_main", "frags"),
    QT_TRANSLATE_NOOP("Tfrm_main", "ping"),  QT_TRANSLATE_NOOP("Tfrm_main", "loss"),
    QT_TRANSLATE_NOOP("Tfrm_main", "time"),  QT_TRANSLATE_NOOP("Tfrm_main", "IP")};
constexpr int PlayerDetailRows = 8;

QStringList PlayerDetailTexts(const TPlayerRecord& record) {
  return {ToDisplay(record.Nick),
          QString::number(record.UserId),
          ToDisplay(record.WonId),
          QString::number(record.Frags),
          Tfrm_main::tr("%1ms").arg(record.Ping),
          QString::number(record.Loss),
          ToDisplay(record.Time),
          ToDisplay(record.Address)};
}

// Writes a cell, creating its item on first use; cells are shown only, never edited.
void SetCell(QTableWidget* grid, int row, int column, const QString& text) {
  QTableWidgetItem* item = grid->item(row, column);
  if (item == nullptr) {
    item = new QTableWidgetItem;
    item->setFlags(Qt::ItemIsEnabled);
    grid->setItem(row, column, item);
  }
  item->setText(text);
}

}  // namespace

void Tfrm_main::SetupViews() {
  uiDetails.sg_details->setItemDelegate(new GridDrawCell(0, uiDetails.sg_details));
  uiRules.sg_rules->setItemDelegate(new GridDrawCell(1, uiRules.sg_rules));
  uiPlayers.sg_addplayerinfo->setItemDelegate(
      new sg_addplayerinfoDrawCell(uiPlayers.sg_addplayerinfo));
  uiPlayers.sg_banoverv->setItemDelegate(new sg_banovervDrawCell(uiPlayers.sg_banoverv));

  FixTitleRowAndMoveRowsAndColumns(*uiRules.sg_rules);
  // The grids only show: Tab goes on to the next control instead of from cell to cell.
  for (QTableWidget* grid :
       {uiDetails.sg_details, uiRules.sg_rules, uiPlayers.sg_addplayerinfo, uiPlayers.sg_banoverv})
    grid->setTabKeyNavigation(false);

  QTreeWidget* players = uiPlayers.lv_players;
  players->setColumnWidth(0, NickColumnWidth);
  players->setColumnWidth(1, FragsColumnWidth);
  players->header()->setSectionsClickable(false);
  players->viewport()->setAttribute(Qt::WA_Hover);
  players->viewport()->setCursor(Qt::PointingHandCursor);

  for (int row = 0; row < PlayerDetailRows; ++row)
    SetCell(uiPlayers.sg_addplayerinfo, row, 0, tr(PlayerDetailTitles[row]));
  SetCell(uiPlayers.sg_banoverv, 0, 0, tr("WonID / IP"));
  SetCell(uiPlayers.sg_banoverv, 0, 1, tr("Time"));
  QTableWidget* details = uiPlayers.sg_addplayerinfo;
  details->setColumnWidth(1, details->width() - details->columnWidth(0) - DetailValueColumnMargin);

  connect(ui.cb_servers, &QComboBox::activated, this, [this] { cb_serversChange(); });
  connect(ui.cb_rconctrl, &QAbstractButton::clicked, this, [this] { cb_rconctrlClick(); });
  connect(ui.pc_Server, &QTabWidget::currentChanged, this, [this] { pc_ServerChange(); });
  connect(&querytimer, &QTimer::timeout, this, [this] { querytimerTimer(); });
  // Also fires when code unchecks the box, which the handler's one-shot Tag relies on.
  connect(ui.cb_autoQuery, &QAbstractButton::toggled, this, [this] { cb_autoQueryClick(); });
  connect(uiPlayers.btn_refresh, &QAbstractButton::clicked, this, [this] { btn_refreshClick(); });
  connect(players->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this, players](const QItemSelection& selected, const QItemSelection& deselected) {
            for (const QModelIndex& index : deselected.indexes())
              if (index.column() == 0)
                lv_playersSelectItem(players->topLevelItem(index.row()), false);
            for (const QModelIndex& index : selected.indexes())
              if (index.column() == 0)
                lv_playersSelectItem(players->topLevelItem(index.row()), true);
          });
}

void Tfrm_main::ShowDetails(const TDetailInfo& info) {
  ShownDetails = ObservationOf(info, nullptr);
  ShowDetailRows(DetailRows(info));
}

void Tfrm_main::ShowA2sDetails(const TDetailInfo& info, const A2sInfo& a2s) {
  ShownDetails = ObservationOf(info, &a2s);
  ShowDetailRows(DetailRows(info, &a2s));
}

void Tfrm_main::ShowDetailRows(const std::vector<TitledValue>& rows) {
  QTableWidget* grid = uiDetails.sg_details;
  // Without a mod block the grid goes back to seven rows, so no mod rows of an earlier server
  // are shown as this one's.
  grid->setRowCount(static_cast<int>(rows.size()));
  for (std::size_t row = 0; row < rows.size(); ++row) {
    const TitledValue& shown = rows[row];
    SetCell(grid, static_cast<int>(row), 0, tr(shown.Title.c_str()));
    SetCell(grid, static_cast<int>(row), 1,
            shown.ValueIsOwnText ? tr(shown.Value.c_str()) : ToDisplay(shown.Value));
  }
}

void Tfrm_main::ShowPlayers(const TPlayerList& list) {
  QTreeWidget* players = uiPlayers.lv_players;
  players->clear();
  for (const TPlayerItem& player : list.Items) {
    auto* row = new QTreeWidgetItem(
        players, QStringList{ToDisplay(player.Name), QString::number(player.Frags)});
    row->setTextAlignment(1, Qt::AlignCenter);
    row->setData(
        0, PlayerNameRole,
        QByteArray(player.Name.view().data(), static_cast<qsizetype>(player.Name.view().size())));
  }
}

void Tfrm_main::ShowRules(const TRuleList& list) {
  QTableWidget* grid = uiRules.sg_rules;
  grid->setRowCount(static_cast<int>(list.Items.size()) + 1);
  SetCell(grid, 0, 0, tr("Rule"));
  SetCell(grid, 0, 1, tr("Value"));
  for (std::size_t i = 0; i < list.Items.size(); ++i) {
    SetCell(grid, static_cast<int>(i) + 1, 0, ToDisplay(list.Items[i].Name));
    SetCell(grid, static_cast<int>(i) + 1, 1, ToDisplay(list.Items[i].Value));
  }
}

// The row's player is looked up in the status table by name, as kick and ban do, so the
// details shown are those of the player they would act on; no agreeing record, no change.
void Tfrm_main::lv_playersSelectItem(QTreeWidgetItem* item, bool selected) {
  if (!selected || item == nullptr) return;
  const std::int32_t index =
      MatchStatusRecord(PlayerInfo, uiPlayers.lv_players->indexOfTopLevelItem(item),
                        item->data(0, PlayerNameRole).toByteArray().toStdString());
  if (index < 0) return;
  const QStringList values = PlayerDetailTexts(PlayerInfo.GetPlayer(index));
  for (int row = 0; row < values.size(); ++row)
    SetCell(uiPlayers.sg_addplayerinfo, row, 1, values[row]);
}

void Tfrm_main::ClearPlayerDetails() {
  for (int row = 0; row < PlayerDetailRows; ++row)
    SetCell(uiPlayers.sg_addplayerinfo, row, 1, QString());
}

namespace {

QString ByteCountText(std::int32_t count) {
  const ByteCount form = ByteCountForm(count);
  return FormatCount(form.number) + (form.inThousands ? QStringLiteral("k") : QString());
}

}  // namespace

void Tfrm_main::UpdateByteCounter() {
  ui.lbl_bytes->setText(
      tr("Bytes Send: %1 / Bytes Recieved: %2")
          .arg(ByteCountText(CurrentServer.BytesSent), ByteCountText(CurrentServer.BytesReceived)));
}
