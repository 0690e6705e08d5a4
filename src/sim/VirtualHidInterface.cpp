#include "sim/VirtualHidInterface.h"

#include <algorithm>
#include <stdexcept>
#include <thread>
#include <utility>

#include "devices/ReportDescriptor.h"

namespace qm::sim {

namespace {

// Long enough not to busy-wait, short enough that a cancelled read ends "at once" for any caller.
constexpr std::chrono::milliseconds kSlice{5};

void Item(std::vector<std::uint8_t>& out, std::uint8_t prefix, std::uint32_t value) {
  if (value <= 0xFF) {
    out.insert(out.end(), {static_cast<std::uint8_t>(prefix | 1), static_cast<std::uint8_t>(value)});
  } else {
    out.insert(out.end(), {static_cast<std::uint8_t>(prefix | 2), static_cast<std::uint8_t>(value),
                           static_cast<std::uint8_t>(value >> 8)});
  }
}

std::vector<std::uint8_t> FeatureOnlyDescriptor(std::uint16_t featureReportLength) {
  if (featureReportLength == 1) throw std::invalid_argument("a feature report length of 1 cannot be described");
  std::vector<TReportDecl> reports;
  if (featureReportLength > 0)
    reports.push_back({TReportKind::Feature, 0, static_cast<std::uint16_t>(featureReportLength - 1)});
  return VendorReportDescriptor(0xFF00, reports);
}

}  // namespace

std::vector<std::uint8_t> VendorReportDescriptor(std::uint16_t usagePage, const std::vector<TReportDecl>& reports) {
  // Usage Page 0x04, Usage 0x08, Collection 0xA0, Logical Min/Max 0x14/0x24, Report Size 0x74,
  // Report ID 0x84, Report Count 0x94, End Collection 0xC0; main items are Data,Var,Abs (0x02).
  std::vector<std::uint8_t> d = {0x06, static_cast<std::uint8_t>(usagePage), static_cast<std::uint8_t>(usagePage >> 8),
                                 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08};
  for (const auto& r : reports) {
    if (r.Id != 0) Item(d, 0x84, r.Id);
    Item(d, 0x94, r.Bytes);
    d.insert(d.end(), {0x09, 0x01, static_cast<std::uint8_t>(static_cast<std::uint8_t>(r.Kind) | 1), 0x02});
  }
  d.push_back(0xC0);
  return d;
}

TVirtualHidInterface::TVirtualHidInterface(TVirtualIdentity identity, std::vector<std::uint8_t> reportDescriptor)
    : identity_(std::move(identity)),
      descriptor_(std::move(reportDescriptor)),
      featureLength_(hid::FeatureReportByteLength(descriptor_.data(), descriptor_.size())) {}

int TVirtualHidInterface::WaitInSlices(int timeoutMs, const TAbortCheck& aborted, const TAttempt& attempt) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
  for (;;) {
    if (aborted()) return -1;
    const auto now = Clock::now();
    auto slice = kSlice;
    if (timeoutMs >= 0)
      slice = std::min(slice, std::chrono::ceil<std::chrono::milliseconds>(std::max(deadline - now, Clock::duration{})));
    if (std::size_t n = attempt(slice); n > 0) return static_cast<int>(n);
    // An attempt that came back early with nothing (a closed line) must not make this spin.
    std::this_thread::sleep_until(now + slice);
    if (timeoutMs >= 0 && Clock::now() >= deadline) return aborted() ? -1 : 0;
  }
}

int TVirtualHidInterface::ReadInputReport(std::uint8_t*, std::size_t, int timeoutMs, const TAbortCheck& aborted) {
  return WaitInSlices(timeoutMs, aborted, [](std::chrono::milliseconds) { return std::size_t{0}; });
}

int TVirtualHidInterface::WriteOutputReport(const std::uint8_t*, std::size_t) { return -1; }
int TVirtualHidInterface::GetFeatureReport(std::uint8_t*, std::size_t) { return -1; }
int TVirtualHidInterface::SetFeatureReport(const std::uint8_t*, std::size_t) { return -1; }

TGenericHidInterface::TGenericHidInterface(TVirtualIdentity identity, std::uint16_t featureReportLength)
    : TVirtualHidInterface(std::move(identity), FeatureOnlyDescriptor(featureReportLength)) {}

}  // namespace qm::sim
