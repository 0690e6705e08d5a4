// TLogGrid (DBGrid1): following the log, moving the current row by keys, clicks and the wheel,
// column widths, what is painted, and that a log of ten million rows costs only its visible rows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <malloc.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <vector>

#include "app/gui/grid/GridFixture.h"
#include "app/gui/grid/LogGrid.h"
#include "app/gui/grid/LogTableModel.h"
#include "common/ScriptedPrompt.h"
#include "recording/LogFiles.h"

namespace qm::gui {
namespace {

using test::AppendReadings;

constexpr int kPage = 10;  // rows the test grids show

// Sizes the grid so that exactly kPage rows fit, and shows it.
void ShowWithPage(TLogGrid& grid) {
  grid.resize(520, 300);
  grid.show();
  QApplication::processEvents();
  grid.resize(520, grid.height() - grid.viewport()->height() + kPage * grid.RowHeight() + grid.RowHeight() / 2);
  QApplication::processEvents();
  ASSERT_EQ(grid.VisibleRowCount(), kPage);
}

void SendWheel(QWidget* target, int deltaY, Qt::ScrollPhase phase = Qt::NoScrollPhase) {
  const QPointF at(10, 10);
  QWheelEvent wheel(at, target->mapToGlobal(at), QPoint(0, 0), QPoint(0, deltaY), Qt::NoButton, Qt::NoModifier,
                    phase, false);
  QApplication::sendEvent(target, &wheel);
}

// A model that notes which rows the grid asks texts of.
class TCountingModel : public TLogTableModel {
 public:
  using TLogTableModel::TLogTableModel;
  QVariant data(const QModelIndex& index, int role) const override {
    if (role == Qt::DisplayRole) {
      ++textCalls;
      lowestRow = std::min(lowestRow, index.row());
      highestRow = std::max(highestRow, index.row());
    }
    return TLogTableModel::data(index, role);
  }
  void ResetCounts() const {
    textCalls = 0;
    lowestRow = INT_MAX;
    highestRow = -1;
  }
  mutable int textCalls = 0;
  mutable int lowestRow = INT_MAX;
  mutable int highestRow = -1;
};

std::size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

TEST(LogGrid, NameTitlesAndColumnWidths) {
  TReadingLog log;
  TLogGrid grid(log);
  EXPECT_EQ(grid.objectName(), QStringLiteral("DBGrid1"));
  EXPECT_EQ(grid.Header()->model()->headerData(5, Qt::Horizontal).toString(), QStringLiteral("SubValueA"));
  EXPECT_EQ(grid.ColumnWidths(), (std::vector<int>{36, 45, 58, 40, 37, 59, 51, 59, 50}));

  const std::vector<int> zoom(TLogGrid::kZoomColumnWidths.begin(), TLogGrid::kZoomColumnWidths.end());
  grid.SetColumnWidths(zoom);
  EXPECT_EQ(grid.ColumnWidths(), (std::vector<int>{60, 150, 60, 60, 60, 120, 120, 80, 80}));
  grid.SetColumnWidths({70, 71});  // the rest stay
  EXPECT_EQ(grid.ColumnWidths(), (std::vector<int>{70, 71, 60, 60, 60, 120, 120, 80, 80}));
}

// A width the user gave a column is kept when the log is cleared or loaded.
TEST(LogGrid, ColumnWidthsSurviveResets) {
  TReadingLog log;
  AppendReadings(log, 5);
  TLogGrid grid(log);
  grid.Header()->resizeSection(1, 99);
  log.Clear();
  test::ScriptedPrompt prompt;
  TLogReadResult loaded;
  loaded.Read = loaded.Ok = true;
  AppendReadings(loaded.Records, 3);
  ASSERT_TRUE(ApplyLogRead(std::move(loaded), log, false, prompt));
  EXPECT_EQ(grid.ColumnWidths()[1], 99);
}

// Each appended record becomes the current row and is scrolled into view; a row the log is moved
// to is shown too.
TEST(LogGrid, FollowsAppendsAndTheLogsCurrentRow) {
  TReadingLog log;
  TLogGrid grid(log);
  ShowWithPage(grid);
  for (int n = 1; n <= 3 * kPage; ++n) {
    AppendReadings(log, 1);
    QApplication::processEvents();
    ASSERT_EQ(grid.Model().CurrentRow(), n - 1);
    ASSERT_EQ(grid.TopRow(), std::max(0, n - kPage)) << "after " << n << " appends";
  }
  log.SetCurrentRow(2);
  EXPECT_EQ(grid.TopRow(), 2);
  log.SetCurrentRow(25);
  EXPECT_EQ(grid.TopRow(), 25 - kPage + 1);
  AppendReadings(log, 1);
  QApplication::processEvents();
  EXPECT_EQ(grid.Model().CurrentRow(), 30);
  EXPECT_EQ(grid.TopRow(), 31 - kPage);
}

// A grid made over a log that already holds records opens at its current row, and keeps it in view
// when made smaller.
TEST(LogGrid, OpensAtTheCurrentRowAndKeepsItWhenResized) {
  TReadingLog log;
  AppendReadings(log, 100);
  TLogGrid grid(log);
  ShowWithPage(grid);
  EXPECT_EQ(grid.TopRow(), 100 - kPage);
  grid.resize(grid.width(), grid.height() - 5 * grid.RowHeight());
  QApplication::processEvents();
  EXPECT_EQ(grid.TopRow() + grid.VisibleRowCount(), 100);
}

// After a clear or a load the grid is laid out for the new rows and shows the log's current row.
TEST(LogGrid, ClearAndLoadLayTheGridOutAgain) {
  TReadingLog log;
  AppendReadings(log, 100);
  TLogGrid grid(log);
  ShowWithPage(grid);
  log.Clear();
  EXPECT_EQ(grid.verticalScrollBar()->maximum(), 0);
  EXPECT_EQ(grid.Model().CurrentRow(), -1);

  test::ScriptedPrompt prompt;
  TLogReadResult loaded;
  loaded.Read = loaded.Ok = true;
  AppendReadings(loaded.Records, 500);
  ASSERT_TRUE(ApplyLogRead(std::move(loaded), log, false, prompt));
  EXPECT_EQ(grid.verticalScrollBar()->maximum(), 500 - kPage);
  const int current = grid.Model().CurrentRow();
  ASSERT_GE(current, 0);
  EXPECT_GE(current, grid.TopRow());
  EXPECT_LT(current, grid.TopRow() + kPage);
}

struct KeyCase {
  int start;
  Qt::Key key;
  int expected;
};

class LogGridKeys : public ::testing::TestWithParam<KeyCase> {};

TEST_P(LogGridKeys, MoveTheCurrentRowInTheLog) {
  const KeyCase& c = GetParam();
  TReadingLog log;
  AppendReadings(log, 100);
  TLogGrid grid(log);
  ShowWithPage(grid);
  log.SetCurrentRow(static_cast<std::size_t>(c.start));
  QTest::keyClick(&grid, c.key);
  EXPECT_EQ(log.CurrentRow(), static_cast<std::size_t>(c.expected));
  EXPECT_GE(c.expected, grid.TopRow());
  EXPECT_LT(c.expected, grid.TopRow() + kPage);
}

INSTANTIATE_TEST_SUITE_P(Table, LogGridKeys,
                         ::testing::Values(KeyCase{50, Qt::Key_Down, 51}, KeyCase{50, Qt::Key_Up, 49},
                                           KeyCase{99, Qt::Key_Down, 99}, KeyCase{0, Qt::Key_Up, 0},
                                           KeyCase{50, Qt::Key_PageDown, 50 + kPage},
                                           KeyCase{50, Qt::Key_PageUp, 50 - kPage},
                                           KeyCase{95, Qt::Key_PageDown, 99}, KeyCase{3, Qt::Key_PageUp, 0},
                                           KeyCase{50, Qt::Key_Home, 0}, KeyCase{50, Qt::Key_End, 99}));

TEST(LogGrid, ClickMovesTheCurrentRow) {
  TReadingLog log;
  AppendReadings(log, 5);
  TLogGrid grid(log);
  ShowWithPage(grid);
  log.SetCurrentRow(0);
  QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, QPoint(30, 3 * grid.RowHeight() + 2));
  EXPECT_EQ(log.CurrentRow(), 3u);
  QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, QPoint(30, 8 * grid.RowHeight() + 2));  // below the rows
  EXPECT_EQ(log.CurrentRow(), 3u);
}

