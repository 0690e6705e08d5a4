// The print preview: page turning, the three zooms, drawing only the page on screen however long
// the log, and printing from it through replaceable printer dialogs.
#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryDir>

#include "ReportTestSupport.h"
#include "app/gui/report/PrintPreview.h"
#include "common/ScriptedPrompt.h"

namespace qm::gui {
namespace {

using test::PdfPageCount;
using test::TGeneratedRecords;
using TZoom = TfrmPrintPreview::TZoom;

class PrintPreviewTest : public ::testing::Test {
 protected:
  // An open preview, shown as the user sees it but without a modal loop.
  std::unique_ptr<TfrmPrintPreview> Open(const IReportRecords& records, QSize size = {700, 800}) {
    auto preview = std::make_unique<TfrmPrintPreview>(records, prompt_);
    preview->resize(size);
    preview->show();
    Settle(*preview);
    return preview;
  }

  // Lets the window lay itself out and paint what is on screen.
  static void Settle(TfrmPrintPreview& preview) {
    QCoreApplication::processEvents();
    preview.View().repaint();
  }

  static QAction* Action(TfrmPrintPreview& preview, const char* name) {
    auto* a = preview.findChild<QAction*>(QLatin1String(name));
    EXPECT_NE(a, nullptr) << name;
    return a;
  }

  static QSize Viewport(TfrmPrintPreview& preview) {
    return preview.findChild<QScrollArea*>()->maximumViewportSize();
  }

  qm::test::ScriptedPrompt prompt_;
};

TEST_F(PrintPreviewTest, TurnsPagesWithinTheReport) {
  const TGeneratedRecords records(100);  // 3 pages
  auto preview = Open(records);
  EXPECT_EQ(preview->windowTitle(), QStringLiteral("Print Preview"));
  auto* page = preview->findChild<QSpinBox*>(QStringLiteral("edtPage"));
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(preview->findChild<QLabel*>(QStringLiteral("lblPageCount"))->text().trimmed(), QStringLiteral("of 3"));

  struct Step {
    const char* action;
    std::size_t page;
  };
  const Step steps[] = {
      {"actPrevious", 1}, {"actNext", 2}, {"actNext", 3}, {"actNext", 3},
      {"actPrevious", 2}, {"actFirst", 1}, {"actLast", 3},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.action);
    QAction* a = Action(*preview, s.action);
    a->trigger();
    EXPECT_EQ(preview->CurrentPage(), s.page);
    EXPECT_EQ(preview->View().Page(), s.page);
    EXPECT_EQ(page->value(), static_cast<int>(s.page));
    EXPECT_EQ(Action(*preview, "actFirst")->isEnabled(), s.page > 1);
    EXPECT_EQ(Action(*preview, "actPrevious")->isEnabled(), s.page > 1);
    EXPECT_EQ(Action(*preview, "actNext")->isEnabled(), s.page < 3);
    EXPECT_EQ(Action(*preview, "actLast")->isEnabled(), s.page < 3);
  }
  page->setValue(2);  // typed into the page field
  EXPECT_EQ(preview->CurrentPage(), 2u);
  preview->GoToPage(99);
  EXPECT_EQ(preview->CurrentPage(), 3u);
}

TEST_F(PrintPreviewTest, AnEmptyLogPreviewsOnePageOfHeaders) {
  const TGeneratedRecords records(0);
  auto preview = Open(records);
  EXPECT_EQ(preview->PageCount(), 1u);
  EXPECT_FALSE(Action(*preview, "actNext")->isEnabled());
  EXPECT_FALSE(Action(*preview, "actPrevious")->isEnabled());
  EXPECT_GT(preview->Report().PagesPainted(), 0u);
}

TEST_F(PrintPreviewTest, ZoomsToTheWindowTheWidthOrTheTrueSize) {
  const TGeneratedRecords records(10);
  auto preview = Open(records, {700, 600});
  auto pageSize = [&] { return preview->View().PaperRect().size(); };
  const double desk = 2 * TReportPageView::kDesk;

  EXPECT_EQ(preview->Zoom(), TZoom::FitWidth);  // the opening zoom
  Action(*preview, "actFitWindow")->trigger();
  Settle(*preview);
  EXPECT_EQ(preview->Zoom(), TZoom::FitWindow);
  EXPECT_TRUE(Action(*preview, "actFitWindow")->isChecked());
  // The whole sheet in view, touching the window's height (it is the tighter side here).
  EXPECT_LE(pageSize().height() + desk, Viewport(*preview).height() + 1);
  EXPECT_NEAR(pageSize().height() + desk, Viewport(*preview).height(), 1.0);
  EXPECT_NEAR(pageSize().width() / pageSize().height(), 210.0 / 297.0, 1e-9);

  Action(*preview, "actFitWidth")->trigger();
  Settle(*preview);
  EXPECT_TRUE(Action(*preview, "actFitWidth")->isChecked());
  // As wide as the window leaves beside the vertical scroll bar the tall page needs.
  const QScrollArea* scroll = preview->findChild<QScrollArea*>();
  EXPECT_TRUE(scroll->verticalScrollBar()->isVisible());
  EXPECT_FALSE(scroll->horizontalScrollBar()->isVisible());
  EXPECT_NEAR(pageSize().width() + desk, scroll->viewport()->width(), 1.0);

  Action(*preview, "actActual")->trigger();
  Settle(*preview);
  const double trueScale = preview->logicalDpiX() / 25.4;
  EXPECT_DOUBLE_EQ(preview->View().Scale(), trueScale);
  EXPECT_NEAR(pageSize().width(), 210 * trueScale, 1e-6);

  // Resizing the window keeps a fitted page fitted, and leaves the true size alone.
  preview->resize(900, 700);
  Settle(*preview);
  EXPECT_DOUBLE_EQ(preview->View().Scale(), trueScale);
  Action(*preview, "actFitWindow")->trigger();
  const double before = preview->View().Scale();
  preview->resize(900, 1000);
  Settle(*preview);
  EXPECT_GT(preview->View().Scale(), before);
  EXPECT_NEAR(pageSize().height() + desk, Viewport(*preview).height(), 1.0);
}

TEST_F(PrintPreviewTest, AHugeLogOpensWithoutLayingOutItsPages) {
  const TGeneratedRecords records(10'000'000);
  auto preview = Open(records);
  EXPECT_EQ(preview->PageCount(), 270'271u);
  EXPECT_EQ(preview->findChild<QLabel*>(QStringLiteral("lblPageCount"))->text().trimmed(), QStringLiteral("of 270271"));
  // Only the page on screen was laid out and read.
  EXPECT_EQ(preview->Report().PagesPainted(), 1u);
  EXPECT_EQ(records.reads, 37u);

  Action(*preview, "actLast")->trigger();
  Settle(*preview);
  EXPECT_EQ(preview->Report().PagesPainted(), 2u);
  EXPECT_EQ(records.reads, 37u + 10u);
  // Repainting the same page, as scrolling does, lays nothing out again.
  preview->View().repaint();
  EXPECT_EQ(preview->Report().PagesPainted(), 2u);
}

TEST_F(PrintPreviewTest, PrintsAllPagesOnThePrinterChosenInTheSetup) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("log.pdf"));
  const TGeneratedRecords records(100);
  auto preview = Open(records);
  int setups = 0;
  preview->SetPrinterSetup([&](QPrinter& printer, QWidget* parent) {
    ++setups;
    EXPECT_EQ(parent, preview.get());
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    return true;
  });
  Action(*preview, "actPrinterSetup")->trigger();
  EXPECT_EQ(setups, 1);
  Action(*preview, "actNext")->trigger();  // the page shown does not limit the print
  Action(*preview, "actPrint")->trigger();
  EXPECT_EQ(setups, 1);

  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray pdf = file.readAll();
  EXPECT_TRUE(pdf.startsWith("%PDF"));
  EXPECT_EQ(PdfPageCount(pdf), 3);
  EXPECT_TRUE(prompt_.shown.empty());
  EXPECT_TRUE(Action(*preview, "actPrint")->isEnabled());
}

