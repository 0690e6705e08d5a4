// The Windows back end as a whole: notifications sent to its hidden window reach the subscribers on
// the main thread, and the window lives exactly as long as someone subscribes; listing and opening
// the HID interfaces of this system.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/PumpUntil.h"
#include "devices/HIDGlobal.h"
#include "devices/MainThread.h"
#include "devices/USBPNPDetector.h"
#include "devices/uEnumerator.h"
#include "devices/windows/HidPlatformWindows.h"
#include "devices/windows/WinApi.h"
#include "devices/windows/WinSetup.h"
// dbt.h needs the Windows headers above.
#include <dbt.h>

namespace qm::hid::win {
namespace {

constexpr DWORD kGenerousMs = 10000;
// dbt.h's codes as the notifications carry them.
constexpr std::uint32_t kArrival = DBT_DEVICEARRIVAL;
constexpr std::uint32_t kRemoveComplete = DBT_DEVICEREMOVECOMPLETE;
constexpr std::uint32_t kInterfaceType = DBT_DEVTYP_DEVICEINTERFACE;
const std::string kMeterPath = "\\\\?\\hid#vid_1a86&pid_e429#7&1b2c3d4e&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";

using TRecord = std::vector<std::uint64_t>;  // 8-byte units keep the structures aligned

// A notification record as the system lays it out: the structure, and for a named record the name
// running on past the structure's end; the header's size covers it all.
template <typename TFixed>
TRecord MakeRecord(const TFixed& fixed, std::size_t nameOffset = 0, const void* name = nullptr,
                   std::size_t nameBytes = 0) {
  const std::size_t size = std::max(sizeof fixed, nameOffset + nameBytes);
  TRecord record((size + 7) / 8);
  std::memcpy(record.data(), &fixed, sizeof fixed);
  if (nameBytes > 0) std::memcpy(reinterpret_cast<std::uint8_t*>(record.data()) + nameOffset, name, nameBytes);
  reinterpret_cast<DEV_BROADCAST_HDR*>(record.data())->dbch_size = static_cast<DWORD>(size);
  return record;
}

TRecord InterfaceRecord(const std::string& path) {
  DEV_BROADCAST_DEVICEINTERFACE_A fixed{};
  fixed.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  fixed.dbcc_classguid = HidInterfaceClass();
  return MakeRecord(fixed, offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name), path.c_str(), path.size() + 1);
}

// The same record with a UTF-16 name, as a Unicode registration gets it.
TRecord WideInterfaceRecord(const std::string& path) {
  DEV_BROADCAST_DEVICEINTERFACE_W fixed{};
  fixed.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  fixed.dbcc_classguid = HidInterfaceClass();
  const std::wstring name(path.begin(), path.end());
  return MakeRecord(fixed, offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name), name.c_str(),
                    (name.size() + 1) * sizeof(wchar_t));
}

LPARAM Param(const TRecord& record) { return reinterpret_cast<LPARAM>(record.data()); }

// The four hexadecimal digits after `key` in a hardware identifier ("HID\VID_1A86&PID_E429").
std::optional<std::uint16_t> HexAfter(const std::string& id, const std::string& key) {
  const auto at = TEnumerator::UpperCase(id).find(key);
  if (at == std::string::npos || at + key.size() + 4 > id.size()) return std::nullopt;
  const std::string digits = id.substr(at + key.size(), 4);
  if (digits.find_first_not_of("0123456789ABCDEFabcdef") != std::string::npos) return std::nullopt;
  return static_cast<std::uint16_t>(std::stoul(digits, nullptr, 16));
}

// The thread that runs `window`, opened so that its end can be waited for.
TWinHandle ThreadOf(HWND window) {
  return TWinHandle(OpenThread(SYNCHRONIZE, FALSE, GetWindowThreadProcessId(window, nullptr)));
}

class WindowsHidPlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TMainThread::Instance().BindToCurrentThread();
    TMainThread::Instance().ProcessPending();
  }
  void TearDown() override { TMainThread::Instance().ProcessPending(); }

  struct TReceived {
    std::string Handler;
    TDeviceChange Change;
  };

  // Subscribes a handler that records each change it gets, tagged with `name`.
  int Record(const std::string& name) {
    return platform_.Subscribe([this, name](const TDeviceChange& change) {
      EXPECT_TRUE(TMainThread::Instance().IsMainThread());
      received_.push_back({name, change});
    });
  }

  // Sends a notification to the hidden window as the system does; returns the window's answer.
  LRESULT Notify(WPARAM event, LPARAM record) {
    HWND window = platform_.NotifyWindow();
    EXPECT_NE(window, nullptr);
    return SendMessageA(window, WM_DEVICECHANGE, event, record);
  }

  bool PumpUntilReceived(std::size_t count) {
    return test::PumpUntil([&] { return received_.size() >= count; });
  }

  TWindowsHidPlatform platform_;
  std::vector<TReceived> received_;
};

TEST_F(WindowsHidPlatformTest, ArrivalsAndRemovalsReachTheSubscribersOnTheMainThread) {
  const int id = Record("detector");
  EXPECT_EQ(Notify(DBT_DEVICEARRIVAL, Param(InterfaceRecord(kMeterPath))), TRUE);
  EXPECT_EQ(Notify(DBT_DEVICEREMOVECOMPLETE, Param(WideInterfaceRecord(kMeterPath))), TRUE);
  ASSERT_TRUE(PumpUntilReceived(2));
  ASSERT_EQ(received_.size(), 2u);
  EXPECT_EQ(received_[0].Change.EventCode, kArrival);
  EXPECT_EQ(received_[1].Change.EventCode, kRemoveComplete);
  for (const TReceived& got : received_) {
    EXPECT_EQ(got.Change.DeviceType, kInterfaceType);
    EXPECT_EQ(got.Change.Path, kMeterPath);
  }
  platform_.Unsubscribe(id);
}

// Every WM_DEVICECHANGE is passed on with its code and record type; the detector drops what it
// does not handle.
TEST_F(WindowsHidPlatformTest, OtherRecordsAndCodesPassWithTheirCodeAndType) {
  DEV_BROADCAST_VOLUME volume{};
  volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
  volume.dbcv_unitmask = 1u << 4;  // drive E:
  DEV_BROADCAST_PORT_A port{};
  port.dbcp_devicetype = DBT_DEVTYP_PORT;
  const char portName[] = "COM3";
  const TRecord volumeRecord = MakeRecord(volume);
  const TRecord portRecord = MakeRecord(port, offsetof(DEV_BROADCAST_PORT_A, dbcp_name), portName, sizeof portName);
  const TRecord interfaceRecord = InterfaceRecord(kMeterPath);
  struct TCase {
    const char* Name;
    WPARAM Event;
    LPARAM Record;
    std::uint32_t DeviceType;
    std::string Path;
  };
  const TCase cases[] = {
      {"volume arrival", DBT_DEVICEARRIVAL, Param(volumeRecord), DBT_DEVTYP_VOLUME, ""},
      {"port removal", DBT_DEVICEREMOVECOMPLETE, Param(portRecord), DBT_DEVTYP_PORT, ""},
      {"interface query-remove", DBT_DEVICEQUERYREMOVE, Param(interfaceRecord), DBT_DEVTYP_DEVICEINTERFACE, kMeterPath},
      {"device tree changed", DBT_DEVNODES_CHANGED, 0, 0, ""},
      // An event without a record whose lParam is not null: it must not be read as one.
      {"configuration changed", DBT_CONFIGCHANGED, 0x10, 0, ""},
  };
  const int id = Record("detector");
  for (const TCase& c : cases) EXPECT_EQ(Notify(c.Event, c.Record), TRUE) << c.Name;
  ASSERT_TRUE(PumpUntilReceived(std::size(cases)));
  ASSERT_EQ(received_.size(), std::size(cases));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(received_[i].Change.EventCode, static_cast<std::uint32_t>(cases[i].Event)) << cases[i].Name;
    EXPECT_EQ(received_[i].Change.DeviceType, cases[i].DeviceType) << cases[i].Name;
    EXPECT_EQ(received_[i].Change.Path, cases[i].Path) << cases[i].Name;
  }
  platform_.Unsubscribe(id);
}

