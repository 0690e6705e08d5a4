// The Linux HID back end: hidraw nodes listed and watched through udev.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "devices/HidPlatform.h"
#include "devices/linux/HidrawCache.h"
#include "devices/linux/HidrawNames.h"
#include "devices/HidSubscriptions.h"
#include "devices/linux/HidrawUdev.h"

namespace qm::hid::hidraw {

class TLinuxHidPlatform : public THidPlatform {
 public:
  // What the back end asks of the system: udev and hidraw, or stand-ins in tests.
  struct TSystem {
    std::function<std::vector<THidrawNode>()> Scan;
    std::function<std::unique_ptr<THidDevice>(const THidrawNode&)> Open;
    // Starts a watch whose handler runs on a thread of its own; nullptr when none can start.
    std::function<std::unique_ptr<TNodeWatch>(TNodeEventHandler)> Watch;
  };
  static TSystem UdevSystem();

  explicit TLinuxHidPlatform(TSystem system = UdevSystem());
  // Ends the watch, if one runs, without waiting for the subscribers.
  ~TLinuxHidPlatform() override;
  TLinuxHidPlatform(const TLinuxHidPlatform&) = delete;
  TLinuxHidPlatform& operator=(const TLinuxHidPlatform&) = delete;

  // Scans afresh each time; with presentOnly false the interfaces seen since start that are gone
  // follow the present ones.
  std::vector<TInterfaceEntry> ListInterfaces(bool presentOnly) override;
  // Accepts an entry's Path in any case. A path not known as present triggers one fresh scan.
  std::unique_ptr<THidDevice> Open(const std::string& path) override;
  // The first subscription starts the watch, the last one leaving stops it.
  int Subscribe(TNotifyHandler handler) override;
  void Unsubscribe(int subscription) override;

 private:
  // On the watch's thread: records the change and posts it to the subscribers.
  void OnNodeEvent(std::string_view action, const THidrawNode& node);

  const TSystem system_;
  std::mutex cacheMutex_;  // also held across a scan, so scans and events apply in order
  THidrawCache cache_;
  TSubscriptions subscriptions_;
  std::mutex watchMutex_;  // subscribing, unsubscribing and the watch's start and end
  std::unique_ptr<TNodeWatch> watch_;
};

}  // namespace qm::hid::hidraw
