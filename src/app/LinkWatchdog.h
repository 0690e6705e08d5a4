// The USB watchdog: runs while a link is open, restarted by every received chunk; it expires when
// nothing has arrived for its interval. The front end's loop (GUI timer, CLI loop) asks Expired.
#pragma once

#include <chrono>

#include "protocol/MeterProtocolPorts.h"

namespace qm {

class TLinkWatchdog : public ILinkWatchdog {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kInterval{10000};

  explicit TLinkWatchdog(std::chrono::milliseconds interval = kInterval) : interval_(interval) {}

  void Start(Clock::time_point now = Clock::now()) {
    enabled_ = true;
    deadline_ = now + interval_;
  }
  void Stop() { enabled_ = false; }
  bool Enabled() const { return enabled_; }
  // Disable, then enable again: the countdown starts anew (only while it runs).
  void RestartWatchdog() override {
    if (enabled_) Start();
  }
  bool Expired(Clock::time_point now = Clock::now()) const { return enabled_ && now >= deadline_; }
  Clock::time_point Deadline() const { return deadline_; }

 private:
  std::chrono::milliseconds interval_;
  bool enabled_ = false;
  Clock::time_point deadline_{};
};

}  // namespace qm
