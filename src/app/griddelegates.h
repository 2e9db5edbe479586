#pragma once

#include <QPoint>
#include <QStyledItemDelegate>

class QModelIndex;
class QObject;
class QPainter;
class QStyleOptionViewItem;

// Paints the cells of the window's string grids: every cell white, the fixed cells (title rows
// and columns) light grey with their text where the concrete painter puts it, other cells with
// their text one pixel from the left. Selection and focus look like any other cell.
class GridCellPainter : public QStyledItemDelegate {
 public:
  static constexpr QRgb FixedCellColour = 0xC0C0C0;

  // lineWidth: the width of the grid lines between cells, 1 or 2 pixels.
  GridCellPainter(int fixedRows, int fixedColumns, int lineWidth, QObject* parent);

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;

 protected:
  // Where a fixed cell's text starts, from the cell's top left corner.
  virtual QPoint FixedTextOffset(int defaultColumnWidth) const = 0;

 private:
  bool IsFixed(const QModelIndex& index) const;

  int fixedRows_;
  int fixedColumns_;
  int lineWidth_;
};

// The details and rules grids: title text half a default column width in.
class GridDrawCell : public GridCellPainter {
 public:
  GridDrawCell(int fixedRows, QObject* parent) : GridCellPainter(fixedRows, 0, 2, parent) {}

 protected:
  QPoint FixedTextOffset(int defaultColumnWidth) const override;
};

// The player detail grid: its title column.
class sg_addplayerinfoDrawCell : public GridCellPainter {
 public:
  explicit sg_addplayerinfoDrawCell(QObject* parent) : GridCellPainter(0, 1, 2, parent) {}

 protected:
  QPoint FixedTextOffset(int defaultColumnWidth) const override;
};

// The ban grid: its title row, thin lines.
class sg_banovervDrawCell : public GridCellPainter {
 public:
  explicit sg_banovervDrawCell(QObject* parent) : GridCellPainter(1, 0, 1, parent) {}

 protected:
  QPoint FixedTextOffset(int defaultColumnWidth) const override;
};
