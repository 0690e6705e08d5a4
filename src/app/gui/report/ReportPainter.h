// The "Data Report": the reading log as a paginated A4 table, painted page by page onto a printer,
// a PDF file or the preview's screen image, millimetre-true on each of them.
//
// Nothing is laid out ahead: a page's rows follow from its number (recording/ReportLayout.h), and a
// page is read from the log and laid out only when it is painted.
#pragma once

#include <QDate>
#include <QFont>
#include <QImage>
#include <QLocale>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QTextLayout>

#include <cstddef>
#include <functional>
#include <utility>

#include "common/Prompt.h"
#include "recording/LogStore.h"
#include "recording/ReportLayout.h"

class QPainter;
class QPrinter;

namespace qm::gui {

// The records a report prints: the reading log in the program; a stand-in in tests.
class IReportRecords {
 public:
  virtual ~IReportRecords() = default;
  virtual std::size_t Count() const = 0;
  virtual LogRecord Record(std::size_t row) const = 0;
};

class TLogReportRecords final : public IReportRecords {
 public:
  explicit TLogReportRecords(const TReadingLog& log) : log_(log) {}
  std::size_t Count() const override { return log_.Count(); }
  LogRecord Record(std::size_t row) const override { return log_.Record(row); }

 private:
  const TReadingLog& log_;
};

// A text in a box of the report: broken into lines at word boundaries to the box's width, and
// cut at the box's edges. Sizes are in the report's drawing units (see TReportPainter).
class TBoxText {
 public:
  TBoxText(const QString& text, const QFont& font, const QSizeF& box);

  // The lines that start inside the box's height, in order; the last may be cut through.
  QStringList Lines() const;
  // True when something reaches past the box (a line cut through, or a word wider than the box).
  bool Overflows() const { return overflows_; }
  // Draws the lines centred in the box whose top-left corner is `topLeft`; nothing outside it.
  void Draw(QPainter& painter, const QPointF& topLeft) const;

 private:
  QTextLayout layout_;
  QSizeF box_;
  bool overflows_ = false;
};

class TReportPainter {
 public:
  // Drawing units: a hundredth of a millimetre, so that every text is laid out at the same size
  // whatever it is painted on, and a line breaks on the screen where it breaks on paper.
  static constexpr double kUnitsPerMm = 100.0;

  // The report of the records `records` holds now; records appended later are not in it.
  explicit TReportPainter(const IReportRecords& records, QDate printDate = QDate::currentDate(),
                          QLocale locale = QLocale::system());

  const TReportLayout& Layout() const { return layout_; }
  std::size_t PageCount() const { return layout_.PageCount(); }

  // "Print Date:" shows this date in the short date format of the locale.
  QDate PrintDate() const { return printDate_; }
  void SetPrintDate(QDate date) { printDate_ = date; }
  QString PrintDateText() const;

  // Paints page `page` (from 1) so that the 210 x 297 mm of paper fill `paper`, a rectangle in the
  // painter's coordinates: white paper, then the bands. Throws std::out_of_range for a page past
  // the last. Rows the log no longer holds print as nothing.
  void PaintPage(QPainter& painter, std::size_t page, const QRectF& paper) const;

  // Page `page` alone, on an image of `dotsPerInch` (96 gives its size on a common screen).
  QImage RenderPage(std::size_t page, double dotsPerInch = 96) const;

  // How many pages were laid out and painted so far.
  std::size_t PagesPainted() const { return pagesPainted_; }

  // The fonts, at their size in drawing units.
  static QFont TitleFont();
  static QFont TextFont();

 private:
  const IReportRecords& records_;
  TReportLayout layout_;
  QDate printDate_;
  QLocale locale_;
  mutable std::size_t pagesPainted_ = 0;
};

// Called before each page is printed with the pages done and the pages to print; false cancels.
using TPrintProgress = std::function<bool(std::size_t done, std::size_t total)>;

enum class TPrintResult { Printed, Cancelled, Failed };

// Prints the report on `printer`: A4 portrait on the whole sheet, page by page, the range the
// printer was given (all pages by default), with as many copies as the printer does not make
// itself. A failure is reported on `prompt`; a cancelled run aborts the print job.
TPrintResult PrintReport(const TReportPainter& report, QPrinter& printer, IPrompt& prompt,
                         const TPrintProgress& progress = {});

// Page `page` of the report of `log`, as an image (the screenshot of the report).
QImage RenderReportPage(const TReadingLog& log, std::size_t page = 1, double dotsPerInch = 96,
                        QDate printDate = QDate::currentDate());

}  // namespace qm::gui
