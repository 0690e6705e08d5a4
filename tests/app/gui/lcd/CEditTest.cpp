// TCEdit: the alignment property, read from where the text is actually drawn.
#include <gtest/gtest.h>

#include <QImage>
#include <QSignalSpy>

#include "app/gui/lcd/CEdit.h"

namespace qm::gui {
namespace {

enum class Side { Left, Centre, Right };

// Where the dark pixels of the rendered edit lie, by the middle of their horizontal extent.
Side InkSide(TCEdit& edit) {
  const QImage image = edit.grab().toImage();
  int first = image.width();
  int last = -1;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qGray(image.pixel(x, y)) < 100) {
        first = std::min(first, x);
        last = std::max(last, x);
      }
  EXPECT_GE(last, 0) << "no text drawn";
  const int middle = (first + last) / 2;
  if (middle < image.width() / 3) return Side::Left;
  if (middle > image.width() * 2 / 3) return Side::Right;
  return Side::Centre;
}

struct AlignmentCase {
  TCEdit::TAlignment alignment;
  Qt::LayoutDirection direction;
  Side side;
};

class CEditAlignment : public ::testing::TestWithParam<AlignmentCase> {};

// The direction is changed after the alignment is set, as when the window's direction changes at
// run time: the swap must follow.
TEST_P(CEditAlignment, PutsTheTextOnItsSide) {
  const AlignmentCase& c = GetParam();
  TCEdit edit;
  edit.setFrame(false);
  edit.resize(240, 24);
  edit.setText(QStringLiteral("MMM"));
  edit.SetAlignment(c.alignment);
  edit.setLayoutDirection(c.direction);
  EXPECT_EQ(InkSide(edit), c.side);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CEditAlignment,
    ::testing::Values(AlignmentCase{TCEdit::taLeftJustify, Qt::LeftToRight, Side::Left},
                      AlignmentCase{TCEdit::taRightJustify, Qt::LeftToRight, Side::Right},
                      AlignmentCase{TCEdit::taCenter, Qt::LeftToRight, Side::Centre},
                      AlignmentCase{TCEdit::taLeftJustify, Qt::RightToLeft, Side::Right},
                      AlignmentCase{TCEdit::taRightJustify, Qt::RightToLeft, Side::Left},
                      AlignmentCase{TCEdit::taCenter, Qt::RightToLeft, Side::Centre}));

TEST(CEdit, StartsLeftJustifiedAndIgnoresTheCurrentValue) {
  TCEdit edit;
  EXPECT_EQ(edit.Alignment(), TCEdit::taLeftJustify);
  EXPECT_EQ(edit.property("Alignment").value<TCEdit::TAlignment>(), TCEdit::taLeftJustify);

  QSignalSpy changed(&edit, &TCEdit::AlignmentChanged);
  edit.SetAlignment(TCEdit::taLeftJustify);
  EXPECT_EQ(changed.count(), 0);
  edit.SetAlignment(TCEdit::taCenter);
  edit.SetAlignment(TCEdit::taCenter);
  ASSERT_EQ(changed.count(), 1);
  EXPECT_EQ(changed.at(0).at(0).value<TCEdit::TAlignment>(), TCEdit::taCenter);
}

}  // namespace
}  // namespace qm::gui