struct WheelCase {
  int start;
  int delta;
  int expected;
};

class LogGridWheel : public ::testing::TestWithParam<WheelCase> {};

// One wheel event moves the current row by one record once the event is done, and the grid does not
// scroll by the wheel itself. Turned towards the user (delta <= 0) is down.
TEST_P(LogGridWheel, MovesOneRecordAfterTheEvent) {
  const WheelCase& c = GetParam();
  TReadingLog log;
  AppendReadings(log, 100);
  TLogGrid grid(log);
  ShowWithPage(grid);
  log.SetCurrentRow(static_cast<std::size_t>(c.start));
  const int top = grid.TopRow();

  SendWheel(grid.viewport(), c.delta);
  EXPECT_EQ(log.CurrentRow(), static_cast<std::size_t>(c.start)) << "moved before the wheel event was done";
  EXPECT_EQ(grid.TopRow(), top) << "the wheel scrolled the grid";
  QApplication::processEvents();
  EXPECT_EQ(log.CurrentRow(), static_cast<std::size_t>(c.expected));
}

INSTANTIATE_TEST_SUITE_P(Table, LogGridWheel,
                         ::testing::Values(WheelCase{50, -120, 51}, WheelCase{50, 120, 49}, WheelCase{50, 0, 51},
                                           WheelCase{50, -360, 51}, WheelCase{99, -120, 99},
                                           WheelCase{0, 120, 0}));

