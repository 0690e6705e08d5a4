// The sampling interval: the edit's key filter, the validation of its entry and the period of the
// sampling timer. The GUI owns the timers and forwards their events to the operations named below.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "common/MeterTypes.h"
#include "common/Prompt.h"

namespace qm {

inline constexpr std::string_view kIntervalOutOfRange = "You have entered a number that is out of range.";

// Key filter of the interval edit: true for the keys it keeps (digits "0".."9" and backspace).
bool CEdit2KeyPress(char key);

class TSamplingInterval {
 public:
  static constexpr std::int32_t kMinSeconds = 1;
  static constexpr std::int32_t kMaxSeconds = 99'999'999;

  // SamplingInterval: the last valid entry, in seconds.
  std::int32_t Seconds() const { return seconds_; }
  // Period of the sampling timer timerInterval.
  std::uint32_t PeriodMs() const { return static_cast<std::uint32_t>(seconds_) * 1000u; }
  // Whether timerInterval runs (the "Sampling Interval" check box).
  bool Enabled() const { return enabled_; }

  void cbIntervalClick(bool checked) { enabled_ = checked; }

  // Validates the edit text one second after its last change. An integer n within the range whose
  // period fits the timer's 32-bit milliseconds becomes the interval and nullopt is returned. Anything
  // else is reported and the text the edit must be set back to is returned. Entries above 4,294,967 s
  // are refused like out-of-range ones, since their period does not fit.
  std::optional<AnsiString> timerInputDelayTimer(std::string_view text, IPrompt& prompt);

 private:
  std::int32_t seconds_ = 1;
  bool enabled_ = false;
};

}  // namespace qm
