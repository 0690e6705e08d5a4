// The print preview of the "Data Report": one page at a time, drawn when it comes on screen, so a
// log of millions of records opens as fast as a short one. From here the user sets up the printer
// and prints.
#pragma once

#include <QDialog>
#include <QImage>
#include <QPrinter>

#include <cstddef>
#include <functional>

#include "app/gui/report/ReportPainter.h"

class QAction;
class QLabel;
class QScrollArea;
class QSpinBox;
class QToolBar;

namespace qm::gui {

// The page on its desk: paints the current page at the current scale, from an image of that one
// page made when it first shows.
class TReportPageView : public QWidget {
  Q_OBJECT

 public:
  // Grey desk around the paper, in pixels.
  static constexpr int kDesk = 12;

  TReportPageView(const TReportPainter& report, QWidget* parent = nullptr);

  std::size_t Page() const { return page_; }
  void SetPage(std::size_t page);
  // Pixels per millimetre of paper.
  double Scale() const { return scale_; }
  void SetScale(double pixelsPerMm);
  // The paper in this widget's coordinates.
  QRectF PaperRect() const;
  // Drops the drawn page, e.g. after the print date changed.
  void Invalidate();

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const TReportPainter& report_;
  std::size_t page_ = 1;
  double scale_ = 1;
  QImage image_;  // page_ at scale_, or null
};

class TfrmPrintPreview : public QDialog {
  Q_OBJECT

 public:
  static constexpr const char* kCaption = "Print Preview";

  enum class TZoom { FitWindow, Actual, FitWidth };

  // Chooses and sets up the printer; true when the user accepted. The default is the system's
  // print dialog; tests put their own here so that no modal window ever waits.
  using TPrinterSetup = std::function<bool(QPrinter& printer, QWidget* parent)>;

  TfrmPrintPreview(const IReportRecords& records, IPrompt& prompt, QWidget* parent = nullptr);
  ~TfrmPrintPreview() override;

  const TReportPainter& Report() const { return report_; }
  TReportPageView& View() { return *view_; }
  QPrinter& Printer() { return printer_; }

  std::size_t PageCount() const { return report_.PageCount(); }
  std::size_t CurrentPage() const;
  TZoom Zoom() const { return zoom_; }

  // The day "Print Date:" shows is asked for when the preview opens and again when it prints.
  void SetToday(std::function<QDate()> today);
  void SetPrinterSetup(TPrinterSetup setup) { printerSetup_ = std::move(setup); }

  // ---- handlers ----
  void SetZoom(TZoom zoom);
  void GoToPage(std::size_t page);  // clamped to the report's pages
  void btnFirstClick() { GoToPage(1); }
  void btnPreviousClick();
  void btnNextClick();
  void btnLastClick() { GoToPage(PageCount()); }
  // The printer dialog; the choice stays for the next print.
  void btnPrinterSetupClick();
  // Prints every page on the chosen printer (first asking for one when none is set up), showing
  // its progress on a long report.
  void btnPrintClick();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void BuildToolBar(QToolBar* bar);
  void ApplyZoom();
  void UpdateControls();
  bool HasPrinter() const;

  TReportPainter report_;
  IPrompt& prompt_;
  QPrinter printer_;
  std::function<QDate()> today_;
  TPrinterSetup printerSetup_;
  TZoom zoom_ = TZoom::FitWidth;
  bool printing_ = false;

  QScrollArea* scroll_ = nullptr;
  TReportPageView* view_ = nullptr;
  QSpinBox* edtPage = nullptr;
  QLabel* lblPageCount = nullptr;
  QAction* actFitWindow = nullptr;
  QAction* actActual = nullptr;
  QAction* actFitWidth = nullptr;
  QAction* actFirst = nullptr;
  QAction* actPrevious = nullptr;
  QAction* actNext = nullptr;
  QAction* actLast = nullptr;
  QAction* actPrinterSetup = nullptr;
  QAction* actPrint = nullptr;
  QAction* actClose = nullptr;
};

// How the preview runs: the default shows it modally and returns when the user closed it. Tests
// give their own, which drives the window without a modal loop.
using TPreviewRunner = std::function<void(TfrmPrintPreview& preview)>;

// The log toolbar's Print: lays the whole log out as the Data Report and runs its preview.
void PreviewLogReport(const TReadingLog& log, IPrompt& prompt, QWidget* parent, const TPreviewRunner& run = {});

}  // namespace qm::gui
