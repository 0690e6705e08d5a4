// The virtual LCD panel pnlLcd: the meter's display mirrored in the main window, with the link
// activity picture, the USB mark and the curtains that cover it during a memory download.
#pragma once

#include <QFrame>
#include <QString>
#include <array>

#include "protocol/MeterProtocolPorts.h"

class QLabel;
class QLineEdit;

namespace qm::gui {

class TLcdPanel : public QFrame {
  Q_OBJECT

 public:
  static constexpr int kWidth = 444;
  static constexpr int kHeight = 241;

  explicit TLcdPanel(QWidget* parent = nullptr);

  // The text of a digit display, or the caption of a label or curtain (a picture keeps its drawing
  // whatever its caption). Readings arrive many times a second: the widget is touched only when
  // the text differs.
  void SetCaption(qm::TLcdControl control, const QString& text);
  // Shows or hides a control; touches it only on a change.
  void SetControlVisible(qm::TLcdControl control, bool visible);
  // The link-activity picture: CONok shown as given, CONokN the opposite.
  void SetActivityIndicator(bool conOkVisible);
  // The connection mark lcdUSB.
  void SetUsbVisible(bool visible);

  QWidget* Control(qm::TLcdControl control) const;

 private:
  struct TSlot {
    QWidget* widget = nullptr;
    QLabel* label = nullptr;    // labels, pictures and curtains
    QLineEdit* edit = nullptr;  // digit displays
  };

  void Put(qm::TLcdControl control, QLabel* label);
  void Put(qm::TLcdControl control, QLineEdit* edit);
  static void SetShown(QWidget* widget, bool visible);

  std::array<TSlot, kLcdControlCount> controls_{};
  QWidget* conOk_ = nullptr;
  QWidget* conOkN_ = nullptr;
  QWidget* usb_ = nullptr;
};

}  // namespace qm::gui
