#include "app/gui/report/PrintPreview.h"

#include <QAction>
#include <QActionGroup>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPrintDialog>
#include <QProgressDialog>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <limits>

#include "app/gui/Guard.h"

namespace qm::gui {
namespace {

// Page numbers and counts for Qt's int-sized controls.
int ClampToInt(std::size_t n) { return static_cast<int>(std::min<std::size_t>(n, std::numeric_limits<int>::max())); }

constexpr double kMmPerInch = 25.4;

// Printing that would take longer than this shows its progress.
constexpr int kProgressDelayMs = 500;

enum class TArrow { First, Previous, Next, Last };

// The page-turning pictures, drawn so that they stay sharp at any screen scale.
QIcon ArrowIcon(TArrow arrow, const QColor& colour) {
  constexpr int kSize = 32;
  QPixmap pixmap(kSize, kSize);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  const bool back = arrow == TArrow::First || arrow == TArrow::Previous;
  const bool toEnd = arrow == TArrow::First || arrow == TArrow::Last;
  // Drawn pointing right, mirrored for the backward ones.
  if (back) {
    p.translate(kSize, 0);
    p.scale(-1, 1);
  }
  QPainterPath triangle;
  const double left = toEnd ? 8 : 10;
  triangle.moveTo(left, 7);
  triangle.lineTo(left + 13, 16);
  triangle.lineTo(left, 25);
  triangle.closeSubpath();
  p.drawPath(triangle);
  if (toEnd) p.drawRect(QRectF(22, 7, 3, 18));
  return QIcon(pixmap);
}

}  // namespace

// ---- TReportPageView ----

TReportPageView::TReportPageView(const TReportPainter& report, QWidget* parent) : QWidget(parent), report_(report) {
  setObjectName(QStringLiteral("pnlPage"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(sizeHint());
}

void TReportPageView::SetPage(std::size_t page) {
  if (page == page_) return;
  page_ = page;
  Invalidate();
}

void TReportPageView::SetScale(double pixelsPerMm) {
  if (pixelsPerMm == scale_) return;
  scale_ = pixelsPerMm;
  image_ = QImage();
  resize(sizeHint());
  update();
}

void TReportPageView::Invalidate() {
  image_ = QImage();
  update();
}

QRectF TReportPageView::PaperRect() const {
  return {static_cast<double>(kDesk), static_cast<double>(kDesk), report::kPageWidth * scale_,
          report::kPageHeight * scale_};
}

QSize TReportPageView::sizeHint() const {
  const QRectF paper = PaperRect();
  return {static_cast<int>(std::ceil(paper.right())) + kDesk, static_cast<int>(std::ceil(paper.bottom())) + kDesk};
}

void TReportPageView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Dark));
  const QRectF paper = PaperRect();
  const QRect paperPixels = paper.toAlignedRect();
  // A soft shadow under the sheet.
  painter.fillRect(paperPixels.translated(3, 3), QColor(0, 0, 0, 60));

  // Only this page is drawn, once per page and scale; scrolling and repainting reuse the image.
  const qreal ratio = devicePixelRatioF();
  if (image_.isNull()) {
    image_ = QImage(paperPixels.size() * ratio, QImage::Format_RGB32);
    image_.setDevicePixelRatio(ratio);
    const int dotsPerMeter = static_cast<int>(std::lround(scale_ * ratio * 1000));
    image_.setDotsPerMeterX(dotsPerMeter);
    image_.setDotsPerMeterY(dotsPerMeter);
    image_.fill(Qt::white);
    QPainter pagePainter(&image_);
    pagePainter.setRenderHint(QPainter::Antialiasing);
    pagePainter.setRenderHint(QPainter::TextAntialiasing);
    report_.PaintPage(pagePainter, page_, QRectF(QPointF(0, 0), paper.size()));
  }
  painter.drawImage(paperPixels.topLeft(), image_);
}

// ---- TfrmPrintPreview ----

TfrmPrintPreview::TfrmPrintPreview(const IReportRecords& records, IPrompt& prompt, QWidget* parent)
    : QDialog(parent),
      report_(records),
      prompt_(prompt),
      printer_(QPrinter::HighResolution),
      today_([] { return QDate::currentDate(); }),
      printerSetup_([this](QPrinter& printer, QWidget* owner) {
        QPrintDialog dialog(&printer, owner);
        dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
        dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
        dialog.setMinMax(1, ClampToInt(PageCount()));
        return dialog.exec() == QDialog::Accepted;
      }) {
  setObjectName(QStringLiteral("frmPrintPreview"));
  setWindowTitle(QString::fromLatin1(kCaption));
  setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint);
  setSizeGripEnabled(true);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  auto* bar = new QToolBar(this);
  bar->setObjectName(QStringLiteral("tbPreview"));
  BuildToolBar(bar);
  layout->addWidget(bar);

  scroll_ = new QScrollArea(this);
  scroll_->setObjectName(QStringLiteral("sbPage"));
  scroll_->setAlignment(Qt::AlignCenter);
  scroll_->setFrameShape(QFrame::NoFrame);
  scroll_->setBackgroundRole(QPalette::Dark);
  view_ = new TReportPageView(report_);
  scroll_->setWidget(view_);
  layout->addWidget(scroll_, 1);

  printer_.setDocName(QString::fromLatin1(report::kTitle));
  printer_.setPageSize(QPageSize(QPageSize::A4));
  printer_.setPageOrientation(QPageLayout::Portrait);

  // A page at its true size and the bar fit on most screens; never more than the screen offers.
  QSize size(880, 1040);
  if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
    const QSize available = screen->availableGeometry().size();
    size = size.boundedTo(QSize(available.width() * 9 / 10, available.height() * 9 / 10));
  }
  resize(size);
  scroll_->setFocus();  // the arrow keys scroll the page
  SetZoom(TZoom::FitWidth);
  UpdateControls();
}

