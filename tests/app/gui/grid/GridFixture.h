// Records for the grid tests: numbered live-style readings.
#pragma once

#include <cstddef>
#include <string>

#include "recording/LogRecord.h"
#include "recording/LogStore.h"

namespace qm::test {

inline LogRecord Reading(int no) {
  LogRecord r;
  r.ANo = no;
  r.ATime = "14:03:27(2024-05-01)";
  r.AFunction = "PWRP";
  r.AValue = std::to_string(no % 1000) + ".5";
  r.AUnit = "kW";
  r.ASubValue1 = "230.1";
  r.ASubUnit1 = "V";
  r.ASubValue2 = "4.02";
  r.ASubUnit2 = "A";
  return r;
}

// Appends `count` readings numbered on from the log's count, as the live path numbers them.
inline void AppendReadings(TReadingLog& log, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) log.Append(Reading(static_cast<int>(log.Count() + 1)));
}

}  // namespace qm::test
