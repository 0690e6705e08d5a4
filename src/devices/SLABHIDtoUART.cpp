#include "devices/SLABHIDtoUART.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "devices/HidPlatform.h"
#include "devices/uEnumerator.h"

namespace qm {

namespace {

using TClock = std::chrono::steady_clock;

constexpr std::uint8_t kMaxDataReportId = 0x3F;  // report IDs 0x01..0x3F carry that many UART bytes
constexpr std::uint8_t kUartEnable = 0x41;
constexpr std::uint8_t kPurgeFifos = 0x43;
constexpr std::uint8_t kVersion = 0x46;
constexpr std::uint8_t kUartConfig = 0x50;
constexpr std::uint8_t kPartNumberCP2110 = 0x0A;
constexpr std::uint8_t kPurgeBoth = 0x03;
constexpr std::size_t kConfigReportLength = 9;  // ID, baud (4), parity, flow control, data bits, stop bits
constexpr std::size_t kReportLength = 64;

// What an HID_UART_DEVICE points to.
struct THidUartDevice {
  std::unique_ptr<hid::THidDevice> Hid;
  std::atomic<std::uint32_t> ReadTimeout{HID_UART_DEFAULT_TIMEOUT_MS};
  std::atomic<std::uint32_t> WriteTimeout{HID_UART_DEFAULT_TIMEOUT_MS};
  // The bytes of the last input report that the read before had no room for (reader only).
  std::array<std::uint8_t, kMaxDataReportId> Rest{};
  std::size_t RestStart = 0;
  std::size_t RestCount = 0;
};

THidUartDevice* DeviceOf(HID_UART_DEVICE device) { return static_cast<THidUartDevice*>(device); }

bool HasIds(const hid::TInterfaceEntry& entry, std::uint16_t vid, std::uint16_t pid) {
  const std::string id = TEnumerator::UpperCase(entry.HardwareId);
  try {
    return TEnumerator::ParseIdAfter(id, "VID_") == vid && TEnumerator::ParseIdAfter(id, "PID_") == pid;
  } catch (const EConvertError&) {
    return false;  // not an identifier we could be asked for
  }
}

// The interfaces that count as devices with these identifiers, in list order.
std::vector<hid::TInterfaceEntry> Devices(std::uint16_t vid, std::uint16_t pid) {
  std::vector<hid::TInterfaceEntry> found;
  for (hid::TInterfaceEntry& entry : hid::Platform().ListInterfaces(true))
    if (entry.Present && HasIds(entry, vid, pid)) found.push_back(std::move(entry));
  return found;
}

int MillisecondsLeft(TClock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - TClock::now()).count();
  return static_cast<int>(std::clamp<decltype(left)>(left, 0, INT32_MAX));
}

bool SetFeature(hid::THidDevice& hid, std::initializer_list<std::uint8_t> report) {
  return hid.SetFeatureReport(report.begin(), report.size()) >= 0;
}

// Reads feature report `id` into `report` (of `length` bytes, ID included); false unless the
// whole report came back.
bool GetFeature(hid::THidDevice& hid, std::uint8_t id, std::uint8_t* report, std::size_t length) {
  report[0] = id;
  return hid.GetFeatureReport(report, length) >= static_cast<int>(length) && report[0] == id;
}

HID_UART_STATUS CheckAndEnable(hid::THidDevice& hid) {
  std::uint8_t version[3] = {};
  if (!GetFeature(hid, kVersion, version, sizeof version)) return HID_UART_DEVICE_IO_FAILED;
  if (version[1] != kPartNumberCP2110) return HID_UART_DEVICE_NOT_SUPPORTED;
  // A previous session may have left bytes in the FIFOs; the UART stays enabled until reset.
  if (!SetFeature(hid, {kUartEnable, 0x01}) || !SetFeature(hid, {kPurgeFifos, kPurgeBoth}))
    return HID_UART_DEVICE_IO_FAILED;
  return HID_UART_SUCCESS;
}

std::size_t TakeRest(THidUartDevice& d, std::uint8_t* out, std::size_t room) {
  const std::size_t n = std::min(room, d.RestCount);
  std::memcpy(out, d.Rest.data() + d.RestStart, n);
  d.RestStart += n;
  d.RestCount -= n;
  return n;
}

// Copies the UART bytes of one input report to `out`; what does not fit is kept for later.
// Reports that carry no UART data are skipped.
std::size_t TakeReport(THidUartDevice& d, const std::uint8_t* report, int length, std::uint8_t* out, std::size_t room) {
  const std::size_t count = report[0];
  if (count == 0 || count > kMaxDataReportId || static_cast<std::size_t>(length) < count + 1) return 0;
  const std::size_t n = std::min(room, count);
  std::memcpy(out, report + 1, n);
  std::memcpy(d.Rest.data(), report + 1 + n, count - n);
  d.RestStart = 0;
  d.RestCount = count - n;
  return n;
}

}  // namespace

