#include "recording/ReportLayout.h"

#include <stdexcept>

namespace qm {
namespace {

using namespace report;

// Column boxes, left edge and width within the band: the title in the column header, the value on
// each detail line (the value boxes of the text columns sit slightly left of their titles).
struct TColumn {
  double TitleLeft, TitleWidth, ValueLeft, ValueWidth;
};
constexpr std::array<TColumn, kLogFieldCount> kColumns = {{
    {8.5, 17.2, 8.5, 17.2},      // ANo
    {25.4, 29.9, 25.4, 29.9},    // ATime
    {55.0, 21.4, 55.0, 21.4},    // AFunction
    {75.9, 17.5, 75.7, 17.7},    // AValue
    {92.9, 15.3, 92.6, 15.6},    // AUnit
    {107.7, 17.5, 107.4, 17.7},  // ASubValue1
    {124.6, 15.3, 124.4, 15.6},  // ASubUnit1
    {139.4, 17.5, 139.2, 17.7},  // ASubValue2
    {156.4, 15.3, 156.1, 15.6},  // ASubUnit2
}};

constexpr double kColumnBoxHeight = 4.5;
constexpr double kColumnTitleOffset = 1.9;  // below the top of the column header
constexpr double kValueOffset = 1.6;        // below the top of the detail band

const TColumn& Column(std::size_t field) {
  if (field >= kColumns.size()) throw std::out_of_range("report column out of range");
  return kColumns[field];
}

}  // namespace

std::size_t TReportLayout::PageCount() const {
  if (recordCount_ == 0) return 1;
  return (recordCount_ - 1) / kLinesPerPage + 1;
}

TReportRows TReportLayout::Rows(std::size_t page) const {
  if (page < 1 || page > PageCount()) throw std::out_of_range("report page out of range");
  const std::size_t first = (page - 1) * kLinesPerPage;
  const std::size_t left = recordCount_ - first;  // recordCount_ >= first for every valid page
  return {first, left < kLinesPerPage ? left : kLinesPerPage};
}

TReportRect TReportLayout::TitleBox() {
  constexpr double width = 35.5;
  return {kMargin + (kBandWidth - width) / 2, PageHeaderTop() + 2.1, width, 0};
}

TReportRect TReportLayout::DateLabelBox() { return {kMargin + 156.6, PageHeaderTop() + 2.4, 13.2, 0}; }

TReportRect TReportLayout::DateBox() { return {kMargin + 169.3, PageHeaderTop() + 2.4, 0, 0}; }

TReportRect TReportLayout::PageNumberBox() { return {kMargin + 178.9, PageFooterTop() + 5.0, 0, 0}; }

TReportRect TReportLayout::ColumnTitleBox(std::size_t field) {
  const TColumn& c = Column(field);
  return {kMargin + c.TitleLeft, ColumnHeaderTop() + kColumnTitleOffset, c.TitleWidth, kColumnBoxHeight};
}

TReportRect TReportLayout::ValueBox(std::size_t field, std::size_t line) {
  const TColumn& c = Column(field);
  return {kMargin + c.ValueLeft, DetailTop(line) + kValueOffset, c.ValueWidth, kColumnBoxHeight};
}

}  // namespace qm
