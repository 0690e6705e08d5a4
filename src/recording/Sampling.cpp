#include "recording/Sampling.h"

#include <limits>
#include <string>

#include "common/NumberText.h"

namespace qm {

bool CEdit2KeyPress(char key) { return DigitEditAcceptsKey(key); }

std::optional<AnsiString> TSamplingInterval::timerInputDelayTimer(std::string_view text, IPrompt& prompt) {
  constexpr std::int64_t kMaxPeriodSeconds = std::numeric_limits<std::uint32_t>::max() / 1000;
  const auto n = TryReadInteger<std::int64_t>(text);
  if (n && *n >= kMinSeconds && *n <= kMaxSeconds && *n <= kMaxPeriodSeconds) {
    seconds_ = static_cast<std::int32_t>(*n);
    return std::nullopt;
  }
  prompt.Information(AnsiString(kIntervalOutOfRange));
  return std::to_string(seconds_);
}

}  // namespace qm
