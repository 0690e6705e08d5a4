// Names and identifiers of hidraw interfaces: how the Linux back end turns what udev and the kernel
// say about a node into the identifiers the enumeration and the plug-and-play detector work with.
//
// Path scheme. Each interface gets a path in the Windows form, so that the detector's rule (the
// instance identifier with "\" -> "#" is a substring of the upper-cased path) holds unchanged:
//   instance id  HID\VID_10C4&PID_EA80\0003:10C4:EA80.0001
//   path         \\?\HID#VID_10C4&PID_EA80#0003:10C4:EA80.0001#{4D1E55B2-F16F-11CF-88CB-001111000030}\hidraw3
// "0003:10C4:EA80.0001" is the kernel's name of the HID device (bus, vendor, product, a counter that
// grows with every device the kernel creates) and "hidraw3" the name of its node. Both stay in the
// DEVPATH of a "remove" event, so the path of a device that is gone can still be rebuilt. A device
// plugged in again gets a new kernel name and so a new path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "devices/HidPlatform.h"

namespace qm::hid::hidraw {

// The kernel's name of a HID device, "BBBB:VVVV:PPPP.NNNN" in hexadecimal.
struct THidName {
  std::uint16_t Bus = 0;
  std::uint16_t Vendor = 0;
  std::uint16_t Product = 0;
  std::string Text;  // the name as the kernel wrote it
};

// Parses a kernel HID device name; nullopt for any other text.
std::optional<THidName> ParseHidName(std::string_view text);

// One hidraw interface: what udev tells while it is present, or what a removal event still carries.
struct THidrawNode {
  std::string DevNode;                    // "/dev/hidraw3"
  std::string NodeName;                   // "hidraw3"
  THidName Hid;                           // the HID device the node belongs to
  std::string HidSysPath;                 // "/sys/devices/.../0003:10C4:EA80.0001": the physical device object name
  std::optional<std::uint16_t> Revision;  // bcdDevice of the USB device; unknown after removal
};

// Builds a node from a hidraw DEVPATH ("/devices/.../0003:10C4:EA80.0001/hidraw/hidraw3") and its
// DEVNAME; an empty DEVNAME means "/dev/" + the node name. nullopt when DEVPATH names no HID device.
std::optional<THidrawNode> NodeFromDevPath(std::string_view devPath, std::string_view devNode);

// "HID\VID_10C4&PID_EA80&REV_0100"; without "&REV_" when the revision is unknown.
std::string FormatHardwareId(const THidrawNode& node);
// "HID\VID_10C4&PID_EA80\0003:10C4:EA80.0001".
std::string FormatInstanceId(const THidName& hid);
// The interface path of the scheme above.
std::string FormatInterfacePath(const THidrawNode& node);
TInterfaceEntry MakeInterfaceEntry(const THidrawNode& node, bool present);

std::string UpperCaseAscii(std::string_view text);
// One to four hexadecimal digits, as sysfs writes idVendor or bcdDevice ("0100"); nullopt otherwise.
std::optional<std::uint16_t> ParseHex16(std::string_view text);
// The number of a node name ("hidraw12" -> 12), for a stable order; nullopt for other names.
std::optional<unsigned> NodeNumber(std::string_view nodeName);

// Sysfs gives USB strings as UTF-8; the program's texts are 8-bit. Code points up to U+00FF become
// that byte (Latin-1), every other character and every malformed sequence becomes '?'.
std::string Utf8ToLatin1(std::string_view utf8);

// Which of the strings a USB device descriptor names by string index `index` (iManufacturer,
// iProduct, iSerialNumber); the HID string with that index is then that string.
enum class TStringRole { None, Manufacturer, Product, SerialNumber };
TStringRole StringRoleOfIndex(const std::uint8_t* deviceDescriptor, std::size_t len, int index);

}  // namespace qm::hid::hidraw
