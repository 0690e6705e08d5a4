#include "devices/HidSubscriptions.h"

#include <utility>
#include <vector>

#include "devices/MainThread.h"

namespace qm::hid {

TSubscriptions::TSubscriptions() : state_(std::make_shared<TState>()) {}

int TSubscriptions::Add(THidPlatform::TNotifyHandler handler) {
  std::lock_guard lock(state_->Mutex);
  const int id = ++state_->LastId;
  state_->Handlers.emplace(id, std::make_shared<const THidPlatform::TNotifyHandler>(std::move(handler)));
  return id;
}

std::size_t TSubscriptions::Remove(int id) {
  std::lock_guard lock(state_->Mutex);
  state_->Handlers.erase(id);
  return state_->Handlers.size();
}

void TSubscriptions::Post(const TDeviceChange& change) {
  std::vector<int> ids;
  {
    std::lock_guard lock(state_->Mutex);
    for (const auto& [id, handler] : state_->Handlers) ids.push_back(id);
  }
  if (ids.empty()) return;
  TMainThread::Instance().Post(
      [state = std::weak_ptr<TState>(state_), ids = std::move(ids), change] { Deliver(state, ids, change); });
}

void TSubscriptions::Deliver(const std::weak_ptr<TState>& weakState, const std::vector<int>& ids,
                             const TDeviceChange& change) {
  for (int id : ids) {
    // Looked up afresh for each handler: an earlier one may have unsubscribed it.
    THandlerPtr handler;
    if (auto state = weakState.lock()) {
      std::lock_guard lock(state->Mutex);
      auto it = state->Handlers.find(id);
      if (it != state->Handlers.end()) handler = it->second;
    }
    if (handler && *handler) (*handler)(change);
  }
}

}  // namespace qm::hid
