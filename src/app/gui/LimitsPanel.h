// The limits panel pnlSetComp: the two limit edits, the measured value and the pass/fail disc,
// bound to the session's limit comparator.
#pragma once

#include <QFrame>

#include "recording/Comparator.h"

class QLabel;
class QLineEdit;

namespace qm::gui {

class TCEdit;

// The verdict disc Shape1: a circle inscribed in its box, filled with the verdict's colour.
class TShapeDisc : public QWidget {
  Q_OBJECT

 public:
  explicit TShapeDisc(QWidget* parent = nullptr);
  void SetBrushColor(const QColor& colour);
  QColor BrushColor() const { return colour_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor colour_;
};

class TLimitsPanel : public QFrame {
  Q_OBJECT

 public:
  static constexpr int kHeight = 97;

  TLimitsPanel(TLimitComparator& comparator, std::string decimalSeparator, QWidget* parent = nullptr);
  ~TLimitsPanel() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Key filter of both limit edits.
  bool edtCompHighKeyPress(QLineEdit* edit, QEvent* event) const;
  // Change check of both limit edits.
  void edtCompLowChange(QLineEdit* edit);
  void ShowVerdict();

  TLimitComparator& comparator_;
  std::string separator_;
  QLabel* T1_HI;
  QLineEdit* edtCompHigh;
  QLabel* T1_Value;
  TCEdit* edtCurValue;
  QLabel* T1_LO;
  QLineEdit* edtCompLow;
  TShapeDisc* Shape1;
  QLabel* lblPass;
};

}  // namespace qm::gui
