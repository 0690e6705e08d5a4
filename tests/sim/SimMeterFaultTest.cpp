#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "MeterFrameScan.h"
#include "sim/SimMeter.h"

namespace qm::sim {
namespace {

using test::ScanFrames;

struct FaultCase {
  TFault fault;
  const char* name;
  std::size_t frames;      // sent in the stream
  std::size_t goodFrames;  // found whole and valid on the line
  std::size_t skipped;     // bytes belonging to no good frame
};

class FaultyStreamTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultyStreamTest, SpoilsOnlyTheFaultyFrame) {
  const FaultCase& c = GetParam();
  TSimMeter meter;
  const auto stream = FaultyStream(meter, c.fault);
  const auto scan = ScanFrames(Concat(stream));
  EXPECT_EQ(meter.Sent().size(), c.frames);
  EXPECT_EQ(scan.frames.size(), c.goodFrames);
  EXPECT_EQ(scan.skipped, c.skipped);
  const auto& sent = meter.Sent();
  for (std::size_t i = 0; i < sent.size(); ++i) {
    const bool middle = i != 0 && i + 1 != sent.size();
    EXPECT_EQ(sent[i].fault, middle ? c.fault : TFault::None) << "frame " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultyStreamTest,
                         ::testing::Values(FaultCase{TFault::None, "None", 3, 3, 0},
                                           FaultCase{TFault::Garbage, "Garbage", 3, 3, 7},
                                           FaultCase{TFault::Split, "Split", 3, 3, 0},
                                           FaultCase{TFault::Burst, "Burst", 4, 4, 0},
                                           FaultCase{TFault::BadChecksum, "BadChecksum", 3, 2, 35},
                                           FaultCase{TFault::CrLfInPayload, "CrLfInPayload", 3, 3, 0},
                                           FaultCase{TFault::Truncated, "Truncated", 3, 2, 20}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(SimMeterFaults, GarbageRidesInTheChunkJustBeforeTheFrame) {
  TSimMeter meter;
  const auto stream = FaultyStream(meter, TFault::Garbage);
  ASSERT_EQ(stream.size(), 3u);
  const auto& chunk = stream[1].bytes;
  ASSERT_EQ(chunk.size(), 7u + kMeterFrameSize);
  EXPECT_EQ(std::vector<std::uint8_t>(chunk.begin() + 7, chunk.end()), meter.Sent()[1].bytes);
  for (std::size_t i = 0; i < 7; ++i) {
    EXPECT_NE(chunk[i], 0xAB);
    EXPECT_NE(chunk[i], 0x0D);
    EXPECT_NE(chunk[i], 0x0A);
  }
}

TEST(SimMeterFaults, SplitFrameArrivesInThreeLaterChunks) {
  TSimMeter meter;
  const auto stream = FaultyStream(meter, TFault::Split);
  ASSERT_EQ(stream.size(), 5u);
  std::vector<std::uint8_t> joined;
  for (std::size_t i = 1; i <= 3; ++i) {
    EXPECT_LT(stream[i].bytes.size(), kMeterFrameSize);
    EXPECT_GT(stream[i].atMs, stream[i - 1].atMs);
    joined.insert(joined.end(), stream[i].bytes.begin(), stream[i].bytes.end());
  }
  EXPECT_EQ(joined, meter.Sent()[1].bytes);
  EXPECT_LT(stream[3].atMs, stream[4].atMs);
}

TEST(SimMeterFaults, SplitPiecesNeverOvertakeOrInterleaveWithLaterFrames) {
  TSimMeterConfig config;
  config.framePeriodMs = 5;  // shorter than the gaps between the pieces
  TSimMeter meter(config);
  meter.InjectFault(TFault::Split, 3);
  const auto stream = meter.Produce(200);
  for (std::size_t i = 1; i < stream.size(); ++i) EXPECT_GE(stream[i].atMs, stream[i - 1].atMs);
  const auto scan = ScanFrames(Concat(stream));
  EXPECT_EQ(scan.skipped, 0u);
  EXPECT_GE(scan.frames.size(), 3u);
}

TEST(SimMeterFaults, BurstPutsConsecutiveFramesInOneChunk) {
  TSimMeter meter;
  const auto stream = FaultyStream(meter, TFault::Burst);
  ASSERT_EQ(stream.size(), 3u);
  EXPECT_EQ(ScanFrames(stream[1].bytes).frames.size(), 2u);
  EXPECT_EQ(stream[1].atMs, meter.Sent()[2].atMs);
}

TEST(SimMeterFaults, BadChecksumIsOffByOne) {
  TSimMeter meter;
  FaultyStream(meter, TFault::BadChecksum);
  const TSentFrame& bad = meter.Sent()[1];
  EXPECT_FALSE(bad.Intact());
  const auto good = EncodeMeterFrame(bad.frame);
  ASSERT_EQ(bad.bytes.size(), good.size());
  for (std::size_t i = 0; i < good.size(); ++i) {
    EXPECT_EQ(bad.bytes[i], i == 32 ? static_cast<std::uint8_t>(good[i] + 1) : good[i]) << i;
  }
}

TEST(SimMeterFaults, CrLfSitsInsideAValidFrame) {
  TSimMeter meter;
  const auto scan = ScanFrames(Concat(FaultyStream(meter, TFault::CrLfInPayload)));
  ASSERT_EQ(scan.frames.size(), 3u);
  const auto& status = scan.frames[1].status;
  EXPECT_EQ(status[2], 0x0D);
  EXPECT_EQ(status[3], 0x0A);
  EXPECT_TRUE(meter.Sent()[1].Intact());
  EXPECT_EQ(meter.Sent()[1].frame.status, status);
}

TEST(SimMeterFaults, TruncatedFrameLosesItsTail) {
  TSimMeter meter;
  FaultyStream(meter, TFault::Truncated);
  const TSentFrame& cut = meter.Sent()[1];
  EXPECT_FALSE(cut.Intact());
  const auto whole = EncodeMeterFrame(cut.frame);
  EXPECT_EQ(cut.bytes, std::vector<std::uint8_t>(whole.begin(), whole.begin() + 20));
}

TEST(SimMeterFaults, SilenceDropsTheFramesDueAndFaultsWaitForTheNextFrameSent) {
  TSimMeter meter;
  meter.Produce(1000);  // frames at 0 and 500
  meter.Silence(2000);
  meter.InjectFault(TFault::BadChecksum);
  EXPECT_TRUE(meter.Produce(2000).empty());
  const auto after = meter.Produce(1000);  // frames at 3000 and 3500
  ASSERT_EQ(meter.Sent().size(), 4u);
  EXPECT_EQ(meter.Sent()[2].atMs, 3000u);
  EXPECT_EQ(meter.Sent()[2].fault, TFault::BadChecksum);
  EXPECT_EQ(ScanFrames(Concat(after)).frames.size(), 1u);
}

TEST(SimMeterFaults, CorruptedExportRecordIsRecoveredByTheResend) {
  TSimMeter meter;
  meter.InjectFault(TFault::BadChecksum);
  const auto command = test::CommandFrame(mcExportMemory);
  meter.ReceiveBytes(command.data(), command.size());
  EXPECT_TRUE(ScanFrames(Concat(meter.Produce(1))).frames.empty());
  const auto resent = ScanFrames(Concat(meter.Produce(1000))).frames;
  ASSERT_EQ(resent.size(), 1u);
  EXPECT_EQ(resent[0].type, kExportFrame);
  EXPECT_EQ(resent[0].main, meter.Memory()[0].screen.main);
}

}  // namespace
}  // namespace qm::sim
