// A scripted HID platform: a list of interfaces with what each one answers when opened, and
// notifications that a test delivers at once to every subscriber.
#pragma once

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "devices/HidPlatform.h"
#include "devices/uEnumerator.h"

namespace qm::test {

struct FakeInterface {
  hid::TInterfaceEntry Entry;
  bool Openable = true;
  bool AttributesReadable = true;
  // nullopt: the string cannot be read.
  std::optional<std::string> Manufacturer = "Maker";
  std::optional<std::string> Product = "Bridge";
  std::optional<std::string> SerialNumber = "0001";
  std::optional<std::string> Indexed1 = "Maker";
  std::optional<std::uint16_t> FeatureLength = 65;
};

class FakeHidDevice : public hid::THidDevice {
 public:
  explicit FakeHidDevice(const FakeInterface& iface) : iface_(iface) {}

  bool GetAttributes(hid::TAttributes& attributes) override {
    attributes = {};
    return iface_.AttributesReadable;
  }
  bool GetManufacturerString(std::string& text) override { return Get(iface_.Manufacturer, text); }
  bool GetProductString(std::string& text) override { return Get(iface_.Product, text); }
  bool GetSerialNumberString(std::string& text) override { return Get(iface_.SerialNumber, text); }
  bool GetIndexedString(int index, std::string& text) override {
    return index == 1 ? Get(iface_.Indexed1, text) : false;
  }
  bool GetFeatureReportByteLength(std::uint16_t& length) override {
    if (!iface_.FeatureLength) return false;
    length = *iface_.FeatureLength;
    return true;
  }
  int ReadInputReport(std::uint8_t*, std::size_t, int) override { return -1; }
  int WriteOutputReport(const std::uint8_t*, std::size_t) override { return -1; }
  int GetFeatureReport(std::uint8_t*, std::size_t) override { return -1; }
  int SetFeatureReport(const std::uint8_t*, std::size_t) override { return -1; }
  void CancelIo() override {}

 private:
  static bool Get(const std::optional<std::string>& value, std::string& text) {
    // A failing read may leave rubbish behind; the caller must not keep it.
    text = value.value_or("garbage");
    return value.has_value();
  }
  FakeInterface iface_;
};

class FakeHidPlatform : public hid::THidPlatform {
 public:
  std::vector<FakeInterface> Interfaces;

  // A present HID interface of a bridge with the given hardware identifier and instance, named
  // the way Windows names it: the instance identifier with "#" for "\\", in lower case.
  static FakeInterface Bridge(const std::string& hardwareId, const std::string& instance) {
    FakeInterface f;
    const std::string device = hardwareId.substr(0, hardwareId.rfind('&'));  // without "&REV_xxxx"
    f.Entry.InstanceId = TEnumerator::UpperCase(device + "\\" + instance);
    f.Entry.HardwareId = hardwareId;
    f.Entry.ObjectName = "\\Device\\" + instance;
    std::string path = "\\\\?\\" + f.Entry.InstanceId + "#{4d1e55b2-f16f-11cf-88cb-001111000030}";
    std::replace(path.begin() + 4, path.end(), '\\', '#');
    std::transform(path.begin(), path.end(), path.begin(), [](unsigned char c) { return std::tolower(c); });
    f.Entry.Path = path;
    return f;
  }

  std::vector<hid::TInterfaceEntry> ListInterfaces(bool presentOnly) override {
    std::vector<hid::TInterfaceEntry> out;
    for (const auto& f : Interfaces)
      if (f.Entry.Present || !presentOnly) out.push_back(f.Entry);
    return out;
  }

  std::unique_ptr<hid::THidDevice> Open(const std::string& path) override {
    for (const auto& f : Interfaces)
      if (f.Entry.Present && f.Openable && TEnumerator::UpperCase(f.Entry.Path) == TEnumerator::UpperCase(path))
        return std::make_unique<FakeHidDevice>(f);
    return nullptr;
  }

  int Subscribe(TNotifyHandler handler) override {
    handlers_[++lastId_] = std::move(handler);
    return lastId_;
  }
  void Unsubscribe(int subscription) override { handlers_.erase(subscription); }
  std::size_t Subscriptions() const { return handlers_.size(); }

  // Delivers one notification to every subscriber, as the main thread's pump would.
  void Notify(std::uint32_t eventCode, const std::string& path,
              std::uint32_t deviceType = DBT_DEVTYP_DEVICEINTERFACE) {
    const hid::TDeviceChange change{eventCode, deviceType, path};
    auto handlers = handlers_;  // a handler may unsubscribe (destroy its detector)
    for (auto& [id, handler] : handlers)
      if (handlers_.count(id)) handler(change);
  }

 private:
  std::map<int, TNotifyHandler> handlers_;
  int lastId_ = 0;
};

}  // namespace qm::test
