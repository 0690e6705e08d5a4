// The Windows HID back end: SetupAPI lists the HID interface class, hid.dll and overlapped file I/O
// drive an open interface, and a hidden window receives the device-change notifications.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "devices/HidPlatform.h"
#include "devices/HidSubscriptions.h"
#include "devices/windows/WinApi.h"
#include "devices/windows/WinNotifyWindow.h"

namespace qm::hid::win {

class TWindowsHidPlatform : public THidPlatform {
 public:
  TWindowsHidPlatform();
  // Ends the notification window, if one runs, without waiting for the subscribers.
  ~TWindowsHidPlatform() override;
  TWindowsHidPlatform(const TWindowsHidPlatform&) = delete;
  TWindowsHidPlatform& operator=(const TWindowsHidPlatform&) = delete;

  // Asks SetupAPI afresh each time; with presentOnly false the interfaces the system remembers but
  // that are gone follow the present ones.
  std::vector<TInterfaceEntry> ListInterfaces(bool presentOnly) override;
  // Opens the path as given: Windows compares interface paths without regard to case.
  std::unique_ptr<THidDevice> Open(const std::string& path) override;
  // The first subscription starts the notification window, the last one leaving ends it.
  // Every WM_DEVICECHANGE is passed on; the detector keeps the codes and records it handles.
  int Subscribe(TNotifyHandler handler) override;
  void Unsubscribe(int subscription) override;

  // The notification window while anyone subscribes, else nullptr. Tests send it notifications.
  HWND NotifyWindow();

 private:
  TSubscriptions subscriptions_;
  std::mutex windowMutex_;  // subscribing, unsubscribing and the window's start and end
  std::unique_ptr<TNotifyWindow> window_;
};

}  // namespace qm::hid::win
