// Readings as a meter sends them for the log benchmarks and the capacity probe.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

#include "recording/LogRecord.h"

namespace qm {

// Readings as the meter sends them, one per second: repeating function and units, varying values.
class LiveReadings {
 public:
  LiveReadings() {
    record_.ATime = "23:59:50(2024-05-01)";
    record_.AFunction = "PWRP";
    record_.AUnit = "kW";
    record_.ASubUnit1 = "V";
    record_.ASubUnit2 = "A";
    for (std::size_t i = 0; i < values_.size(); ++i) {
      char buf[16];
      std::snprintf(buf, sizeof buf, "%6.3f", static_cast<double>((i * 7919) % 100000) / 1000.0);
      values_[i] = buf;
    }
  }

  const LogRecord& Next() {
    ++n_;
    record_.ANo = static_cast<std::int32_t>(n_);
    Tick(*record_.ATime);
    record_.AValue = values_[n_ % values_.size()];
    record_.ASubValue1 = values_[(n_ * 3) % values_.size()];
    record_.ASubValue2 = values_[(n_ * 5) % values_.size()];
    return record_;
  }

 private:
  // One second later; a new day every 86400 readings (the date itself is only made to differ).
  static void Tick(std::string& t) {
    static constexpr std::array<std::pair<std::size_t, char>, 6> kDigits = {
        {{7, '9'}, {6, '5'}, {4, '9'}, {3, '5'}, {1, '9'}, {0, '2'}}};
    for (auto [pos, max] : kDigits) {
      if (pos == 1 && t[0] == '2' && t[1] == '3') {
        t[0] = t[1] = '0';
        NextDay(t);
        return;
      }
      if (t[pos] < max) {
        ++t[pos];
        return;
      }
      t[pos] = '0';
    }
  }
  static void NextDay(std::string& t) {
    for (std::size_t pos = 18; pos >= 9; --pos) {
      if (t[pos] < '0' || t[pos] > '9') continue;
      if (t[pos] < '9') {
        ++t[pos];
        return;
      }
      t[pos] = '0';
    }
  }

  LogRecord record_;
  std::array<std::string, 4096> values_;
  std::size_t n_ = 0;
};

}  // namespace qm
