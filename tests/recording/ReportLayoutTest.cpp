// The Data Report's page layout: lines per page, page count and row ranges, and where each box
// sits on the paper.
#include <gtest/gtest.h>

#include <stdexcept>

#include "recording/ReportLayout.h"

namespace qm {
namespace {

using report::kLinesPerPage;

TEST(ReportLayoutTest, DetailLinesFillThePageBetweenColumnHeaderAndFooter) {
  // 277 mm of band height less 32.5 mm of header, column header and footer leaves room for
  // 37 lines of 6.6 mm (244.2 mm), not 38.
  EXPECT_EQ(kLinesPerPage, 37u);
  const double lastLineBottom = TReportLayout::DetailTop(kLinesPerPage - 1) + report::kDetailHeight;
  EXPECT_LE(lastLineBottom, TReportLayout::PageFooterTop());
  EXPECT_GT(lastLineBottom + report::kDetailHeight, TReportLayout::PageFooterTop());
  EXPECT_DOUBLE_EQ(TReportLayout::PageFooterTop() + report::kPageFooterHeight, 287.0);
}

TEST(ReportLayoutTest, PageCountAndRowsOfTheLastPage) {
  struct Case {
    std::size_t records, pages;
    TReportRows last;
  };
  const Case cases[] = {
      {0, 1, {0, 0}},                          // an empty log: one page with headers only
      {1, 1, {0, 1}},
      {37, 1, {0, 37}},                        // one page full
      {38, 2, {37, 1}},                        // one more
      {74, 2, {37, 37}},
      {1'000'000, 27'028, {999'999, 1}},
      {10'000'000, 270'271, {9'999'990, 10}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.records);
    TReportLayout layout(c.records);
    EXPECT_EQ(layout.PageCount(), c.pages);
    EXPECT_EQ(layout.Rows(c.pages), c.last);
    if (c.pages > 1) {
      EXPECT_EQ(layout.Rows(1), (TReportRows{0, kLinesPerPage}));
      EXPECT_EQ(layout.Rows(c.pages - 1), (TReportRows{(c.pages - 2) * kLinesPerPage, kLinesPerPage}));
    }
    EXPECT_THROW(layout.Rows(0), std::out_of_range);
    EXPECT_THROW(layout.Rows(c.pages + 1), std::out_of_range);
  }
}

TEST(ReportLayoutTest, HeaderAndFooterBoxesSitWhereTheReportPutsThem) {
  // The band starts at the 10 mm margin; the title is centred in the 190 mm band.
  const TReportRect title = TReportLayout::TitleBox();
  EXPECT_DOUBLE_EQ(title.Left + title.Width / 2, 105.0);
  EXPECT_DOUBLE_EQ(title.Width, 35.5);
  EXPECT_DOUBLE_EQ(title.Top, 12.1);

  EXPECT_DOUBLE_EQ(TReportLayout::DateLabelBox().Left, 166.6);
  EXPECT_DOUBLE_EQ(TReportLayout::DateLabelBox().Top, 12.4);
  EXPECT_DOUBLE_EQ(TReportLayout::DateBox().Left, 179.3);
  EXPECT_DOUBLE_EQ(TReportLayout::DateBox().Top, 12.4);

  // Footer band from 276.4 mm (its bottom on the bottom margin); the number 5 mm below its top.
  EXPECT_DOUBLE_EQ(TReportLayout::PageFooterTop(), 276.4);
  EXPECT_DOUBLE_EQ(TReportLayout::PageNumberBox().Left, 188.9);
  EXPECT_DOUBLE_EQ(TReportLayout::PageNumberBox().Top, 281.4);
}

TEST(ReportLayoutTest, ColumnTitleAndValueBoxes) {
  struct Case {
    std::size_t field;
    double titleLeft, titleWidth, valueLeft, valueWidth;
  };
  const Case cases[] = {
      {0, 18.5, 17.2, 18.5, 17.2},    // No.
      {1, 35.4, 29.9, 35.4, 29.9},    // Time
      {3, 85.9, 17.5, 85.7, 17.7},    // Value
      {8, 166.4, 15.3, 166.1, 15.6},  // SubUnitB
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    const TReportRect t = TReportLayout::ColumnTitleBox(c.field);
    EXPECT_DOUBLE_EQ(t.Left, c.titleLeft);
    EXPECT_DOUBLE_EQ(t.Width, c.titleWidth);
    EXPECT_DOUBLE_EQ(t.Top, 25.1);  // 10 + 13.2 + 1.9
    EXPECT_DOUBLE_EQ(t.Height, 4.5);
    const TReportRect first = TReportLayout::ValueBox(c.field, 0);
    EXPECT_DOUBLE_EQ(first.Left, c.valueLeft);
    EXPECT_DOUBLE_EQ(first.Width, c.valueWidth);
    EXPECT_DOUBLE_EQ(first.Top, 33.5);  // 10 + 13.2 + 8.7 + 1.6
    EXPECT_DOUBLE_EQ(first.Height, 4.5);
    EXPECT_NEAR(TReportLayout::ValueBox(c.field, 36).Top, 33.5 + 36 * 6.6, 1e-9);
  }
  // Every column stays inside the band.
  for (std::size_t f = 0; f < kLogFieldCount; ++f) {
    EXPECT_LE(TReportLayout::ColumnTitleBox(f).Right(), 200.0);
    EXPECT_LE(TReportLayout::ValueBox(f, 0).Right(), 200.0);
  }
  EXPECT_THROW(TReportLayout::ColumnTitleBox(kLogFieldCount), std::out_of_range);
  EXPECT_THROW(TReportLayout::ValueBox(kLogFieldCount, 0), std::out_of_range);
}

}  // namespace
}  // namespace qm
