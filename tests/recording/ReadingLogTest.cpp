// Appending readings: the record, its number and time stamp, the record limit, the chart feed,
// clearing, the sampling tick and the interval entry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LogTestRecords.h"
#include "common/ScriptedPrompt.h"
#include "recording/LogFiles.h"
#include "recording/ReadingLog.h"
#include "recording/Sampling.h"

namespace qm {
namespace {

using test::Rec;

struct FakeChart : IChartFeed {
  std::vector<std::vector<double>> values;
  std::vector<std::vector<TColor>> colours;
  void AddValues(const double* v, const TColor* c, int count) override {
    values.emplace_back(v, v + count);
    colours.emplace_back(c, c + count);
  }
};

MeterReading Reading(TFunMode mode, std::string value, std::string sub1 = "", std::string sub2 = "") {
  MeterReading m;
  m.FunMode = mode;
  m.Value = std::move(value);
  m.SubValue1 = std::move(sub1);
  m.SubValue2 = std::move(sub2);
  m.Unit = "kW";
  m.SubUnit1 = "V";
  m.SubUnit2 = "A";
  return m;
}

class RecorderTest : public ::testing::Test {
 protected:
  TLocalTime now{2024, 5, 1, 14, 3, 27};
  TReadingLog log;
  FakeChart chart;
  TReadingRecorder recorder{log, &chart, ",", ":", [this] { return now; }};
  test::ScriptedPrompt prompt;

