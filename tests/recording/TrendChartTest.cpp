// The compact point store and the chart built on it.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "common/NumberText.h"
#include "recording/Series.h"
#include "recording/TrendChart.h"

namespace qm {
namespace {

struct Added {
  double value;
  TColor colour;
};

std::uint64_t Bits(double v) { return std::bit_cast<std::uint64_t>(v); }

// A value as the meter's six-character display gives it: up to five digits, a point anywhere.
double DisplayValue(std::mt19937& rng) {
  const int digits = std::uniform_int_distribution<int>(1, 5)(rng);
  std::string text = std::uniform_int_distribution<int>(0, 3)(rng) == 0 ? "-" : " ";
  for (int i = 0; i < digits; ++i) text += static_cast<char>('0' + rng() % 10);
  text.insert(text.size() - rng() % digits, ".");
  return ReadNumberOrZero(text, ".");
}

double Special(std::mt19937& rng) {
  static const double specials[] = {-0.0,       1e20,      1e-300,    5e-324,    std::nan(""),
                                    0.1 + 0.2,  1234567.8, 1048575.0, 1048576.0, -1048576.0,
                                    12.3456789, -1e-7,     0.1234567};
  return specials[rng() % std::size(specials)];
}

struct StoreShape {
  const char* name;
  std::function<std::vector<Added>(std::mt19937&)> make;
};
void PrintTo(const StoreShape& c, std::ostream* os) { *os << c.name; }

std::vector<Added> FillSeries(std::mt19937&) { return std::vector<Added>(10000, {0.0, clBlue}); }

std::vector<Added> LiveSeries(std::mt19937& rng) {
  std::vector<Added> points{{0.0, clBlue}};  // the seed point
  for (int i = 0; i < 10000; ++i) points.push_back({DisplayValue(rng), clRed});
  return points;
}

// Zeros, then a mix of display values, values that need their full bits, a return to the
// leading value, and colours that change now and then.
std::vector<Added> MixedSeries(std::mt19937& rng) {
  std::vector<Added> points(300, {0.0, clBlue});
  const TColor colours[] = {clRed, clGreen, clBlue, {1, 2, 3}};
  TColor colour = clRed;
  for (int i = 0; i < 12000; ++i) {
    if (rng() % 500 == 0) colour = colours[rng() % std::size(colours)];
    const unsigned kind = rng() % 10;
    const double v = kind == 0 ? Special(rng) : kind == 1 ? 0.0 : DisplayValue(rng);
    points.push_back({v, colour});
  }
  return points;
}

class ChartSeriesStore : public ::testing::TestWithParam<StoreShape> {};

TEST_P(ChartSeriesStore, GivesBackExactlyWhatWasAdded) {
  std::mt19937 rng(20240501);
  const std::vector<Added> expected = GetParam().make(rng);
  TChartSeries series;
  for (const auto& p : expected) series.Add(p.value, p.colour);

  ASSERT_EQ(series.Count(), static_cast<std::int64_t>(expected.size()));
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const auto at = static_cast<std::int64_t>(i);
    ASSERT_EQ(Bits(series.Value(at)), Bits(expected[i].value)) << "point " << i;
    ASSERT_EQ(series.Colour(at), expected[i].colour) << "point " << i;
  }

