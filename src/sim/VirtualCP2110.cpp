#include "sim/VirtualCP2110.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <utility>
#include <vector>

namespace qm::sim {

namespace {

using namespace cp2110;

constexpr std::uint8_t kDeviceVersion = 0x01;
constexpr std::uint8_t kDataBits8 = 3;

std::vector<TReportDecl> Reports() {
  std::vector<TReportDecl> r;
  for (std::uint8_t id = 1; id <= kMaxDataReportId; ++id) {
    r.push_back({TReportKind::Input, id, id});
    r.push_back({TReportKind::Output, id, id});
  }
  for (auto [id, bytes] : {std::pair<std::uint8_t, std::uint16_t>{kResetDevice, 1}, {kUartEnable, 1}, {kUartStatus, 6},
                           {kPurgeFifos, 1}, {kVersion, 2}, {kUartConfig, 8}})
    r.push_back({TReportKind::Feature, id, bytes});
  for (std::uint8_t id = 0x60; id <= 0x66; ++id) r.push_back({TReportKind::Feature, id, 63});
  return r;
}

std::string FreshSerial() {
  static std::atomic<unsigned> next{1};
  char text[9];
  std::snprintf(text, sizeof text, "%08X", next++);
  return text;
}

TVirtualIdentity Cp2110Identity(std::string serial) {
  TVirtualIdentity id;
  id.VID = kVid;
  id.PID = kPid;
  id.Manufacturer = "Silicon Laboratories";
  id.Product = "CP2110 HID USB-to-UART Bridge";
  id.SerialNumber = serial.empty() ? FreshSerial() : std::move(serial);
  id.IndexedString1 = id.Manufacturer;
  return id;
}

std::uint32_t BaudOf(const std::array<std::uint8_t, 8>& c) {
  return (std::uint32_t{c[0]} << 24) | (std::uint32_t{c[1]} << 16) | (std::uint32_t{c[2]} << 8) | c[3];
}

std::uint8_t Hi(std::size_t v) { return static_cast<std::uint8_t>(v >> 8); }
std::uint8_t Lo(std::size_t v) { return static_cast<std::uint8_t>(v); }

}  // namespace

TVirtualCP2110::TVirtualCP2110(std::shared_ptr<TSerialLine> line, std::string serial)
    : TVirtualUartBridge(Cp2110Identity(std::move(serial)), VendorReportDescriptor(0xFF00, Reports()), std::move(line), 9600,
                         false) {
  ResetState();
}

void TVirtualCP2110::PowerOn() {
  TVirtualUartBridge::PowerOn();
  ResetState();
}

void TVirtualCP2110::ResetState() {
  SetUartEnabled(false);
  std::lock_guard lock(mutex_);
  config_ = {0x00, 0x00, 0x25, 0x80, 0x00, 0x00, kDataBits8, 0x00};
  SetBaud(BaudOf(config_));
}

bool TVirtualCP2110::ValidConfig(const TConfig& c) {
  const std::uint32_t baud = BaudOf(c);
  return baud >= kMinBaud && baud <= kMaxBaud && c[4] <= 4 && c[5] <= 1 && c[6] <= 3 && c[7] <= 1;
}

int TVirtualCP2110::Answer(std::uint8_t* report, std::size_t size, std::initializer_list<std::uint8_t> payload) const {
  if (size < payload.size() + 1) return -1;
  std::copy(payload.begin(), payload.end(), report + 1);
  return static_cast<int>(payload.size() + 1);
}

int TVirtualCP2110::ReadInputReport(std::uint8_t* buffer, std::size_t size, int timeoutMs, const TAbortCheck& aborted) {
  if (size < 2) return -1;
  const int n = Receive(buffer + 1, std::min<std::size_t>(size - 1, kMaxDataReportId), timeoutMs, aborted);
  if (n <= 0) return n;
  buffer[0] = static_cast<std::uint8_t>(n);
  return n + 1;
}

int TVirtualCP2110::WriteOutputReport(const std::uint8_t* report, std::size_t size) {
  if (size == 0 || report[0] == 0 || report[0] > kMaxDataReportId || size < std::size_t{report[0]} + 1u) return -1;
  Transmit(report + 1, report[0]);
  return static_cast<int>(size);
}

int TVirtualCP2110::GetFeatureReport(std::uint8_t* report, std::size_t size) {
  if (size == 0) return -1;
  switch (report[0]) {
    case kUartEnable:
      return Answer(report, size, {static_cast<std::uint8_t>(UartEnabled() ? 1 : 0)});
    case kUartStatus: {
      const std::size_t tx = std::min(Line()->toMeter.Pending(), kFifoSize);
      const std::size_t rx = UartEnabled() ? std::min(Line()->toHost.Pending(), kFifoSize) : 0;
      return Answer(report, size, {Hi(tx), Lo(tx), Hi(rx), Lo(rx), 0x00, 0x00});
    }
    case kVersion:
      return Answer(report, size, {kPartNumber, kDeviceVersion});
    case kUartConfig: {
      std::lock_guard lock(mutex_);
      const TConfig& c = config_;
      return Answer(report, size, {c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]});
    }
    default:
      return -1;
  }
}

int TVirtualCP2110::SetFeatureReport(const std::uint8_t* report, std::size_t size) {
  if (size < 2) return -1;
  switch (report[0]) {
    case kResetDevice:
      PowerOn();
      return static_cast<int>(size);
    case kUartEnable:
      if (report[1] > 1) return -1;
      SetUartEnabled(report[1] == 1);
      return static_cast<int>(size);
    case kPurgeFifos:
      if (report[1] < 1 || report[1] > 3) return -1;
      if (report[1] & 1) Line()->toMeter.Purge();
      if (report[1] & 2) Line()->toHost.Purge();
      return static_cast<int>(size);
    case kUartConfig: {
      TConfig c{};
      if (size < c.size() + 1) return -1;
      std::copy_n(report + 1, c.size(), c.begin());
      if (!ValidConfig(c)) return -1;
      std::lock_guard lock(mutex_);
      config_ = c;
      SetBaud(BaudOf(c));
      return static_cast<int>(size);
    }
    default:
      return -1;
  }
}

}  // namespace qm::sim