TEST_F(PrintPreviewTest, PrintWithoutAPrinterAsksForOneFirst) {
  const TGeneratedRecords records(5);
  auto preview = Open(records);
  // No printer: a PDF output without a file, as on a machine with no printer installed.
  preview->Printer().setOutputFormat(QPrinter::PdfFormat);
  preview->Printer().setOutputFileName(QString());
  int setups = 0;
  preview->SetPrinterSetup([&](QPrinter&, QWidget*) {
    ++setups;
    return false;  // the user cancels the printer dialog
  });
  const std::size_t painted = preview->Report().PagesPainted();
  Action(*preview, "actPrint")->trigger();
  EXPECT_EQ(setups, 1);
  EXPECT_EQ(preview->Report().PagesPainted(), painted) << "nothing printed";
  EXPECT_TRUE(prompt_.shown.empty());
}

TEST_F(PrintPreviewTest, PrintsTheDateOfPrintingNotOfOpening) {
  QTemporaryDir dir;
  const TGeneratedRecords records(5);
  auto preview = Open(records);
  QDate today(2024, 5, 1);
  preview->SetToday([&] { return today; });
  EXPECT_EQ(preview->Report().PrintDate(), today);
  preview->Printer().setOutputFormat(QPrinter::PdfFormat);
  preview->Printer().setOutputFileName(dir.filePath(QStringLiteral("late.pdf")));
  today = QDate(2024, 5, 2);  // printed after midnight
  Action(*preview, "actPrint")->trigger();
  EXPECT_EQ(preview->Report().PrintDate(), QDate(2024, 5, 2));
  EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("late.pdf"))));
}

TEST_F(PrintPreviewTest, PrinterErrorsReachThePrompt) {
  QTemporaryDir dir;
  const TGeneratedRecords records(5);
  auto preview = Open(records);
  preview->Printer().setOutputFormat(QPrinter::PdfFormat);
  preview->Printer().setOutputFileName(dir.filePath(QStringLiteral("missing/late.pdf")));
  Action(*preview, "actPrint")->trigger();
  EXPECT_EQ(prompt_.Texts("error").size(), 1u);
  EXPECT_TRUE(Action(*preview, "actPrint")->isEnabled());
}

TEST_F(PrintPreviewTest, TheLogsPrintRunsThePreviewOverTheWholeLog) {
  TReadingLog log;
  for (int i = 1; i <= 40; ++i) {
    LogRecord r;
    r.ANo = i;
    log.Append(r);
  }
  bool ran = false;
  PreviewLogReport(log, prompt_, nullptr, [&](TfrmPrintPreview& preview) {
    ran = true;
    EXPECT_EQ(preview.windowTitle(), QStringLiteral("Print Preview"));
    EXPECT_EQ(preview.PageCount(), 2u);
    preview.show();
    Action(preview, "actClose")->trigger();
    EXPECT_FALSE(preview.isVisible());
  });
  EXPECT_TRUE(ran);
}

}  // namespace
}  // namespace qm::gui
