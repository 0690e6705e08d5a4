// TChartPanel, pnlChartParent: the chart toolbar ToolBar2 above the trend chart Chart1. The
// toolbar sets the records per page, pages through the chart, saves it as a bitmap and asks the
// window to clear the log or to zoom the panel; the paging itself is the chart control's.
#pragma once

#include <QFrame>

#include <cstdint>

#include "app/gui/chart/ChartIcons.h"
#include "common/Prompt.h"
#include "recording/TrendChart.h"
#include "recording/uCharControl.h"

class QLabel;
class QTimer;
class QToolButton;

namespace qm::gui {

class TCEdit;
class TChartView;

class TChartPanel : public QFrame {
  Q_OBJECT

 public:
  static constexpr int kValidationDelayMs = 1000;

  // The chart and its control must outlive the panel.
  TChartPanel(TTrendChart& chart, TChartControl& control, IPrompt& prompt, QWidget* parent = nullptr);

  TChartView& Chart() const { return *Chart1; }
  // The last valid records-per-page entry.
  std::int32_t ChartRange() const { return chartRange_; }

  // Shows the chart control's current page in the page display (after every paging step).
  void RefreshPageDisplay();
  // While zoomed, "Zoom -" replaces "Zoom +".
  void SetZoomed(bool zoomed);

  // ---- handlers ----
  void btnFirstClick();
  void btnPreviousClick();
  void btnNextClick();
  void btnLastClick();
  void btnGoPageClick();
  void btnSaveClick();
  void edtRangeChange();
  void timerChangeTimer();

 Q_SIGNALS:
  // btnNew: the window clears the log (after asking), which clears the chart too.
  void ClearRequested();
  // btnFly / btnChartZoomOut.
  void ZoomInRequested();
  void ZoomOutRequested();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildToolBar();
  QToolButton* NewToolButton(const char* name, const char* hint, TChartIcon icon);
  // A page edit whose text stopped being a whole number goes back to the current page.
  void CheckPageText(TCEdit* edit);

  TChartControl& control_;
  IPrompt& prompt_;
  std::int32_t chartRange_;
  bool restoringRange_ = false;

  QFrame* ToolBar2 = nullptr;
  TCEdit* edtRange = nullptr;
  QToolButton* btnFirst = nullptr;
  QToolButton* btnPrevious = nullptr;
  TCEdit* edtCurPage = nullptr;
  QToolButton* btnNext = nullptr;
  QToolButton* btnLast = nullptr;
  QToolButton* btnNew = nullptr;
  QToolButton* btnSave = nullptr;
  QToolButton* btnFly = nullptr;
  QToolButton* btnChartZoomOut = nullptr;
  QLabel* Panel6 = nullptr;
  TCEdit* edtPage = nullptr;
  QToolButton* btnGoPage = nullptr;
  QTimer* timerChange = nullptr;
  TChartView* Chart1 = nullptr;
};

}  // namespace qm::gui
