// An open HID interface of Windows as a THidDevice: overlapped I/O on the interface's handle, and
// the HID class calls of hid.dll for attributes, strings and capabilities.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "devices/HidPlatform.h"
#include "devices/windows/WinApi.h"

namespace qm::hid::win {

// Report lengths from the interface's capabilities, each counting the report-ID byte (0 for a
// kind of report the interface does not have).
struct TReportLengths {
  std::uint16_t Input = 0;
  std::uint16_t Output = 0;
  std::uint16_t Feature = 0;
};

class TWinHidDevice final : public THidDevice {
 public:
  // Opens an interface path (any case) for shared overlapped reading and writing and reads its
  // capabilities. nullptr when the path cannot be opened.
  static std::unique_ptr<TWinHidDevice> Open(const std::string& path);
  // Takes over `handle`, opened with FILE_FLAG_OVERLAPPED, as an interface with these report
  // lengths (nullopt: capabilities unknown). Tests pass a named pipe. nullptr (with `handle`
  // closed) when the events cannot be made.
  static std::unique_ptr<TWinHidDevice> Adopt(HANDLE handle, std::optional<TReportLengths> lengths);

  // Cancels a pending read and waits for it before its buffer goes.
  ~TWinHidDevice() override;
  TWinHidDevice(const TWinHidDevice&) = delete;
  TWinHidDevice& operator=(const TWinHidDevice&) = delete;

  bool GetAttributes(TAttributes& attributes) override;
  bool GetManufacturerString(std::string& text) override;
  bool GetProductString(std::string& text) override;
  bool GetSerialNumberString(std::string& text) override;
  bool GetIndexedString(int index, std::string& text) override;
  bool GetFeatureReportByteLength(std::uint16_t& length) override;

  // Reads whole input reports of the input length. A read that times out stays pending, and the
  // next call waits on it, so a report that comes in between is not lost (the program reads on one
  // thread that stays; a read the system cancelled because its thread ended is started again). A
  // negative time-out waits until a report comes or CancelIo is called.
  int ReadInputReport(std::uint8_t* buffer, std::size_t size, int timeoutMs) override;
  // Pads a shorter report with zeros to the output length (Windows refuses other lengths) and
  // returns `size` on success. Gives up after a second.
  int WriteOutputReport(const std::uint8_t* report, std::size_t size) override;
  // Windows fills a buffer of the feature length; returns the bytes handed back (at most `size`).
  int GetFeatureReport(std::uint8_t* report, std::size_t size) override;
  // Pads a shorter report to the feature length; returns `size` on success.
  int SetFeatureReport(const std::uint8_t* report, std::size_t size) override;
  // Permanent: every blocked or later read fails. Writes and feature reports go on. Any thread.
  void CancelIo() override;

 private:
  struct TRead;  // the overlapped read with its event and buffer, which must outlive it

  TWinHidDevice(TWinHandle handle, std::optional<TReportLengths> lengths, TWinHandle cancelEvent,
                std::unique_ptr<TRead> read, TWinHandle writeEvent, TWinHandle featureEvent);
  // One feature IOCTL over a buffer of at least the feature length; bytes of the report, or -1.
  int FeatureTransfer(DWORD code, std::uint8_t* report, std::size_t size, bool toDevice);

  const TWinHandle handle_;
  const std::optional<TReportLengths> lengths_;
  const TWinHandle cancelEvent_;  // manual reset; CancelIo sets it for good
  std::atomic<bool> cancelled_{false};

  std::mutex readMutex_;  // one read at a time
  std::unique_ptr<TRead> read_;

  std::mutex writeMutex_;
  const TWinHandle writeEvent_;

  std::mutex featureMutex_;
  const TWinHandle featureEvent_;
};

}  // namespace qm::hid::win
