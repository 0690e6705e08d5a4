// Brings the main-thread queue (the read thread's synchronous hand-off, device notifications) into
// the Qt event loop: the queue's wake hook posts one event, and the event runs what is pending.
//
// A modal box opened while a chunk is being handled runs a nested event loop. The pump never runs
// the queue inside itself: a wake-up that arrives meanwhile is kept and served once the outer run
// has returned, so a second chunk never starts inside the first, and the read thread, blocked on
// its own hand-off, simply waits for the box to close.
#pragma once

#include <QObject>

#include <atomic>
#include <memory>
#include <mutex>

#include "common/Prompt.h"

namespace qm::gui {

class TMainThreadPump : public QObject {
  Q_OBJECT

 public:
  // Binds the queue to the calling (GUI) thread and installs the wake hook. Anything the queued
  // work throws goes to `prompt`'s error report.
  explicit TMainThreadPump(IPrompt& prompt, QObject* parent = nullptr);
  ~TMainThreadPump() override;

  // True while queued work is running (possibly inside a modal box it opened) or the queue is held.
  bool Busy() const { return running_ || held_ > 0; }
  // Keeps the queue waiting (nested pairs), e.g. while a worker reads the log to save it: the read
  // thread waits on its hand-off as it does for a box, and what came meanwhile runs on release.
  void Hold();
  void Release();
  // How many times the queue was run; for tests and benchmarks.
  std::uint64_t Runs() const { return runs_; }

 protected:
  bool event(QEvent* e) override;

 private:
  struct TTarget {
    std::mutex mutex;
    QObject* object = nullptr;  // cleared before the pump goes, under the mutex
    std::atomic<bool> posted{false};
  };
  static void PostTo(TTarget& target);
  void Post();
  void Run();

  IPrompt& prompt_;
  std::shared_ptr<TTarget> target_;
  bool running_ = false;
  bool again_ = false;
  int held_ = 0;
  std::uint64_t runs_ = 0;
};

}  // namespace qm::gui
