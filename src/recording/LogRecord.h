// One row of the reading log, shared by the log store, the log files, the grid and the report.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "common/MeterTypes.h"

namespace qm {

// A text field of the log: null (never assigned) is not the same as the empty text.
using LogText = std::optional<AnsiString>;

// A stored text holds at most this many bytes; longer texts are cut without notice.
inline constexpr std::size_t kLogTextWidth = 20;

struct LogRecord {
  std::int32_t ANo = 0;
  LogText ATime;
  LogText AFunction;
  LogText AValue;
  LogText AUnit;
  LogText ASubValue1;
  LogText ASubUnit1;
  LogText ASubValue2;
  LogText ASubUnit2;

  friend bool operator==(const LogRecord&, const LogRecord&) = default;
};

inline constexpr std::size_t kLogFieldCount = 9;
inline constexpr std::size_t kLogTextFieldCount = kLogFieldCount - 1;

// The eight text fields in column order (ATime first), for code that treats them alike.
inline constexpr std::array<LogText LogRecord::*, kLogTextFieldCount> kLogTextFields = {
    &LogRecord::ATime,      &LogRecord::AFunction, &LogRecord::AValue,     &LogRecord::AUnit,
    &LogRecord::ASubValue1, &LogRecord::ASubUnit1, &LogRecord::ASubValue2, &LogRecord::ASubUnit2,
};

// Field names (column order), as the data packet files name them.
inline constexpr std::array<std::string_view, kLogFieldCount> kLogFieldNames = {
    "ANo", "ATime", "AFunction", "AValue", "AUnit", "ASubValue1", "ASubUnit1", "ASubValue2", "ASubUnit2",
};

// Column titles of the log grid; also the header line of the text files.
inline constexpr std::array<std::string_view, kLogFieldCount> kLogColumnTitles = {
    "No.", "Time", "Function", "Value", "Unit", "SubValueA", "SubUnitA", "SubValueB", "SubUnitB",
};

// A text as the log stores it: at most kLogTextWidth bytes, and nothing from a NUL byte on. A NUL
// cannot travel through the XML data packet (XML has no way to write it), so the log never holds
// one: what the grid shows is what a saved file gives back.
constexpr std::string_view CutLogText(std::string_view text) {
  return text.substr(0, std::min(kLogTextWidth, text.find('\0')));
}

}  // namespace qm
