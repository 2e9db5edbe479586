#pragma once

#include <QColor>
#include <QHeaderView>
#include <QPalette>
#include <QPoint>
#include <QStyledItemDelegate>

class QModelIndex;
class QObject;
class QPainter;
class QStyleOptionViewItem;
class QTableView;

// Paints the cells of the window's string grids in the palette's colours, so they stay readable
// in light and dark styles: cells in the base colour with text in the text colour, the fixed
// cells (title rows and columns) a quarter of the way from the base colour to the text colour,
// with their text where the concrete painter puts it, other cells with their text one pixel from
// the left. Selection and focus look like any other cell.
class GridCellPainter : public QStyledItemDelegate {
 public:
  // How far a fixed cell's colour lies from the base colour towards the text colour: light grey
  // 0xC0C0C0 between white and black.
  static constexpr double FixedCellShade = 63.0 / 255.0;
  static QColor FixedCellColour(const QPalette& palette);

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

// Shows a grid's title row (row 0) in place while the other rows scroll: this header stands
// above the rows and paints row 0's cells with the grid's cell painter; the row itself is
// hidden. The operator drags a column by its title to move it.
class TitleRowHeader : public QHeaderView {
 public:
  explicit TitleRowHeader(QTableView* grid);

 protected:
  void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

 private:
  QTableView* grid_;
};

// Gives the grid a TitleRowHeader, and lets the operator drag any row by its cells to move it.
void FixTitleRowAndMoveRowsAndColumns(QTableView& grid);
