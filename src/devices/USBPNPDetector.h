// Watches for HID interfaces being plugged in or unplugged and reports each with a THIDDeviceInfo.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "devices/HIDGlobal.h"
#include "devices/HidPlatform.h"

namespace qm {

class TUSBPNPDetector {
 public:
  // Subscribes to the platform's notifications for the life of the object. `Owner` is unused
  // (devices pass none).
  explicit TUSBPNPDetector(const TArrTGUID& GUIDs, void* Owner = nullptr);
  virtual ~TUSBPNPDetector();
  TUSBPNPDetector(const TUSBPNPDetector&) = delete;
  TUSBPNPDetector& operator=(const TUSBPNPDetector&) = delete;

  void SetOnArrived(TDeviceInfoEvent::Handler handler) { OnArrived.Set(std::move(handler)); }
  void SetOnRemoved(TDeviceInfoEvent::Handler handler) { OnRemoved.Set(std::move(handler)); }

  // Handling of one device-change notification (main thread).
  virtual void WMDeviceChange(const hid::TDeviceChange& Message);
  // Looks up the device that a notification names and raises the matching event.
  void FindDevice(const std::string& Name, const TGUID& GUID, std::uint32_t Event);

  TArrTGUID GUIDs;
  TDeviceInfoEvent OnArrived;
  TDeviceInfoEvent OnRemoved;

 protected:
  void DoArrived(const THIDDeviceInfo& info) { OnArrived.Raise(info); }
  void DoRemoved(const THIDDeviceInfo& info) { OnRemoved.Raise(info); }

 private:
  std::vector<int> NotifyHandles;  // one platform subscription per class that registered
  // Cleared by the destructor, so a notification whose handler destroyed the detector stops there.
  std::shared_ptr<bool> Alive = std::make_shared<bool>(true);
};

}  // namespace qm
