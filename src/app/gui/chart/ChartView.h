// TChartView, the trend chart Chart1: the main value and the two sub-values of the logged records
// against the record number, in the horizontal window and the vertical range the chart control
// sets. No legend and no mouse input: the toolbar above it does the paging.
//
// A repaint costs one page, however many records the chart holds: each shown series is fetched for
// the window only, reduced to a low/high pair per pixel column. Background, title, axes, labels
// and grid are kept in a pixmap until the size or an axis changes.
#pragma once

#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <vector>

#include "recording/Series.h"
#include "recording/TrendChart.h"

class QPainter;
class QPaintDevice;

namespace qm::gui {

class TChartView : public QWidget {
  Q_OBJECT

 public:
  static constexpr const char* kTitle = "MainValue:Red SubValueA:Blue SubvalueB:Green";
  static constexpr const char* kHorzTitle = "Record Number";
  static constexpr const char* kVertTitle = "Value";

  // The chart must outlive the view.
  explicit TChartView(TTrendChart& chart, QWidget* parent = nullptr);
  ~TChartView() override;
  TChartView(const TChartView&) = delete;
  TChartView& operator=(const TChartView&) = delete;

  // Draws the whole chart into `bounds` on white: the screen, the saved picture and a printout all
  // come from here. Text is measured on the painter's device.
  void Paint(QPainter& painter, const QRect& bounds) const;
  // The chart at its size on screen, drawn on white.
  QImage Picture() const;
  // Where the plot (the area inside the axes) lies when the chart is drawn into `bounds` on this
  // widget's screen.
  QRect PlotArea(const QRect& bounds) const;

  // The decimal separator of the value labels ("." until set).
  void SetDecimalSeparator(const QString& separator);

  // Points fetched from the chart by the last drawing, all series together: about two per pixel
  // column at most, whatever the chart holds.
  std::int64_t LastPaintPoints() const { return lastPaintPoints_; }

  QSize sizeHint() const override { return {480, 320}; }
  QSize minimumSizeHint() const override { return {200, 140}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  struct TTicks {
    std::vector<double> Values;
    std::vector<QString> Labels;
  };
  struct TLayout {
    QRect Bounds;
    QRect Title;
    QRect Plot;  // inside the axes; the lines are clipped to it
    TTicks Horz, Vert;
  };
  // What the axes and grid are drawn from; the cached pixmap is kept while this stays the same.
  struct TFrameKey {
    QSize Size;
    qreal PixelRatio = 0;
    double HorzMin = 0, HorzMax = 0, VertMin = 0, VertMax = 0;
    QString DecimalSeparator;
    bool operator==(const TFrameKey&) const = default;
  };
  // What a change of the chart compares against, to repaint only when the picture changes.
  struct TSeen {
    double HorzMin = 0, HorzMax = 0, VertMin = 0, VertMax = 0;
    std::vector<std::int64_t> Counts;
    std::vector<bool> Visible;
  };

  TLayout Layout(const QPaintDevice& device, const QRect& bounds) const;
  TTicks HorzTicks(double lo, double hi, int width, const QFontMetrics& labels) const;
  TTicks VertTicks(double lo, double hi, int height, const QFontMetrics& labels) const;
  void PaintFrame(QPainter& painter, const TLayout& layout) const;
  void PaintSeries(QPainter& painter, const TLayout& layout) const;
  TFrameKey FrameKey() const;
  void ChartChanged();
  TSeen Look() const;
  // The strip of the plot that the points added since `before` change; empty when none shows.
  QRect NewPointsRect(const TSeen& before, const TSeen& now) const;

  TTrendChart& chart_;
  TMulticastEvent<>::TToken changeToken_ = 0;
  QString decimalSeparator_ = QStringLiteral(".");
  TSeen seen_;
  QPixmap frame_;
  TFrameKey frameKey_;
  TLayout frameLayout_;
  mutable std::vector<TChartPoint> points_;  // reused by every repaint
  mutable std::int64_t lastPaintPoints_ = 0;
};

}  // namespace qm::gui
