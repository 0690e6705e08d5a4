// Appending readings to the reading log, clearing it, and its record limit.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

#include "common/Event.h"
#include "common/MeterTypes.h"
#include "common/Prompt.h"
#include "recording/LogStore.h"
#include "recording/RecordingTypes.h"

namespace qm {

struct TLocalTime {
  int Year = 2000, Month = 1, Day = 1, Hour = 0, Minute = 0, Second = 0;
};

// Source of the local date and time for the time stamps; injected so tests are deterministic.
using TClock = std::function<TLocalTime()>;
TLocalTime SystemLocalTime();

// "hh:mm:ss(yyyy-mm-dd)", with `timeSeparator` (the regional one) in place of ":".
AnsiString FormatLogTimeStamp(const TLocalTime& time, std::string_view timeSeparator);

// A display text as the chart plots it: every "." becomes `decimalSeparator`, then the text is read
// as a number written with that separator; 0 when it is not one.
double ChartValue(std::string_view text, std::string_view decimalSeparator);

// The radio items of the "Record" menu and the record limit each selects.
struct TRecordLimitItem {
  std::string_view Name;
  std::string_view Caption;
  std::int32_t Limit;
};
inline constexpr std::array<TRecordLimitItem, 6> kRecordLimitItems = {{
    {"mniN10001", "1000", 1000},
    {"mniN50001", "5000", 5000},
    {"mniN100001", "10000", 10000},
    {"mniN500001", "50000", 50000},
    {"mniN1000001", "100000", 100000},
    {"mnilimitess", "Unlimited", 9999999},  // a limit, not an absent one
}};
inline constexpr std::size_t kDefaultRecordLimitItem = 2;

inline constexpr std::string_view kClearLogQuestion = "Are you sure that you want to delete this record?";

// Feeds the log from the current reading. Lives with the main window, which owns the log, the chart
// and the reading; the GUI handlers named below forward to the operations of the same name.
class TReadingRecorder {
 public:
  // `chart` may be null (no chart attached).
  TReadingRecorder(TReadingLog& log, IChartFeed* chart, AnsiString decimalSeparator, AnsiString timeSeparator,
                   TClock clock = SystemLocalTime);

  // Appends one record made from `reading` and plots it, unless the log holds RecordLimit records.
  // With NoTime (memory records) the time stays null.
  void AppendReading(const MeterReading& reading, bool NoTime);

  // Clears the log after the user confirmed; true when it was cleared.
  bool btnRecordNewClick(IPrompt& prompt);

  // Tick of the sampling timer: one record from whatever the reading holds, unless in log mode.
  void timerIntervalTimer(const MeterReading& reading, bool LogMode);

  // Selects the record-limit menu item `item` (index into kRecordLimitItems). Lowering the limit
  // below the records held removes nothing; it only stops further appends.
  void mniN10001Click(std::size_t item);
  std::size_t CheckedRecordLimitItem() const { return checkedItem_; }
  std::int32_t RecordLimit() const { return kRecordLimitItems[checkedItem_].Limit; }

  // Raised after the records were removed: the chart's Clear, then ResetValueRange.
  TEvent<> OnClearChart;
  TEvent<> OnResetValueRange;

 private:
  TReadingLog& log_;
  IChartFeed* chart_;
  AnsiString decimalSeparator_;
  AnsiString timeSeparator_;
  TClock clock_;
  std::size_t checkedItem_ = kDefaultRecordLimitItem;
};

}  // namespace qm
