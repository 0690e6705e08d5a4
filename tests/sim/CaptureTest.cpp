#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "MeterFrameScan.h"
#include "sim/Capture.h"

namespace qm::sim {
namespace {

TEST(Capture, HoldsTwoFramesPerSecondOfMeterTime) {
  TSimMeter meter;
  const auto capture = RecordCapture(meter, 10'000);
  const auto scan = test::ScanFrames(capture);
  EXPECT_EQ(scan.frames.size(), 20u);
  EXPECT_EQ(scan.skipped, 0u);
  EXPECT_EQ(meter.Now(), 10'000u);
}

TEST(Capture, FileHoldsTheRawBytes) {
  const auto dir = std::filesystem::path(::testing::TempDir());
  const auto path = dir / "qm_sim_capture_test.bin";
  TSimMeter meter, twin;
  ASSERT_TRUE(WriteCaptureFile(path, meter, 3'000));
  std::vector<std::uint8_t> written;
  {
    std::ifstream file(path, std::ios::binary);  // closed before the removal: Windows refuses it while open
    written.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  EXPECT_EQ(written, RecordCapture(twin, 3'000));
  std::filesystem::remove(path);
}

TEST(Capture, UnwritablePathIsReported) {
  TSimMeter meter;
  EXPECT_FALSE(WriteCaptureFile(std::filesystem::path(::testing::TempDir()) / "no-such-dir" / "x.bin", meter, 1000));
}

}  // namespace
}  // namespace qm::sim
