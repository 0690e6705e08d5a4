// Types shared by the protocol core, the recording models and the front ends.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qm {

// Texts from the meter and in the log are 8-bit byte strings; nothing in the core re-encodes them.
using AnsiString = std::string;

// The meter function, in the order of the function bytes "0".."9", "a".."e" (ordinals 1..15).
enum TFunMode : std::uint8_t {
  fmNone,
  fmPWRP,
  fmPWRS,
  fmPWRQ,
  fmPF,
  fmRF,
  fmANG,
  fmFRQ,
  fmENRP,
  fmPHSEQ,
  fmVTHDf,
  fmVTHDr,
  fmVHARM,
  fmITHDf,
  fmITHDr,
  fmIHARM,
  fmExportEnd,
};

inline constexpr int kFunModeCount = fmExportEnd + 1;

// Full enumerator name ("fmPWRP"); "" for values outside the enumeration.
std::string_view FunModeIdent(TFunMode mode);
// Name as the log stores it: the enumerator name without its two-letter prefix ("PWRP", "None").
std::string_view FunModeLogName(TFunMode mode);

// The current decoded reading. All values are the texts the meter shows.
struct MeterReading {
  TFunMode FunMode = fmNone;
  AnsiString AuxValue;   // 3-character auxiliary display, shown only
  AnsiString Value;      // main display, decimal point already replaced by the locale separator
  AnsiString SubValue1;
  AnsiString SubValue2;
  double NumericValue = 0.0;  // Value read as a number (0 when it is not one); live readings only
  AnsiString Unit;
  AnsiString SubUnit1;
  AnsiString SubUnit2;
};

}  // namespace qm
