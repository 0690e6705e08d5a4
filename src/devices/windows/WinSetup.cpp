#include "devices/windows/WinSetup.h"

#include <setupapi.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "devices/HIDGlobal.h"
#include "devices/windows/WinHidNames.h"

namespace qm::hid::win {
namespace {

// The platform's own size of the detail record's fixed part: 5 in a 32-bit process (packed), 8 in
// a 64-bit one. SetupAPI refuses any other cbSize.
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == (sizeof(void*) == 8 ? 8 : 5));

class TDeviceSet {
 public:
  explicit TDeviceSet(HDEVINFO set) : set_(set) {}
  ~TDeviceSet() {
    if (set_ != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(set_);
  }
  TDeviceSet(const TDeviceSet&) = delete;
  TDeviceSet& operator=(const TDeviceSet&) = delete;
  HDEVINFO Get() const { return set_; }

 private:
  HDEVINFO set_;
};

// The buffer size a call asks for when called without one; 0 when it fails for another reason.
template <typename TCall>
DWORD SizeAskedFor(TCall call) {
  DWORD required = 0;
  if (call(&required) || GetLastError() != ERROR_INSUFFICIENT_BUFFER) return 0;
  return required;
}

std::string InstanceId(HDEVINFO set, SP_DEVINFO_DATA& device) {
  const DWORD required =
      SizeAskedFor([&](DWORD* size) { return SetupDiGetDeviceInstanceIdA(set, &device, nullptr, 0, size); });
  if (required == 0) return {};
  std::string buffer(required, '\0');
  if (!SetupDiGetDeviceInstanceIdA(set, &device, buffer.data(), required, nullptr)) return {};
  return FirstRegistryString(buffer.data(), buffer.size());
}

// A string property (REG_SZ) or the first string of a list (REG_MULTI_SZ).
std::string RegistryString(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
  const DWORD required = SizeAskedFor([&](DWORD* size) {
    return SetupDiGetDeviceRegistryPropertyA(set, &device, property, nullptr, nullptr, 0, size);
  });
  if (required == 0) return {};
  std::string buffer(required, '\0');
  DWORD got = 0;
  if (!SetupDiGetDeviceRegistryPropertyA(set, &device, property, nullptr, reinterpret_cast<BYTE*>(buffer.data()),
                                         required, &got))
    return {};
  return FirstRegistryString(buffer.data(), std::min<std::size_t>(got, buffer.size()));
}

// The path of the device's (first and only) interface of the class.
std::string InterfacePath(HDEVINFO set, SP_DEVINFO_DATA& device, const GUID& interfaceClass) {
  SP_DEVICE_INTERFACE_DATA interfaceData{};
  interfaceData.cbSize = sizeof interfaceData;
  if (!SetupDiEnumDeviceInterfaces(set, &device, &interfaceClass, 0, &interfaceData)) return {};
  const DWORD required = SizeAskedFor(
      [&](DWORD* size) { return SetupDiGetDeviceInterfaceDetailA(set, &interfaceData, nullptr, 0, size, nullptr); });
  constexpr std::size_t kPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
  if (required <= kPathOffset) return {};
  // 8-byte units keep the record aligned as the structure needs.
  auto storage = std::make_unique<std::uint64_t[]>((required + 7) / 8);
  auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(storage.get());
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
  if (!SetupDiGetDeviceInterfaceDetailA(set, &interfaceData, detail, required, nullptr, nullptr)) return {};
  return FirstRegistryString(detail->DevicePath, required - kPathOffset);
}

}  // namespace

GUID HidInterfaceClass() {
  const TGUID& hid = qm::GUID_DEVINTERFACE_HID;
  GUID guid{};
  guid.Data1 = hid.D1;
  guid.Data2 = hid.D2;
  guid.Data3 = hid.D3;
  for (std::size_t i = 0; i < sizeof guid.Data4; ++i) guid.Data4[i] = hid.D4[i];
  return guid;
}

std::vector<TInterfaceEntry> ListHidClass(bool presentOnly) {
  const GUID interfaceClass = HidInterfaceClass();
  const DWORD flags = DIGCF_DEVICEINTERFACE | (presentOnly ? DIGCF_PRESENT : 0);
  const TDeviceSet set(SetupDiGetClassDevsA(&interfaceClass, nullptr, nullptr, flags));
  std::vector<TInterfaceEntry> entries;
  if (set.Get() == INVALID_HANDLE_VALUE) return entries;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD index = 0; SetupDiEnumDeviceInfo(set.Get(), index, &device); ++index) {
    TInterfaceEntry entry;
    entry.InstanceId = InstanceId(set.Get(), device);
    entry.HardwareId = RegistryString(set.Get(), device, SPDRP_HARDWAREID);
    entry.ObjectName = RegistryString(set.Get(), device, SPDRP_PHYSICAL_DEVICE_OBJECT_NAME);
    entry.Path = InterfacePath(set.Get(), device, interfaceClass);
    entries.push_back(std::move(entry));
  }
  return entries;
}

}  // namespace qm::hid::win
