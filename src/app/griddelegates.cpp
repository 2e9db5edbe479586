#include "griddelegates.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QColor>
#include <QEvent>
#include <QHeaderView>
#include <QModelIndex>
#include <QMouseEvent>
#include <QPainter>
#include <QRect>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <cmath>

namespace {

QColor GridLineColour(const QStyleOptionViewItem& option) {
  const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
  return QColor::fromRgb(
      static_cast<QRgb>(style->styleHint(QStyle::SH_Table_GridLineColor, &option, option.widget)));
}

// Moves the row pressed on to where it is released, once the pointer went the drag distance.
class RowDragger : public QObject {
 public:
  explicit RowDragger(QTableView& grid) : QObject(&grid), grid_(grid) {}

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove &&
        type != QEvent::MouseButtonRelease)
      return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint at = mouse->position().toPoint();
    if (type == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton) {
      row_ = grid_.rowAt(at.y());
      pressedAt_ = at;
    } else if (type == QEvent::MouseMove && row_ >= 0 && !dragging_ &&
               (at - pressedAt_).manhattanLength() >= QApplication::startDragDistance()) {
      dragging_ = true;
      grid_.viewport()->setCursor(Qt::SizeVerCursor);
    } else if (type == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton) {
      const int target = grid_.rowAt(at.y());
      if (dragging_ && target >= 0 && target != row_) {
        QHeaderView* rows = grid_.verticalHeader();
        rows->moveSection(rows->visualIndex(row_), rows->visualIndex(target));
      }
      if (dragging_) grid_.viewport()->unsetCursor();
      row_ = -1;
      dragging_ = false;
    }
    return false;
  }

 private:
  QTableView& grid_;
  int row_ = -1;
  QPoint pressedAt_;
  bool dragging_ = false;
};

}  // namespace

GridCellPainter::GridCellPainter(int fixedRows, int fixedColumns, int lineWidth, QObject* parent)
    : QStyledItemDelegate(parent),
      fixedRows_(fixedRows),
      fixedColumns_(fixedColumns),
      lineWidth_(lineWidth) {}

bool GridCellPainter::IsFixed(const QModelIndex& index) const {
  return index.row() < fixedRows_ || index.column() < fixedColumns_;
}

QColor GridCellPainter::FixedCellColour(const QPalette& palette) {
  const QColor base = palette.color(QPalette::Base);
  const QColor text = palette.color(QPalette::Text);
  const auto mix = [](int from, int to) {
    return from + static_cast<int>(std::lround((to - from) * FixedCellShade));
  };
  return QColor(mix(base.red(), text.red()), mix(base.green(), text.green()),
                mix(base.blue(), text.blue()));
}

void GridCellPainter::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
  const bool fixed = IsFixed(index);
  painter->save();
  painter->fillRect(option.rect,
                    fixed ? FixedCellColour(option.palette) : option.palette.color(QPalette::Base));

  // The view draws one pixel of grid line; a wider line takes the rest from the cell's edges.
  const int extraLine = lineWidth_ - 1;
  const QRect cell = option.rect.adjusted(0, 0, -extraLine, -extraLine);
  if (extraLine > 0) {
    const QColor lineColour = GridLineColour(option);
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

TitleRowHeader::TitleRowHeader(QTableView* grid) : QHeaderView(Qt::Horizontal, grid), grid_(grid) {
  setSectionsMovable(true);
  setSectionResizeMode(QHeaderView::Fixed);
  setHighlightSections(false);
}

// The cell as the grid would paint it, with the view's one-pixel line the grid draws itself.
void TitleRowHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
  if (!rect.isValid()) return;
  QStyleOptionViewItem option;
  option.initFrom(grid_);
  option.widget = grid_;
  option.font = grid_->font();
  option.rect = rect.adjusted(0, 0, -1, -1);
  painter->fillRect(rect, GridLineColour(option));
  grid_->itemDelegate()->paint(painter, option, grid_->model()->index(0, logicalIndex));
}

void FixTitleRowAndMoveRowsAndColumns(QTableView& grid) {
  auto* header = new TitleRowHeader(&grid);
  header->setDefaultSectionSize(grid.horizontalHeader()->defaultSectionSize());
  header->setFixedHeight(grid.verticalHeader()->defaultSectionSize());
  // Beyond the last column the header shows the grid's base colour, as the rows below do.
  header->setBackgroundRole(QPalette::Base);
  grid.setHorizontalHeader(header);
  header->show();
  grid.setRowHidden(0, true);
  QObject::connect(grid.model(), &QAbstractItemModel::dataChanged, header,
                   [header](const QModelIndex& topLeft) {
                     if (topLeft.row() == 0) header->viewport()->update();
                   });
  grid.viewport()->installEventFilter(new RowDragger(grid));
}
