#include "sim/SimHidBus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <future>
#include <ostream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "devices/MainThread.h"
#include "sim/VirtualCH9329.h"
#include "sim/VirtualCP2110.h"

namespace qm::hid {
bool operator==(const TDeviceChange& a, const TDeviceChange& b) {
  return a.EventCode == b.EventCode && a.DeviceType == b.DeviceType && a.Path == b.Path;
}
void PrintTo(const TDeviceChange& c, std::ostream* os) {
  *os << "{0x" << std::hex << c.EventCode << ", " << std::dec << c.DeviceType << ", \"" << c.Path << "\"}";
}
}  // namespace qm::hid

namespace qm::sim {
namespace {

using namespace std::chrono_literals;

constexpr const char* kHidClassSuffix = "#{4d1e55b2-f16f-11cf-88cb-001111000030}";

std::string Upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
  return s;
}

std::vector<std::string> Paths(const std::vector<hid::TInterfaceEntry>& list) {
  std::vector<std::string> paths;
  for (const auto& e : list) paths.push_back(e.Path);
  return paths;
}

std::shared_ptr<TGenericHidInterface> Generic(std::uint16_t vid, std::uint16_t pid, std::uint16_t featureLength) {
  TVirtualIdentity id;
  id.VID = vid;
  id.PID = pid;
  id.Manufacturer = "Maker";
  id.Product = "Gadget";
  id.SerialNumber = "42";
  id.IndexedString1 = "Maker";
  return std::make_shared<TGenericHidInterface>(id, featureLength);
}

class SimHidBusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TMainThread::Instance().BindToCurrentThread();
    TMainThread::Instance().ProcessPending();  // nothing left over from another test
  }
  void TearDown() override { TMainThread::Instance().ProcessPending(); }

  // Subscribes a recorder; returns the subscription.
  int Record(std::vector<hid::TDeviceChange>& into) {
    return bus.Subscribe([&into](const hid::TDeviceChange& c) {
      EXPECT_TRUE(TMainThread::Instance().IsMainThread());
      into.push_back(c);
    });
  }

  TSimHidBus bus;
};

TEST_F(SimHidBusTest, InterfacesAreNamedAsWindowsNamesThem) {
  const auto a = bus.PlugBridge(bmCP2110);
  const auto b = bus.PlugBridge(bmCP2110);
  const auto list = bus.ListInterfaces(true);
  ASSERT_EQ(list.size(), 2u);
  for (const auto& e : list) {
    EXPECT_TRUE(std::regex_match(e.InstanceId, std::regex(R"(HID\\VID_10C4&PID_EA80\\7&[0-9A-F]{8}&0&0000)")))
        << e.InstanceId;
    EXPECT_EQ(e.HardwareId, "HID\\VID_10C4&PID_EA80&REV_0100");
    EXPECT_EQ(e.Path.rfind("\\\\?\\hid#vid_10c4&pid_ea80#7&", 0), 0u) << e.Path;
    EXPECT_EQ(e.Path.substr(e.Path.size() - std::string(kHidClassSuffix).size()), kHidClassSuffix);
    EXPECT_EQ(e.Path, [&] {
      std::string lower = e.Path;
      std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
      return lower;
    }());
    // The removal look-up relies on this: the instance id with "#" for "\" is in the upper-cased path.
    std::string hashed = e.InstanceId;
    std::replace(hashed.begin(), hashed.end(), '\\', '#');
    EXPECT_NE(Upper(e.Path).find(hashed), std::string::npos);
    EXPECT_FALSE(e.ObjectName.empty());
    EXPECT_TRUE(e.Present);
  }
  EXPECT_EQ(list[0].Path, a.Path);
  EXPECT_EQ(list[1].Path, b.Path);
  EXPECT_NE(list[0].InstanceId, list[1].InstanceId);
  EXPECT_NE(list[0].ObjectName, list[1].ObjectName);
}

TEST_F(SimHidBusTest, AnOddHardwareIdIsPresentedAsGiven) {
  TVirtualIdentity id;
  id.VID = 0x1A86;
  id.PID = 0xE429;
  id.HardwareId = "hid\\vid_1a86&pid_e4";
  const TSimDeviceId dev = bus.Plug(std::make_shared<TGenericHidInterface>(id, 65));
  const auto e = bus.Entry(dev);
  EXPECT_EQ(e.HardwareId, "hid\\vid_1a86&pid_e4");
  EXPECT_EQ(e.Path.rfind("\\\\?\\hid#vid_1a86&pid_e429#", 0), 0u) << e.Path;
}

