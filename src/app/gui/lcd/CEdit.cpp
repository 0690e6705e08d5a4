#include "app/gui/lcd/CEdit.h"

#include <QEvent>
#include <QFocusEvent>

namespace qm::gui {

TCEdit::TCEdit(QWidget* parent) : QLineEdit(parent) { ApplyAlignment(); }

void TCEdit::SetAlignment(TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  ApplyAlignment();
  Q_EMIT AlignmentChanged(alignment_);
}

void TCEdit::SetPassesFocusOn(bool on) { passesFocusOn_ = on; }

// The edit is given an absolute side, worked out here from the layout direction, so that the text
// sits where the property says whatever the direction of the text itself.
void TCEdit::ApplyAlignment() {
  Qt::Alignment side = Qt::AlignHCenter;
  if (alignment_ != taCenter) {
    const bool leading = (alignment_ == taLeftJustify) != isRightToLeft();
    side = leading ? Qt::AlignLeft : Qt::AlignRight;
  }
  setAlignment(side | Qt::AlignVCenter | Qt::AlignAbsolute);
}

void TCEdit::changeEvent(QEvent* event) {
  QLineEdit::changeEvent(event);
  if (event->type() == QEvent::LayoutDirectionChange) ApplyAlignment();
}

void TCEdit::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  if (!passesFocusOn_) return;
  const bool forward = event->reason() != Qt::BacktabFocusReason;
  if (QWidget* next = NextFocusTarget(forward))
    next->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
  else
    clearFocus();
}

// The same choice as the Tab key makes, except that fields which pass the focus on are skipped:
// otherwise a run of them would hand the focus round among themselves.
QWidget* TCEdit::NextFocusTarget(bool forward) const {
  QWidget* const top = window();
  for (QWidget* w = forward ? nextInFocusChain() : previousInFocusChain(); w != nullptr && w != this;
       w = forward ? w->nextInFocusChain() : w->previousInFocusChain()) {
    if ((w->focusPolicy() & Qt::TabFocus) != Qt::TabFocus || w->focusProxy() != nullptr) continue;
    if (w->window() != top || !w->isEnabled() || !w->isVisibleTo(top)) continue;
    if (const auto* edit = qobject_cast<const TCEdit*>(w); edit != nullptr && edit->passesFocusOn_) continue;
    return w;
  }
  return nullptr;
}

}  // namespace qm::gui
