// The hidraw device over a socket pair that stands in for the node: one report per packet, the
// peer's close standing for the unplug. The ioctls are checked to fail cleanly on what is not a
// hidraw node.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <future>

#include "devices/linux/HidrawDevice.h"

namespace qm::hid::hidraw {
namespace {

using namespace std::chrono_literals;

// Long enough for any loaded machine; only a hang reaches it.
constexpr auto kHangGuard = 30s;

class HidrawDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds), 0);
    peer_ = fds[1];
    device_ = THidrawDevice::Adopt(fds[0], Strings());
    ASSERT_NE(device_, nullptr);
  }
  void TearDown() override { ClosePeer(); }

  static TNodeStrings Strings() {
    TNodeStrings strings;
    strings.Manufacturer = "Silicon Laboratories";
    strings.Product = "CP2110 HID USB-to-UART Bridge";
    strings.Revision = 0x0100;
    // iManufacturer 1, iProduct 2, iSerialNumber 3 (the serial number itself is absent).
    strings.DeviceDescriptor = {18, 1, 0x00, 0x02, 0, 0, 0, 64, 0xC4, 0x10, 0x80, 0xEA, 0x00, 0x01, 1, 2, 3, 1};
    return strings;
  }

  void Send(std::initializer_list<std::uint8_t> report) {
    const std::vector<std::uint8_t> bytes(report);
    ASSERT_EQ(send(peer_, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
  }
  void ClosePeer() {
    if (peer_ >= 0) close(peer_);
    peer_ = -1;
  }

  int peer_ = -1;
  std::unique_ptr<THidrawDevice> device_;
  std::array<std::uint8_t, 64> buffer_{};
};

TEST_F(HidrawDeviceTest, ReadsOneReportPerCall) {
  Send({0x03, 'a', 'b', 'c'});
  Send({0x01, 'd'});
  EXPECT_EQ(device_->ReadInputReport(buffer_.data(), buffer_.size(), 1000), 4);
  EXPECT_EQ(buffer_[0], 0x03);
  EXPECT_EQ(buffer_[3], 'c');
  EXPECT_EQ(device_->ReadInputReport(buffer_.data(), buffer_.size(), 1000), 2);
  EXPECT_EQ(buffer_[1], 'd');
}

TEST_F(HidrawDeviceTest, TimesOutWithZero) {
  EXPECT_EQ(device_->ReadInputReport(buffer_.data(), buffer_.size(), 0), 0);
  EXPECT_EQ(device_->ReadInputReport(buffer_.data(), buffer_.size(), 20), 0);
}

TEST_F(HidrawDeviceTest, AWaitingReadGetsAReportThatComesLater) {
  auto read =
      std::async(std::launch::async, [&] { return device_->ReadInputReport(buffer_.data(), buffer_.size(), -1); });
  Send({0x01, 'x'});
  ASSERT_EQ(read.wait_for(kHangGuard), std::future_status::ready);
  EXPECT_EQ(read.get(), 2);
}

TEST_F(HidrawDeviceTest, CancelWakesABlockedReadAndFailsLaterOnes) {
  auto read =
      std::async(std::launch::async, [&] { return device_->ReadInputReport(buffer_.data(), buffer_.size(), -1); });
  device_->CancelIo();
  ASSERT_EQ(read.wait_for(kHangGuard), std::future_status::ready);
  EXPECT_EQ(read.get(), -1);
  Send({0x01, 'x'});
  EXPECT_EQ(device_->ReadInputReport(buffer_.data(), buffer_.size(), 1000), -1) << "cancelled for good";
  EXPECT_EQ(device_->WriteOutputReport(buffer_.data(), 2), 2) << "writes go on";
}

TEST_F(HidrawDeviceTest, UnplugDrainsQueuedReportsThenFails) {
  Send({0x02, 'o', 'k'});
  ClosePeer();
  EXPECT_EQ(device_->ReadInputReport(buffer_.data(), buffer_.size(), 1000), 3);
  EXPECT_EQ(device_->ReadInputReport(buffer_.data(), buffer_.size(), 1000), -1);
  EXPECT_EQ(device_->ReadInputReport(buffer_.data(), buffer_.size(), -1), -1) << "does not wait for a gone device";
}

TEST_F(HidrawDeviceTest, WritesTheReportWithItsId) {
  const std::array<std::uint8_t, 4> report = {0x03, 0xAB, 0xCD, 0x04};
  EXPECT_EQ(device_->WriteOutputReport(report.data(), report.size()), 4);
  std::array<std::uint8_t, 8> got{};
  EXPECT_EQ(recv(peer_, got.data(), got.size(), 0), 4);
  EXPECT_EQ(got[0], 0x03);
  EXPECT_EQ(got[3], 0x04);
  ClosePeer();
  EXPECT_EQ(device_->WriteOutputReport(report.data(), report.size()), -1);
}

TEST_F(HidrawDeviceTest, RejectsEmptyBuffers) {
  EXPECT_EQ(device_->ReadInputReport(nullptr, 64, 0), -1);
  EXPECT_EQ(device_->ReadInputReport(buffer_.data(), 0, 0), -1);
  EXPECT_EQ(device_->WriteOutputReport(nullptr, 4), -1);
  EXPECT_EQ(device_->WriteOutputReport(buffer_.data(), 0), -1);
  EXPECT_EQ(device_->GetFeatureReport(buffer_.data(), 0), -1);
  EXPECT_EQ(device_->SetFeatureReport(nullptr, 9), -1);
}

TEST_F(HidrawDeviceTest, IoctlsOnSomethingElseThanHidrawFail) {
  TAttributes attributes;
  std::uint16_t length = 7;
  EXPECT_FALSE(device_->GetAttributes(attributes));
  EXPECT_FALSE(device_->GetFeatureReportByteLength(length));
  EXPECT_EQ(length, 7) << "left alone on failure";
  buffer_[0] = 0x41;
  EXPECT_EQ(device_->GetFeatureReport(buffer_.data(), buffer_.size()), -1);
  EXPECT_EQ(device_->SetFeatureReport(buffer_.data(), 2), -1);
}

TEST_F(HidrawDeviceTest, StringsComeFromWhatUdevSaid) {
  std::string text;
  EXPECT_TRUE(device_->GetManufacturerString(text));
  EXPECT_EQ(text, "Silicon Laboratories");
  EXPECT_TRUE(device_->GetProductString(text));
  EXPECT_EQ(text, "CP2110 HID USB-to-UART Bridge");
  text = "kept";
  EXPECT_FALSE(device_->GetSerialNumberString(text));
  EXPECT_FALSE(device_->GetIndexedString(3, text)) << "index of the absent serial number";
  EXPECT_EQ(text, "kept");
  EXPECT_TRUE(device_->GetIndexedString(1, text));
  EXPECT_EQ(text, "Silicon Laboratories");
  EXPECT_TRUE(device_->GetIndexedString(2, text));
  EXPECT_EQ(text, "CP2110 HID USB-to-UART Bridge");
  EXPECT_FALSE(device_->GetIndexedString(4, text));
}

TEST(HidrawDeviceWithoutUsbStrings, HasNoIndexedStrings) {
  auto device = THidrawDevice::Adopt(open("/dev/null", O_RDWR | O_CLOEXEC), {});
  ASSERT_NE(device, nullptr);
  std::string text;
  EXPECT_FALSE(device->GetManufacturerString(text));
  EXPECT_FALSE(device->GetIndexedString(1, text));
}

}  // namespace
}  // namespace qm::hid::hidraw
