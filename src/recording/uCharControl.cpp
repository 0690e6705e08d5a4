#include "recording/uCharControl.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "common/NumberText.h"

namespace qm {

TChartControl::TChartControl(IChart& chart, std::int32_t range) : chart_(chart) {
  if (range < 1) throw std::invalid_argument("a chart page needs at least one position");
  if (chart.SeriesCount() < 1) throw std::invalid_argument("the chart has no series");
  SetRange(range);
  chart_.SetHorzWindow(1, range_);
  pageCount_ = 1;
  currentPage_ = 1;
  for (int i = 0; i < chart_.SeriesCount(); ++i) chart_.AddPoint(i, 0.0, clBlue);
  fillVisible_ = true;
  chart_.SetSeriesVisible(0, true);
  maxValue_ = 0.0;
  minValue_ = 0.0;
  chart_.SetVertMaximum(0.0);
  chart_.SetVertMinimum(0.0);
}

void TChartControl::RecountPages() {
  const std::int64_t points = chart_.PointCount(0);
  const std::int64_t pages = points / range_ + (points % range_ > 0 ? 1 : 0);
  pageCount_ =
      static_cast<std::int32_t>(std::min<std::int64_t>(pages, std::numeric_limits<std::int32_t>::max()));
}

void TChartControl::ShiftWindow(std::int32_t offset, std::int64_t times) {
  if (offset == 0 || times <= 0) return;
  // A single shift moves the window by `offset` while the outermost shown point lies beyond the
  // window's edge on that side; the points do not move, so the shifts stop once the edge has
  // passed the point: after ceil(gap / |offset|) of them.
  const double gap = offset > 0 ? static_cast<double>(chart_.MaxShownPosition()) - chart_.HorzMaximum()
                                : chart_.HorzMinimum() - static_cast<double>(chart_.MinShownPosition());
  if (!(gap > 0)) return;
  const double shifts =
      std::min(static_cast<double>(times), std::ceil(gap / std::abs(static_cast<double>(offset))));
  const double delta = shifts * offset;
  chart_.SetHorzWindow(chart_.HorzMinimum() + delta, chart_.HorzMaximum() + delta);
}

void TChartControl::AddValues(const double* values, const TColor* colours, int count) {
  const int n = std::min(count, chart_.SeriesCount());
  for (int i = 0; i < n; ++i) chart_.AddPoint(i, values[i], colours[i]);
  RecountPages();
  if (!browsing_) {
    ShiftWindow(range_);
    currentPage_ = pageCount_;
  }
}

void TChartControl::SetRange(std::int32_t range) {
  if (range == range_ || range < 1) return;
  range_ = range;
  chart_.SetHorzWindow(1, range_);
  RecountPages();
  ShiftWindow(range_, std::int64_t{pageCount_} - 1);
  currentPage_ = pageCount_;
  browsing_ = false;
}

void TChartControl::FirstPage() {
  if (pageCount_ <= 1 || currentPage_ == 1) return;
  ShiftWindow(-range_, std::int64_t{currentPage_} - 1);
  currentPage_ = 1;
  browsing_ = true;
}

void TChartControl::PriorPage() {
  if (currentPage_ <= 1) return;
  ShiftWindow(-range_);
  --currentPage_;
  browsing_ = true;
}

void TChartControl::NextPage() {
  if (pageCount_ <= 1 || currentPage_ == pageCount_) return;
  ShiftWindow(range_);
  ++currentPage_;
  browsing_ = currentPage_ != pageCount_;
}

void TChartControl::LastPage() {
  if (pageCount_ <= 1 || currentPage_ == pageCount_) return;
  ShiftWindow(range_, std::int64_t{pageCount_} - currentPage_);
  currentPage_ = pageCount_;
  browsing_ = false;
}

void TChartControl::GoToPage(std::int32_t page) {
  if (page == lastGoToPage_) return;
  lastGoToPage_ = page;
  if (page == currentPage_ || pageCount_ <= 1 || page > pageCount_) return;
  const std::int64_t d = std::int64_t{page} - currentPage_;
  if (d > 0)
    ShiftWindow(range_, d);
  else
    ShiftWindow(-range_, -d);
  currentPage_ = page;
  browsing_ = page != pageCount_;
}

void TChartControl::Clear() {
  FirstPage();
  for (int i = 0; i < chart_.SeriesCount(); ++i) chart_.ClearSeries(i);
  browsing_ = false;
}

void TChartControl::SetMaxValue(double x) {
  if (x == maxValue_) return;
  maxValue_ = x;
  chart_.SetVertMaximum(x);
}

void TChartControl::SetMinValue(double x) {
  if (x == minValue_) return;
  minValue_ = x;
  chart_.SetVertMinimum(x);
}

void TChartControl::SetFillVisible(bool visible) {
  if (visible == fillVisible_) return;
  fillVisible_ = visible;
  chart_.SetSeriesVisible(0, visible);
}

void TrackValueRange(TChartControl& chart, double v) {
  if (v > chart.MaxValue()) chart.SetMaxValue(v);
  if (v < chart.MinValue()) chart.SetMinValue(v);
}

void ResetValueRange(TChartControl& chart) {
  chart.SetMaxValue(0.0);
  chart.SetMinValue(0.0);
}

bool ChartEditAcceptsKey(char key) { return DigitEditAcceptsKey(key); }

std::optional<std::int32_t> ReadChartNumber(std::string_view text) {
  if (text.starts_with('+') && !text.starts_with("+-")) text.remove_prefix(1);
  return TryReadInteger<std::int32_t>(text);
}

std::string ApplyChartRangeText(std::string_view text, TChartControl& chart, std::int32_t& chartRange,
                                IPrompt& prompt) {
  const auto n = ReadChartNumber(text);
  if (n && *n >= kMinChartRange && *n <= kMaxChartRange) {
    chart.SetRange(*n);
    chartRange = *n;
    return std::string(text);
  }
  prompt.Information("Please enter a number between 10 to 10000");
  return std::to_string(chartRange);
}

std::string ChartPictureFileName(std::string name) {
  const std::size_t slash = name.find_last_of("/\\");
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = name.rfind('.');
  std::string extension = dot == std::string::npos || dot < nameStart ? std::string() : name.substr(dot);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  if (extension != ".bmp") name += ".bmp";
  return name;
}

std::optional<std::string> AskChartPictureFileName(IPrompt& prompt) {
  auto name = prompt.SaveFileName(kChartPictureFilter, "", true);
  if (!name) return std::nullopt;
  return ChartPictureFileName(std::move(*name));
}

}  // namespace qm
