// TLogGrid: the log grid DBGrid1. Read-only, column titles, row and column lines, columns the user
// can resize, and whole-row selection showing the log's current row.
//
// The log holds up to ten million records, so the grid is a scroll area of its own over the table
// model rather than a table view: the vertical scroll bar counts rows, only the visible rows are
// painted, and nothing is kept per row (a table view's vertical header alone keeps a section per
// row and lays them out again on every insert). Rows have one fixed height.
//
// The mouse wheel moves the current row by one record per wheel event, as the Down-arrow key
// (towards the user) or the Up-arrow key (away) would, after the current event; the grid never
// scrolls by the wheel itself.
#pragma once

#include <QAbstractScrollArea>

#include <array>
#include <memory>
#include <vector>

#include "recording/LogRecord.h"

class QHeaderView;

namespace qm {
class TReadingLog;
}

namespace qm::gui {

class TLogTableModel;

class TLogGrid : public QAbstractScrollArea {
  Q_OBJECT

 public:
  // Column widths in pixels, in column order ("No." to "SubUnitB"): as the grid starts, and while
  // the log panel is shown zoomed.
  static constexpr std::array<int, kLogFieldCount> kColumnWidths = {36, 45, 58, 40, 37, 59, 51, 59, 50};
  static constexpr std::array<int, kLogFieldCount> kZoomColumnWidths = {60, 150, 60, 60, 60, 120, 120, 80, 80};

  // A grid over `log` with a model of its own. `log` must outlive the grid.
  explicit TLogGrid(qm::TReadingLog& log, QWidget* parent = nullptr);
  // A grid over a model of the caller's, which must outlive the grid.
  explicit TLogGrid(TLogTableModel& model, QWidget* parent = nullptr);
  ~TLogGrid() override;

  TLogTableModel& Model() const { return *model_; }
  QHeaderView* Header() const { return header_; }

  // The nine column widths in pixels, in column order.
  std::vector<int> ColumnWidths() const;
  // Sets the columns from the first; entries past the ninth are ignored, a missing one leaves its
  // column as it is.
  void SetColumnWidths(const std::vector<int>& widths);

  // The height of every row in pixels.
  int RowHeight() const { return rowHeight_; }
  // The first row shown at the top.
  int TopRow() const;
  // How many rows fit wholly into the grid.
  int VisibleRowCount() const;
  // The row under a point of the viewport, or -1 where there is none.
  int RowAt(int y) const;

 protected:
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  void Build();
  void UpdateGeometries();
  void UpdateScrollBars();
  void Relayout();
  void FollowCurrentRow();
  void UpdateRow(int row);
  void UpdateRowsFrom(int row);
  void EnsureRowVisible(int row);
  void MoveCurrentRowTo(int row);
  void QueueWheelStep(const QWheelEvent& event);

  std::unique_ptr<TLogTableModel> ownModel_;
  TLogTableModel* model_ = nullptr;
  QHeaderView* header_ = nullptr;
  int rowHeight_ = 0;
  int shownCurrent_ = -1;  // the row painted as current
};

}  // namespace qm::gui
