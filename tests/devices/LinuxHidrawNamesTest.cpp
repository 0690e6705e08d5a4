// Identifiers and paths of hidraw interfaces, and the record of interfaces seen.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devices/linux/HidrawCache.h"
#include "devices/linux/HidrawNames.h"

namespace qm::hid::hidraw {
namespace {

constexpr const char* kCp2110DevPath =
    "/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/0003:10C4:EA80.0001/hidraw/hidraw3";

THidrawNode Node(const std::string& devPath, std::optional<std::uint16_t> revision = std::nullopt) {
  auto node = NodeFromDevPath(devPath, "");
  EXPECT_TRUE(node) << devPath;
  node->Revision = revision;
  return *node;
}

std::string ReplaceBackslashes(std::string text) {
  for (char& c : text)
    if (c == '\\') c = '#';
  return text;
}

TEST(HidName, ParsesTheKernelName) {
  auto name = ParseHidName("0003:10C4:EA80.0001");
  ASSERT_TRUE(name);
  EXPECT_EQ(name->Bus, 0x0003);
  EXPECT_EQ(name->Vendor, 0x10C4);
  EXPECT_EQ(name->Product, 0xEA80);
  EXPECT_EQ(name->Text, "0003:10C4:EA80.0001");
  EXPECT_TRUE(ParseHidName("0005:1a86:e429.1000A")) << "lower case and a counter past 0xFFFF";
}

TEST(HidName, RejectsOtherNames) {
  for (const char* text :
       {"", "hidraw3", "1-2:1.0", "0003:10C4:EA80", "0003:10C4:EA80.", "0003-10C4-EA80.0001", "0003:10C4:EA8G.0001",
        "003:10C4:EA80.0001", "0003:10C4:EA80.00x1", "0003:000010C4:0000EA80"})
    EXPECT_FALSE(ParseHidName(text)) << text;
}

TEST(NodeFromDevPath, TakesTheNodeAndItsHidDevice) {
  auto node = NodeFromDevPath(kCp2110DevPath, "/dev/hidraw3");
  ASSERT_TRUE(node);
  EXPECT_EQ(node->NodeName, "hidraw3");
  EXPECT_EQ(node->DevNode, "/dev/hidraw3");
  EXPECT_EQ(node->Hid.Text, "0003:10C4:EA80.0001");
  EXPECT_EQ(node->HidSysPath, "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/0003:10C4:EA80.0001");
  EXPECT_FALSE(node->Revision);
}

TEST(NodeFromDevPath, NamesTheNodeUnderDevWithoutDevName) {
  auto node = NodeFromDevPath("/devices/virtual/misc/uhid/0003:1A86:E429.0007/hidraw/hidraw0", "");
  ASSERT_TRUE(node);
  EXPECT_EQ(node->DevNode, "/dev/hidraw0");
  EXPECT_EQ(node->Hid.Vendor, 0x1A86);
}

TEST(NodeFromDevPath, NeedsAHidDeviceAboveTheNode) {
  for (const char* devPath : {"", "/", "hidraw3", "/devices/pci0000:00/usb1/1-2/1-2:1.0/hidraw/hidraw3",
                              "/devices/pci0000:00/0003:10C4:EA80.0001/"})
    EXPECT_FALSE(NodeFromDevPath(devPath, "")) << devPath;
  // The HID device itself is not a node below it.
  EXPECT_FALSE(NodeFromDevPath("/0003:10C4:EA80.0001", ""));
}

TEST(InterfaceEntry, CarriesTheIdentifiersOfTheScheme) {
  const TInterfaceEntry entry = MakeInterfaceEntry(Node(kCp2110DevPath, 0x0100), true);
  EXPECT_EQ(entry.HardwareId, "HID\\VID_10C4&PID_EA80&REV_0100");
  EXPECT_EQ(entry.InstanceId, "HID\\VID_10C4&PID_EA80\\0003:10C4:EA80.0001");
  EXPECT_EQ(entry.Path,
            "\\\\?\\HID#VID_10C4&PID_EA80#0003:10C4:EA80.0001#{4D1E55B2-F16F-11CF-88CB-001111000030}\\hidraw3");
  EXPECT_EQ(entry.ObjectName, "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/0003:10C4:EA80.0001");
  EXPECT_TRUE(entry.Present);
}

TEST(InterfaceEntry, LeavesTheRevisionOutWhenUnknown) {
  EXPECT_EQ(FormatHardwareId(Node(kCp2110DevPath)), "HID\\VID_10C4&PID_EA80");
}

TEST(InterfaceEntry, InstanceIdIsFoundInTheUpperCasedPath) {
  // The detector's rule, for kernel names in either case and node numbers past 9.
  for (const char* devPath : {kCp2110DevPath, "/devices/virtual/misc/uhid/0003:1a86:e429.00ab/hidraw/hidraw12"}) {
    const TInterfaceEntry entry = MakeInterfaceEntry(Node(devPath, 0x0200), true);
    EXPECT_NE(UpperCaseAscii(entry.Path).find(ReplaceBackslashes(entry.InstanceId)), std::string::npos) << devPath;
  }
}

TEST(InterfaceEntry, RemovalGivesTheSamePathAsTheEnumeration) {
  // A removal knows only DEVPATH and DEVNAME; the key must still be the enumerated one.
  const THidrawNode listed = *NodeFromDevPath(kCp2110DevPath, "/dev/hidraw3");
  THidrawNode withRevision = listed;
  withRevision.Revision = 0x0100;
  EXPECT_EQ(FormatInterfacePath(withRevision), FormatInterfacePath(*NodeFromDevPath(kCp2110DevPath, "")));
}

TEST(Text, UpperCasesAsciiOnly) { EXPECT_EQ(UpperCaseAscii("\\\\?\\hid#vid_10c4\xe9z"), "\\\\?\\HID#VID_10C4\xe9Z"); }

TEST(Text, ParsesSysfsHex) {
  EXPECT_EQ(ParseHex16("0100"), 0x0100);
  EXPECT_EQ(ParseHex16("e429"), 0xE429);
  EXPECT_EQ(ParseHex16("7"), 7);
  for (const char* text : {"", "12345", "01G0", " 100", "0x10"}) EXPECT_FALSE(ParseHex16(text)) << text;
}

TEST(Text, NumbersNodes) {
  EXPECT_EQ(NodeNumber("hidraw0"), 0u);
  EXPECT_EQ(NodeNumber("hidraw12"), 12u);
  for (const char* name : {"hidraw", "hidrawx", "hidraw1a", "event3", "hidraw12345678901"})
    EXPECT_FALSE(NodeNumber(name)) << name;
}

struct TUtf8Case {
  const char* Utf8;
  const char* Latin1;
};

class Utf8ToLatin1Case : public ::testing::TestWithParam<TUtf8Case> {};

TEST_P(Utf8ToLatin1Case, Converts) { EXPECT_EQ(Utf8ToLatin1(GetParam().Utf8), GetParam().Latin1); }

INSTANTIATE_TEST_SUITE_P(Strings, Utf8ToLatin1Case,
                         ::testing::Values(TUtf8Case{"CP2110 HID USB-to-UART Bridge", "CP2110 HID USB-to-UART Bridge"},
                                           TUtf8Case{"M\xC3\xBCller \xC2\xB5"
                                                     "A",
                                                     "M\xFCller \xB5"
                                                     "A"},                               // U+00FC, U+00B5
                                           TUtf8Case{"\xC3\xBF", "\xFF"},                // U+00FF, the last one kept
                                           TUtf8Case{"\xC4\x80", "?"},                   // U+0100
                                           TUtf8Case{"5\xE2\x82\xAC", "5?"},             // euro sign
                                           TUtf8Case{"\xE6\xB2\x81\xE6\x81\x92", "??"},  // two CJK characters
                                           TUtf8Case{"\xF0\x9F\x94\x8C!", "?!"},         // a four-byte character
                                           TUtf8Case{"a\x80"
                                                     "b",
                                                     "a?b"},                // stray continuation byte
                                           TUtf8Case{"\xC1\xBC", "??"},     // invalid lead bytes
                                           TUtf8Case{"\xE0\x81\xBC", "?"},  // overlong U+007C
                                           TUtf8Case{"\xC3", "?"},          // cut off at the end
                                           TUtf8Case{"\xC3(", "?("},        // continuation missing
                                           TUtf8Case{"\xFF\xFE", "??"}));

TEST(StringRoleOfIndex, FollowsTheDeviceDescriptor) {
  // A device descriptor with iManufacturer 1, iProduct 2, iSerialNumber 3 ...
  std::vector<std::uint8_t> desc = {18, 1, 0x00, 0x02, 0, 0, 0, 64, 0xC4, 0x10, 0x80, 0xEA, 0x00, 0x01, 1, 2, 3, 1};
  EXPECT_EQ(StringRoleOfIndex(desc.data(), desc.size(), 1), TStringRole::Manufacturer);
  EXPECT_EQ(StringRoleOfIndex(desc.data(), desc.size(), 3), TStringRole::SerialNumber);
  EXPECT_EQ(StringRoleOfIndex(desc.data(), desc.size(), 4), TStringRole::None);
  // ... and one without a manufacturer string, whose product has index 1.
  desc[14] = 0, desc[15] = 1, desc[16] = 0;
  EXPECT_EQ(StringRoleOfIndex(desc.data(), desc.size(), 1), TStringRole::Product);
  EXPECT_EQ(StringRoleOfIndex(desc.data(), desc.size(), 0), TStringRole::None) << "index 0 is the language table";
  EXPECT_EQ(StringRoleOfIndex(desc.data(), 17, 1), TStringRole::None) << "cut-off descriptor";
  desc[1] = 2;
  EXPECT_EQ(StringRoleOfIndex(desc.data(), desc.size(), 1), TStringRole::None) << "not a device descriptor";
}

class HidrawCacheTest : public ::testing::Test {
 protected:
  const THidrawNode first_ = Node("/devices/usb1/1-1/1-1:1.0/0003:1A86:E429.0002/hidraw/hidraw2", 0x0100);
  const THidrawNode second_ = Node("/devices/usb1/1-2/1-2:1.0/0003:10C4:EA80.0005/hidraw/hidraw10", 0x0100);
  THidrawCache cache_;

