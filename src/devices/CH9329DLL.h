// Our CH9329 library: the eight operations the CH9329 device class calls, with the chip maker's
// names, arguments and results, built on the platform HID layer and speaking this program's
// CH9329 framing (devices/CH9329Wire.h; docs/ch9329-framing.md).
//
// Time-outs are library-wide: CH9329SetTimeOut takes no handle, so it sets the time-out of every
// handle, opened before or after the call. Only the read time-out has an effect: a write is one
// report that the platform sends or refuses at once.
//
// Threads: one CH9329ReadData and one CH9329WriteData may run at once on a handle from two
// threads, each with its own event object.
#pragma once

#include <atomic>
#include <cstdint>

#include "devices/CH9329Wire.h"

namespace qm {

// A device handle: pointer-sized; CH9329_INVALID_HANDLE when a device cannot be opened.
using CH9329_HANDLE = std::intptr_t;
inline constexpr CH9329_HANDLE CH9329_INVALID_HANDLE = -1;

// The largest read: ReadData's buffer must hold this many bytes.
inline constexpr std::uint32_t kCH9329MaxReadLength = 1024;
// Time-outs until the first CH9329SetTimeOut, in milliseconds.
inline constexpr std::uint32_t kCH9329DefaultTimeoutMs = 1000;

// The chip's configuration block; bytes 6..9 hold the UART baud rate, most significant first.
struct TChipConfig {
  std::uint8_t Bytes[ch9329wire::kConfigSize] = {};
};

// The event object of a transfer: manual reset, created signalled. The library resets it when a
// transfer starts and signals it when the transfer is over. The caller creates one for each read
// and one for each whole write, and destroys it afterwards (an object on the stack will do).
class TIoEvent {
 public:
  void Set() { signalled_ = true; }
  void Reset() { signalled_ = false; }
  bool Signalled() const { return signalled_; }

 private:
  std::atomic<bool> signalled_{true};
};

// Prepares the library; true when it can be used.
bool CH9329DllInt();
// Opens the interface by its path (the enumerator's DevicePath or the platform's own spelling).
CH9329_HANDLE CH9329OpenDevicePath(const char* devicePath);
// Reads the 128-byte configuration block; false (and `config` unchanged) when a page cannot be read.
bool CH9329GetCFG(CH9329_HANDLE handle, TChipConfig* config);
// Writes the whole block back; false when a page is refused (pages before it are written).
bool CH9329SetCFG(CH9329_HANDLE handle, TChipConfig config);
// Library-wide time-outs in milliseconds (see above).
bool CH9329SetTimeOut(std::uint32_t readTimeout, std::uint32_t writeTimeout);
// Waits up to the read time-out for one data report and places its bytes in `buffer` (which holds
// kCH9329MaxReadLength bytes). True with `*length` set, 0 after a time-out; false (and `*length`
// unchanged) when the device fails or sends a malformed report.
bool CH9329ReadData(CH9329_HANDLE handle, std::uint8_t* buffer, std::uint32_t* length, TIoEvent* event);
// Sends 1..ch9329wire::kMaxDataPerWrite bytes in one report; false for another length.
bool CH9329WriteData(CH9329_HANDLE handle, const std::uint8_t* buffer, std::uint32_t length, TIoEvent* event);
void CH9329CloseDevice(CH9329_HANDLE handle);

}  // namespace qm