// The page view paints from report_, a member: it goes first.
TfrmPrintPreview::~TfrmPrintPreview() { delete scroll_; }

void TfrmPrintPreview::BuildToolBar(QToolBar* bar) {
  bar->setMovable(false);
  bar->setFloatable(false);
  bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  bar->setIconSize(QSize(16, 16));

  auto action = [this, bar](const char* name, const QString& text, const QString& tip, auto handler) {
    auto* a = bar->addAction(text);
    a->setObjectName(QLatin1String(name));
    a->setToolTip(tip);
    connect(a, &QAction::triggered, this, [this, handler] { Guarded(prompt_, [&] { handler(); }); });
    return a;
  };

  auto* zoomGroup = new QActionGroup(this);
  actFitWindow = action("actFitWindow", QStringLiteral("Whole Page"), QStringLiteral("Fit the whole page in the window"),
                        [this] { SetZoom(TZoom::FitWindow); });
  actActual = action("actActual", QStringLiteral("100 %"), QStringLiteral("Show the page at its real size"),
                     [this] { SetZoom(TZoom::Actual); });
  actFitWidth = action("actFitWidth", QStringLiteral("Page Width"), QStringLiteral("Fit the page's width in the window"),
                       [this] { SetZoom(TZoom::FitWidth); });
  for (QAction* a : {actFitWindow, actActual, actFitWidth}) {
    a->setCheckable(true);
    zoomGroup->addAction(a);
  }
  bar->addSeparator();

  const QColor arrow = palette().color(QPalette::ButtonText);
  actFirst = action("actFirst", QStringLiteral("First Page"), QStringLiteral("First page"), [this] { btnFirstClick(); });
  actPrevious = action("actPrevious", QStringLiteral("Previous Page"), QStringLiteral("Previous page"),
                       [this] { btnPreviousClick(); });
  actFirst->setIcon(ArrowIcon(TArrow::First, arrow));
  actPrevious->setIcon(ArrowIcon(TArrow::Previous, arrow));

  edtPage = new QSpinBox(bar);
  edtPage->setObjectName(QStringLiteral("edtPage"));
  edtPage->setRange(1, ClampToInt(PageCount()));
  edtPage->setAlignment(Qt::AlignRight);
  edtPage->setButtonSymbols(QAbstractSpinBox::NoButtons);
  edtPage->setKeyboardTracking(false);
  edtPage->setToolTip(QStringLiteral("Page shown"));
  // Wide enough for the last page's number.
  edtPage->setMinimumWidth(edtPage->fontMetrics().horizontalAdvance(QString::number(PageCount())) + 16);
  connect(edtPage, &QSpinBox::valueChanged, this,
          [this](int page) { Guarded(prompt_, [&] { GoToPage(static_cast<std::size_t>(page)); }); });
  bar->addWidget(edtPage);
  lblPageCount = new QLabel(QStringLiteral(" of %1 ").arg(PageCount()), bar);
  lblPageCount->setObjectName(QStringLiteral("lblPageCount"));
  bar->addWidget(lblPageCount);

  actNext = action("actNext", QStringLiteral("Next Page"), QStringLiteral("Next page"), [this] { btnNextClick(); });
  actLast = action("actLast", QStringLiteral("Last Page"), QStringLiteral("Last page"), [this] { btnLastClick(); });
  actNext->setIcon(ArrowIcon(TArrow::Next, arrow));
  actLast->setIcon(ArrowIcon(TArrow::Last, arrow));
  for (QAction* a : {actFirst, actPrevious, actNext, actLast}) {
    // Pictures only: the names stay as tool tips.
    if (auto* button = bar->widgetForAction(a)) static_cast<QToolButton*>(button)->setToolButtonStyle(Qt::ToolButtonIconOnly);
  }
  actFirst->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Home));
  actPrevious->setShortcut(QKeySequence(Qt::Key_PageUp));
  actNext->setShortcut(QKeySequence(Qt::Key_PageDown));
  actLast->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_End));
  bar->addSeparator();

  actPrinterSetup = action("actPrinterSetup", QStringLiteral("Printer Setup..."), QStringLiteral("Choose and set up the printer"),
                           [this] { btnPrinterSetupClick(); });
  actPrint = action("actPrint", QStringLiteral("Print"), QStringLiteral("Print all pages"), [this] { btnPrintClick(); });

  auto* spacer = new QWidget(bar);
  spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  bar->addWidget(spacer);
  actClose = action("actClose", QStringLiteral("Close"), QStringLiteral("Close the preview"), [this] { reject(); });
}

