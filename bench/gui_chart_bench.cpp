// The trend chart Chart1 on Qt's offscreen platform, 800 x 500 pixels, pages of 10,000 records,
// main value and both sub-values shown:
//  - RepaintPage/held: one repaint of the newest page (axes cached) with `held` records in the
//    chart: the cost must not grow with the records held.
//  - Picture/held: the whole chart drawn afresh into an image, as for the saved bitmap.
//  - ReadingWhileShown/held: one reading charted and the view repainted through the event loop.
//  - ViewMemory: heap taken by a shown and painted view over a chart of ten million records (the
//    view's own share: its axes pixmap and point buffer), and the points one repaint fetches.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "HeapInUse.h"
#include "app/gui/chart/ChartView.h"
#include "recording/RecordingTypes.h"
#include "recording/TrendChart.h"
#include "recording/uCharControl.h"

namespace qm {
namespace {

constexpr std::int32_t kPage = 10000;
const std::array<TColor, 4> kColours{clBlue, clRed, clBlue, clGreen};

// Readings as the meter's display gives them: a main value with one decimal and two sub-values.
std::array<double, 4> Reading(std::int64_t i) {
  const double t = static_cast<double>(i);
  const double main = std::round(10 * (50 + 40 * std::sin(t / 900) + 5 * std::sin(t / 7))) / 10;
  const double subA = std::round(10 * (30 + 10 * std::cos(t / 1300))) / 10;
  const double subB = std::round(100 * (main / 8)) / 100;
  return {0.0, main, subA, subB};
}

struct TChartWithControl {
  TTrendChart chart{4};
  TChartControl control{chart, kPage};
  explicit TChartWithControl(std::int64_t records) {
    control.SetFillVisible(false);
    ResetValueRange(control);
    for (std::int64_t i = 1; i <= records; ++i) Add(i);
  }
  void Add(std::int64_t i) {
    const auto values = Reading(i);
    TrackValueRange(control, values[1]);
    control.AddValues(values.data(), kColours.data(), 4);
  }
};

// Charts are built once per size: ten million records take a while.
TChartWithControl& Chart(std::int64_t held) {
  static std::map<std::int64_t, std::unique_ptr<TChartWithControl>> charts;
  auto& c = charts[held];
  if (!c) c = std::make_unique<TChartWithControl>(held);
  return *c;
}

std::unique_ptr<gui::TChartView> ShownView(TChartWithControl& c) {
  auto view = std::make_unique<gui::TChartView>(c.chart);
  view->resize(800, 500);
  view->show();
  QApplication::processEvents();
  return view;
}

void BM_RepaintPage(benchmark::State& state) {
  auto& c = Chart(state.range(0));
  auto view = ShownView(c);
  for (auto _ : state) view->repaint();
  state.counters["points_fetched"] = static_cast<double>(view->LastPaintPoints());
}
BENCHMARK(BM_RepaintPage)->Arg(100)->Arg(10'000'000)->Unit(benchmark::kMicrosecond);

void BM_Picture(benchmark::State& state) {
  auto& c = Chart(state.range(0));
  auto view = ShownView(c);
  for (auto _ : state) benchmark::DoNotOptimize(view->Picture());
}
BENCHMARK(BM_Picture)->Arg(100)->Arg(10'000'000)->Unit(benchmark::kMicrosecond);

void BM_ReadingWhileShown(benchmark::State& state) {
  auto& c = Chart(state.range(0));
  auto view = ShownView(c);
  std::int64_t next = c.chart.PointCount(1);
  for (auto _ : state) {
    c.Add(next++);
    QApplication::processEvents();
  }
}
BENCHMARK(BM_ReadingWhileShown)->Arg(100)->Arg(10'000'000)->Unit(benchmark::kMicrosecond);

void BM_ViewMemory(benchmark::State& state) {
  auto& c = Chart(10'000'000);
  ShownView(c);  // the platform's first-use allocations are not the view's
  for (auto _ : state) {
    const std::size_t before = HeapInUse();
    auto view = ShownView(c);
    view->repaint();
    state.counters["view_bytes"] = static_cast<double>(HeapInUse() - before);
    state.counters["points_fetched"] = static_cast<double>(view->LastPaintPoints());
  }
}
BENCHMARK(BM_ViewMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qm
