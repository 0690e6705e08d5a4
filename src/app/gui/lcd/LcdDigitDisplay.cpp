#include "app/gui/lcd/LcdDigitDisplay.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QStyle>
#include <algorithm>

namespace qm::gui {
namespace {

constexpr int kBorder = 1;     // the flat border
constexpr qreal kPadding = 1;  // between the border and the outermost segments
constexpr int kUnlitAlpha = 30;  // of the text colour: the unlit segments of the glass

}  // namespace

TLcdDigitDisplay::TLcdDigitDisplay(int digitCells, QWidget* parent) : TCEdit(parent), digitCells_(digitCells) {
  setReadOnly(true);
  setFrame(false);
  SetAlignment(taRightJustify);
  SetPassesFocusOn(true);
  setCursor(Qt::ArrowCursor);
  setAttribute(Qt::WA_OpaquePaintEvent);  // the glass covers every pixel
}

QString TLcdDigitDisplay::SegmentText(const QString& text, int& positions) {
  QString out;
  out.reserve(text.size() + 2);
  positions = 0;
  for (const QChar c : text) {
    if (c == u'.' || c == u',') {
      // The segment font draws its point behind the preceding position and takes no room itself.
      if (positions == 0 || out.endsWith(u'.')) {
        out += u'!';
        ++positions;
      }
      out += u'.';
      continue;
    }
    out += c == u' ' ? QChar(u'!') : c;  // the font's blank has a digit's width, its space does not
    ++positions;
  }
  return out;
}

TLcdDigitDisplay::TRow TLcdDigitDisplay::RowFor(int positions) const {
  const QFontMetricsF fm(font());
  const QRectF inner = QRectF(rect()).adjusted(kBorder, kBorder, -kBorder, -kBorder);
  const qreal natural = fm.horizontalAdvance(u'8');
  const qreal room = inner.width() - 2 * kPadding;
  TRow row;
  row.squeeze = positions > 0 ? std::min<qreal>(1, room / (positions * natural)) : 1;
  row.cellWidth = natural * row.squeeze;
  const qreal width = positions * row.cellWidth;
  const Qt::Alignment side = QStyle::visualAlignment(layoutDirection(), alignment()) & Qt::AlignHorizontal_Mask;
  if (side & Qt::AlignRight)
    row.left = inner.right() - kPadding - width;
  else if (side & Qt::AlignHCenter)
    row.left = inner.left() + (inner.width() - width) / 2;
  else
    row.left = inner.left() + kPadding;
  row.baseline = inner.top() + (inner.height() - fm.ascent() - fm.descent()) / 2 + fm.ascent();
  return row;
}

void TLcdDigitDisplay::DrawSegments(QPainter& painter, const TRow& row, int firstPosition,
                                    const QString& segments) const {
  painter.save();
  painter.translate(row.left + firstPosition * row.cellWidth, row.baseline);
  painter.scale(row.squeeze, 1);
  painter.drawText(QPointF(0, 0), segments);
  painter.restore();
}

void TLcdDigitDisplay::RebuildGlass(const TGlassKey& key) {
  glassKey_ = key;
  glass_ = QPixmap(key.size * key.pixelRatio);
  glass_.setDevicePixelRatio(key.pixelRatio);
  QPainter painter(&glass_);
  painter.fillRect(QRect(QPoint(0, 0), key.size), palette().color(QPalette::Base));
  painter.setPen(palette().color(QPalette::Text));
  painter.drawRect(QRect(QPoint(0, 0), key.size).adjusted(0, 0, -1, -1));
  QColor faint = palette().color(QPalette::Text);
  faint.setAlpha(kUnlitAlpha);
  painter.setPen(faint);
  painter.setFont(font());
  painter.setRenderHint(QPainter::TextAntialiasing);
  // Every position with its point, except the last: no point follows the rightmost digit.
  QString all = QStringLiteral("8.").repeated(key.positions);
  all.chop(1);
  DrawSegments(painter, RowFor(key.positions), 0, all);
}

void TLcdDigitDisplay::paintEvent(QPaintEvent*) {
  int positions = 0;
  const QString segments = SegmentText(text(), positions);
  const int glassPositions = std::max(digitCells_, positions);
  const TGlassKey key{size(), devicePixelRatioF(), glassPositions, alignment()};
  if (glass_.isNull() || !(key == glassKey_)) RebuildGlass(key);

  QPainter painter(this);
  painter.drawPixmap(0, 0, glass_);
  if (positions == 0) return;
  const Qt::Alignment side = QStyle::visualAlignment(layoutDirection(), alignment()) & Qt::AlignHorizontal_Mask;
  int first = 0;
  if (side & Qt::AlignRight)
    first = glassPositions - positions;
  else if (side & Qt::AlignHCenter)
    first = (glassPositions - positions) / 2;
  painter.setPen(palette().color(QPalette::Text));
  painter.setFont(font());
  DrawSegments(painter, RowFor(glassPositions), first, segments);
}

void TLcdDigitDisplay::changeEvent(QEvent* event) {
  TCEdit::changeEvent(event);
  switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::PaletteChange:
    case QEvent::LayoutDirectionChange:
    case QEvent::StyleChange: glass_ = QPixmap(); break;
    default: break;
  }
}

}  // namespace qm::gui
