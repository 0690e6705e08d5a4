// A trend chart as the session sets it up at start-up: four series, 100 records a page, the fill
// series hidden and the value range reset; readings go in as the live reading path feeds them.
#pragma once

#include "recording/TrendChart.h"
#include "recording/uCharControl.h"

namespace qm::test {

struct ChartFixture {
  TTrendChart chart{4};
  TChartControl control{chart, 100};

  ChartFixture() {
    control.SetFillVisible(false);
    ResetValueRange(control);
  }

  // One live reading: the main value widens the value axis, then the record is charted.
  void Reading(double main, double subA = 0.0, double subB = 0.0) {
    TrackValueRange(control, main);
    const double values[4] = {0.0, main, subA, subB};
    const TColor colours[4] = {clBlue, clRed, clBlue, clGreen};
    control.AddValues(values, colours, 4);
  }
  void Readings(int n) {
    for (int i = 0; i < n; ++i) Reading(i % 7, 1.0, 2.0);
  }
};

}  // namespace qm::test