TEST_F(WindowsHidPlatformTest, NothingIsDeliveredAfterUnsubscribe) {
  const int first = Record("first");
  const int second = Record("second");
  EXPECT_EQ(Notify(DBT_DEVICEARRIVAL, Param(InterfaceRecord(kMeterPath))), TRUE);  // queued for both
  platform_.Unsubscribe(first);
  ASSERT_TRUE(PumpUntilReceived(1));
  TMainThread::Instance().ProcessPending();
  ASSERT_EQ(received_.size(), 1u);
  EXPECT_EQ(received_[0].Handler, "second");

  EXPECT_EQ(Notify(DBT_DEVICEREMOVECOMPLETE, Param(InterfaceRecord(kMeterPath))), TRUE);
  platform_.Unsubscribe(second);
  TMainThread::Instance().WaitAndProcess(std::chrono::milliseconds(50));
  EXPECT_EQ(received_.size(), 1u);
}

TEST_F(WindowsHidPlatformTest, TheWindowThreadEndsWithTheLastSubscriber) {
  const int first = Record("first");
  const int second = Record("second");
  HWND window = platform_.NotifyWindow();
  ASSERT_NE(window, nullptr);
  const TWinHandle thread = ThreadOf(window);
  ASSERT_TRUE(thread);
  EXPECT_NE(GetWindowThreadProcessId(window, nullptr), GetCurrentThreadId()) << "a thread of its own";

  platform_.Unsubscribe(first);
  EXPECT_EQ(platform_.NotifyWindow(), window) << "one window for all subscribers";
  EXPECT_EQ(WaitForSingleObject(thread.Get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));

  platform_.Unsubscribe(second);
  EXPECT_EQ(platform_.NotifyWindow(), nullptr);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(WaitForSingleObject(thread.Get(), kGenerousMs), WAIT_OBJECT_0);

  // The next subscriber starts a window again.
  const int again = Record("again");
  EXPECT_EQ(Notify(DBT_DEVICEARRIVAL, Param(InterfaceRecord(kMeterPath))), TRUE);
  ASSERT_TRUE(PumpUntilReceived(1));
  EXPECT_EQ(received_[0].Handler, "again");
  platform_.Unsubscribe(again);
}

TEST_F(WindowsHidPlatformTest, DestroyingThePlatformEndsTheWindowThread) {
  auto platform = std::make_unique<TWindowsHidPlatform>();
  platform->Subscribe([](const TDeviceChange&) {});
  HWND window = platform->NotifyWindow();
  ASSERT_NE(window, nullptr);
  const TWinHandle thread = ThreadOf(window);
  ASSERT_TRUE(thread);
  platform.reset();
  EXPECT_EQ(WaitForSingleObject(thread.Get(), kGenerousMs), WAIT_OBJECT_0);
  EXPECT_FALSE(IsWindow(window));
}

// Whatever HID interfaces this system has (Wine makes a virtual mouse and keyboard) are listed with
// identifiers the enumeration and the detector can use, and those that open describe themselves.
TEST_F(WindowsHidPlatformTest, ListedInterfacesAreUsableAndOpen) {
  const std::vector<TInterfaceEntry> present = platform_.ListInterfaces(true);
  for (const TInterfaceEntry& entry : present) {
    SCOPED_TRACE(entry.Path);
    EXPECT_TRUE(entry.Present);
    ASSERT_FALSE(entry.InstanceId.empty());
    ASSERT_EQ(entry.Path.rfind("\\\\?\\", 0), 0u);
    // The rule the plug-and-play detector matches a removal by.
    std::string key = entry.InstanceId;
    std::replace(key.begin(), key.end(), '\\', '#');
    EXPECT_NE(TEnumerator::UpperCase(entry.Path).find(TEnumerator::UpperCase(key)), std::string::npos);
    const auto vid = HexAfter(entry.HardwareId, "VID_");
    const auto pid = HexAfter(entry.HardwareId, "PID_");
    ASSERT_TRUE(vid && pid) << entry.HardwareId;

    // Opened by its upper-cased path, as the enumeration does. Windows keeps some devices to
    // itself (keyboards and mice on a real system); those need not open.
    std::unique_ptr<THidDevice> device = platform_.Open(TEnumerator::UpperCase(entry.Path));
    if (!device) continue;
    TAttributes attributes;
    ASSERT_TRUE(device->GetAttributes(attributes));
    EXPECT_EQ(attributes.VendorID, *vid);
    EXPECT_EQ(attributes.ProductID, *pid);
    std::uint16_t featureLength = 0;
    EXPECT_TRUE(device->GetFeatureReportByteLength(featureLength));
    // A read left pending on a real HID driver must not hold up closing the device.
    std::uint8_t report[256];
    EXPECT_GE(device->ReadInputReport(report, sizeof report, 0), 0);
    auto closed = std::async(std::launch::async, [&] { device.reset(); });
    EXPECT_EQ(closed.wait_for(std::chrono::milliseconds(kGenerousMs)), std::future_status::ready);
  }

  const std::vector<TInterfaceEntry> all = platform_.ListInterfaces(false);
  ASSERT_GE(all.size(), present.size());
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (i < present.size())
      EXPECT_EQ(all[i].InstanceId, present[i].InstanceId);
    else
      EXPECT_FALSE(all[i].Present) << all[i].InstanceId;
  }
}

