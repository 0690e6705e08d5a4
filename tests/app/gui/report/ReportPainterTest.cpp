// The Data Report on paper: text in its boxes, what a page shows, reading the log page by page,
// and printing through a real printer device to a PDF file.
#include <gtest/gtest.h>

#include <QFile>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>

#include "app/gui/report/ReportPainter.h"
#include "common/ScriptedPrompt.h"
#include "recording/LogStore.h"
#include "ReportTestSupport.h"

namespace qm::gui {
namespace {

using test::InkIn;
using test::PdfPageCount;
using test::TGeneratedRecords;

constexpr double kDpi = 150;
const QDate kMay1 = QDate(2024, 5, 1);

// ---- a text in its box ----

TEST(ReportBoxTextTest, WrapsAtWordBoundariesAndKeepsOnlyLinesStartingInTheBox) {
  // A value box: 17.7 x 4.5 mm. One 8-point line is about 3.2 mm high, so a second line starts
  // inside the box and is cut through; a third would start below it and is dropped.
  const QSizeF box(1770, 450);
  const QFont font = TReportPainter::TextFont();
  struct Case {
    const char* text;
    QStringList lines;
    bool overflows;
  };
  const Case cases[] = {
      {"kVA", {"kVA"}, false},
      {"ab cd", {"ab cd"}, false},
      {"alpha bravo charlie delta echo", {"alpha bravo", "charlie delta"}, true},
      {"WWWWWWWWWWWWWWWW", {"WWWWWWWWWWWWWWWW"}, true},  // one word wider than the box is not broken
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const TBoxText text(QString::fromLatin1(c.text), font, box);
    EXPECT_EQ(text.Lines(), c.lines);
    EXPECT_EQ(text.Overflows(), c.overflows);
  }
}

TEST(ReportBoxTextTest, DrawsNothingOutsideItsBox) {
  // A box of 177 x 45 pixels at (50, 50) on a white image; 0.1 pixel per drawing unit.
  QImage image(300, 200, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    painter.scale(0.1, 0.1);
    painter.setPen(Qt::black);
    for (const char* t : {"alpha bravo charlie delta echo", "WWWWWWWWWWWWWWWW"})
      TBoxText(QString::fromLatin1(t), TReportPainter::TextFont(), QSizeF(1770, 450)).Draw(painter, QPointF(500, 500));
  }
  const QRect box(50, 50, 177, 45);
  int outside = 0, lowerHalf = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      if (qGray(image.pixel(x, y)) >= 160) continue;
      if (!box.contains(x, y)) ++outside;
      else if (y >= 50 + 34) ++lowerHalf;
    }
  EXPECT_EQ(outside, 0);
  EXPECT_GT(lowerHalf, 0) << "the second line shows down to the box's edge";
}

// ---- a page ----

LogRecord Reading(std::int32_t no, LogText time) {
  LogRecord r;
  r.ANo = no;
  r.ATime = std::move(time);
  r.AFunction = "VTHDf";
  r.AValue = "12.34";
  r.AUnit = "%";
  r.ASubValue1 = "230.0";
  r.ASubUnit1 = "V";
  r.ASubValue2 = "\xA1\xA3";  // the phase-angle unit in the meter's code page
  r.ASubUnit2 = "Hz";
  return r;
}

TEST(ReportPageTest, APageShowsItsHeadersLinesAndFooterAndNullsAsEmptyBoxes) {
  TReadingLog log;
  log.Append(Reading(1, "14:03:27(2024-05-01)"));
  log.Append(Reading(2, std::nullopt));  // a memory record: no time
  LogRecord nulls;
  nulls.ANo = 3;
  log.Append(nulls);  // every text null
  const QImage page = RenderReportPage(log, 1, kDpi, kMay1);
  ASSERT_EQ(page.size(), QSize(1240, 1754));

  TReportRect title = TReportLayout::TitleBox();
  title.Height = 5;  // one line of 12 points
  EXPECT_GT(InkIn(page, title, kDpi), 0);
  EXPECT_GT(InkIn(page, {166.6, 12.4, 13.2, 3.5}, kDpi), 0);    // "Print Date:"
  EXPECT_GT(InkIn(page, {179.3, 12.4, 15, 3.5}, kDpi), 0);      // the date
  EXPECT_GT(InkIn(page, {188.9, 281.4, 5, 3.5}, kDpi), 0);      // the page number
  for (std::size_t f = 0; f < kLogFieldCount; ++f) {
    SCOPED_TRACE(f);
    EXPECT_GT(InkIn(page, TReportLayout::ColumnTitleBox(f), kDpi), 0);
    EXPECT_GT(InkIn(page, TReportLayout::ValueBox(f, 0), kDpi), 0);
    // The second record has no time; the third nothing but its number.
    EXPECT_EQ(InkIn(page, TReportLayout::ValueBox(f, 1), kDpi) > 0, f != 1);
    EXPECT_EQ(InkIn(page, TReportLayout::ValueBox(f, 2), kDpi) > 0, f == 0);
    EXPECT_EQ(InkIn(page, TReportLayout::ValueBox(f, 3), kDpi), 0);
  }
  // No frames or lines: between the bands the paper stays white.
  EXPECT_EQ(InkIn(page, {0, 0, 210, 12}, kDpi), 0);
  EXPECT_EQ(InkIn(page, {0, TReportLayout::DetailTop(3), 210, TReportLayout::PageFooterTop() - TReportLayout::DetailTop(3)}, kDpi), 0);
  EXPECT_EQ(InkIn(page, {0, 287, 210, 10}, kDpi), 0);
}

TEST(ReportPageTest, PrintDateIsTheGivenDayInTheLocalesShortFormat) {
  const TGeneratedRecords records(1);
  TReportPainter report(records, kMay1, QLocale(QLocale::English, QLocale::UnitedStates));
  EXPECT_EQ(report.PrintDateText(), QStringLiteral("5/1/24"));
  report.SetPrintDate(QDate(2025, 12, 24));
  EXPECT_EQ(report.PrintDateText(), QStringLiteral("12/24/25"));
  EXPECT_EQ(TReportPainter(records, kMay1, QLocale(QLocale::German, QLocale::Germany)).PrintDateText(),
            QStringLiteral("01.05.24"));
}

TEST(ReportPageTest, APageReadsOnlyItsOwnRows) {
  TGeneratedRecords records(10'000'000);
  const TReportPainter report(records, kMay1);
  EXPECT_EQ(report.PageCount(), 270'271u);
  EXPECT_EQ(records.reads, 0u) << "laying the report out reads no record";

  QImage image(210, 297, QImage::Format_RGB32);
  QPainter painter(&image);
  report.PaintPage(painter, 2, image.rect());
  EXPECT_EQ(records.reads, 37u);
  records.reads = 0;
  report.PaintPage(painter, report.PageCount(), image.rect());
  EXPECT_EQ(records.reads, 10u);
  EXPECT_EQ(report.PagesPainted(), 2u);
  EXPECT_THROW(report.PaintPage(painter, report.PageCount() + 1, image.rect()), std::out_of_range);
}

TEST(ReportPageTest, RowsGoneSinceTheLayoutPrintAsNothing) {
  TGeneratedRecords records(80);
  const TReportPainter report(records, kMay1);
  ASSERT_EQ(report.PageCount(), 3u);
  records.SetCount(40);  // the log shrank while the preview was open
  QImage image(210, 297, QImage::Format_RGB32);
  QPainter painter(&image);
  EXPECT_NO_THROW(report.PaintPage(painter, 3, image.rect()));
  EXPECT_NO_THROW(report.PaintPage(painter, 2, image.rect()));
  EXPECT_EQ(records.reads, 3u);  // rows 37..39
}

// ---- printing ----

class ReportPrintTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

  QString PdfPath() const { return dir_.filePath(QStringLiteral("report.pdf")); }

  static void ToPdf(QPrinter& printer, const QString& path) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
  }

