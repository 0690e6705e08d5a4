// The pictorial annunciators of the LCD panel, drawn as vectors so that they stay crisp at any
// size and screen scale.
#pragma once

#include <QColor>
#include <QLabel>
#include <QRectF>
#include <QSizeF>
#include <cstdint>

class QPainter;

namespace qm::gui {

// A QLabel so that the hold and auto power-off marks keep the caption the meter's own panel gives
// them; what is painted is always the drawing, never the caption. Paints no background: the three
// phase-sequence pictures lie on top of each other.
class TLcdPicture : public QLabel {
  Q_OBJECT

 public:
  enum class TDrawing : std::uint8_t {
    LinkFrame1,          // a PC beside the meter, data dots on the cable: first frame
    LinkFrame2,          // the same, the dots moved on: second frame
    Hold,                // data hold: H in a frame
    AutoPowerOff,        // power symbol with a clock
    Warning,             // lightning bolt ending in an arrow (hazardous voltage)
    LowBattery,          // battery outline with minus and plus
    PhaseSequence,       // RST above an arc
    PhaseSequenceLeft,   // RST above an arc ending in an arrow pointing left
    PhaseSequenceRight,  // RST above an arc ending in an arrow pointing right
    Tilde,               // AC sign of the main value
    SmallTilde,          // AC sign of a sub-value, low in its tall box
  };

  explicit TLcdPicture(TDrawing drawing, QWidget* parent = nullptr);

  TDrawing Drawing() const { return drawing_; }

  // The box a drawing is designed in; painting stretches it to the target rectangle.
  static QSizeF DesignSize(TDrawing drawing);
  // Draws `drawing` in `ink` into `target`, antialiased; leaves the painter's state as it was.
  static void Paint(QPainter& painter, TDrawing drawing, const QRectF& target, const QColor& ink);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  TDrawing drawing_;
};

}  // namespace qm::gui
