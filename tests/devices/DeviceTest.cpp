// The device classes and their read thread, over a fake platform: the behaviour both chips share
// (typed tests), then what each chip does of its own.
#include "devices/Device.h"

#include <gtest/gtest.h>

#include <numeric>
#include <stdexcept>
#include <string>

#include "BridgeFakes.h"
#include "common/PumpUntil.h"
#include "devices/CH9329.h"
#include "devices/CP2110.h"
#include "devices/MainThread.h"

namespace qm {
namespace {

using test::TBytes;
using test::TFakeCH9329Chip;
using test::TFakeCP2110Chip;
using test::TFakeInterface;
using test::TFakePlatform;

using test::kGenerous;

struct TCP2110Kind {
  using TDeviceClass = TCP2110;
  using TChip = TFakeCP2110Chip;
  static constexpr std::uint16_t kVid = 0x10C4, kPid = 0xEA80, kFeatureLength = 64;
  static bool HandleOpen(const TCP2110& d) { return d.Handle != nullptr; }
};

struct TCH9329Kind {
  using TDeviceClass = TCH9329;
  using TChip = TFakeCH9329Chip;
  static constexpr std::uint16_t kVid = 0x1A86, kPid = 0xE429, kFeatureLength = 65;
  static bool HandleOpen(const TCH9329& d) { return d.Handle != CH9329_INVALID_HANDLE; }
};

// A fake platform with bridges, a device of the chip class, and a log of its events.
template <typename TKind>
class BridgeFixture : public ::testing::Test {
 protected:
  using TDeviceClass = typename TKind::TDeviceClass;

  BridgeFixture() { TMainThread::Instance().BindToCurrentThread(); }

  std::shared_ptr<TFakeInterface> AddBridge() {
    auto iface = platform.Add(TKind::kVid, TKind::kPid, TKind::kFeatureLength);
    chips.push_back(std::make_unique<typename TKind::TChip>());
    chips.back()->Install(*iface);
    return iface;
  }
  // A device with the usual link settings whose events go to the log.
  std::unique_ptr<TDeviceClass> MakeDevice() {
    auto device = std::make_unique<TDeviceClass>(TKind::kVid, TKind::kPid);
    device->Baudrate = 9600;
    device->ReadTimeout = 20;
    device->WriteTimeout = 100;
    device->SetOnOpened([this](void*) { events.push_back("opened"); });
    device->SetOnClosed([this](void*) { events.push_back("closed"); });
    device->SetOnReadyRead([this](const std::uint8_t* data, std::int32_t length) {
      EXPECT_TRUE(TMainThread::Instance().IsMainThread());
      events.push_back("read");
      received.insert(received.end(), data, data + length);
      if (onChunk) onChunk();
    });
    return device;
  }
  // The record the enumeration gives for the n-th bridge of the chip.
  THIDDeviceInfo Listed(TDevice& device, std::size_t n = 0) {
    const THIDDeviceList list = device.EnumDevices();
    EXPECT_GT(list.size(), n);
    return list.size() > n ? *list[n] : THIDDeviceInfo{};
  }
  static TBytes DataReport(const TBytes& data) { return TKind::TChip::DataReport(data); }

