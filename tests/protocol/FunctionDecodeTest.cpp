// The function byte: FunMode, the three units (set only on change) and the function symbols
// (rewritten on every frame).
#include <gtest/gtest.h>

#include "ProtocolTestSupport.h"

namespace qm::test {
namespace {

using enum TLcdControl;

struct FunctionCase {
  std::uint8_t byte;
  TFunMode mode;
  std::string unit, subUnit1, subUnit2;
  bool subAC;
  std::u16string cosSin;
  std::string time;
  bool rstA;
  std::u16string thd;
};

std::string Hex2(std::uint8_t b) { return Hex({b}); }

class FunctionTable : public ::testing::TestWithParam<FunctionCase> {};

TEST_P(FunctionTable, SetsModeUnitsAndSymbols) {
  const FunctionCase& c = GetParam();
  WiredProtocol w;
  w.proto.CP21041ReceiveFunData(Hex2(c.byte));
  const MeterReading& r = w.proto.Reading();
  EXPECT_EQ(r.FunMode, c.mode);
  EXPECT_EQ(r.Unit, c.unit);
  EXPECT_EQ(r.SubUnit1, c.subUnit1);
  EXPECT_EQ(r.SubUnit2, c.subUnit2);
  // An empty unit equals the initial one, so its caption is not written at all.
  EXPECT_EQ(w.view.caption.count(lcdUnit) ? w.view.caption[lcdUnit] : "", c.unit);
  EXPECT_TRUE(w.view.visible.at(lcdAC));
  EXPECT_EQ(w.view.visible.at(lcdAC2), c.subAC);
  EXPECT_EQ(w.view.visible.at(lcdAC3), c.subAC);
  EXPECT_EQ(w.view.wide.at(lcdCosSin), c.cosSin);
  EXPECT_EQ(w.view.caption.at(lcdTime), c.time);
  EXPECT_EQ(w.view.visible.at(lcdRstA), c.rstA);
  EXPECT_EQ(w.view.wide.at(lcdTHD), c.thd);
  // Mode, units, AC marks, power factor, time, phase sequence, THD: in that order.
  const auto& e = w.journal.entries;
  const int ac = w.journal.IndexOf("visible lcdAC=1");
  ASSERT_GE(e.size(), 7u);
  EXPECT_EQ(ac, static_cast<int>(e.size()) - 7);
  EXPECT_TRUE(e[ac + 1].starts_with("visible lcdAC2="));
  EXPECT_TRUE(e[ac + 2].starts_with("visible lcdAC3="));
  EXPECT_TRUE(e[ac + 3].starts_with("wide lcdCosSin="));
  EXPECT_TRUE(e[ac + 4].starts_with("caption lcdTime="));
  EXPECT_TRUE(e[ac + 5].starts_with("visible lcdRstA="));
  EXPECT_TRUE(e[ac + 6].starts_with("wide lcdTHD="));
}

INSTANTIATE_TEST_SUITE_P(
    EveryByte, FunctionTable,
    ::testing::Values(FunctionCase{0x30, fmPWRP, "KW", "V", "A", true, u"", "", false, u""},
                      FunctionCase{0x31, fmPWRS, "KVA", "V", "A", true, u"", "", false, u""},
                      FunctionCase{0x32, fmPWRQ, "KVAr", "V", "A", true, u"", "", false, u""},
                      FunctionCase{0x33, fmPF, "", "V", "A", true, u"COS\u0424", "", false, u""},
                      FunctionCase{0x34, fmRF, "", "V", "A", true, u"SIN\u0424", "", false, u""},
                      FunctionCase{0x35, fmANG, "\xA1\xA3", "V", "A", true, u"", "", false, u""},
                      FunctionCase{0x36, fmFRQ, "Hz", "V", "A", true, u"", "", false, u""},
                      FunctionCase{0x37, fmENRP, "KWh", "KW", "", true, u"", "m:s", false, u""},
                      FunctionCase{0x38, fmPHSEQ, "V", "V", "V", true, u"", "", true, u""},
                      FunctionCase{0x39, fmVTHDf, "V", "", "%f", false, u"", "", false, u"THD"},
                      FunctionCase{0x61, fmVTHDr, "V", "", "%r", false, u"", "", false, u"THD"},
                      FunctionCase{0x62, fmVHARM, "V", "", "%f", false, u"", "", false, u""},
                      FunctionCase{0x63, fmITHDf, "A", "", "%f", false, u"", "", false, u"THD"},
                      FunctionCase{0x64, fmITHDr, "A", "", "%r", false, u"", "", false, u"THD"},
                      FunctionCase{0x65, fmIHARM, "A", "", "%f", false, u"", "", false, u""}),
    [](const auto& p) { return std::string(FunModeLogName(p.param.mode)); });

TEST(FunctionDecode, PhaseAngleUnitStaysTwoRawBytes) {
  WiredProtocol w;
  w.proto.CP21041ReceiveFunData("35");
  EXPECT_EQ(w.proto.Reading().Unit, std::string("\xA1\xA3", 2));
  EXPECT_EQ(w.view.caption.at(lcdUnit), std::string("\xA1\xA3", 2));
}

class NotAFunction : public ::testing::TestWithParam<std::uint8_t> {};

TEST_P(NotAFunction, ChangesNothing) {
  WiredProtocol w;
  w.proto.CP21041ReceiveFunData("37");
  w.journal.entries.clear();
  const MeterReading before = w.proto.Reading();

  w.proto.CP21041ReceiveFunData(Hex2(GetParam()));
  EXPECT_TRUE(w.journal.entries.empty());
  EXPECT_EQ(w.proto.Reading().FunMode, before.FunMode);
  EXPECT_EQ(w.proto.Reading().Unit, before.Unit);
  EXPECT_EQ(w.proto.Reading().SubUnit1, before.SubUnit1);
  EXPECT_EQ(w.proto.Reading().SubUnit2, before.SubUnit2);
}

// 0x66 is the end-of-export marker; the others lie just outside the two runs of function bytes.
INSTANTIATE_TEST_SUITE_P(Bytes, NotAFunction, ::testing::Values(0x66, 0x00, 0x41, 0x2F, 0x3A, 0x60, 0xFF));

TEST(FunctionDecode, UnitsAreWrittenOnlyOnChangeSymbolsEveryFrame) {
  WiredProtocol w;
  w.proto.CP21041ReceiveFunData("37");
  w.proto.CP21041ReceiveFunData("37");
  EXPECT_EQ(w.journal.Count("caption lcdUnit=KWh"), 1u);
  EXPECT_EQ(w.journal.Count("caption lcdSubUnit1=KW"), 1u);
  EXPECT_EQ(w.journal.IndexOfPrefix("caption lcdSubUnit2"), -1) << "empty from the start";
  EXPECT_EQ(w.journal.Count("visible lcdAC=1"), 2u);
  EXPECT_EQ(w.journal.Count("caption lcdTime=m:s"), 2u);
  EXPECT_EQ(w.journal.Count("wide lcdTHD="), 2u);

  w.journal.entries.clear();
  w.proto.CP21041ReceiveFunData("30");
  EXPECT_EQ(w.journal.Count("caption lcdUnit=KW"), 1u);
  EXPECT_EQ(w.journal.Count("caption lcdSubUnit1=V"), 1u);
  EXPECT_EQ(w.journal.Count("caption lcdSubUnit2=A"), 1u);
  EXPECT_EQ(w.view.caption.at(lcdTime), "");
}

}  // namespace
}  // namespace qm::test
