#include "app/gui/chart/ChartIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace qm::gui {

namespace {

const QColor kArrow(44, 90, 160);
const QColor kOutline(70, 70, 70);

// Draws `icon` on a 16 x 16 grid scaled to `side` pixels.
QPixmap Draw(TChartIcon icon, int side) {
  QPixmap pixmap(side, side);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(side / 16.0, side / 16.0);

  auto triangle = [&](double tipX, bool pointsLeft, double length = 7) {
    QPainterPath path;
    const double baseX = pointsLeft ? tipX + length : tipX - length;
    path.moveTo(tipX, 8);
    path.lineTo(baseX, 2.5);
    path.lineTo(baseX, 13.5);
    path.closeSubpath();
    p.fillPath(path, kArrow);
  };
  auto bar = [&](double x) { p.fillRect(QRectF(x, 2.5, 2, 11), kArrow); };
  auto magnifier = [&](bool plus) {
    p.setPen(QPen(kOutline, 1.6));
    p.setBrush(QColor(235, 244, 255));
    p.drawEllipse(QPointF(6.5, 6.5), 4.6, 4.6);
    p.setPen(QPen(kOutline, 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10.0, 10.0), QPointF(14.2, 14.2));
    p.setPen(QPen(kArrow, 1.6, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(4.2, 6.5), QPointF(8.8, 6.5));
    if (plus) p.drawLine(QPointF(6.5, 4.2), QPointF(6.5, 8.8));
  };

  switch (icon) {
    case TChartIcon::First:
      bar(3);
      triangle(5.5, true);
      break;
    case TChartIcon::Previous:
      triangle(4.5, true);
      break;
    case TChartIcon::Next:
      triangle(11.5, false);
      break;
    case TChartIcon::Last:
      triangle(10.5, false);
      bar(11);
      break;
    case TChartIcon::GoTo:
      triangle(12.5, false);
      p.fillRect(QRectF(2, 6.8, 5, 2.4), kArrow);
      break;
    case TChartIcon::Clear: {
      // A sheet with a red cross: the plotted records go.
      QPainterPath sheet;
      sheet.moveTo(3, 1.5);
      sheet.lineTo(10, 1.5);
      sheet.lineTo(13, 4.5);
      sheet.lineTo(13, 14.5);
      sheet.lineTo(3, 14.5);
      sheet.closeSubpath();
      p.setPen(QPen(kOutline, 1));
      p.setBrush(Qt::white);
      p.drawPath(sheet);
      p.setPen(QPen(QColor(200, 30, 30), 2, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(5.5, 6.5), QPointF(10.5, 11.5));
      p.drawLine(QPointF(10.5, 6.5), QPointF(5.5, 11.5));
      break;
    }
    case TChartIcon::Save: {
      // A diskette.
      p.setPen(QPen(kOutline, 1));
      p.setBrush(kArrow);
      p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 1.5, 1.5);
      p.setBrush(Qt::white);
      p.drawRect(QRectF(4, 1.5, 8, 5));
      p.setBrush(QColor(210, 210, 210));
      p.drawRect(QRectF(4, 9.5, 8, 5));
      p.fillRect(QRectF(9.5, 2.5, 1.5, 3), kOutline);
      break;
    }
    case TChartIcon::ZoomIn:
      magnifier(true);
      break;
    case TChartIcon::ZoomOut:
      magnifier(false);
      break;
  }
  return pixmap;
}

}  // namespace

QIcon ChartToolIcon(TChartIcon icon) {
  QIcon result;
  for (int side : {16, 24, 32, 48}) result.addPixmap(Draw(icon, side));
  return result;
}

}  // namespace qm::gui
