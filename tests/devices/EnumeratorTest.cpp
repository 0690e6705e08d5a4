#include "devices/uEnumerator.h"

#include <gtest/gtest.h>

#include "devices/FakeHidPlatform.h"

namespace qm {
namespace {

using test::FakeHidPlatform;
using test::FakeInterface;

constexpr TGUID kOtherClass = {0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};

struct IdCase {
  const char* hardwareId;
  std::uint16_t vid;
  std::uint16_t pid;
};

class HardwareIdTest : public ::testing::TestWithParam<IdCase> {};

TEST_P(HardwareIdTest, IdentifiersComeFromTheUpperCasedHardwareId) {
  const auto& c = GetParam();
  hid::TInterfaceEntry entry;
  entry.HardwareId = c.hardwareId;
  THIDDeviceInfo info;
  EXPECT_TRUE(TEnumerator::ReadDeviceProperties(info, entry, DBT_DEVICEARRIVAL));
  EXPECT_EQ(info.HardwareId, TEnumerator::UpperCase(c.hardwareId));
  EXPECT_EQ(info.VID, c.vid);
  EXPECT_EQ(info.PID, c.pid);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HardwareIdTest,
    ::testing::Values(IdCase{"HID\\VID_1A86&PID_E429&REV_0100", 0x1A86, 0xE429},
                      IdCase{"hid\\vid_10c4&pid_ea80&rev_0100", 0x10C4, 0xEA80},
                      IdCase{"HID\\PID_E429&VID_1A", 0x001A, 0xE429},              // two characters after "VID_"
                      IdCase{"USB\\ROOT_HUB", 0, 0}, IdCase{"", 0, 0}));

struct BadIdCase {
  const char* hardwareId;
  const char* message;
};

class BadHardwareIdTest : public ::testing::TestWithParam<BadIdCase> {};

TEST_P(BadHardwareIdTest, NonHexCharactersRaiseTheConversionError) {
  hid::TInterfaceEntry entry;
  entry.HardwareId = GetParam().hardwareId;
  THIDDeviceInfo info;
  try {
    TEnumerator::ReadDeviceProperties(info, entry, DBT_DEVICEARRIVAL);
    FAIL() << "no error for " << GetParam().hardwareId;
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), GetParam().message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadHardwareIdTest,
    ::testing::Values(BadIdCase{"HID\\VID_1A&PID_E429", "'$1A&P' is not a valid integer value"},
                      BadIdCase{"hid\\vid_10c4&pid_xy", "'$XY' is not a valid integer value"},
                      BadIdCase{"HID\\VID_ 1A8&PID_E429", "'$ 1A8' is not a valid integer value"},
                      BadIdCase{"HID\\VID_1A86&PID_", "'$' is not a valid integer value"}));

class EnumeratorTest : public ::testing::Test {
 protected:
  FakeHidPlatform platform;
  hid::TScopedPlatform scoped{platform};

  FakeInterface& Add(const std::string& hardwareId, const std::string& instance) {
    platform.Interfaces.push_back(FakeHidPlatform::Bridge(hardwareId, instance));
    return platform.Interfaces.back();
  }
  static std::vector<std::string> Paths(const THIDDeviceList& list) {
    std::vector<std::string> out;
    for (const auto& info : list) out.push_back(info->DevicePath);
    return out;
  }
};

TEST_F(EnumeratorTest, DescribesEachInterfaceInUpperCase) {
  FakeInterface& f = Add("hid\\vid_1a86&pid_e429&rev_0100", "7&2a6c5f1e&0&0000");
  f.Manufacturer = "wch.cn";
  f.Product = "CH9329 bridge";
  f.SerialNumber = "sn1";
  f.Indexed1 = "idx";

  THIDDeviceList list = TEnumerator::Enumerate({GUID_DEVINTERFACE_HID});

  ASSERT_EQ(list.size(), 1u);
  const THIDDeviceInfo& info = *list[0];
  EXPECT_EQ(info.DevicePath, "\\\\?\\HID#VID_1A86&PID_E429#7&2A6C5F1E&0&0000#{4D1E55B2-F16F-11CF-88CB-001111000030}");
  EXPECT_EQ(info.HardwareId, "HID\\VID_1A86&PID_E429&REV_0100");
  EXPECT_EQ(info.ObjectName1, "\\DEVICE\\7&2A6C5F1E&0&0000");
  EXPECT_EQ(info.ObjectName2, info.ObjectName1);
  EXPECT_EQ(info.ObjectName3, info.ObjectName1);
  // The HID strings are kept as the device gives them.
  EXPECT_EQ(info.Manufacturer, "wch.cn");
  EXPECT_EQ(info.Product, "CH9329 bridge");
  EXPECT_EQ(info.SerialNumber, "sn1");
  EXPECT_EQ(info.IndexedString1, "idx");
  EXPECT_EQ(info.VID, 0x1A86);
  EXPECT_EQ(info.PID, 0xE429);
  EXPECT_EQ(info.FeatureReportLength, 65);
  EXPECT_EQ(info.Model, bmCH9329);
}

TEST_F(EnumeratorTest, LeavesOutInterfacesThatCannotBeOpenedOrRead) {
  Add("HID\\VID_0001&PID_0001&REV_0100", "1&A&0&0000");
  Add("HID\\VID_0002&PID_0002&REV_0100", "2&A&0&0000").Openable = false;
  Add("HID\\VID_0003&PID_0003&REV_0100", "3&A&0&0000").AttributesReadable = false;
  Add("HID\\VID_0004&PID_0004&REV_0100", "4&A&0&0000").FeatureLength = std::nullopt;
  Add("HID\\VID_0005&PID_0005&REV_0100", "5&A&0&0000").Entry.Present = false;
  Add("HID\\VID_0006&PID_0006&REV_0100", "6&A&0&0000").FeatureLength = 64;

  THIDDeviceList list = TEnumerator::Enumerate({GUID_DEVINTERFACE_HID});

  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0]->VID, 0x0001);
  EXPECT_EQ(list[1]->VID, 0x0006);
  EXPECT_EQ(list[1]->FeatureReportLength, 64);
}

