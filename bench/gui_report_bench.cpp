// The printed log, on Qt's offscreen platform:
//  - PreviewOpen: a log of 1,000,000 live-style records; from the log toolbar's Print to the first
//    page painted in the print preview, in milliseconds, and the memory that opening takes at its
//    peak (VmHWM after the peak was reset, less the resident size before), in MiB.
//  - PaintPage: one full page of 37 records laid out and painted on a 96-dpi image.
//  - PrintPdf: 100 pages printed through QPrinter to a PDF file; pages per second.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEventLoop>
#include <QDir>
#include <QPrinter>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "LiveReadings.h"
#include "app/gui/report/PrintPreview.h"
#include "app/gui/report/ReportPainter.h"
#include "common/Prompt.h"
#include "recording/LogStore.h"

namespace qm {
namespace {

using TClock = std::chrono::steady_clock;


// A field of /proc/self/status in kB (VmRSS, VmHWM), or -1.
long StatusKb(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::string key = std::string(field) + ":";
  while (std::getline(status, line))
    if (line.rfind(key, 0) == 0) return std::stol(line.substr(key.size()));
  return -1;
}

// Starts the peak resident size afresh from the present size (Linux 4.0 and later).
bool ResetPeak() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
  return static_cast<bool>(clear.flush());
}

// Live readings, one a second, as the log holds them after a long session.
void FillLog(TReadingLog& log, std::size_t count) {
  LiveReadings readings;
  for (std::size_t i = 0; i < count; ++i) log.Append(readings.Next());
}

const TReadingLog& MillionLog() {
  static TReadingLog log = [] {
    TReadingLog l;
    FillLog(l, 1'000'000);
    return l;
  }();
  return log;
}

void BM_PreviewOpen(benchmark::State& state) {
  const TReadingLog& log = MillionLog();
  TSilentPrompt prompt;
  double worstMs = 0, peakMiB = 0;
  std::size_t painted = 0, pages = 0;
  for (auto _ : state) {
    const bool reset = ResetPeak();
    const long rssBefore = StatusKb("VmRSS");
    const auto t0 = TClock::now();
    gui::PreviewLogReport(log, prompt, nullptr, [&](gui::TfrmPrintPreview& preview) {
      preview.show();
      // Until the window is exposed and its page painted.
      for (int spin = 0; spin < 1000 && preview.Report().PagesPainted() == 0; ++spin)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
      const double ms = std::chrono::duration<double, std::milli>(TClock::now() - t0).count();
      state.SetIterationTime(ms / 1000);
      worstMs = std::max(worstMs, ms);
      painted = preview.Report().PagesPainted();
      pages = preview.PageCount();
      if (reset) peakMiB = std::max(peakMiB, static_cast<double>(StatusKb("VmHWM") - rssBefore) / 1024);
    });
  }
  state.counters["worst_ms"] = worstMs;
  state.counters["pages"] = static_cast<double>(pages);
  state.counters["pages_painted"] = static_cast<double>(painted);
  state.counters["peak_extra_MiB"] = peakMiB;
  state.counters["process_peak_MiB"] = static_cast<double>(StatusKb("VmHWM")) / 1024;
}
BENCHMARK(BM_PreviewOpen)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

void BM_PaintPage(benchmark::State& state) {
  const TReadingLog& log = MillionLog();
  const gui::TLogReportRecords records(log);
  const gui::TReportPainter report(records);
  std::size_t page = 1;
  for (auto _ : state) {
    QImage image = report.RenderPage(page, 96);
    benchmark::DoNotOptimize(image.constBits());
    page = page % report.PageCount() + 1;
  }
}
BENCHMARK(BM_PaintPage)->Unit(benchmark::kMillisecond);

void BM_PrintPdf(benchmark::State& state) {
  TReadingLog log;
  FillLog(log, 100 * report::kLinesPerPage);
  const gui::TLogReportRecords records(log);
  const gui::TReportPainter report(records);
  TSilentPrompt prompt;
  QTemporaryDir dir;
  for (auto _ : state) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("report.pdf")));
    if (gui::PrintReport(report, printer, prompt) != gui::TPrintResult::Printed) state.SkipWithError("printing failed");
  }
  state.counters["pages_per_s"] =
      benchmark::Counter(static_cast<double>(report.PageCount()) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PrintPdf)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qm
