// Page layout of the printed reading log, the "Data Report": A4 portrait, 10 mm margins, a page
// header, a column header, one detail line per record and a page footer on every page.
//
// Everything here is arithmetic on the record count: the rows of any page follow from the page
// number, so a report of ten million records is never laid out page by page up front. Lengths are
// millimetres from the top-left corner of the paper.
#pragma once

#include <array>
#include <cstddef>

#include "recording/LogRecord.h"

namespace qm {

struct TReportRect {
  double Left = 0;
  double Top = 0;
  double Width = 0;   // 0: as wide as its text
  double Height = 0;  // 0: one line of its text, never cut

  double Right() const { return Left + Width; }
  double Bottom() const { return Top + Height; }
};

// The rows [First, First + Count) of the log that one page prints.
struct TReportRows {
  std::size_t First = 0;
  std::size_t Count = 0;

  friend bool operator==(const TReportRows&, const TReportRows&) = default;
};

namespace report {

inline constexpr double kPageWidth = 210.0;
inline constexpr double kPageHeight = 297.0;
inline constexpr double kMargin = 10.0;
inline constexpr double kBandWidth = kPageWidth - 2 * kMargin;

// Band heights in tenths of a millimetre, so that the lines per page come out exact.
inline constexpr int kPageHeaderTenths = 132;
inline constexpr int kColumnHeaderTenths = 87;
inline constexpr int kDetailTenths = 66;
inline constexpr int kPageFooterTenths = 106;

inline constexpr double kPageHeaderHeight = kPageHeaderTenths / 10.0;
inline constexpr double kColumnHeaderHeight = kColumnHeaderTenths / 10.0;
inline constexpr double kDetailHeight = kDetailTenths / 10.0;
inline constexpr double kPageFooterHeight = kPageFooterTenths / 10.0;

// Detail lines that fit between the column header and the page footer (which sits at the bottom).
inline constexpr std::size_t kLinesPerPage =
    static_cast<std::size_t>((static_cast<int>(kPageHeight * 10) - 2 * static_cast<int>(kMargin * 10) -
                              kPageHeaderTenths - kColumnHeaderTenths - kPageFooterTenths) /
                             kDetailTenths);

// Texts of the report.
inline constexpr char kTitle[] = "Data Report";
inline constexpr char kDateLabel[] = "Print Date:";

// Font sizes in points.
inline constexpr double kTitlePoints = 12.0;
inline constexpr double kTextPoints = 8.0;

}  // namespace report

class TReportLayout {
 public:
  explicit TReportLayout(std::size_t recordCount) : recordCount_(recordCount) {}

  std::size_t RecordCount() const { return recordCount_; }
  // Every page holds report::kLinesPerPage lines but the last. An empty log still gives one page,
  // with its headers and footer and no line.
  std::size_t PageCount() const;
  // The rows of `page`, counted from 1. Throws std::out_of_range outside 1..PageCount().
  TReportRows Rows(std::size_t page) const;

  // ---- bands: top edges on the page ----
  static double PageHeaderTop() { return report::kMargin; }
  static double ColumnHeaderTop() { return PageHeaderTop() + report::kPageHeaderHeight; }
  static double DetailTop(std::size_t line) {  // line 0 is the first on the page
    return ColumnHeaderTop() + report::kColumnHeaderHeight + static_cast<double>(line) * report::kDetailHeight;
  }
  static double PageFooterTop() { return report::kPageHeight - report::kMargin - report::kPageFooterHeight; }

  // ---- boxes on the page ----
  static TReportRect TitleBox();      // "Data Report", centred in the page header
  static TReportRect DateLabelBox();  // "Print Date:"
  static TReportRect DateBox();       // the date of printing; as wide as it needs
  static TReportRect PageNumberBox();  // in the page footer; as wide as it needs
  // The box of column `field` (0 is ANo, then the text fields in order): its title in the column
  // header, and its value on detail line `line`. Throws std::out_of_range for a field past the last.
  static TReportRect ColumnTitleBox(std::size_t field);
  static TReportRect ValueBox(std::size_t field, std::size_t line);

 private:
  std::size_t recordCount_;
};

}  // namespace qm
