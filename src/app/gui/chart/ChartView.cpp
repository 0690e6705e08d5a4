#include "app/gui/chart/ChartView.h"

#include <QFont>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace qm::gui {

namespace {

constexpr int kMargin = 6;
constexpr int kGap = 4;
constexpr int kTickLength = 4;
// A value far outside the range is drawn at most this many plot heights away: the segment's
// visible part keeps its slope to well under a pixel, and the coordinates stay small enough for
// the raster engine.
constexpr double kFarAway = 1e4;

const QColor kGridColour(192, 192, 192);  // silver
const QColor kAxisColour(64, 64, 64);

QFont ChartFont() {
  QFont font(QStringLiteral("Arial"));
  font.setPointSize(8);
  return font;
}

// The smallest of 1, 2, 5 times a power of ten that is at least `rough` and `smallest`.
double NiceStep(double rough, double smallest) {
  rough = std::max(rough, smallest);
  if (!std::isfinite(rough)) return 0;
  const double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
  for (double m : {1.0, 2.0, 5.0, 10.0})
    if (m * magnitude >= rough * (1 - 1e-9)) return m * magnitude;
  return 10 * magnitude;
}

// Multiples of `step` within lo..hi; none when they would be unreasonably many.
std::vector<double> Multiples(double lo, double hi, double step) {
  std::vector<double> out;
  if (!(step > 0) || !std::isfinite(lo) || !std::isfinite(hi)) return out;
  const double first = std::ceil(lo / step - 1e-9);
  const double last = std::floor(hi / step + 1e-9);
  if (last - first > 1000) return out;
  for (double k = first; k <= last; ++k) out.push_back(k * step);
  return out;
}

QColor ToQColor(TColor c) { return QColor(c.R, c.G, c.B); }

}  // namespace

TChartView::TChartView(TTrendChart& chart, QWidget* parent) : QWidget(parent), chart_(chart) {
  setObjectName(QStringLiteral("Chart1"));
  setAttribute(Qt::WA_OpaquePaintEvent);  // the frame pixmap covers every pixel
  setFocusPolicy(Qt::NoFocus);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  seen_ = Look();
  changeToken_ = chart_.OnChange.Add([this] { ChartChanged(); });
}

TChartView::~TChartView() { chart_.OnChange.Remove(changeToken_); }

void TChartView::SetDecimalSeparator(const QString& separator) {
  if (separator == decimalSeparator_) return;
  decimalSeparator_ = separator;
  update();
}

// ---- repaint scheduling ----

TChartView::TSeen TChartView::Look() const {
  TSeen s;
  s.HorzMin = chart_.HorzMinimum();
  s.HorzMax = chart_.HorzMaximum();
  s.VertMin = chart_.VertMinimum();
  s.VertMax = chart_.VertMaximum();
  for (int i = 0; i < chart_.SeriesCount(); ++i) {
    s.Counts.push_back(chart_.PointCount(i));
    s.Visible.push_back(chart_.SeriesVisible(i));
  }
  return s;
}

// The chart reports each point, each series and each axis change on its own (four points and a
// window shift for one reading). update() merges what does repaint into one paint; points that
// land outside the shown window (while the user looks at an older page) repaint nothing.
void TChartView::ChartChanged() {
  const TSeen before = std::exchange(seen_, Look());
  const TSeen& now = seen_;
  const bool whole = now.HorzMin != before.HorzMin || now.HorzMax != before.HorzMax ||
                     now.VertMin != before.VertMin || now.VertMax != before.VertMax || now.Visible != before.Visible;
  // Points that went: everything may differ.
  bool shrunk = false;
  for (std::size_t i = 0; i < now.Counts.size(); ++i) shrunk = shrunk || now.Counts[i] < before.Counts[i];
  if (whole || shrunk) {
    update();
    return;
  }
  // The line runs on to the first point either side of the window, so those count as shown.
  const std::int64_t first = detail::FirstPositionIn(now.HorzMin) - 1;
  const std::int64_t last = detail::LastPositionIn(now.HorzMax) + 1;
  bool shown = false;
  for (std::size_t i = 0; i < now.Counts.size(); ++i)
    shown = shown || (now.Counts[i] > before.Counts[i] && now.Visible[i] && before.Counts[i] <= last &&
                      now.Counts[i] - 1 >= first);
  if (!shown) return;
  // New points on the shown page change only the strip where their segments run: the rest of the
  // chart, the axes above all, need not be painted again for every reading.
  const QRect strip = NewPointsRect(before, now);
  if (!strip.isEmpty()) update(strip);
}

// ---- layout ----

