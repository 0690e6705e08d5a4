#include "devices/uEnumerator.h"

#include <algorithm>
#include <charconv>
#include <memory>

namespace qm {

namespace {

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

// The runtime's conversion of "$" + digits: at least one hex digit, nothing else.
std::uint16_t HexToInt(const std::string& digits) {
  if (digits.empty() || !std::all_of(digits.begin(), digits.end(), IsHexDigit))
    throw EConvertError("'$" + digits + "' is not a valid integer value");
  std::uint16_t value = 0;  // at most four digits: always fits
  std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
  return value;
}

// A string that cannot be read is stored as empty text.
template <typename Getter>
std::string ReadString(Getter&& get) {
  std::string text;
  if (!get(text)) text.clear();
  return text;
}

}  // namespace

std::string TEnumerator::UpperCase(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

std::uint16_t TEnumerator::ParseIdAfter(const std::string& hardwareId, const std::string& key) {
  const auto pos = hardwareId.find(key);
  if (pos == std::string::npos) return 0;
  return HexToInt(hardwareId.substr(pos + key.size(), 4));
}

std::string TEnumerator::GetDeviceRegistryProperty(const hid::TInterfaceEntry& Device, std::uint32_t Property) {
  std::string value;
  if (Property == SPDRP_HARDWAREID)
    value = Device.HardwareId;
  else if (Property == SPDRP_PHYSICAL_DEVICE_OBJECT_NAME)
    value = Device.ObjectName;
  // Registry texts end at their first zero byte.
  return UpperCase(value.substr(0, value.find('\0')));
}

bool TEnumerator::ReadDeviceProperties(THIDDeviceInfo& Info, const hid::TInterfaceEntry& Device,
                                       std::uint32_t Event) {
  Info.HardwareId = GetDeviceRegistryProperty(Device, SPDRP_HARDWAREID);
  if (Event == DBT_DEVICEARRIVAL) Info.ObjectName2 = GetDeviceRegistryProperty(Device, SPDRP_PHYSICAL_DEVICE_OBJECT_NAME);
  Info.ObjectName1 = GetDeviceRegistryProperty(Device, SPDRP_PHYSICAL_DEVICE_OBJECT_NAME);
  Info.ObjectName3 = GetDeviceRegistryProperty(Device, SPDRP_PHYSICAL_DEVICE_OBJECT_NAME);
  Info.VID = ParseIdAfter(Info.HardwareId, "VID_");
  Info.PID = ParseIdAfter(Info.HardwareId, "PID_");
  return true;
}

bool TEnumerator::ReadInterfaceDetails(THIDDeviceInfo& Info, const hid::TInterfaceEntry& Interface) {
  if (Interface.Path.empty()) return false;
  Info.DevicePath = UpperCase(Interface.Path);
  std::unique_ptr<hid::THidDevice> device = hid::Platform().Open(Info.DevicePath);
  if (!device) return false;
  hid::TAttributes attributes;  // only an accessibility test; the identifiers come from HardwareId
  if (!device->GetAttributes(attributes)) return false;
  Info.Manufacturer = ReadString([&](std::string& s) { return device->GetManufacturerString(s); });
  Info.Product = ReadString([&](std::string& s) { return device->GetProductString(s); });
  Info.SerialNumber = ReadString([&](std::string& s) { return device->GetSerialNumberString(s); });
  Info.IndexedString1 = ReadString([&](std::string& s) { return device->GetIndexedString(1, s); });
  std::uint16_t featureLength = 0;
  if (!device->GetFeatureReportByteLength(featureLength)) return false;
  Info.FeatureReportLength = featureLength;
  return true;
}

THIDDeviceList TEnumerator::Enumerate(const TArrTGUID& GUIDs) {
  THIDDeviceList list;
  for (const TGUID& guid : GUIDs) {
    if (!(guid == GUID_DEVINTERFACE_HID)) continue;  // the platform lists the HID class only
    for (const hid::TInterfaceEntry& entry : hid::Platform().ListInterfaces(true)) {
      auto info = std::make_unique<THIDDeviceInfo>();
      ReadDeviceProperties(*info, entry, DBT_DEVICEARRIVAL);
      if (ReadInterfaceDetails(*info, entry)) list.push_back(std::move(info));
    }
  }
  return list;
}

}  // namespace qm