  TFakePlatform platform;
  hid::TScopedPlatform scoped{platform};
  std::vector<std::unique_ptr<typename TKind::TChip>> chips;
  std::vector<std::string> events;
  TBytes received;
  std::function<void()> onChunk;
};

using Kinds = ::testing::Types<TCP2110Kind, TCH9329Kind>;
class KindNames {
 public:
  template <typename T>
  static std::string GetName(int) {
    return std::is_same_v<T, TCP2110Kind> ? "CP2110" : "CH9329";
  }
};

template <typename TKind>
class DeviceTest : public BridgeFixture<TKind> {};
TYPED_TEST_SUITE(DeviceTest, Kinds, KindNames);

TYPED_TEST(DeviceTest, OpenStreamsChunksToTheMainThreadUntilClose) {
  auto iface = this->AddBridge();
  auto device = this->MakeDevice();
  ASSERT_TRUE(device->Open(this->Listed(*device)));
  EXPECT_TRUE(device->Opened);
  EXPECT_TRUE(TypeParam::HandleOpen(*device));
  EXPECT_EQ(iface->OpenHandles(), 1);

  iface->PushInput(this->DataReport({0xAB, 0xCD, 0x23}));
  iface->PushInput(this->DataReport({0x4C, 0x31}));
  ASSERT_TRUE(test::PumpUntil([&] { return this->received.size() == 5; }));
  EXPECT_EQ(this->received, (TBytes{0xAB, 0xCD, 0x23, 0x4C, 0x31}));

  device->Close();
  EXPECT_FALSE(device->Opened);
  EXPECT_FALSE(TypeParam::HandleOpen(*device));
  EXPECT_EQ(device->ReadThread, nullptr);
  EXPECT_FALSE(device->DeviceInfo.has_value());
  EXPECT_EQ(iface->OpenHandles(), 0);
  EXPECT_EQ(this->events.front(), "opened");
  EXPECT_EQ(this->events.back(), "closed");
}

TYPED_TEST(DeviceTest, ASecondOpenFailsAndTouchesNothing) {
  this->AddBridge();
  auto device = this->MakeDevice();
  const THIDDeviceInfo info = this->Listed(*device);
  ASSERT_TRUE(device->Open(info));
  TReadThread* thread = device->ReadThread.get();
  const int lists = this->platform.ListCalls, opens = this->platform.OpenCalls;
  EXPECT_FALSE(device->Open(info));
  EXPECT_EQ(device->ReadThread.get(), thread);
  EXPECT_EQ(this->platform.ListCalls, lists);
  EXPECT_EQ(this->platform.OpenCalls, opens);
  EXPECT_EQ(this->events, (std::vector<std::string>{"opened"}));
}

TYPED_TEST(DeviceTest, WithoutAutoReadTheOwnerReadsAndNoChunkIsRaised) {
  auto iface = this->AddBridge();
  auto device = this->MakeDevice();
  device->SetAutoRead(false);
  ASSERT_TRUE(device->Open(this->Listed(*device)));
  EXPECT_EQ(device->ReadThread, nullptr);
  EXPECT_TRUE(iface->ReadTimeouts().empty());

  iface->PushInput(this->DataReport({0x11, 0x22}));
  ASSERT_TRUE(device->Read());
  EXPECT_EQ(TBytes(device->ReadBuffer, device->ReadBuffer + device->ReadLength), (TBytes{0x11, 0x22}));
  EXPECT_FALSE(device->Read());  // nothing came: no bytes, no success

  iface->PushInput(this->DataReport({0x33}));
  const TBytes command = {0xAB, 0xCD, 0x04, 0x57, 0x01, 0x01, 0x2E};
  std::uint8_t reply[TDevice::kReadBufferSize];
  EXPECT_EQ(device->WriteRead(command.data(), 7, reply), 1);
  EXPECT_EQ(reply[0], 0x33);
  EXPECT_EQ(iface->Outputs().size(), 1u);
  EXPECT_EQ(device->WriteRead(command.data(), 7, reply), 0);  // no reply this time

  TMainThread::Instance().ProcessPending();
  EXPECT_TRUE(this->received.empty());
}

TYPED_TEST(DeviceTest, ClosedDevicesRaiseNothingAndCallNothing) {
  this->AddBridge();
  auto device = this->MakeDevice();
  const TBytes data = {1, 2, 3};
  std::uint8_t reply[TDevice::kReadBufferSize];
  const int lists = this->platform.ListCalls, opens = this->platform.OpenCalls;
  device->Close();
  EXPECT_FALSE(device->Write(data.data(), 3));
  EXPECT_FALSE(device->Read());
  EXPECT_EQ(device->WriteRead(data.data(), 3, reply), 0);
  EXPECT_EQ(this->platform.ListCalls, lists);
  EXPECT_EQ(this->platform.OpenCalls, opens);

  ASSERT_TRUE(device->Open(this->Listed(*device)));
  device->Close();
  device->Close();
  EXPECT_EQ(this->events, (std::vector<std::string>{"opened", "closed"}));
}

TYPED_TEST(DeviceTest, AChunkPendingAtCloseIsDeliveredBeforeOnClosed) {
  auto iface = this->AddBridge();
  auto device = this->MakeDevice();
  ASSERT_TRUE(device->Open(this->Listed(*device)));
  iface->PushInput(this->DataReport({0x42}));
  ASSERT_TRUE(iface->WaitInputTaken(kGenerous));  // the main thread has not pumped: the chunk waits
  device->Close();
  EXPECT_EQ(this->events, (std::vector<std::string>{"opened", "read", "closed"}));
  EXPECT_EQ(this->received, (TBytes{0x42}));
}

TYPED_TEST(DeviceTest, AHandlerErrorEndsTheThreadButTheDeviceStaysOpen) {
  auto iface = this->AddBridge();
  auto device = this->MakeDevice();
  this->onChunk = [] { throw std::runtime_error("handler failed"); };
  ASSERT_TRUE(device->Open(this->Listed(*device)));
  iface->PushInput(this->DataReport({0x01}));
  ASSERT_TRUE(test::PumpUntil([&] { return !this->received.empty(); }));
  EXPECT_TRUE(device->Opened);

  // Nobody reads any more. (Waiting for something that must not happen needs a bound: many read
  // time-outs long.)
  iface->PushInput(this->DataReport({0x02}));
  EXPECT_FALSE(iface->WaitInputTaken(std::chrono::milliseconds(300)));
  TMainThread::Instance().ProcessPending();
  device->Close();
  EXPECT_EQ(this->events, (std::vector<std::string>{"opened", "read", "closed"}));
  EXPECT_EQ(iface->OpenHandles(), 0);
}

TYPED_TEST(DeviceTest, AHandlerMayCloseTheDevice) {
  auto iface = this->AddBridge();
  auto device = this->MakeDevice();
  this->onChunk = [&] { device->Close(); };
  ASSERT_TRUE(device->Open(this->Listed(*device)));
  iface->PushInput(this->DataReport({0x07}));
  ASSERT_TRUE(test::PumpUntil([&] { return !device->Opened; }));
  EXPECT_EQ(this->events, (std::vector<std::string>{"opened", "read", "closed"}));
  EXPECT_EQ(device->ReadThread, nullptr);
  EXPECT_EQ(iface->OpenHandles(), 0);
  // Open again: a fresh thread reads.
  this->onChunk = nullptr;
  ASSERT_TRUE(device->Open(this->Listed(*device)));
  iface->PushInput(this->DataReport({0x08}));
  ASSERT_TRUE(test::PumpUntil([&] { return this->received.size() == 2; }));
}

TYPED_TEST(DeviceTest, DestroyingAnOpenDeviceClosesIt) {
  auto iface = this->AddBridge();
  auto device = this->MakeDevice();
  ASSERT_TRUE(device->Open(this->Listed(*device)));
  device.reset();
  EXPECT_EQ(this->events, (std::vector<std::string>{"opened", "closed"}));
  EXPECT_EQ(iface->OpenHandles(), 0);
}

TYPED_TEST(DeviceTest, AnInterfaceThatCannotBeOpenedFailsOpenQuietly) {
  auto iface = this->AddBridge();
  auto device = this->MakeDevice();
  const THIDDeviceInfo info = this->Listed(*device);
  iface->Openable = false;
  EXPECT_FALSE(device->Open(info));
  EXPECT_FALSE(device->Opened);
  EXPECT_FALSE(TypeParam::HandleOpen(*device));
  EXPECT_EQ(device->ReadThread, nullptr);
  EXPECT_TRUE(this->events.empty());
}

// CP2110 of its own.
class CP2110Test : public BridgeFixture<TCP2110Kind> {};

TEST_F(CP2110Test, EnumDevicesKeepsTheIdentifiersAndStampsTheModel) {
  AddBridge();
  platform.Add(0x1A86, 0xE429, 65);
  AddBridge();
  auto device = MakeDevice();
  const THIDDeviceList list = device->EnumDevices();
  ASSERT_EQ(list.size(), 2u);
  for (const auto& info : list) {
    EXPECT_EQ(info->VID, 0x10C4);
    EXPECT_EQ(info->Model, bmCP2110);
  }
}

TEST_F(CP2110Test, OpensTheBridgeWhosePathMatchesWhateverItsIndex) {
  auto first = AddBridge();
  auto second = AddBridge();
  auto device = MakeDevice();
  ASSERT_TRUE(device->Open(Listed(*device, 1)));
  EXPECT_EQ(first->OpenHandles(), 0);
  EXPECT_EQ(second->OpenHandles(), 1);
}

TEST_F(CP2110Test, ConfigureChangesOnlyTheBaudRate) {
  auto iface = AddBridge();
  chips[0]->Config = {0x00, 0x00, 0x4B, 0x00, 0x02, 0x01, 0x02, 0x01};  // 19200 7E2, RTS/CTS
  auto device = MakeDevice();
  ASSERT_TRUE(device->Open(Listed(*device)));
  EXPECT_EQ(iface->FeatureSets().back(), (TBytes{0x50, 0x00, 0x00, 0x25, 0x80, 0x02, 0x01, 0x02, 0x01}));
}

TEST_F(CP2110Test, ABaudRateTheChipRejectsLeavesTheDeviceClosed) {
  auto iface = AddBridge();
  chips[0]->RefuseConfig = true;
  auto device = MakeDevice();
  device->Baudrate = 2000000;
  EXPECT_FALSE(device->Open(Listed(*device)));
  EXPECT_FALSE(device->Opened);
  EXPECT_EQ(device->Handle, nullptr);
  EXPECT_EQ(device->ReadThread, nullptr);
  EXPECT_FALSE(device->DeviceInfo.has_value());
  EXPECT_EQ(iface->OpenHandles(), 0);
  EXPECT_TRUE(events.empty());
}

TEST_F(CP2110Test, AReadThatTimesOutDeliversTheBytesThatCame) {
  auto iface = AddBridge();
  auto device = MakeDevice();
  device->SetAutoRead(false);
  device->ReadTimeout = 0;
  ASSERT_TRUE(device->Open(Listed(*device)));
  iface->PushInput(DataReport({0x61, 0x62}));
  ASSERT_TRUE(device->Read());
  EXPECT_EQ(device->ReadLength, 2u);
  EXPECT_FALSE(device->Read());
}

// CH9329 of its own.
class CH9329Test : public BridgeFixture<TCH9329Kind> {};

TEST_F(CH9329Test, EnumDevicesAcceptsByFeatureReportLengthAlone) {
  AddBridge();
  platform.Add(0x1234, 0x5678, 65);  // other identifiers, the CH9329's report length
  platform.Add(0x1A86, 0xE429, 64);  // the CH9329's identifiers, another length
  auto device = MakeDevice();
  const THIDDeviceList list = device->EnumDevices();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0]->VID, 0x1A86);
  EXPECT_EQ(list[1]->VID, 0x1234);
  for (const auto& info : list) EXPECT_EQ(info->Model, bmCH9329);
}

