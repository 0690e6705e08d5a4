// The key filter of the edits that take only some ASCII characters (limits, sampling interval).
#pragma once

#include <QKeyEvent>
#include <QString>

namespace qm::gui {

// Whether the edit drops `key`. Only typed characters are filtered: moving keys, Delete and
// shortcuts (which type nothing or a control code other than backspace) pass as they are. More
// than one character, or one beyond ASCII, is never one the edit takes; `accepts(char)` decides
// the rest.
template <typename Accepts>
bool DropsTypedKey(const QKeyEvent& key, Accepts&& accepts) {
  const QString text = key.text();
  if (text.isEmpty() || (text.size() == 1 && text[0].unicode() < 0x20 && text[0] != QChar('\b'))) return false;
  if (text.size() != 1 || text[0].unicode() >= 0x80) return true;
  return !accepts(static_cast<char>(text[0].unicode()));
}

}  // namespace qm::gui
