// Records and pictures for the report tests: a generated log of any size that counts what is read,
// and ink measured on a rendered page.
#pragma once

#include <QImage>

#include <algorithm>
#include <cstdio>
#include <string>

#include "app/gui/report/ReportPainter.h"

namespace qm::gui::test {

// `count` live-style records made up on demand; Record() calls are counted, so a test sees how
// much of the log a step read.
class TGeneratedRecords : public IReportRecords {
 public:
  explicit TGeneratedRecords(std::size_t count) : count_(count) {}

  std::size_t Count() const override { return count_; }
  LogRecord Record(std::size_t row) const override {
    ++reads;
    LogRecord r;
    r.ANo = static_cast<std::int32_t>(row + 1);
    char time[32];
    std::snprintf(time, sizeof time, "%02zu:%02zu:%02zu(2024-05-01)", row / 3600 % 24, row / 60 % 60, row % 60);
    r.ATime = time;
    r.AFunction = "PWRP";
    r.AValue = std::to_string(row % 1000) + ".5";
    r.AUnit = "kW";
    r.ASubValue1 = "230.1";
    r.ASubUnit1 = "V";
    r.ASubValue2 = "5.02";
    r.ASubUnit2 = "A";
    return r;
  }

  void SetCount(std::size_t count) { count_ = count; }
  mutable std::size_t reads = 0;

 private:
  std::size_t count_;
};

// Dark pixels of `image` inside the paper rectangle `box` (millimetres), for a page rendered at
// `dotsPerInch`.
inline int InkIn(const QImage& image, const TReportRect& box, double dotsPerInch) {
  const double k = dotsPerInch / 25.4;
  const int x0 = static_cast<int>(box.Left * k), y0 = static_cast<int>(box.Top * k);
  const int x1 = static_cast<int>((box.Left + box.Width) * k), y1 = static_cast<int>((box.Top + box.Height) * k);
  int ink = 0;
  for (int y = std::max(0, y0); y < std::min(image.height(), y1); ++y)
    for (int x = std::max(0, x0); x < std::min(image.width(), x1); ++x)
      if (qGray(image.pixel(x, y)) < 160) ++ink;
  return ink;
}

// Pages of a PDF file: its page objects ("/Type /Page", not the "/Type /Pages" tree).
inline int PdfPageCount(const QByteArray& pdf) {
  int pages = 0;
  for (qsizetype at = pdf.indexOf("/Type /Page"); at >= 0; at = pdf.indexOf("/Type /Page", at + 1))
    if (pdf.mid(at + 11, 1) != "s") ++pages;
  return pages;
}

}  // namespace qm::gui::test