TEST_F(SimHidBusTest, PlugAndUnplugNotifyOnTheMainThreadWhenItPumps) {
  std::vector<hid::TDeviceChange> seen;
  Record(seen);
  // Plugged from another thread, as a test driver or a demo might.
  TPluggedBridge bridge;
  std::thread([&] { bridge = bus.PlugBridge(bmCH9329); }).join();
  EXPECT_TRUE(seen.empty()) << "delivered before the main thread pumped";
  TMainThread::Instance().ProcessPending();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], (hid::TDeviceChange{DBT_DEVICEARRIVAL, DBT_DEVTYP_DEVICEINTERFACE, bridge.Path}));

  EXPECT_TRUE(bus.Unplug(bridge.Id));
  EXPECT_FALSE(bus.Unplug(bridge.Id)) << "unplugged twice";
  TMainThread::Instance().ProcessPending();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1], (hid::TDeviceChange{DBT_DEVICEREMOVECOMPLETE, DBT_DEVTYP_DEVICEINTERFACE, bridge.Path}));
}

TEST_F(SimHidBusTest, AnUnsubscribedHandlerGetsNoQueuedNotification) {
  std::vector<hid::TDeviceChange> first, second, late;
  const int a = Record(first);
  Record(second);
  bus.PlugBridge(bmCP2110);
  bus.Unsubscribe(a);
  Record(late);  // subscribed after the change: not told of it
  TMainThread::Instance().ProcessPending();
  EXPECT_TRUE(first.empty());
  EXPECT_EQ(second.size(), 1u);
  EXPECT_TRUE(late.empty());
}

TEST_F(SimHidBusTest, AHandlerMayUnsubscribeAnotherDuringDelivery) {
  std::vector<hid::TDeviceChange> seen;
  int victim = 0;
  bus.Subscribe([&](const hid::TDeviceChange&) { bus.Unsubscribe(victim); });
  victim = Record(seen);
  bus.PlugBridge(bmCP2110);
  TMainThread::Instance().ProcessPending();
  EXPECT_TRUE(seen.empty());
}

TEST_F(SimHidBusTest, NotificationsQueuedWhenTheBusGoesAreDropped) {
  auto shortLived = std::make_unique<TSimHidBus>();
  int calls = 0;
  shortLived->Subscribe([&](const hid::TDeviceChange&) { ++calls; });
  shortLived->PlugBridge(bmCP2110);
  shortLived.reset();
  TMainThread::Instance().ProcessPending();
  EXPECT_EQ(calls, 0);
}

TEST_F(SimHidBusTest, InjectedNotificationsReachSubscribersUnchanged) {
  std::vector<hid::TDeviceChange> seen;
  Record(seen);
  const std::vector<hid::TDeviceChange> injected = {
      {DBT_DEVICEARRIVAL, DBT_DEVTYP_VOLUME, "E:"},
      {DBT_DEVICEQUERYREMOVE, DBT_DEVTYP_DEVICEINTERFACE, "\\\\?\\hid#x"},
      {DBT_DEVNODES_CHANGED, 0, ""},
  };
  for (const auto& c : injected) bus.InjectNotification(c);
  TMainThread::Instance().ProcessPending();
  EXPECT_EQ(seen, injected);
}

TEST_F(SimHidBusTest, ListingKeepsPlugOrderAndShowsRemovedDevicesOnRequest) {
  const auto a = bus.PlugBridge(bmCP2110);
  const auto b = bus.PlugBridge(bmCH9329);
  const auto c = bus.PlugBridge(bmCP2110);
  ASSERT_TRUE(bus.Unplug(b.Id));

  EXPECT_EQ(Paths(bus.ListInterfaces(true)), (std::vector<std::string>{a.Path, c.Path}));
  const auto all = bus.ListInterfaces(false);
  ASSERT_EQ(Paths(all), (std::vector<std::string>{a.Path, b.Path, c.Path}));
  EXPECT_TRUE(all[0].Present);
  EXPECT_FALSE(all[1].Present);
  EXPECT_TRUE(all[2].Present);
  EXPECT_FALSE(bus.Entry(b.Id).Present);

  // The same device plugged in again comes back under its old name, in its old place.
  EXPECT_EQ(bus.Plug(b.Bridge), b.Id);
  EXPECT_EQ(Paths(bus.ListInterfaces(true)), (std::vector<std::string>{a.Path, b.Path, c.Path}));
  EXPECT_THROW(bus.Plug(b.Bridge), std::logic_error);
}

