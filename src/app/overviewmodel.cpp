#include "overviewmodel.h"

#include <QColor>
#include <QDateTime>
#include <QLocale>
#include <QPainter>
#include <QPixmap>
#include <QPolygonF>
#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "displaytext.h"

namespace {

constexpr int IconSize = 12;

// Up is a green triangle pointing up, down a red one pointing down, not asked a grey ring: the
// shape tells the state without its colour.
QIcon StateIcon(ServerState state) {
  QPixmap picture(IconSize, IconSize);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  const qreal edge = IconSize - 1;
  switch (state) {
    case ServerState::Up:
      painter.setBrush(QColor(0x2e, 0xa0, 0x43));
      painter.setPen(QColor(0x1b, 0x5e, 0x20));
      painter.drawPolygon(QPolygonF({{edge / 2, 1}, {edge, edge - 1}, {0, edge - 1}}));
      break;
    case ServerState::Down:
      painter.setBrush(QColor(0xd3, 0x2f, 0x2f));
      painter.setPen(QColor(0x8e, 0x1b, 0x1b));
      painter.drawPolygon(QPolygonF({{0, 1}, {edge, 1}, {edge / 2, edge - 1}}));
      break;
    case ServerState::NotAsked:
      painter.setPen(QPen(QColor(0x90, 0x90, 0x90), 2));
      painter.drawEllipse(QRectF(1.5, 1.5, edge - 2, edge - 2));
      break;
  }
  return QIcon(picture);
}

// Sorted by state, the servers that need a look come first.
int StateRank(ServerState state) {
  switch (state) {
    case ServerState::Down:
      return 0;
    case ServerState::NotAsked:
      return 1;
    case ServerState::Up:
      break;
  }
  return 2;
}

QString ProtocolText(std::optional<WireProtocol> protocol) {
  if (!protocol) return {};
  return *protocol == WireProtocol::A2s ? QStringLiteral("A2S") : QStringLiteral("Classic");
}

QString ConsoleText(std::optional<ConsoleKind> console) {
  if (!console) return {};
  return *console == ConsoleKind::Tcp ? QStringLiteral("TCP") : QStringLiteral("Classic");
}

QString PlayersText(const FleetEntry& entry) {
  if (!entry.last.answered) return {};
  QString text = QStringLiteral("%1/%2").arg(entry.last.players).arg(entry.last.maxPlayers);
  if (entry.last.bots.value_or(0) > 0)
    text += u' ' + OverviewModel::tr("(%n bots)", nullptr, *entry.last.bots);
  return text;
}

QString SinceText(std::int64_t sinceMs) {
  if (sinceMs == 0) return {};
  const QDateTime since = QDateTime::fromMSecsSinceEpoch(sinceMs);
  const QLocale locale;
  if (since.date() == QDate::currentDate())
    return locale.toString(since.time(), QLocale::ShortFormat);
  return locale.toString(since, QLocale::ShortFormat);
}

}  // namespace

QString StateText(ServerState state) {
  switch (state) {
    case ServerState::Up:
      return OverviewModel::tr("up");
    case ServerState::Down:
      return OverviewModel::tr("down");
    case ServerState::NotAsked:
      break;
  }
  return OverviewModel::tr("not asked yet");
}

OverviewModel::OverviewModel(QObject* parent) : QAbstractTableModel(parent) {
  for (const ServerState state : {ServerState::NotAsked, ServerState::Up, ServerState::Down})
    stateIcons_[static_cast<int>(state)] = StateIcon(state);
}

void OverviewModel::SetEntries(const std::vector<std::pair<std::string, std::string>>& entries) {
  beginResetModel();
  rows_ = Regroup(std::move(rows_), entries, nextId_);
  rowOfId_.clear();
  for (std::size_t row = 0; row < rows_.size(); ++row) rowOfId_[rows_[row].id] = int(row);
  endResetModel();
}

int OverviewModel::RowOf(std::uint64_t id) const {
  const auto found = rowOfId_.find(id);
  return found == rowOfId_.end() ? -1 : found->second;
}

std::optional<FleetChange> OverviewModel::Take(std::uint64_t id, const Observation& seen,
                                               std::int64_t nowMs) {
  const int row = RowOf(id);
  if (row < 0) return std::nullopt;
  const std::optional<FleetChange> change = Observe(rows_[std::size_t(row)], seen, nowMs);
  RowChanged(row);
  return change;
}

void OverviewModel::SetProtocol(int row, std::optional<WireProtocol> protocol) {
  if (row < 0 || row >= rowCount() || rows_[std::size_t(row)].protocol == protocol) return;
  rows_[std::size_t(row)].protocol = protocol;
  RowChanged(row);
}

void OverviewModel::SetConsole(int row, std::optional<ConsoleKind> console) {
  if (row < 0 || row >= rowCount() || rows_[std::size_t(row)].console == console) return;
  rows_[std::size_t(row)].console = console;
  RowChanged(row);
}

void OverviewModel::RowChanged(int row) {
  emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

int OverviewModel::Count(ServerState state) const {
  return int(std::count_if(rows_.begin(), rows_.end(),
                           [state](const FleetEntry& entry) { return entry.state == state; }));
}

int OverviewModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(rows_.size());
}

int OverviewModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ColumnCount;
}

QVariant OverviewModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const FleetEntry& entry = rows_[std::size_t(index.row())];
  const bool answered = entry.last.answered;
  if (role == Qt::DecorationRole && index.column() == State)
    return stateIcons_[static_cast<int>(entry.state)];
  if (role == SortRole) {
    switch (index.column()) {
      case State:
        return StateRank(entry.state);
      case Players:
        return entry.last.players;
      case RoundTrip:
        return entry.last.roundTripMs.value_or(-1);
      case Since:
        return qint64(entry.sinceMs);
      case History:
        return qint64(entry.history.size());
      default:
        return data(index, Qt::DisplayRole).toString().toLower();
    }
  }
  if (role != Qt::DisplayRole) return {};
  switch (index.column()) {
    case State:
      return StateText(entry.state);
    case Name:
      return ToDisplay(entry.name);
    case ServerName:
      return answered ? ToDisplay(entry.last.serverName) : QString();
    case Map:
      return answered ? ToDisplay(entry.last.map) : QString();
    case Players:
      return PlayersText(entry);
    case RoundTrip:
      return entry.last.roundTripMs ? QLocale().toString(*entry.last.roundTripMs, 'f', 1)
                                    : QString();
    case Protocol:
      return ProtocolText(entry.protocol);
    case Console:
      return ConsoleText(entry.console);
    case Since:
      return SinceText(entry.sinceMs);
    default:
      return {};
  }
}

QVariant OverviewModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  switch (section) {
    case State:
      return tr("State");
    case Name:
      return tr("Name");
    case ServerName:
      return tr("Server name");
    case Map:
      return tr("Map");
    case Players:
      return tr("Players");
    case RoundTrip:
      return tr("Ping ms");
    case Protocol:
      return tr("Protocol");
    case Console:
      return tr("Console");
    case Since:
      return tr("Since");
    case History:
      return tr("Last hour");
    default:
      return {};
  }
}
