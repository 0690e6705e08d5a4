// The memory download's start and the log-mode button.
#include <gtest/gtest.h>

#include "ProtocolTestSupport.h"

namespace qm::test {
namespace {

using enum TLcdControl;

TEST(ExportButton, NoSendsNothingYesSendsTheRequestAndLocksThePanel) {
  WiredProtocol w;
  w.prompt.confirmAnswers = {false, true};
  EXPECT_FALSE(w.proto.btnExportDataClick());
  EXPECT_EQ(w.journal.IndexOfPrefix("write"), -1);
  EXPECT_EQ(w.journal.IndexOfPrefix("commands"), -1);

  EXPECT_TRUE(w.proto.btnExportDataClick());
  EXPECT_EQ(w.prompt.Texts("confirm").back(), "Are you sure that you want to export memory data?");
  int write = w.journal.IndexOf("write " + Hex({0xAB, 0xCD, 0x04, 0x57, 0x01, 0x01, 0xD4}));
  ASSERT_NE(write, -1);
  EXPECT_LT(write, w.journal.IndexOf("commands 0"));
  // The log mode waits for the first record.
  EXPECT_FALSE(w.proto.LogMode());
}

TEST(PauseButton, ReleasingAfterADownloadTakesTheCurtainAwayAndResumesLiveReadings) {
  WiredProtocol w;
  w.Feed(Frame(kExport, '0', "  1  7.00  8.00  9.00"));
  ASSERT_TRUE(w.proto.LogMode());
  EXPECT_TRUE(w.view.visible[pnlLoadLog]);

  w.proto.btnPauseClick(false);
  EXPECT_FALSE(w.proto.LogMode());
  EXPECT_FALSE(w.view.visible[pnlLoadLog]);
  EXPECT_FALSE(w.view.visible[Panel3]);
  EXPECT_FALSE(w.view.visible[Panel7]);
  EXPECT_EQ(w.journal.entries.back(), "pause 0 0 Log Data Mode Enabled");

  w.recorder.Clear();
  w.Feed(Frame(kLive, '0', "     1.00  2.00  3.00"));
  EXPECT_EQ(w.recorder.appended.size(), 1u);
}

TEST(PauseButton, PressingByHandFreezesReadingsWithoutTheCurtain) {
  WiredProtocol w;
  w.proto.btnPauseClick(true);
  EXPECT_TRUE(w.proto.LogMode());
  EXPECT_EQ(w.journal.entries.back(), "pause 1 0 Log Data Mode Disabled");
  EXPECT_EQ(w.journal.IndexOfPrefix("visible"), -1);
  w.Feed(Frame(kLive, '0', "     1.00  2.00  3.00"));
  EXPECT_TRUE(w.recorder.appended.empty());
  EXPECT_NE(w.view.caption[lcdUnit], "");  // function and units still follow the meter
}

}  // namespace
}  // namespace qm::test
