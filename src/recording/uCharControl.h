// Paging and value scaling of the trend chart.
//
// TChartControl appends the values of each logged record to the chart's series and moves the
// chart's horizontal window one page of `Range` record positions at a time: it follows the
// newest page while readings arrive, and stays where the user paged to while `Browsing`. It owns
// no points of its own. The vertical axis spans the main values seen since the last reset.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/Prompt.h"
#include "recording/RecordingTypes.h"
#include "recording/TrendChart.h"

namespace qm {

class TChartControl : public IChartFeed {
 public:
  // Takes over `chart` (not owned) with `range` record positions per page and gives every series
  // its seed point 0.0 at position 0. Throws std::invalid_argument when range < 1 or the chart
  // has no series.
  TChartControl(IChart& chart, std::int32_t range);

  // Appends values[i] in colours[i] to series i, for each i below both count and the number of
  // series; then follows the newest page unless browsing.
  void AddValues(const double* values, const TColor* colours, int count) override;

  // Pages of `range` positions, showing the newest page. A range below 1 is ignored.
  void SetRange(std::int32_t range);
  void FirstPage();
  void PriorPage();
  void NextPage();
  void LastPage();
  void GoToPage(std::int32_t page);
  // Removes every point (seed points too); the next record lands at position 0.
  void Clear();

  void SetMaxValue(double x);
  void SetMinValue(double x);
  void SetFillVisible(bool visible);

  IChart& Chart() const { return chart_; }
  std::int32_t CurrentPage() const { return currentPage_; }
  std::int32_t Range() const { return range_; }
  std::int32_t PageCount() const { return pageCount_; }
  bool Browsing() const { return browsing_; }
  double MaxValue() const { return maxValue_; }
  double MinValue() const { return minValue_; }
  std::int32_t LastGoToPage() const { return lastGoToPage_; }
  bool FillVisible() const { return fillVisible_; }

 private:
  void RecountPages();
  // Moves the window by `offset` while the shown points reach beyond it on that side, at most
  // `times` times: the same as `times` single shifts, computed at once (exactly so, as the window
  // ends this control sets are whole numbers).
  void ShiftWindow(std::int32_t offset, std::int64_t times = 1);

  IChart& chart_;
  std::int32_t currentPage_ = 1;
  std::int32_t range_ = 0;
  std::int32_t pageCount_ = 1;
  bool browsing_ = false;
  double maxValue_ = 0.0;
  double minValue_ = 0.0;
  std::int32_t lastGoToPage_ = 0;
  bool fillVisible_ = true;
};

// The live reading path widens the value axis with each main value; clearing the log and the
// start-up reset it to 0 .. 0 (maximum first, so that minimum <= maximum throughout).
void TrackValueRange(TChartControl& chart, double v);
void ResetValueRange(TChartControl& chart);

// Key filter of the range and page edits: digits and backspace.
bool ChartEditAcceptsKey(char key);

// The whole number the range and page edits hold: an optional sign and decimal digits, nothing
// else, within 32 bits; nullopt for anything else (empty text too).
std::optional<std::int32_t> ReadChartNumber(std::string_view text);

inline constexpr std::int32_t kMinChartRange = 10;
inline constexpr std::int32_t kMaxChartRange = 10000;

// Validation of the range edit, one second after its last change. A whole number from 10 to
// 10000 becomes the chart's range and `chartRange`; anything else is reported and the edit goes
// back to `chartRange`. Returns the text the edit must show.
std::string ApplyChartRangeText(std::string_view text, TChartControl& chart, std::int32_t& chartRange,
                                IPrompt& prompt);

inline constexpr const char* kChartPictureFilter = "Bitmaps (*.bmp)|*.bmp";

// The picture file for a chosen name: ".bmp" is appended unless the name already ends in that
// extension, compared without regard to case.
std::string ChartPictureFileName(std::string name);

// Asks for the file to save the chart picture to (overwriting only after asking); nullopt when the
// user cancelled.
std::optional<std::string> AskChartPictureFileName(IPrompt& prompt);

}  // namespace qm