TEST_F(WindowsHidPlatformTest, OpeningAPathThatIsNotThereFails) {
  EXPECT_EQ(platform_.Open(kMeterPath), nullptr);
  EXPECT_EQ(platform_.Open(TEnumerator::UpperCase(kMeterPath)), nullptr);
  EXPECT_EQ(platform_.Open(""), nullptr);
  EXPECT_NE(dynamic_cast<TWindowsHidPlatform*>(&NativePlatform()), nullptr) << "the native back end on Windows";
}

// The core over this system's interfaces (Wine's virtual mouse and keyboard; whatever a real
// system has): the enumeration's records, and the plug-and-play detector matching a notification
// of one of them, as it will a bridge's.
TEST_F(WindowsHidPlatformTest, TheCoreDescribesTheInterfacesAndMatchesTheirNotifications) {
  TScopedPlatform use(platform_);
  const THIDDeviceList list = TEnumerator::Enumerate({GUID_DEVINTERFACE_HID});
  if (list.empty()) GTEST_SKIP() << "no HID interface here can be opened";
  for (const auto& info : list) {
    SCOPED_TRACE(info->DevicePath);
    EXPECT_EQ(info->DevicePath, TEnumerator::UpperCase(info->DevicePath));
    EXPECT_EQ(info->HardwareId, TEnumerator::UpperCase(info->HardwareId));
    EXPECT_EQ(info->VID, HexAfter(info->HardwareId, "VID_").value_or(0));
    EXPECT_EQ(info->PID, HexAfter(info->HardwareId, "PID_").value_or(0));
    EXPECT_EQ(info->ObjectName2, info->ObjectName1);
  }
  const THIDDeviceInfo& known = *list.front();

  TUSBPNPDetector detector({GUID_DEVINTERFACE_HID});
  std::vector<THIDDeviceInfo> arrived, removed;
  detector.SetOnArrived([&](const THIDDeviceInfo& info) { arrived.push_back(info); });
  detector.SetOnRemoved([&](const THIDDeviceInfo& info) { removed.push_back(info); });
  // Windows names the interface in lower case; the detector upper-cases it.
  std::string path = known.DevicePath;
  for (char& c : path) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  Notify(DBT_DEVICEARRIVAL, Param(InterfaceRecord(path)));
  Notify(DBT_DEVICEREMOVECOMPLETE, Param(InterfaceRecord(path)));
  ASSERT_TRUE(test::PumpUntil([&] { return arrived.size() + removed.size() >= 2; }));
  ASSERT_EQ(arrived.size(), 1u);
  ASSERT_EQ(removed.size(), 1u);
  EXPECT_EQ(arrived[0].DevicePath, known.DevicePath);
  EXPECT_EQ(arrived[0].VID, known.VID);
  EXPECT_EQ(arrived[0].PID, known.PID);
  EXPECT_EQ(arrived[0].FeatureReportLength, known.FeatureReportLength);
  EXPECT_EQ(removed[0].DevicePath, known.DevicePath);  // what IsOpenDevice compares
  EXPECT_EQ(removed[0].VID, known.VID);
  EXPECT_TRUE(removed[0].ObjectName2.empty());
}

}  // namespace
}  // namespace qm::hid::win
