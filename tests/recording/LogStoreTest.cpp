// The compact log store: exact bytes back, null vs empty, the 20-byte cut, rows and change state.
#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "LogTestRecords.h"
#include "recording/LogStore.h"

namespace qm {
namespace {

using test::Rec;
using test::Records;
using namespace std::string_literals;

// Texts that sit on the edges of the compact forms, or are not what the meter would send.
class OddTextTest : public ::testing::TestWithParam<std::string> {};

TEST_P(OddTextTest, EveryFieldGivesBackTheStoredBytes) {
  TReadingLog log;
  const std::string text = GetParam();
  LogRecord r = Rec(std::numeric_limits<std::int32_t>::min(), {text, text, text, text, text, text, text, text});
  log.Append(r);
  log.Append(Rec(std::numeric_limits<std::int32_t>::max(), {text}));  // same texts again: interned path
  log.Append(r);

  // Cut at 20 bytes and at a NUL, which no log file could carry.
  const std::string stored(CutLogText(text));
  LogRecord expected = Rec(r.ANo, {stored, stored, stored, stored, stored, stored, stored, stored});
  EXPECT_EQ(log.Record(0), expected);
  EXPECT_EQ(log.Record(1), Rec(std::numeric_limits<std::int32_t>::max(), {stored}));
  EXPECT_EQ(log.Record(2), expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, OddTextTest,
                         ::testing::Values(""s, "NULL"s, " 12.34"s, "1234567"s, "12345678"s, "12345678901234567890"s,
                                           "a text longer than twenty bytes"s, "\0"s, "a\0b\0"s, "\xFF"s,
                                           "\xFF\xFE\x80\x01"s, "\xA1\xA3 \xB5V"s, "\t\r\n \""s,
                                           "14:03:27(2024-05-01)"s, "23:59:59(9999-12-31)"s, "00:00:00(0000-00-00)"s,
                                           "24:00:00(2024-05-01)"s, "14:60:00(2024-05-01)"s, "14:03:27(2024-05-01"s,
                                           "14:03:27(2024-05-01)x"s,
                                           "14\x00"
                                           "03\x00"
                                           "27(\xFF\xFE\xFD\xFC-05-01)"s,
                                           "1a:03:27(2024-05-01)"s, "14.03.27(2024-05-01)"s, "14:03.27(2024-05-01)"s));

TEST(LogStoreTest, NullAndEmptyTextsStayApart) {
  TReadingLog log;
  log.Append(Rec(1, {}));
  log.Append(Rec(2, {"", "", "", "", "", "", "", ""}));
  log.Append(Rec(3, {std::nullopt, "", std::nullopt, "", std::nullopt, "", std::nullopt, ""}));
  EXPECT_EQ(log.Record(0), Rec(1, {}));
  EXPECT_EQ(log.Record(1), Rec(2, {"", "", "", "", "", "", "", ""}));
  EXPECT_EQ(log.Record(2), Rec(3, {std::nullopt, "", std::nullopt, "", std::nullopt, "", std::nullopt, ""}));
}

// A long mixed stream against a plain copy: crosses many chunks, days and both interning limits.
TEST(LogStoreTest, LongMixedStreamReadsBackExactly) {
  std::mt19937 rng(7);
  auto pick = [&](std::initializer_list<const char*> options) {
    return std::string(options.begin()[rng() % options.size()]);
  };
  std::vector<LogRecord> expected;
  TReadingLog log;
  for (int i = 0; i < 40000; ++i) {
    LogRecord r;
    r.ANo = static_cast<std::int32_t>(rng());
    char stamp[32];
    // Mostly one stamp per second over a few days; then a new day for every record.
    int day = i < 20000 ? i / 7000 : i;
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d(%04d-%02d-%02d)", i / 3600 % 24, i / 60 % 60, i % 60,
                  2000 + day / 365 % 8000, day / 28 % 12 + 1, day % 28 + 1);
    if (rng() % 10 != 0) r.ATime = stamp;
    r.AFunction = pick({"PWRP", "VTHDf", "None", ""});
    r.AValue = std::to_string(static_cast<int>(rng() % 200000) - 100000);
    if (rng() % 50 == 0) r.AValue = "beyond inline bytes";
    // Units unique per record for a long stretch, to run past the tuple dictionary's limit.
    r.AUnit = i >= 10000 && i < 30000 ? "u" + std::to_string(i) : pick({"kW", "kVA", "%"});
    r.ASubValue1 = pick({"230,1", " OL ", "", "-0.001"});
    if (rng() % 3 != 0) r.ASubUnit1 = "V";
    r.ASubValue2 = std::string(rng() % 21, static_cast<char>(rng() % 255 + 1));  // no NUL: it ends a text
    r.ASubUnit2 = pick({"A", "Hz"});
    expected.push_back(r);
    log.Append(r);
  }
  ASSERT_EQ(log.Count(), expected.size());
  for (std::size_t row = 0; row < expected.size(); ++row) ASSERT_EQ(log.Record(row), expected[row]) << "row " << row;
}

TEST(LogStoreTest, LongTextsAreCutToTwentyBytes) {
  TReadingLog log;
  const std::string longText = "0123456789abcdefghijKLMNOP";
  log.Append(Rec(1, {longText, longText, longText, longText, longText, longText, longText, longText}));
  const std::string cut = "0123456789abcdefghij";
  EXPECT_EQ(log.Record(0), Rec(1, {cut, cut, cut, cut, cut, cut, cut, cut}));
}

TEST(LogStoreTest, CurrentRowFollowsAppendsAndStaysWithinTheLog) {
  TReadingLog log;
  EXPECT_FALSE(log.CurrentRow());
  EXPECT_THROW(log.SetCurrentRow(0), std::out_of_range);
  EXPECT_THROW(log.Record(0), std::out_of_range);

  for (int i = 1; i <= 3; ++i) log.Append(Rec(i, {}));
  EXPECT_EQ(log.CurrentRow(), 2u);
  log.SetCurrentRow(0);
  EXPECT_EQ(log.CurrentRow(), 0u);
  log.Append(Rec(4, {}));
  EXPECT_EQ(log.CurrentRow(), 3u);
  EXPECT_THROW(log.SetCurrentRow(4), std::out_of_range);

  log.Clear();
  EXPECT_EQ(log.Count(), 0u);
  EXPECT_FALSE(log.CurrentRow());
}

TEST(LogStoreTest, PacketRowsKeepTheirStateAndLaterRowsAreInserted) {
  TReadingLog log;
  log.AppendPacketRow(Rec(10, {"a"}), 0);
  log.AppendPacketRow(Rec(11, {"b"}), TReadingLog::kRowInserted);
  log.AppendPacketRow(Rec(12, {"c"}), 8);
  log.Append(Rec(13, {"d"}));
  EXPECT_EQ((std::vector<int>{log.RowState(0), log.RowState(1), log.RowState(2), log.RowState(3)}),
            (std::vector<int>{0, 4, 8, 4}));
  EXPECT_THROW(log.AppendPacketRow(Rec(14, {}), 0), std::logic_error);
  EXPECT_EQ(log.Count(), 4u);

  log.Clear();
  log.Append(Rec(1, {}));
  EXPECT_EQ(log.RowState(0), TReadingLog::kRowInserted);
}

TEST(LogStoreTest, MovingAndSwappingCarryTheRecords) {
  TReadingLog a, b;
  a.Append(Rec(1, {"x"}));
  b = std::move(a);
  EXPECT_EQ(Records(b), std::vector<LogRecord>{Rec(1, {"x"})});
  TReadingLog c(std::move(b));
  EXPECT_EQ(Records(c), std::vector<LogRecord>{Rec(1, {"x"})});
  EXPECT_TRUE(b.Empty());
}

TEST(LogStoreTest, ANulEndsAStoredText) {
  EXPECT_EQ(CutLogText("12\0" "34"s), "12");
  EXPECT_EQ(CutLogText("\0"s), "");
  EXPECT_EQ(CutLogText("123456789012345678901\0"s), "12345678901234567890");
}

// What a view of the log (the grid) relies on: every change is announced once, and a batch once.
class LogObserverTest : public ::testing::Test {
 protected:
  LogObserverTest() {
    log_.OnAppended.Add([this](std::size_t row) { events_.push_back("append " + std::to_string(row)); });
    log_.OnReset.Add([this] { events_.push_back("reset"); });
    log_.OnCurrentRowChanged.Add([this](std::size_t row) { events_.push_back("row " + std::to_string(row)); });
  }
  TReadingLog log_;
  std::vector<std::string> events_;
};

TEST_F(LogObserverTest, AppendsRowMovesAndClearsAreAnnounced) {
  log_.AppendPacketRow(Rec(1, {"a"}), 0);
  log_.Append(Rec(2, {"b"}));
  log_.SetCurrentRow(0);
  log_.SetCurrentRow(0);  // no move, no event
  log_.Clear();
  EXPECT_EQ(events_, (std::vector<std::string>{"append 0", "append 1", "row 0", "reset"}));
}

TEST_F(LogObserverTest, ABatchResetsOnceAndAnEmptyBatchNotAtAll) {
  {
    TReadingLog::TUpdate outer(log_);
    TReadingLog::TUpdate inner(log_);
    for (int i = 0; i < 1000; ++i) log_.Append(Rec(i, {"x"}));
    log_.SetCurrentRow(3);
  }
  { TReadingLog::TUpdate nothing(log_); }
  EXPECT_EQ(events_, std::vector<std::string>{"reset"});
}

TEST_F(LogObserverTest, SwappingKeepsTheObserversWithTheirLog) {
  TReadingLog other;
  int otherResets = 0;
  other.OnReset.Add([&] { ++otherResets; });
  other.Append(Rec(7, {"z"}));
  log_.Swap(other);
  EXPECT_EQ(events_, std::vector<std::string>{"reset"});
  EXPECT_EQ(otherResets, 1);
  log_.Append(Rec(8, {"y"}));  // still ours
  EXPECT_EQ(events_.back(), "append 1");
  EXPECT_EQ(otherResets, 1);
}

}  // namespace
}  // namespace qm