TEST_F(EnumeratorTest, UnreadableStringsStayEmpty) {
  FakeInterface& f = Add("HID\\VID_10C4&PID_EA80&REV_0100", "7&1&0&0000");
  f.Manufacturer = f.Product = f.SerialNumber = f.Indexed1 = std::nullopt;

  THIDDeviceList list = TEnumerator::Enumerate({GUID_DEVINTERFACE_HID});

  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0]->Manufacturer, "");
  EXPECT_EQ(list[0]->Product, "");
  EXPECT_EQ(list[0]->SerialNumber, "");
  EXPECT_EQ(list[0]->IndexedString1, "");
  EXPECT_EQ(list[0]->PID, 0xEA80);
}

TEST_F(EnumeratorTest, ListsEachClassInTurnAndNothingForOtherClasses) {
  Add("HID\\VID_0001&PID_0001&REV_0100", "1&A&0&0000");
  Add("HID\\VID_0002&PID_0002&REV_0100", "2&A&0&0000");
  const auto one = Paths(TEnumerator::Enumerate({GUID_DEVINTERFACE_HID}));
  ASSERT_EQ(one.size(), 2u);

  EXPECT_TRUE(TEnumerator::Enumerate({kOtherClass}).empty());
  EXPECT_TRUE(TEnumerator::Enumerate({}).empty());
  EXPECT_EQ(Paths(TEnumerator::Enumerate({kOtherClass, GUID_DEVINTERFACE_HID})), one);
  EXPECT_EQ(Paths(TEnumerator::Enumerate({GUID_DEVINTERFACE_HID, GUID_DEVINTERFACE_HID})),
            (std::vector<std::string>{one[0], one[1], one[0], one[1]}));
}

TEST_F(EnumeratorTest, ABadIdentifierEndsTheEnumeration) {
  Add("HID\\VID_0001&PID_0001&REV_0100", "1&A&0&0000");
  Add("HID\\VID_00G1&PID_0001&REV_0100", "2&A&0&0000");
  Add("HID\\VID_0003&PID_0003&REV_0100", "3&A&0&0000");
  EXPECT_THROW(
      {
        try {
          TEnumerator::Enumerate({GUID_DEVINTERFACE_HID});
        } catch (const EConvertError& e) {
          EXPECT_STREQ(e.what(), "'$00G1' is not a valid integer value");
          throw;
        }
      },
      EConvertError);
}

TEST(RegistryPropertyTest, ReadsTheTwoKnownPropertiesInUpperCase) {
  hid::TInterfaceEntry entry;
  entry.HardwareId = "hid\\vid_1a86";
  const char objectName[] = "\\Device\\00000042\0\\Device\\1";  // a text ends at its zero byte
  entry.ObjectName.assign(objectName, sizeof objectName - 1);
  EXPECT_EQ(TEnumerator::GetDeviceRegistryProperty(entry, SPDRP_HARDWAREID), "HID\\VID_1A86");
  EXPECT_EQ(TEnumerator::GetDeviceRegistryProperty(entry, SPDRP_PHYSICAL_DEVICE_OBJECT_NAME), "\\DEVICE\\00000042");
  EXPECT_EQ(TEnumerator::GetDeviceRegistryProperty(entry, 0), "");  // a property the platform does not offer
}

}  // namespace
}  // namespace qm
