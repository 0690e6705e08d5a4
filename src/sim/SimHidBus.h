// The simulated HID bus: an in-process HID platform whose interfaces are virtual devices that a
// test or the demo plugs in and pulls out at will. It names each interface the way Windows does
// and notifies subscribers of every plug and unplug through the main thread's queue, as a real
// platform would.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "devices/HIDGlobal.h"
#include "devices/HidPlatform.h"
#include "sim/SerialLine.h"
#include "sim/VirtualHidInterface.h"
#include "sim/VirtualUartBridge.h"

namespace qm::sim {

// Identifies one interface on the bus, kept when it is plugged in again. 0 is never used.
using TSimDeviceId = int;

// A bridge plugged in by PlugBridge; the caller attaches the meter to `Line`.
struct TPluggedBridge {
  TSimDeviceId Id = 0;
  std::string Path;
  std::shared_ptr<TSerialLine> Line;
  std::shared_ptr<TVirtualUartBridge> Bridge;
};

class TSimHidBus : public hid::THidPlatform {
 public:
  TSimHidBus();
  ~TSimHidBus() override;
  TSimHidBus(const TSimHidBus&) = delete;
  TSimHidBus& operator=(const TSimHidBus&) = delete;

  // Plugs an interface in: it powers up, is listed, and an arrival is posted to every subscriber.
  // An interface plugged in again keeps its id, instance identifier and path (the same device in
  // the same port) and its place in the list. Throws std::logic_error if it is plugged in already.
  TSimDeviceId Plug(std::shared_ptr<TVirtualHidInterface> device);
  // A virtual bridge of `model` on `line` (a new line when none is given), plugged in.
  TPluggedBridge PlugBridge(TBridgeModel model, std::shared_ptr<TSerialLine> line = nullptr);
  // Pulls an interface out: open handles fail from now on (blocked reads at once), it is listed
  // only with presentOnly false, and a removal is posted. False when `id` is not plugged in.
  bool Unplug(TSimDeviceId id);
  // Posts any notification (other device types, other event codes) to every subscriber.
  void InjectNotification(hid::TDeviceChange change);

  // The entry of an interface plugged in now or before (Present tells which); empty Path for an
  // unknown id.
  hid::TInterfaceEntry Entry(TSimDeviceId id) const;

  // hid::THidPlatform
  std::vector<hid::TInterfaceEntry> ListInterfaces(bool presentOnly) override;
  std::unique_ptr<hid::THidDevice> Open(const std::string& path) override;
  int Subscribe(TNotifyHandler handler) override;
  void Unsubscribe(int subscription) override;

 private:
  struct TSubscribers;  // shared with queued notifications, which may outlive the bus
  struct TSlot {
    TSimDeviceId Id;
    hid::TInterfaceEntry Entry;
    std::shared_ptr<TVirtualHidInterface> Device;
    // Shared with the open handles of the current stay on the bus, set when it ends; null while
    // unplugged.
    std::shared_ptr<std::atomic<bool>> Gone;
  };

  hid::TInterfaceEntry MakeEntry(const TVirtualIdentity& identity);
  void Post(hid::TDeviceChange change);
  TSlot* FindById(TSimDeviceId id);
  const TSlot* FindById(TSimDeviceId id) const;

  mutable std::mutex mutex_;
  std::vector<TSlot> slots_;  // in first-plug order
  TSimDeviceId lastId_ = 0;
  unsigned instances_ = 0;
  std::shared_ptr<TSubscribers> subscribers_;
};

}  // namespace qm::sim
