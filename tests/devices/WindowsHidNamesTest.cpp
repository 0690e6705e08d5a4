// The text handling of the Windows back end: registry values, HID strings in UTF-16, the names in
// notification records, and the list a removal is matched against.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "devices/windows/WinHidNames.h"

namespace qm::hid::win {
namespace {

using namespace std::string_literals;

constexpr unsigned kWesternCodePage = 1252;

TEST(WindowsHidNamesTest, FirstRegistryStringEndsAtTheFirstZeroOrTheValue) {
  struct TCase {
    const char* Name;
    std::string Bytes;
    std::size_t Size;  // the value's size as the registry reports it
    std::string First;
  };
  const std::string hardwareIds = "HID\\VID_1A86&PID_E429&REV_0100\0HID\\VID_1A86&PID_E429\0HID_DEVICE\0\0"s;
  const TCase cases[] = {
      {"empty list", "\0\0"s, 2, ""},
      {"no bytes", "", 0, ""},
      {"several strings", hardwareIds, hardwareIds.size(), "HID\\VID_1A86&PID_E429&REV_0100"},
      {"a REG_SZ value", "\\Device\\0000006a\0"s, 17, "\\Device\\0000006a"},
      // The bytes beyond the value's size are not the value's.
      {"missing terminator", "HID\\VID_10C4&PID_EA80", 12, "HID\\VID_10C4"},
  };
  for (const TCase& c : cases) EXPECT_EQ(FirstRegistryString(c.Bytes.data(), c.Size), c.First) << c.Name;
  EXPECT_EQ(FirstRegistryString(nullptr, 4), "");
}

TEST(WindowsHidNamesTest, WideToAnsiConvertsUpToTheZeroAndMarksWhatTheCodePageLacks) {
  struct TCase {
    const char* Name;
    std::wstring Text;
    std::size_t Length;
    std::string Ansi;
  };
  const TCase cases[] = {
      {"ASCII", L"QM7310P Clamp", 13, "QM7310P Clamp"},
      {"Latin letters", L"Caf\u00e9 \u00c5", 6, "Caf\xe9 \xc5"},
      {"euro sign", L"\u20ac", 1, "\x80"},
      // No look-alike ("a") for a letter the code page lacks.
      {"no best fit", L"\u0101", 1, "?"},
      {"CJK", L"\u4e2d\u6587", 2, "??"},
      {"ends at the zero", L"AB\0CD"s, 5, "AB"},
      {"no zero within the length", L"ABCD", 2, "AB"},
      {"empty", L"", 0, ""},
  };
  for (const TCase& c : cases) EXPECT_EQ(WideToAnsi(c.Text.c_str(), c.Length, kWesternCodePage), c.Ansi) << c.Name;
  EXPECT_EQ(WideToAnsi(L"USB HID", 7), "USB HID") << "the ANSI code page keeps ASCII";
  EXPECT_EQ(WideToAnsi(nullptr, 3), "");
}

TEST(WindowsHidNamesTest, BroadcastNameTextReadsAnsiAndUtf16Names) {
  const std::string path = "\\\\?\\HID#VID_1A86&PID_E429#7&1b2c3d4e&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";
  std::string ansi = path + "\0\0\0"s;  // records are padded to whole words
  EXPECT_EQ(BroadcastNameText(ansi.data(), ansi.size()), path);

  const std::wstring widePath(path.begin(), path.end());
  std::string wide((widePath.size() + 1) * sizeof(wchar_t), '\0');
  std::memcpy(wide.data(), widePath.c_str(), wide.size());
  EXPECT_EQ(BroadcastNameText(wide.data(), wide.size()), path);
  // Without the zero, and with an odd byte at the end that is no character.
  EXPECT_EQ(BroadcastNameText(wide.data(), wide.size() - 1), path);

  EXPECT_EQ(BroadcastNameText(path.data(), 12), path.substr(0, 12)) << "bounded by the record's size";
  EXPECT_EQ(BroadcastNameText(ansi.data(), 0), "");
  EXPECT_EQ(BroadcastNameText("\0\0\0\0", 4), "");
}

TEST(WindowsHidNamesTest, WithAbsentAppendsTheRememberedInterfacesThatAreGone) {
  const TInterfaceEntry meter{"HID\\VID_1A86&PID_E429\\7&1B2C3D4E&0&0000", "HID\\VID_1A86&PID_E429&REV_0100",
                              "\\Device\\0000006a", "\\\\?\\hid#vid_1a86&pid_e429#7&1b2c3d4e&0&0000#{guid}"};
  const TInterfaceEntry keyboard{"HID\\VID_046D&PID_C31C&MI_00\\8&2A0F&0&0000", "HID\\VID_046D&PID_C31C&MI_00",
                                 "\\Device\\00000050", "\\\\?\\hid#vid_046d&pid_c31c&mi_00#8&2a0f&0&0000#{guid}"};
  const TInterfaceEntry unplugged{"HID\\VID_10C4&PID_EA80\\6&3F2E&0&0000", "HID\\VID_10C4&PID_EA80&REV_0000", "",
                                  "\\\\?\\hid#vid_10c4&pid_ea80#6&3f2e&0&0000#{guid}"};
  const TInterfaceEntry unpluggedToo{"HID\\VID_1A86&PID_E429\\7&99&0&0000", "HID\\VID_1A86&PID_E429", "", ""};
  TInterfaceEntry meterInLowerCase = meter;
  meterInLowerCase.InstanceId = "hid\\vid_1a86&pid_e429\\7&1b2c3d4e&0&0000";

  const std::vector<TInterfaceEntry> list =
      WithAbsent({meter, keyboard}, {unplugged, meterInLowerCase, keyboard, unpluggedToo});

  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0].InstanceId, meter.InstanceId);
  EXPECT_EQ(list[1].InstanceId, keyboard.InstanceId);
  EXPECT_TRUE(list[0].Present && list[1].Present);
  EXPECT_EQ(list[2].InstanceId, unplugged.InstanceId);
  EXPECT_EQ(list[2].HardwareId, unplugged.HardwareId);
  EXPECT_EQ(list[2].Path, unplugged.Path);
  EXPECT_EQ(list[3].InstanceId, unpluggedToo.InstanceId);
  EXPECT_FALSE(list[2].Present || list[3].Present);
}

}  // namespace
}  // namespace qm::hid::win