// Over the titles and the scroll bar the wheel moves the row as over the rows; a touchpad's
// gesture start and end carry no turn and move nothing.
TEST(LogGrid, WheelElsewhereOnTheGrid) {
  TReadingLog log;
  AppendReadings(log, 100);
  TLogGrid grid(log);
  ShowWithPage(grid);
  log.SetCurrentRow(50);
  const int top = grid.TopRow();
  SendWheel(grid.Header()->viewport(), -120);
  SendWheel(grid.verticalScrollBar(), -120);
  SendWheel(grid.viewport(), 0, Qt::ScrollBegin);
  SendWheel(grid.viewport(), 0, Qt::ScrollEnd);
  QApplication::processEvents();
  EXPECT_EQ(log.CurrentRow(), 52u);
  EXPECT_EQ(grid.TopRow(), top) << "the scroll bar scrolled by the wheel";
}

// The current row is painted highlighted across the columns, the others on the base colour, and the
// main value sits at the right edge of its column.
TEST(LogGrid, PaintsTheCurrentRowAndTheRightAlignedValue) {
  TReadingLog log;
  AppendReadings(log, 3);
  TLogGrid grid(log);
  std::vector<int> widths = grid.ColumnWidths();
  widths[3] = 200;
  grid.SetColumnWidths(widths);
  ShowWithPage(grid);
  log.SetCurrentRow(1);

  const QImage image = grid.viewport()->grab().toImage();
  const int valueLeft = grid.Header()->sectionViewportPosition(3);
  const int mid = grid.RowHeight() / 2;
  const QColor highlight = grid.palette().color(grid.hasFocus() ? QPalette::Active : QPalette::Inactive,
                                                QPalette::Highlight);
  EXPECT_EQ(image.pixelColor(valueLeft + 20, grid.RowHeight() + mid), highlight);
  EXPECT_EQ(image.pixelColor(valueLeft + 20, mid), grid.palette().color(QPalette::Base));

  // The ink of row 0's value ("1.5") lies in the right part of its column.
  int first = INT_MAX;
  for (int y = 0; y < grid.RowHeight() - 1; ++y)
    for (int x = valueLeft; x < valueLeft + 199; ++x)
      if (qGray(image.pixel(x, y)) < 128) first = std::min(first, x);
  EXPECT_GT(first, valueLeft + 150) << "the value is not drawn at the right edge";
}

