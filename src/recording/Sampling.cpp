#include "recording/Sampling.h"

#include <charconv>
#include <limits>
#include <string>

namespace qm {

namespace {
constexpr char kBackspace = '\b';
}  // namespace

bool CEdit2KeyPress(char key) { return (key >= '0' && key <= '9') || key == kBackspace; }

std::optional<AnsiString> TSamplingInterval::timerInputDelayTimer(std::string_view text, IPrompt& prompt) {
  constexpr std::int64_t kMaxPeriodSeconds = std::numeric_limits<std::uint32_t>::max() / 1000;
  std::int64_t n = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  bool integer = ec == std::errc{} && end == text.data() + text.size();
  if (integer && n >= kMinSeconds && n <= kMaxSeconds && n <= kMaxPeriodSeconds) {
    seconds_ = static_cast<std::int32_t>(n);
    return std::nullopt;
  }
  prompt.Information(AnsiString(kIntervalOutOfRange));
  return std::to_string(seconds_);
}

}  // namespace qm
