#include "recording/ReadingLog.h"

#include <cstdio>
#include <ctime>
#include <stdexcept>
#include <utility>

#include "common/NumberText.h"

namespace qm {

TLocalTime SystemLocalTime() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
#ifdef _WIN32
  localtime_s(&tm, &now);
#else
  localtime_r(&now, &tm);
#endif
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

AnsiString FormatLogTimeStamp(const TLocalTime& t, std::string_view timeSeparator) {
  char hh[16], mm[16], ssDate[64];
  std::snprintf(hh, sizeof hh, "%02d", t.Hour);
  std::snprintf(mm, sizeof mm, "%02d", t.Minute);
  std::snprintf(ssDate, sizeof ssDate, "%02d(%04d-%02d-%02d)", t.Second, t.Year, t.Month, t.Day);
  AnsiString stamp(hh);
  stamp.append(timeSeparator).append(mm).append(timeSeparator).append(ssDate);
  return stamp;
}

double ChartValue(std::string_view text, std::string_view decimalSeparator) {
  AnsiString s;
  s.reserve(text.size());
  for (char c : text) {
    if (c == '.')
      s += decimalSeparator;
    else
      s += c;
  }
  return ReadNumberOrZero(s, decimalSeparator);
}

TReadingRecorder::TReadingRecorder(TReadingLog& log, IChartFeed* chart, AnsiString decimalSeparator,
                                   AnsiString timeSeparator, TClock clock)
    : log_(log),
      chart_(chart),
      decimalSeparator_(std::move(decimalSeparator)),
      timeSeparator_(std::move(timeSeparator)),
      clock_(std::move(clock)) {}

void TReadingRecorder::AppendReading(const MeterReading& reading, bool NoTime) {
  if (log_.Count() >= static_cast<std::size_t>(RecordLimit())) return;

  LogRecord r;
  r.ANo = static_cast<std::int32_t>(log_.Count() + 1);  // below RecordLimit, so it fits
  if (!NoTime) r.ATime = FormatLogTimeStamp(clock_(), timeSeparator_);
  r.AFunction = AnsiString(FunModeLogName(reading.FunMode));
  r.AValue = reading.Value;
  r.AUnit = reading.Unit;
  r.ASubValue1 = reading.SubValue1;
  r.ASubUnit1 = reading.SubUnit1;
  r.ASubValue2 = reading.SubValue2;
  r.ASubUnit2 = reading.SubUnit2;
  log_.Append(r);

  if (!chart_) return;
  const double values[4] = {0.0, ChartValue(reading.Value, decimalSeparator_),
                            ChartValue(reading.SubValue1, decimalSeparator_),
                            ChartValue(reading.SubValue2, decimalSeparator_)};
  const TColor colours[4] = {clBlue, clRed, clBlue, clGreen};
  chart_->AddValues(values, colours, 4);
}

bool TReadingRecorder::btnRecordNewClick(IPrompt& prompt) {
  if (!prompt.Confirm(AnsiString(kClearLogQuestion))) return false;
  log_.Clear();
  OnClearChart.Raise();
  OnResetValueRange.Raise();
  return true;
}

void TReadingRecorder::timerIntervalTimer(const MeterReading& reading, bool LogMode) {
  if (!LogMode) AppendReading(reading, false);
}

void TReadingRecorder::mniN10001Click(std::size_t item) {
  if (item >= kRecordLimitItems.size()) throw std::out_of_range("no such record-limit item");
  checkedItem_ = item;
}

}  // namespace qm
