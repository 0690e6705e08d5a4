// The platform HID layer: the one header in front of every back end (Linux hidraw + udev, the
// simulated bus of virtual bridges, later Windows). The enumerator, the plug-and-play detector and
// the two chip libraries reach HID devices only through this interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qm::hid {

// One interface of the HID class, as the platform lists it.
struct TInterfaceEntry {
  // Device instance identifier with backslashes ("HID\VID_10C4&PID_EA80\0003:10C4:EA80.0001").
  // After "\" -> "#" it is a substring of the upper-cased Path.
  std::string InstanceId;
  // First hardware identifier; carries "VID_" and "PID_" with four hex digits each.
  std::string HardwareId;
  // Physical device object name.
  std::string ObjectName;
  // Interface path as the platform names it. Its upper-cased form is a stable key that Open accepts.
  std::string Path;
  // False for a device that is gone but still known (removal look-ups list those too).
  bool Present = true;
};

struct TAttributes {
  std::uint16_t VendorID = 0;
  std::uint16_t ProductID = 0;
  std::uint16_t VersionNumber = 0;
};

// An open HID interface. Reports use the hidraw/Windows convention: byte 0 is the report ID
// (0 for unnumbered reports). One read and one write may run at once from two threads.
class THidDevice {
 public:
  virtual ~THidDevice() = default;

  virtual bool GetAttributes(TAttributes& attributes) = 0;
  // HID strings converted to 8-bit text; false when the string cannot be read.
  virtual bool GetManufacturerString(std::string& text) = 0;
  virtual bool GetProductString(std::string& text) = 0;
  virtual bool GetSerialNumberString(std::string& text) = 0;
  virtual bool GetIndexedString(int index, std::string& text) = 0;
  // The largest feature report in bytes including its report-ID byte (0 without feature reports);
  // false when the capabilities cannot be read.
  virtual bool GetFeatureReportByteLength(std::uint16_t& length) = 0;

  // Waits up to timeoutMs for one input report. Returns its length (numbered reports start with
  // their ID), 0 on time-out, -1 on error (the device is gone, or the handle was cancelled).
  virtual int ReadInputReport(std::uint8_t* buffer, std::size_t size, int timeoutMs) = 0;
  // Sends one output report; returns the bytes written or -1.
  virtual int WriteOutputReport(const std::uint8_t* report, std::size_t size) = 0;
  // report[0] holds the report ID on entry; on success the result starts with the ID.
  // Returns the length of the report or -1.
  virtual int GetFeatureReport(std::uint8_t* report, std::size_t size) = 0;
  virtual int SetFeatureReport(const std::uint8_t* report, std::size_t size) = 0;
  // Makes a blocked or later ReadInputReport return -1 at once.
  virtual void CancelIo() = 0;
};

// A device-change notification, delivered on the main thread.
struct TDeviceChange {
  std::uint32_t EventCode = 0;   // DBT_DEVICEARRIVAL, DBT_DEVICEREMOVECOMPLETE, or others to ignore
  std::uint32_t DeviceType = 0;  // DBT_DEVTYP_DEVICEINTERFACE for HID interfaces
  std::string Path;              // the interface path (not yet upper-cased)
};

class THidPlatform {
 public:
  using TNotifyHandler = std::function<void(const TDeviceChange&)>;

  virtual ~THidPlatform() = default;

  // The interfaces of the HID class in a stable order. With presentOnly false, devices that were
  // seen and are gone are listed too (Present = false), so a removal can still be matched.
  virtual std::vector<TInterfaceEntry> ListInterfaces(bool presentOnly) = 0;
  // Opens an interface for reading and writing, shared. `path` is an entry's Path or its
  // upper-cased form. nullptr when it cannot be opened (absent, no permission, held exclusively).
  virtual std::unique_ptr<THidDevice> Open(const std::string& path) = 0;
  // Arrival and removal-complete notifications. Handlers run on the main thread, posted through
  // TMainThread; an unsubscribed handler is never called again, not even for a queued notification.
  virtual int Subscribe(TNotifyHandler handler) = 0;
  virtual void Unsubscribe(int subscription) = 0;
};

// The platform in use: the native back end unless another was installed (the simulated bus for
// demos and tests).
THidPlatform& Platform();
THidPlatform& NativePlatform();
// Installs `platform` as the one in use (nullptr restores the native one). Not owned.
void InstallPlatform(THidPlatform* platform);

// Installs a platform for the lifetime of the object.
class TScopedPlatform {
 public:
  explicit TScopedPlatform(THidPlatform& platform) { InstallPlatform(&platform); }
  ~TScopedPlatform() { InstallPlatform(nullptr); }
  TScopedPlatform(const TScopedPlatform&) = delete;
  TScopedPlatform& operator=(const TScopedPlatform&) = delete;
};

}  // namespace qm::hid
