// One digit display of the LCD panel: a read-only TCEdit drawn as a piece of seven-segment glass,
// the unlit segments of every digit position faintly visible behind the lit ones.
#pragma once

#include <QPixmap>

#include "app/gui/lcd/CEdit.h"

namespace qm::gui {

class TLcdDigitDisplay : public TCEdit {
  Q_OBJECT

 public:
  // `digitCells`: the digit positions of the glass, each with its decimal point behind it. A text
  // with more positions than that is squeezed in rather than cut off.
  explicit TLcdDigitDisplay(int digitCells, QWidget* parent = nullptr);

  int DigitCells() const { return digitCells_; }

  // The text as the segment font draws it: a blank becomes a blank digit position ("!"), and a
  // decimal point or comma lights the point behind the previous position (a new, blank position
  // when there is none). `positions` receives the number of digit positions.
  static QString SegmentText(const QString& text, int& positions);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  struct TGlassKey {
    QSize size;
    qreal pixelRatio = 0;
    int positions = 0;
    Qt::Alignment alignment;
    bool operator==(const TGlassKey&) const = default;
  };
  struct TRow {
    qreal left = 0;       // x of the first digit position
    qreal baseline = 0;
    qreal cellWidth = 0;  // one position, after the squeeze
    qreal squeeze = 1;    // horizontal scale, at most 1
  };

  TRow RowFor(int positions) const;
  void DrawSegments(QPainter& painter, const TRow& row, int firstPosition, const QString& segments) const;
  void RebuildGlass(const TGlassKey& key);

  int digitCells_;
  // The background, the border and the unlit segments, redrawn only when the geometry changes:
  // a new reading repaints just this and the lit digits.
  QPixmap glass_;
  TGlassKey glassKey_;
};

}  // namespace qm::gui