TEST_F(SimHidBusTest, OpenTakesThePathInEitherCaseAndOnlyForAPresentFreeDevice) {
  const auto bridge = bus.PlugBridge(bmCH9329);
  EXPECT_NE(bus.Open(bridge.Path), nullptr);
  EXPECT_NE(bus.Open(Upper(bridge.Path)), nullptr);
  EXPECT_EQ(bus.Open(bridge.Path + "x"), nullptr);

  bridge.Bridge->SetHeldExclusively(true);
  EXPECT_EQ(bus.Open(bridge.Path), nullptr);
  bridge.Bridge->SetHeldExclusively(false);
  EXPECT_NE(bus.Open(bridge.Path), nullptr);

  bus.Unplug(bridge.Id);
  EXPECT_EQ(bus.Open(bridge.Path), nullptr);
}

struct IdentityCase {
  const char* Name;
  std::function<std::shared_ptr<TVirtualHidInterface>()> Make;
  std::uint16_t VID, PID, FeatureLength;
  const char* Manufacturer;
  const char* Product;
};

class InterfaceIdentity : public SimHidBusTest, public ::testing::WithParamInterface<IdentityCase> {};

TEST_P(InterfaceIdentity, HandleReportsAttributesStringsAndFeatureLength) {
  const auto& p = GetParam();
  const auto device = p.Make();
  const auto dev = bus.Open(bus.Entry(bus.Plug(device)).Path);
  ASSERT_NE(dev, nullptr);
  hid::TAttributes attributes;
  ASSERT_TRUE(dev->GetAttributes(attributes));
  EXPECT_EQ(attributes.VendorID, p.VID);
  EXPECT_EQ(attributes.ProductID, p.PID);
  EXPECT_EQ(attributes.VersionNumber, 0x0100);
  std::string text;
  ASSERT_TRUE(dev->GetManufacturerString(text));
  EXPECT_EQ(text, p.Manufacturer);
  ASSERT_TRUE(dev->GetProductString(text));
  EXPECT_EQ(text, p.Product);
  ASSERT_TRUE(dev->GetIndexedString(1, text));
  EXPECT_EQ(text, p.Manufacturer);
  std::uint16_t length = 0;
  ASSERT_TRUE(dev->GetFeatureReportByteLength(length));
  EXPECT_EQ(length, p.FeatureLength);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, InterfaceIdentity,
    ::testing::Values(
        IdentityCase{"CP2110", [] { return std::make_shared<TVirtualCP2110>(); }, 0x10C4, 0xEA80, 64,
                     "Silicon Laboratories", "CP2110 HID USB-to-UART Bridge"},
        IdentityCase{"CH9329", [] { return std::make_shared<TVirtualCH9329>(); }, 0x1A86, 0xE429, 65, "WCH",
                     "CH9329 Custom HID"},
        IdentityCase{"CH9329OtherIds", [] { return std::make_shared<TVirtualCH9329>(nullptr, 0x1A86, 0xE129); },
                     0x1A86, 0xE129, 65, "WCH", "CH9329 Custom HID"},
        IdentityCase{"Generic65", [] { return Generic(0x0483, 0x5750, 65); }, 0x0483, 0x5750, 65, "Maker", "Gadget"},
        IdentityCase{"CH9329IdsOtherLength", [] { return Generic(0x1A86, 0xE429, 33); }, 0x1A86, 0xE429, 33, "Maker",
                     "Gadget"},
        IdentityCase{"NoFeatureReport", [] { return Generic(0x046D, 0xC077, 0); }, 0x046D, 0xC077, 0, "Maker",
                     "Gadget"}),
    [](const auto& param) { return std::string(param.param.Name); });