TChartView::TTicks TChartView::HorzTicks(double lo, double hi, int width, const QFontMetrics& labels) const {
  TTicks t;
  if (!(hi >= lo) || !std::isfinite(lo) || !std::isfinite(hi)) return t;
  auto label = [](double v) { return QString::number(static_cast<qint64>(std::llround(v))); };
  const int labelWidth = std::max(labels.horizontalAdvance(label(lo)), labels.horizontalAdvance(label(hi))) +
                         2 * labels.horizontalAdvance(QLatin1Char('0'));
  const int most = std::max(1, width / std::max(1, labelWidth));
  const double step = NiceStep((hi - lo) / most, 1.0);
  t.Values = Multiples(lo, hi, step);
  for (double v : t.Values) t.Labels.push_back(label(v));
  return t;
}

TChartView::TTicks TChartView::VertTicks(double lo, double hi, int height, const QFontMetrics& labels) const {
  TTicks t;
  if (!std::isfinite(lo) || !std::isfinite(hi) || hi < lo) return t;
  if (!(hi > lo)) {
    // A range of one value (0 .. 0 until the first reading) is labelled with that value alone.
    t.Values = {lo};
    t.Labels = {QString::number(lo, 'g', 7).replace(QLatin1Char('.'), decimalSeparator_)};
    return t;
  }
  const int most = std::max(2, height / std::max(1, 2 * labels.height()));
  const double step = NiceStep((hi - lo) / most, 0.1);
  t.Values = Multiples(lo, hi, step);
  const int decimals = step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
  for (double& v : t.Values) {
    if (std::abs(v) < step * 1e-6) v = 0;  // no "-0.0"
    QString text = QString::number(v, 'f', decimals);
    if (decimalSeparator_ != QStringLiteral(".")) text.replace(QLatin1Char('.'), decimalSeparator_);
    t.Labels.push_back(text);
  }
  return t;
}

TChartView::TLayout TChartView::Layout(const QPaintDevice& device, const QRect& bounds) const {
  const QFontMetrics fm(ChartFont(), &device);
  TLayout l;
  l.Bounds = bounds;
  l.Title = QRect(bounds.left(), bounds.top() + kMargin, bounds.width(), fm.height());

  const int top = l.Title.bottom() + 1 + kGap + fm.height() / 2;
  const int bottom = bounds.bottom() - kMargin - fm.height() - kGap - fm.height() - kTickLength;
  l.Vert = VertTicks(chart_.VertMinimum(), chart_.VertMaximum(), bottom - top, fm);
  int labelWidth = 0;
  for (const QString& s : l.Vert.Labels) labelWidth = std::max(labelWidth, fm.horizontalAdvance(s));

  const int left = bounds.left() + kMargin + fm.height() + kGap + labelWidth + kGap + kTickLength;
  const int right = bounds.right() - kMargin - fm.horizontalAdvance(QStringLiteral("00000")) / 2;
  l.Plot = QRect(QPoint(left, top), QPoint(std::max(left + 1, right), std::max(top + 1, bottom)));
  l.Horz = HorzTicks(chart_.HorzMinimum(), chart_.HorzMaximum(), l.Plot.width(), fm);
  return l;
}

QRect TChartView::PlotArea(const QRect& bounds) const { return Layout(*this, bounds).Plot; }

// Positions and values to pixels: lo..hi of the window onto the plot's first..last column, the
// vertical range onto its bottom..top row, through pixel centres.
namespace {
struct TMapping {
  double Lo, Hi, VMin, VMax;
  QRectF Plot;  // pixel centres of the outermost rows and columns

  TMapping(const TTrendChart& chart, const QRect& plot)
      : Lo(chart.HorzMinimum()),
        Hi(chart.HorzMaximum()),
        VMin(chart.VertMinimum()),
        VMax(chart.VertMaximum()),
        Plot(QPointF(plot.left() + 0.5, plot.top() + 0.5), QPointF(plot.right() + 0.5, plot.bottom() + 0.5)) {}

  double X(double position) const {
    if (!(Hi > Lo)) return Plot.center().x();
    return Plot.left() + (position - Lo) * Plot.width() / (Hi - Lo);
  }
  double Y(double value) const {
    const double far = kFarAway * std::max(1.0, Plot.height());
    double y;
    if (VMax > VMin)
      y = Plot.bottom() - (value - VMin) * Plot.height() / (VMax - VMin);
    else
      y = value > VMax ? Plot.top() - far : value < VMin ? Plot.bottom() + far : Plot.center().y();
    return std::clamp(y, Plot.top() - far, Plot.bottom() + far);
  }
};
}  // namespace

// ---- drawing ----

