// Memory and speed of the trend chart at the record limits of the log (up to 9,999,999 records):
// bytes of chart points per record measured from the allocator, the cost of an append, fetching
// one page for a redraw, and paging over many pages.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "HeapInUse.h"
#include "common/NumberText.h"
#include "recording/RecordingTypes.h"
#include "recording/TrendChart.h"
#include "recording/uCharControl.h"

namespace qm {
namespace {

using TRow = std::array<double, 4>;
const std::array<TColor, 4> kColours{clBlue, clRed, clBlue, clGreen};

// Readings as the live path charts them: display texts of a drifting power measurement (watts,
// volts, amperes with the decimals the meter shows), read as numbers.
const std::vector<TRow>& LiveRows() {
  static const std::vector<TRow> rows = [] {
    std::mt19937 rng(1);
    std::normal_distribution<double> noise(0.0, 1.0);
    std::vector<TRow> out;
    double watts = 2300.0;
    for (int i = 0; i < 65536; ++i) {
      watts = std::clamp(watts + 5 * noise(rng), 0.0, 9999.0);
      const double volts = 230.0 + noise(rng);
      char main[16], sub1[16], sub2[16];
      std::snprintf(main, sizeof main, "%6.1f", watts);
      std::snprintf(sub1, sizeof sub1, "%6.1f", volts);
      std::snprintf(sub2, sizeof sub2, "%6.3f", watts / volts);
      out.push_back(
          {0.0, ReadNumberOrZero(main, "."), ReadNumberOrZero(sub1, "."), ReadNumberOrZero(sub2, ".")});
    }
    return out;
  }();
  return rows;
}

struct TChartWithControl {
  TTrendChart chart{4};
  TChartControl control{chart, 100};
  explicit TChartWithControl(std::int64_t records) {
    control.SetFillVisible(false);
    Append(records);
  }
  void Append(std::int64_t records) {
    const auto& rows = LiveRows();
    for (std::int64_t i = 0; i < records; ++i)
      control.AddValues(rows[static_cast<std::size_t>(i) % rows.size()].data(), kColours.data(), 4);
  }
};

void BM_ChartAppend(benchmark::State& state) {
  const std::int64_t records = state.range(0);
  LiveRows();
  std::size_t bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const std::size_t before = HeapInUse();
    auto chart = std::make_unique<TChartWithControl>(0);
    state.ResumeTiming();
    chart->Append(records);
    state.PauseTiming();
    bytes = HeapInUse() - before;
    chart.reset();
    state.ResumeTiming();
  }
  state.counters["bytes_per_record"] = static_cast<double>(bytes) / static_cast<double>(records);
  state.counters["time_per_append"] =
      benchmark::Counter(static_cast<double>(records),
                         benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ChartAppend)->Arg(1000)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond);

TChartWithControl& FullChart() {
  static TChartWithControl chart(9999999);
  return chart;
}

// One page of 10,000 records at the end of a full chart, as a redraw fetches it: the three line
// series, all points or min/max decimated to 1000 pixel columns.
void BM_ChartFetchLastPage(benchmark::State& state) {
  const int columns = static_cast<int>(state.range(0));
  const TTrendChart& chart = FullChart().chart;
  const double hi = static_cast<double>(chart.PointCount(1) - 1);
  std::vector<TChartPoint> buffer;
  std::size_t points = 0;
  for (auto _ : state) {
    for (int s = 1; s < 4; ++s) {
      chart.FetchWindow(s, hi - 9999, hi, buffer, columns);
      points += buffer.size();
      benchmark::DoNotOptimize(buffer.data());
    }
  }
  state.counters["points_per_page"] = static_cast<double>(points) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ChartFetchLastPage)->Arg(0)->Arg(1000)->Unit(benchmark::kMicrosecond);

// Changing the page size of a full chart: one million pages of 10 and back to 100,000 of 100.
void BM_ChartSetRangeOnFullChart(benchmark::State& state) {
  TChartControl& control = FullChart().control;
  for (auto _ : state) {
    control.SetRange(10);
    control.SetRange(100);
  }
  benchmark::DoNotOptimize(control.CurrentPage());
}
BENCHMARK(BM_ChartSetRangeOnFullChart);

}  // namespace
}  // namespace qm

BENCHMARK_MAIN();
