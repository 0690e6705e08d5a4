#include "sim/SimHidBus.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <map>
#include <stdexcept>
#include <utility>

#include "devices/MainThread.h"
#include "devices/uEnumerator.h"
#include "sim/VirtualCH9329.h"
#include "sim/VirtualCP2110.h"

namespace qm::sim {

struct TSimHidBus::TSubscribers {
  std::mutex Mutex;
  std::map<int, TNotifyHandler> Handlers;
  int LastId = 0;
};

namespace {

template <typename... Args>
std::string Format(const char* format, Args... args) {
  char text[96];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

std::string LowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

// An open handle. It fails once its device's stay on the bus has ended.
class TSimHidHandle : public hid::THidDevice {
 public:
  TSimHidHandle(std::shared_ptr<TVirtualHidInterface> device, std::shared_ptr<std::atomic<bool>> gone)
      : device_(std::move(device)), gone_(std::move(gone)) {}

  bool GetAttributes(hid::TAttributes& attributes) override {
    if (*gone_ || device_->AttributesFail()) return false;
    const auto& id = device_->Identity();
    attributes = {id.VID, id.PID, id.Version};
    return true;
  }
  bool GetManufacturerString(std::string& text) override { return String(device_->Identity().Manufacturer, text); }
  bool GetProductString(std::string& text) override { return String(device_->Identity().Product, text); }
  bool GetSerialNumberString(std::string& text) override { return String(device_->Identity().SerialNumber, text); }
  bool GetIndexedString(int index, std::string& text) override {
    return index == 1 && String(device_->Identity().IndexedString1, text);
  }
  bool GetFeatureReportByteLength(std::uint16_t& length) override {
    if (*gone_ || device_->CapsFail()) return false;
    length = device_->FeatureReportLength();
    return true;
  }

  int ReadInputReport(std::uint8_t* buffer, std::size_t size, int timeoutMs) override {
    auto aborted = [this] { return *gone_ || cancelled_; };
    return aborted() ? -1 : device_->ReadInputReport(buffer, size, timeoutMs, aborted);
  }
  int WriteOutputReport(const std::uint8_t* report, std::size_t size) override {
    return *gone_ ? -1 : device_->WriteOutputReport(report, size);
  }
  int GetFeatureReport(std::uint8_t* report, std::size_t size) override {
    return *gone_ ? -1 : device_->GetFeatureReport(report, size);
  }
  int SetFeatureReport(const std::uint8_t* report, std::size_t size) override {
    return *gone_ ? -1 : device_->SetFeatureReport(report, size);
  }
  void CancelIo() override { cancelled_ = true; }

 private:
  bool String(const std::string& value, std::string& text) const {
    if (*gone_ || device_->StringsFail()) return false;
    text = value;
    return true;
  }

  std::shared_ptr<TVirtualHidInterface> device_;
  std::shared_ptr<std::atomic<bool>> gone_;
  std::atomic<bool> cancelled_{false};
};

}  // namespace

TSimHidBus::TSimHidBus() : subscribers_(std::make_shared<TSubscribers>()) {}

TSimHidBus::~TSimHidBus() {
  {
    std::lock_guard lock(mutex_);
    for (auto& slot : slots_)
      if (slot.Gone) *slot.Gone = true;
  }
  // Notifications still queued find no handler.
  std::lock_guard lock(subscribers_->Mutex);
  subscribers_->Handlers.clear();
}

hid::TInterfaceEntry TSimHidBus::MakeEntry(const TVirtualIdentity& identity) {
  // Windows-like instance part "7&<8 hex digits>&0&0000", unique on this bus.
  const unsigned unique = ++instances_ * 2654435761u;
  hid::TInterfaceEntry e;
  e.InstanceId = Format("HID\\VID_%04X&PID_%04X\\7&%08X&0&0000", identity.VID, identity.PID, unique);
  e.HardwareId = identity.HardwareId.empty()
                     ? Format("HID\\VID_%04X&PID_%04X&REV_%04X", identity.VID, identity.PID, identity.Version)
                     : identity.HardwareId;
  e.ObjectName = Format("\\Device\\%08X", 0x70 + instances_);
  std::string name = e.InstanceId;
  std::replace(name.begin(), name.end(), '\\', '#');
  e.Path = LowerCase("\\\\?\\" + name + "#{4d1e55b2-f16f-11cf-88cb-001111000030}");
  return e;
}

TSimHidBus::TSlot* TSimHidBus::FindById(TSimDeviceId id) {
  auto it = std::find_if(slots_.begin(), slots_.end(), [id](const TSlot& s) { return s.Id == id; });
  return it == slots_.end() ? nullptr : &*it;
}

const TSimHidBus::TSlot* TSimHidBus::FindById(TSimDeviceId id) const {
  return const_cast<TSimHidBus*>(this)->FindById(id);
}

TSimDeviceId TSimHidBus::Plug(std::shared_ptr<TVirtualHidInterface> device) {
  if (!device) throw std::invalid_argument("TSimHidBus::Plug: no device");
  std::string path;
  TSimDeviceId id = 0;
  {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(slots_.begin(), slots_.end(), [&](const TSlot& s) { return s.Device == device; });
    if (it != slots_.end() && it->Gone) throw std::logic_error("TSimHidBus::Plug: plugged in already");
    if (it == slots_.end()) {
      slots_.push_back({++lastId_, MakeEntry(device->Identity()), device, nullptr});
      it = std::prev(slots_.end());
    }
    device->PowerOn();
    it->Gone = std::make_shared<std::atomic<bool>>(false);
    id = it->Id;
    path = it->Entry.Path;
  }
  Post({DBT_DEVICEARRIVAL, DBT_DEVTYP_DEVICEINTERFACE, path});
  return id;
}

TPluggedBridge TSimHidBus::PlugBridge(TBridgeModel model, std::shared_ptr<TSerialLine> line) {
  if (!line) line = std::make_shared<TSerialLine>();
  std::shared_ptr<TVirtualUartBridge> bridge;
  if (model == bmCP2110)
    bridge = std::make_shared<TVirtualCP2110>(line);
  else
    bridge = std::make_shared<TVirtualCH9329>(line);
  const TSimDeviceId id = Plug(bridge);
  return {id, Entry(id).Path, std::move(line), std::move(bridge)};
}

bool TSimHidBus::Unplug(TSimDeviceId id) {
  std::string path;
  {
    std::lock_guard lock(mutex_);
    TSlot* slot = FindById(id);
    if (!slot || !slot->Gone) return false;
    *slot->Gone = true;
    slot->Gone.reset();
    path = slot->Entry.Path;
  }
  Post({DBT_DEVICEREMOVECOMPLETE, DBT_DEVTYP_DEVICEINTERFACE, path});
  return true;
}

void TSimHidBus::InjectNotification(hid::TDeviceChange change) { Post(std::move(change)); }

hid::TInterfaceEntry TSimHidBus::Entry(TSimDeviceId id) const {
  std::lock_guard lock(mutex_);
  const TSlot* slot = FindById(id);
  if (!slot) return {};
  hid::TInterfaceEntry e = slot->Entry;
  e.Present = slot->Gone != nullptr;
  return e;
}

std::vector<hid::TInterfaceEntry> TSimHidBus::ListInterfaces(bool presentOnly) {
  std::lock_guard lock(mutex_);
  std::vector<hid::TInterfaceEntry> list;
  for (const auto& slot : slots_) {
    if (presentOnly && !slot.Gone) continue;
    list.push_back(slot.Entry);
    list.back().Present = slot.Gone != nullptr;
  }
  return list;
}

std::unique_ptr<hid::THidDevice> TSimHidBus::Open(const std::string& path) {
  const std::string key = TEnumerator::UpperCase(path);
  std::lock_guard lock(mutex_);
  for (const auto& slot : slots_)
    if (slot.Gone && TEnumerator::UpperCase(slot.Entry.Path) == key)
      return slot.Device->HeldExclusively() ? nullptr : std::make_unique<TSimHidHandle>(slot.Device, slot.Gone);
  return nullptr;
}

int TSimHidBus::Subscribe(TNotifyHandler handler) {
  std::lock_guard lock(subscribers_->Mutex);
  subscribers_->Handlers[++subscribers_->LastId] = std::move(handler);
  return subscribers_->LastId;
}

void TSimHidBus::Unsubscribe(int subscription) {
  std::lock_guard lock(subscribers_->Mutex);
  subscribers_->Handlers.erase(subscription);
}

void TSimHidBus::Post(hid::TDeviceChange change) {
  // Those subscribed when the change happens get it, provided they are still subscribed when the
  // main thread delivers it.
  std::vector<int> ids;
  {
    std::lock_guard lock(subscribers_->Mutex);
    for (const auto& [id, handler] : subscribers_->Handlers) ids.push_back(id);
  }
  TMainThread::Instance().Post([subscribers = subscribers_, ids = std::move(ids), change = std::move(change)] {
    for (int id : ids) {
      TNotifyHandler handler;
      {
        std::lock_guard lock(subscribers->Mutex);
        auto it = subscribers->Handlers.find(id);
        if (it == subscribers->Handlers.end()) continue;
        handler = it->second;
      }
      handler(change);
    }
  });
}

}  // namespace qm::sim
