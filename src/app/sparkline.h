#pragma once

#include <QStyledItemDelegate>
#include <functional>

#include "fleet.h"

class QAbstractItemView;
class QHelpEvent;
class QModelIndex;
class QPainter;
class QStyleOptionViewItem;

// Draws a row's history as two lines in its cell, players (full height: the slots) and round
// trips (full height: the slowest), from the oldest point kept to now; answers missing show as
// marks on the base line. Hovering the cell tells the figures of the point under the pointer.
class SparklineDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  // `entryAt` gives the record of a view's index.
  using EntryAt = std::function<const FleetEntry*(const QModelIndex&)>;

  SparklineDelegate(EntryAt entryAt, QObject* parent);

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                 const QModelIndex& index) override;

 private:
  EntryAt entryAt_;
};

// The sample drawn at `x` of a cell `width` pixels wide; none without history.
const HistorySample* SampleAt(const FleetEntry& entry, int x, int width);
// "14:03:20: 12/16 players, 0.6 ms" or "14:03:20: no answer".
QString SampleText(const HistorySample& sample);
