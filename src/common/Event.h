// Events of the component classes: a stored handler with a setter and a raiser that calls it only
// when one is assigned.
#pragma once

#include <functional>
#include <utility>

namespace qm {

template <typename... Args>
class TEvent {
 public:
  using Handler = std::function<void(Args...)>;

  void Set(Handler handler) { handler_ = std::move(handler); }
  void Clear() { handler_ = nullptr; }
  bool Assigned() const { return static_cast<bool>(handler_); }
  const Handler& Get() const { return handler_; }

  // Calls the handler when one is assigned; does nothing otherwise.
  void Raise(Args... args) const {
    if (handler_) handler_(std::forward<Args>(args)...);
  }

 private:
  Handler handler_;
};

}  // namespace qm
