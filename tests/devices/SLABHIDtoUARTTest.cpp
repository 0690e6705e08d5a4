// Our CP2110 library against a fake interface. The expected wire bytes are those of the chip's
// HID interface document (AN434), written out by hand.
#include "devices/SLABHIDtoUART.h"

#include <gtest/gtest.h>

#include <numeric>
#include <thread>

#include "BridgeFakes.h"
#include "devices/uEnumerator.h"

namespace qm {
namespace {

using test::TBytes;
using test::TFakeCP2110Chip;
using test::TFakeInterface;
using test::TFakePlatform;

constexpr std::uint16_t kVid = 0x10C4;
constexpr std::uint16_t kPid = 0xEA80;
constexpr auto kGenerous = std::chrono::seconds(10);

TBytes Sequence(std::size_t n, std::uint8_t first = 0) {
  TBytes bytes(n);
  std::iota(bytes.begin(), bytes.end(), first);
  return bytes;
}

class HidUartTest : public ::testing::Test {
 protected:
  std::shared_ptr<TFakeInterface> AddCP2110() {
    auto iface = platform.Add(kVid, kPid, 64);
    chip.Install(*iface);
    return iface;
  }
  // Opens device 0 with time-outs of `readTimeout` ms.
  HID_UART_DEVICE OpenFirst(std::uint32_t readTimeout = 0) {
    HID_UART_DEVICE device = nullptr;
    EXPECT_EQ(HidUart_Open(&device, 0, kVid, kPid), HID_UART_SUCCESS);
    if (device) {
      EXPECT_EQ(HidUart_SetTimeouts(device, readTimeout, 1000), HID_UART_SUCCESS);
    }
    opened.push_back(device);
    return device;
  }
  void TearDown() override {
    for (HID_UART_DEVICE device : opened)
      if (device) HidUart_Close(device);
  }

