// Types shared by the reading log, the trend chart and the comparator.
#pragma once

#include <cstdint>

namespace qm {

struct TColor {
  std::uint8_t R = 0, G = 0, B = 0;
  friend constexpr bool operator==(TColor, TColor) = default;
};

inline constexpr TColor clRed{255, 0, 0};
inline constexpr TColor clBlue{0, 0, 255};
inline constexpr TColor clGreen{0, 128, 0};

// Where AppendReading sends the chart values of a new record (the trend chart control).
class IChartFeed {
 public:
  virtual ~IChartFeed() = default;
  virtual void AddValues(const double* values, const TColor* colours, int count) = 0;
};

}  // namespace qm
