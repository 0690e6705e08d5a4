#include "recording/TrendChart.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace qm {

namespace detail {
namespace {
constexpr double kPositionLimit = 4611686018427387904.0;  // 2^62, far beyond any point count
}

std::int64_t FirstPositionIn(double lo) {
  if (std::isnan(lo)) return std::numeric_limits<std::int64_t>::max();
  return static_cast<std::int64_t>(std::clamp(std::ceil(lo), -kPositionLimit, kPositionLimit));
}

std::int64_t LastPositionIn(double hi) {
  if (std::isnan(hi)) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(std::clamp(std::floor(hi), -kPositionLimit, kPositionLimit));
}
}  // namespace detail

TTrendChart::TTrendChart(int seriesCount) {
  if (seriesCount < 1) throw std::invalid_argument("a chart needs at least one series");
  series_.resize(static_cast<std::size_t>(seriesCount));
}

void TTrendChart::AddPoint(int series, double value, TColor colour) {
  series_.at(series).Add(value, colour);
  OnChange.Raise();
}

void TTrendChart::ClearSeries(int series) {
  series_.at(series).Clear();
  OnChange.Raise();
}

void TTrendChart::SetSeriesVisible(int series, bool visible) {
  series_.at(series).SetVisible(visible);
  OnChange.Raise();
}

void TTrendChart::SetHorzWindow(double minimum, double maximum) {
  horzMin_ = minimum;
  horzMax_ = maximum;
  OnChange.Raise();
}

void TTrendChart::SetVertMinimum(double minimum) {
  vertMin_ = minimum;
  OnChange.Raise();
}

void TTrendChart::SetVertMaximum(double maximum) {
  vertMax_ = maximum;
  OnChange.Raise();
}

// Every series holds its points at 0 .. count-1, so the extremes follow from the counts.
std::int64_t TTrendChart::MinShownPosition() const { return 0; }

std::int64_t TTrendChart::MaxShownPosition() const {
  std::int64_t largest = 0;
  for (const auto& s : series_)
    if (s.Visible()) largest = std::max(largest, s.Count() - 1);
  return largest;
}

void TTrendChart::FetchWindow(int series, double lo, double hi, std::vector<TChartPoint>& out,
                              int columns) const {
  out.clear();
  const TChartSeries& s = series_.at(series);
  const std::int64_t first = std::max<std::int64_t>(detail::FirstPositionIn(lo), 0);
  const std::int64_t last = std::min(detail::LastPositionIn(hi), s.Count() - 1);
  if (first > last) return;
  const std::int64_t n = last - first + 1;
  if (columns <= 0 || n <= 2 * std::int64_t{columns}) {
    out.reserve(static_cast<std::size_t>(n));
    s.ForEach(first, last, [&](const TChartPoint& p) { out.push_back(p); });
    return;
  }

  out.reserve(2 * static_cast<std::size_t>(columns));
  std::int64_t slice = 0;
  auto sliceEnd = [&] { return first + (slice + 1) * n / columns; };
  std::int64_t end = sliceEnd();
  TChartPoint low, high;
  bool sliceEmpty = true;
  auto flush = [&] {
    const bool lowFirst = low.Position <= high.Position;
    out.push_back(lowFirst ? low : high);
    if (high.Position != low.Position) out.push_back(lowFirst ? high : low);
  };
  s.ForEach(first, last, [&](const TChartPoint& p) {
    if (p.Position >= end) {
      flush();
      ++slice;
      end = sliceEnd();
      sliceEmpty = true;
    }
    if (sliceEmpty) {
      low = high = p;
      sliceEmpty = false;
    } else if (p.Value < low.Value) {
      low = p;
    } else if (p.Value > high.Value) {
      high = p;
    }
  });
  flush();
}

}  // namespace qm
