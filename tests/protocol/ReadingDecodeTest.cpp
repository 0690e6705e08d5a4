// The reading field: display texts, the main value as a number, and what live readings and memory
// records hand on to the log, the chart and the comparator.
#include <gtest/gtest.h>

#include "ProtocolTestSupport.h"

namespace qm::test {
namespace {

using enum TLcdControl;

std::string FieldHex(std::string_view text) { return Hex(Bytes(text.begin(), text.end())); }

struct DisplayCase {
  const char* name;
  std::string field;
  std::string separator;
  std::string expected;
};

class DisplayFields : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(DisplayFields, Decode) {
  const DisplayCase& c = GetParam();
  EXPECT_EQ(TMeterProtocol::DecodeDisplayFields(FieldHex(c.field), c.separator), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DisplayFields,
    ::testing::Values(
        DisplayCase{"Comma", "  1  2.50  3.00  4.00", ",", "  1;  2,50;  3,00;  4,00;"},
        DisplayCase{"AuxKeepsItsPoint", "1.5 12.34-0.001  OL  ", ",", "1.5; 12,34;-0,001;  OL  ;"},
        DisplayCase{"LongSeparator", "  1  2.50  3.00  4.00", "<>", "  1;  2<>50;  3<>00;  4<>00;"},
        DisplayCase{"ShortFieldReadsZeros", "AB", ".", "AB0;000000;000000;000000;"},
        DisplayCase{"SemicolonByte", "  1 1;234  3.00  4.00", ".", "  1; 1;234;  3.00;  4.00;"},
        DisplayCase{"HighBytesKept", "\xB0\xA1 \xFF    1     2     3", ".", "\xB0\xA1 ;\xFF    1;     2;     3;"}),
    [](const auto& p) { return p.param.name; });

struct MainValueCase {
  const char* name;
  std::string separator;
  std::string main;  // six characters as the meter sends them
  std::string shown;
  double number;
};

class MainValue : public ::testing::TestWithParam<MainValueCase> {};

TEST_P(MainValue, IsShownAndReadWithTheLocaleSeparator) {
  const MainValueCase& c = GetParam();
  WiredProtocol w(c.separator);
  w.proto.CP21041ReceiveMeterData(FieldHex("  1" + c.main + "  3.00  4.00"));
  const MeterReading& r = w.proto.Reading();
  EXPECT_EQ(r.Value, c.shown);
  EXPECT_EQ(w.view.caption.at(lcdDisplay1), c.shown);
  EXPECT_DOUBLE_EQ(r.NumericValue, c.number);
  // Chart range, then comparator, then the log row, each with the same number.
  EXPECT_EQ(w.recorder.tracked, std::vector<double>{c.number});
  EXPECT_EQ(w.recorder.checked, std::vector<double>{c.number});
  EXPECT_EQ(w.recorder.appendedNoTime, std::vector<bool>{false});
  EXPECT_LT(w.journal.IndexOf("track"), w.journal.IndexOf("limits"));
  EXPECT_LT(w.journal.IndexOf("limits"), w.journal.IndexOf("append 0"));
  EXPECT_EQ(w.recorder.appended[0].Value, c.shown);
}

INSTANTIATE_TEST_SUITE_P(Cases, MainValue,
                         ::testing::Values(MainValueCase{"Comma", ",", " 12.34", " 12,34", 12.34},
                                           MainValueCase{"Point", ".", " 12.34", " 12.34", 12.34},
                                           MainValueCase{"NegativeComma", ",", "-0.5  ", "-0,5  ", -0.5},
                                           MainValueCase{"Exponent", ".", "1.2E3 ", "1.2E3 ", 1200},
                                           MainValueCase{"Blanks", ".", "      ", "      ", 0},
                                           MainValueCase{"Overload", ",", "  OL  ", "  OL  ", 0},
                                           MainValueCase{"Dashes", ".", "------", "------", 0},
                                           MainValueCase{"NoLeadingZero", ",", "   .5 ", "   ,5 ", 0.5}),
                         [](const auto& p) { return p.param.name; });

TEST(LiveReading, FillsAllFourDisplays) {
  WiredProtocol w(",");
  w.proto.CP21041ReceiveMeterData(FieldHex("1.2  2.50230.0 -1.50 "));
  const MeterReading& r = w.proto.Reading();
  EXPECT_EQ(r.AuxValue, "1.2");
  EXPECT_EQ(r.Value, "  2,50");
  EXPECT_EQ(r.SubValue1, "230,0 ");
  EXPECT_EQ(r.SubValue2, "-1,50 ");
  EXPECT_EQ(w.view.caption.at(lcdDisplay0), "1.2");
  EXPECT_EQ(w.view.caption.at(lcdDisplay2), "230,0 ");
  EXPECT_EQ(w.view.caption.at(lcdDisplay3), "-1,50 ");
}

TEST(LiveReading, SemicolonInADisplayShiftsTheLaterOnes) {
  WiredProtocol w;
  w.proto.CP21041ReceiveMeterData(FieldHex("  1 1;234  3.00  4.00"));
  const MeterReading& r = w.proto.Reading();
  EXPECT_EQ(r.Value, " 1");
  EXPECT_EQ(r.SubValue1, "234");
  EXPECT_EQ(r.SubValue2, "  3.00");
  EXPECT_DOUBLE_EQ(r.NumericValue, 1);
}

TEST(LiveReading, SeparatorCanBeChangedLater) {
  WiredProtocol w;
  w.proto.SetLocaleDecimalSeparator(",");
  w.proto.CP21041ReceiveMeterData(FieldHex("  1  2.50  3.00  4.00"));
  EXPECT_EQ(w.proto.Reading().Value, "  2,50");
  EXPECT_DOUBLE_EQ(w.proto.Reading().NumericValue, 2.5);
}

TEST(LiveReading, SamplingTimerTakesOverTheLog) {
  WiredProtocol w;
  w.recorder.samplingTimer = true;
  w.proto.CP21041ReceiveMeterData(FieldHex("  1  2.50  3.00  4.00"));
  EXPECT_EQ(w.proto.Reading().Value, "  2.50");
  EXPECT_EQ(w.recorder.checked.size(), 1u);
  EXPECT_EQ(w.recorder.tracked.size(), 1u);
  EXPECT_TRUE(w.recorder.appended.empty());
}

TEST(LiveReading, LogModeFreezesTheReadingButNotFunctionOrAnnunciators) {
  WiredProtocol w;
  w.Feed(Frame(kLive, '0', "  1  2.50  3.00  4.00"));
  w.proto.SetLogMode(true);
  w.journal.entries.clear();
  w.recorder.Clear();

  w.Feed(Frame(kLive, '7', "  9  9.99  9.99  9.99", {0x01, 0, 0, 0, 0x02}));
  const MeterReading& r = w.proto.Reading();
  EXPECT_EQ(r.Value, "  2.50");
  EXPECT_DOUBLE_EQ(r.NumericValue, 2.5);
  EXPECT_EQ(w.view.caption.at(lcdDisplay1), "  2.50");
  EXPECT_EQ(w.journal.IndexOfPrefix("caption lcdDisplay"), -1);
  EXPECT_TRUE(w.recorder.tracked.empty());
  EXPECT_TRUE(w.recorder.checked.empty());
  EXPECT_TRUE(w.recorder.appended.empty());

  EXPECT_EQ(r.FunMode, fmENRP);
  EXPECT_EQ(r.Unit, "KWh");
  EXPECT_TRUE(w.proto.Annunciator(anHold));
  EXPECT_EQ(w.view.caption.at(lcdMax), "MAX");

  w.proto.SetLogMode(false);
  w.Feed(Frame(kLive, '7', "  9  9.99  9.99  9.99"));
  EXPECT_EQ(r.Value, "  9.99");
  EXPECT_EQ(w.recorder.appended.size(), 1u);
}

TEST(MemoryRecord, IsShownAndLoggedWithoutTouchingTheLiveValue) {
  WiredProtocol w(",");
  w.proto.CP21041ReceiveMeterData(FieldHex("  1  5.00  3.00  4.00"));
  w.recorder.Clear();
  w.recorder.samplingTimer = true;
  w.proto.SetLogMode(true);

  w.proto.CP21041ReceiveBuffData(FieldHex("  2 77.70 88.80 99.90"));
  const MeterReading& r = w.proto.Reading();
  EXPECT_EQ(r.AuxValue, "  2");
  EXPECT_EQ(r.Value, " 77,70");
  EXPECT_EQ(r.SubValue1, " 88,80");
  EXPECT_EQ(r.SubValue2, " 99,90");
  EXPECT_EQ(w.view.caption.at(lcdDisplay1), " 77,70");
  EXPECT_DOUBLE_EQ(r.NumericValue, 5.0) << "live readings only";
  EXPECT_TRUE(w.recorder.tracked.empty());
  EXPECT_TRUE(w.recorder.checked.empty());
  ASSERT_EQ(w.recorder.appendedNoTime, std::vector<bool>{true});
  EXPECT_EQ(w.recorder.appended[0].Value, " 77,70");
}

}  // namespace
}  // namespace qm::test