std::size_t TfrmPrintPreview::CurrentPage() const { return view_->Page(); }

void TfrmPrintPreview::SetToday(std::function<QDate()> today) {
  today_ = std::move(today);
  report_.SetPrintDate(today_());
  view_->Invalidate();
}

void TfrmPrintPreview::SetZoom(TZoom zoom) {
  zoom_ = zoom;
  ApplyZoom();
  UpdateControls();
}

void TfrmPrintPreview::ApplyZoom() {
  const QSize area = scroll_->maximumViewportSize();
  const double desk = 2.0 * TReportPageView::kDesk;
  double scale = 1;
  switch (zoom_) {
    case TZoom::Actual:
      scale = logicalDpiX() / kMmPerInch;
      break;
    case TZoom::FitWindow:
      scale = std::min((area.width() - desk) / report::kPageWidth, (area.height() - desk) / report::kPageHeight);
      break;
    case TZoom::FitWidth: {
      scale = (area.width() - desk) / report::kPageWidth;
      // Taller than the window: the vertical scroll bar takes its share of the width.
      if (report::kPageHeight * scale + desk > area.height()) {
        const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroll_->verticalScrollBar());
        scale = (area.width() - bar - desk) / report::kPageWidth;
      }
      break;
    }
  }
  view_->SetScale(std::max(scale, 0.5));
}

void TfrmPrintPreview::GoToPage(std::size_t page) {
  page = std::clamp<std::size_t>(page, 1, PageCount());
  if (page != view_->Page()) {
    view_->SetPage(page);
    scroll_->verticalScrollBar()->setValue(0);
  }
  UpdateControls();
}

void TfrmPrintPreview::btnPreviousClick() {
  if (CurrentPage() > 1) GoToPage(CurrentPage() - 1);
}

void TfrmPrintPreview::btnNextClick() { GoToPage(CurrentPage() + 1); }

void TfrmPrintPreview::UpdateControls() {
  const std::size_t page = CurrentPage();
  actFirst->setEnabled(page > 1);
  actPrevious->setEnabled(page > 1);
  actNext->setEnabled(page < PageCount());
  actLast->setEnabled(page < PageCount());
  {
    const QSignalBlocker block(edtPage);
    edtPage->setValue(static_cast<int>(page));
  }
  actFitWindow->setChecked(zoom_ == TZoom::FitWindow);
  actActual->setChecked(zoom_ == TZoom::Actual);
  actFitWidth->setChecked(zoom_ == TZoom::FitWidth);
  actPrinterSetup->setEnabled(!printing_);
  actPrint->setEnabled(!printing_);
}

bool TfrmPrintPreview::HasPrinter() const {
  if (printer_.outputFormat() == QPrinter::PdfFormat) return !printer_.outputFileName().isEmpty();
  return !printer_.printerName().isEmpty();
}

void TfrmPrintPreview::btnPrinterSetupClick() {
  printer_.setFromTo(0, 0);
  printer_.setPrintRange(QPrinter::AllPages);
  printerSetup_(printer_, this);
}

void TfrmPrintPreview::btnPrintClick() {
  if (printing_) return;
  // Without a printer (none installed, or none chosen yet) the user picks one first.
  if (!HasPrinter() && !printerSetup_(printer_, this)) return;
  printing_ = true;
  UpdateControls();
  struct TDone {
    TfrmPrintPreview& self;
    ~TDone() {
      self.printing_ = false;
      self.UpdateControls();
    }
  } done{*this};

  // The date of printing, which is not always the day the preview opened.
  report_.SetPrintDate(today_());
  view_->Invalidate();

  const std::size_t pages = PageCount();
  QProgressDialog progress(QStringLiteral("Printing..."), QStringLiteral("Cancel"), 0,
                           ClampToInt(pages), this);
  progress.setObjectName(QStringLiteral("dlgPrintProgress"));
  progress.setWindowTitle(QString::fromLatin1(kCaption));
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(kProgressDelayMs);
  progress.setAutoReset(false);
  PrintReport(report_, printer_, prompt_, [&progress](std::size_t printed, std::size_t total) {
    progress.setMaximum(ClampToInt(total));
    progress.setLabelText(QStringLiteral("Printing page %1 of %2").arg(std::min(printed + 1, total)).arg(total));
    progress.setValue(ClampToInt(printed));
    return !progress.wasCanceled();
  });
}

void TfrmPrintPreview::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  if (zoom_ != TZoom::Actual) ApplyZoom();
}

void TfrmPrintPreview::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  ApplyZoom();
}

// ---- the log toolbar's Print ----

void PreviewLogReport(const TReadingLog& log, IPrompt& prompt, QWidget* parent, const TPreviewRunner& run) {
  const TLogReportRecords records(log);
  TfrmPrintPreview preview(records, prompt, parent);
  if (run)
    run(preview);
  else
    preview.exec();
}

}  // namespace qm::gui
