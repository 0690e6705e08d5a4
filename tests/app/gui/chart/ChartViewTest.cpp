// The trend chart Chart1 as drawn: the window and range the chart control sets, lines cut off at
// the plot's edge, one page of points per repaint, and repaints only for what shows.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QPaintEvent>
#include <QScreen>
#include <QTest>

#include <algorithm>
#include <functional>
#include <tuple>
#include <utility>

#include "app/gui/chart/ChartView.h"
#include "ChartFixture.h"

namespace qm::gui {
namespace {

using test::ChartFixture;

bool IsRed(QRgb c) { return qRed(c) > 180 && qGreen(c) < 100 && qBlue(c) < 100; }
bool IsBlue(QRgb c) { return qBlue(c) > 180 && qRed(c) < 100 && qGreen(c) < 100; }
bool IsGreen(QRgb c) { return qGreen(c) > 90 && qRed(c) < 80 && qBlue(c) < 80; }
bool IsLine(QRgb c) { return IsRed(c) || IsBlue(c) || IsGreen(c); }

// Whether a pixel of the kind lies within `radius` of (x, y).
bool Near(const QImage& image, double x, double y, const std::function<bool(QRgb)>& kind, int radius = 2) {
  for (int dy = -radius; dy <= radius; ++dy)
    for (int dx = -radius; dx <= radius; ++dx) {
      const QPoint p(qRound(x) + dx, qRound(y) + dy);
      if (image.rect().contains(p) && kind(image.pixel(p))) return true;
    }
  return false;
}

// The leftmost and rightmost column holding a pixel of the kind; (-1, -1) when there is none.
std::pair<int, int> Columns(const QImage& image, const std::function<bool(QRgb)>& kind) {
  int first = -1, last = -1;
  for (int x = 0; x < image.width(); ++x)
    for (int y = 0; y < image.height(); ++y)
      if (kind(image.pixel(x, y))) {
        if (first < 0) first = x;
        last = x;
        break;
      }
  return {first, last};
}

// Positions and values to pixels, as the chart's axes stand.
struct Scale {
  QRect plot;
  double lo, hi, vmin, vmax;
  Scale(const TChartView& view, const TTrendChart& chart, const QRect& bounds)
      : plot(view.PlotArea(bounds)),
        lo(chart.HorzMinimum()),
        hi(chart.HorzMaximum()),
        vmin(chart.VertMinimum()),
        vmax(chart.VertMaximum()) {}
  double X(double position) const { return plot.left() + (position - lo) * (plot.width() - 1) / (hi - lo); }
  double Y(double value) const { return plot.bottom() - (value - vmin) * (plot.height() - 1) / (vmax - vmin); }
};

TEST(ChartViewTest, ValueAxisSpansTheMainValuesAndCutsOffWhatLiesBeyond) {
  ChartFixture f;
  f.control.SetRange(10);  // records far apart
  f.Reading(5, 0.0, 1.0);
  f.Reading(-3, 0.0, 1.0);
  f.Reading(2, 10.0, 1.0);  // the sub-value leaves the range at the top
  ASSERT_EQ(f.chart.VertMinimum(), -3);
  ASSERT_EQ(f.chart.VertMaximum(), 5);

  TChartView view(f.chart);
  view.resize(420, 300);
  const QImage image = view.Picture();
  const Scale s(view, f.chart, image.rect());

  // The main value touches the top and the bottom of the plot.
  EXPECT_TRUE(Near(image, s.X(1), s.plot.top(), IsRed));
  EXPECT_TRUE(Near(image, s.X(2), s.plot.bottom(), IsRed));
  EXPECT_TRUE(Near(image, s.X(3), s.Y(2), IsRed));
  EXPECT_TRUE(Near(image, s.X(2), s.Y(1), IsGreen));
  // The first sub-value rises from 0 towards 10 and leaves the plot at 5, halfway to record 3.
  EXPECT_TRUE(Near(image, s.X(1.5), s.Y(0), IsBlue));
  EXPECT_TRUE(Near(image, s.X(2.5), s.plot.top(), IsBlue));
  EXPECT_FALSE(Near(image, s.X(2.75), s.plot.top() + 4, IsBlue, 3));
  EXPECT_NEAR(Columns(image, IsBlue).second, s.X(2.5), 2);
  // Nothing of any line outside the plot.
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (!s.plot.contains(x, y)) {
        ASSERT_FALSE(IsLine(image.pixel(x, y))) << x << "," << y;
      }
}

TEST(ChartViewTest, DrawsTheWindowTheControlMovesAndRunsTheLineOnToItsEdges) {
  ChartFixture f;
  f.Readings(150);  // the window follows onto 101 .. 200
  TChartView view(f.chart);
  view.resize(420, 300);

  QImage image = view.Picture();
  Scale s(view, f.chart, image.rect());
  ASSERT_EQ(s.lo, 101);
  auto [first, last] = Columns(image, IsRed);
  EXPECT_LE(first, s.plot.left() + 1);  // from record 100, left of the window
  EXPECT_NEAR(last, s.X(150), 2);

  f.control.FirstPage();
  image = view.Picture();
  s = Scale(view, f.chart, image.rect());
  ASSERT_EQ(s.lo, 1);
  std::tie(first, last) = Columns(image, IsRed);
  EXPECT_LE(first, s.plot.left() + 1);  // from the seed point at 0
  EXPECT_GE(last, s.plot.right() - 1);  // on to record 101
}

// The fill series shows only when the chart control says so.
TEST(ChartViewTest, FillSeriesFollowsItsVisibility) {
  ChartFixture f;
  for (int i = 0; i < 20; ++i) {
    const double values[4] = {2.0, 0.0, 0.0, 0.0};
    const TColor colours[4] = {clBlue, clRed, clBlue, clGreen};
    TrackValueRange(f.control, 4.0);
    f.control.AddValues(values, colours, 4);
  }
  TChartView view(f.chart);
  view.resize(420, 300);
  const Scale s(view, f.chart, QRect(QPoint(0, 0), view.size()));
  EXPECT_FALSE(Near(view.Picture(), s.X(10), s.Y(1), IsBlue));
  f.control.SetFillVisible(true);
  EXPECT_TRUE(Near(view.Picture(), s.X(10), s.Y(1), IsBlue));
}

// Repainting touches one page of points, reduced per pixel column, not the records held.
TEST(ChartViewTest, RepaintFetchesOnePageOfTenMillionRecords) {
  constexpr std::int64_t kHeld = 10'000'000;
  TTrendChart chart(4);
  TChartControl control(chart, 100);
  control.SetFillVisible(false);
  for (std::int64_t i = 1; i < kHeld - 20'000; ++i)
    for (int s = 0; s < 4; ++s) chart.AddPoint(s, 0.0, s == 1 ? clRed : s == 2 ? clBlue : clGreen);
  control.SetRange(10000);  // recounts the pages and follows onto the newest
  TrackValueRange(control, 999);
  for (int i = 0; i < 20'000; ++i) {
    const double values[4] = {0.0, static_cast<double>(i % 1000), static_cast<double>(i % 17), 3.0};
    const TColor colours[4] = {clBlue, clRed, clBlue, clGreen};
    control.AddValues(values, colours, 4);
  }
  ASSERT_EQ(chart.PointCount(1), kHeld);

  TChartView view(chart);
  view.resize(500, 300);
  const int columns = view.PlotArea(view.rect()).width();
  QImage image(view.size(), QImage::Format_RGB32);

  struct Case {
    const char* name;
    std::function<void()> move;
    std::int64_t most;  // points fetched, three series together
  };
  const Case cases[] = {
      {"newest page of 10000", [] {}, 3 * (2 * columns + 2)},
      {"first page of 10000", [&] { control.FirstPage(); }, 3 * (2 * columns + 2)},
      {"newest page of 100", [&] { control.SetRange(100); }, 3 * (100 + 2)},
      {"page of 100 in the middle", [&] { control.GoToPage(50'000); }, 3 * (100 + 2)},
  };
  for (const Case& c : cases) {
    c.move();
    image.fill(Qt::white);
    QPainter painter(&image);
    view.Paint(painter, image.rect());
    EXPECT_GT(view.LastPaintPoints(), 0) << c.name;
    EXPECT_LE(view.LastPaintPoints(), c.most) << c.name;
  }
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget& widget) { widget.installEventFilter(this); }
  int count = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++count;
    return false;
  }
};

void Settle() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

TEST(ChartViewTest, RepaintsOnceAReadingAndNotForRecordsOffThePage) {
  ChartFixture f;
  f.Readings(250);
  TChartView view(f.chart);
  view.resize(400, 300);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  Settle();
  PaintCounter paints(view);

  f.Reading(3);  // four points, one window shift: one repaint
  Settle();
  EXPECT_EQ(paints.count, 1);

  f.control.PriorPage();
  Settle();
  EXPECT_EQ(paints.count, 2);
  f.Readings(30);  // land on page 3 while page 2 is shown
  Settle();
  EXPECT_EQ(paints.count, 2);

  f.control.LastPage();
  Settle();
  EXPECT_EQ(paints.count, 3);
}

// The screen keeps its axes in a pixmap; the picture is drawn afresh. Both must agree, also after
// the axes moved.
TEST(ChartViewTest, ScreenAndPictureAgreeAfterTheAxesMove) {
  ChartFixture f;
  f.Readings(60);
  TChartView view(f.chart);
  view.resize(400, 300);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  EXPECT_EQ(view.grab().toImage().convertToFormat(QImage::Format_RGB32), view.Picture());

  auto agree = [&] {
    Settle();
    return view.grab().toImage().convertToFormat(QImage::Format_RGB32) == view.Picture();
  };
  f.Reading(250);  // a wider value axis on the same page
  EXPECT_TRUE(agree());
  f.Readings(60);  // the next page
  EXPECT_TRUE(agree());
  view.resize(500, 260);
  EXPECT_TRUE(agree());
}

// Records damaging the shown page repaint only their segment's strip; what the screen then shows
// must be what a whole repaint draws.
TEST(ChartViewTest, AReadingRepaintsItsStripAndTheScreenStaysWhole) {
  ChartFixture f;
  f.Reading(5);
  f.Reading(-3);
  TChartView view(f.chart);
  view.resize(400, 300);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  Settle();

  struct TDamage : QObject {
    QRect last;
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Paint) last = static_cast<QPaintEvent*>(e)->rect();
      return false;
    }
  } damage;
  view.installEventFilter(&damage);
  for (double v : {1.0, 4.5, -2.0, 0.0, 3.0}) {  // inside the value range: the axes stay
    f.Reading(v, 1.0, -1.0);
    Settle();
    EXPECT_LT(damage.last.width(), view.width() / 4) << v;
    const QImage shown = view.screen()->grabWindow(view.winId()).toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown.copy(view.rect()), view.Picture()) << v;
  }
}

}  // namespace
}  // namespace qm::gui
