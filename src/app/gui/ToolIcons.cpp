#include "app/gui/ToolIcons.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>

namespace qm::gui {

namespace {

void DrawIcon(QPainter& p, TToolIcon icon, const QRectF& r, bool enabled) {
  const QColor ink = enabled ? QColor(40, 40, 40) : QColor(160, 160, 160);
  const QColor accent = enabled ? QColor(30, 90, 170) : QColor(170, 170, 170);
  const double u = r.width() / 16.0;
  auto at = [&](double x, double y) { return QPointF(r.left() + x * u, r.top() + y * u); };
  auto box = [&](double x, double y, double w, double h) { return QRectF(at(x, y), QSizeF(w * u, h * u)); };
  p.setRenderHint(QPainter::Antialiasing);
  QPen pen(ink, 1.2 * u);
  pen.setJoinStyle(Qt::RoundJoin);
  pen.setCapStyle(Qt::RoundCap);
  p.setPen(pen);
  switch (icon) {
    case TToolIcon::Clear: {  // a sheet with a red cross
      p.setBrush(Qt::white);
      p.drawRect(box(3, 1.5, 9, 13));
      p.setPen(QPen(enabled ? QColor(200, 30, 30) : ink, 1.8 * u, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(at(8.5, 8.5), at(14, 14));
      p.drawLine(at(14, 8.5), at(8.5, 14));
      break;
    }
    case TToolIcon::Save: {  // a floppy disk
      p.setBrush(accent);
      QPainterPath disk;
      disk.moveTo(at(2, 2));
      disk.lineTo(at(12, 2));
      disk.lineTo(at(14, 4));
      disk.lineTo(at(14, 14));
      disk.lineTo(at(2, 14));
      disk.closeSubpath();
      p.drawPath(disk);
      p.setBrush(Qt::white);
      p.drawRect(box(4.5, 2, 6, 4));
      p.drawRect(box(4, 9, 8, 5));
      break;
    }
    case TToolIcon::Open: {  // an open folder
      p.setBrush(enabled ? QColor(235, 190, 80) : QColor(210, 210, 210));
      QPainterPath back;
      back.moveTo(at(1.5, 13.5));
      back.lineTo(at(1.5, 3));
      back.lineTo(at(6, 3));
      back.lineTo(at(7.5, 4.5));
      back.lineTo(at(12.5, 4.5));
      back.lineTo(at(12.5, 7));
      p.drawPath(back);
      QPainterPath front;
      front.moveTo(at(1.5, 13.5));
      front.lineTo(at(4, 7));
      front.lineTo(at(15, 7));
      front.lineTo(at(12.5, 13.5));
      front.closeSubpath();
      p.drawPath(front);
      break;
    }
    case TToolIcon::Print: {  // a printer with its sheet
      p.setBrush(Qt::white);
      p.drawRect(box(4, 1.5, 8, 5));
      p.setBrush(enabled ? QColor(120, 120, 120) : QColor(200, 200, 200));
      p.drawRoundedRect(box(1.5, 6, 13, 6), 1 * u, 1 * u);
      p.setBrush(Qt::white);
      p.drawRect(box(4, 10, 8, 4.5));
      p.drawLine(at(5.5, 12), at(10.5, 12));
      break;
    }
    case TToolIcon::ZoomIn:
    case TToolIcon::ZoomOut: {  // a magnifier with + or -
      p.setBrush(Qt::white);
      p.drawEllipse(box(1.5, 1.5, 9.5, 9.5));
      p.setPen(QPen(ink, 2.2 * u, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(at(10, 10), at(14.5, 14.5));
      p.setPen(QPen(accent, 1.5 * u, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(at(3.8, 6.25), at(8.7, 6.25));
      if (icon == TToolIcon::ZoomIn) p.drawLine(at(6.25, 3.8), at(6.25, 8.7));
      break;
    }
  }
}

class TToolIconEngine : public QIconEngine {
 public:
  explicit TToolIconEngine(TToolIcon icon) : icon_(icon) {}
  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
    const int side = std::min(rect.width(), rect.height());
    QRectF square(rect.x() + (rect.width() - side) / 2.0, rect.y() + (rect.height() - side) / 2.0, side, side);
    painter->save();
    DrawIcon(*painter, icon_, square, mode != QIcon::Disabled);
    painter->restore();
  }
  QIconEngine* clone() const override { return new TToolIconEngine(icon_); }
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    paint(&p, QRect(QPoint(0, 0), size), mode, state);
    return pm;
  }

 private:
  TToolIcon icon_;
};

}  // namespace

QIcon ToolIcon(TToolIcon icon) { return QIcon(new TToolIconEngine(icon)); }

}  // namespace qm::gui