HID_UART_STATUS HidUart_GetNumDevices(std::uint32_t* numDevices, std::uint16_t vid, std::uint16_t pid) {
  if (numDevices == nullptr) return HID_UART_INVALID_PARAMETER;
  *numDevices = static_cast<std::uint32_t>(Devices(vid, pid).size());
  return HID_UART_SUCCESS;
}

HID_UART_STATUS HidUart_GetString(std::uint32_t deviceNum, std::uint16_t vid, std::uint16_t pid, char* deviceString,
                                  std::uint32_t options) {
  if (deviceString == nullptr || options != HID_UART_GET_PATH_STR) return HID_UART_INVALID_PARAMETER;
  const std::vector<hid::TInterfaceEntry> devices = Devices(vid, pid);
  if (deviceNum >= devices.size()) return HID_UART_DEVICE_NOT_FOUND;
  const std::string& path = devices[deviceNum].Path;
  // A cut path would name another device, or none.
  if (path.size() >= HID_UART_DEVICE_STRLEN) return HID_UART_INVALID_PARAMETER;
  std::memcpy(deviceString, path.c_str(), path.size() + 1);
  return HID_UART_SUCCESS;
}

HID_UART_STATUS HidUart_Open(HID_UART_DEVICE* device, std::uint32_t deviceNum, std::uint16_t vid, std::uint16_t pid) {
  if (device == nullptr) return HID_UART_INVALID_PARAMETER;
  const std::vector<hid::TInterfaceEntry> devices = Devices(vid, pid);
  if (deviceNum >= devices.size()) return HID_UART_DEVICE_NOT_FOUND;
  auto opened = std::make_unique<THidUartDevice>();
  opened->Hid = hid::Platform().Open(devices[deviceNum].Path);
  if (!opened->Hid) return HID_UART_DEVICE_ACCESS_ERROR;
  if (const HID_UART_STATUS status = CheckAndEnable(*opened->Hid); status != HID_UART_SUCCESS) return status;
  *device = opened.release();
  return HID_UART_SUCCESS;
}

HID_UART_STATUS HidUart_GetUartConfig(HID_UART_DEVICE device, std::uint32_t* baudRate, std::uint8_t* dataBits,
                                      std::uint8_t* parity, std::uint8_t* stopBits, std::uint8_t* flowControl) {
  THidUartDevice* d = DeviceOf(device);
  if (d == nullptr) return HID_UART_INVALID_DEVICE_OBJECT;
  if (!baudRate || !dataBits || !parity || !stopBits || !flowControl) return HID_UART_INVALID_PARAMETER;
  std::uint8_t r[kConfigReportLength] = {};
  if (!GetFeature(*d->Hid, kUartConfig, r, sizeof r)) return HID_UART_DEVICE_IO_FAILED;
  *baudRate = (std::uint32_t{r[1]} << 24) | (std::uint32_t{r[2]} << 16) | (std::uint32_t{r[3]} << 8) | r[4];
  *parity = r[5];
  *flowControl = r[6];
  *dataBits = r[7];
  *stopBits = r[8];
  return HID_UART_SUCCESS;
}

HID_UART_STATUS HidUart_SetUartConfig(HID_UART_DEVICE device, std::uint32_t baudRate, std::uint8_t dataBits,
                                      std::uint8_t parity, std::uint8_t stopBits, std::uint8_t flowControl) {
  THidUartDevice* d = DeviceOf(device);
  if (d == nullptr) return HID_UART_INVALID_DEVICE_OBJECT;
  if (dataBits > HID_UART_EIGHT_DATA_BITS || parity > HID_UART_SPACE_PARITY || stopBits > HID_UART_LONG_STOP_BIT ||
      flowControl > HID_UART_RTS_CTS_FLOW_CONTROL)
    return HID_UART_INVALID_PARAMETER;
  const bool set = SetFeature(*d->Hid, {kUartConfig, static_cast<std::uint8_t>(baudRate >> 24),
                                        static_cast<std::uint8_t>(baudRate >> 16), static_cast<std::uint8_t>(baudRate >> 8),
                                        static_cast<std::uint8_t>(baudRate), parity, flowControl, dataBits, stopBits});
  return set ? HID_UART_SUCCESS : HID_UART_DEVICE_IO_FAILED;
}