TEST_F(SimHidBusTest, SwitchedOnFaultsFailTheirReads) {
  const auto bridge = bus.PlugBridge(bmCP2110);
  const auto dev = bus.Open(bridge.Path);
  ASSERT_NE(dev, nullptr);
  std::string text;
  std::uint16_t length = 0;
  hid::TAttributes attributes;

  bridge.Bridge->SetStringsFail(true);
  EXPECT_FALSE(dev->GetManufacturerString(text));
  EXPECT_FALSE(dev->GetProductString(text));
  EXPECT_FALSE(dev->GetSerialNumberString(text));
  EXPECT_FALSE(dev->GetIndexedString(1, text));
  EXPECT_TRUE(dev->GetFeatureReportByteLength(length));

  bridge.Bridge->SetCapsFail(true);
  EXPECT_FALSE(dev->GetFeatureReportByteLength(length));
  bridge.Bridge->SetAttributesFail(true);
  EXPECT_FALSE(dev->GetAttributes(attributes));
}

TEST_F(SimHidBusTest, UnpluggingKillsOpenHandlesForGood) {
  const auto bridge = bus.PlugBridge(bmCP2110);
  const auto old = bus.Open(bridge.Path);
  ASSERT_NE(old, nullptr);
  bus.Unplug(bridge.Id);
  bus.Plug(bridge.Bridge);

  std::uint8_t report[64] = {0x50};
  std::string text;
  std::uint16_t length = 0;
  EXPECT_EQ(old->ReadInputReport(report, sizeof report, 0), -1);
  EXPECT_EQ(old->WriteOutputReport(report, sizeof report), -1);
  EXPECT_EQ(old->GetFeatureReport(report, sizeof report), -1);
  EXPECT_EQ(old->SetFeatureReport(report, sizeof report), -1);
  EXPECT_FALSE(old->GetProductString(text));
  EXPECT_FALSE(old->GetFeatureReportByteLength(length));

  // A handle of the new stay on the bus works.
  const auto fresh = bus.Open(bridge.Path);
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(fresh->GetFeatureReport(report, sizeof report), 9);
}

enum class Waker { CancelIo, Unplug };

class BlockedRead : public SimHidBusTest, public ::testing::WithParamInterface<std::tuple<TBridgeModel, Waker>> {};

TEST_P(BlockedRead, EndsAtOnceWithAnError) {
  const auto [model, waker] = GetParam();
  const auto bridge = bus.PlugBridge(model);
  const auto reader = bus.Open(bridge.Path);
  const auto other = bus.Open(bridge.Path);
  ASSERT_NE(reader, nullptr);
  std::uint8_t enable[2] = {cp2110::kUartEnable, 1};
  if (model == bmCP2110) {
    ASSERT_GT(reader->SetFeatureReport(enable, sizeof enable), 0);
  }

  // Without a time-out the read would never end by itself.
  auto read = std::async(std::launch::async, [&] {
    std::uint8_t buffer[65];
    return reader->ReadInputReport(buffer, sizeof buffer, -1);
  });
  if (waker == Waker::CancelIo)
    reader->CancelIo();
  else
    bus.Unplug(bridge.Id);
  ASSERT_EQ(read.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(read.get(), -1);

  std::uint8_t buffer[65];
  EXPECT_EQ(reader->ReadInputReport(buffer, sizeof buffer, 1000), -1) << "a later read must fail at once too";
  if (waker == Waker::CancelIo) {
    // Cancelling one handle leaves the other one and the device alone.
    bridge.Line->toHost.Send(enable, 1, 9600);
    EXPECT_GT(other->ReadInputReport(buffer, sizeof buffer, 5000), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Bridges, BlockedRead,
                         ::testing::Combine(::testing::Values(bmCP2110, bmCH9329),
                                            ::testing::Values(Waker::CancelIo, Waker::Unplug)));

TEST_F(SimHidBusTest, AGenericInterfaceHasNoDataButItsReadsStillEnd) {
  const auto dev = bus.Open(bus.Entry(bus.Plug(Generic(0x0483, 0x5750, 65))).Path);
  std::uint8_t report[65] = {};
  EXPECT_EQ(dev->ReadInputReport(report, sizeof report, 0), 0);
  EXPECT_EQ(dev->WriteOutputReport(report, sizeof report), -1);
  EXPECT_EQ(dev->GetFeatureReport(report, sizeof report), -1);
  EXPECT_THROW(Generic(1, 2, 1), std::invalid_argument);
}

}  // namespace
}  // namespace qm::sim
