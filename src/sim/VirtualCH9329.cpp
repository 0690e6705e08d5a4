#include "sim/VirtualCH9329.h"

#include <algorithm>
#include <utility>

namespace qm::sim {

namespace {

using namespace ch9329wire;

constexpr std::uint8_t kCustomHidMode = 3;
constexpr std::uint32_t kFactoryBaud = 9600;
constexpr std::size_t kPayload = kReportLength - 1;

TVirtualIdentity Ch9329Identity(std::uint16_t vid, std::uint16_t pid) {
  TVirtualIdentity id;
  id.VID = vid;
  id.PID = pid;
  id.Manufacturer = "WCH";
  id.Product = "CH9329 Custom HID";
  id.IndexedString1 = id.Manufacturer;
  return id;
}

std::vector<std::uint8_t> Descriptor() {
  return VendorReportDescriptor(0xFF00, {{TReportKind::Input, 0, kPayload},
                                         {TReportKind::Output, 0, kPayload},
                                         {TReportKind::Feature, 0, kPayload}});
}

}  // namespace

TVirtualCH9329::TVirtualCH9329(std::shared_ptr<TSerialLine> line, std::uint16_t vid, std::uint16_t pid)
    : TVirtualUartBridge(Ch9329Identity(vid, pid), Descriptor(), std::move(line), kFactoryBaud, true) {
  config_[0] = kCustomHidMode;
  StoreBaud(config_.data(), kFactoryBaud);
}

TVirtualCH9329::TConfig TVirtualCH9329::Config() const {
  std::lock_guard lock(mutex_);
  return config_;
}

int TVirtualCH9329::ReadInputReport(std::uint8_t* buffer, std::size_t size, int timeoutMs, const TAbortCheck& aborted) {
  if (size < kPayload) return -1;
  const int n = Receive(buffer + 1, kMaxDataPerReport, timeoutMs, aborted);
  if (n <= 0) return n;
  buffer[0] = static_cast<std::uint8_t>(n);
  std::fill(buffer + 1 + n, buffer + kPayload, std::uint8_t{0});
  return static_cast<int>(kPayload);
}

int TVirtualCH9329::WriteOutputReport(const std::uint8_t* report, std::size_t size) {
  if (size < 2 || report[0] != 0 || report[1] > kMaxDataPerReport || size < std::size_t{report[1]} + 2u) return -1;
  Transmit(report + 2, report[1]);
  return static_cast<int>(size);
}

int TVirtualCH9329::GetFeatureReport(std::uint8_t* report, std::size_t size) {
  if (size < kReportLength || report[0] != 0) return -1;
  std::lock_guard lock(mutex_);
  std::fill(report, report + kReportLength, std::uint8_t{0});
  report[1] = kCfgRead;
  report[2] = readPage_;
  std::copy_n(config_.begin() + readPage_ * kConfigPageSize, kConfigPageSize, report + 3);
  return static_cast<int>(kReportLength);
}

int TVirtualCH9329::SetFeatureReport(const std::uint8_t* report, std::size_t size) {
  if (size < 3 || report[0] != 0 || report[2] >= kConfigPages) return -1;
  const std::uint8_t page = report[2];
  std::lock_guard lock(mutex_);
  if (report[1] == kCfgRead) {
    readPage_ = page;
    return static_cast<int>(size);
  }
  if (report[1] != kCfgWrite || size < 3 + kConfigPageSize) return -1;
  TConfig next = config_;
  std::copy_n(report + 3, kConfigPageSize, next.begin() + page * kConfigPageSize);
  const std::uint32_t baud = BaudFromConfig(next.data());
  if (baud < ch9329::kMinBaud || baud > ch9329::kMaxBaud) return -1;
  config_ = next;
  SetBaud(baud);
  return static_cast<int>(size);
}

}  // namespace qm::sim