HID_UART_STATUS HidUart_SetTimeouts(HID_UART_DEVICE device, std::uint32_t readTimeout, std::uint32_t writeTimeout) {
  THidUartDevice* d = DeviceOf(device);
  if (d == nullptr) return HID_UART_INVALID_DEVICE_OBJECT;
  d->ReadTimeout = readTimeout;
  d->WriteTimeout = writeTimeout;
  return HID_UART_SUCCESS;
}

HID_UART_STATUS HidUart_Read(HID_UART_DEVICE device, std::uint8_t* buffer, std::uint32_t numBytesToRead,
                             std::uint32_t* numBytesRead) {
  THidUartDevice* d = DeviceOf(device);
  if (d == nullptr) return HID_UART_INVALID_DEVICE_OBJECT;
  if (buffer == nullptr || numBytesRead == nullptr) return HID_UART_INVALID_PARAMETER;
  if (numBytesToRead == 0 || numBytesToRead > HID_UART_MAX_READ_SIZE) return HID_UART_INVALID_REQUEST_LENGTH;
  const auto deadline = TClock::now() + std::chrono::milliseconds(d->ReadTimeout.load());
  std::size_t got = TakeRest(*d, buffer, numBytesToRead);
  while (got < numBytesToRead) {
    // A time-out that has passed still takes a report that is already there.
    const int left = MillisecondsLeft(deadline);
    std::uint8_t report[kReportLength];
    const int length = d->Hid->ReadInputReport(report, sizeof report, left);
    if (length < 0) {
      *numBytesRead = static_cast<std::uint32_t>(got);
      return HID_UART_READ_ERROR;
    }
    if (length > 0) got += TakeReport(*d, report, length, buffer + got, numBytesToRead - got);
    if (left == 0) break;
  }
  *numBytesRead = static_cast<std::uint32_t>(got);
  return got == numBytesToRead ? HID_UART_SUCCESS : HID_UART_READ_TIMED_OUT;
}

HID_UART_STATUS HidUart_Write(HID_UART_DEVICE device, const std::uint8_t* buffer, std::uint32_t numBytesToWrite,
                              std::uint32_t* numBytesWritten) {
  THidUartDevice* d = DeviceOf(device);
  if (d == nullptr) return HID_UART_INVALID_DEVICE_OBJECT;
  if (buffer == nullptr || numBytesWritten == nullptr) return HID_UART_INVALID_PARAMETER;
  if (numBytesToWrite == 0 || numBytesToWrite > HID_UART_MAX_WRITE_SIZE) return HID_UART_INVALID_REQUEST_LENGTH;
  const auto deadline = TClock::now() + std::chrono::milliseconds(d->WriteTimeout.load());
  std::uint32_t sent = 0;
  *numBytesWritten = 0;
  while (sent < numBytesToWrite) {
    if (sent > 0 && TClock::now() >= deadline) return HID_UART_WRITE_TIMED_OUT;
    const std::size_t n = std::min<std::size_t>(numBytesToWrite - sent, kMaxDataReportId);
    std::uint8_t report[kReportLength];
    report[0] = static_cast<std::uint8_t>(n);
    std::memcpy(report + 1, buffer + sent, n);
    if (d->Hid->WriteOutputReport(report, n + 1) != static_cast<int>(n + 1)) return HID_UART_WRITE_ERROR;
    sent += static_cast<std::uint32_t>(n);
    *numBytesWritten = sent;
  }
  return HID_UART_SUCCESS;
}

HID_UART_STATUS HidUart_CancelIo(HID_UART_DEVICE device) {
  THidUartDevice* d = DeviceOf(device);
  if (d == nullptr) return HID_UART_INVALID_DEVICE_OBJECT;
  d->Hid->CancelIo();
  return HID_UART_SUCCESS;
}

HID_UART_STATUS HidUart_Close(HID_UART_DEVICE device) {
  THidUartDevice* d = DeviceOf(device);
  if (d == nullptr) return HID_UART_INVALID_DEVICE_OBJECT;
  delete d;
  return HID_UART_SUCCESS;
}

}  // namespace qm
