#include "app/gui/MainThreadPump.h"

#include <QCoreApplication>
#include <QEvent>

#include <exception>

#include "devices/MainThread.h"

namespace qm::gui {

namespace {

const QEvent::Type kPumpEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

}  // namespace

void TMainThreadPump::PostTo(TTarget& target) {
  // One pending event is enough: it runs everything queued by then.
  if (target.posted.exchange(true)) return;
  std::lock_guard lock(target.mutex);
  if (target.object) QCoreApplication::postEvent(target.object, new QEvent(kPumpEvent));
}

TMainThreadPump::TMainThreadPump(IPrompt& prompt, QObject* parent)
    : QObject(parent), prompt_(prompt), target_(std::make_shared<TTarget>()) {
  target_->object = this;
  TMainThread::Instance().BindToCurrentThread();
  // Called from any thread; the shared target outlives a hook call that races the destructor.
  TMainThread::Instance().SetWakeHook([target = target_] { PostTo(*target); });
  Post();  // work queued before the pump existed
}

TMainThreadPump::~TMainThreadPump() {
  TMainThread::Instance().SetWakeHook(nullptr);
  std::lock_guard lock(target_->mutex);
  target_->object = nullptr;
}

void TMainThreadPump::Post() { PostTo(*target_); }

bool TMainThreadPump::event(QEvent* e) {
  if (e->type() != kPumpEvent) return QObject::event(e);
  target_->posted = false;
  Run();
  return true;
}

void TMainThreadPump::Hold() { ++held_; }

void TMainThreadPump::Release() {
  if (held_ > 0 && --held_ == 0) Post();
}

void TMainThreadPump::Run() {
  if (running_ || held_ > 0) {
    again_ = true;  // inside a box opened by the running work: serve it when that has returned
    return;
  }
  running_ = true;
  ++runs_;
  try {
    TMainThread::Instance().ProcessPending();
  } catch (const std::exception& e) {
    again_ = true;  // what was queued behind the failed post still waits
    running_ = false;
    prompt_.ErrorReport(e.what());
  } catch (...) {
    again_ = true;
    running_ = false;
    prompt_.ErrorReport("Unknown error");
  }
  running_ = false;
  if (again_) {
    again_ = false;
    Post();
  }
}

}  // namespace qm::gui
