// Report lengths from a HID report descriptor, as the Windows HID capabilities state them: the
// longest report of each kind in bytes, counting the report-ID byte (a zero byte for unnumbered
// reports), or 0 when the descriptor declares no report of that kind.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qm::hid {

struct TReportByteLengths {
  std::uint16_t Input = 0;
  std::uint16_t Output = 0;
  std::uint16_t Feature = 0;
  friend bool operator==(const TReportByteLengths&, const TReportByteLengths&) = default;
};

// Walks the descriptor's items. Malformed input never reads past `len`: a truncated last item ends
// the walk with what was read before it, a Pop without a Push is ignored, and lengths beyond
// 0xFFFF are reported as 0xFFFF.
TReportByteLengths ReportByteLengths(const std::uint8_t* desc, std::size_t len);

// The feature report byte length alone: 65 for an unnumbered 64-byte feature report.
std::uint16_t FeatureReportByteLength(const std::uint8_t* desc, std::size_t len);

}  // namespace qm::hid
