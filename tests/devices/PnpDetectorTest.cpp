#include "devices/USBPNPDetector.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "devices/FakeHidPlatform.h"
#include "devices/uEnumerator.h"

namespace qm {
namespace {

using test::FakeHidPlatform;
using test::FakeInterface;

constexpr TGUID kOtherClass = {0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};

class PnpDetectorTest : public ::testing::Test {
 protected:
  FakeHidPlatform platform;
  hid::TScopedPlatform scoped{platform};
  std::vector<THIDDeviceInfo> arrived;
  std::vector<THIDDeviceInfo> removed;

  void SetUp() override {
    platform.Interfaces.push_back(FakeHidPlatform::Bridge("HID\\VID_1A86&PID_E429&REV_0100", "7&2A6C5F1E&0&0000"));
    platform.Interfaces.push_back(FakeHidPlatform::Bridge("HID\\VID_10C4&PID_EA80&REV_0100", "7&11B0E2C&0&0000"));
  }

  std::unique_ptr<TUSBPNPDetector> Watch(const TArrTGUID& guids) {
    auto detector = std::make_unique<TUSBPNPDetector>(guids);
    detector->SetOnArrived([this](const THIDDeviceInfo& info) { arrived.push_back(info); });
    detector->SetOnRemoved([this](const THIDDeviceInfo& info) { removed.push_back(info); });
    return detector;
  }
  FakeInterface& Cp2110() { return platform.Interfaces[1]; }
  // The path as the enumeration reports it.
  std::string EnumeratedPath(std::size_t i) {
    auto list = TEnumerator::Enumerate({GUID_DEVINTERFACE_HID});
    return list.at(i)->DevicePath;
  }
};

TEST_F(PnpDetectorTest, SubscribesOncePerWatchedHidClassForItsLifetime) {
  {
    auto hidOnly = Watch({GUID_DEVINTERFACE_HID});
    EXPECT_EQ(platform.Subscriptions(), 1u);
    auto other = Watch({kOtherClass});
    EXPECT_EQ(platform.Subscriptions(), 1u);
  }
  EXPECT_EQ(platform.Subscriptions(), 0u);
  platform.Notify(DBT_DEVICEARRIVAL, Cp2110().Entry.Path);
  EXPECT_TRUE(arrived.empty());  // no handler after destruction
}

TEST_F(PnpDetectorTest, ArrivalReportsTheFullRecordOncePerWatchedClass) {
  auto detector = Watch({GUID_DEVINTERFACE_HID, kOtherClass});
  platform.Notify(DBT_DEVICEARRIVAL, Cp2110().Entry.Path);

  ASSERT_EQ(arrived.size(), 1u);
  EXPECT_TRUE(removed.empty());
  const THIDDeviceInfo& info = arrived[0];
  EXPECT_EQ(info.DevicePath, EnumeratedPath(1));
  EXPECT_EQ(info.HardwareId, "HID\\VID_10C4&PID_EA80&REV_0100");
  EXPECT_EQ(info.VID, 0x10C4);
  EXPECT_EQ(info.PID, 0xEA80);
  EXPECT_EQ(info.Product, "Bridge");
  EXPECT_EQ(info.FeatureReportLength, 65);
  EXPECT_EQ(info.ObjectName2, "\\DEVICE\\7&11B0E2C&0&0000");
  EXPECT_EQ(info.Model, bmCH9329);
}

TEST_F(PnpDetectorTest, RemovalOfAGoneDeviceCarriesItsEnumeratedPathAndIdentifiersOnly) {
  const std::string enumerated = EnumeratedPath(1);
  auto detector = Watch({GUID_DEVINTERFACE_HID});
  Cp2110().Entry.Present = false;
  platform.Notify(DBT_DEVICEREMOVECOMPLETE, Cp2110().Entry.Path);

  ASSERT_EQ(removed.size(), 1u);
  EXPECT_TRUE(arrived.empty());
  const THIDDeviceInfo& info = removed[0];
  EXPECT_EQ(info.DevicePath, enumerated);
  EXPECT_EQ(info.VID, 0x10C4);
  EXPECT_EQ(info.PID, 0xEA80);
  EXPECT_EQ(info.ObjectName1, "\\DEVICE\\7&11B0E2C&0&0000");
  EXPECT_EQ(info.ObjectName2, "");
  EXPECT_EQ(info.Manufacturer, "");
  EXPECT_EQ(info.Product, "");
  EXPECT_EQ(info.SerialNumber, "");
  EXPECT_EQ(info.IndexedString1, "");
  EXPECT_EQ(info.FeatureReportLength, 0);
}

struct IgnoredCase {
  const char* name;
  std::uint32_t eventCode;
  std::uint32_t deviceType;
};

class PnpIgnoredTest : public PnpDetectorTest, public ::testing::WithParamInterface<IgnoredCase> {};

TEST_P(PnpIgnoredTest, OtherEventCodesAndDeviceTypesRaiseNothing) {
  auto detector = Watch({GUID_DEVINTERFACE_HID});
  platform.Notify(GetParam().eventCode, Cp2110().Entry.Path, GetParam().deviceType);
  EXPECT_TRUE(arrived.empty());
  EXPECT_TRUE(removed.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, PnpIgnoredTest,
                         ::testing::Values(IgnoredCase{"QueryRemove", DBT_DEVICEQUERYREMOVE, DBT_DEVTYP_DEVICEINTERFACE},
                                           IgnoredCase{"RemovePending", DBT_DEVICEREMOVEPENDING, DBT_DEVTYP_DEVICEINTERFACE},
                                           IgnoredCase{"NodesChanged", DBT_DEVNODES_CHANGED, DBT_DEVTYP_DEVICEINTERFACE},
                                           IgnoredCase{"PortArrival", DBT_DEVICEARRIVAL, DBT_DEVTYP_PORT},
                                           IgnoredCase{"VolumeRemoval", DBT_DEVICEREMOVECOMPLETE, DBT_DEVTYP_VOLUME}),
                         [](const ::testing::TestParamInfo<IgnoredCase>& param) { return std::string(param.param.name); });

TEST_F(PnpDetectorTest, NotificationsNamingNoReadableDeviceRaiseNothing) {
  auto detector = Watch({GUID_DEVINTERFACE_HID});
  platform.Notify(DBT_DEVICEARRIVAL, "\\\\?\\hid#vid_ffff&pid_0001#1&1&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}");
  Cp2110().Openable = false;
  platform.Notify(DBT_DEVICEARRIVAL, Cp2110().Entry.Path);
  // A device without an instance identifier must not match every path.
  Cp2110().Entry.InstanceId.clear();
  platform.Notify(DBT_DEVICEREMOVECOMPLETE, Cp2110().Entry.Path);
  EXPECT_TRUE(arrived.empty());
  EXPECT_TRUE(removed.empty());
}

TEST_F(PnpDetectorTest, ABadIdentifierEndsTheHandlingWithTheConversionError) {
  Cp2110().Entry.HardwareId = "HID\\VID_10C4&PID_EAZ0";
  auto detector = Watch({GUID_DEVINTERFACE_HID});
  EXPECT_THROW(platform.Notify(DBT_DEVICEREMOVECOMPLETE, Cp2110().Entry.Path), EConvertError);
  EXPECT_TRUE(removed.empty());
}

TEST_F(PnpDetectorTest, AHandlerMayDestroyItsDetector) {
  auto detector = Watch({GUID_DEVINTERFACE_HID, GUID_DEVINTERFACE_HID});
  int calls = 0;
  detector->SetOnRemoved([&](const THIDDeviceInfo&) {
    ++calls;
    detector.reset();
  });
  platform.Notify(DBT_DEVICEREMOVECOMPLETE, Cp2110().Entry.Path);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(platform.Subscriptions(), 0u);
}

}  // namespace
}  // namespace qm
