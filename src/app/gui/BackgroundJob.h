// Long file work away from the GUI thread: the window keeps painting, a progress dialog appears
// when the work takes longer than half a second, and nothing changes the log meanwhile (the dialog
// is modal and the main-thread queue is held, so the read thread waits as it does for a box).
#pragma once

#include <QString>
#include <QWidget>

#include <functional>

namespace qm::gui {

class TMainThreadPump;

// Tells the dialog how far the work has come, 0 to 1; callable from the worker thread.
using TJobProgress = std::function<void(double fraction)>;

// Runs `work` on a worker thread and returns when it is done; rethrows what it threw.
void RunInBackground(QWidget* parent, TMainThreadPump& pump, const QString& label,
                     const std::function<void(const TJobProgress&)>& work);

}  // namespace qm::gui
