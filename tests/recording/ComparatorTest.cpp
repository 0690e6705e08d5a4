// The limit comparator: the measured value's text, the verdict and the limit edits' rules.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <ostream>
#include <string>

#include "common/NumberText.h"
#include "recording/Comparator.h"

namespace qm {
namespace {

struct FormatCase {
  const char* name;
  double value;
  const char* separator;
  const char* text;
};
void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.name; }

class GeneralFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(GeneralFormat, WritesTheShortestTextOfFifteenDigits) {
  EXPECT_EQ(FormatGeneral(GetParam().value, GetParam().separator), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Values, GeneralFormat,
    ::testing::Values(FormatCase{"Zero", 0.0, ".", "0"}, FormatCase{"NegativeZero", -0.0, ".", "0"},
                      FormatCase{"Hundred", 100.0, ".", "100"}, FormatCase{"NegativeHalf", -0.5, ",", "-0,5"},
                      FormatCase{"CommaSeparator", 12.5, ",", "12,5"},
                      FormatCase{"ThreeDecimals", 1000.001, ".", "1000.001"},
                      FormatCase{"RoundedToFifteenDigits", 1.0 / 3, ".", "0.333333333333333"},
                      FormatCase{"RoundsUp", 2.0 / 3, ".", "0.666666666666667"},
                      FormatCase{"BinaryNoiseDropped", 0.1 + 0.2, ".", "0.3"},
                      FormatCase{"SmallestFixed", 0.00001, ".", "0.00001"},
                      FormatCase{"SmallFixed", 0.000025, ".", "0.000025"},
                      FormatCase{"BelowFixed", 9.99999999999999e-6, ".", "9.99999999999999E-6"},
                      FormatCase{"Micro", 1e-6, ".", "1E-6"},
                      FormatCase{"NegativeSmall", -1.5e-7, ",", "-1,5E-7"},
                      FormatCase{"FourteenWholeDigits", 12345678901234.0, ".", "12345678901234"},
                      FormatCase{"FifteenWholeDigits", 123456789012345.0, ".", "1.23456789012345E14"},
                      FormatCase{"SixteenWholeDigits", 1234567890123456.0, ".", "1.23456789012346E15"},
                      FormatCase{"PowerOfTenFourteen", 1e14, ".", "1E14"},
                      FormatCase{"Huge", 1e20, ".", "1E20"},
                      FormatCase{"HugeWithDigits", 1.5e300, ".", "1.5E300"},
                      FormatCase{"NotANumber", std::nan(""), ".", "0"}),
    [](const auto& p) { return std::string(p.param.name); });

struct VerdictCase {
  const char* name;
  const char* high;
  const char* low;
  const char* separator;
  double value;
  const char* shown;
  bool pass;
};
void PrintTo(const VerdictCase& c, std::ostream* os) { *os << c.name; }

class Verdict : public ::testing::TestWithParam<VerdictCase> {};

TEST_P(Verdict, JudgesTheValueAsShownAgainstBothLimitsInclusive) {
  const auto& c = GetParam();
  TLimitComparator comparator(c.separator);
  comparator.SetHighText(c.high);
  comparator.SetLowText(c.low);
  comparator.CheckLimits(c.value);
  EXPECT_EQ(comparator.CurValueText(), c.shown);
  EXPECT_EQ(comparator.Caption(), c.pass ? "Pass" : "Fail");
  EXPECT_EQ(comparator.Colour(), (c.pass ? TColor{0, 128, 0} : TColor{255, 0, 0}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Verdict,
    ::testing::Values(
        VerdictCase{"AtHigh", "1000", "-1000", ".", 1000.0, "1000", true},
        VerdictCase{"AtLow", "1000", "-1000", ".", -1000.0, "-1000", true},
        VerdictCase{"AboveHigh", "1000", "-1000", ".", 1000.001, "1000.001", false},
        VerdictCase{"BelowLow", "1000", "-1000", ".", -1000.5, "-1000.5", false},
        // Digits beyond the fifteenth are not shown and not judged.
        VerdictCase{"AboveHighOnlyInHiddenDigits", "1000", "-1000", ".", 1000 + 1e-12, "1000", true},
        VerdictCase{"LowAboveHighBetween", "1", "5", ".", 3.0, "3", false},
        VerdictCase{"LowAboveHighAtHigh", "1", "5", ".", 1.0, "1", false},
        VerdictCase{"LowAboveHighAtLow", "1", "5", ".", 5.0, "5", false},
        VerdictCase{"LowAboveHighZero", "1", "5", ".", 0.0, "0", false},
        VerdictCase{"CommaInside", "13", "12,5", ",", 12.5, "12,5", true},
        VerdictCase{"CommaAbove", "12,4", "-1000", ",", 12.5, "12,5", false},
        VerdictCase{"LoneMinusIsZeroBelow", "1000", "-", ".", -0.5, "-0.5", false},
        VerdictCase{"LoneMinusIsZeroAt", "1000", "-", ".", 0.0, "0", true},
        VerdictCase{"LonePlusIsZeroAbove", "+", "-1000", ".", 0.5, "0.5", false},
        VerdictCase{"OverloadReadsAsZero", "1000", "-1000", ".", ReadNumberOrZero("  OL  ", "."), "0", true}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(LimitComparatorTest, VerdictChangesOnlyWithTheNextReading) {
  TLimitComparator comparator(".");
  int changes = 0;
  comparator.OnChange.Set([&] { ++changes; });
  EXPECT_EQ(comparator.HighText(), "1000");
  EXPECT_EQ(comparator.LowText(), "-1000");
  EXPECT_EQ(comparator.CurValueText(), "0");
  EXPECT_EQ(comparator.Caption(), "PASS");
  EXPECT_EQ(comparator.Colour(), clGreen);

  comparator.CheckLimits(10);
  EXPECT_EQ(comparator.Caption(), "Pass");
  EXPECT_EQ(comparator.SetHighText("5"), std::nullopt);
  EXPECT_EQ(comparator.Caption(), "Pass");
  EXPECT_EQ(comparator.Colour(), clGreen);
  EXPECT_EQ(changes, 1);

  comparator.CheckLimits(10);
  EXPECT_EQ(comparator.Caption(), "Fail");
  EXPECT_EQ(comparator.Colour(), clRed);
  EXPECT_EQ(changes, 2);
}

TEST(LimitComparatorTest, LimitEditsKeepOnlyNumbersOrALoneSign) {
  TLimitComparator comparator(".");
  const TEditCorrection zeroSelected{"0", 0, 1};
  EXPECT_EQ(comparator.SetLowText(""), zeroSelected);  // emptied
  EXPECT_EQ(comparator.LowText(), "0");
  EXPECT_EQ(comparator.SetLowText("-"), std::nullopt);  // the user starts a signed number
  EXPECT_EQ(comparator.LowText(), "-");
  EXPECT_EQ(comparator.SetLowText("-5"), std::nullopt);
  EXPECT_EQ(comparator.LowText(), "-5");
  EXPECT_EQ(comparator.SetLowText("five"), zeroSelected);  // pasted
  EXPECT_EQ(comparator.LowText(), "0");
}

struct LimitTextCase {
  const char* text;
  const char* separator;
  bool stands;
};
void PrintTo(const LimitTextCase& c, std::ostream* os) { *os << '"' << c.text << "\" with " << c.separator; }

class LimitText : public ::testing::TestWithParam<LimitTextCase> {};

TEST_P(LimitText, StandsOrBecomesASelectedZero) {
  const auto& c = GetParam();
  const auto correction = CheckLimitText(c.text, c.separator);
  if (c.stands)
    EXPECT_EQ(correction, std::nullopt);
  else
    EXPECT_EQ(correction, (TEditCorrection{"0", 0, 1}));
}

INSTANTIATE_TEST_SUITE_P(Texts, LimitText,
                         ::testing::Values(LimitTextCase{"", ".", false}, LimitTextCase{"-", ".", true},
                                           LimitTextCase{"+", ".", true}, LimitTextCase{" - ", ".", true},
                                           LimitTextCase{"  7  ", ".", true},
                                           LimitTextCase{"12.5", ".", true}, LimitTextCase{"12,5", ",", true},
                                           LimitTextCase{"12.5", ",", false}, LimitTextCase{"1e3", ".", true},
                                           LimitTextCase{"abc", ".", false}, LimitTextCase{"--5", ".", false},
                                           LimitTextCase{"5-", ".", false}, LimitTextCase{"+-", ".", false},
                                           LimitTextCase{".", ".", false},
                                           LimitTextCase{"1.2.3", ".", false}));

TEST(LimitEditKeysTest, AdmitDigitsSignsBackspaceAndTheSeparator) {
  for (char c : std::string("0123456789+-\b.")) EXPECT_TRUE(LimitEditAcceptsKey(c, ".")) << int{c};
  for (char c : std::string(",eE aZ\r/")) EXPECT_FALSE(LimitEditAcceptsKey(c, ".")) << int{c};
  EXPECT_TRUE(LimitEditAcceptsKey(',', ","));
  EXPECT_FALSE(LimitEditAcceptsKey('.', ","));
}

}  // namespace
}  // namespace qm
