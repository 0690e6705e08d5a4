// Events of the component classes: a stored handler with a setter and a raiser that calls it only
// when one is assigned.
#pragma once

#include <cstddef>
#include <functional>
#include <utility>
#include <vector>

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

// An event that several parties observe (the log's changes, the session's link and reading events).
// Handlers are called in the order added. A handler may add or remove handlers while the event is
// raised: one removed during a raise is not called afterwards, one added is called from the next.
template <typename... Args>
class TMulticastEvent {
 public:
  using Handler = std::function<void(Args...)>;
  using TToken = std::size_t;

  TMulticastEvent() = default;
  TMulticastEvent(const TMulticastEvent&) = delete;
  TMulticastEvent& operator=(const TMulticastEvent&) = delete;

  // Returns the token that Remove takes.
  TToken Add(Handler handler) {
    handlers_.push_back({++lastToken_, std::move(handler)});
    return lastToken_;
  }
  void Remove(TToken token) {
    for (auto& h : handlers_)
      if (h.token == token) h.token = 0;  // erased when no raise is running
    if (raising_ == 0) Compact();
  }
  bool Assigned() const {
    for (const auto& h : handlers_)
      if (h.token != 0) return true;
    return false;
  }

  void Raise(Args... args) {
    if (handlers_.empty()) return;
    ++raising_;
    struct TDone {
      TMulticastEvent& e;
      ~TDone() {
        if (--e.raising_ == 0) e.Compact();
      }
    } done{*this};
    // Index loop: handlers added meanwhile may reallocate the vector.
    for (std::size_t i = 0, n = handlers_.size(); i < n; ++i) {
      if (handlers_[i].token == 0) continue;
      Handler call = handlers_[i].handler;  // the handler may remove itself
      call(args...);
    }
  }

 private:
  struct TEntry {
    TToken token;
    Handler handler;
  };
  void Compact() { std::erase_if(handlers_, [](const TEntry& h) { return h.token == 0; }); }

  std::vector<TEntry> handlers_;
  TToken lastToken_ = 0;
  int raising_ = 0;
};

}  // namespace qm