TEST_F(CH9329Test, ConfigureStoresTheBaudRateBigEndianAndKeepsTheRestOfTheBlock) {
  AddBridge();
  std::iota(chips[0]->Block.begin(), chips[0]->Block.end(), std::uint8_t{1});
  TBytes expected = chips[0]->Block;
  auto device = MakeDevice();
  device->Baudrate = 115200;
  ASSERT_TRUE(device->Open(Listed(*device)));
  expected[6] = 0x00;
  expected[7] = 0x01;
  expected[8] = 0xC2;
  expected[9] = 0x00;
  EXPECT_EQ(chips[0]->Block, expected);
}

TEST_F(CH9329Test, AnUnreadableConfigurationIsNotWrittenBack) {
  auto iface = AddBridge();
  chips[0]->RefuseReads = true;
  auto device = MakeDevice();
  ASSERT_TRUE(device->Open(Listed(*device)));
  for (const TBytes& set : iface->FeatureSets()) EXPECT_NE(set[1], ch9329wire::kCfgWrite);
}

TEST_F(CH9329Test, TheReadTimeOutReachesTheLibrary) {
  auto iface = AddBridge();
  auto device = MakeDevice();
  device->SetAutoRead(false);
  ASSERT_TRUE(device->Open(Listed(*device)));
  device->Read();
  EXPECT_EQ(iface->ReadTimeouts(), (std::vector<int>{20}));
}

