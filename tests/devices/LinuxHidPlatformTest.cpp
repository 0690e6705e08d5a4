// The Linux back end over stand-ins for udev and hidraw: listing, opening by path, and the
// notifications of the watch; and a smoke run over this machine's real udev.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "devices/HIDGlobal.h"
#include "devices/MainThread.h"
#include "devices/linux/HidPlatformLinux.h"
#include "devices/linux/HidrawDevice.h"

namespace qm::hid::hidraw {
namespace {

constexpr const char* kBridgeDevPath = "/devices/pci0000:00/usb1/1-2/1-2:1.0/0003:10C4:EA80.0001/hidraw/hidraw3";

// udev and hidraw as the test sets them up. Events are raised from a thread of their own, as the
// real watch does.
class TFakeSystem {
 public:
  TLinuxHidPlatform::TSystem System() {
    return {[this] {
              std::lock_guard lock(mutex_);
              ++scans_;
              return present_;
            },
            [this](const THidrawNode& node) -> std::unique_ptr<THidDevice> {
              std::lock_guard lock(mutex_);
              opened_.push_back(node.DevNode);
              return THidrawDevice::Adopt(open("/dev/null", O_RDWR | O_CLOEXEC), {});
            },
            [this](TNodeEventHandler handler) -> std::unique_ptr<TNodeWatch> {
              std::lock_guard lock(mutex_);
              handler_ = std::move(handler);
              ++watchesStarted_;
              return std::make_unique<TWatch>(*this);
            }};
  }

  void SetPresent(std::vector<THidrawNode> nodes) {
    std::lock_guard lock(mutex_);
    present_ = std::move(nodes);
  }
  void Raise(const char* action, const THidrawNode& node) {
    TNodeEventHandler handler;
    {
      std::lock_guard lock(mutex_);
      handler = handler_;
    }
    ASSERT_TRUE(handler) << "no watch running";
    std::thread([&] { handler(action, node); }).join();
  }
  int Scans() {
    std::lock_guard lock(mutex_);
    return scans_;
  }
  std::vector<std::string> Opened() {
    std::lock_guard lock(mutex_);
    return opened_;
  }
  bool Watching() {
    std::lock_guard lock(mutex_);
    return static_cast<bool>(handler_);
  }
  int WatchesStarted() {
    std::lock_guard lock(mutex_);
    return watchesStarted_;
  }

 private:
  struct TWatch : TNodeWatch {
    explicit TWatch(TFakeSystem& system) : System(system) {}
    ~TWatch() override {
      std::lock_guard lock(System.mutex_);
      System.handler_ = nullptr;
    }
    TFakeSystem& System;
  };

  std::mutex mutex_;
  std::vector<THidrawNode> present_;
  std::vector<std::string> opened_;
  TNodeEventHandler handler_;
  int scans_ = 0;
  int watchesStarted_ = 0;
};

THidrawNode Node(const char* devPath, std::optional<std::uint16_t> revision = std::nullopt) {
  auto node = *NodeFromDevPath(devPath, "");
  node.Revision = revision;
  return node;
}

class LinuxHidPlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TMainThread::Instance().BindToCurrentThread();
    TMainThread::Instance().ProcessPending();
  }
  void TearDown() override { TMainThread::Instance().ProcessPending(); }

  // Subscribes a handler that records each change it gets, tagged with `name`.
  int Record(const std::string& name) {
    return platform_.Subscribe([this, name](const TDeviceChange& change) {
      EXPECT_TRUE(TMainThread::Instance().IsMainThread());
      received_.push_back({name, change});
    });
  }

  struct TReceived {
    std::string Handler;
    TDeviceChange Change;
  };

  TFakeSystem system_;
  TLinuxHidPlatform platform_{system_.System()};
  std::vector<TReceived> received_;
};

