// Paging and value scaling of the trend chart control, and the chart toolbar's rules.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "common/ScriptedPrompt.h"
#include "recording/TrendChart.h"
#include "recording/uCharControl.h"

namespace qm {
namespace {

const std::array<TColor, 4> kColours{clBlue, clRed, clBlue, clGreen};

// The chart and its control as the main window sets them up at start-up.
struct ChartFixture {
  TTrendChart chart{4};
  TChartControl control{chart, 100};
  int recordsFed = 0;

  ChartFixture() {
    control.SetFillVisible(false);
    ResetValueRange(control);
  }
  // Records as AppendReading feeds them; the main value is the record's number in this test.
  void Records(int n) {
    for (int i = 0; i < n; ++i) {
      ++recordsFed;
      const std::array<double, 4> values{0.0, static_cast<double>(recordsFed), 1.5, -2.5};
      control.AddValues(values.data(), kColours.data(), 4);
    }
  }
};

enum class Op { Records, SetRange, First, Prior, Next, Last, GoTo, Clear };
struct Step {
  Op op;
  int arg = 0;
};

struct PagingCase {
  const char* name;
  std::vector<Step> steps;
  double lo, hi;
  int page, pages;
  bool browsing;
  std::int64_t newestAt;  // position of the newest main value (the seed when none was fed; -1: no points)
};
void PrintTo(const PagingCase& c, std::ostream* os) { *os << c.name; }

class Paging : public ::testing::TestWithParam<PagingCase> {};

TEST_P(Paging, MovesTheWindowAndThePage) {
  const auto& c = GetParam();
  ChartFixture f;
  for (const auto& s : c.steps) {
    switch (s.op) {
      case Op::Records:
        f.Records(s.arg);
        break;
      case Op::SetRange:
        f.control.SetRange(s.arg);
        break;
      case Op::First:
        f.control.FirstPage();
        break;
      case Op::Prior:
        f.control.PriorPage();
        break;
      case Op::Next:
        f.control.NextPage();
        break;
      case Op::Last:
        f.control.LastPage();
        break;
      case Op::GoTo:
        f.control.GoToPage(s.arg);
        break;
      case Op::Clear:
        f.control.Clear();
        break;
    }
  }
  EXPECT_EQ(f.chart.HorzMinimum(), c.lo);
  EXPECT_EQ(f.chart.HorzMaximum(), c.hi);
  EXPECT_EQ(f.control.CurrentPage(), c.page);
  EXPECT_EQ(f.control.PageCount(), c.pages);
  EXPECT_EQ(f.control.Browsing(), c.browsing);
  ASSERT_EQ(f.chart.PointCount(1), c.newestAt + 1);
  if (c.newestAt >= 0) {
    EXPECT_EQ(f.chart.Series(1).Value(c.newestAt), f.recordsFed);
  }
}

using enum Op;
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, Paging,
    ::testing::Values(
        //         name, steps                                           window     page pages browsing newest
        PagingCase{"StartUp", {},                                             1, 100, 1, 1, false, 0},
        PagingCase{"NinetyNinthRecordStaysOnFirstPage", {{Records, 99}},      1, 100, 1, 1, false, 99},
        // The hundredth record opens page 2, but no point lies beyond 100 yet.
        PagingCase{"HundredthRecordCountsPageTwo", {{Records, 100}},          1, 100, 2, 2, false, 100},
        PagingCase{"HundredFirstRecordMovesTheWindow", {{Records, 101}},    101, 200, 2, 2, false, 101},
        PagingCase{"SetRangeShowsTheNewestPage",
                   {{SetRange, 50}, {Records, 250}, {SetRange, 100}},       201, 300, 3, 3, false, 250},
        PagingCase{"SetRangeToTheSameRangeDoesNothing",
                   {{Records, 150}, {Prior}, {SetRange, 100}},                1, 100, 1, 2, true, 150},
        PagingCase{"PriorPageStopsFollowing",
                   {{Records, 150}, {Prior}, {Records, 300}},                 1, 100, 1, 5, true, 450},
        PagingCase{"LastPageCatchesUp",
                   {{Records, 150}, {Prior}, {Records, 300}, {Last}},       401, 500, 5, 5, false, 450},
        PagingCase{"FollowsAgainAfterLastPage",
                   {{Records, 150}, {Prior}, {Records, 300}, {Last}, {Records, 51}},
                                                                            501, 600, 6, 6, false, 501},
        PagingCase{"FirstPage", {{Records, 350}, {First}},                    1, 100, 1, 4, true, 350},
        PagingCase{"NextPageOntoTheLastStopsBrowsing",
                   {{Records, 350}, {First}, {Next}, {Next}, {Next}},       301, 400, 4, 4, false, 350},
        PagingCase{"NextPageShortOfTheLastKeepsBrowsing",
                   {{Records, 350}, {First}, {Next}},                       101, 200, 2, 4, true, 350},
        PagingCase{"GoToPageTwiceIgnoresTheSecond",
                   {{Records, 350}, {GoTo, 2}, {Next}, {GoTo, 2}},          201, 300, 3, 4, true, 350},
        PagingCase{"GoToTheLastPageStopsBrowsing",
                   {{Records, 350}, {GoTo, 2}, {GoTo, 4}},                  301, 400, 4, 4, false, 350},
        PagingCase{"GoToBeyondThePagesDoesNothing", {{Records, 350}, {GoTo, 5}},
                                                                            301, 400, 4, 4, false, 350},
        // Below 1: the window moves back while points lie before it (position 0 here).
        PagingCase{"GoToPageBelowOne", {{Records, 350}, {GoTo, -1}},        -99,   0, -1, 4, true, 350},
        PagingCase{"OnePageIgnoresPaging",
                   {{Records, 50}, {First}, {Prior}, {Next}, {Last}},         1, 100, 1, 1, false, 50},
        // Clearing keeps the page count until the next record recounts it.
        PagingCase{"ClearReturnsToTheFirstPage", {{Records, 250}, {Clear}},   1, 100, 1, 3, false, -1},
        PagingCase{"ClearedChartTakesTheNextRecordAtZero",
                   {{Records, 250}, {Prior}, {Clear}, {Records, 1}},          1, 100, 1, 1, false, 0},
        PagingCase{"ClearedChartTakesTheFollowingRecordAtOne",
                   {{Records, 250}, {Clear}, {Records, 2}},                   1, 100, 1, 1, false, 1}),
    [](const auto& p) { return std::string(p.param.name); });
// clang-format on

TEST(ChartControlTest, CreateSeedsEverySeriesAndShowsTheFill) {
  TTrendChart chart(4);
  chart.SetVertMaximum(7);
  TChartControl control(chart, 50);
  for (int s = 0; s < 4; ++s) {
    ASSERT_EQ(chart.PointCount(s), 1);
    EXPECT_EQ(chart.Series(s).Value(0), 0.0);
    EXPECT_EQ(chart.Series(s).Colour(0), clBlue);
  }
  EXPECT_TRUE(control.FillVisible());
  EXPECT_TRUE(chart.SeriesVisible(0));
  EXPECT_EQ(chart.HorzMinimum(), 1);
  EXPECT_EQ(chart.HorzMaximum(), 50);
  EXPECT_EQ(chart.VertMaximum(), 0);
  EXPECT_EQ(control.Range(), 50);
  EXPECT_EQ(control.LastGoToPage(), 0);
  EXPECT_THROW(TChartControl(chart, 0), std::invalid_argument);
}

TEST(ChartControlTest, RangeBelowOneIsIgnored) {
  ChartFixture f;
  f.Records(150);
  f.control.SetRange(0);
  f.control.SetRange(-5);
  EXPECT_EQ(f.control.Range(), 100);
  EXPECT_EQ(f.control.PageCount(), 2);
}

TEST(ChartControlTest, AddValuesFillsOnlyTheSeriesItHasValuesFor) {
  ChartFixture f;
  const double values[] = {0.0, 3.0, 4.0, 5.0, 6.0};
  const TColor colours[] = {clBlue, clRed, clBlue, clGreen, clRed};
  f.control.AddValues(values, colours, 2);
  f.control.AddValues(values, colours, 5);  // more values than series
  f.control.AddValues(values, colours, 0);
  EXPECT_EQ(f.chart.PointCount(0), 3);
  EXPECT_EQ(f.chart.PointCount(1), 3);
  EXPECT_EQ(f.chart.PointCount(3), 2);
  EXPECT_EQ(f.chart.Series(3).Value(1), 5.0);
  EXPECT_EQ(f.chart.Series(3).Colour(1), clGreen);
}

TEST(ChartControlTest, MainValuesWidenTheValueAxisUntilReset) {
  ChartFixture f;
  for (double v : {5.0, -3.0, 2.0}) TrackValueRange(f.control, v);
  const double values[] = {0.0, 2.0, 10.0, 0.0};
  f.control.AddValues(values, kColours.data(), 4);  // a sub-value beyond the axis changes nothing
  EXPECT_EQ(f.chart.VertMinimum(), -3.0);
  EXPECT_EQ(f.chart.VertMaximum(), 5.0);
  EXPECT_EQ(f.control.MinValue(), -3.0);
  EXPECT_EQ(f.control.MaxValue(), 5.0);

  ResetValueRange(f.control);
  EXPECT_EQ(f.chart.VertMinimum(), 0.0);
  EXPECT_EQ(f.chart.VertMaximum(), 0.0);
  TrackValueRange(f.control, 0.25);  // 0 stays inside the axis
  EXPECT_EQ(f.chart.VertMinimum(), 0.0);
  EXPECT_EQ(f.chart.VertMaximum(), 0.25);
}

TEST(ChartControlTest, FillVisibilityDecidesWhetherSeriesZeroCountsForTheWindow) {
  ChartFixture f;  // series 0 hidden, as at start-up
  EXPECT_FALSE(f.control.FillVisible());
  EXPECT_FALSE(f.chart.SeriesVisible(0));
  const double zero = 0.0;
  for (int i = 0; i < 150; ++i) f.control.AddValues(&zero, kColours.data(), 1);  // series 0 alone
  EXPECT_EQ(f.chart.MaxShownPosition(), 0);
  EXPECT_EQ(f.chart.HorzMaximum(), 100);  // nothing shown lies beyond the window

  f.control.SetFillVisible(true);
  EXPECT_TRUE(f.chart.SeriesVisible(0));
  EXPECT_EQ(f.chart.MaxShownPosition(), 150);
  f.control.AddValues(&zero, kColours.data(), 1);
  EXPECT_EQ(f.chart.HorzMinimum(), 101);
  EXPECT_EQ(f.chart.HorzMaximum(), 200);
}

// A plain model of the paging rules that shifts the window one page at a time, as the rules are
// written; the control computes repeated shifts at once and must end in the same state.
struct ModelChart {
  std::array<std::int64_t, 4> counts{};
  std::array<bool, 4> visible{true, true, true, true};
  double lo = 0, hi = 0;

