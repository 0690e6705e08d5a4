// The log grid DBGrid1 at the log's "Unlimited" size, ten million records, on Qt's offscreen
// platform:
//  - GridRepaint: one full repaint of the grid's rows with ten million records held.
//  - GridAppend/<rows>: one record appended as the meter delivers it, announced by the model,
//    followed by the grid (scrolled to it) and repainted; at 1,000 and at 10,000,000 records. The
//    cost must not grow with the log.
//  - GridMemory: what the model and the grid add to the heap beyond the log itself (view_bytes),
//    and per record held (view_bytes_per_row).
//  - TableView*: the same three for a plain QTableView over the same model (vertical header hidden,
//    fixed row height, appends collected), the alternative the grid was measured against.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>


#include <memory>
#include <string>

#include "HeapInUse.h"
#include "app/gui/grid/LogGrid.h"
#include "app/gui/grid/LogTableModel.h"
#include "recording/LogStore.h"

namespace qm {
namespace {

constexpr std::size_t kUnlimited = 10'000'000;

LogRecord Reading(std::size_t n) {
  LogRecord r;
  r.ANo = static_cast<std::int32_t>(n);
  r.ATime = "14:03:27(2024-05-01)";
  r.AFunction = "PWRP";
  r.AValue = std::to_string(n % 100000 / 100) + "," + std::to_string(n % 100);
  r.AUnit = "kW";
  r.ASubValue1 = "230,1";
  r.ASubUnit1 = "V";
  r.ASubValue2 = std::to_string(n % 97) + ",02";
  r.ASubUnit2 = "A";
  return r;
}

void Fill(TReadingLog& log, std::size_t rows) {
  while (log.Count() < rows) log.Append(Reading(log.Count() + 1));
}

// The ten-million-record log, built once for all benchmarks.
TReadingLog& BigLog() {
  static TReadingLog log;
  if (log.Count() < kUnlimited) Fill(log, kUnlimited);
  return log;
}

// One of the two views over a model, shown at the size the main window gives the grid.
class TView {
 public:
  TView(TReadingLog& log, bool tableView) : model_(log) {
    if (tableView) {
      auto* table = new QTableView;
      table->setModel(&model_);
      table->setSelectionBehavior(QAbstractItemView::SelectRows);
      table->setSelectionMode(QAbstractItemView::SingleSelection);
      table->verticalHeader()->hide();
      table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
      table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 4);
      for (int c = 0; c < gui::TLogTableModel::kColumnCount; ++c)
        table->setColumnWidth(c, gui::TLogGrid::kColumnWidths[static_cast<std::size_t>(c)]);
      QObject::connect(&model_, &QAbstractItemModel::rowsInserted, table, [this, table] { Follow(*table); });
      widget_.reset(table);
      viewport_ = table->viewport();
    } else {
      auto* grid = new gui::TLogGrid(model_);
      widget_.reset(grid);
      viewport_ = grid->viewport();
    }
    widget_->resize(440, 330);
    widget_->show();
    QApplication::processEvents();
  }
  ~TView() { widget_.reset(); }

  // As in use: the model's announcement and the repaint run from the event loop.
  void Append(TReadingLog& log) {
    log.Append(Reading(log.Count() + 1));
    QCoreApplication::processEvents();  // the model announces the row, the view asks for a repaint
    QCoreApplication::processEvents();  // which is done in the next pass
  }
  void Repaint() { viewport_->repaint(); }

 private:
  void Follow(QTableView& table) {
    const QModelIndex current = model_.index(model_.CurrentRow(), 0);
    table.selectionModel()->setCurrentIndex(current, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    table.scrollTo(current);
  }

  gui::TLogTableModel model_;
  std::unique_ptr<QWidget> widget_;
  QWidget* viewport_ = nullptr;
};

void WarmUp() {
  TReadingLog small;
  Fill(small, 50);
  TView grid(small, false);
  TView table(small, true);
  grid.Repaint();
  table.Repaint();
}

void Repaint(benchmark::State& state, bool tableView) {
  TView view(BigLog(), tableView);
  for (auto _ : state) view.Repaint();
}

void Append(benchmark::State& state, bool tableView) {
  const auto rows = static_cast<std::size_t>(state.range(0));
  std::unique_ptr<TReadingLog> own;
  TReadingLog* log = nullptr;
  if (rows < kUnlimited) {
    own = std::make_unique<TReadingLog>();
    Fill(*own, rows);
    log = own.get();
  } else {
    log = &BigLog();
  }
  TView view(*log, tableView);
  for (auto _ : state) view.Append(*log);
  state.counters["rows"] = static_cast<double>(log->Count());
}

void Memory(benchmark::State& state, bool tableView) {
  TReadingLog& log = BigLog();
  WarmUp();
  double bytes = 0;
  for (auto _ : state) {
    const std::size_t before = HeapInUse();
    TView view(log, tableView);
    view.Repaint();
    bytes = static_cast<double>(HeapInUse()) - static_cast<double>(before);
  }
  state.counters["view_bytes"] = bytes;
  state.counters["view_bytes_per_row"] = bytes / static_cast<double>(log.Count());
}

void BM_GridRepaint(benchmark::State& state) { Repaint(state, false); }
void BM_GridAppend(benchmark::State& state) { Append(state, false); }
void BM_GridMemory(benchmark::State& state) { Memory(state, false); }
void BM_TableViewRepaint(benchmark::State& state) { Repaint(state, true); }
void BM_TableViewAppend(benchmark::State& state) { Append(state, true); }
void BM_TableViewMemory(benchmark::State& state) { Memory(state, true); }

// A fixed number of appends, so that both sizes grow by the same small amount.
constexpr int kAppends = 1000;

BENCHMARK(BM_GridRepaint)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GridAppend)->Arg(1000)->Arg(kUnlimited)->Iterations(kAppends)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GridMemory)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TableViewRepaint)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TableViewAppend)->Arg(1000)->Arg(kUnlimited)->Iterations(kAppends)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TableViewMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qm
