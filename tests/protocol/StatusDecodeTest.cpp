// The five status bytes and the cached annunciator setters.
#include <gtest/gtest.h>

#include "ProtocolTestSupport.h"

namespace qm::test {
namespace {

using enum TLcdControl;

std::string StatusHex(std::array<std::uint8_t, 5> s) { return Hex(Bytes(s.begin(), s.end())); }

struct BitCase {
  std::size_t byte;
  int bit;
  int flag;  // TAnnunciator, or -1 for an unused bit
  std::string entry;  // the single journal entry the bit causes from the start state
};

class StatusBit : public ::testing::TestWithParam<BitCase> {};

TEST_P(StatusBit, SetsItsAnnunciatorOnly) {
  const BitCase& c = GetParam();
  WiredProtocol w;
  std::array<std::uint8_t, 5> status{};
  status[c.byte] = static_cast<std::uint8_t>(1 << c.bit);
  w.proto.CP21041ReceiveStatusData(StatusHex(status));
  for (int f = 0; f < kAnnunciatorCount; ++f)
    EXPECT_EQ(w.proto.Annunciator(static_cast<TAnnunciator>(f)), f == c.flag) << "flag " << f;
  EXPECT_EQ(w.journal.entries, c.entry.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.entry});

  // Cleared again: hidden, or the caption for false.
  w.journal.entries.clear();
  w.proto.CP21041ReceiveStatusData(StatusHex({}));
  EXPECT_EQ(w.journal.entries.size(), c.entry.empty() ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(
    EveryBit, StatusBit,
    ::testing::Values(BitCase{0, 0, anHold, "visible lcdHold=1"}, BitCase{0, 1, -1, ""},
                      BitCase{0, 2, anLowBattery, "visible lcdLowPower=1"},
                      BitCase{0, 3, anWarning, "visible lcdWarning=1"},
                      BitCase{1, 0, anAutoPowerOff, "visible lcdAutoPower=1"},
                      BitCase{1, 1, anPhaseMarkB2, "visible lcdRstB2=1"},
                      BitCase{1, 2, anPhaseMarkB1, "visible lcdRstB1=1"}, BitCase{1, 3, -1, ""},
                      BitCase{2, 0, anMemoryClear, "visible lcdMemClr=1"},
                      BitCase{2, 1, anMemoryFull, "visible lcdMemFull=1"},
                      BitCase{2, 2, anMemory, "visible lcdMem=1"}, BitCase{2, 3, anMemoryRecall, "visible lcdMr=1"},
                      BitCase{3, 0, anSum, "visible lcdSum=1"}, BitCase{3, 1, anSelect3, "visible lcdSelect3=1"},
                      BitCase{3, 2, anSelect2, "visible lcdSelect2=1"},
                      BitCase{3, 3, anSelect1, "visible lcdSelect1=1"},
                      BitCase{4, 0, anMinimum, "caption lcdMin=MIN"}, BitCase{4, 1, anMaximum, "caption lcdMax=MAX"},
                      BitCase{4, 2, anTimeFormat, "caption lcdTime=h:mm"}, BitCase{4, 3, anWMark, "visible lcdW=1"}),
    [](const auto& p) { return "Byte" + std::to_string(p.param.byte + 1) + "Bit" + std::to_string(p.param.bit); });

TEST(StatusDecode, HighNibblesAreIgnored) {
  WiredProtocol w;
  w.proto.CP21041ReceiveStatusData(StatusHex({0xF0, 0xF0, 0xF0, 0xF0, 0xF0}));
  EXPECT_TRUE(w.journal.entries.empty());
  w.proto.CP21041ReceiveStatusData(StatusHex({0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
  w.journal.entries.clear();
  w.proto.CP21041ReceiveStatusData(StatusHex({0x0F, 0x0F, 0x0F, 0x0F, 0x0F}));
  EXPECT_TRUE(w.journal.entries.empty()) << "same flags as 0xFF";
}

TEST(StatusDecode, SettersRunInByteAndBitOrder) {
  WiredProtocol w;
  w.proto.CP21041ReceiveStatusData(StatusHex({0x0F, 0x0F, 0x0F, 0x0F, 0x0F}));
  EXPECT_EQ(w.journal.entries,
            (std::vector<std::string>{"visible lcdHold=1", "visible lcdLowPower=1", "visible lcdWarning=1",
                                      "visible lcdAutoPower=1", "visible lcdRstB2=1", "visible lcdRstB1=1",
                                      "visible lcdMemClr=1", "visible lcdMemFull=1", "visible lcdMem=1",
                                      "visible lcdMr=1", "visible lcdSum=1", "visible lcdSelect3=1",
                                      "visible lcdSelect2=1", "visible lcdSelect1=1", "caption lcdMin=MIN",
                                      "caption lcdMax=MAX", "caption lcdTime=h:mm", "visible lcdW=1"}));
}

TEST(StatusDecode, SteadyFlagsAreNotRedrawn) {
  WiredProtocol w;
  const std::string status = StatusHex({0x01, 0, 0, 0, 0x03});
  w.proto.CP21041ReceiveStatusData(status);
  w.proto.CP21041ReceiveStatusData(status);
  EXPECT_EQ(w.journal.Count("visible lcdHold=1"), 1u);
  EXPECT_EQ(w.view.caption.at(lcdMin), "MIN");
  EXPECT_EQ(w.view.caption.at(lcdMax), "MAX");
  EXPECT_EQ(w.journal.entries.size(), 3u);
}

TEST(StatusDecode, NamedSettersShareTheCache) {
  WiredProtocol w;
  w.proto.SetHold(true);
  w.proto.CP21041ReceiveStatusData(StatusHex({0x01, 0, 0, 0, 0}));
  w.proto.SetMaximum(false);
  EXPECT_EQ(w.journal.entries, std::vector<std::string>{"visible lcdHold=1"});
  w.proto.SetTimeFormat(true);
  w.proto.SetTimeFormat(false);
  EXPECT_EQ(w.view.caption.at(lcdTime), "m:s");
}

struct TimeFrame {
  std::uint8_t function;
  bool hourMinute;
  const char* shown;  // lcdTime after the frame
};

class TimeLabel : public ::testing::TestWithParam<std::vector<TimeFrame>> {};

// The function decoder rewrites lcdTime every frame; the time-format bit only when it changes.
TEST_P(TimeLabel, FollowsFunctionAndTimeFormat) {
  WiredProtocol w;
  for (const TimeFrame& f : GetParam()) {
    w.Feed(Frame(kLive, f.function, "  1  2.00  3.00  4.00", {0, 0, 0, 0, static_cast<std::uint8_t>(f.hourMinute << 2)}));
    EXPECT_EQ(w.view.caption.at(lcdTime), f.shown);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, TimeLabel,
    ::testing::Values(std::vector<TimeFrame>{{'7', false, "m:s"}, {'7', true, "h:mm"}, {'7', true, "m:s"},
                                             {'7', false, "m:s"}},
                      std::vector<TimeFrame>{{'0', true, "h:mm"}, {'0', true, ""}, {'7', true, "m:s"},
                                             {'0', false, "m:s"}, {'0', false, ""}}));

TEST(LogModeSetter, HoldsTheFlagWithoutAnyDisplay) {
  WiredProtocol w;
  EXPECT_FALSE(w.proto.LogMode());
  w.proto.SetLogMode(true);
  w.proto.SetLogMode(true);
  EXPECT_TRUE(w.proto.LogMode());
  w.proto.SetLogMode(false);
  EXPECT_FALSE(w.proto.LogMode());
  EXPECT_TRUE(w.journal.entries.empty());
}

}  // namespace
}  // namespace qm::test
