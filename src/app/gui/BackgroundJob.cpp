#include "app/gui/BackgroundJob.h"

#include <QEventLoop>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>

#include <atomic>
#include <exception>
#include <thread>

#include "app/gui/MainThreadPump.h"

namespace qm::gui {

void RunInBackground(QWidget* parent, TMainThreadPump& pump, const QString& label, const std::function<void()>& work) {
  pump.Hold();
  struct TRelease {
    TMainThreadPump& pump;
    ~TRelease() { pump.Release(); }
  } release{pump};

  QProgressDialog progress(label, QString(), 0, 0, parent);
  progress.setObjectName(QStringLiteral("dlgFileProgress"));
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(500);
  progress.setCancelButton(nullptr);
  progress.setAutoClose(false);

  QEventLoop loop;
  std::atomic<bool> done{false};
  std::exception_ptr error;
  std::thread worker([&] {
    try {
      work();
    } catch (...) {
      error = std::current_exception();
    }
    done = true;
    QMetaObject::invokeMethod(&loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
  });
  // The busy bar keeps moving while the worker runs.
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, &progress, [&progress] { progress.setValue(0); });
  tick.start(100);
  if (!done) loop.exec(QEventLoop::ExcludeUserInputEvents);
  worker.join();
  progress.reset();
  if (error) std::rethrow_exception(error);
}

}  // namespace qm::gui
