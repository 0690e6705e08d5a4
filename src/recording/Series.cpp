#include "recording/Series.h"

#include <bit>
#include <cmath>
#include <stdexcept>

namespace qm {

namespace {
constexpr std::int32_t kMaxMantissa = (1 << 20) - 1;  // -2^20 is left free for the escape code
constexpr std::size_t kChunkBytes = 3 * TChartSeries::kChunkPoints;

bool SameBits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}
}  // namespace

std::uint32_t TChartSeries::Encode(double value) {
  for (std::uint32_t places = 0; places < kPow10.size(); ++places) {
    const double scaled = value * kPow10[places];
    if (!(std::fabs(scaled) <= kMaxMantissa)) break;  // also stops NaN
    const auto mantissa = static_cast<std::int32_t>(std::lround(scaled));
    // Division by an exact power of ten rounds correctly, so this reproduces the value the
    // display text was read as whenever it had at most `places` decimals.
    if (SameBits(mantissa / kPow10[places], value))
      return ((static_cast<std::uint32_t>(mantissa) << 3) | places) & 0xFFFFFF;
  }
  return kEscapeCode;
}

void TChartSeries::AddCoded(double value) {
  if (chunks_.empty() || chunks_.back().Codes.size() == kChunkBytes) chunks_.emplace_back();
  TChunk& chunk = chunks_.back();
  // The last chunk grows by doubling up to its full size, so a short series stays small.
  if (chunk.Codes.size() == chunk.Codes.capacity())
    chunk.Codes.reserve(std::min(kChunkBytes, std::max<std::size_t>(48, 2 * chunk.Codes.capacity())));
  const std::uint32_t code = Encode(value);
  if (code == kEscapeCode)
    chunk.Escapes.push_back({static_cast<std::uint32_t>(chunk.Codes.size() / 3), value});
  chunk.Codes.push_back(static_cast<std::uint8_t>(code));
  chunk.Codes.push_back(static_cast<std::uint8_t>(code >> 8));
  chunk.Codes.push_back(static_cast<std::uint8_t>(code >> 16));
}

void TChartSeries::Add(double value, TColor colour) {
  if (colours_.empty() || colours_.back().Colour != colour) colours_.push_back({count_, colour});
  if (uniformCount_ == count_ && (count_ == 0 || SameBits(value, uniformValue_))) {
    uniformValue_ = value;
    ++uniformCount_;
  } else {
    AddCoded(value);
  }
  ++count_;
}

void TChartSeries::Clear() {
  count_ = 0;
  uniformCount_ = 0;
  uniformValue_ = 0.0;
  // Give the memory back: a cleared chart of millions of points should not keep it.
  std::vector<TChunk>().swap(chunks_);
  TColourRuns().swap(colours_);
}

std::vector<TChartSeries::TEscape>::const_iterator TChartSeries::EscapeFrom(const TChunk& chunk,
                                                                            std::int64_t offset) {
  return std::lower_bound(chunk.Escapes.begin(), chunk.Escapes.end(), offset,
                          [](const TEscape& e, std::int64_t o) { return e.Offset < o; });
}

double TChartSeries::Value(std::int64_t index) const {
  if (index < 0 || index >= count_) throw std::out_of_range("chart point index out of range");
  if (index < uniformCount_) return uniformValue_;
  const std::int64_t coded = index - uniformCount_;
  const TChunk& chunk = chunks_[static_cast<std::size_t>(coded / kChunkPoints)];
  const std::int64_t offset = coded % kChunkPoints;
  const std::uint32_t code = CodeAt(chunk, offset);
  return code == kEscapeCode ? EscapeFrom(chunk, offset)->Value : Decode(code);
}

TChartSeries::TColourRuns::const_iterator TChartSeries::RunOf(std::int64_t index) const {
  auto it = std::upper_bound(colours_.begin(), colours_.end(), index,
                             [](std::int64_t i, const TColourRun& r) { return i < r.First; });
  return it - 1;
}

TColor TChartSeries::Colour(std::int64_t index) const {
  if (index < 0 || index >= count_) throw std::out_of_range("chart point index out of range");
  return RunOf(index)->Colour;
}

}  // namespace qm
