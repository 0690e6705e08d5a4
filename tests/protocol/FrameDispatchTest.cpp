// Routing of checked frames by type, the export handshake and the activity indicator.
#include <gtest/gtest.h>

#include "ProtocolTestSupport.h"

namespace qm::test {
namespace {

using enum TLcdControl;

const std::string kAck = "write " + Hex({0xAB, 0xCD, 0x04, 0x58});  // prefix: the sequence varies
const Bytes kEndMarker = Frame(kExport, 0x66, " 99  1.23  4.56  7.89", {0x01, 0, 0, 0, 0});

TEST(LiveFrame, DecodesFunctionThenReadingThenStatusThenBlinks) {
  WiredProtocol w;
  w.Feed(Frame(kLive, '7', "  1  2.50  3.00  4.00", {0x01, 0, 0, 0, 0}));
  const Journal& j = w.journal;
  int unit = j.IndexOf("caption lcdUnit=KWh");
  int display = j.IndexOf("caption lcdDisplay1=  2.50");
  int append = j.IndexOf("append 0");
  int hold = j.IndexOf("visible lcdHold=1");
  int blink = j.IndexOf("activity 1");
  ASSERT_NE(unit, -1);
  EXPECT_LT(unit, display);
  EXPECT_LT(display, append);
  EXPECT_LT(append, hold);
  EXPECT_EQ(blink, static_cast<int>(j.entries.size()) - 1);
  // The row is logged with the units of its own frame.
  ASSERT_EQ(w.recorder.appended.size(), 1u);
  EXPECT_EQ(w.recorder.appended[0].Unit, "KWh");
  EXPECT_EQ(w.recorder.appended[0].FunMode, fmENRP);
  EXPECT_TRUE(w.writer.written.empty()) << "live frames are not acknowledged";
}

class OtherFrameType : public ::testing::TestWithParam<std::uint8_t> {};

TEST_P(OtherFrameType, OnlyBlinksTheIndicator) {
  WiredProtocol w;
  w.Feed(Frame(GetParam(), '0', "  1  2.00  3.00  4.00", {0x0F, 0x0F, 0x0F, 0x0F, 0x0F}));
  EXPECT_EQ(w.journal.entries, std::vector<std::string>{"activity 1"});
  EXPECT_EQ(w.proto.Reading().FunMode, fmNone);
  EXPECT_FALSE(w.proto.Annunciator(anHold));
}

INSTANTIATE_TEST_SUITE_P(Types, OtherFrameType, ::testing::Values(0x00, 0x41, 0x4D, 0x65, 0xFF));

TEST(ActivityIndicator, AlternatesFrameByFrame) {
  WiredProtocol w;
  EXPECT_FALSE(w.proto.ActivityOn());
  const std::vector<Bytes> frames = {Frame(kLive, '0'), Frame(0x00, '0'), kEndMarker, Frame(kExport, '1')};
  std::vector<bool> states;
  for (const auto& f : frames) {
    w.Feed(f);
    states.push_back(w.proto.ActivityOn());
  }
  EXPECT_EQ(states, (std::vector<bool>{true, false, true, false}));
  EXPECT_EQ(w.journal.Count("activity 1"), 2u);
  EXPECT_EQ(w.journal.Count("activity 0"), 2u);
}

TEST(ExportRecord, IsLoggedShownAndAcknowledged) {
  WiredProtocol w;
  w.recorder.samplingTimer = true;  // records are logged whatever the sampling timer does
  w.Feed(Frame(kExport, '6', " 12 50.00230.0  1.50", {0x01, 0, 0, 0, 0}));
  const Journal& j = w.journal;

  const MeterReading& r = w.proto.Reading();
  EXPECT_EQ(r.FunMode, fmFRQ);
  EXPECT_EQ(r.Value, " 50.00");
  EXPECT_EQ(r.SubValue1, "230.0 ");
  EXPECT_TRUE(w.proto.Annunciator(anHold));
  ASSERT_EQ(w.recorder.appendedNoTime, std::vector<bool>{true});
  EXPECT_EQ(w.recorder.appended[0].Unit, "Hz");

  EXPECT_TRUE(w.proto.LogMode());
  EXPECT_EQ(w.proto.LoadLogCaption(), "Data transfering");
  EXPECT_EQ(w.proto.LoadingText(), ".");
  EXPECT_EQ(w.view.caption[pnlLoadLog], "Data transfering");
  EXPECT_EQ(w.view.caption[lblLoading], ".");
  EXPECT_TRUE(w.view.visible[pnlLoadLog]);
  EXPECT_TRUE(w.view.visible[Panel3]);
  EXPECT_TRUE(w.view.visible[Panel7]);
  EXPECT_EQ(j.Count("pause 1 1 Log Data Mode Disabled"), 1u);

  // Record, then status, then screen, then the acknowledgement, then the blink.
  int append = j.IndexOf("append 1");
  int hold = j.IndexOf("visible lcdHold=1");
  int curtain = j.IndexOf("caption pnlLoadLog=Data transfering");
  int ack = j.IndexOfPrefix(kAck);
  EXPECT_LT(append, hold);
  EXPECT_LT(hold, curtain);
  EXPECT_LT(curtain, ack);
  EXPECT_EQ(ack + 1, j.IndexOf("activity 1"));
  ASSERT_EQ(w.writer.written.size(), 1u);
  EXPECT_EQ(w.writer.written[0], (Bytes{0xAB, 0xCD, 0x04, 0x58, 0x01, 0x01, 0xD5}));
  EXPECT_TRUE(w.prompt.shown.empty());
}

TEST(ExportRecord, IsDecodedWhileLogModeIsSet) {
  WiredProtocol w;
  w.proto.SetLogMode(true);
  w.Feed(Frame(kExport, '0', "  1  7.00  8.00  9.00"));
  EXPECT_EQ(w.proto.Reading().Value, "  7.00");
  EXPECT_EQ(w.recorder.appended.size(), 1u);
}

TEST(ExportRecord, LoadingDotsWrapAfterNineteen) {
  WiredProtocol w;
  const Bytes record = Frame(kExport, '0');
  std::vector<std::size_t> dots;
  for (int i = 0; i < 21; ++i) {
    w.Feed(record);
    dots.push_back(w.proto.LoadingText().size());
    ASSERT_EQ(w.proto.LoadingText(), std::string(dots.back(), '.'));
  }
  EXPECT_EQ(dots[18], 19u);
  EXPECT_EQ(dots[19], 0u);
  EXPECT_EQ(dots[20], 1u);
  EXPECT_EQ(w.view.caption[lblLoading], ".");
  EXPECT_EQ(w.writer.written.size(), 21u);
}

TEST(ExportEnd, ReportsCompletionBeforeTheAcknowledgement) {
  WiredProtocol w;
  w.Feed(Frame(kLive, '2', "  1  5.00  6.00  7.00"));
  w.Feed(Frame(kExport, '0'));
  w.journal.entries.clear();
  const MeterReading before = w.proto.Reading();

  w.Feed(kEndMarker);
  const Journal& j = w.journal;
  EXPECT_EQ(w.prompt.Texts("information"), std::vector<std::string>{"Export memory data has been successfully!"});
  int commands = j.IndexOf("commands 1");
  int caption = j.IndexOf("caption pnlLoadLog=Data transfer completed");
  int dots = j.IndexOf("caption lblLoading=");
  int box = j.IndexOf("information Export memory data has been successfully!");
  int ack = j.IndexOfPrefix(kAck);
  ASSERT_NE(commands, -1);
  EXPECT_LT(commands, caption);
  EXPECT_LT(caption, dots);
  EXPECT_LT(dots, box);
  EXPECT_LT(box, ack);
  EXPECT_EQ(ack + 1, j.IndexOf("activity 1"));
  EXPECT_EQ(j.entries.size(), 6u) << "nothing of the marker's reading or status is decoded";

  EXPECT_EQ(w.proto.Reading().FunMode, before.FunMode);
  EXPECT_EQ(w.proto.Reading().Value, before.Value);
  EXPECT_EQ(w.proto.Reading().Unit, before.Unit);
  EXPECT_FALSE(w.proto.Annunciator(anHold));
  EXPECT_EQ(w.recorder.appended.size(), 2u) << "the live reading and the record, nothing for the marker";
  // The log mode stays until the user releases the pause button.
  EXPECT_TRUE(w.proto.LogMode());
  EXPECT_EQ(w.proto.LoadLogCaption(), "Data transfer completed");
  EXPECT_EQ(w.proto.LoadingText(), "");
}

TEST(ExportEnd, BeforeAnyRecordLeavesTheLogModeAlone) {
  WiredProtocol w;
  w.Feed(kEndMarker);
  EXPECT_EQ(w.prompt.Texts("information").size(), 1u);
  EXPECT_EQ(w.journal.Count("commands 1"), 1u);
  EXPECT_FALSE(w.proto.LogMode());
  EXPECT_EQ(w.journal.IndexOfPrefix("pause"), -1);
  EXPECT_EQ(w.journal.IndexOfPrefix("visible"), -1);
  EXPECT_EQ(w.writer.written.size(), 1u);
}

TEST(ExportEnd, ChunkArrivingWhileTheBoxIsOpenIsHandledInside) {
  WiredProtocol w;
  w.Feed(Frame(kExport, '0'));
  const Bytes live = Frame(kLive, '8', "  1 400.0 401.0 402.0");
  w.prompt.whileOpen = [&] { w.Feed(Concat({live, live, live})); };
  w.Feed(kEndMarker);

  EXPECT_EQ(w.Dispatched(), 3u);
  EXPECT_EQ(w.proto.Reading().FunMode, fmPHSEQ);
  EXPECT_EQ(w.proto.ReceiveBuffer(), Hex(Concat({live, live})));
  // The nested live frame is decoded while the box is open; the acknowledgement follows the box.
  const Journal& j = w.journal;
  EXPECT_LT(j.IndexOf("information Export memory data has been successfully!"), j.IndexOf("caption lcdUnit=V"));
  EXPECT_LT(j.IndexOf("caption lcdUnit=V"), j.IndexOfPrefix(kAck + "02"));
  EXPECT_EQ(w.writer.written.size(), 2u);
}

TEST(ExportEnd, WithoutAPromptStillAcknowledges) {
  WiredProtocol w;
  w.proto.SetPrompt(nullptr);
  w.Feed(kEndMarker);
  EXPECT_TRUE(w.prompt.shown.empty());
  EXPECT_EQ(w.writer.written.size(), 1u);
}

}  // namespace
}  // namespace qm::test
