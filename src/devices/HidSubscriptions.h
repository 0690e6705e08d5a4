// The handlers subscribed to device-change notifications, and their delivery on the main thread.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "devices/HidPlatform.h"

namespace qm::hid {

class TSubscriptions {
 public:
  TSubscriptions();

  // Any thread. Returns the subscription's id (never 0).
  int Add(THidPlatform::TNotifyHandler handler);
  // Any thread. Returns how many subscriptions are left.
  std::size_t Remove(int id);

  // Any thread: queues `change` for the main thread, for every handler subscribed now. A handler
  // unsubscribed before the notification runs is skipped, and nothing runs once this object is gone.
  void Post(const TDeviceChange& change);

 private:
  using THandlerPtr = std::shared_ptr<const THidPlatform::TNotifyHandler>;
  struct TState {
    std::mutex Mutex;
    std::map<int, THandlerPtr> Handlers;
    int LastId = 0;
  };
  static void Deliver(const std::weak_ptr<TState>& state, const std::vector<int>& ids, const TDeviceChange& change);

  std::shared_ptr<TState> state_;
};

}  // namespace qm::hid