  QByteArray ReadPdf() const {
    QFile file(PdfPath());
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
  }

  QTemporaryDir dir_;
  qm::test::ScriptedPrompt prompt_;
};

TEST_F(ReportPrintTest, PrintsEveryPageOnA4ToARealPdf) {
  struct Case {
    std::size_t records;
    int pages;
  };
  for (const Case c : {Case{0, 1}, Case{1, 1}, Case{37, 1}, Case{38, 2}, Case{75, 3}}) {
    SCOPED_TRACE(c.records);
    TReadingLog log;
    for (std::size_t i = 0; i < c.records; ++i) log.Append(Reading(static_cast<std::int32_t>(i + 1), "14:03:27(2024-05-01)"));
    const TLogReportRecords records(log);
    const TReportPainter report(records, kMay1);
    QPrinter printer(QPrinter::HighResolution);
    ToPdf(printer, PdfPath());
    std::vector<std::size_t> progress;
    EXPECT_EQ(PrintReport(report, printer, prompt_,
                          [&](std::size_t done, std::size_t total) {
                            EXPECT_EQ(total, static_cast<std::size_t>(c.pages));
                            progress.push_back(done);
                            return true;
                          }),
              TPrintResult::Printed);
    const QByteArray pdf = ReadPdf();
    EXPECT_TRUE(pdf.startsWith("%PDF"));
    EXPECT_EQ(PdfPageCount(pdf), c.pages);
    EXPECT_TRUE(pdf.contains("/MediaBox [0 0 595")) << "A4 portrait: 595 x 842 points";
    EXPECT_EQ(progress.size(), static_cast<std::size_t>(c.pages) + 1);
    EXPECT_EQ(progress.back(), static_cast<std::size_t>(c.pages));
  }
  EXPECT_TRUE(prompt_.shown.empty());
}