QRect TChartView::NewPointsRect(const TSeen& before, const TSeen& now) const {
  if (frame_.isNull()) return rect();  // not painted yet: the whole view
  const TMapping map(chart_, frameLayout_.Plot);
  double lo = std::numeric_limits<double>::infinity(), hi = -lo;
  for (std::size_t i = 0; i < now.Counts.size(); ++i) {
    if (!now.Visible[i] || now.Counts[i] <= before.Counts[i]) continue;
    // From the series' last point before (the new segment's start) to its new last point.
    const std::int64_t from = std::max<std::int64_t>(0, before.Counts[i] - 1);
    lo = std::min(lo, map.X(static_cast<double>(from)));
    hi = std::max(hi, map.X(static_cast<double>(now.Counts[i] - 1)));
  }
  if (!(lo <= hi)) return {};
  constexpr int kPen = 3;  // the round pen's reach beyond its points
  const QRect strip(QPoint(static_cast<int>(std::floor(lo)) - kPen, frameLayout_.Plot.top() - kPen),
                    QPoint(static_cast<int>(std::ceil(hi)) + kPen, frameLayout_.Plot.bottom() + kPen));
  return strip.intersected(frameLayout_.Plot.adjusted(-kPen, -kPen, kPen, kPen)).intersected(rect());
}

void TChartView::PaintFrame(QPainter& painter, const TLayout& l) const {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.fillRect(l.Bounds, Qt::white);
  painter.setFont(ChartFont());
  const QFontMetrics fm = painter.fontMetrics();
  const TMapping map(chart_, l.Plot);

  painter.setPen(Qt::black);
  painter.drawText(l.Title, Qt::AlignHCenter | Qt::AlignVCenter, QString::fromLatin1(kTitle));

  // Grid lines, then the plot's frame over them.
  painter.setPen(QPen(kGridColour, 0));
  for (double v : l.Horz.Values) {
    const int x = static_cast<int>(std::floor(map.X(v)));
    if (x > l.Plot.left() && x < l.Plot.right()) painter.drawLine(x, l.Plot.top(), x, l.Plot.bottom());
  }
  for (double v : l.Vert.Values) {
    const int y = static_cast<int>(std::floor(map.Y(v)));
    if (y > l.Plot.top() && y < l.Plot.bottom()) painter.drawLine(l.Plot.left(), y, l.Plot.right(), y);
  }
  painter.setPen(QPen(kAxisColour, 0));
  painter.drawRect(l.Plot.adjusted(0, 0, -1, -1));

  // Ticks and labels.
  painter.setPen(Qt::black);
  for (std::size_t i = 0; i < l.Horz.Values.size(); ++i) {
    const int x = static_cast<int>(std::floor(map.X(l.Horz.Values[i])));
    painter.drawLine(x, l.Plot.bottom() + 1, x, l.Plot.bottom() + kTickLength);
    const int w = fm.horizontalAdvance(l.Horz.Labels[i]);
    painter.drawText(QRect(x - w, l.Plot.bottom() + kTickLength + 1, 2 * w + 1, fm.height()), Qt::AlignCenter,
                     l.Horz.Labels[i]);
  }
  for (std::size_t i = 0; i < l.Vert.Values.size(); ++i) {
    const int y = static_cast<int>(std::floor(map.Y(l.Vert.Values[i])));
    painter.drawLine(l.Plot.left() - kTickLength, y, l.Plot.left() - 1, y);
    painter.drawText(QRect(l.Bounds.left(), y - fm.height(), l.Plot.left() - kTickLength - kGap - l.Bounds.left(),
                           2 * fm.height() + 1),
                     Qt::AlignRight | Qt::AlignVCenter, l.Vert.Labels[i]);
  }

  // Axis titles: "Record Number" under the labels, "Value" turned along the left edge.
  painter.drawText(QRect(l.Plot.left(), l.Plot.bottom() + kTickLength + 1 + fm.height() + kGap, l.Plot.width(),
                         fm.height()),
                   Qt::AlignCenter, QString::fromLatin1(kHorzTitle));
  painter.save();
  painter.translate(l.Bounds.left() + kMargin, l.Plot.bottom());
  painter.rotate(-90);
  painter.drawText(QRect(0, 0, l.Plot.height(), fm.height()), Qt::AlignCenter, QString::fromLatin1(kVertTitle));
  painter.restore();
  painter.restore();
}

