#include "devices/USBPNPDetector.h"

#include <algorithm>

#include "devices/uEnumerator.h"

namespace qm {

TUSBPNPDetector::TUSBPNPDetector(const TArrTGUID& GUIDs_, void* /*Owner*/) : GUIDs(GUIDs_) {
  // The platform notifies about the HID class only; a registration for any other class yields
  // nothing and is dropped, as a failed registration would be.
  for (const TGUID& guid : GUIDs) {
    if (!(guid == GUID_DEVINTERFACE_HID)) continue;
    NotifyHandles.push_back(
        hid::Platform().Subscribe([this](const hid::TDeviceChange& change) { WMDeviceChange(change); }));
  }
}

TUSBPNPDetector::~TUSBPNPDetector() {
  *Alive = false;
  for (int handle : NotifyHandles) hid::Platform().Unsubscribe(handle);
}

void TUSBPNPDetector::WMDeviceChange(const hid::TDeviceChange& Message) {
  if (Message.EventCode != DBT_DEVICEARRIVAL && Message.EventCode != DBT_DEVICEREMOVECOMPLETE) return;
  if (Message.DeviceType != DBT_DEVTYP_DEVICEINTERFACE) return;
  const std::string name = TEnumerator::UpperCase(Message.Path);
  const std::shared_ptr<bool> alive = Alive;
  for (const TGUID& guid : GUIDs) {
    FindDevice(name, guid, Message.EventCode);
    if (!*alive) return;
  }
}

void TUSBPNPDetector::FindDevice(const std::string& Name, const TGUID& GUID, std::uint32_t Event) {
  if (!(GUID == GUID_DEVINTERFACE_HID)) return;
  const bool arrival = Event == DBT_DEVICEARRIVAL;
  // A removal also searches the devices that are gone but still known.
  for (const hid::TInterfaceEntry& entry : hid::Platform().ListInterfaces(arrival)) {
    std::string instanceId = entry.InstanceId;
    if (instanceId.empty()) continue;  // no identifier to match (it would match every path)
    std::replace(instanceId.begin(), instanceId.end(), '\\', '#');
    if (Name.find(instanceId) == std::string::npos) continue;

    THIDDeviceInfo info;
    info.DevicePath = Name;
    TEnumerator::ReadDeviceProperties(info, entry, Event);
    if (arrival) {
      if (!TEnumerator::ReadInterfaceDetails(info, entry)) continue;
      DoArrived(info);
    } else {
      DoRemoved(info);
    }
    return;
  }
}

}  // namespace qm