  std::vector<std::string> Paths(bool presentOnly) const {
    std::vector<std::string> paths;
    for (const auto& entry : cache_.List(presentOnly)) paths.push_back(entry.Path + (entry.Present ? "" : " (gone)"));
    return paths;
  }
};

TEST_F(HidrawCacheTest, ListsPresentByNodeNumberThenGone) {
  cache_.SetPresent({second_, first_});
  EXPECT_EQ(Paths(true), (std::vector<std::string>{FormatInterfacePath(first_), FormatInterfacePath(second_)}));
  cache_.SetPresent({second_});
  EXPECT_EQ(Paths(true), std::vector<std::string>{FormatInterfacePath(second_)});
  EXPECT_EQ(Paths(false),
            (std::vector<std::string>{FormatInterfacePath(second_), FormatInterfacePath(first_) + " (gone)"}));
}

TEST_F(HidrawCacheTest, RemovalOfAnUnknownInterfaceIsRebuiltFromTheEvent) {
  const THidrawNode fromEvent = Node("/devices/usb1/1-3/1-3:1.0/0003:1A86:E429.0009/hidraw/hidraw4");
  const TInterfaceEntry removed = cache_.Removed(fromEvent);
  EXPECT_FALSE(removed.Present);
  EXPECT_EQ(removed.InstanceId, "HID\\VID_1A86&PID_E429\\0003:1A86:E429.0009");
  EXPECT_EQ(removed.HardwareId, "HID\\VID_1A86&PID_E429");
  EXPECT_TRUE(cache_.List(true).empty());
  ASSERT_EQ(cache_.List(false).size(), 1u);
  EXPECT_EQ(cache_.List(false)[0].Path, removed.Path);
}

TEST_F(HidrawCacheTest, RemovalOfAKnownInterfaceKeepsWhatTheEnumerationKnew) {
  cache_.SetPresent({first_});
  THidrawNode fromEvent = first_;
  fromEvent.Revision.reset();
  const TInterfaceEntry removed = cache_.Removed(fromEvent);
  EXPECT_EQ(removed.HardwareId, "HID\\VID_1A86&PID_E429&REV_0100");
  EXPECT_FALSE(cache_.FindPresent(UpperCaseAscii(removed.Path)));
}

TEST_F(HidrawCacheTest, ArrivalAfterRemovalMakesItPresentAgain) {
  cache_.Removed(first_);
  EXPECT_TRUE(cache_.Arrived(first_).Present);
  auto found = cache_.FindPresent(UpperCaseAscii(FormatInterfacePath(first_)));
  ASSERT_TRUE(found);
  EXPECT_EQ(found->DevNode, "/dev/hidraw2");
  EXPECT_FALSE(cache_.FindPresent(FormatInterfacePath(first_))) << "the key is the upper-cased path";
}

TEST_F(HidrawCacheTest, ForgetsTheOldestGoneBeyondItsLimit) {
  std::vector<std::string> removed;
  for (std::size_t i = 0; i <= THidrawCache::kMaxGone; ++i) {
    char devPath[96];
    std::snprintf(devPath, sizeof devPath, "/devices/usb1/0003:1A86:E429.%04zX/hidraw/hidraw%zu", i + 1, i);
    removed.push_back(cache_.Removed(Node(devPath)).Path);
  }
  const auto listed = cache_.List(false);
  ASSERT_EQ(listed.size(), THidrawCache::kMaxGone);
  EXPECT_EQ(listed.front().Path, removed[1]);
  EXPECT_EQ(listed.back().Path, removed.back());
}

}  // namespace
}  // namespace qm::hid::hidraw
