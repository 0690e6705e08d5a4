// The hidden window that receives the system's device-change notifications for the HID interface
// class. It lives on a thread of its own, so notifications come whatever the main thread does.
#pragma once

#include <functional>
#include <future>
#include <memory>
#include <thread>

#include "devices/HidPlatform.h"
#include "devices/windows/WinApi.h"

namespace qm::hid::win {

// What a WM_DEVICECHANGE says: the event code, the record's device type (0 without a record) and,
// for a device-interface record, the interface path.
TDeviceChange DeviceChangeOf(WPARAM event, LPARAM record);

class TNotifyWindow {
 public:
  using THandler = std::function<void(const TDeviceChange&)>;

  // Starts the window's thread and waits until the window exists and is registered for HID
  // interface notifications. `handler` runs on that thread for every WM_DEVICECHANGE, whatever its
  // code (the detector picks arrivals and removal-completes of interface records). nullptr when
  // the window cannot be made.
  static std::unique_ptr<TNotifyWindow> Start(THandler handler);
  // Unregisters, destroys the window and ends its thread; the handler is not called any more.
  ~TNotifyWindow();
  TNotifyWindow(const TNotifyWindow&) = delete;
  TNotifyWindow& operator=(const TNotifyWindow&) = delete;

  // The message-only window, for tests that send it notifications of their own.
  HWND Handle() const { return hwnd_; }

 private:
  explicit TNotifyWindow(THandler handler);
  // The window's thread: makes the window, hands it over through `created` (nullptr when it cannot
  // be made), then runs its messages until it is destroyed.
  void Run(std::promise<HWND>& created);
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  const THandler handler_;
  HWND hwnd_ = nullptr;
  DWORD threadId_ = 0;
  HDEVNOTIFY notification_ = nullptr;  // the window thread's own
  std::thread thread_;
};

}  // namespace qm::hid::win
