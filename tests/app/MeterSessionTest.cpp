// The session's wiring: the watchdog's life with the link, sampling versus per-reading logging,
// and clearing reaching the chart.
#include "app/MeterSession.h"

#include <gtest/gtest.h>

#include "common/ScriptedPrompt.h"
#include "selector/uDeviceSelector.h"
#include "sim/SimMeter.h"

namespace qm {
namespace {

using namespace std::chrono_literals;

class MeterSessionTest : public ::testing::Test {
 protected:
  void Feed(std::uint32_t ms) {
    for (const auto& chunk : meter_.Produce(ms))
      session_.ReceiveData(chunk.bytes.data(), static_cast<std::int32_t>(chunk.bytes.size()));
  }
  test::ScriptedPrompt prompt_;
  TMeterSession session_{prompt_};
  sim::TSimMeter meter_;
};

TEST_F(MeterSessionTest, WatchdogRunsWithTheLinkAndExpiresAfterTenSilentSeconds) {
  auto t0 = TLinkWatchdog::Clock::now();
  EXPECT_FALSE(session_.CheckWatchdog(t0 + 1h));  // not connected: never expires
  int disconnects = 0;
  session_.OnDisconnected.Add([&] { ++disconnects; });
  session_.CP21041Connect();
  EXPECT_FALSE(session_.CheckWatchdog(TLinkWatchdog::Clock::now() + 9s));
  EXPECT_TRUE(session_.CheckWatchdog(TLinkWatchdog::Clock::now() + 10s));
  EXPECT_EQ(prompt_.Texts("information"),
            std::vector<std::string>{"USB interface cable is not connected properly, please check and re-try."});
  EXPECT_FALSE(session_.Watchdog().Enabled());
  EXPECT_FALSE(session_.CheckWatchdog(TLinkWatchdog::Clock::now() + 1h));  // reported once

  session_.CP21041Connect();
  session_.Watchdog().Start(TLinkWatchdog::Clock::now() - 1h);  // a countdown long run out
  ASSERT_TRUE(session_.Watchdog().Expired());
  std::uint8_t noise[3] = {1, 2, 3};
  session_.ReceiveData(noise, 3);  // every chunk, garbage too, restarts the countdown
  EXPECT_FALSE(session_.Watchdog().Expired());
  EXPECT_FALSE(session_.Watchdog().Expired(TLinkWatchdog::Clock::now() + 9s));
  session_.CP21041Disconnect();
  EXPECT_FALSE(session_.Watchdog().Enabled());
  EXPECT_EQ(disconnects, 1);
}

TEST_F(MeterSessionTest, SamplingTimerFeedsTheLogInsteadOfEachReading) {
  std::vector<std::size_t> appended;  // what a view of the log hears: sampled rows too
  session_.Log().OnAppended.Add([&](std::size_t row) { appended.push_back(row); });
  Feed(1000);
  EXPECT_EQ(session_.Log().Count(), 2u);
  session_.Sampling().cbIntervalClick(true);
  Feed(2000);
  EXPECT_EQ(session_.Log().Count(), 2u);
  EXPECT_EQ(session_.Comparator().Caption(), "Pass");  // still judged
  session_.timerIntervalTimer();
  EXPECT_EQ(session_.Log().Count(), 3u);
  EXPECT_EQ(appended, (std::vector<std::size_t>{0, 1, 2}));
  session_.Protocol().btnPauseClick(true);
  session_.timerIntervalTimer();
  EXPECT_EQ(session_.Log().Count(), 3u);
}

TEST_F(MeterSessionTest, ClearingTheLogClearsTheChartAndItsValueRange) {
  Feed(3000);
  ASSERT_GT(session_.ChartControl().MaxValue(), 0.0);
  ASSERT_GT(session_.Chart().PointCount(1), 1);
  prompt_.confirmAnswers = {true};
  ASSERT_TRUE(session_.Recorder().btnRecordNewClick(prompt_));
  EXPECT_EQ(session_.Log().Count(), 0u);
  EXPECT_EQ(session_.Chart().PointCount(1), 0);
  EXPECT_EQ(session_.ChartControl().MaxValue(), 0.0);
  EXPECT_EQ(session_.ChartControl().MinValue(), 0.0);
}

TEST_F(MeterSessionTest, ConnectWithoutABridgeSaysSoAndStaysClosed) {
  EXPECT_FALSE(session_.btnConnectClick());  // no selector bound
  TDeviceSelector selector;
  session_.BindSelector(&selector);
  int opens = 0;
  EXPECT_FALSE(session_.btnConnectClick([&](TDeviceSelector&) { return ++opens, false; }));
  EXPECT_EQ(opens, 1);
  EXPECT_FALSE(session_.IsOpen());
  EXPECT_EQ(prompt_.Texts("information"), std::vector<std::string>(2, TMeterSession::kNoDeviceMessage));
  session_.BindSelector(nullptr);
}

TEST_F(MeterSessionTest, EveryFrameOfAChunkIsDecodedAtOnce) {
  // A read at the meter's full rate brings several frames; none may wait for a later chunk.
  std::vector<std::uint8_t> chunk;
  for (const auto& c : meter_.Produce(2000)) chunk.insert(chunk.end(), c.bytes.begin(), c.bytes.end());
  ASSERT_EQ(chunk.size(), 4u * 35u);
  int decoded = 0;
  session_.OnReadingDecoded.Add([&](TMeterSession::TReadingKind) { ++decoded; });
  session_.ReceiveData(chunk.data(), static_cast<std::int32_t>(chunk.size()));
  EXPECT_EQ(decoded, 4);
  EXPECT_EQ(session_.Log().Count(), 4u);
  EXPECT_TRUE(session_.Protocol().ReceiveBuffer().empty());
}

}  // namespace
}  // namespace qm