TEST_F(LinuxHidPlatformTest, ArrivalAndRemovalReachSubscribersOnTheMainThread) {
  Record("detector");
  const THidrawNode bridge = Node(kBridgeDevPath, 0x0100);
  const std::string path = FormatInterfacePath(bridge);

  system_.SetPresent({bridge});
  system_.Raise("add", bridge);
  EXPECT_TRUE(received_.empty()) << "delivered only when the main thread pumps";
  TMainThread::Instance().ProcessPending();
  ASSERT_EQ(received_.size(), 1u);
  EXPECT_EQ(received_[0].Change.EventCode, DBT_DEVICEARRIVAL);
  EXPECT_EQ(received_[0].Change.DeviceType, DBT_DEVTYP_DEVICEINTERFACE);
  EXPECT_EQ(received_[0].Change.Path, path);

  // Unplugged: sysfs is gone, the event names the node by its DEVPATH only.
  system_.SetPresent({});
  system_.Raise("remove", Node(kBridgeDevPath));
  TMainThread::Instance().ProcessPending();
  ASSERT_EQ(received_.size(), 2u);
  EXPECT_EQ(received_[1].Change.EventCode, DBT_DEVICEREMOVECOMPLETE);
  EXPECT_EQ(received_[1].Change.Path, path);

  EXPECT_TRUE(platform_.ListInterfaces(true).empty());
  const auto known = platform_.ListInterfaces(false);
  ASSERT_EQ(known.size(), 1u);
  EXPECT_FALSE(known[0].Present);
  EXPECT_EQ(known[0].Path, path);
  EXPECT_EQ(known[0].HardwareId, "HID\\VID_10C4&PID_EA80&REV_0100") << "what the arrival knew is kept";
}

TEST_F(LinuxHidPlatformTest, RemovalOfANodeNeverSeenIsStillListed) {
  Record("detector");
  system_.Raise("remove", Node(kBridgeDevPath));
  TMainThread::Instance().ProcessPending();
  ASSERT_EQ(received_.size(), 1u);
  const auto known = platform_.ListInterfaces(false);
  ASSERT_EQ(known.size(), 1u);
  EXPECT_EQ(known[0].Path, received_[0].Change.Path);
  EXPECT_EQ(known[0].InstanceId, "HID\\VID_10C4&PID_EA80\\0003:10C4:EA80.0001");
}

TEST_F(LinuxHidPlatformTest, OtherActionsRaiseNothing) {
  Record("detector");
  for (const char* action : {"change", "bind", "unbind", "move", ""}) system_.Raise(action, Node(kBridgeDevPath));
  TMainThread::Instance().ProcessPending();
  EXPECT_TRUE(received_.empty());
}

TEST_F(LinuxHidPlatformTest, AnUnsubscribedHandlerMissesQueuedNotifications) {
  const int early = Record("early");
  Record("second");
  system_.Raise("add", Node(kBridgeDevPath));
  platform_.Unsubscribe(early);
  Record("late");  // subscribed after the change happened
  TMainThread::Instance().ProcessPending();
  ASSERT_EQ(received_.size(), 1u);
  EXPECT_EQ(received_[0].Handler, "second");
}

TEST_F(LinuxHidPlatformTest, AHandlerRemovedByAnEarlierOneIsSkipped) {
  int late = 0;
  platform_.Subscribe([&](const TDeviceChange&) { platform_.Unsubscribe(late); });
  late = Record("late");
  system_.Raise("add", Node(kBridgeDevPath));
  TMainThread::Instance().ProcessPending();
  EXPECT_TRUE(received_.empty());
}

TEST_F(LinuxHidPlatformTest, TheWatchRunsWhileAnyoneIsSubscribed) {
  EXPECT_FALSE(system_.Watching());
  const int first = Record("first");
  const int second = Record("second");
  EXPECT_TRUE(system_.Watching());
  EXPECT_EQ(system_.WatchesStarted(), 1);
  platform_.Unsubscribe(first);
  platform_.Unsubscribe(12345);  // unknown: changes nothing
  EXPECT_TRUE(system_.Watching());
  platform_.Unsubscribe(second);
  EXPECT_FALSE(system_.Watching());
  Record("again");
  EXPECT_EQ(system_.WatchesStarted(), 2);
}

