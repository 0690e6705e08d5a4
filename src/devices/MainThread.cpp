#include "devices/MainThread.h"

#include <utility>

namespace qm {

TMainThread& TMainThread::Instance() {
  static TMainThread instance;
  return instance;
}

TMainThread::TMainThread() : mainId_(std::this_thread::get_id()) {}

void TMainThread::BindToCurrentThread() {
  std::lock_guard lock(mutex_);
  mainId_ = std::this_thread::get_id();
}

bool TMainThread::IsMainThread() const {
  std::lock_guard lock(mutex_);
  return mainId_ == std::this_thread::get_id();
}

void TMainThread::SetWakeHook(std::function<void()> hook) {
  std::lock_guard lock(mutex_);
  wakeHook_ = std::move(hook);
}

void TMainThread::Wake(std::unique_lock<std::mutex>& lock) {
  workCv_.notify_all();
  if (wakeHook_) {
    auto hook = wakeHook_;
    lock.unlock();
    hook();
    lock.lock();
  }
}

void TMainThread::Synchronize(TSyncJob& job) {
  std::unique_lock lock(mutex_);
  if (mainId_ == std::this_thread::get_id()) {
    lock.unlock();
    job.Run();
    return;
  }
  job.next_ = nullptr;
  job.done_ = false;
  job.error_ = nullptr;
  if (syncTail_)
    syncTail_->next_ = &job;
  else
    syncHead_ = &job;
  syncTail_ = &job;
  Wake(lock);
  doneCv_.wait(lock, [&] { return job.done_; });
  if (job.error_) {
    auto error = std::exchange(job.error_, nullptr);
    lock.unlock();
    std::rethrow_exception(error);
  }
}

void TMainThread::Post(std::function<void()> fn) {
  std::unique_lock lock(mutex_);
  posts_.push_back(std::move(fn));
  Wake(lock);
}

std::size_t TMainThread::RunSyncJobs(std::unique_lock<std::mutex>& lock) {
  std::size_t ran = 0;
  while (syncHead_) {
    TSyncJob* job = syncHead_;
    syncHead_ = job->next_;
    if (!syncHead_) syncTail_ = nullptr;
    lock.unlock();
    try {
      job->Run();
    } catch (...) {
      job->error_ = std::current_exception();
    }
    lock.lock();
    job->done_ = true;
    ++ran;
    doneCv_.notify_all();
  }
  return ran;
}

std::size_t TMainThread::ProcessSynchronous() {
  std::unique_lock lock(mutex_);
  return RunSyncJobs(lock);
}

std::size_t TMainThread::ProcessPending() {
  std::unique_lock lock(mutex_);
  std::size_t ran = RunSyncJobs(lock);
  // Only the posts queued before this call run now; each is taken off the queue as it runs, so a
  // post that throws leaves the later ones queued for the next pump.
  for (std::size_t due = posts_.size(); due > 0 && !posts_.empty(); --due) {
    auto fn = std::move(posts_.front());
    posts_.pop_front();
    lock.unlock();
    fn();
    ++ran;
    lock.lock();
    ran += RunSyncJobs(lock);
  }
  return ran;
}

std::size_t TMainThread::WaitAndProcess(std::chrono::milliseconds timeout) {
  {
    std::unique_lock lock(mutex_);
    workCv_.wait_for(lock, timeout, [&] { return syncHead_ != nullptr || !posts_.empty(); });
  }
  return ProcessPending();
}

void TMainThread::NotifyStateChanged() {
  std::lock_guard lock(mutex_);
  ++stateEpoch_;
  workCv_.notify_all();
}

void TMainThread::WaitUntil(const std::function<bool()>& done) {
  std::unique_lock lock(mutex_);
  for (;;) {
    RunSyncJobs(lock);
    // Taken before done() reads the state, so a change made in between is never missed.
    unsigned epoch = stateEpoch_;
    lock.unlock();
    if (done()) return;
    lock.lock();
    workCv_.wait(lock, [&] { return syncHead_ != nullptr || stateEpoch_ != epoch; });
  }
}

}  // namespace qm
