// A virtual HID interface: what one simulated USB device shows the host through the simulated HID
// bus (identifiers, strings, report descriptor) and how it answers reports. The bus wraps it in
// open handles; the virtual bridge chips derive from it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qm::sim {

// The identity a virtual interface enumerates with.
struct TVirtualIdentity {
  std::uint16_t VID = 0;
  std::uint16_t PID = 0;
  std::uint16_t Version = 0x0100;  // the REV_ of the hardware identifier
  std::string Manufacturer;
  std::string Product;
  std::string SerialNumber;
  std::string IndexedString1;
  // Empty: "HID\VID_xxxx&PID_xxxx&REV_vvvv" from the numbers. Set it to present an odd identifier;
  // the instance identifier and the path are still made from VID and PID.
  std::string HardwareId;
};

// One report of a report descriptor on the vendor page.
enum class TReportKind : std::uint8_t { Input = 0x80, Output = 0x90, Feature = 0xB0 };
struct TReportDecl {
  TReportKind Kind;
  std::uint8_t Id;     // 0: unnumbered
  std::uint16_t Bytes;  // payload bytes after the report-ID byte
};
// A report descriptor with one vendor application collection (usage page `usagePage`) holding the
// given 8-bit-field reports, in order.
std::vector<std::uint8_t> VendorReportDescriptor(std::uint16_t usagePage, const std::vector<TReportDecl>& reports);

// Asked by a blocked read, again and again, whether to give up (handle cancelled, device gone).
using TAbortCheck = std::function<bool()>;

class TVirtualHidInterface {
 public:
  TVirtualHidInterface(TVirtualIdentity identity, std::vector<std::uint8_t> reportDescriptor);
  virtual ~TVirtualHidInterface() = default;
  TVirtualHidInterface(const TVirtualHidInterface&) = delete;
  TVirtualHidInterface& operator=(const TVirtualHidInterface&) = delete;

  const TVirtualIdentity& Identity() const { return identity_; }
  const std::vector<std::uint8_t>& ReportDescriptor() const { return descriptor_; }
  // The largest feature report including its report-ID byte, as the HID capabilities report it:
  // worked out from the report descriptor.
  std::uint16_t FeatureReportLength() const { return featureLength_; }

  // Faults a test can switch on at any time.
  // Another program holds the interface exclusively: opening it fails.
  void SetHeldExclusively(bool on) { heldExclusively_ = on; }
  bool HeldExclusively() const { return heldExclusively_; }
  // The HID strings (manufacturer, product, serial, indexed) cannot be read.
  void SetStringsFail(bool on) { stringsFail_ = on; }
  bool StringsFail() const { return stringsFail_; }
  // The capabilities (feature report length) cannot be read.
  void SetCapsFail(bool on) { capsFail_ = on; }
  bool CapsFail() const { return capsFail_; }
  // The HID attributes cannot be read.
  void SetAttributesFail(bool on) { attributesFail_ = on; }
  bool AttributesFail() const { return attributesFail_; }

  // Called by the bus each time the interface is plugged in: the device powers up.
  virtual void PowerOn() {}

  // The report traffic, with the conventions of hid::THidDevice. A read waits up to timeoutMs
  // (negative: without limit) and returns -1 as soon as `aborted` holds. The defaults describe a
  // device without data or feature reports: reads time out, everything else fails.
  virtual int ReadInputReport(std::uint8_t* buffer, std::size_t size, int timeoutMs, const TAbortCheck& aborted);
  virtual int WriteOutputReport(const std::uint8_t* report, std::size_t size);
  virtual int GetFeatureReport(std::uint8_t* report, std::size_t size);
  virtual int SetFeatureReport(const std::uint8_t* report, std::size_t size);

 protected:
  // One try of a waiting read: takes what is there, waiting at most the given slice; returns the
  // count taken.
  using TAttempt = std::function<std::size_t(std::chrono::milliseconds slice)>;
  // Calls `attempt` slice by slice until it takes something (returns the count), the time-out
  // passes (0; a negative time-out never passes) or `aborted` holds (-1). The slices are short so
  // that a cancel or an unplug ends a blocked read at once, whatever the time-out.
  static int WaitInSlices(int timeoutMs, const TAbortCheck& aborted, const TAttempt& attempt);

 private:
  TVirtualIdentity identity_;
  std::vector<std::uint8_t> descriptor_;
  std::uint16_t featureLength_;
  std::atomic<bool> heldExclusively_{false};
  std::atomic<bool> stringsFail_{false};
  std::atomic<bool> capsFail_{false};
  std::atomic<bool> attributesFail_{false};
};

// A plain HID interface with any identifiers and any feature report length (one unnumbered
// feature report of featureReportLength - 1 bytes; none for 0), for enumeration tests. A length
// of 1 (a report of no bytes) cannot be described: std::invalid_argument.
class TGenericHidInterface : public TVirtualHidInterface {
 public:
  TGenericHidInterface(TVirtualIdentity identity, std::uint16_t featureReportLength);
};

}  // namespace qm::sim