TEST_F(LinuxHidPlatformTest, DestructionEndsTheWatchAndQueuedNotifications) {
  TFakeSystem system;
  bool called = false;
  {
    TLinuxHidPlatform platform(system.System());
    platform.Subscribe([&](const TDeviceChange&) { called = true; });
    system.Raise("add", Node(kBridgeDevPath));
  }
  EXPECT_FALSE(system.Watching());
  TMainThread::Instance().ProcessPending();
  EXPECT_FALSE(called);
}

TEST_F(LinuxHidPlatformTest, OpenMapsThePathInAnyCaseToItsNode) {
  system_.SetPresent({Node(kBridgeDevPath, 0x0100)});
  const auto listed = platform_.ListInterfaces(true);
  ASSERT_EQ(listed.size(), 1u);
  const std::string path = listed[0].Path;
  std::string lower = path;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));

  for (const std::string& asked : {path, UpperCaseAscii(path), lower})
    EXPECT_NE(platform_.Open(asked), nullptr) << asked;
  EXPECT_EQ(system_.Opened(), (std::vector<std::string>(3, "/dev/hidraw3")));
}

TEST_F(LinuxHidPlatformTest, OpenScansAgainOnceForAPathItDoesNotKnow) {
  const THidrawNode later = Node("/devices/usb1/1-4/1-4:1.0/0003:1A86:E429.0004/hidraw/hidraw5");
  const int scans = system_.Scans();
  EXPECT_EQ(platform_.Open(FormatInterfacePath(later)), nullptr);
  EXPECT_EQ(system_.Scans(), scans + 1);

  system_.SetPresent({later});
  EXPECT_NE(platform_.Open(FormatInterfacePath(later)), nullptr) << "plugged in since the last listing";
  EXPECT_NE(platform_.Open(FormatInterfacePath(later)), nullptr);
  EXPECT_EQ(system_.Scans(), scans + 2) << "a known path needs no scan";
}

TEST_F(LinuxHidPlatformTest, OpenRefusesAGoneInterface) {
  const THidrawNode gone = Node(kBridgeDevPath);
  system_.SetPresent({gone});
  platform_.ListInterfaces(true);
  // The node number is reused by another device: once a scan has seen that, the old path must not
  // open the node. (Opening the real node checks which device it belongs to, for the time between.)
  system_.SetPresent({Node("/devices/usb1/1-4/1-4:1.0/0003:1A86:E429.0002/hidraw/hidraw3")});
  platform_.ListInterfaces(true);
  EXPECT_EQ(platform_.Open(FormatInterfacePath(gone)), nullptr);
  EXPECT_TRUE(system_.Opened().empty());
}

// This machine has no bridge and perhaps no hidraw node or udev daemon at all; whatever it has
// must list, open and watch without failing.
TEST(NativeHidPlatform, ListsOpensAndWatchesWhatThisMachineHas) {
  TMainThread::Instance().BindToCurrentThread();
  THidPlatform& platform = NativePlatform();
  const auto present = platform.ListInterfaces(true);
  const auto known = platform.ListInterfaces(false);
  EXPECT_GE(known.size(), present.size());
  std::set<std::string> keys;
  for (const auto& entry : present) {
    EXPECT_TRUE(entry.Present);
    std::string instance = entry.InstanceId;
    for (char& c : instance) c = c == '\\' ? '#' : c;
    EXPECT_NE(UpperCaseAscii(entry.Path).find(instance), std::string::npos) << entry.Path;
    EXPECT_NE(entry.HardwareId.find("VID_"), std::string::npos);
    EXPECT_TRUE(keys.insert(UpperCaseAscii(entry.Path)).second) << "keys are unique";
  }
  EXPECT_EQ(platform.Open(
                "\\\\?\\HID#VID_0000&PID_0000#0000:0000:0000.0000#{4D1E55B2-F16F-11CF-88CB-001111000030}\\hidraw999"),
            nullptr);
  platform.Unsubscribe(platform.Subscribe([](const TDeviceChange&) {}));
  TMainThread::Instance().ProcessPending();
}

}  // namespace
}  // namespace qm::hid::hidraw