  TFakePlatform platform;
  hid::TScopedPlatform scoped{platform};
  TFakeCP2110Chip chip;
  std::vector<HID_UART_DEVICE> opened;
};

TEST_F(HidUartTest, OpenChecksThePartNumberThenEnablesTheUartAndPurgesBothFifos) {
  auto iface = AddCP2110();
  ASSERT_NE(OpenFirst(), nullptr);
  EXPECT_EQ(iface->FeatureGets(), (std::vector<std::uint8_t>{0x46}));
  EXPECT_EQ(iface->FeatureSets(), (std::vector<TBytes>{{0x41, 0x01}, {0x43, 0x03}}));
  EXPECT_EQ(iface->OpenHandles(), 1);
}

TEST_F(HidUartTest, OpenFailuresLeaveTheHandleUnsetAndNothingOpen) {
  struct TCase {
    const char* name;
    std::function<void(TFakeInterface&, TFakeCP2110Chip&)> arrange;
    std::uint32_t index;
    HID_UART_STATUS expected;
  };
  const TCase cases[] = {
      {"no such index", [](TFakeInterface&, TFakeCP2110Chip&) {}, 1, HID_UART_DEVICE_NOT_FOUND},
      {"held by another program", [](TFakeInterface& i, TFakeCP2110Chip&) { i.Openable = false; }, 0,
       HID_UART_DEVICE_ACCESS_ERROR},
      {"another part (CP2112)", [](TFakeInterface&, TFakeCP2110Chip& c) { c.PartNumber = 0x0C; }, 0,
       HID_UART_DEVICE_NOT_SUPPORTED},
      {"part number unreadable",
       [](TFakeInterface& i, TFakeCP2110Chip&) { i.OnGetFeature = [](std::uint8_t*, std::size_t) { return -1; }; }, 0,
       HID_UART_DEVICE_IO_FAILED},
      {"UART enable refused", [](TFakeInterface& i, TFakeCP2110Chip&) { i.OnSetFeature = [](const TBytes&) { return false; }; },
       0, HID_UART_DEVICE_IO_FAILED},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    TFakePlatform own;
    hid::TScopedPlatform use(own);
    TFakeCP2110Chip ownChip;
    auto iface = own.Add(kVid, kPid, 64);
    ownChip.Install(*iface);
    c.arrange(*iface, ownChip);
    HID_UART_DEVICE device = nullptr;
    EXPECT_EQ(HidUart_Open(&device, c.index, kVid, kPid), c.expected);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(iface->OpenHandles(), 0);
    if (c.expected != HID_UART_DEVICE_IO_FAILED) {
      EXPECT_TRUE(iface->FeatureSets().empty());
    }
  }
}

TEST_F(HidUartTest, DevicesAreTheInterfacesWithTheIdentifiersInListOrderNamedByTheirPath) {
  AddCP2110();
  platform.Add(0x046D, 0xC31C, 0);  // a keyboard
  AddCP2110();
  std::uint32_t count = 0;
  ASSERT_EQ(HidUart_GetNumDevices(&count, kVid, kPid), HID_UART_SUCCESS);
  EXPECT_EQ(count, 2u);

  // The path, upper-cased, is the key the enumeration hands the device class.
  const THIDDeviceList listed = TEnumerator::Enumerate({GUID_DEVINTERFACE_HID});
  ASSERT_EQ(listed.size(), 3u);
  char path[HID_UART_DEVICE_STRLEN];
  ASSERT_EQ(HidUart_GetString(0, kVid, kPid, path, HID_UART_GET_PATH_STR), HID_UART_SUCCESS);
  EXPECT_EQ(TEnumerator::UpperCase(path), listed[0]->DevicePath);
  ASSERT_EQ(HidUart_GetString(1, kVid, kPid, path, HID_UART_GET_PATH_STR), HID_UART_SUCCESS);
  EXPECT_EQ(TEnumerator::UpperCase(path), listed[2]->DevicePath);

  EXPECT_EQ(HidUart_GetString(2, kVid, kPid, path, HID_UART_GET_PATH_STR), HID_UART_DEVICE_NOT_FOUND);
  EXPECT_EQ(HidUart_GetString(0, kVid, kPid, path, 0x04), HID_UART_INVALID_PARAMETER);
  EXPECT_EQ(HidUart_GetNumDevices(&count, 0x1A86, 0xE429), HID_UART_SUCCESS);
  EXPECT_EQ(count, 0u);
}

struct TConfigCase {
  std::uint32_t baud;
  std::uint8_t dataBits, parity, stopBits, flowControl;
  TBytes report;
};

class HidUartConfigTest : public HidUartTest, public ::testing::WithParamInterface<TConfigCase> {};

TEST_P(HidUartConfigTest, SetUartConfigSendsTheConfigReport) {
  auto iface = AddCP2110();
  HID_UART_DEVICE device = OpenFirst();
  const TConfigCase& c = GetParam();
  ASSERT_EQ(HidUart_SetUartConfig(device, c.baud, c.dataBits, c.parity, c.stopBits, c.flowControl), HID_UART_SUCCESS);
  EXPECT_EQ(iface->FeatureSets().back(), c.report);

  std::uint32_t baud = 0;
  std::uint8_t dataBits = 9, parity = 9, stopBits = 9, flowControl = 9;
  ASSERT_EQ(HidUart_GetUartConfig(device, &baud, &dataBits, &parity, &stopBits, &flowControl), HID_UART_SUCCESS);
  EXPECT_EQ(baud, c.baud);
  EXPECT_EQ(dataBits, c.dataBits);
  EXPECT_EQ(parity, c.parity);
  EXPECT_EQ(stopBits, c.stopBits);
  EXPECT_EQ(flowControl, c.flowControl);
}

// Report 0x50: baud rate (big-endian), parity, flow control, data bits, stop bits.
INSTANTIATE_TEST_SUITE_P(
    AN434, HidUartConfigTest,
    ::testing::Values(TConfigCase{9600, HID_UART_EIGHT_DATA_BITS, HID_UART_NO_PARITY, HID_UART_SHORT_STOP_BIT,
                                  HID_UART_NO_FLOW_CONTROL, {0x50, 0x00, 0x00, 0x25, 0x80, 0x00, 0x00, 0x03, 0x00}},
                      TConfigCase{115200, HID_UART_SEVEN_DATA_BITS, HID_UART_EVEN_PARITY, HID_UART_SHORT_STOP_BIT,
                                  HID_UART_RTS_CTS_FLOW_CONTROL, {0x50, 0x00, 0x01, 0xC2, 0x00, 0x02, 0x01, 0x02, 0x00}},
                      TConfigCase{1000000, HID_UART_FIVE_DATA_BITS, HID_UART_MARK_PARITY, HID_UART_LONG_STOP_BIT,
                                  HID_UART_NO_FLOW_CONTROL, {0x50, 0x00, 0x0F, 0x42, 0x40, 0x03, 0x00, 0x00, 0x01}}));

TEST_F(HidUartTest, SetUartConfigRefusesValuesOutOfRangeAndReportsAChipRefusal) {
  auto iface = AddCP2110();
  HID_UART_DEVICE device = OpenFirst();
  const std::size_t setsAfterOpen = iface->FeatureSets().size();
  EXPECT_EQ(HidUart_SetUartConfig(device, 9600, 4, 0, 0, 0), HID_UART_INVALID_PARAMETER);
  EXPECT_EQ(HidUart_SetUartConfig(device, 9600, 3, 5, 0, 0), HID_UART_INVALID_PARAMETER);
  EXPECT_EQ(HidUart_SetUartConfig(device, 9600, 3, 0, 2, 0), HID_UART_INVALID_PARAMETER);
  EXPECT_EQ(HidUart_SetUartConfig(device, 9600, 3, 0, 0, 2), HID_UART_INVALID_PARAMETER);
  EXPECT_EQ(iface->FeatureSets().size(), setsAfterOpen);

  chip.RefuseConfig = true;  // as the chip refuses a rate out of its range
  EXPECT_EQ(HidUart_SetUartConfig(device, 2000000, 3, 0, 0, 0), HID_UART_DEVICE_IO_FAILED);
}

TEST_F(HidUartTest, WriteSendsDataReportsOfAtMost63BytesWhoseIdIsTheCount) {
  auto iface = AddCP2110();
  HID_UART_DEVICE device = OpenFirst();
  const TBytes data = Sequence(100);
  std::uint32_t written = 0;
  ASSERT_EQ(HidUart_Write(device, data.data(), 100, &written), HID_UART_SUCCESS);
  EXPECT_EQ(written, 100u);
  TBytes first{0x3F}, second{0x25};
  first.insert(first.end(), data.begin(), data.begin() + 63);
  second.insert(second.end(), data.begin() + 63, data.end());
  EXPECT_EQ(iface->Outputs(), (std::vector<TBytes>{first, second}));

  const TBytes command = {0xAB, 0xCD, 0x04, 0x01, 0x00, 0x01, 0x7D};
  ASSERT_EQ(HidUart_Write(device, command.data(), 7, &written), HID_UART_SUCCESS);
  EXPECT_EQ(iface->Outputs().back(), (TBytes{0x07, 0xAB, 0xCD, 0x04, 0x01, 0x00, 0x01, 0x7D}));
}

TEST_F(HidUartTest, WriteErrorCountsTheBytesThatWent) {
  auto iface = AddCP2110();
  HID_UART_DEVICE device = OpenFirst();
  iface->RefuseOutputsFrom = 1;
  const TBytes data = Sequence(100);
  std::uint32_t written = 0;
  EXPECT_EQ(HidUart_Write(device, data.data(), 100, &written), HID_UART_WRITE_ERROR);
  EXPECT_EQ(written, 63u);
}

TEST_F(HidUartTest, ReadSucceedsOnlyWhenEveryRequestedByteArrived) {
  auto iface = AddCP2110();
  HID_UART_DEVICE device = OpenFirst();
  std::uint8_t buffer[1024];
  std::uint32_t got = 0;

  iface->PushInput(TFakeCP2110Chip::DataReport({1, 2, 3, 4, 5}));
  EXPECT_EQ(HidUart_Read(device, buffer, 5, &got), HID_UART_SUCCESS);
  EXPECT_EQ(TBytes(buffer, buffer + got), (TBytes{1, 2, 3, 4, 5}));

  iface->PushInput(TFakeCP2110Chip::DataReport({7, 8, 9}));
  EXPECT_EQ(HidUart_Read(device, buffer, 1024, &got), HID_UART_READ_TIMED_OUT);
  EXPECT_EQ(TBytes(buffer, buffer + got), (TBytes{7, 8, 9}));

  EXPECT_EQ(HidUart_Read(device, buffer, 1024, &got), HID_UART_READ_TIMED_OUT);
  EXPECT_EQ(got, 0u);
}

TEST_F(HidUartTest, ReadKeepsTheRestOfAReportForTheNextRead) {
  auto iface = AddCP2110();
  HID_UART_DEVICE device = OpenFirst();
  iface->PushInput(TFakeCP2110Chip::DataReport(Sequence(10)));
  iface->PushInput(TFakeCP2110Chip::DataReport({0x55}));
  std::uint8_t buffer[16];
  std::uint32_t got = 0;
  ASSERT_EQ(HidUart_Read(device, buffer, 4, &got), HID_UART_SUCCESS);
  EXPECT_EQ(TBytes(buffer, buffer + got), Sequence(4));
  ASSERT_EQ(HidUart_Read(device, buffer, 7, &got), HID_UART_SUCCESS);
  EXPECT_EQ(TBytes(buffer, buffer + got), (TBytes{4, 5, 6, 7, 8, 9, 0x55}));
}

TEST_F(HidUartTest, ReadTimeOutCoversTheWholeCall) {
  auto iface = AddCP2110();
  HID_UART_DEVICE device = OpenFirst(200);
  for (std::uint8_t b : {1, 2, 3}) iface->PushInput(TFakeCP2110Chip::DataReport({b}));
  std::uint8_t buffer[16];
  std::uint32_t got = 0;
  EXPECT_EQ(HidUart_Read(device, buffer, 16, &got), HID_UART_READ_TIMED_OUT);
  EXPECT_EQ(TBytes(buffer, buffer + got), (TBytes{1, 2, 3}));
  // Each wait is what is left of the one time-out, never a fresh one.
  const std::vector<int> waits = iface->ReadTimeouts();
  ASSERT_GE(waits.size(), 4u);
  EXPECT_LE(waits.front(), 200);
  EXPECT_TRUE(std::is_sorted(waits.rbegin(), waits.rend()));
  EXPECT_EQ(waits.back(), 0);
}

TEST_F(HidUartTest, ReadFailsWhenTheDeviceIsGoneAndCancelIoEndsABlockedRead) {
  auto iface = AddCP2110();
  HID_UART_DEVICE device = OpenFirst(60000);
  std::uint8_t buffer[16];
  std::uint32_t got = 99;
  HID_UART_STATUS status = HID_UART_SUCCESS;
  std::thread reader([&] { status = HidUart_Read(device, buffer, 16, &got); });
  ASSERT_TRUE(iface->WaitReaderBlocked(kGenerous));
  EXPECT_EQ(HidUart_CancelIo(device), HID_UART_SUCCESS);
  reader.join();
  EXPECT_EQ(status, HID_UART_READ_ERROR);
  EXPECT_EQ(got, 0u);


  auto unplugged = AddCP2110();
  HID_UART_DEVICE second = nullptr;
  ASSERT_EQ(HidUart_Open(&second, 1, kVid, kPid), HID_UART_SUCCESS);
  opened.push_back(second);
  unplugged->Unplug();
  EXPECT_EQ(HidUart_Read(second, buffer, 16, &got), HID_UART_READ_ERROR);
}

TEST_F(HidUartTest, CallsCheckTheirArguments) {
  AddCP2110();
  HID_UART_DEVICE device = OpenFirst();
  std::uint8_t buffer[8];
  std::uint32_t count = 0, baud = 0;
  std::uint8_t b = 0;
  EXPECT_EQ(HidUart_Read(nullptr, buffer, 8, &count), HID_UART_INVALID_DEVICE_OBJECT);
  EXPECT_EQ(HidUart_Write(nullptr, buffer, 8, &count), HID_UART_INVALID_DEVICE_OBJECT);
  EXPECT_EQ(HidUart_GetUartConfig(nullptr, &baud, &b, &b, &b, &b), HID_UART_INVALID_DEVICE_OBJECT);
  EXPECT_EQ(HidUart_SetTimeouts(nullptr, 1, 1), HID_UART_INVALID_DEVICE_OBJECT);
  EXPECT_EQ(HidUart_Close(nullptr), HID_UART_INVALID_DEVICE_OBJECT);
  EXPECT_EQ(HidUart_Read(device, buffer, 0, &count), HID_UART_INVALID_REQUEST_LENGTH);
  EXPECT_EQ(HidUart_Read(device, buffer, HID_UART_MAX_READ_SIZE + 1, &count), HID_UART_INVALID_REQUEST_LENGTH);
  EXPECT_EQ(HidUart_Write(device, buffer, 0, &count), HID_UART_INVALID_REQUEST_LENGTH);
  EXPECT_EQ(HidUart_Read(device, nullptr, 8, &count), HID_UART_INVALID_PARAMETER);
  EXPECT_EQ(HidUart_Write(device, buffer, 8, nullptr), HID_UART_INVALID_PARAMETER);
  EXPECT_EQ(HidUart_GetNumDevices(nullptr, kVid, kPid), HID_UART_INVALID_PARAMETER);
  EXPECT_EQ(HidUart_Open(nullptr, 0, kVid, kPid), HID_UART_INVALID_PARAMETER);
}

}  // namespace
}  // namespace qm