  std::vector<std::int32_t> Numbers() const {
    std::vector<std::int32_t> n;
    for (std::size_t row = 0; row < log.Count(); ++row) n.push_back(log.Record(row).ANo);
    return n;
  }
};

TEST_F(RecorderTest, AppendReadingRecordsTheReadingAndPlotsIt) {
  recorder.AppendReading(Reading(fmVTHDf, " 12,5", "230.1", "OL"), false);

  EXPECT_EQ(log.Record(0), Rec(1, {"14:03:27(2024-05-01)", "VTHDf", " 12,5", "kW", "230.1", "V", "OL", "A"}));
  EXPECT_EQ(log.CurrentRow(), 0u);
  ASSERT_EQ(chart.values.size(), 1u);
  EXPECT_EQ(chart.values[0], (std::vector<double>{0.0, 12.5, 230.1, 0.0}));
  EXPECT_EQ(chart.colours[0], (std::vector<TColor>{clBlue, clRed, clBlue, clGreen}));
}

TEST_F(RecorderTest, MemoryRecordsHaveNoTimeAndEmptyReadingsStayEmptyTexts) {
  recorder.AppendReading(MeterReading{}, true);
  EXPECT_EQ(log.Record(0), Rec(1, {std::nullopt, "None", "", "", "", "", "", ""}));
  EXPECT_EQ(chart.values.at(0), (std::vector<double>{0.0, 0.0, 0.0, 0.0}));
}

struct StampCase {
  TLocalTime time;
  const char* separator;
  const char* expected;
};

class TimeStampTest : public ::testing::TestWithParam<StampCase> {};

TEST_P(TimeStampTest, Formats) {
  EXPECT_EQ(FormatLogTimeStamp(GetParam().time, GetParam().separator), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Stamps, TimeStampTest,
                         ::testing::Values(StampCase{{2024, 5, 1, 14, 3, 27}, ":", "14:03:27(2024-05-01)"},
                                           StampCase{{2025, 1, 9, 0, 0, 0}, ".", "00.00.00(2025-01-09)"},
                                           StampCase{{999, 12, 31, 23, 59, 59}, ":", "23:59:59(0999-12-31)"}));

struct ChartValueCase {
  const char* text;
  const char* separator;
  double expected;
};

class ChartValueTest : public ::testing::TestWithParam<ChartValueCase> {};

TEST_P(ChartValueTest, ReadsTheTextWithTheLocaleSeparator) {
  EXPECT_EQ(ChartValue(GetParam().text, GetParam().separator), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Values, ChartValueTest,
                         ::testing::Values(ChartValueCase{"12,5", ",", 12.5}, ChartValueCase{" 12.34 ", ".", 12.34},
                                           ChartValueCase{"1.5", ",", 1.5},  // "." becomes the separator first
                                           ChartValueCase{"-0,001", ",", -0.001}, ChartValueCase{"OL", ",", 0.0},
                                           ChartValueCase{"", ".", 0.0}, ChartValueCase{"1.2.3", ",", 0.0},
                                           ChartValueCase{"1e3", ".", 1000.0}));

TEST_F(RecorderTest, NumberingRestartsAfterClearing) {
  for (int i = 0; i < 3; ++i) recorder.AppendReading(Reading(fmPWRP, "1"), false);
  prompt.confirmAnswers = {true};
  ASSERT_TRUE(recorder.btnRecordNewClick(prompt));
  recorder.AppendReading(Reading(fmPWRP, "1"), false);
  EXPECT_EQ(Numbers(), std::vector<std::int32_t>{1});
}

TEST_F(RecorderTest, NumberingContinuesFromTheCountAfterLoads) {
  // A text file's numbers are kept, whatever they are; the next record counts the rows.
  std::string text = "header\r\n7\tt\r\n7\tt\r\n99\tt\r\n";
  ASSERT_TRUE(ParseTextLog(text, log).Ok());
  recorder.AppendReading(Reading(fmPWRP, "1"), false);
  EXPECT_EQ(Numbers(), (std::vector<std::int32_t>{7, 7, 99, 4}));

  // An XML file replaces the log; numbering continues from the records it holds.
  TReadingLog other;
  other.Append(Rec(50, {}));
  other.Append(Rec(60, {}));
  ASSERT_TRUE(ParseXmlLog(FormatXmlLog(other), log).Ok());
  recorder.AppendReading(Reading(fmPWRP, "1"), false);
  EXPECT_EQ(Numbers(), (std::vector<std::int32_t>{50, 60, 3}));
}

TEST_F(RecorderTest, AFullLogIgnoresReadingsAndTheChartGetsNoPoint) {
  recorder.mniN10001Click(0);  // "1000"
  ASSERT_EQ(recorder.RecordLimit(), 1000);
  for (int i = 0; i < 1001; ++i) recorder.AppendReading(Reading(fmPWRP, "1"), i % 2 == 0);
  EXPECT_EQ(log.Count(), 1000u);
  EXPECT_EQ(chart.values.size(), 1000u);
  EXPECT_EQ(log.Record(999).ANo, 1000);
}

TEST_F(RecorderTest, LoweringTheLimitRemovesNothingAndStopsAppends) {
  EXPECT_EQ(recorder.RecordLimit(), 10000);
  EXPECT_EQ(recorder.CheckedRecordLimitItem(), kDefaultRecordLimitItem);
  for (int i = 0; i < 1500; ++i) recorder.AppendReading(Reading(fmPWRP, "1"), false);
  recorder.mniN10001Click(0);
  recorder.AppendReading(Reading(fmPWRP, "1"), false);
  EXPECT_EQ(log.Count(), 1500u);
  EXPECT_EQ(recorder.CheckedRecordLimitItem(), 0u);

  recorder.mniN10001Click(5);  // "Unlimited"
  EXPECT_EQ(recorder.RecordLimit(), 9999999);
  recorder.AppendReading(Reading(fmPWRP, "1"), false);
  EXPECT_EQ(log.Count(), 1501u);
  EXPECT_THROW(recorder.mniN10001Click(6), std::out_of_range);
}

TEST_F(RecorderTest, ClearingAsksFirstThenClearsTheChartAndResetsItsRange) {
  std::vector<std::string> hooks;
  recorder.OnClearChart.Set([&] { hooks.push_back("clear"); });
  recorder.OnResetValueRange.Set([&] { hooks.push_back("reset"); });
  recorder.AppendReading(Reading(fmPWRP, "1"), false);

  prompt.confirmAnswers = {false, true};
  EXPECT_FALSE(recorder.btnRecordNewClick(prompt));
  EXPECT_EQ(log.Count(), 1u);
  EXPECT_TRUE(hooks.empty());

  EXPECT_TRUE(recorder.btnRecordNewClick(prompt));
  EXPECT_TRUE(log.Empty());
  EXPECT_EQ(hooks, (std::vector<std::string>{"clear", "reset"}));
  EXPECT_EQ(prompt.Texts("confirm"), (std::vector<std::string>(2, std::string(kClearLogQuestion))));
}

TEST_F(RecorderTest, SamplingTicksAppendUnlessInLogMode) {
  MeterReading reading = Reading(fmFRQ, "50,0");
  recorder.timerIntervalTimer(reading, true);
  EXPECT_TRUE(log.Empty());
  recorder.timerIntervalTimer(reading, false);
  now.Second = 28;
  recorder.timerIntervalTimer(reading, false);
  ASSERT_EQ(log.Count(), 2u);
  EXPECT_EQ(log.Record(1), Rec(2, {"14:03:28(2024-05-01)", "FRQ", "50,0", "kW", "", "V", "", "A"}));
}

struct IntervalCase {
  const char* text;
  bool accepted;
  std::int32_t seconds;  // SamplingInterval afterwards, starting from 5
};

void PrintTo(const IntervalCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class IntervalEntryTest : public ::testing::TestWithParam<IntervalCase> {};

TEST_P(IntervalEntryTest, ValidatesTheEntry) {
  TSamplingInterval interval;
  test::ScriptedPrompt prompt;
  ASSERT_FALSE(interval.timerInputDelayTimer("5", prompt));

  auto restore = interval.timerInputDelayTimer(GetParam().text, prompt);
  EXPECT_EQ(!restore, GetParam().accepted);
  EXPECT_EQ(interval.Seconds(), GetParam().seconds);
  EXPECT_EQ(interval.PeriodMs(), static_cast<std::uint32_t>(GetParam().seconds) * 1000u);
  if (GetParam().accepted) {
    EXPECT_TRUE(prompt.shown.empty());
  } else {
    EXPECT_EQ(restore, "5");
    EXPECT_EQ(prompt.Texts("information"), std::vector<std::string>{std::string(kIntervalOutOfRange)});
  }
}

INSTANTIATE_TEST_SUITE_P(Entries, IntervalEntryTest,
                         ::testing::Values(IntervalCase{"1", true, 1}, IntervalCase{"007", true, 7},
                                           IntervalCase{"4294967", true, 4294967}, IntervalCase{"0", false, 5},
                                           IntervalCase{"", false, 5}, IntervalCase{"-3", false, 5},
                                           IntervalCase{"100000000", false, 5}, IntervalCase{"12a", false, 5},
                                           IntervalCase{"99999999999999999999", false, 5},
                                           // In range, but the period would not fit the timer's 32-bit milliseconds.
                                           IntervalCase{"4294968", false, 5}, IntervalCase{"99999999", false, 5}));

TEST(SamplingTest, IntervalEditKeepsDigitsAndBackspaceOnly) {
  std::string kept;
  for (int c = 0; c < 256; ++c)
    if (CEdit2KeyPress(static_cast<char>(c))) kept.push_back(static_cast<char>(c));
  EXPECT_EQ(kept, "\b0123456789");
}

TEST(SamplingTest, SamplingStartsOffWithOneSecond) {
  TSamplingInterval interval;
  EXPECT_FALSE(interval.Enabled());
  EXPECT_EQ(interval.PeriodMs(), 1000u);
  interval.cbIntervalClick(true);
  EXPECT_TRUE(interval.Enabled());
}

}  // namespace
}  // namespace qm
