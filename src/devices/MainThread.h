// The main thread's work queue: the synchronous hand-off from the read thread, asynchronous posts
// (device notifications), and the pump that the GUI's event loop and the CLI's loop each drive.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace qm {

// A piece of work that another thread hands to the main thread and waits for. The job object is
// owned by the caller and reused, so a hand-off allocates nothing.
class TSyncJob {
 public:
  virtual ~TSyncJob() = default;
  virtual void Run() = 0;

 private:
  friend class TMainThread;
  TSyncJob* next_ = nullptr;
  bool done_ = false;
  std::exception_ptr error_;
};

class TMainThread {
 public:
  static TMainThread& Instance();

  // Makes the calling thread the main thread (the front ends and tests call this at start).
  void BindToCurrentThread();
  bool IsMainThread() const;

  // Runs `job` on the main thread and returns when it has run; an exception the job raised is
  // rethrown here. Called on the main thread, the job runs at once.
  void Synchronize(TSyncJob& job);

  // Queues `fn` to run on the main thread at its next pump. Any thread.
  void Post(std::function<void()> fn);

  // Main thread: runs every pending synchronous job and posted function (posts queued while
  // running wait for the next call). Returns how many ran.
  std::size_t ProcessPending();
  // Main thread: runs pending synchronous jobs only. Used while waiting for a thread to end, where
  // a posted notification must not re-enter the code that waits.
  std::size_t ProcessSynchronous();
  // Main thread: waits up to `timeout` for work, then runs what is pending. Returns how many ran.
  std::size_t WaitAndProcess(std::chrono::milliseconds timeout);
  // Main thread: runs synchronous jobs until `done()` holds. A thread whose state `done` reads
  // calls NotifyStateChanged after changing it.
  void WaitUntil(const std::function<bool()>& done);
  void NotifyStateChanged();

  // Called from any thread whenever work was queued; the GUI uses it to wake its event loop.
  void SetWakeHook(std::function<void()> hook);

 private:
  TMainThread();
  void Wake(std::unique_lock<std::mutex>& lock);
  std::size_t RunSyncJobs(std::unique_lock<std::mutex>& lock);

  mutable std::mutex mutex_;
  std::condition_variable workCv_;  // main thread waits for work or state changes
  std::condition_variable doneCv_;  // workers wait for their job to finish
  std::thread::id mainId_;
  TSyncJob* syncHead_ = nullptr;
  TSyncJob* syncTail_ = nullptr;
  std::deque<std::function<void()>> posts_;
  std::function<void()> wakeHook_;
  unsigned stateEpoch_ = 0;
};

}  // namespace qm