struct TPieceCase {
  std::int32_t length;
  std::vector<std::uint8_t> pieces;
};

class CH9329WriteTest : public CH9329Test, public ::testing::WithParamInterface<TPieceCase> {};

TEST_P(CH9329WriteTest, WritesInPiecesOfAtMost31Bytes) {
  auto iface = AddBridge();
  auto device = MakeDevice();
  ASSERT_TRUE(device->Open(Listed(*device)));
  TBytes data(GetParam().length);
  std::iota(data.begin(), data.end(), std::uint8_t{0});
  ASSERT_TRUE(device->Write(data.data(), GetParam().length));
  std::vector<std::uint8_t> pieces;
  TBytes sent;
  for (const TBytes& report : iface->Outputs()) {
    pieces.push_back(report[1]);
    sent.insert(sent.end(), report.begin() + 2, report.begin() + 2 + report[1]);
  }
  EXPECT_EQ(pieces, GetParam().pieces);
  EXPECT_EQ(sent, data);
}

INSTANTIATE_TEST_SUITE_P(Lengths, CH9329WriteTest,
                         ::testing::Values(TPieceCase{45, {31, 14}}, TPieceCase{31, {31}}, TPieceCase{62, {31, 31}},
                                           TPieceCase{7, {7}}, TPieceCase{0, {}}));

TEST_F(CH9329Test, AFailingPieceStopsTheWrite) {
  auto iface = AddBridge();
  auto device = MakeDevice();
  ASSERT_TRUE(device->Open(Listed(*device)));
  iface->RefuseOutputsFrom = 1;
  const TBytes data(70, 0x55);
  EXPECT_FALSE(device->Write(data.data(), 70));
  EXPECT_EQ(iface->Outputs().size(), 1u);
}

}  // namespace
}  // namespace qm
