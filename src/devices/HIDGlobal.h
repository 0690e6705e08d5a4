// Shared device types: the description of one HID interface, the bridge models and the event types.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/Event.h"

namespace qm {

enum TBridgeModel : std::uint8_t { bmCH9329 = 0, bmCP2110 = 1 };

// One HID interface, keyed by its upper-case DevicePath. All texts are 8-bit.
struct THIDDeviceInfo {
  std::string DevicePath;    // interface path, upper case: the key to open and recognise it again
  std::string ObjectName1;   // physical device object name, upper case
  std::string HardwareId;    // first hardware identifier, upper case ("HID\VID_10C4&PID_EA80&REV_0100")
  std::string ObjectName2;   // object name again; only in records made by enumeration or an arrival
  std::string Manufacturer;
  std::string Product;
  std::string SerialNumber;
  std::string IndexedString1;
  std::string ObjectName3;
  std::uint16_t VID = 0;
  std::uint16_t PID = 0;
  std::uint16_t FeatureReportLength = 0;  // largest feature report incl. its report-ID byte
  TBridgeModel Model = bmCH9329;
};

// Owning list of interface records, in enumeration order.
using THIDDeviceList = std::vector<std::unique_ptr<THIDDeviceInfo>>;

// A 16-byte interface class identifier.
struct TGUID {
  std::uint32_t D1 = 0;
  std::uint16_t D2 = 0;
  std::uint16_t D3 = 0;
  std::uint8_t D4[8] = {};
  friend bool operator==(const TGUID&, const TGUID&) = default;
};
using TArrTGUID = std::vector<TGUID>;

// {4D1E55B2-F16F-11CF-88CB-001111000030}
inline constexpr TGUID GUID_DEVINTERFACE_HID = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

// Device-change event codes and notification device types, as the notifications carry them.
// Windows' dbt.h defines the same names as macros of the same values; where it came first, its
// macros stand in for these.
#ifndef DBT_DEVICEARRIVAL
inline constexpr std::uint32_t DBT_DEVICEARRIVAL = 0x8000;
#endif
#ifndef DBT_DEVICEQUERYREMOVE
inline constexpr std::uint32_t DBT_DEVICEQUERYREMOVE = 0x8001;
#endif
#ifndef DBT_DEVICEREMOVEPENDING
inline constexpr std::uint32_t DBT_DEVICEREMOVEPENDING = 0x8003;
#endif
#ifndef DBT_DEVICEREMOVECOMPLETE
inline constexpr std::uint32_t DBT_DEVICEREMOVECOMPLETE = 0x8004;
#endif
#ifndef DBT_DEVNODES_CHANGED
inline constexpr std::uint32_t DBT_DEVNODES_CHANGED = 0x0007;
#endif
#ifndef DBT_DEVTYP_VOLUME
inline constexpr std::uint32_t DBT_DEVTYP_VOLUME = 2;
#endif
#ifndef DBT_DEVTYP_PORT
inline constexpr std::uint32_t DBT_DEVTYP_PORT = 3;
#endif
#ifndef DBT_DEVTYP_DEVICEINTERFACE
inline constexpr std::uint32_t DBT_DEVTYP_DEVICEINTERFACE = 5;
#endif

// Event types. TReadDataEvent's Data is valid only during the call.
using TNotifyEvent = TEvent<void* /*Sender*/>;
using TReadDataEvent = TEvent<const std::uint8_t* /*Data*/, std::int32_t /*Length*/>;
using TDeviceInfoEvent = TEvent<const THIDDeviceInfo& /*DeviceInfo*/>;

}  // namespace qm
