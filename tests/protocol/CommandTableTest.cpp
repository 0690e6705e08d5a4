// The command panel's table: codes as the meter knows them, and naming a command by text.
#include "protocol/CommandTable.h"

#include <gtest/gtest.h>

#include <set>

namespace qm {
namespace {

TEST(CommandTableTest, CodesAreThePanelsAndAreUnique) {
  std::set<int> codes;
  for (const auto& b : kCommandButtons) {
    if (b.Code) {
      EXPECT_TRUE(codes.insert(b.Code).second) << b.Name;
    }
  }
  for (const auto& m : kCommandMenuItems) EXPECT_TRUE(codes.insert(m.Code).second) << m.Name;
  // 66..87 consecutive, plus the five extended codes; 88 (the export acknowledgement) is nobody's.
  std::set<int> expected = {194, 198, 199, 200, 203};
  for (int c = 66; c <= 87; ++c) expected.insert(c);
  EXPECT_EQ(codes, expected);
}

TEST(CommandTableTest, TextNamesACode) {
  struct Case {
    const char* text;
    std::optional<std::uint8_t> code;
  } cases[] = {
      {"66", 66},       {"0x57", 87},          {"255", 255},      {"256", std::nullopt},
      {"Hold", 66},     {"hold", 66},          {"btnCmdUp", 68},  {"miFreqMode50", 85},
      {"miCmdAutoPower20", 78},                {"ExportMemoryData", 87},
      {"Auto Power", std::nullopt},  // only opens its menu
      {"", std::nullopt}, {"0x", std::nullopt}, {"-1", std::nullopt}, {"Holdx", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(CommandCodeFromText(c.text), c.code) << c.text;
}

}  // namespace
}  // namespace qm
