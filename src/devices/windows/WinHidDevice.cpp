#include "devices/windows/WinHidDevice.h"

#include <winioctl.h>
// After winioctl.h, which defines the CTL_CODE the IOCTL codes are built with.
#include <hidclass.h>
// These headers of mingw-w64 declare hid.dll's functions without C linkage.
extern "C" {
#include <hidsdi.h>
}

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <iterator>
#include <utility>
#include <vector>

#include "devices/windows/WinHidNames.h"

namespace qm::hid::win {

struct TWinHidDevice::TRead {
  OVERLAPPED Overlapped{};
  TWinHandle Event;
  std::vector<std::uint8_t> Buffer;
  bool Pending = false;  // a read was started and its result not yet taken
};

namespace {

// A write or feature transfer that takes longer than this is given up: the device stopped taking
// reports. Far above what a report needs even at the bridges' lowest baud rates.
constexpr DWORD kTransferTimeoutMs = 1000;
// How long the destructor waits for a cancelled read to end before it leaves the read's memory
// to the system rather than hang.
constexpr DWORD kCancelWaitMs = 5000;
// hid.dll's string calls take a buffer in bytes; USB strings are at most 126 UTF-16 characters.
constexpr ULONG kStringBufferBytes = 260;

// Milliseconds left until `deadline`, rounded up so that a wait never ends early.
DWORD MillisecondsLeft(std::chrono::steady_clock::time_point deadline) {
  const auto left = deadline - std::chrono::steady_clock::now();
  if (left <= left.zero()) return 0;
  return static_cast<DWORD>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

TWinHandle ManualResetEvent() { return TWinHandle(CreateEventA(nullptr, TRUE, FALSE, nullptr)); }

std::optional<TReportLengths> ReadCapabilities(HANDLE handle) {
  PHIDP_PREPARSED_DATA preparsed = nullptr;
  if (!HidD_GetPreparsedData(handle, &preparsed)) return std::nullopt;
  HIDP_CAPS caps{};
  const NTSTATUS status = HidP_GetCaps(preparsed, &caps);
  HidD_FreePreparsedData(preparsed);
  if (status != HIDP_STATUS_SUCCESS) return std::nullopt;
  return TReportLengths{caps.InputReportByteLength, caps.OutputReportByteLength, caps.FeatureReportByteLength};
}

// Waits for an overlapped transfer that a call started (`started` is what the call returned).
// One that does not end in time is cancelled and waited for, since the system still holds its
// buffer. The bytes transferred, or nullopt.
std::optional<DWORD> AwaitTransfer(HANDLE device, OVERLAPPED& overlapped, BOOL started) {
  if (!started && GetLastError() != ERROR_IO_PENDING) return std::nullopt;
  DWORD transferred = 0;
  if (WaitForSingleObject(overlapped.hEvent, kTransferTimeoutMs) != WAIT_OBJECT_0) {
    CancelIoEx(device, &overlapped);
    GetOverlappedResult(device, &overlapped, &transferred, TRUE);
    return std::nullopt;
  }
  if (!GetOverlappedResult(device, &overlapped, &transferred, FALSE)) return std::nullopt;
  return transferred;
}

template <typename TCall>
bool ReadHidString(TCall call, std::string& text) {
  wchar_t buffer[kStringBufferBytes / sizeof(wchar_t)] = {};
  if (!call(buffer, static_cast<ULONG>(sizeof buffer))) return false;
  text = WideToAnsi(buffer, std::size(buffer));
  return true;
}

}  // namespace

std::unique_ptr<TWinHidDevice> TWinHidDevice::Open(const std::string& path) {
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  return Adopt(handle, ReadCapabilities(handle));
}

std::unique_ptr<TWinHidDevice> TWinHidDevice::Adopt(HANDLE handle, std::optional<TReportLengths> lengths) {
  TWinHandle device(handle);
  TWinHandle cancelEvent = ManualResetEvent();
  TWinHandle writeEvent = ManualResetEvent();
  TWinHandle featureEvent = ManualResetEvent();
  auto read = std::make_unique<TRead>();
  read->Event = ManualResetEvent();
  if (!device || !cancelEvent || !writeEvent || !featureEvent || !read->Event) return nullptr;
  read->Overlapped.hEvent = read->Event.Get();
  read->Buffer.resize(lengths ? lengths->Input : 0);
  return std::unique_ptr<TWinHidDevice>(new TWinHidDevice(std::move(device), lengths, std::move(cancelEvent),
                                                          std::move(read), std::move(writeEvent),
                                                          std::move(featureEvent)));
}

TWinHidDevice::TWinHidDevice(TWinHandle handle, std::optional<TReportLengths> lengths, TWinHandle cancelEvent,
                             std::unique_ptr<TRead> read, TWinHandle writeEvent, TWinHandle featureEvent)
    : handle_(std::move(handle)),
      lengths_(lengths),
      cancelEvent_(std::move(cancelEvent)),
      read_(std::move(read)),
      writeEvent_(std::move(writeEvent)),
      featureEvent_(std::move(featureEvent)) {}

TWinHidDevice::~TWinHidDevice() {
  if (!read_->Pending) return;
  CancelIoEx(handle_.Get(), &read_->Overlapped);
  DWORD transferred = 0;
  if (WaitForSingleObject(read_->Event.Get(), kCancelWaitMs) == WAIT_OBJECT_0) {
    GetOverlappedResult(handle_.Get(), &read_->Overlapped, &transferred, FALSE);
    return;
  }
  // The driver ignored the cancel. Closing the handle (below) ends the read some time later; its
  // record, event and buffer stay allocated for it.
  static_cast<void>(read_.release());
}

bool TWinHidDevice::GetAttributes(TAttributes& attributes) {
  HIDD_ATTRIBUTES hid{};
  hid.Size = sizeof hid;
  if (!HidD_GetAttributes(handle_.Get(), &hid)) return false;
  attributes.VendorID = hid.VendorID;
  attributes.ProductID = hid.ProductID;
  attributes.VersionNumber = hid.VersionNumber;
  return true;
}

bool TWinHidDevice::GetManufacturerString(std::string& text) {
  return ReadHidString(
      [&](PVOID buffer, ULONG bytes) { return HidD_GetManufacturerString(handle_.Get(), buffer, bytes); }, text);
}

bool TWinHidDevice::GetProductString(std::string& text) {
  return ReadHidString([&](PVOID buffer, ULONG bytes) { return HidD_GetProductString(handle_.Get(), buffer, bytes); },
                       text);
}

bool TWinHidDevice::GetSerialNumberString(std::string& text) {
  return ReadHidString(
      [&](PVOID buffer, ULONG bytes) { return HidD_GetSerialNumberString(handle_.Get(), buffer, bytes); }, text);
}

bool TWinHidDevice::GetIndexedString(int index, std::string& text) {
  if (index < 0) return false;
  return ReadHidString(
      [&](PVOID buffer, ULONG bytes) {
        return HidD_GetIndexedString(handle_.Get(), static_cast<ULONG>(index), buffer, bytes);
      },
      text);
}

bool TWinHidDevice::GetFeatureReportByteLength(std::uint16_t& length) {
  if (!lengths_) return false;
  length = lengths_->Feature;
  return true;
}

int TWinHidDevice::ReadInputReport(std::uint8_t* buffer, std::size_t size, int timeoutMs) {
  if (buffer == nullptr || size == 0) return -1;
  std::lock_guard lock(readMutex_);
  if (cancelled_.load()) return -1;
  TRead& read = *read_;
  if (read.Buffer.empty()) return -1;  // no input reports, or capabilities unknown
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
  bool startedHere = false;
  for (;;) {
    if (!read.Pending) {
      ResetEvent(read.Event.Get());
      if (!ReadFile(handle_.Get(), read.Buffer.data(), static_cast<DWORD>(read.Buffer.size()), nullptr,
                    &read.Overlapped) &&
          GetLastError() != ERROR_IO_PENDING)
        return -1;
      read.Pending = true;  // also when it completed at once: its event is set and its result waits
      startedHere = true;
    }
    // The cancel event first: when both are set, the cancel wins.
    const HANDLE events[2] = {cancelEvent_.Get(), read.Event.Get()};
    const DWORD waited =
        WaitForMultipleObjects(2, events, FALSE, timeoutMs < 0 ? INFINITE : MillisecondsLeft(deadline));
    if (waited == WAIT_TIMEOUT) return 0;
    if (waited != WAIT_OBJECT_0 + 1) return -1;  // cancelled (the read stays pending for the destructor), or failed
    read.Pending = false;
    DWORD got = 0;
    if (GetOverlappedResult(handle_.Get(), &read.Overlapped, &got, FALSE)) {
      const std::size_t copied = std::min<std::size_t>({got, size, INT_MAX});
      std::memcpy(buffer, read.Buffer.data(), copied);
      return static_cast<int>(copied);
    }
    // Windows cancels the I/O of a thread that ends: a read that an earlier call left pending on a
    // thread that is gone now is started again. Any other failure (ERROR_DEVICE_NOT_CONNECTED once
    // the device is unplugged) ends the read.
    if (GetLastError() != ERROR_OPERATION_ABORTED || startedHere) return -1;
  }
}

int TWinHidDevice::WriteOutputReport(const std::uint8_t* report, std::size_t size) {
  if (report == nullptr || size == 0 || size > INT_MAX) return -1;
  const std::size_t outputLength = lengths_ ? lengths_->Output : 0;
  std::vector<std::uint8_t> padded;
  const std::uint8_t* data = report;
  if (size < outputLength) {
    padded.assign(outputLength, 0);
    std::memcpy(padded.data(), report, size);
    data = padded.data();
  }
  const DWORD length = static_cast<DWORD>(std::max(size, outputLength));
  std::lock_guard lock(writeMutex_);
  OVERLAPPED overlapped{};
  overlapped.hEvent = writeEvent_.Get();
  ResetEvent(overlapped.hEvent);
  const BOOL started = WriteFile(handle_.Get(), data, length, nullptr, &overlapped);
  const std::optional<DWORD> written = AwaitTransfer(handle_.Get(), overlapped, started);
  return written && *written == length ? static_cast<int>(size) : -1;
}

int TWinHidDevice::GetFeatureReport(std::uint8_t* report, std::size_t size) {
  return FeatureTransfer(IOCTL_HID_GET_FEATURE, report, size, false);
}

int TWinHidDevice::SetFeatureReport(const std::uint8_t* report, std::size_t size) {
  // Only read: the buffer goes to the device.
  return FeatureTransfer(IOCTL_HID_SET_FEATURE, const_cast<std::uint8_t*>(report), size, true);
}

int TWinHidDevice::FeatureTransfer(DWORD code, std::uint8_t* report, std::size_t size, bool toDevice) {
  if (report == nullptr || size == 0 || size > INT_MAX) return -1;
  const std::size_t featureLength = lengths_ ? lengths_->Feature : 0;
  // A report read back is exactly the feature length; one sent is padded up to it.
  const std::size_t length = featureLength == 0 ? size : toDevice ? std::max(size, featureLength) : featureLength;
  std::vector<std::uint8_t> buffer(length, 0);
  std::memcpy(buffer.data(), report, std::min(size, length));  // the report ID, and what is sent
  std::lock_guard lock(featureMutex_);
  OVERLAPPED overlapped{};
  overlapped.hEvent = featureEvent_.Get();
  ResetEvent(overlapped.hEvent);
  const DWORD bytes = static_cast<DWORD>(length);
  const BOOL started =
      toDevice ? DeviceIoControl(handle_.Get(), code, buffer.data(), bytes, nullptr, 0, nullptr, &overlapped)
               : DeviceIoControl(handle_.Get(), code, buffer.data(), bytes, buffer.data(), bytes, nullptr, &overlapped);
  // The count Windows gives back for a report read is not always the report's length (the ID byte
  // of an unnumbered report may be left out); on success the buffer holds the whole report.
  if (!AwaitTransfer(handle_.Get(), overlapped, started)) return -1;
  if (toDevice) return static_cast<int>(size);
  const std::size_t copied = std::min(size, length);
  std::memcpy(report, buffer.data(), copied);
  return static_cast<int>(copied);
}

void TWinHidDevice::CancelIo() {
  cancelled_.store(true);
  SetEvent(cancelEvent_.Get());
}

}  // namespace qm::hid::win
