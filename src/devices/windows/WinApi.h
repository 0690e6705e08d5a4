// The Windows headers as the HID back end includes them, and an owned kernel handle.
#pragma once

// The build defines these for every Windows target; a file compiled on its own gets the same.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0601  // Windows 7, as the build sets it; CancelIoEx needs Vista or later
#endif

#include <windows.h>

#include <utility>

namespace qm::hid::win {

// Closes a kernel handle (file, event) when it goes. Both null and INVALID_HANDLE_VALUE mean none.
class TWinHandle {
 public:
  TWinHandle() = default;
  explicit TWinHandle(HANDLE handle) : handle_(handle) {}
  ~TWinHandle() { Reset(); }
  TWinHandle(TWinHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  TWinHandle& operator=(TWinHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  TWinHandle(const TWinHandle&) = delete;
  TWinHandle& operator=(const TWinHandle&) = delete;

  HANDLE Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

 private:
  void Reset() {
    if (*this) CloseHandle(handle_);
    handle_ = nullptr;
  }

  HANDLE handle_ = nullptr;
};

}  // namespace qm::hid::win