void TChartView::PaintSeries(QPainter& painter, const TLayout& l) const {
  lastPaintPoints_ = 0;
  const TMapping map(chart_, l.Plot);
  const std::int64_t first = detail::FirstPositionIn(map.Lo);
  const std::int64_t last = detail::LastPositionIn(map.Hi);
  const int columns = std::max(1, l.Plot.width());

  painter.save();
  painter.setClipRect(l.Plot, painter.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setBrush(Qt::NoBrush);

  for (int s = 0; s < chart_.SeriesCount(); ++s) {
    if (!chart_.SeriesVisible(s)) continue;
    const TChartSeries& series = chart_.Series(s);
    // The page, one low/high pair per pixel column, and the nearest point either side, so that
    // the line runs on to the plot's edges.
    chart_.FetchWindow(s, map.Lo, map.Hi, points_, columns);
    auto neighbour = [&](std::int64_t at) {
      return TChartPoint{at, series.Value(at), series.Colour(at)};
    };
    if (first - 1 >= 0 && first - 1 < series.Count()) points_.insert(points_.begin(), neighbour(first - 1));
    if (last + 1 >= 0 && last + 1 < series.Count()) points_.push_back(neighbour(last + 1));
    lastPaintPoints_ += static_cast<std::int64_t>(points_.size());

    if (s == 0) {
      // The fill series: an area from the zero line (held inside the plot) to its values.
      const double base = map.Y(std::clamp(0.0, std::min(map.VMin, map.VMax), std::max(map.VMin, map.VMax)));
      QPolygonF area;
      for (const TChartPoint& p : points_)
        if (!std::isnan(p.Value)) area << QPointF(map.X(static_cast<double>(p.Position)), map.Y(p.Value));
      if (area.size() < 2) continue;
      const QColor colour = ToQColor(points_.back().Colour);
      area << QPointF(area.back().x(), base) << QPointF(area.front().x(), base);
      painter.setPen(QPen(colour, 1));
      painter.setBrush(colour);
      painter.drawPolygon(area);
      painter.setBrush(Qt::NoBrush);
      continue;
    }

    // A segment takes the colour of the point it leads to; a run of one colour is one polyline.
    // Once the points are closer than a pixel, the line is a zigzag of column envelopes: smoothing
    // it shows nothing but costs many times the plain drawing.
    const bool dense = static_cast<std::int64_t>(points_.size()) > columns;
    painter.setRenderHint(QPainter::Antialiasing, !dense);
    QPolygonF run;
    QColor runColour;
    auto flush = [&] {
      if (run.size() >= 2) {
        painter.setPen(dense ? QPen(runColour, 0) : QPen(runColour, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPolyline(run);
      }
      run.clear();
    };
    for (const TChartPoint& p : points_) {
      if (std::isnan(p.Value)) {
        flush();
        continue;
      }
      const QPointF at(map.X(static_cast<double>(p.Position)), map.Y(p.Value));
      const QColor colour = ToQColor(p.Colour);
      if (run.size() == 1) {
        runColour = colour;
      } else if (run.size() >= 2 && colour != runColour) {
        const QPointF from = run.back();
        flush();
        run << from;
        runColour = colour;
      }
      run << at;
    }
    flush();
  }
  painter.restore();
}

void TChartView::Paint(QPainter& painter, const QRect& bounds) const {
  const TLayout layout = Layout(*painter.device(), bounds);
  PaintFrame(painter, layout);
  PaintSeries(painter, layout);
}

QImage TChartView::Picture() const {
  QImage image(size(), QImage::Format_RGB32);
  // Measured as on screen, so that the picture matches what the user sees.
  image.setDotsPerMeterX(qRound(logicalDpiX() / 0.0254));
  image.setDotsPerMeterY(qRound(logicalDpiY() / 0.0254));
  image.fill(Qt::white);
  QPainter painter(&image);
  Paint(painter, image.rect());
  return image;
}

TChartView::TFrameKey TChartView::FrameKey() const {
  return {size(),
          devicePixelRatioF(),
          chart_.HorzMinimum(),
          chart_.HorzMaximum(),
          chart_.VertMinimum(),
          chart_.VertMaximum(),
          decimalSeparator_};
}

void TChartView::paintEvent(QPaintEvent* event) {
  const TFrameKey key = FrameKey();
  if (frame_.isNull() || !(key == frameKey_)) {
    frame_ = QPixmap(size() * key.PixelRatio);
    frame_.setDevicePixelRatio(key.PixelRatio);
    frame_.fill(Qt::white);
    QPainter framePainter(&frame_);
    frameLayout_ = Layout(*this, rect());
    PaintFrame(framePainter, frameLayout_);
    frameKey_ = key;
  }
  QPainter painter(this);
  // Only the damaged part: a reading on the shown page damages the strip of its segment.
  const QRect damaged = event->rect();
  painter.setClipRect(damaged);
  painter.drawPixmap(damaged, frame_,
                     QRectF(damaged.topLeft() * key.PixelRatio, damaged.size() * key.PixelRatio).toRect());
  PaintSeries(painter, frameLayout_);
}

}  // namespace qm::gui