TEST_F(ReportPrintTest, PrintsThePageRangeTheUserChose) {
  TGeneratedRecords records(200);  // 6 pages
  const TReportPainter report(records, kMay1);
  QPrinter printer(QPrinter::HighResolution);
  ToPdf(printer, PdfPath());
  printer.setPrintRange(QPrinter::PageRange);
  printer.setFromTo(2, 4);
  EXPECT_EQ(PrintReport(report, printer, prompt_), TPrintResult::Printed);
  EXPECT_EQ(PdfPageCount(ReadPdf()), 3);
  EXPECT_EQ(records.reads, 3u * 37u);
}

TEST_F(ReportPrintTest, AFailingPrinterIsReportedNotTakenForSuccess) {
  const TGeneratedRecords records(5);
  const TReportPainter report(records, kMay1);
  QPrinter printer(QPrinter::HighResolution);
  ToPdf(printer, dir_.filePath(QStringLiteral("no such folder/report.pdf")));
  EXPECT_EQ(PrintReport(report, printer, prompt_), TPrintResult::Failed);
  ASSERT_EQ(prompt_.Texts("error").size(), 1u);
  EXPECT_NE(prompt_.Texts("error")[0].find("report.pdf"), std::string::npos);
}

TEST_F(ReportPrintTest, CancellingStopsBeforeTheNextPage) {
  TGeneratedRecords records(200);
  const TReportPainter report(records, kMay1);
  QPrinter printer(QPrinter::HighResolution);
  ToPdf(printer, PdfPath());
  EXPECT_EQ(PrintReport(report, printer, prompt_, [](std::size_t done, std::size_t) { return done < 2; }),
            TPrintResult::Cancelled);
  EXPECT_EQ(report.PagesPainted(), 2u);
  EXPECT_TRUE(prompt_.shown.empty()) << "a cancel is no error";
}

}  // namespace
}  // namespace qm::gui
