// Compact point store of one trend-chart series.
//
// A series receives a point at its next position (0, 1, 2, ...) and keeps up to ten million of
// them, so a point is stored in three bytes where it can be: a reading shown on the meter's
// six-character display is a short decimal m / 10^k, and the code keeps m and k. Any other value
// (more digits, a huge exponent, -0, NaN) keeps its full bit pattern in a side table of its chunk,
// so every value reads back exactly as added. A leading run of identical values (the fill series
// holds nothing but 0.0) is kept as a bare count. Colours are kept as runs, since a series is
// drawn in one colour after its seed point. Codes live in fixed-size chunks, so an append never
// copies more than one chunk.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "recording/RecordingTypes.h"

namespace qm {

struct TChartPoint {
  std::int64_t Position = 0;
  double Value = 0.0;
  TColor Colour;
};

class TChartSeries {
 public:
  static constexpr std::int64_t kChunkPoints = 4096;

  void Add(double value, TColor colour);
  void Clear();

  std::int64_t Count() const { return count_; }
  double Value(std::int64_t index) const;
  TColor Colour(std::int64_t index) const;

  bool Visible() const { return visible_; }
  void SetVisible(bool visible) { visible_ = visible; }

  // Calls visit(const TChartPoint&) for the points at positions first..last (clipped to the
  // points held), in position order.
  template <typename Visit>
  void ForEach(std::int64_t first, std::int64_t last, Visit&& visit) const;

 private:
  struct TEscape {
    std::uint32_t Offset;  // within the chunk
    double Value;
  };
  struct TChunk {
    std::vector<std::uint8_t> Codes;  // three bytes a point
    std::vector<TEscape> Escapes;     // in offset order
  };
  struct TColourRun {
    std::int64_t First;
    TColor Colour;
  };
  using TColourRuns = std::vector<TColourRun>;

  static constexpr std::uint32_t kEscapeCode = 0x800000;
  static constexpr std::array<double, 8> kPow10{1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7};

  static std::uint32_t Encode(double value);
  static double Decode(std::uint32_t code) {
    // Bits 3..23 hold the mantissa in two's complement, bits 0..2 the decimal places.
    const auto mantissa = static_cast<std::int32_t>(code << 8) >> 11;
    return mantissa / kPow10[code & 7];
  }
  static std::uint32_t CodeAt(const TChunk& chunk, std::int64_t offset) {
    const std::uint8_t* p = chunk.Codes.data() + 3 * offset;
    return p[0] | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16);
  }
  // The first escape of `chunk` at or after `offset`.
  static std::vector<TEscape>::const_iterator EscapeFrom(const TChunk& chunk, std::int64_t offset);
  TColourRuns::const_iterator RunOf(std::int64_t index) const;
  void AddCoded(double value);

  std::int64_t count_ = 0;
  // Points 0 .. uniformCount_-1 all hold uniformValue_ (bit for bit) and take no chunk space.
  std::int64_t uniformCount_ = 0;
  double uniformValue_ = 0.0;
  std::vector<TChunk> chunks_;
  TColourRuns colours_;
  bool visible_ = true;
};

template <typename Visit>
void TChartSeries::ForEach(std::int64_t first, std::int64_t last, Visit&& visit) const {
  first = std::max<std::int64_t>(first, 0);
  last = std::min(last, count_ - 1);
  if (first > last) return;

  auto run = RunOf(first);
  auto nextRunStart = [&] { return run + 1 == colours_.end() ? count_ : (run + 1)->First; };
  std::int64_t runEnd = nextRunStart();
  TChartPoint point;
  point.Colour = run->Colour;
  auto emit = [&](std::int64_t position, double value) {
    while (position >= runEnd) {
      ++run;
      point.Colour = run->Colour;
      runEnd = nextRunStart();
    }
    point.Position = position;
    point.Value = value;
    visit(point);
  };

  std::int64_t i = first;
  for (; i <= last && i < uniformCount_; ++i) emit(i, uniformValue_);
  while (i <= last) {
    const std::int64_t coded = i - uniformCount_;
    const TChunk& chunk = chunks_[static_cast<std::size_t>(coded / kChunkPoints)];
    std::int64_t offset = coded % kChunkPoints;
    const std::int64_t end = std::min(kChunkPoints, offset + (last - i) + 1);
    auto escape = EscapeFrom(chunk, offset);
    for (; offset < end; ++offset, ++i) {
      const std::uint32_t code = CodeAt(chunk, offset);
      if (code != kEscapeCode) {
        emit(i, Decode(code));
      } else {
        emit(i, escape->Value);
        ++escape;
      }
    }
  }
}

}  // namespace qm
