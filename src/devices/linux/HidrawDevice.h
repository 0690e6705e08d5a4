// An open hidraw node as a THidDevice.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "devices/HidPlatform.h"

namespace qm::hid::hidraw {

// What the kernel offers no ioctl for, read from udev when the node is opened: the USB strings
// (already 8-bit), the device revision and the USB device descriptor, which says which string
// each string index names.
struct TNodeStrings {
  std::optional<std::string> Manufacturer;
  std::optional<std::string> Product;
  std::optional<std::string> SerialNumber;
  std::optional<std::uint16_t> Revision;
  std::vector<std::uint8_t> DeviceDescriptor;
};

class THidrawDevice : public THidDevice {
 public:
  // Takes over `fd`, a node opened non-blocking for reading and writing. nullptr (with `fd`
  // closed) when the cancel event cannot be made.
  static std::unique_ptr<THidrawDevice> Adopt(int fd, TNodeStrings strings);
  ~THidrawDevice() override;
  THidrawDevice(const THidrawDevice&) = delete;
  THidrawDevice& operator=(const THidrawDevice&) = delete;

  bool GetAttributes(TAttributes& attributes) override;
  bool GetManufacturerString(std::string& text) override;
  bool GetProductString(std::string& text) override;
  bool GetSerialNumberString(std::string& text) override;
  // Linux has no call for a string by index. The USB device descriptor says whether the index is
  // that of the manufacturer, product or serial number string, and then that string is returned;
  // any other index gives false.
  bool GetIndexedString(int index, std::string& text) override;
  bool GetFeatureReportByteLength(std::uint16_t& length) override;

  // A negative time-out waits until a report comes or CancelIo is called. The reports still queued
  // when the device goes are returned before the read fails.
  int ReadInputReport(std::uint8_t* buffer, std::size_t size, int timeoutMs) override;
  int WriteOutputReport(const std::uint8_t* report, std::size_t size) override;
  int GetFeatureReport(std::uint8_t* report, std::size_t size) override;
  int SetFeatureReport(const std::uint8_t* report, std::size_t size) override;
  // Permanent: every read of this handle fails from now on. Writes and feature reports go on.
  void CancelIo() override;

 private:
  THidrawDevice(int fd, int cancelFd, TNodeStrings strings);

  const int fd_;
  const int cancelFd_;  // an eventfd in every read's poll set; CancelIo makes it readable for good
  std::atomic<bool> cancelled_{false};
  const TNodeStrings strings_;
};

}  // namespace qm::hid::hidraw
