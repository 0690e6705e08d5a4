#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MeterFrameScan.h"
#include "sim/SimMeterFrame.h"

namespace qm::sim {
namespace {

using test::CommandFrame;

TEST(MeterFrameEncoder, LaysOutEveryFieldAndTheBigEndianSum) {
  TAnnunciators a;
  a.hold = true;
  a.mem = true;
  a.max = true;
  a.w = true;
  const TMeterFrame frame{kLiveFrame, fmPF, {"   ", " 0.866", " 230.1", " 12.50"}, a.StatusBytes()};

  const auto bytes = EncodeMeterFrame(frame);

  std::vector<std::uint8_t> expected = {0xAB, 0xCD, 0x1E, 0x4C, '3'};
  for (char c : std::string("    0.866 230.1 12.50")) expected.push_back(static_cast<std::uint8_t>(c));
  expected.insert(expected.end(), {0x01, 0x00, 0x04, 0x00, 0x0A, 0x05, 0xD0, 0x0D, 0x0A});
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), expected);
}

TEST(MeterFrameEncoder, ShortDisplayTextsAreRightAlignedAndLongOnesCut) {
  const TMeterFrame frame{kExportFrame, fmVHARM, {"3", "1.5", "", "1234567"}, {}};
  const auto bytes = EncodeMeterFrame(frame);
  const auto scan = test::ScanFrames({bytes.begin(), bytes.end()});
  ASSERT_EQ(scan.frames.size(), 1u);
  EXPECT_EQ(scan.frames[0].aux, "  3");
  EXPECT_EQ(scan.frames[0].main, "   1.5");
  EXPECT_EQ(scan.frames[0].sub1, "      ");
  EXPECT_EQ(scan.frames[0].sub2, "123456");
}

TEST(MeterFrameEncoder, StatusBitsSitWhereTheHostLooksForThem) {
  struct Case {
    bool TAnnunciators::*flag;
    int byte, bit;
  };
  const Case cases[] = {
      {&TAnnunciators::hold, 1, 0},     {&TAnnunciators::lowBattery, 1, 2},
      {&TAnnunciators::warning, 1, 3},  {&TAnnunciators::autoPowerOff, 2, 0},
      {&TAnnunciators::markB2, 2, 1},   {&TAnnunciators::markB1, 2, 2},
      {&TAnnunciators::memClear, 3, 0}, {&TAnnunciators::memFull, 3, 1},
      {&TAnnunciators::mem, 3, 2},      {&TAnnunciators::min, 5, 0},
      {&TAnnunciators::max, 5, 1},      {&TAnnunciators::timeFormat, 5, 2},
      {&TAnnunciators::w, 5, 3},
  };
  for (const Case& c : cases) {
    TAnnunciators a;
    a.*c.flag = true;
    std::array<std::uint8_t, 5> expected{};
    expected[c.byte - 1] = static_cast<std::uint8_t>(1 << c.bit);
    EXPECT_EQ(a.StatusBytes(), expected) << "byte " << c.byte << " bit " << c.bit;
  }
}

TEST(MeterFrameEncoder, FunctionBytesRunThroughDigitsThenLetters) {
  const std::string expected = "0123456789abcdef";
  for (int f = fmPWRP; f <= fmExportEnd; ++f) {
    EXPECT_EQ(FunctionByte(static_cast<TFunMode>(f)), expected[f - fmPWRP]) << FunModeIdent(static_cast<TFunMode>(f));
  }
}

std::vector<std::uint8_t> Join(std::initializer_list<std::vector<std::uint8_t>> parts) {
  std::vector<std::uint8_t> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

struct ReaderCase {
  const char* name;
  std::vector<std::uint8_t> bytes;
  std::vector<std::uint8_t> codes;  // accepted, in order
};

class CommandReaderTest : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(CommandReaderTest, AcceptsExactlyTheGoodFrames) {
  const ReaderCase& c = GetParam();
  // Fed whole and byte by byte: chunk boundaries must not matter.
  for (std::size_t chunk : {c.bytes.size(), std::size_t{1}}) {
    TCommandReader reader;
    std::vector<TCommand> commands;
    for (std::size_t i = 0; i < c.bytes.size(); i += chunk) {
      reader.Feed(c.bytes.data() + i, std::min(chunk, c.bytes.size() - i), commands);
    }
    std::vector<std::uint8_t> codes;
    for (const TCommand& cmd : commands) codes.push_back(cmd.code);
    EXPECT_EQ(codes, c.codes) << "chunk size " << chunk;
  }
}

std::vector<std::uint8_t> BadSum(std::uint8_t code) {
  auto f = CommandFrame(code);
  ++f[6];
  return f;
}

INSTANTIATE_TEST_SUITE_P(
    Frames, CommandReaderTest,
    ::testing::Values(
        ReaderCase{"one", CommandFrame(mcHold), {mcHold}},
        ReaderCase{"two_back_to_back", Join({CommandFrame(mcMenu), CommandFrame(mcUp, 2)}), {mcMenu, mcUp}},
        ReaderCase{"bad_sum", BadSum(mcHold), {}},
        ReaderCase{"bad_sum_then_good", Join({BadSum(mcHold), CommandFrame(mcSelect)}), {mcSelect}},
        ReaderCase{"noise_before", Join({{0x00, 0xAB, 0x13, 0xAB, 0xCD}, CommandFrame(mcDown)}), {mcDown}},
        ReaderCase{"wrong_length_byte", {0xAB, 0xCD, 0x05, 0x42, 0x01, 0x01, 0xC2}, {}},
        ReaderCase{"incomplete", {0xAB, 0xCD, 0x04, 0x42, 0x01, 0x01}, {}},
        // A frame cut off by a new start: the good frame inside the broken one is still found.
        ReaderCase{"cut_then_good", Join({{0xAB, 0xCD, 0x04, 0x42}, CommandFrame(mcExportAck)}), {mcExportAck}}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace qm::sim
