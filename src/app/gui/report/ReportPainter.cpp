#include "app/gui/report/ReportPainter.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <QTextLine>
#include <QTextOption>

#include <algorithm>
#include <cmath>
#include <string>

#include "common/CodePage.h"

namespace qm::gui {
namespace {

constexpr double kMmPerInch = 25.4;
constexpr double kPointsPerInch = 72.0;

QFont ReportFont(double points) {
  // The report asks for Arial by name; a sans-serif stands in where it is missing.
  QFont font(QStringLiteral("Arial"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(static_cast<int>(std::lround(points / kPointsPerInch * kMmPerInch * TReportPainter::kUnitsPerMm)));
  // Unhinted outlines: advances then scale with the size, so the layout is the paper's at any zoom.
  font.setHintingPreference(QFont::PreferNoHinting);
  return font;
}

QRectF Units(const TReportRect& r) {
  const double k = TReportPainter::kUnitsPerMm;
  return {r.Left * k, r.Top * k, r.Width * k, r.Height * k};
}

// A log text for display. Control characters (a line break from a loaded file) print as blanks.
QString DisplayText(const AnsiString& bytes) {
  QString text = QString::fromStdString(MeterTextToUtf8(bytes));
  for (QChar& c : text)
    if (c.unicode() < 0x20) c = QLatin1Char(' ');
  return text;
}

// One line of text at the top of `box`, centred in its width or from its left edge, never cut: the
// header and footer texts are short and fixed. Returns where the text ends on the right.
double DrawLine(QPainter& painter, const QFont& font, const QString& text, const TReportRect& box, bool centred,
                double notLeftOf = 0) {
  const QRectF r = Units(box);
  const QFontMetricsF metrics(font);
  const double width = metrics.horizontalAdvance(text);
  double x = std::max(r.left(), notLeftOf);
  if (centred) x += (r.width() - width) / 2;
  painter.setFont(font);
  painter.drawText(QPointF(x, r.top() + metrics.ascent()), text);
  return x + width;
}

void DrawBox(QPainter& painter, const QFont& font, const QString& text, const TReportRect& box) {
  if (text.isEmpty()) return;
  const QRectF r = Units(box);
  TBoxText(text, font, r.size()).Draw(painter, r.topLeft());
}

}  // namespace

// ---- TBoxText ----

TBoxText::TBoxText(const QString& text, const QFont& font, const QSizeF& box) : layout_(text, font), box_(box) {
  QTextOption option(Qt::AlignHCenter);
  option.setWrapMode(QTextOption::WordWrap);
  layout_.setTextOption(option);
  layout_.beginLayout();
  double y = 0;
  int end = 0;  // the text laid out so far
  while (y < box.height()) {
    QTextLine line = layout_.createLine();
    if (!line.isValid()) break;
    line.setLineWidth(box.width());
    line.setPosition(QPointF(0, y));
    y += line.height();
    end = line.textStart() + line.textLength();
    if (line.naturalTextWidth() > box.width()) overflows_ = true;
  }
  layout_.endLayout();
  // The last line reaches below the box, or text is left for lines below it.
  if (y > box.height() || end < text.size()) overflows_ = true;
}

QStringList TBoxText::Lines() const {
  QStringList lines;
  const QString& text = layout_.text();
  for (int i = 0; i < layout_.lineCount(); ++i) {
    const QTextLine line = layout_.lineAt(i);
    QString part = text.mid(line.textStart(), line.textLength());
    while (!part.isEmpty() && part.back().isSpace()) part.chop(1);
    lines.push_back(part);
  }
  return lines;
}

void TBoxText::Draw(QPainter& painter, const QPointF& topLeft) const {
  if (!overflows_) {
    layout_.draw(&painter, topLeft);
    return;
  }
  painter.save();
  painter.setClipRect(QRectF(topLeft, box_), Qt::IntersectClip);
  layout_.draw(&painter, topLeft);
  painter.restore();
}

// ---- TReportPainter ----

TReportPainter::TReportPainter(const IReportRecords& records, QDate printDate, QLocale locale)
    : records_(records), layout_(records.Count()), printDate_(printDate), locale_(std::move(locale)) {}

QFont TReportPainter::TitleFont() { return ReportFont(report::kTitlePoints); }
QFont TReportPainter::TextFont() { return ReportFont(report::kTextPoints); }

QString TReportPainter::PrintDateText() const { return locale_.toString(printDate_, QLocale::ShortFormat); }

void TReportPainter::PaintPage(QPainter& painter, std::size_t page, const QRectF& paper) const {
  const TReportRows rows = layout_.Rows(page);
  ++pagesPainted_;

  painter.save();
  painter.translate(paper.topLeft());
  painter.scale(paper.width() / (report::kPageWidth * kUnitsPerMm), paper.height() / (report::kPageHeight * kUnitsPerMm));
  painter.fillRect(QRectF(0, 0, report::kPageWidth * kUnitsPerMm, report::kPageHeight * kUnitsPerMm), Qt::white);
  painter.setPen(Qt::black);

  const QFont title = TitleFont();
  const QFont text = TextFont();

  DrawLine(painter, title, QString::fromLatin1(report::kTitle), TReportLayout::TitleBox(), true);
  // The date starts 0.5 mm inside the label's box; where a font draws the label wider than that
  // box, the date moves right so that it never runs over the label's colon.
  const double labelEnd =
      DrawLine(painter, text, QString::fromLatin1(report::kDateLabel), TReportLayout::DateLabelBox(), false);
  DrawLine(painter, text, PrintDateText(), TReportLayout::DateBox(), false, labelEnd);

  for (std::size_t f = 0; f < kLogFieldCount; ++f) {
    const std::string_view t = kLogColumnTitles[f];
    DrawBox(painter, text, QString::fromLatin1(t.data(), static_cast<qsizetype>(t.size())),
            TReportLayout::ColumnTitleBox(f));
  }

  // The log is only read here, one page's rows at a time. It may have lost rows since the report
  // was laid out; those print as nothing rather than fail.
  const std::size_t held = records_.Count();
  for (std::size_t line = 0; line < rows.Count && rows.First + line < held; ++line) {
    const LogRecord record = records_.Record(rows.First + line);
    DrawBox(painter, text, QString::number(record.ANo), TReportLayout::ValueBox(0, line));
    for (std::size_t k = 0; k < kLogTextFieldCount; ++k) {
      const LogText& value = record.*kLogTextFields[k];
      if (value) DrawBox(painter, text, DisplayText(*value), TReportLayout::ValueBox(k + 1, line));
    }
  }

  DrawLine(painter, text, QString::number(page), TReportLayout::PageNumberBox(), false);
  painter.restore();
}

QImage TReportPainter::RenderPage(std::size_t page, double dotsPerInch) const {
  const QSize size(static_cast<int>(std::lround(report::kPageWidth / kMmPerInch * dotsPerInch)),
                   static_cast<int>(std::lround(report::kPageHeight / kMmPerInch * dotsPerInch)));
  QImage image(size, QImage::Format_RGB32);
  const int dotsPerMeter = static_cast<int>(std::lround(dotsPerInch / kMmPerInch * 1000));
  image.setDotsPerMeterX(dotsPerMeter);
  image.setDotsPerMeterY(dotsPerMeter);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  PaintPage(painter, page, QRectF(QPointF(0, 0), QSizeF(size)));
  return image;
}

// ---- printing ----

namespace {

std::string PrinterTarget(const QPrinter& printer) {
  if (!printer.outputFileName().isEmpty()) return printer.outputFileName().toStdString();
  return printer.printerName().toStdString();
}

}  // namespace

TPrintResult PrintReport(const TReportPainter& report, QPrinter& printer, IPrompt& prompt,
                         const TPrintProgress& progress) {
  // The report is A4 portrait and measures its margins itself from the edge of the sheet.
  printer.setFullPage(true);
  printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
  printer.setDocName(QString::fromLatin1(report::kTitle));

  const std::size_t count = report.PageCount();
  std::size_t first = 1;
  std::size_t last = count;
  if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
    first = static_cast<std::size_t>(printer.fromPage());
    if (printer.toPage() > 0) last = std::min(last, static_cast<std::size_t>(printer.toPage()));
  }
  if (first > last) {
    prompt.ErrorReport("The report has no page " + std::to_string(first) + ".");
    return TPrintResult::Failed;
  }
  // A printer that cannot make copies itself gets the whole report once per copy.
  const std::size_t copies =
      printer.supportsMultipleCopies() ? 1 : static_cast<std::size_t>(std::max(1, printer.copyCount()));
  const std::size_t total = (last - first + 1) * copies;

  const std::string target = PrinterTarget(printer);
  QPainter painter;
  if (!painter.begin(&printer)) {
    prompt.ErrorReport(target.empty() ? "The report could not be printed: no printer is set up."
                                      : "The report could not be printed on " + target + ".");
    return TPrintResult::Failed;
  }
  const QRectF paper(QPointF(0, 0), printer.paperRect(QPrinter::DevicePixel).size());
  std::size_t done = 0;
  try {
    for (std::size_t copy = 0; copy < copies; ++copy) {
      for (std::size_t page = first; page <= last; ++page) {
        if (progress && !progress(done, total)) {
          printer.abort();
          painter.end();
          return TPrintResult::Cancelled;
        }
        if (done > 0 && !printer.newPage()) {
          painter.end();
          prompt.ErrorReport("The report could not be printed on " + target + ": the printer failed at page " +
                             std::to_string(page) + ".");
          return TPrintResult::Failed;
        }
        report.PaintPage(painter, page, paper);
        ++done;
      }
    }
  } catch (...) {
    printer.abort();
    painter.end();
    throw;
  }
  if (progress) progress(done, total);
  if (!painter.end() || printer.printerState() == QPrinter::Error) {
    prompt.ErrorReport("The report could not be printed on " + target + ".");
    return TPrintResult::Failed;
  }
  return TPrintResult::Printed;
}

QImage RenderReportPage(const TReadingLog& log, std::size_t page, double dotsPerInch, QDate printDate) {
  const TLogReportRecords records(log);
  return TReportPainter(records, printDate).RenderPage(page, dotsPerInch);
}

}  // namespace qm::gui
