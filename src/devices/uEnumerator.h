// Listing the present HID interfaces and describing each in a THIDDeviceInfo.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "devices/HIDGlobal.h"
#include "devices/HidPlatform.h"

namespace qm {

// The runtime's conversion error: raised when the characters after "VID_" or "PID_" are not
// hexadecimal. Its text is "'%s' is not a valid integer value" with the "$"-prefixed characters.
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Registry property codes.
#ifndef SPDRP_HARDWAREID  // setupapi.h defines it as a macro of the same value
inline constexpr std::uint32_t SPDRP_HARDWAREID = 1;
#endif
#ifndef SPDRP_PHYSICAL_DEVICE_OBJECT_NAME  // setupapi.h defines it as a macro of the same value
inline constexpr std::uint32_t SPDRP_PHYSICAL_DEVICE_OBJECT_NAME = 14;
#endif

class TEnumerator {
 public:
  // Every present interface of the given classes that could be opened and read, in the order
  // found. Errors of the identifier conversion pass out to the caller.
  static THIDDeviceList Enumerate(const TArrTGUID& GUIDs);

  // Fills HardwareId, ObjectName1..3 (ObjectName2 only for DBT_DEVICEARRIVAL), VID and PID from
  // the device's properties. Always true.
  static bool ReadDeviceProperties(THIDDeviceInfo& Info, const hid::TInterfaceEntry& Device, std::uint32_t Event);
  // Fills DevicePath (upper case), the four HID strings and FeatureReportLength by opening the
  // interface; false when it cannot be opened or read.
  static bool ReadInterfaceDetails(THIDDeviceInfo& Info, const hid::TInterfaceEntry& Interface);
  // One property of a device as upper-case text; empty when it cannot be read.
  static std::string GetDeviceRegistryProperty(const hid::TInterfaceEntry& Device, std::uint32_t Property);

  // The identifier after `key` ("VID_" or "PID_") in an upper-case hardware identifier: at most
  // four characters converted as hexadecimal; 0 when `key` is absent. Throws EConvertError.
  static std::uint16_t ParseIdAfter(const std::string& hardwareId, const std::string& key);

  // ASCII upper case, as device paths and identifiers are compared (other bytes stay as they are).
  static std::string UpperCase(std::string text);
};

}  // namespace qm
