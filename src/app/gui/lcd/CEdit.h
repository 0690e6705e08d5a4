// TCEdit: a single-line edit whose text alignment is a property, for the numeric fields of the main
// window and the digit displays of the LCD panel.
#pragma once

#include <QLineEdit>

namespace qm::gui {

class TCEdit : public QLineEdit {
  Q_OBJECT
  Q_PROPERTY(TAlignment Alignment READ Alignment WRITE SetAlignment NOTIFY AlignmentChanged)

 public:
  enum TAlignment { taLeftJustify, taRightJustify, taCenter };
  Q_ENUM(TAlignment)

  explicit TCEdit(QWidget* parent = nullptr);

  TAlignment Alignment() const { return alignment_; }
  // Left and right follow the reading order: with a right-to-left layout direction taLeftJustify
  // puts the text at the right edge and taRightJustify at the left; centred stays centred. Setting
  // the current value does nothing.
  void SetAlignment(TAlignment value);

  // A field that never keeps the input focus: when it receives it, by mouse or keyboard, the focus
  // moves on at once to the next control in tab order (the previous one for Shift+Tab), skipping
  // other such fields. For read-only displays that must show no caret and take no keys.
  bool PassesFocusOn() const { return passesFocusOn_; }
  void SetPassesFocusOn(bool on);

 Q_SIGNALS:
  void AlignmentChanged(qm::gui::TCEdit::TAlignment alignment);

 protected:
  void changeEvent(QEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;

 private:
  void ApplyAlignment();
  QWidget* NextFocusTarget(bool forward) const;

  TAlignment alignment_ = taLeftJustify;
  bool passesFocusOn_ = false;
};

}  // namespace qm::gui
