// The input layout of the frame codec fuzz target, shared with the seed generator.
//
// The bytes the meter sends come from the front of the input; the steps that cut them into chunks
// and press the window's buttons in between come one byte at a time from the back (as
// FuzzedDataProvider hands them out). A step below kFirstAction feeds the next that many bytes as
// one chunk (0: an empty chunk, as the session's own loop passes); the others are actions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/Prompt.h"

namespace qm::fuzz {

// The prompt of the frame codec target and its seed maker: answers Yes to everything, never blocks.
class TYesPrompt : public TSilentPrompt {
 public:
  bool Confirm(const std::string&) override { return true; }
};

inline constexpr std::uint8_t kFirstAction = 0xC0;

enum TAction : std::uint8_t {
  acLogModeOn,      // the log-mode button pressed
  acLogModeOff,     // and released
  acExport,         // "ExportMemoryData", answered Yes
  acSamplingOn,     // the sampling interval checked: the timer feeds the log
  acSamplingOff,
  acSamplingTick,   // one tick of the sampling timer
  acClearLog,       // the log cleared, answered Yes
  acLimits,         // the next pair of limits from a small table
  acRecordLimit,    // the next item of the "Record" menu
  acChartFirst,
  acChartPrior,
  acChartNext,
  acChartLast,
  acChartRange,     // the next chart range from a small table
  acActionCount,
};

constexpr std::uint8_t ActionStep(TAction action) { return static_cast<std::uint8_t>(kFirstAction + action); }

}  // namespace qm::fuzz
