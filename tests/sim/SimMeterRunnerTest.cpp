#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <vector>

#include "MeterFrameScan.h"
#include "sim/SimMeterRunner.h"

namespace qm::sim {
namespace {

using test::ScanFrames;
using test::TScannedFrame;

// --- pacing, in simulated microseconds -----------------------------------------------------------

TEST(LinePacer, ReleasesEachByteWhenItsTenBitsHaveLeftTheWire) {
  TLinePacer pacer(9600);
  pacer.Queue(std::vector<std::uint8_t>(35, 0x55), 0);
  const std::pair<std::uint64_t, std::size_t> cases[] = {
      // byte k is out after k * 1041.67 us; a whole frame takes about 36.5 ms
      {0, 0}, {1041, 0}, {1042, 1}, {10417, 10}, {36458, 34}, {36459, 35}, {50000, 35},
  };
  std::size_t total = 0;
  for (const auto& [atUs, expected] : cases) {
    total += pacer.TakeDue(atUs).size();
    EXPECT_EQ(total, expected) << "at " << atUs << " us";
  }
  EXPECT_TRUE(pacer.Empty());
}

TEST(LinePacer, CarriesNineHundredSixtyBytesPerSecond) {
  TLinePacer pacer(9600);
  pacer.Queue(std::vector<std::uint8_t>(2000, 0), 0);
  EXPECT_EQ(pacer.TakeDue(1'000'000).size(), 960u);
  EXPECT_EQ(pacer.TakeDue(2'000'000).size(), 960u);
}

TEST(LinePacer, QueuedBytesFollowThoseStillGoingOutAndAnIdleLineStartsAfresh) {
  TLinePacer pacer(9600);
  pacer.Queue(std::vector<std::uint8_t>(35, 1), 0);
  pacer.Queue(std::vector<std::uint8_t>(35, 2), 10'000);  // while the first frame is on the wire
  EXPECT_EQ(pacer.DueAt(70), 72'917u);
  EXPECT_EQ(pacer.DueAt(8), 8'334u);
  EXPECT_EQ(pacer.TakeDue(72'917).size(), 70u);

  pacer.Queue(std::vector<std::uint8_t>(1, 3), 200'000);
  EXPECT_TRUE(pacer.TakeDue(201'041).empty());
  EXPECT_EQ(pacer.TakeDue(201'042), std::vector<std::uint8_t>{3});
}

// --- instant runner -------------------------------------------------------------------------------

std::vector<std::uint8_t> Drain(TByteChannel& channel, std::uint32_t baud = kMeterBaud) {
  std::vector<std::uint8_t> bytes(channel.Pending());
  bytes.resize(channel.Receive(bytes.data(), bytes.size(), std::chrono::milliseconds(0), baud));
  return bytes;
}

void SendCommand(TSerialLine& line, std::uint8_t code, std::uint32_t baud = kMeterBaud) {
  const auto frame = test::CommandFrame(code);
  line.toMeter.Send(frame.data(), frame.size(), baud);
}

TEST(InstantRunner, PutsTheMeterOutputOnTheLineAtOnce) {
  TSimMeter meter;
  TSerialLine line;
  TSimMeterRunner runner(meter, line, TPacing::Instant);
  EXPECT_FALSE(runner.Start());
  ASSERT_TRUE(runner.Advance(1000));
  EXPECT_EQ(line.toHost.Pending(), 2 * kMeterFrameSize);
  EXPECT_EQ(ScanFrames(Drain(line.toHost)).frames.size(), 2u);
}

TEST(InstantRunner, MeterHearsCommandsSentAtItsBaudRateOnly) {
  const std::pair<std::uint32_t, bool> cases[] = {{kMeterBaud, true}, {115200, false}};
  for (const auto& [baud, heard] : cases) {
    TSimMeter meter;
    TSerialLine line;
    TSimMeterRunner runner(meter, line, TPacing::Instant);
    SendCommand(line, mcHold, baud);
    runner.Advance(500);
    const auto frames = ScanFrames(Drain(line.toHost)).frames;
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].Bit(1, 0), heard) << baud << " baud";
    EXPECT_EQ(line.toMeter.Pending(), 0u);
  }
}

TEST(InstantRunner, ExportRecordFollowsTheRequestWithoutTimePassing) {
  TSimMeter meter;
  TSerialLine line;
  TSimMeterRunner runner(meter, line, TPacing::Instant);
  SendCommand(line, mcExportMemory);
  runner.Advance(0);
  const auto frames = ScanFrames(Drain(line.toHost)).frames;
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].type, kExportFrame);
}

// --- real-time runner -----------------------------------------------------------------------------

// Reads the host end until `done` holds for what has arrived; gives up after a generous time-out.
std::vector<TScannedFrame> ReadUntil(TSerialLine& line, std::vector<std::uint8_t>& received,
                                     const std::function<bool(const std::vector<TScannedFrame>&)>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  std::uint8_t buffer[256];
  while (std::chrono::steady_clock::now() < deadline) {
    const std::size_t n = line.toHost.Receive(buffer, sizeof buffer, std::chrono::milliseconds(100), kMeterBaud);
    received.insert(received.end(), buffer, buffer + n);
    const auto frames = ScanFrames(received).frames;
    if (done(frames)) return frames;
  }
  ADD_FAILURE() << "timed out";
  return ScanFrames(received).frames;
}

TEST(RealTimeRunner, StreamsFramesAndReactsToCommands) {
  TSimMeterConfig config;
  config.framePeriodMs = 50;
  TSimMeter meter(config);
  TSerialLine line;
  TSimMeterRunner runner(meter, line, TPacing::RealTime);
  EXPECT_FALSE(runner.Advance(100));
  ASSERT_TRUE(runner.Start());
  EXPECT_FALSE(runner.Start());

  std::vector<std::uint8_t> received;
  ReadUntil(line, received, [](const auto& frames) { return frames.size() >= 2; });
  SendCommand(line, mcHold);
  const auto frames = ReadUntil(line, received, [](const auto& f) { return !f.empty() && f.back().Bit(1, 0); });
  runner.Stop();
  EXPECT_FALSE(runner.Running());

  EXPECT_EQ(ScanFrames(received).skipped, 0u);
  // The record read under Access agrees with what arrived.
  const std::size_t sent = runner.Access([](TSimMeter& m) { return m.Sent().size(); });
  EXPECT_GE(sent, frames.size());
  runner.Access([](TSimMeter& m) { EXPECT_EQ(m.Commands().size(), 1u); });
}

TEST(RealTimeRunner, StopsWithoutWaitingForTheNextFrame) {
  TSimMeterConfig config;
  config.framePeriodMs = 3'600'000;  // a Stop that waited for the next event would hang the test
  TSimMeter meter(config);
  TSerialLine line;
  TSimMeterRunner runner(meter, line, TPacing::RealTime);
  ASSERT_TRUE(runner.Start());
  std::vector<std::uint8_t> received;
  ReadUntil(line, received, [](const auto& frames) { return frames.size() == 1; });
  runner.Stop();
  EXPECT_FALSE(runner.Running());
  ASSERT_TRUE(runner.Start());  // and can run again
  runner.Stop();
}

}  // namespace
}  // namespace qm::sim
