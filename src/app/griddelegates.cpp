#include "griddelegates.h"

#include <QApplication>
#include <QColor>
#include <QHeaderView>
#include <QModelIndex>
#include <QPainter>
#include <QRect>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableView>

GridCellPainter::GridCellPainter(int fixedRows, int fixedColumns, int lineWidth, QObject* parent)
    : QStyledItemDelegate(parent),
      fixedRows_(fixedRows),
      fixedColumns_(fixedColumns),
      lineWidth_(lineWidth) {}

bool GridCellPainter::IsFixed(const QModelIndex& index) const {
  return index.row() < fixedRows_ || index.column() < fixedColumns_;
}

void GridCellPainter::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
  const bool fixed = IsFixed(index);
  painter->save();
  painter->fillRect(option.rect, Qt::white);
  if (fixed) painter->fillRect(option.rect, QColor(FixedCellColour));

  // The view draws one pixel of grid line; a wider line takes the rest from the cell's edges.
  const int extraLine = lineWidth_ - 1;
  const QRect cell = option.rect.adjusted(0, 0, -extraLine, -extraLine);
  if (extraLine > 0) {
    const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    const QColor lineColour = QColor::fromRgb(static_cast<QRgb>(
        style->styleHint(QStyle::SH_Table_GridLineColor, &option, option.widget)));
    painter->fillRect(QRect(cell.right() + 1, option.rect.top(), extraLine, option.rect.height()),
                      lineColour);
    painter->fillRect(QRect(option.rect.left(), cell.bottom() + 1, option.rect.width(), extraLine),
                      lineColour);
  }

  QPoint textOrigin = cell.topLeft() + QPoint(1, 0);
  if (fixed) {
    const auto* view = qobject_cast<const QTableView*>(option.widget);
    const int defaultColumnWidth = view ? view->horizontalHeader()->defaultSectionSize() : 0;
    textOrigin = cell.topLeft() + FixedTextOffset(defaultColumnWidth);
  }
  painter->setClipRect(cell);
  painter->setFont(option.font);
  painter->setPen(option.palette.color(QPalette::Text));
  painter->drawText(QRect(textOrigin, cell.bottomRight()),
                    Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                    index.data(Qt::DisplayRole).toString());
  painter->restore();
}

QPoint GridDrawCell::FixedTextOffset(int defaultColumnWidth) const {
  return {defaultColumnWidth / 2, 0};
}

QPoint sg_addplayerinfoDrawCell::FixedTextOffset(int) const {
  return {5, 1};
}

QPoint sg_banovervDrawCell::FixedTextOffset(int defaultColumnWidth) const {
  return {defaultColumnWidth / 4, 1};
}
