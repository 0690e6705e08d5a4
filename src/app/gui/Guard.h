// Exceptions never cross the event loop: every handler the toolkit calls runs through Guarded,
// which hands a failure to the general error report and lets the program go on.
#pragma once

#include <exception>
#include <utility>

#include "common/Prompt.h"

namespace qm::gui {

template <typename F>
void Guarded(IPrompt& prompt, F&& handler) {
  try {
    std::forward<F>(handler)();
  } catch (const std::exception& e) {
    prompt.ErrorReport(e.what());
  } catch (...) {
    prompt.ErrorReport("Unknown error");
  }
}

}  // namespace qm::gui