  std::int64_t MaxShown() const {
    std::int64_t m = 0;
    for (int s = 0; s < 4; ++s)
      if (visible[s] && counts[s] > 0) m = std::max(m, counts[s] - 1);
    return m;
  }
};

struct ModelControl {
  ModelChart& chart;
  int page = 1, range = 0, pages = 1, lastGoTo = 0;
  bool browsing = false, fill = true;

  ModelControl(ModelChart& c, int r) : chart(c) {
    SetRange(r);
    chart.lo = 1;
    chart.hi = range;
    pages = page = 1;
    for (auto& n : chart.counts) ++n;
    chart.visible[0] = true;
  }
  void Shift(int offset, std::int64_t times) {
    for (std::int64_t i = 0; i < times; ++i) {
      const bool beyond = offset > 0 ? chart.MaxShown() > chart.hi : 0 < chart.lo;
      if (beyond) {
        chart.lo += offset;
        chart.hi += offset;
      }
    }
  }
  void Recount() {
    const std::int64_t c = chart.counts[0];
    pages = static_cast<int>(c / range + (c % range > 0));
  }
  void Add(int count) {
    for (int i = 0; i < std::min(count, 4); ++i) ++chart.counts[i];
    Recount();
    if (!browsing) {
      Shift(range, 1);
      page = pages;
    }
  }
  void SetRange(int r) {
    if (r == range || r < 1) return;
    range = r;
    chart.lo = 1;
    chart.hi = r;
    Recount();
    Shift(r, pages - 1);
    page = pages;
    browsing = false;
  }
  void First() {
    if (pages <= 1 || page == 1) return;
    Shift(-range, page - 1);
    page = 1;
    browsing = true;
  }
  void Prior() {
    if (page <= 1) return;
    Shift(-range, 1);
    --page;
    browsing = true;
  }
  void Next() {
    if (pages <= 1 || page == pages) return;
    Shift(range, 1);
    ++page;
    browsing = page != pages;
  }
  void Last() {
    if (pages <= 1 || page == pages) return;
    Shift(range, pages - page);
    page = pages;
    browsing = false;
  }
  void GoTo(int p) {
    if (p == lastGoTo) return;
    lastGoTo = p;
    if (p == page || pages <= 1 || p > pages) return;
    const int d = p - page;
    d > 0 ? Shift(range, d) : Shift(-range, -d);
    page = p;
    browsing = p != pages;
  }
  void Clear() {
    First();
    chart.counts = {};
    browsing = false;
  }
};

class ShiftEquivalence : public ::testing::TestWithParam<unsigned> {};

TEST_P(ShiftEquivalence, RandomOperationsEndWhereSingleShiftsWould) {
  std::mt19937 rng(GetParam());
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const int startRange = pick(1, 120);
  TTrendChart chart(4);
  TChartControl control(chart, startRange);
  ModelChart modelChart;
  ModelControl model(modelChart, startRange);

  const double values[] = {0.0, 1.0, 2.0, 3.0};
  for (int step = 0; step < 3000; ++step) {
    const int op = pick(0, 99);
    std::string what;
    if (op < 40) {
      const int n = pick(0, 99) < 90 ? 4 : pick(0, 5);
      const int times = pick(0, 9) == 0 ? pick(1, 3000) : 1;
      what = "add " + std::to_string(times) + " x " + std::to_string(n);
      for (int i = 0; i < times; ++i) {
        control.AddValues(values, kColours.data(), n);
        model.Add(n);
      }
    } else if (op < 50) {
      const int r = pick(0, 3) == 0 ? pick(1, 3) : pick(1, 400);
      what = "range " + std::to_string(r);
      control.SetRange(r);
      model.SetRange(r);
    } else if (op < 58) {
      what = "first";
      control.FirstPage();
      model.First();
    } else if (op < 68) {
      what = "prior";
      control.PriorPage();
      model.Prior();
    } else if (op < 78) {
      what = "next";
      control.NextPage();
      model.Next();
    } else if (op < 84) {
      what = "last";
      control.LastPage();
      model.Last();
    } else if (op < 93) {
      const int p = pick(-3, model.pages + 3);
      what = "goto " + std::to_string(p);
      control.GoToPage(p);
      model.GoTo(p);
    } else if (op < 95) {
      what = "clear";
      control.Clear();
      model.Clear();
    } else if (op < 97) {
      const bool b = pick(0, 1) == 1;
      what = std::string("fill ") + (b ? "on" : "off");
      control.SetFillVisible(b);
      if (b != model.fill) modelChart.visible[0] = model.fill = b;
    } else {
      const int s = pick(1, 3);
      const bool b = pick(0, 1) == 1;
      what = "series " + std::to_string(s) + (b ? " shown" : " hidden");
      chart.SetSeriesVisible(s, b);
      modelChart.visible[static_cast<std::size_t>(s)] = b;
    }
    SCOPED_TRACE("step " + std::to_string(step) + ": " + what);
    ASSERT_EQ(chart.HorzMinimum(), modelChart.lo);
    ASSERT_EQ(chart.HorzMaximum(), modelChart.hi);
    ASSERT_EQ(control.CurrentPage(), model.page);
    ASSERT_EQ(control.PageCount(), model.pages);
    ASSERT_EQ(control.Browsing(), model.browsing);
    ASSERT_EQ(control.LastGoToPage(), model.lastGoTo);
    ASSERT_EQ(control.Range(), model.range);
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, ShiftEquivalence, ::testing::Values(1u, 2u, 3u, 42u, 20240501u));

struct RangeEditCase {
  const char* text;
  bool accepted;
};
void PrintTo(const RangeEditCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class RangeEdit : public ::testing::TestWithParam<RangeEditCase> {};

TEST_P(RangeEdit, AcceptsWholeNumbersFromTenToTenThousand) {
  const auto& c = GetParam();
  ChartFixture f;
  f.Records(250);
  test::ScriptedPrompt prompt;
  std::int32_t chartRange = 100;
  const std::string shown = ApplyChartRangeText(c.text, f.control, chartRange, prompt);
  if (c.accepted) {
    EXPECT_EQ(shown, c.text);
    EXPECT_EQ(chartRange, std::stoi(c.text));
    EXPECT_EQ(f.control.Range(), chartRange);
    EXPECT_TRUE(prompt.shown.empty());
  } else {
    EXPECT_EQ(shown, "100");
    EXPECT_EQ(chartRange, 100);
    EXPECT_EQ(f.control.Range(), 100);
    EXPECT_EQ(prompt.Texts("information"),
              std::vector<std::string>{"Please enter a number between 10 to 10000"});
  }
}

INSTANTIATE_TEST_SUITE_P(Texts, RangeEdit,
                         ::testing::Values(RangeEditCase{"10", true}, RangeEditCase{"10000", true},
                                           RangeEditCase{"250", true}, RangeEditCase{"9", false},
                                           RangeEditCase{"10001", false}, RangeEditCase{"", false},
                                           RangeEditCase{"abc", false}, RangeEditCase{"1e3", false},
                                           RangeEditCase{"50.5", false}, RangeEditCase{"-50", false},
                                           RangeEditCase{"99999999999", false}));

TEST(ChartEditKeysTest, OnlyDigitsAndBackspacePass) {
  for (char c : std::string("0123456789\b")) EXPECT_TRUE(ChartEditAcceptsKey(c)) << int{c};
  for (char c : std::string("-+.,e aZ\r\t/:")) EXPECT_FALSE(ChartEditAcceptsKey(c)) << int{c};
}

struct PictureNameCase {
  const char* chosen;
  const char* written;
};
void PrintTo(const PictureNameCase& c, std::ostream* os) { *os << c.chosen; }

class PictureName : public ::testing::TestWithParam<PictureNameCase> {};

TEST_P(PictureName, EndsInBmp) { EXPECT_EQ(ChartPictureFileName(GetParam().chosen), GetParam().written); }

INSTANTIATE_TEST_SUITE_P(
    Names, PictureName,
    ::testing::Values(PictureNameCase{"trend.png", "trend.png.bmp"},
                      PictureNameCase{"TREND.BMP", "TREND.BMP"}, PictureNameCase{"trend.Bmp", "trend.Bmp"},
                      PictureNameCase{"trend", "trend.bmp"}, PictureNameCase{"trend.bmpx", "trend.bmpx.bmp"},
                      PictureNameCase{"C:\\pics.bmp\\trend", "C:\\pics.bmp\\trend.bmp"},
                      PictureNameCase{"/tmp/pics.bmp/trend", "/tmp/pics.bmp/trend.bmp"}));

TEST(ChartPictureTest, AsksWithTheBitmapFilterBeforeOverwriting) {
  test::ScriptedPrompt prompt;
  prompt.fileAnswers = {std::string("trend.png"), std::nullopt};
  EXPECT_EQ(AskChartPictureFileName(prompt), "trend.png.bmp");
  EXPECT_TRUE(prompt.lastAskBeforeOverwrite);
  EXPECT_EQ(AskChartPictureFileName(prompt), std::nullopt);  // cancelled
  EXPECT_EQ(prompt.Texts("save"),
            (std::vector<std::string>{"Bitmaps (*.bmp)|*.bmp", "Bitmaps (*.bmp)|*.bmp"}));
}

}  // namespace
}  // namespace qm
