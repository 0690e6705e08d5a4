#include "devices/windows/HidPlatformWindows.h"

#include <utility>

#include "devices/MainThread.h"
#include "devices/windows/WinHidDevice.h"
#include "devices/windows/WinHidNames.h"
#include "devices/windows/WinSetup.h"

namespace qm::hid {

namespace win {

TWindowsHidPlatform::TWindowsHidPlatform() {
  // The window thread posts to the main-thread queue: made first, the queue is destroyed last.
  TMainThread::Instance();
}

TWindowsHidPlatform::~TWindowsHidPlatform() {
  std::lock_guard lock(windowMutex_);
  window_.reset();
}

std::vector<TInterfaceEntry> TWindowsHidPlatform::ListInterfaces(bool presentOnly) {
  std::vector<TInterfaceEntry> present = ListHidClass(true);
  if (presentOnly) return present;
  return WithAbsent(std::move(present), ListHidClass(false));
}

std::unique_ptr<THidDevice> TWindowsHidPlatform::Open(const std::string& path) { return TWinHidDevice::Open(path); }

int TWindowsHidPlatform::Subscribe(TNotifyHandler handler) {
  std::lock_guard lock(windowMutex_);
  const int id = subscriptions_.Add(std::move(handler));
  if (!window_) window_ = TNotifyWindow::Start([this](const TDeviceChange& change) { subscriptions_.Post(change); });
  return id;
}

void TWindowsHidPlatform::Unsubscribe(int subscription) {
  std::lock_guard lock(windowMutex_);
  // The window thread never takes windowMutex_, so ending it here cannot deadlock.
  if (subscriptions_.Remove(subscription) == 0) window_.reset();
}

HWND TWindowsHidPlatform::NotifyWindow() {
  std::lock_guard lock(windowMutex_);
  return window_ ? window_->Handle() : nullptr;
}

}  // namespace win

THidPlatform& NativePlatform() {
  static win::TWindowsHidPlatform platform;
  return platform;
}

}  // namespace qm::hid
