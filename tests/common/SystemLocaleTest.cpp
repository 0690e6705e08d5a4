// The regional settings and the display conversion as the system gives them. Under Wine the
// Windows build runs these once with a Chinese and once with a German locale (see CMakeLists).
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

#include "common/CodePage.h"
#include "common/SystemLocale.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace qm {
namespace {

TEST(SystemLocaleTest, TimeSeparatorIsWhatTheFormatWritesBetweenHoursAndMinutes) {
  const struct {
    const char* format;
    const char* separator;
  } cases[] = {
      {"%H:%M:%S", ":"},     // C, en_GB, de_DE
      {"%H.%M.%S", "."},     // fi_FI, da_DK
      {"%-H.%M.%S", "."},    // with a flag
      {"%I:%M:%S %p", ":"},  // twelve-hour clocks
      {"%Hh%Mm%Ss", "h"},
      {"%T", ":"},           // formats without the hours keep the colon
      {"%r", ":"},
      {"", ":"},
      {"%H", ":"},
  };
  for (const auto& c : cases) EXPECT_EQ(TimeSeparatorOfFormat(c.format), c.separator) << c.format;
}

// The separators the test run promises through the environment (set where the test is
// registered); without them, only that the system gives some text.
TEST(SystemLocaleTest, SeparatorsAreTheSystemsOwn) {
#ifndef _WIN32
  std::setlocale(LC_ALL, "");
#endif
  const std::string point = SystemDecimalSeparator();
  const std::string time = SystemTimeSeparator();
  EXPECT_FALSE(point.empty());
  EXPECT_FALSE(time.empty());
  if (const char* expected = std::getenv("QM_TEST_DECIMAL_SEPARATOR")) {
    EXPECT_EQ(point, expected);
  }
  if (const char* expected = std::getenv("QM_TEST_TIME_SEPARATOR")) {
    EXPECT_EQ(time, expected);
  }
#ifndef _WIN32
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(SystemDecimalSeparator(), ".");
  EXPECT_EQ(SystemTimeSeparator(), ":");
#endif
}

#ifdef _WIN32
// Windows shows the meter's bytes through the ANSI code page: the phase-angle unit 0xA1 0xA3 is
// the ideographic full stop on a Chinese system and two Latin-1 signs on a Western one.
TEST(SystemLocaleTest, MeterTextsReadThroughTheAnsiCodePage) {
  const UINT acp = GetACP();
  if (acp == 936) {
    EXPECT_EQ(MeterTextToUtf8("\xA1\xA3"), "\xE3\x80\x82");
    EXPECT_EQ(MeterTextToUtf8("12\xA1\xA3x"), "12\xE3\x80\x82x");
    EXPECT_EQ(MeterTextToUtf8("\xA1"), "\xC2\xA1");  // a lead byte cut off at the end
    EXPECT_EQ(MeterTextToUtf8("\xFF"), "\xC3\xBF");  // starts no character: kept as Latin-1
  } else if (acp == 1252) {
    EXPECT_EQ(MeterTextToUtf8("\xA1\xA3"), "\xC2\xA1\xC2\xA3");
    EXPECT_EQ(MeterTextToUtf8("\x80"), "\xE2\x82\xAC");  // the euro sign of 1252
  } else {
    GTEST_SKIP() << "no expectations for code page " << acp;
  }
  EXPECT_EQ(MeterTextToUtf8("KW"), "KW");
  if (const char* expected = std::getenv("QM_TEST_ANSI_CODE_PAGE")) {
    EXPECT_EQ(acp, std::strtoul(expected, nullptr, 10));
  }
}
#endif

}  // namespace
}  // namespace qm
