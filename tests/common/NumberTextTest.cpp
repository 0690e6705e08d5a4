#include "common/NumberText.h"

#include <gtest/gtest.h>

#include "common/MeterTypes.h"

namespace qm {
namespace {

struct NumberCase {
  const char* text;
  const char* sep;
  bool ok;
  double value;
};

class NumberTextTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(NumberTextTest, ReadsDisplayTexts) {
  const auto& c = GetParam();
  auto v = TryReadNumber(c.text, c.sep);
  ASSERT_EQ(v.has_value(), c.ok) << "'" << c.text << "' sep '" << c.sep << "'";
  if (c.ok) {
    EXPECT_DOUBLE_EQ(*v, c.value);
  }
  EXPECT_DOUBLE_EQ(ReadNumberOrZero(c.text, c.sep), c.ok ? c.value : 0.0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NumberTextTest,
    ::testing::Values(NumberCase{" 12.34", ".", true, 12.34}, NumberCase{" 12,34", ",", true, 12.34},
                      NumberCase{" 12.34", ",", false, 0}, NumberCase{"-0.5 ", ".", true, -0.5},
                      NumberCase{"+7", ".", true, 7}, NumberCase{"1E3", ".", true, 1000},
                      NumberCase{"2.5e-2", ".", true, 0.025}, NumberCase{"1.", ".", true, 1},
                      NumberCase{".5", ".", true, 0.5}, NumberCase{"      ", ".", false, 0},
                      NumberCase{"", ".", false, 0}, NumberCase{"  OL  ", ".", false, 0},
                      NumberCase{"-----", ".", false, 0}, NumberCase{"-", ".", false, 0},
                      NumberCase{"+", ".", false, 0}, NumberCase{"1 2", ".", false, 0},
                      NumberCase{"1e", ".", false, 0}, NumberCase{"inf", ".", false, 0},
                      NumberCase{"nan", ".", false, 0}, NumberCase{"0x10", ".", false, 0},
                      NumberCase{"1.2.3", ".", false, 0}, NumberCase{"1e999", ".", false, 0},
                      NumberCase{"\t3\r\n", ".", true, 3}));

TEST(FunModeNames, LogNameDropsThePrefix) {
  EXPECT_EQ(FunModeLogName(fmPWRP), "PWRP");
  EXPECT_EQ(FunModeLogName(fmVTHDf), "VTHDf");
  EXPECT_EQ(FunModeLogName(fmNone), "None");
  EXPECT_EQ(FunModeLogName(fmExportEnd), "ExportEnd");
  EXPECT_EQ(FunModeIdent(static_cast<TFunMode>(200)), "");
}

TEST(BlankTest, OneDefinitionOfABlankForEveryReader) {
  EXPECT_EQ(TrimBlanks(" \t\r\n12,5\x1f "), "12,5");
  EXPECT_EQ(TrimBlanks(std::string_view("\0" "1", 2)), std::string_view("\0" "1", 2));  // NUL is no blank
  EXPECT_EQ(TrimBlanks("\x7f"), "\x7f");
  EXPECT_EQ(TrimBlanks("   "), "");
  for (char c : std::string("0123456789\b")) EXPECT_TRUE(DigitEditAcceptsKey(c)) << int{c};
  for (char c : std::string("+-., aZ\r\x7f")) EXPECT_FALSE(DigitEditAcceptsKey(c)) << int{c};
}

}  // namespace
}  // namespace qm
