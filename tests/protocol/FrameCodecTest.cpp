// Reassembly of received chunks into frames, the frame check and command frames.
#include <gtest/gtest.h>

#include "ProtocolTestSupport.h"

namespace qm::test {
namespace {

// Distinct functions let a test tell which frame was dispatched.
const Bytes kPower = Frame(kLive, '0');     // fmPWRP
const Bytes kApparent = Frame(kLive, '1');  // fmPWRS
const Bytes kReactive = Frame(kLive, '2');  // fmPWRQ

class ChunkSplit : public ::testing::TestWithParam<std::size_t> {};

TEST_P(ChunkSplit, FrameIsDispatchedWithTheChunkHoldingItsTerminator) {
  WiredProtocol w;
  const Bytes stream = Concat({kPower, kApparent});
  const std::size_t chunk = GetParam();
  std::vector<std::size_t> dispatchedAfter;  // stream length fed when each frame came out
  for (std::size_t at = 0; at < stream.size(); at += chunk) {
    std::size_t before = w.Dispatched();
    w.Feed(Bytes(stream.begin() + at, stream.begin() + std::min(stream.size(), at + chunk)));
    if (w.Dispatched() != before) dispatchedAfter.push_back(std::min(stream.size(), at + chunk));
    if (dispatchedAfter.size() == 1) {
      EXPECT_EQ(w.proto.Reading().FunMode, fmPWRP);
    }
  }
  ASSERT_EQ(dispatchedAfter.size(), 2u);
  // Each frame comes out with the first chunk that reaches its last byte.
  EXPECT_EQ(dispatchedAfter[0], (kPower.size() + chunk - 1) / chunk * chunk);
  EXPECT_EQ(dispatchedAfter[1], stream.size());
  EXPECT_EQ(w.proto.Reading().FunMode, fmPWRS);
  EXPECT_TRUE(w.proto.ReceiveBuffer().empty());
}

// 34 ends a chunk between the terminator's 0D and 0A; 36 and 69 do likewise for the second frame.
INSTANTIATE_TEST_SUITE_P(Sizes, ChunkSplit, ::testing::Values(1, 2, 3, 7, 33, 34, 36, 69));

TEST(FrameReassembly, AtMostOneFramePerChunk) {
  WiredProtocol w;
  w.Feed(Concat({kPower, kApparent}));
  EXPECT_EQ(w.Dispatched(), 1u);
  EXPECT_EQ(w.proto.Reading().FunMode, fmPWRP);

  // The frame left behind comes out with the next chunk, ahead of the one that chunk completes.
  w.Feed(kReactive);
  EXPECT_EQ(w.Dispatched(), 2u);
  EXPECT_EQ(w.proto.Reading().FunMode, fmPWRS);
  EXPECT_EQ(w.proto.ReceiveBuffer(), Hex(kReactive));

  w.Feed({});
  EXPECT_EQ(w.Dispatched(), 3u);
  EXPECT_EQ(w.proto.Reading().FunMode, fmPWRQ);
  w.Feed({});
  EXPECT_EQ(w.Dispatched(), 3u);
}

TEST(FrameReassembly, DataBeforeTheStartBytesDiscardsTheWholeBuffer) {
  WiredProtocol w;
  const Bytes tail(kApparent.begin() + 20, kApparent.end() - 2);  // a frame caught in the middle
  w.Feed(tail);
  EXPECT_EQ(w.proto.ReceiveBuffer(), Hex(tail)) << "kept until a terminator arrives";

  // The terminator arrives together with a complete frame behind it: both go.
  w.Feed(Concat({{0x0D, 0x0A}, kPower}));
  EXPECT_EQ(w.Dispatched(), 0u);
  EXPECT_TRUE(w.proto.ReceiveBuffer().empty());

  w.Feed(kReactive);
  EXPECT_EQ(w.Dispatched(), 1u);
  EXPECT_EQ(w.proto.Reading().FunMode, fmPWRQ);
}

struct InnerTerminatorCase {
  const char* name;
  std::string reading;  // contains a byte sequence whose hex text holds "0D0A"
};

class InnerTerminator : public ::testing::TestWithParam<InnerTerminatorCase> {};

TEST_P(InnerTerminator, FrameIsCutThereAndItsRestDiscarded) {
  WiredProtocol w;
  const Bytes broken = Frame(kLive, '5', GetParam().reading);
  w.Feed(broken);
  EXPECT_EQ(w.Dispatched(), 0u) << "the shortened frame fails its check";
  EXPECT_FALSE(w.proto.ReceiveBuffer().starts_with("ABCD"));

  // The rest carries the real terminator, which the next chunk's search finds first: the rest
  // and that chunk's frame go; the frame after is accepted.
  w.Feed(kPower);
  EXPECT_EQ(w.Dispatched(), 0u);
  w.Feed(kApparent);
  EXPECT_EQ(w.Dispatched(), 1u);
  EXPECT_EQ(w.proto.Reading().FunMode, fmPWRS);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InnerTerminator,
    ::testing::Values(InnerTerminatorCase{"ByteAligned", std::string("  1 \r\n  2     3     4")},
                      InnerTerminatorCase{"Straddling", std::string("  1 \x10\xD0\xA7  2     3     4")}),
    [](const auto& p) { return p.param.name; });

struct ChecksumCase {
  const char* name;
  std::size_t offset;  // byte to change
  std::uint8_t delta;
};

class ChecksumFailure : public ::testing::TestWithParam<ChecksumCase> {};

TEST_P(ChecksumFailure, FrameIsDroppedAndWhatFollowsStays) {
  WiredProtocol w;
  Bytes bad = kPower;
  bad[GetParam().offset] = static_cast<std::uint8_t>(bad[GetParam().offset] + GetParam().delta);
  w.Feed(Concat({bad, kApparent}));
  EXPECT_EQ(w.Dispatched(), 0u);
  EXPECT_EQ(w.proto.ReceiveBuffer(), Hex(kApparent));
  w.Feed({});
  EXPECT_EQ(w.Dispatched(), 1u);
  EXPECT_EQ(w.proto.Reading().FunMode, fmPWRS);
}

INSTANTIATE_TEST_SUITE_P(Cases, ChecksumFailure,
                         ::testing::Values(ChecksumCase{"PayloadByte", 10, 1}, ChecksumCase{"LengthByte", 2, 0x40},
                                           ChecksumCase{"SumHigh", 31, 1}, ChecksumCase{"SumLow", 32, 0xFF}),
                         [](const auto& p) { return p.param.name; });

TEST(FrameCheck, ComparesTheSumBeforeTheTerminator) {
  EXPECT_TRUE(TMeterProtocol::CheckFrame(Hex(kPower)));
  EXPECT_TRUE(TMeterProtocol::CheckFrame(Hex(Seal({0xAB, 0xCD}))));
  // The sum is compared as a whole number: FF + 01 is 0x0100, not 0x00.
  EXPECT_TRUE(TMeterProtocol::CheckFrame("FF0101000D0A"));
  EXPECT_FALSE(TMeterProtocol::CheckFrame("FF0100000D0A"));
  EXPECT_FALSE(TMeterProtocol::CheckFrame("ABCD0D0A"));
  EXPECT_FALSE(TMeterProtocol::CheckFrame("D0A"));
}

TEST(FrameReassembly, EveryChunkRestartsTheWatchdog) {
  WiredProtocol w;
  w.Feed({0x12, 0x34});  // garbage, no terminator
  w.Feed({});
  w.Feed({0x0D, 0x0A});  // discards the garbage
  w.Feed(kPower);
  w.proto.CP21101ReceiveData(nullptr, 0);
  EXPECT_EQ(w.watchdog.restarts, 5);
  EXPECT_EQ(w.Dispatched(), 1u);
}

// Mended: a frame with a good sum but shorter than the 35-byte layout must not reach the decoders.
class ShortFrame : public ::testing::TestWithParam<std::size_t> {};

TEST_P(ShortFrame, IsDroppedBeforeDispatch) {
  WiredProtocol w;
  Bytes body(kPower.begin(), kPower.begin() + static_cast<std::ptrdiff_t>(GetParam()));
  w.Feed(Seal(body));
  EXPECT_TRUE(w.proto.ReceiveBuffer().empty()) << "cut as usual";
  EXPECT_TRUE(w.journal.entries.empty());
  EXPECT_EQ(w.proto.Reading().FunMode, fmNone);

  // Handed in directly, the same text is ignored too.
  w.proto.CP21041ReceiveData(Hex(Seal(body)));
  EXPECT_TRUE(w.journal.entries.empty());
}

INSTANTIATE_TEST_SUITE_P(BodyBytes, ShortFrame, ::testing::Values(2, 4, 5, 20, 30));

// Mended: a stream that never carries a terminator must not grow the buffer without bound.
TEST(FrameReassembly, BufferWithoutTerminatorIsBounded) {
  WiredProtocol w;
  const Bytes garbage(1000, 0x55);
  std::size_t largest = 0;
  for (int i = 0; i < 50; ++i) {
    w.Feed(garbage);
    largest = std::max(largest, w.proto.ReceiveBuffer().size());
  }
  EXPECT_LE(largest, 2 * (TMeterProtocol::kMaxPendingBytes + garbage.size()));
  EXPECT_GT(largest, 100 * TMeterProtocol::kFrameChars) << "far above one frame";

  // The link recovers: after the next terminator a frame is accepted again.
  w.Feed({0x0D, 0x0A});
  w.Feed(kPower);
  EXPECT_EQ(w.Dispatched(), 1u);
}

// ---- command frames ----

TEST(SendCommand, BuildsTheFrameByteForByte) {
  WiredProtocol w;
  EXPECT_TRUE(w.proto.SendCommand(88));
  EXPECT_TRUE(w.proto.SendCommand(0xFF));
  ASSERT_EQ(w.writer.written.size(), 2u);
  EXPECT_EQ(w.writer.written[0], (Bytes{0xAB, 0xCD, 0x04, 0x58, 0x01, 0x01, 0xD5}));
  // AB+CD+04+FF+02 = 0x27D
  EXPECT_EQ(w.writer.written[1], (Bytes{0xAB, 0xCD, 0x04, 0xFF, 0x02, 0x02, 0x7D}));
}

TEST(SendCommand, SequenceRunsOneTo255ThenOneAgain) {
  WiredProtocol w;
  for (int i = 0; i < 256; ++i) w.proto.SendCommand(1);
  ASSERT_EQ(w.writer.written.size(), 256u);
  for (std::size_t i = 0; i < 255; ++i) ASSERT_EQ(w.writer.written[i][4], i + 1);
  EXPECT_EQ(w.writer.written[255][4], 1);
  EXPECT_EQ(w.proto.CommandSequence(), 2);
}

TEST(SendCommand, ClosedDeviceSendsNothingAndKeepsTheSequence) {
  WiredProtocol w;
  w.proto.SendCommand(1);
  w.writer.open = false;
  EXPECT_FALSE(w.proto.SendCommand(2));
  EXPECT_EQ(w.writer.written.size(), 1u);
  EXPECT_EQ(w.proto.CommandSequence(), 2);
  w.writer.open = true;
  w.proto.SendCommand(3);
  EXPECT_EQ(w.writer.written.back()[4], 2);
}

TEST(SendCommand, FailedWriteIsReportedAndStillAdvances) {
  WiredProtocol w;
  w.writer.writeResult = false;
  EXPECT_FALSE(w.proto.SendCommand(1));
  EXPECT_EQ(w.proto.CommandSequence(), 2);
}

TEST(SendCommand, WithoutAWriterNothingIsOpen) {
  TMeterProtocol proto;
  EXPECT_FALSE(proto.SendCommand(1));
  EXPECT_EQ(proto.CommandSequence(), 1);
}

}  // namespace
}  // namespace qm::test