  // Ranges that start and end inside chunks, span several, and reach beyond the points held.
  const std::int64_t n = series.Count();
  const std::pair<std::int64_t, std::int64_t> ranges[] = {
      {-10, n + 10}, {4000, 8300}, {n - 5, n + 5}, {1, 1}};
  for (auto [first, last] : ranges) {
    std::int64_t next = std::max<std::int64_t>(first, 0);
    series.ForEach(first, last, [&](const TChartPoint& p) {
      ASSERT_EQ(p.Position, next);
      const auto& e = expected[static_cast<std::size_t>(next)];
      ASSERT_EQ(Bits(p.Value), Bits(e.value)) << "position " << next;
      ASSERT_EQ(p.Colour, e.colour) << "position " << next;
      ++next;
    });
    EXPECT_EQ(next, std::min(last, n - 1) + 1) << first << ".." << last;
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes, ChartSeriesStore,
                         ::testing::Values(StoreShape{"Fill", FillSeries}, StoreShape{"Live", LiveSeries},
                                           StoreShape{"Mixed", MixedSeries}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(ChartSeriesTest, ClearStartsAgainAtPositionZero) {
  std::mt19937 rng(7);
  TChartSeries series;
  for (const auto& p : MixedSeries(rng)) series.Add(p.value, p.colour);
  series.Clear();
  EXPECT_EQ(series.Count(), 0);
  EXPECT_THROW(series.Value(0), std::out_of_range);
  int visited = 0;
  series.ForEach(0, 100, [&](const TChartPoint&) { ++visited; });
  EXPECT_EQ(visited, 0);

  series.Add(2.5, clGreen);
  series.Add(-1.25, clRed);
  ASSERT_EQ(series.Count(), 2);
  EXPECT_EQ(series.Value(0), 2.5);
  EXPECT_EQ(series.Colour(0), clGreen);
  EXPECT_EQ(series.Value(1), -1.25);
  EXPECT_EQ(series.Colour(1), clRed);
}

struct ShownCase {
  const char* name;
  std::vector<int> counts;
  std::vector<bool> visible;
  std::int64_t min, max;
};
void PrintTo(const ShownCase& c, std::ostream* os) { *os << c.name; }

class ShownPositions : public ::testing::TestWithParam<ShownCase> {};

TEST_P(ShownPositions, CountOnlyTheShownSeries) {
  const auto& c = GetParam();
  TTrendChart chart(static_cast<int>(c.counts.size()));
  for (int s = 0; s < chart.SeriesCount(); ++s) {
    for (int i = 0; i < c.counts[static_cast<std::size_t>(s)]; ++i) chart.AddPoint(s, i, clRed);
    chart.SetSeriesVisible(s, c.visible[static_cast<std::size_t>(s)]);
  }
  EXPECT_EQ(chart.MinShownPosition(), c.min);
  EXPECT_EQ(chart.MaxShownPosition(), c.max);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ShownPositions,
    ::testing::Values(ShownCase{"AllShown", {3, 5, 1, 0}, {true, true, true, true}, 0, 4},
                      ShownCase{"LongestHidden", {3, 5, 1, 0}, {true, false, true, true}, 0, 2},
                      ShownCase{"OnlyEmptyShown", {3, 5, 1, 0}, {false, false, false, true}, 0, 0},
                      ShownCase{"NoneShown", {3, 5, 1, 0}, {false, false, false, false}, 0, 0},
                      ShownCase{"NoPoints", {0, 0, 0, 0}, {true, true, true, true}, 0, 0}),
    [](const auto& p) { return std::string(p.param.name); });

std::vector<std::int64_t> Positions(const std::vector<TChartPoint>& points) {
  std::vector<std::int64_t> out;
  for (const auto& p : points) out.push_back(p.Position);
  return out;
}

// The window and a printout may watch the same chart: each hears every change until it leaves.
TEST(TrendChartTest, EveryWatcherHearsEachChange) {
  TTrendChart chart(2);
  int first = 0, second = 0;
  const auto token = chart.OnChange.Add([&] { ++first; });
  chart.OnChange.Add([&] { ++second; });
  chart.AddPoint(1, 2.5, clRed);
  chart.SetHorzWindow(1, 100);
  chart.SetSeriesVisible(0, false);
  EXPECT_EQ(first, 3);
  EXPECT_EQ(second, 3);
  chart.OnChange.Remove(token);
  chart.ClearSeries(1);
  EXPECT_EQ(first, 3);
  EXPECT_EQ(second, 4);
}

TEST(TrendChartTest, FetchWindowTakesTheWholePositionsInsideTheWindow) {
  TTrendChart chart(1);
  for (int i = 0; i < 100; ++i) chart.AddPoint(0, i * 0.5, clRed);
  std::vector<TChartPoint> out{{7, 7.0, clGreen}};  // replaced, not appended to

  chart.FetchWindow(0, -5.5, 3.2, out);
  EXPECT_EQ(Positions(out), (std::vector<std::int64_t>{0, 1, 2, 3}));
  EXPECT_EQ(out[3].Value, 1.5);
  chart.FetchWindow(0, 97.5, 500, out);
  EXPECT_EQ(Positions(out), (std::vector<std::int64_t>{98, 99}));
  chart.FetchWindow(0, 100, 200, out);
  EXPECT_TRUE(out.empty());
  chart.FetchWindow(0, 50, 49, out);
  EXPECT_TRUE(out.empty());
  // Few enough points for the columns: all of them.
  chart.FetchWindow(0, 0, 19, out, 10);
  EXPECT_EQ(out.size(), 20u);
}

TEST(TrendChartTest, FetchWindowDecimatesToTheLowAndHighOfEachColumn) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> value(-100, 100);
  TTrendChart chart(1);
  std::vector<double> values;
  for (int i = 0; i < 5000; ++i) {
    values.push_back(std::round(value(rng) * 100) / 100);
    chart.AddPoint(0, values.back(), i < 2500 ? clRed : clGreen);
  }
  const std::int64_t lo = 1000, hi = 3999;  // 3000 positions in 7 columns of 428 or 429
  const int columns = 7;
  std::vector<TChartPoint> out;
  chart.FetchWindow(0, lo, hi, out, columns);

  std::vector<TChartPoint> expected;
  const std::int64_t n = hi - lo + 1;
  for (int c = 0; c < columns; ++c) {
    const auto first = values.begin() + lo + c * n / columns;
    const auto last = values.begin() + lo + (c + 1) * n / columns;
    const auto low = std::min_element(first, last) - values.begin();
    const auto high = std::max_element(first, last) - values.begin();
    for (auto p : {std::min(low, high), std::max(low, high)})
      if (expected.empty() || expected.back().Position != p)
        expected.push_back({p, values[static_cast<std::size_t>(p)], p < 2500 ? clRed : clGreen});
  }
  ASSERT_EQ(out.size(), expected.size());
  for (std::size_t i = 0; i < out.size(); ++i) {
    EXPECT_EQ(out[i].Position, expected[i].Position) << i;
    EXPECT_EQ(out[i].Value, expected[i].Value) << i;
    EXPECT_EQ(out[i].Colour, expected[i].Colour) << i;
  }
}

}  // namespace
}  // namespace qm
