// The device classes end to end: through the simulated HID bus to virtual bridges with a serial
// line behind them, including plugging and unplugging.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "common/PumpUntil.h"
#include "devices/CH9329.h"
#include "devices/CP2110.h"
#include "devices/MainThread.h"
#include "devices/uEnumerator.h"
#include "sim/SimHidBus.h"

namespace qm {
namespace {

using TBytes = std::vector<std::uint8_t>;
using test::kGenerous;
constexpr std::uint32_t kMeterBaud = 9600;

struct TCP2110Kind {
  using TDeviceClass = TCP2110;
  static constexpr TBridgeModel kModel = bmCP2110;
  static constexpr std::uint16_t kVid = 0x10C4, kPid = 0xEA80;
  static bool HandleOpen(const TCP2110& d) { return d.Handle != nullptr; }
};

struct TCH9329Kind {
  using TDeviceClass = TCH9329;
  static constexpr TBridgeModel kModel = bmCH9329;
  static constexpr std::uint16_t kVid = 0x1A86, kPid = 0xE429;
  static bool HandleOpen(const TCH9329& d) { return d.Handle != CH9329_INVALID_HANDLE; }
};

template <typename TKind>
class DeviceOnBusTest : public ::testing::Test {
 protected:
  using TDeviceClass = typename TKind::TDeviceClass;

  DeviceOnBusTest() {
    TMainThread::Instance().BindToCurrentThread();
    device = std::make_unique<TDeviceClass>(TKind::kVid, TKind::kPid);
    device->Baudrate = kMeterBaud;
    device->ReadTimeout = 100;
    device->WriteTimeout = 100;
    device->SetOnOpened([this](void*) { events.push_back("opened"); });
    device->SetOnClosed([this](void* sender) {
      events.push_back("closed");
      const auto& closed = *static_cast<TDeviceClass*>(sender);
      stoppedAtClosed = closed.ReadThread == nullptr && !TKind::HandleOpen(closed);
    });
    device->SetOnReadyRead([this](const std::uint8_t* data, std::int32_t length) {
      received.insert(received.end(), data, data + length);
    });
    device->SetOnArrived([this](const THIDDeviceInfo& info) { events.push_back("arrived " + info.DevicePath); });
    device->SetOnRemoved([this](const THIDDeviceInfo& info) { events.push_back("removed " + info.DevicePath); });
  }
  ~DeviceOnBusTest() override { device.reset(); }

  sim::TPluggedBridge PlugBridge() {
    auto bridge = bus.PlugBridge(TKind::kModel);
    TMainThread::Instance().ProcessPending();  // the arrival
    return bridge;
  }
  THIDDeviceInfo Find(const std::string& path) {
    for (const auto& info : device->EnumDevices())
      if (info->DevicePath == TEnumerator::UpperCase(path)) return *info;
    ADD_FAILURE() << "not listed: " << path;
    return {};
  }
  bool Logged(const std::string& event) const { return std::find(events.begin(), events.end(), event) != events.end(); }

  sim::TSimHidBus bus;
  hid::TScopedPlatform scoped{bus};
  std::unique_ptr<TDeviceClass> device;
  std::vector<std::string> events;
  TBytes received;
  bool stoppedAtClosed = false;
};

using Kinds = ::testing::Types<TCP2110Kind, TCH9329Kind>;
class KindNames {
 public:
  template <typename T>
  static std::string GetName(int) {
    return std::is_same_v<T, TCP2110Kind> ? "CP2110" : "CH9329";
  }
};
TYPED_TEST_SUITE(DeviceOnBusTest, Kinds, KindNames);

TYPED_TEST(DeviceOnBusTest, BytesGoBothWaysAtTheMeterRate) {
  const auto bridge = this->PlugBridge();
  ASSERT_TRUE(this->device->Open(this->Find(bridge.Path)));
  const TBytes frame = {0xAB, 0xCD, 0x23, 0x4C, 0x30, 0x0D, 0x0A};
  bridge.Line->toHost.Send(frame.data(), frame.size(), kMeterBaud);
  ASSERT_TRUE(test::PumpUntil([&] { return this->received.size() >= frame.size(); }));
  EXPECT_EQ(this->received, frame);

  const TBytes command = {0xAB, 0xCD, 0x04, 0x57, 0x01, 0x01, 0x2E};
  ASSERT_TRUE(this->device->Write(command.data(), 7));
  TBytes atMeter(7);
  EXPECT_EQ(bridge.Line->toMeter.Receive(atMeter.data(), 7, kGenerous, kMeterBaud), 7u);
  EXPECT_EQ(atMeter, command);
}

TYPED_TEST(DeviceOnBusTest, UnpluggingTheOpenBridgeClosesItThenReportsTheRemoval) {
  const auto bridge = this->PlugBridge();
  ASSERT_TRUE(this->device->Open(this->Find(bridge.Path)));
  this->bus.Unplug(bridge.Id);
  const std::string removed = "removed " + TEnumerator::UpperCase(bridge.Path);
  ASSERT_TRUE(test::PumpUntil([&] { return this->Logged(removed); }));
  EXPECT_EQ(this->events.back(), removed);
  EXPECT_EQ(this->events[this->events.size() - 2], "closed");
  EXPECT_TRUE(this->stoppedAtClosed);  // thread stopped and handle closed before OnClosed
  EXPECT_FALSE(this->device->Opened);
}

TYPED_TEST(DeviceOnBusTest, UnpluggingAnotherBridgeWithTheSameIdentifiersOnlyReportsIt) {
  const auto open = this->PlugBridge();
  const auto other = this->PlugBridge();
  ASSERT_TRUE(this->device->Open(this->Find(open.Path)));
  this->bus.Unplug(other.Id);
  const std::string removed = "removed " + TEnumerator::UpperCase(other.Path);
  ASSERT_TRUE(test::PumpUntil([&] { return this->Logged(removed); }));
  EXPECT_FALSE(this->Logged("closed"));
  EXPECT_TRUE(this->device->Opened);
}

TYPED_TEST(DeviceOnBusTest, APluggedBridgeIsReportedAsArrived) {
  const auto bridge = this->PlugBridge();
  EXPECT_EQ(this->events, (std::vector<std::string>{"arrived " + TEnumerator::UpperCase(bridge.Path)}));
}

class CH9329OnBusTest : public DeviceOnBusTest<TCH9329Kind> {
 protected:
  sim::TSimDeviceId PlugGeneric(std::uint16_t vid, std::uint16_t pid, std::uint16_t featureLength) {
    sim::TVirtualIdentity identity;
    identity.VID = vid;
    identity.PID = pid;
    const auto id = bus.Plug(std::make_shared<sim::TGenericHidInterface>(identity, featureLength));
    TMainThread::Instance().ProcessPending();
    return id;
  }
};

TEST_F(CH9329OnBusTest, ArrivalsAreJudgedByReportLengthAndRemovalsByIdentifiers) {
  const auto other = PlugGeneric(0x1234, 0x5678, 65);
  const auto lookalike = PlugGeneric(0x1A86, 0xE429, 64);
  EXPECT_EQ(events, (std::vector<std::string>{"arrived " + TEnumerator::UpperCase(bus.Entry(other).Path)}));
  events.clear();
  bus.Unplug(other);
  bus.Unplug(lookalike);
  TMainThread::Instance().ProcessPending();
  EXPECT_EQ(events, (std::vector<std::string>{"removed " + TEnumerator::UpperCase(bus.Entry(lookalike).Path)}));
}

}  // namespace
}  // namespace qm
