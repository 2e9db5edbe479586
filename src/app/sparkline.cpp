#include "sparkline.h"

#include <QAbstractItemView>
#include <QDateTime>
#include <QHelpEvent>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <deque>

namespace {

constexpr int Margin = 2;

// Where a point lies across the cell: the oldest point kept at the left, the newest at the right.
double Position(std::int64_t atMs, std::int64_t firstMs, std::int64_t lastMs, int width) {
  if (lastMs <= firstMs) return width;
  return double(atMs - firstMs) / double(lastMs - firstMs) * width;
}

}  // namespace

SparklineDelegate::SparklineDelegate(EntryAt entryAt, QObject* parent)
    : QStyledItemDelegate(parent), entryAt_(std::move(entryAt)) {}

void SparklineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
  QStyledItemDelegate::paint(painter, option, index);
  const FleetEntry* entry = entryAt_(index);
  if (entry == nullptr || entry->history.empty()) return;
  const std::deque<HistorySample>& history = entry->history;
  const QRectF area = QRectF(option.rect).adjusted(Margin, Margin, -Margin, -Margin);
  const std::int64_t first = history.front().atMs;
  const std::int64_t last = history.back().atMs;
  int seats = 1;
  float slowest = 0.001f;
  for (const HistorySample& sample : history) {
    seats = std::max<int>(seats, sample.maxPlayers);
    slowest = std::max(slowest, sample.roundTripMs);
  }
  QPainterPath players;
  QPainterPath roundTrips;
  bool gap = true;
  const bool selected = (option.state & QStyle::State_Selected) != 0;
  const QPalette& palette = option.palette;
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing);
  for (const HistorySample& sample : history) {
    const double x = area.left() + Position(sample.atMs, first, last, int(area.width()));
    if (!sample.answered) {
      painter->setPen(QPen(QColor(0xd3, 0x2f, 0x2f), 2));
      painter->drawLine(QPointF(x, area.bottom() - 2), QPointF(x, area.bottom()));
      gap = true;
      continue;
    }
    const QPointF playersAt(x, area.bottom() - area.height() * sample.players / seats);
    const QPointF roundTripAt(x, area.bottom() - area.height() * sample.roundTripMs / slowest);
    if (gap) {
      players.moveTo(playersAt);
      roundTrips.moveTo(roundTripAt);
    } else {
      players.lineTo(playersAt);
      roundTrips.lineTo(roundTripAt);
    }
    gap = false;
  }
  painter->setBrush(Qt::NoBrush);
  painter->setPen(QPen(palette.color(selected ? QPalette::HighlightedText : QPalette::Mid), 1));
  painter->drawPath(roundTrips);
  painter->setPen(QPen(palette.color(selected ? QPalette::HighlightedText : QPalette::Link), 1.5));
  painter->drawPath(players);
  painter->restore();
}

bool SparklineDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                  const QStyleOptionViewItem& option, const QModelIndex& index) {
  const FleetEntry* entry = entryAt_(index);
  if (event->type() != QEvent::ToolTip || entry == nullptr)
    return QStyledItemDelegate::helpEvent(event, view, option, index);
  const HistorySample* sample = SampleAt(*entry, event->pos().x() - option.rect.left() - Margin,
                                         option.rect.width() - 2 * Margin);
  if (sample == nullptr) {
    QToolTip::hideText();
    return true;
  }
  QToolTip::showText(event->globalPos(), SampleText(*sample), view, option.rect);
  return true;
}

const HistorySample* SampleAt(const FleetEntry& entry, int x, int width) {
  const std::deque<HistorySample>& history = entry.history;
  if (history.empty()) return nullptr;
  const std::int64_t first = history.front().atMs;
  const std::int64_t last = history.back().atMs;
  const auto distance = [&](const HistorySample& sample) {
    return std::abs(Position(sample.atMs, first, last, width) - x);
  };
  return &*std::min_element(
      history.begin(), history.end(),
      [&](const HistorySample& a, const HistorySample& b) { return distance(a) < distance(b); });
}

QString SampleText(const HistorySample& sample) {
  const QLocale locale;
  const QString at =
      QDateTime::fromMSecsSinceEpoch(sample.atMs).toString(QStringLiteral("HH:mm:ss"));
  if (!sample.answered) return SparklineDelegate::tr("%1: no answer").arg(at);
  return SparklineDelegate::tr("%1: %2/%3 players, %4 ms")
      .arg(at)
      .arg(sample.players)
      .arg(sample.maxPlayers)
      .arg(locale.toString(double(sample.roundTripMs), 'f', 1));
}
