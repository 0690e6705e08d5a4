#include "app/gui/lcd/LcdPictures.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <array>
#include <cmath>
#include <numbers>

#include "app/gui/lcd/LcdFonts.h"

namespace qm::gui {
namespace {

using TDrawing = TLcdPicture::TDrawing;

constexpr qreal kDegree = std::numbers::pi / 180.0;

QPen Stroke(const QColor& ink, qreal width, Qt::PenCapStyle cap = Qt::RoundCap) {
  return QPen(ink, width, Qt::SolidLine, cap, Qt::RoundJoin);
}

QPointF Unit(QPointF v) {
  const qreal length = std::hypot(v.x(), v.y());
  return length > 0 ? v / length : QPointF(0, 0);
}

// A filled arrowhead whose base centre is `base`, pointing along the unit vector `dir`.
void ArrowHead(QPainter& p, QPointF base, QPointF dir, qreal length, qreal halfWidth) {
  const QPointF normal(-dir.y(), dir.x());
  const QPolygonF head{base + dir * length, base + normal * halfWidth, base - normal * halfWidth};
  p.setPen(Qt::NoPen);
  p.drawPolygon(head);
}

// Text as an outline, so that it scales with the drawing like the strokes do.
void CentredText(QPainter& p, const QColor& ink, const QString& text, qreal centreX, qreal baseline, int pixelSize) {
  QFont font(QString::fromLatin1(kLabelFamily));
  font.setPixelSize(pixelSize);
  font.setBold(true);
  QPainterPath path;
  path.addText(0, 0, font, text);
  const QRectF box = path.boundingRect();
  p.setPen(Qt::NoPen);
  p.setBrush(ink);
  p.drawPath(path.translated(centreX - box.center().x(), baseline));
}

// One full period of a sine, the AC mark.
void Sine(QPainter& p, const QColor& ink, QRectF box, qreal width) {
  constexpr int kSteps = 48;
  QPainterPath path;
  for (int i = 0; i <= kSteps; ++i) {
    const qreal t = static_cast<qreal>(i) / kSteps;
    const QPointF point(box.left() + t * box.width(), box.center().y() - std::sin(t * 2 * std::numbers::pi) * box.height() / 2);
    if (i == 0)
      path.moveTo(point);
    else
      path.lineTo(point);
  }
  p.setPen(Stroke(ink, width));
  p.setBrush(Qt::NoBrush);
  p.drawPath(path);
}

// PC and meter joined by a cable; `phase` 0 or 1 shifts the data dots by half their spacing.
void Link(QPainter& p, const QColor& ink, int phase) {
  p.setBrush(Qt::NoBrush);
  p.setPen(Stroke(ink, 1.4));
  p.drawRect(QRectF(1, 1.5, 13, 9.5));  // monitor
  p.drawLine(QPointF(4, 14), QPointF(11, 14));  // foot
  p.setPen(Qt::NoPen);
  p.setBrush(ink);
  p.drawRect(QRectF(6.5, 11, 2, 3));  // neck
  p.setBrush(Qt::NoBrush);
  p.setPen(Stroke(ink, 1.4));
  p.drawRoundedRect(QRectF(16.5, 2.5, 7.5, 13.5), 1.5, 1.5);  // meter body
  p.drawEllipse(QPointF(20.25, 11.8), 1.7, 1.7);                // rotary switch
  p.setPen(Qt::NoPen);
  p.setBrush(ink);
  p.drawRect(QRectF(18.2, 4.3, 4.1, 3.2));  // meter display
  p.setPen(Stroke(ink, 0.8));
  p.setBrush(Qt::NoBrush);
  p.drawPolyline(QPolygonF{QPointF(7.5, 14), QPointF(7.5, 20.5), QPointF(20.25, 20.5), QPointF(20.25, 16)});
  p.setPen(Qt::NoPen);
  p.setBrush(ink);
  for (int i = 0; i < 2; ++i) p.drawEllipse(QPointF(10.2 + phase * 2.8 + i * 5.6, 20.5), 1.7, 1.7);
}

void Hold(QPainter& p, const QColor& ink) {
  p.setBrush(Qt::NoBrush);
  p.setPen(Stroke(ink, 1.6));
  p.drawRoundedRect(QRectF(1.3, 9, 16.4, 22), 2.5, 2.5);
  p.setPen(Stroke(ink, 2.6, Qt::FlatCap));
  p.drawLine(QPointF(5.8, 13), QPointF(5.8, 27));
  p.drawLine(QPointF(13.2, 13), QPointF(13.2, 27));
  p.drawLine(QPointF(5.8, 20), QPointF(13.2, 20));
}

void AutoPowerOff(QPainter& p, const QColor& ink) {
  p.setBrush(Qt::NoBrush);
  p.setPen(Stroke(ink, 2.6));
  const QRectF ring(4, 9, 20, 20);
  p.drawArc(ring, 120 * 16, 300 * 16);  // open at the top
  p.drawLine(QPointF(14, 6.5), QPointF(14, 18));
  // The clock: the power goes off by itself after a while.
  p.setPen(Stroke(ink, 1.5));
  const QPointF hub(32.5, 25.5);
  p.drawEllipse(hub, 6.5, 6.5);
  p.drawLine(hub, hub + QPointF(0, -4.2));
  p.drawLine(hub, hub + QPointF(3.2, 0));
}

void Warning(QPainter& p, const QColor& ink) {
  const std::array<QPointF, 4> bolt{QPointF(15, 1.5), QPointF(6.5, 14.5), QPointF(14.5, 14.5), QPointF(7.8, 23.5)};
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(ink, 2.6, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
  p.drawPolyline(bolt.data(), static_cast<int>(bolt.size()));
  p.setBrush(ink);
  ArrowHead(p, bolt[3], Unit(bolt[3] - bolt[2]), 5.0, 3.4);
}

void LowBattery(QPainter& p, const QColor& ink) {
  p.setBrush(Qt::NoBrush);
  p.setPen(Stroke(ink, 1.8));
  p.drawRoundedRect(QRectF(1.5, 7.5, 25, 14), 1.2, 1.2);
  p.setPen(Qt::NoPen);
  p.setBrush(ink);
  p.drawRect(QRectF(26.5, 11.5, 3.8, 6));  // terminal
  p.setPen(Stroke(ink, 2.0, Qt::FlatCap));
  p.drawLine(QPointF(5, 14.5), QPointF(11, 14.5));    // minus
  p.drawLine(QPointF(16, 14.5), QPointF(22, 14.5));   // plus
  p.drawLine(QPointF(19, 11.5), QPointF(19, 17.5));
}

// RST above an arc over the lower half; `arrow` -1 ends it in an arrow to the left, +1 to the right.
void PhaseSequence(QPainter& p, const QColor& ink, int arrow) {
  CentredText(p, ink, QStringLiteral("RST"), 16, 12, 12);
  const QPointF centre(16, 30);
  constexpr qreal kRadius = 12;
  constexpr qreal kEnd = 22;  // the arc runs from 180 - kEnd to kEnd degrees, over the top
  p.setBrush(Qt::NoBrush);
  p.setPen(Stroke(ink, 2.0, Qt::FlatCap));
  const QRectF circle(centre.x() - kRadius, centre.y() - kRadius, 2 * kRadius, 2 * kRadius);
  p.drawArc(circle, static_cast<int>((180 - kEnd) * 16), static_cast<int>(-(180 - 2 * kEnd) * 16));
  if (arrow == 0) return;
  const qreal angle = (arrow > 0 ? kEnd : 180 - kEnd) * kDegree;
  const QPointF end(centre.x() + kRadius * std::cos(angle), centre.y() - kRadius * std::sin(angle));
  // Along the arc, away from its top: down and outwards.
  const QPointF along = Unit(QPointF(arrow * std::sin(angle), std::abs(std::cos(angle))));
  p.setBrush(ink);
  ArrowHead(p, end - along * 0.5, along, 5.0, 3.4);
}

}  // namespace

TLcdPicture::TLcdPicture(TDrawing drawing, QWidget* parent) : QLabel(parent), drawing_(drawing) {}

QSizeF TLcdPicture::DesignSize(TDrawing drawing) {
  switch (drawing) {
    case TDrawing::LinkFrame1:
    case TDrawing::LinkFrame2: return {25, 24};
    case TDrawing::Hold: return {19, 39};
    case TDrawing::AutoPowerOff: return {41, 36};
    case TDrawing::Warning: return {21, 29};
    case TDrawing::LowBattery: return {32, 29};
    case TDrawing::PhaseSequence:
    case TDrawing::PhaseSequenceLeft:
    case TDrawing::PhaseSequenceRight: return {32, 32};
    case TDrawing::Tilde: return {33, 25};
    case TDrawing::SmallTilde: return {25, 34};
  }
  return {1, 1};
}

void TLcdPicture::Paint(QPainter& painter, TDrawing drawing, const QRectF& target, const QColor& ink) {
  const QSizeF design = DesignSize(drawing);
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.translate(target.topLeft());
  painter.scale(target.width() / design.width(), target.height() / design.height());
  switch (drawing) {
    case TDrawing::LinkFrame1: Link(painter, ink, 0); break;
    case TDrawing::LinkFrame2: Link(painter, ink, 1); break;
    case TDrawing::Hold: Hold(painter, ink); break;
    case TDrawing::AutoPowerOff: AutoPowerOff(painter, ink); break;
    case TDrawing::Warning: Warning(painter, ink); break;
    case TDrawing::LowBattery: LowBattery(painter, ink); break;
    case TDrawing::PhaseSequence: PhaseSequence(painter, ink, 0); break;
    case TDrawing::PhaseSequenceLeft: PhaseSequence(painter, ink, -1); break;
    case TDrawing::PhaseSequenceRight: PhaseSequence(painter, ink, +1); break;
    case TDrawing::Tilde: Sine(painter, ink, QRectF(4, 8, 25, 9), 2.6); break;
    case TDrawing::SmallTilde: Sine(painter, ink, QRectF(5, 18.5, 15, 7), 2.0); break;
  }
  painter.restore();
}

void TLcdPicture::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  Paint(painter, drawing_, QRectF(rect()), palette().color(foregroundRole()));
}

}  // namespace qm::gui
