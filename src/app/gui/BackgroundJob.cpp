#include "app/gui/BackgroundJob.h"

#include <QEventLoop>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>

#include "app/gui/MainThreadPump.h"

namespace qm::gui {

void RunInBackground(QWidget* parent, TMainThreadPump& pump, const QString& label,
                     const std::function<void(const TJobProgress&)>& work) {
  pump.Hold();
  struct TRelease {
    TMainThreadPump& pump;
    ~TRelease() { pump.Release(); }
  } release{pump};

  constexpr int kSteps = 1000;
  QProgressDialog progress(label, QString(), 0, kSteps, parent);
  progress.setObjectName(QStringLiteral("dlgFileProgress"));
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(500);
  progress.setCancelButton(nullptr);
  progress.setAutoClose(false);

  QEventLoop loop;
  std::atomic<bool> done{false};
  std::atomic<int> reached{0};
  std::exception_ptr error;
  const TJobProgress report = [&reached](double fraction) {
    reached = static_cast<int>(std::clamp(fraction, 0.0, 1.0) * kSteps);
  };
  std::thread worker([&] {
    try {
      work(report);
    } catch (...) {
      error = std::current_exception();
    }
    done = true;
    QMetaObject::invokeMethod(&loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
  });
  // The bar follows what the worker reports; it shows once the work has taken half a second.
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, &progress, [&] { progress.setValue(std::min(reached.load(), kSteps - 1)); });
  tick.start(100);
  if (!done) loop.exec(QEventLoop::ExcludeUserInputEvents);
  worker.join();
  progress.reset();
  if (error) std::rethrow_exception(error);
}

}  // namespace qm::gui