// What the grid shows after it painted only what changed (moved pixels, a new row, the old and the
// new current row) must be what a full repaint gives, whatever moved it.
TEST(LogGrid, PartialRepaintsShowWhatAFullRepaintShows) {
  TReadingLog log;
  TLogGrid grid(log);
  ShowWithPage(grid);
  test::ScriptedPrompt prompt;
  const auto settle = [] {
    QApplication::processEvents();
    QApplication::processEvents();
  };
  const auto append = [&](int n) {
    for (int i = 0; i < n; ++i) {
      AppendReadings(log, 1);
      settle();
    }
  };
  struct Step {
    const char* what;
    std::function<void()> act;
  };
  const std::vector<Step> steps = {
      {"first rows, announced together", [&] { AppendReadings(log, 3); }},
      {"one by one", [&] { append(2); }},
      {"rows that scroll", [&] { append(2 * kPage); }},
      {"row moved within the view", [&] { log.SetCurrentRow(log.Count() - 4); }},
      {"row moved far up", [&] { log.SetCurrentRow(1); }},
      {"append after moving", [&] { append(1); }},
      {"wheel", [&] {
         log.SetCurrentRow(5);
         SendWheel(grid.viewport(), 120);
         SendWheel(grid.viewport(), -120);
         SendWheel(grid.viewport(), -120);
       }},
      {"page down", [&] { QTest::keyClick(&grid, Qt::Key_PageDown); }},
      {"wide columns scrolled sideways", [&] {
         grid.SetColumnWidths({TLogGrid::kZoomColumnWidths.begin(), TLogGrid::kZoomColumnWidths.end()});
         settle();
         grid.horizontalScrollBar()->setValue(70);
       }},
      {"append while scrolled sideways", [&] { append(2); }},
      {"cleared", [&] { log.Clear(); }},
      {"loaded", [&] {
         TLogReadResult loaded;
         loaded.Read = loaded.Ok = true;
         AppendReadings(loaded.Records, 40);
         ASSERT_TRUE(ApplyLogRead(std::move(loaded), log, false, prompt));
       }},
      {"made smaller", [&] { grid.resize(grid.width() - 60, grid.height() - 3 * grid.RowHeight()); }},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.act();
    settle();
    const QImage shown = grid.screen()->grabWindow(grid.winId()).toImage().convertToFormat(QImage::Format_RGB32);
    const QImage full = grid.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), full.size());
    EXPECT_TRUE(shown == full);
  }
}

// Ten million rows, the "Unlimited" limit: painting asks for the visible rows only, wherever the
// grid is scrolled, an append costs the same, and the grid keeps nothing per row.
TEST(LogGrid, TenMillionRowsCostOnlyTheVisibleRows) {
  constexpr int kRows = 10'000'000;
  TReadingLog log;
  AppendReadings(log, kRows);
  {
    // Qt's one-time allocations (fonts, style, backing store) before the heap is measured.
    TReadingLog small;
    AppendReadings(small, 50);
    TLogGrid warm(small);
    ShowWithPage(warm);
    warm.viewport()->grab();
  }

  const std::size_t heapBefore = HeapInUse();
  TCountingModel model(log);
  TLogGrid grid(model);
  ShowWithPage(grid);
  const int perPaint = (kPage + 1) * TLogTableModel::kColumnCount;

  struct Step {
    const char* what;
    std::function<void()> act;
  };
  const std::vector<Step> steps = {
      {"at the end", [] {}},
      {"scrolled to the middle", [&] { grid.verticalScrollBar()->setValue(kRows / 2); }},
      {"moved to the top", [&] { QTest::keyClick(&grid, Qt::Key_Home); }},
      {"after an append", [&] {
         AppendReadings(log, 1);
         QApplication::processEvents();
       }},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.act();
    model.ResetCounts();
    grid.viewport()->grab();
    EXPECT_GT(model.textCalls, 0);
    EXPECT_LE(model.textCalls, perPaint);
    EXPECT_GE(model.lowestRow, grid.TopRow());
    EXPECT_LE(model.highestRow, grid.TopRow() + kPage);
  }

  // As the meter streams: the grid moves up by a row, and only the new row and the one that was
  // current before are painted again.
  QApplication::processEvents();
  QApplication::processEvents();
  model.ResetCounts();
  AppendReadings(log, 1);
  QApplication::processEvents();  // the model announces the row, the grid asks for a repaint
  QApplication::processEvents();  // which is done in the next pass
  EXPECT_GT(model.textCalls, 0);
  EXPECT_LE(model.textCalls, 2 * TLogTableModel::kColumnCount);
  EXPECT_GE(model.lowestRow, kRows);

  EXPECT_EQ(grid.Model().CurrentRow(), kRows + 1);
  EXPECT_EQ(grid.verticalScrollBar()->maximum(), kRows + 2 - kPage);
  // A structure of even one byte per row would be 10 MB.
  EXPECT_LT(HeapInUse() - heapBefore, std::size_t{2'000'000});
}

}  // namespace
}  // namespace qm::gui
