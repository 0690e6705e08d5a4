#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "MeterFrameScan.h"
#include "sim/SimMeter.h"

namespace qm::sim {
namespace {

using test::DisplayNumber;
using test::IsBlank;
using test::ScanFrames;
using test::TScannedFrame;

constexpr std::uint32_t kPeriod = 500;

TSimMeterConfig StartingIn(TFunMode function) {
  TSimMeterConfig config;
  config.startFunction = function;
  return config;
}

std::vector<TScannedFrame> Frames(TSimMeter& meter, std::uint32_t ms) {
  return ScanFrames(Concat(meter.Produce(ms))).frames;
}

TScannedFrame NextFrame(TSimMeter& meter) {
  const auto frames = Frames(meter, kPeriod);
  EXPECT_EQ(frames.size(), 1u);
  return frames.empty() ? TScannedFrame{} : frames.front();
}

void Press(TSimMeter& meter, std::uint8_t code) {
  const auto frame = test::CommandFrame(code);
  meter.ReceiveBytes(frame.data(), frame.size());
}

double MainValue(const TScannedFrame& f) { return DisplayNumber(f.main).value_or(NAN); }

// --- live frames of every function ---------------------------------------------------------------

struct Range {
  double lo, hi;
};

struct FunctionCase {
  TFunMode function;
  char byte;
  Range main;
  std::optional<Range> sub1, sub2;  // nullopt: the display is blank
  bool harmonicOrder;               // the auxiliary display shows the order (1 at start)
};

void PrintTo(const FunctionCase& c, std::ostream* os) { *os << FunModeIdent(c.function); }

class LiveFrameTest : public ::testing::TestWithParam<FunctionCase> {};

// The circuit: 230 V, 12.5 A, 30 degrees lagging, 50 Hz, THD 2.8 % (V) and 14 % (I), with a little noise.
const FunctionCase kFunctions[] = {
    {fmPWRP, '0', {2.42, 2.56}, Range{228, 232}, Range{12.3, 12.7}, false},
    {fmPWRS, '1', {2.80, 2.95}, Range{228, 232}, Range{12.3, 12.7}, false},
    {fmPWRQ, '2', {1.38, 1.50}, Range{228, 232}, Range{12.3, 12.7}, false},
    {fmPF, '3', {0.86, 0.871}, Range{228, 232}, Range{12.3, 12.7}, false},
    {fmRF, '4', {0.49, 0.51}, Range{228, 232}, Range{12.3, 12.7}, false},
    {fmANG, '5', {29.4, 30.6}, Range{228, 232}, Range{12.3, 12.7}, false},
    {fmFRQ, '6', {49.97, 50.03}, Range{228, 232}, Range{12.3, 12.7}, false},
    {fmENRP, '7', {0, 0.004}, Range{2.42, 2.56}, Range{0, 0.05}, false},  // kWh and m.ss within 5 s
    {fmPHSEQ, '8', {228, 232}, Range{228, 232}, Range{228, 232}, false},
    {fmVTHDf, '9', {228, 232}, std::nullopt, Range{2.7, 2.9}, false},
    {fmVTHDr, 'a', {228, 232}, std::nullopt, Range{2.7, 2.9}, false},
    {fmVHARM, 'b', {228, 232}, std::nullopt, Range{100, 100}, true},
    {fmITHDf, 'c', {12.3, 12.7}, std::nullopt, Range{13.6, 14.4}, false},
    {fmITHDr, 'd', {12.3, 12.7}, std::nullopt, Range{13.4, 14.2}, false},
    {fmIHARM, 'e', {12.1, 12.6}, std::nullopt, Range{100, 100}, true},
};

void ExpectDisplay(const std::string& text, const std::optional<Range>& range, const char* which) {
  ASSERT_EQ(text.size(), kDisplayWidth);
  if (!range) {
    EXPECT_TRUE(IsBlank(text)) << which << " '" << text << "'";
    return;
  }
  EXPECT_NE(text.find('.'), std::string::npos) << which << " '" << text << "' has no decimal point";
  const auto value = DisplayNumber(text);
  ASSERT_TRUE(value) << which << " '" << text << "'";
  EXPECT_GE(*value, range->lo) << which;
  EXPECT_LE(*value, range->hi) << which;
}

TEST_P(LiveFrameTest, CarriesTheFunctionItsReadingsAndItsMarks) {
  const FunctionCase& c = GetParam();
  TSimMeter meter(StartingIn(c.function));
  for (const TScannedFrame& f : Frames(meter, 10 * kPeriod)) {
    EXPECT_EQ(f.type, kLiveFrame);
    EXPECT_EQ(f.function, c.byte);
    EXPECT_EQ(f.aux, c.harmonicOrder ? "  1" : "   ");
    ExpectDisplay(f.main, c.main, "main");
    ExpectDisplay(f.sub1, c.sub1, "sub1");
    ExpectDisplay(f.sub2, c.sub2, "sub2");
    EXPECT_EQ(f.Bit(5, 3), c.function == fmPWRP || c.function == fmENRP) << "W";
    EXPECT_EQ(f.Bit(2, 1), c.function == fmPHSEQ) << "B2";
    EXPECT_FALSE(f.Bit(2, 2)) << "B1";
    EXPECT_TRUE(f.Bit(1, 3)) << "hazardous voltage";
    EXPECT_TRUE(f.Bit(2, 0)) << "auto power-off";
    EXPECT_TRUE(f.Bit(3, 2)) << "MEM (stored records)";
  }
}

INSTANTIATE_TEST_SUITE_P(AllFunctions, LiveFrameTest, ::testing::ValuesIn(kFunctions),
                         [](const auto& param) { return std::string(FunModeLogName(param.param.function)); });

TEST(SimMeter, SendsOneLiveFramePerPeriodFromTimeZero) {
  TSimMeterConfig config;
  config.framePeriodMs = 250;
  TSimMeter meter(config);
  EXPECT_EQ(Frames(meter, 1000).size(), 4u);
  ASSERT_EQ(meter.Sent().size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(meter.Sent()[i].atMs, i * 250);
}

TEST(SimMeter, CapacitiveLoadShowsNegativeReactiveValues) {
  const struct {
    TFunMode function;
    bool negative;
  } cases[] = {{fmPWRP, false}, {fmPWRQ, true}, {fmPF, false}, {fmRF, true}, {fmANG, true}};
  for (const auto& c : cases) {
    TSimMeterConfig config = StartingIn(c.function);
    config.phaseAngleDeg = -30;
    TSimMeter meter(config);
    const TScannedFrame f = NextFrame(meter);
    EXPECT_EQ(MainValue(f) < 0, c.negative) << FunModeIdent(c.function) << " '" << f.main << "'";
    EXPECT_EQ(f.main.find('-') != std::string::npos, c.negative) << FunModeIdent(c.function);
  }
}

TEST(SimMeter, DisplaysAutoRangeToFourDigitsAndShowOverload) {
  const struct {
    double volts;
    const char* pattern;  // '9' for any digit
    bool warning;         // hazardous voltage
  } cases[] = {
      {5, " 9.999", false},   {50, " 99.99", true},    {500, " 999.9", true},
      {5000, "  9999", true}, {50000, "  OL  ", true},
  };
  for (const auto& c : cases) {
    TSimMeterConfig config;
    config.voltage = c.volts;
    TSimMeter meter(config);
    const TScannedFrame f = NextFrame(meter);
    ASSERT_EQ(f.sub1.size(), 6u);
    for (std::size_t i = 0; i < 6; ++i) {
      EXPECT_TRUE(c.pattern[i] == '9' ? std::isdigit(static_cast<unsigned char>(f.sub1[i])) : f.sub1[i] == c.pattern[i])
          << c.volts << " V shown as '" << f.sub1 << "'";
    }
    EXPECT_EQ(f.Bit(1, 3), c.warning) << c.volts << " V";
  }
}

TEST(SimMeter, PhaseSequenceMarkFollowsTheRotation) {
  for (bool reversed : {false, true}) {
    TSimMeterConfig config = StartingIn(fmPHSEQ);
    config.reversedPhaseSequence = reversed;
    TSimMeter meter(config);
    const TScannedFrame f = NextFrame(meter);
    EXPECT_EQ(f.Bit(2, 2), reversed) << "B1";
    EXPECT_EQ(f.Bit(2, 1), !reversed) << "B2";
  }
}

TEST(SimMeter, LowBatteryShowsWhenConfigured) {
  TSimMeterConfig config;
  config.lowBattery = true;
  TSimMeter meter(config);
  EXPECT_TRUE(NextFrame(meter).Bit(1, 2));
}

TEST(SimMeter, EnergyCountsInMinutesThenSwitchesToHoursWithTheTimeMark) {
  TSimMeter meter(StartingIn(fmENRP));
  auto last = Frames(meter, 3'599'000).back();  // at 59 min 58.5 s
  EXPECT_EQ(last.sub2, " 59.58");
  EXPECT_FALSE(last.Bit(5, 2));

  meter.Advance(1000);
  last = Frames(meter, kPeriod).back();  // at 1 h exactly
  EXPECT_EQ(last.sub2, " 01.00");
  EXPECT_TRUE(last.Bit(5, 2));
  // About 2.49 kW for one hour.
  EXPECT_NEAR(MainValue(last), 2.49, 0.04);
}

TEST(SimMeter, EnteringEnergyStartsTheCountAfresh) {
  TSimMeter meter(StartingIn(fmFRQ));
  meter.Produce(60'000);
  Press(meter, mcMenu);  // frequency -> energy
  const TScannedFrame f = NextFrame(meter);
  EXPECT_EQ(f.function, '7');
  EXPECT_EQ(f.sub2, " 00.00");
  EXPECT_EQ(MainValue(f), 0.0);
}

TEST(SimMeter, SameSeedSameBytesOtherSeedOtherReadings) {
  TSimMeterConfig other;
  other.seed = 2;
  TSimMeter a, b, c(other);
  const auto bytesA = Concat(a.Produce(10'000));
  EXPECT_EQ(bytesA, Concat(b.Produce(10'000)));
  EXPECT_NE(bytesA, Concat(c.Produce(10'000)));
}

TEST(SimMeter, SentRecordMatchesTheBytesOnTheLine) {
  TSimMeter meter(StartingIn(fmVHARM));
  const auto frames = Frames(meter, 5 * kPeriod);
  ASSERT_EQ(meter.Sent().size(), frames.size());
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const TSentFrame& sent = meter.Sent()[i];
    EXPECT_TRUE(sent.Intact());
    EXPECT_EQ(sent.frame.screen.aux, frames[i].aux);
    EXPECT_EQ(sent.frame.screen.main, frames[i].main);
    EXPECT_EQ(sent.frame.screen.sub1, frames[i].sub1);
    EXPECT_EQ(sent.frame.screen.sub2, frames[i].sub2);
    EXPECT_EQ(sent.frame.status, frames[i].status);
    EXPECT_EQ(FunctionByte(sent.frame.function), frames[i].function);
  }
}

// --- buttons ---------------------------------------------------------------------------------------

TEST(SimMeterButtons, HoldFreezesTheDisplaysUntilPressedAgainOrTheFunctionChanges) {
  TSimMeter meter;
  const TScannedFrame before = NextFrame(meter);
  Press(meter, mcHold);
  for (const TScannedFrame& f : Frames(meter, 10 * kPeriod)) {
    EXPECT_TRUE(f.Bit(1, 0));
    EXPECT_EQ(std::tie(f.main, f.sub1, f.sub2), std::tie(before.main, before.sub1, before.sub2));
  }
  Press(meter, mcHold);
  const auto released = Frames(meter, 10 * kPeriod);
  EXPECT_FALSE(released.front().Bit(1, 0));
  EXPECT_TRUE(std::any_of(released.begin(), released.end(), [&](const auto& f) { return f.main != before.main; }));

  Press(meter, mcHold);
  Press(meter, mcMenu);
  EXPECT_FALSE(NextFrame(meter).Bit(1, 0));
}

TEST(SimMeterButtons, MaxMinCurCyclesThroughMaximumMinimumAndCurrent) {
  TSimMeter meter;
  NextFrame(meter);
  Press(meter, mcMaxMinCur);
  double previous = -1;
  for (const TScannedFrame& f : Frames(meter, 20 * kPeriod)) {
    EXPECT_TRUE(f.Bit(5, 1));
    EXPECT_FALSE(f.Bit(5, 0));
    EXPECT_GE(MainValue(f), previous);
    previous = MainValue(f);
  }
  Press(meter, mcMaxMinCur);
  previous = 1e9;
  for (const TScannedFrame& f : Frames(meter, 20 * kPeriod)) {
    EXPECT_TRUE(f.Bit(5, 0));
    EXPECT_FALSE(f.Bit(5, 1));
    EXPECT_LE(MainValue(f), previous);
    previous = MainValue(f);
  }
  Press(meter, mcMaxMinCur);
  const auto current = Frames(meter, 20 * kPeriod);
  for (const TScannedFrame& f : current) EXPECT_FALSE(f.Bit(5, 0) || f.Bit(5, 1));
  // Current readings go up and down again.
  bool rose = false, fell = false;
  for (std::size_t i = 1; i < current.size(); ++i) {
    rose |= MainValue(current[i]) > MainValue(current[i - 1]);
    fell |= MainValue(current[i]) < MainValue(current[i - 1]);
  }
  EXPECT_TRUE(rose && fell);
}

TEST(SimMeterButtons, MenuJumpsToTheNextGroupOfFunctions) {
  const std::pair<TFunMode, char> cases[] = {
      {fmPWRP, '3'}, {fmPWRQ, '3'},  {fmRF, '5'},    {fmANG, '6'},
      {fmENRP, '8'}, {fmPHSEQ, '9'}, {fmVHARM, 'c'}, {fmIHARM, '0'},
  };
  for (const auto& [from, to] : cases) {
    TSimMeter meter(StartingIn(from));
    Press(meter, mcMenu);
    EXPECT_EQ(NextFrame(meter).function, to) << FunModeIdent(from);
  }
}

TEST(SimMeterButtons, SelectStepsThroughAllFifteenFunctionsAndRoundAgain) {
  TSimMeter meter;
  const std::string order = "0123456789abcde0";
  for (char expected : order) {
    EXPECT_EQ(NextFrame(meter).function, expected);
    Press(meter, mcSelect);
  }
}

TEST(SimMeterButtons, UpAndDownStepTheHarmonicOrderRoundTheRange) {
  TSimMeter meter(StartingIn(fmVHARM));
  const std::pair<std::uint8_t, const char*> steps[] = {
      {mcUp, "  2"}, {mcUp, "  3"}, {mcDown, "  2"}, {mcDown, "  1"}, {mcDown, " 50"}, {mcUp, "  1"},
  };
  for (const auto& [button, order] : steps) {
    Press(meter, button);
    EXPECT_EQ(NextFrame(meter).aux, order);
  }
}

TEST(SimMeterButtons, HarmonicsAddUpToTheThd) {
  TSimMeter meter(StartingIn(fmIHARM));
  double sumOfSquares = 0;
  for (int order = 2; order <= TSimMeter::kMaxHarmonicOrder; ++order) {
    Press(meter, mcUp);
    const TScannedFrame f = NextFrame(meter);
    const double percent = DisplayNumber(f.sub2).value_or(NAN);
    if (order % 2 == 0) {
      EXPECT_EQ(percent, 0.0) << order;
    }
    sumOfSquares += percent * percent;
  }
  EXPECT_NEAR(std::sqrt(sumOfSquares), 14.0, 0.5);
}

TEST(SimMeterButtons, UpAndDownDoNothingOutsideTheHarmonics) {
  TSimMeter meter(StartingIn(fmVTHDf));
  Press(meter, mcUp);
  Press(meter, mcDown);
  const TScannedFrame f = NextFrame(meter);
  EXPECT_EQ(f.function, '9');
  EXPECT_EQ(f.aux, "   ");
}

TEST(SimMeterButtons, SaveDataStoresTheShownReading) {
  TSimMeter meter(StartingIn(fmANG));
  ASSERT_EQ(meter.Memory().size(), 5u);  // preloaded
  const TScannedFrame shown = NextFrame(meter);
  Press(meter, mcSaveData);
  ASSERT_EQ(meter.Memory().size(), 6u);
  const TMeterFrame& record = meter.Memory().back();
  EXPECT_EQ(record.type, kExportFrame);
  EXPECT_EQ(record.function, fmANG);
  EXPECT_EQ(record.screen, (TMeterScreen{shown.aux, shown.main, shown.sub1, shown.sub2}));
  EXPECT_TRUE(NextFrame(meter).Bit(3, 2));
}

TEST(SimMeterButtons, ClearMemoryEmptiesItAndShowsClrUntilTheNextSave) {
  TSimMeter meter;
  Press(meter, mcClearMemory);
  EXPECT_TRUE(meter.Memory().empty());
  TScannedFrame f = NextFrame(meter);
  EXPECT_TRUE(f.Bit(3, 0)) << "CLR";
  EXPECT_FALSE(f.Bit(3, 2)) << "MEM";

  Press(meter, mcSaveData);
  f = NextFrame(meter);
  EXPECT_FALSE(f.Bit(3, 0)) << "CLR";
  EXPECT_TRUE(f.Bit(3, 2)) << "MEM";
  EXPECT_EQ(meter.Memory().size(), 1u);
}

TEST(SimMeterButtons, FullMemoryShowsFullAndStoresNoMore) {
  TSimMeterConfig config;
  config.memoryCapacity = 6;
  TSimMeter meter(config);
  EXPECT_FALSE(NextFrame(meter).Bit(3, 1));
  Press(meter, mcSaveData);
  Press(meter, mcSaveData);
  EXPECT_EQ(meter.Memory().size(), 6u);
  EXPECT_TRUE(NextFrame(meter).Bit(3, 1));
}

TEST(SimMeterButtons, AutoPowerOffItemsSetOrClearTheMark) {
  const std::pair<std::uint8_t, bool> cases[] = {
      {mcAutoPowerOff, false}, {mcAutoPower10, true}, {mcAutoPower20, true}, {mcAutoPower30, true}};
  for (const auto& [code, on] : cases) {
    TSimMeter meter;
    Press(meter, on ? mcAutoPowerOff : mcAutoPower10);  // start from the other state
    Press(meter, code);
    EXPECT_EQ(NextFrame(meter).Bit(2, 0), on) << int(code);
  }
}

TEST(SimMeterButtons, OtherCodesAreAcceptedWithoutVisibleEffect) {
  const std::uint8_t codes[] = {mcHarm,        mcLoadMem,     mcSumClear,     mcBackLightOff, mcBackLight10,
                                mcBackLight20, mcBackLight30, mcFreqModeAuto, mcFreqMode50,   mcFreqMode60,
                                mcExportAck,   mcBackLight,   mcAutoLoadMem,  mcAutoSaveData, mcExitStatus,
                                0x00,          0xFF};
  TSimMeter meter(StartingIn(fmVHARM));
  const TScannedFrame before = NextFrame(meter);
  for (std::uint8_t code : codes) Press(meter, code);
  const TScannedFrame after = NextFrame(meter);
  EXPECT_EQ(after.function, before.function);
  EXPECT_EQ(after.aux, before.aux);
  EXPECT_EQ(after.status, before.status);
  EXPECT_EQ(meter.Memory().size(), 5u);
  EXPECT_EQ(meter.Commands().size(), std::size(codes));
}

TEST(SimMeterButtons, CommandWithABadSumIsIgnored) {
  TSimMeter meter;
  auto frame = test::CommandFrame(mcHold);
  frame[5] ^= 0x01;
  meter.ReceiveBytes(frame.data(), frame.size());
  EXPECT_FALSE(NextFrame(meter).Bit(1, 0));
  EXPECT_TRUE(meter.Commands().empty());
}

TEST(SimMeterButtons, CommandsAreRecordedWithTimeCodeAndSequence) {
  TSimMeter meter;
  meter.Advance(1234);
  const auto frame = test::CommandFrame(mcHold, 77);
  meter.ReceiveBytes(frame.data(), 3);  // split over two chunks
  meter.ReceiveBytes(frame.data() + 3, 4);
  ASSERT_EQ(meter.Commands().size(), 1u);
  EXPECT_EQ(meter.Commands()[0].atMs, 1234u);
  EXPECT_EQ(meter.Commands()[0].code, mcHold);
  EXPECT_EQ(meter.Commands()[0].sequence, 77);
}

// --- memory export -----------------------------------------------------------------------------------

void ExpectRecord(const TScannedFrame& f, const TMeterFrame& record) {
  EXPECT_EQ(f.type, kExportFrame);
  EXPECT_EQ(f.function, FunctionByte(record.function));
  EXPECT_EQ((TMeterScreen{f.aux, f.main, f.sub1, f.sub2}), record.screen);
  EXPECT_EQ(f.status, record.status);
}

TEST(SimMeterExport, SendsOneRecordPerAcknowledgementThenTheEndMarkerThenLiveFrames) {
  TSimMeter meter;
  NextFrame(meter);
  const std::vector<TMeterFrame> memory = meter.Memory();
  Press(meter, mcExportMemory);
  for (const TMeterFrame& record : memory) {
    const auto sent = Frames(meter, 0);  // goes out at once
    ASSERT_EQ(sent.size(), 1u);
    ExpectRecord(sent[0], record);
    EXPECT_TRUE(Frames(meter, 900).empty()) << "nothing more until acknowledged";
    Press(meter, mcHold);  // buttons are ignored during the export
    Press(meter, mcExportAck);
  }
  const auto end = Frames(meter, 0);
  ASSERT_EQ(end.size(), 1u);
  EXPECT_EQ(end[0].type, kExportFrame);
  EXPECT_EQ(end[0].function, 0x66);
  EXPECT_TRUE(Frames(meter, 900).empty());

  Press(meter, mcExportAck);
  const TScannedFrame live = NextFrame(meter);
  EXPECT_EQ(live.type, kLiveFrame);
  EXPECT_FALSE(live.Bit(1, 0)) << "the hold pressed during the export had no effect";
  EXPECT_EQ(meter.Memory(), memory);
}

TEST(SimMeterExport, UnacknowledgedFrameIsResentThenTheMeterGivesUp) {
  TSimMeterConfig config;
  config.maxResends = 2;
  TSimMeter meter(config);
  Press(meter, mcExportMemory);
  const auto first = Concat(meter.Produce(1));
  ASSERT_EQ(ScanFrames(first).frames.size(), 1u);
  for (int resend = 0; resend < 2; ++resend) {
    EXPECT_EQ(Concat(meter.Produce(1000)), first) << "one identical copy per second, resend " << resend;
  }
  // The last resend's time-out abandons the export; live frames resume at once.
  const auto live = Frames(meter, 1000);
  ASSERT_EQ(live.size(), 1u);
  EXPECT_EQ(live[0].type, kLiveFrame);
  Press(meter, mcExportAck);  // a late acknowledgement changes nothing
  EXPECT_EQ(NextFrame(meter).type, kLiveFrame);
}

TEST(SimMeterExport, ResendAfterATimeOutThenContinuesOnTheAcknowledgement) {
  TSimMeter meter;
  Press(meter, mcExportMemory);
  EXPECT_EQ(ScanFrames(Concat(meter.Produce(1001))).frames.size(), 2u);  // first copy and its resend
  Press(meter, mcExportAck);
  const auto second = Frames(meter, 0);
  ASSERT_EQ(second.size(), 1u);
  ExpectRecord(second[0], meter.Memory()[1]);
}

TEST(SimMeterExport, AnUnacknowledgedEndMarkerIsNotResentAndLiveFramesResume) {
  TSimMeterConfig config;
  config.preloadMemory = false;
  TSimMeter meter(config);
  Press(meter, mcExportMemory);
  ASSERT_EQ(Frames(meter, 0).size(), 1u);  // the end marker
  const auto after = Frames(meter, config.ackTimeoutMs + config.framePeriodMs);
  ASSERT_FALSE(after.empty());
  for (const auto& f : after) EXPECT_EQ(f.type, kLiveFrame);
  Press(meter, mcExportAck);  // the late acknowledgement, after the box was closed
  EXPECT_EQ(NextFrame(meter).type, kLiveFrame);
}

TEST(SimMeterExport, EmptyMemorySendsOnlyTheEndMarker) {
  TSimMeterConfig config;
  config.preloadMemory = false;
  TSimMeter meter(config);
  EXPECT_FALSE(NextFrame(meter).Bit(3, 2));
  Press(meter, mcExportMemory);
  const auto end = Frames(meter, 0);
  ASSERT_EQ(end.size(), 1u);
  EXPECT_EQ(end[0].function, 0x66);
}

}  // namespace
}  // namespace qm::sim
