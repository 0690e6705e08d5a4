#include "devices/linux/HidPlatformLinux.h"

#include <utility>

#include "devices/HIDGlobal.h"
#include "devices/MainThread.h"

namespace qm::hid {

namespace hidraw {

TLinuxHidPlatform::TSystem TLinuxHidPlatform::UdevSystem() {
  return {ScanHidrawNodes, OpenHidrawNode, [](TNodeEventHandler handler) -> std::unique_ptr<TNodeWatch> {
            return THidrawMonitor::Start(std::move(handler));
          }};
}

TLinuxHidPlatform::TLinuxHidPlatform(TSystem system) : system_(std::move(system)) {
  // The watch thread posts to the main-thread queue: made first, the queue is destroyed last.
  TMainThread::Instance();
}

TLinuxHidPlatform::~TLinuxHidPlatform() {
  std::lock_guard lock(watchMutex_);
  watch_.reset();
}

std::vector<TInterfaceEntry> TLinuxHidPlatform::ListInterfaces(bool presentOnly) {
  std::lock_guard lock(cacheMutex_);
  cache_.SetPresent(system_.Scan());
  return cache_.List(presentOnly);
}

std::unique_ptr<THidDevice> TLinuxHidPlatform::Open(const std::string& path) {
  const std::string key = UpperCaseAscii(path);
  std::optional<THidrawNode> node;
  {
    std::lock_guard lock(cacheMutex_);
    node = cache_.FindPresent(key);
    if (!node) {
      cache_.SetPresent(system_.Scan());
      node = cache_.FindPresent(key);
    }
  }
  return node ? system_.Open(*node) : nullptr;
}

int TLinuxHidPlatform::Subscribe(TNotifyHandler handler) {
  std::lock_guard lock(watchMutex_);
  const int id = subscriptions_.Add(std::move(handler));
  if (!watch_)
    watch_ = system_.Watch([this](std::string_view action, const THidrawNode& node) { OnNodeEvent(action, node); });
  return id;
}

void TLinuxHidPlatform::Unsubscribe(int subscription) {
  std::lock_guard lock(watchMutex_);
  // The watch thread never takes watchMutex_, so ending it here cannot deadlock.
  if (subscriptions_.Remove(subscription) == 0) watch_.reset();
}

void TLinuxHidPlatform::OnNodeEvent(std::string_view action, const THidrawNode& node) {
  TDeviceChange change;
  change.DeviceType = DBT_DEVTYP_DEVICEINTERFACE;
  {
    std::lock_guard lock(cacheMutex_);
    if (action == "add") {
      change.EventCode = DBT_DEVICEARRIVAL;
      change.Path = cache_.Arrived(node).Path;
    } else if (action == "remove") {
      change.EventCode = DBT_DEVICEREMOVECOMPLETE;
      change.Path = cache_.Removed(node).Path;
    } else {
      return;  // "change", "bind" and the like say nothing about presence
    }
  }
  subscriptions_.Post(change);
}

}  // namespace hidraw

THidPlatform& NativePlatform() {
  static hidraw::TLinuxHidPlatform platform;
  return platform;
}

}  // namespace qm::hid
