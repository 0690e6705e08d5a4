// Runs the main thread's queue until a condition holds, for tests whose events come from other
// threads. The time limit is generous: it only turns a hang into a failure.
#pragma once

#include <chrono>

#include "devices/MainThread.h"

namespace qm::test {

inline constexpr auto kGenerous = std::chrono::seconds(10);

template <typename TDone>
bool PumpUntil(TDone done) {
  const auto deadline = std::chrono::steady_clock::now() + kGenerous;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    TMainThread::Instance().WaitAndProcess(std::chrono::milliseconds(50));
  }
  return true;
}

}  // namespace qm::test
