#include "devices/CH9329DLL.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "devices/HidPlatform.h"

namespace qm {

namespace {

using namespace ch9329wire;

std::atomic<std::uint32_t> gReadTimeout{kCH9329DefaultTimeoutMs};

// What a CH9329_HANDLE stands for.
struct TCH9329Device {
  std::unique_ptr<hid::THidDevice> Hid;
};

TCH9329Device* DeviceOf(CH9329_HANDLE handle) {
  if (handle == CH9329_INVALID_HANDLE || handle == 0) return nullptr;
  return reinterpret_cast<TCH9329Device*>(handle);
}

// Signals the event when the transfer is over, however it ends.
class TTransfer {
 public:
  explicit TTransfer(TIoEvent& event) : event_(event) { event_.Reset(); }
  ~TTransfer() { event_.Set(); }
  TTransfer(const TTransfer&) = delete;
  TTransfer& operator=(const TTransfer&) = delete;

 private:
  TIoEvent& event_;
};

bool SendFeature(hid::THidDevice& hid, std::uint8_t command, std::uint8_t page, const std::uint8_t* data) {
  std::uint8_t report[kReportLength] = {0x00, command, page};
  if (data != nullptr) std::memcpy(report + 3, data, kConfigPageSize);
  return hid.SetFeatureReport(report, sizeof report) >= 0;
}

bool ReadPage(hid::THidDevice& hid, std::uint8_t page, std::uint8_t* out) {
  if (!SendFeature(hid, kCfgRead, page, nullptr)) return false;
  std::uint8_t report[kReportLength] = {0x00};
  const int length = hid.GetFeatureReport(report, sizeof report);
  if (length < static_cast<int>(3 + kConfigPageSize) || report[1] != kCfgRead || report[2] != page) return false;
  std::memcpy(out, report + 3, kConfigPageSize);
  return true;
}

}  // namespace

bool CH9329DllInt() { return true; }

CH9329_HANDLE CH9329OpenDevicePath(const char* devicePath) {
  if (devicePath == nullptr) return CH9329_INVALID_HANDLE;
  auto device = std::make_unique<TCH9329Device>();
  device->Hid = hid::Platform().Open(devicePath);
  if (!device->Hid) return CH9329_INVALID_HANDLE;
  return reinterpret_cast<CH9329_HANDLE>(device.release());
}

bool CH9329GetCFG(CH9329_HANDLE handle, TChipConfig* config) {
  TCH9329Device* d = DeviceOf(handle);
  if (d == nullptr || config == nullptr) return false;
  TChipConfig read;
  for (std::uint8_t page = 0; page < kConfigPages; ++page)
    if (!ReadPage(*d->Hid, page, read.Bytes + page * kConfigPageSize)) return false;
  *config = read;
  return true;
}

bool CH9329SetCFG(CH9329_HANDLE handle, TChipConfig config) {
  TCH9329Device* d = DeviceOf(handle);
  if (d == nullptr) return false;
  for (std::uint8_t page = 0; page < kConfigPages; ++page)
    if (!SendFeature(*d->Hid, kCfgWrite, page, config.Bytes + page * kConfigPageSize)) return false;
  return true;
}

bool CH9329SetTimeOut(std::uint32_t readTimeout, std::uint32_t /*writeTimeout*/) {
  gReadTimeout = readTimeout;
  return true;
}

bool CH9329ReadData(CH9329_HANDLE handle, std::uint8_t* buffer, std::uint32_t* length, TIoEvent* event) {
  TCH9329Device* d = DeviceOf(handle);
  if (d == nullptr || buffer == nullptr || length == nullptr || event == nullptr) return false;
  TTransfer transfer(*event);
  std::uint8_t report[kReportLength];
  const std::uint32_t timeout = gReadTimeout;
  const int got = d->Hid->ReadInputReport(report, sizeof report, static_cast<int>(std::min<std::uint32_t>(timeout, INT32_MAX)));
  if (got < 0) return false;
  if (got == 0) {
    *length = 0;
    return true;
  }
  // Windows hands over the zero report ID of an unnumbered report, hidraw does not.
  const std::uint8_t* payload = report;
  std::size_t size = static_cast<std::size_t>(got);
  if (size == kReportLength) {
    if (report[0] != 0x00) return false;
    ++payload;
    --size;
  }
  const std::size_t count = payload[0];
  if (count > kMaxDataPerReport || count + 1 > size) return false;
  std::memcpy(buffer, payload + 1, count);
  *length = static_cast<std::uint32_t>(count);
  return true;
}

bool CH9329WriteData(CH9329_HANDLE handle, const std::uint8_t* buffer, std::uint32_t length, TIoEvent* event) {
  TCH9329Device* d = DeviceOf(handle);
  if (d == nullptr || buffer == nullptr || event == nullptr) return false;
  if (length == 0 || length > kMaxDataPerWrite) return false;
  TTransfer transfer(*event);
  std::uint8_t report[kReportLength] = {0x00, static_cast<std::uint8_t>(length)};
  std::memcpy(report + 2, buffer, length);
  return d->Hid->WriteOutputReport(report, sizeof report) == static_cast<int>(sizeof report);
}

void CH9329CloseDevice(CH9329_HANDLE handle) { delete DeviceOf(handle); }

}  // namespace qm
