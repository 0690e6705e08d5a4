// The chart the trend-chart control drives, and the point store behind it.
//
// IChart is what the paging logic needs of a chart: series that take coloured points at their
// next position, can be cleared, shown and hidden; a horizontal window; a vertical range; the
// smallest and largest position among the points of the shown series. TTrendChart implements it
// over compact series stores; a chart widget draws from it, one window of points at a time.
#pragma once

#include <cstdint>
#include <vector>

#include "common/Event.h"
#include "recording/RecordingTypes.h"
#include "recording/Series.h"

namespace qm {

class IChart {
 public:
  virtual ~IChart() = default;

  virtual int SeriesCount() const = 0;
  // Appends a point at the series' next position (the number of points it held before).
  virtual void AddPoint(int series, double value, TColor colour) = 0;
  virtual void ClearSeries(int series) = 0;
  virtual std::int64_t PointCount(int series) const = 0;
  virtual void SetSeriesVisible(int series, bool visible) = 0;
  virtual bool SeriesVisible(int series) const = 0;

  // The horizontal axis window; the axis is always manual.
  virtual void SetHorzWindow(double minimum, double maximum) = 0;
  virtual double HorzMinimum() const = 0;
  virtual double HorzMaximum() const = 0;

  virtual void SetVertMinimum(double minimum) = 0;
  virtual void SetVertMaximum(double maximum) = 0;
  virtual double VertMinimum() const = 0;
  virtual double VertMaximum() const = 0;

  // Smallest and largest position among the points of the shown series; 0 when there are none.
  virtual std::int64_t MinShownPosition() const = 0;
  virtual std::int64_t MaxShownPosition() const = 0;
};

class TTrendChart : public IChart {
 public:
  explicit TTrendChart(int seriesCount);

  int SeriesCount() const override { return static_cast<int>(series_.size()); }
  void AddPoint(int series, double value, TColor colour) override;
  void ClearSeries(int series) override;
  std::int64_t PointCount(int series) const override { return series_.at(series).Count(); }
  void SetSeriesVisible(int series, bool visible) override;
  bool SeriesVisible(int series) const override { return series_.at(series).Visible(); }

  void SetHorzWindow(double minimum, double maximum) override;
  double HorzMinimum() const override { return horzMin_; }
  double HorzMaximum() const override { return horzMax_; }

  void SetVertMinimum(double minimum) override;
  void SetVertMaximum(double maximum) override;
  double VertMinimum() const override { return vertMin_; }
  double VertMaximum() const override { return vertMax_; }

  std::int64_t MinShownPosition() const override;
  std::int64_t MaxShownPosition() const override;

  const TChartSeries& Series(int series) const { return series_.at(series); }

  // Calls visit(const TChartPoint&) for the points of `series` whose positions lie in lo..hi.
  template <typename Visit>
  void ForEachPointInWindow(int series, double lo, double hi, Visit&& visit) const;

  // Replaces `out` with the points of `series` in lo..hi. When there are more than two points for
  // each of `columns` pixel columns (columns > 0), the window is cut into `columns` equal slices
  // and each slice gives only its lowest and its highest point, in position order, which draws
  // the same envelope as all its points.
  void FetchWindow(int series, double lo, double hi, std::vector<TChartPoint>& out, int columns = 0) const;

  // Raised after every change of points, visibility or axes, so that a view can repaint. Several
  // views may watch the same chart (the window, a printout).
  TMulticastEvent<> OnChange;

 private:
  std::vector<TChartSeries> series_;
  double horzMin_ = 0.0, horzMax_ = 0.0;
  double vertMin_ = 0.0, vertMax_ = 0.0;
};

namespace detail {
// The whole positions a window lo..hi covers.
std::int64_t FirstPositionIn(double lo);
std::int64_t LastPositionIn(double hi);
}  // namespace detail

template <typename Visit>
void TTrendChart::ForEachPointInWindow(int series, double lo, double hi, Visit&& visit) const {
  series_.at(series).ForEach(detail::FirstPositionIn(lo), detail::LastPositionIn(hi), visit);
}

}  // namespace qm
