// What the "Unlimited" log costs a process: fills the reading log and the trend chart's series with
// live-style readings, as a session does, and prints the process's private memory per record. A
// plain program, not a Google Benchmark one, so that it also runs in the Windows builds (under
// Wine), where a 32-bit process has 2 GB, or 4 GB when large-address aware on 64-bit Windows.
//
//   log_capacity [RECORDS]     (default 9999999, the record limit "Unlimited")
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#ifdef _WIN32
#include <windows.h>
// After windows.h. From Windows 7 on, the call lives in kernel32 (PSAPI_VERSION 2).
#include <psapi.h>
#else
#include <fstream>
#endif

#include "LiveReadings.h"
#include "recording/LogStore.h"
#include "recording/ReadingLog.h"
#include "recording/TrendChart.h"
#include "recording/uCharControl.h"

namespace {

// Private (committed, not shared) bytes of this process.
double PrivateBytes() {
#ifdef _WIN32
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
  // The commit charge: what PrivateUsage reports on Windows, and the one Wine fills in.
  return static_cast<double>(counters.PagefileUsage);
#else
  std::ifstream status("/proc/self/status");
  std::string key;
  double kb = 0;
  while (status >> key) {
    if (key == "RssAnon:") {
      status >> kb;
      break;
    }
  }
  return kb * 1024;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  using namespace qm;
  const long records = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 9999999;
  std::printf("pointer size %zu bytes, %ld records\n", sizeof(void*), records);

  LiveReadings readings;
  TReadingLog log;
  TTrendChart chart(4);
  TChartControl control(chart, 100);
  control.SetFillVisible(false);
  const std::array<TColor, 4> colours{};
  const double before = PrivateBytes();
  const auto start = std::chrono::steady_clock::now();
  for (long i = 0; i < records; ++i) {
    const LogRecord& r = readings.Next();
    log.Append(r);
    // The chart's four series as the recorder fills them: the fill series, then the three values.
    const double values[4] = {0.0, ChartValue(*r.AValue, "."), ChartValue(*r.ASubValue1, "."),
                              ChartValue(*r.ASubValue2, ".")};
    control.AddValues(values, colours.data(), 4);
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double grown = PrivateBytes() - before;
  std::printf("log + chart: %.1f MB, %.1f bytes per record; %.0f ns per record; %zu records held\n",
              grown / 1e6, grown / static_cast<double>(records > 0 ? records : 1),
              seconds * 1e9 / static_cast<double>(records > 0 ? records : 1), log.Count());
  return log.Count() == static_cast<std::size_t>(records) ? 0 : 1;
}
