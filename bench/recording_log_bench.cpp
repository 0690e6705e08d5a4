// The reading log: memory per record and append cost for live-style readings, and saving and
// loading a million records in each file format.
//
//   recording_log_bench --benchmark_filter=Append      (the 10M case takes a few seconds)
//   recording_log_bench --benchmark_filter=File
//   (ulimit -v 2097152; recording_log_bench --benchmark_filter=TenMillion)   needs ~2 GB of disk
// Files go to $QM_BENCH_DIR, or the system's temporary directory.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "HeapInUse.h"
#include "LiveReadings.h"
#include "recording/LogFiles.h"
#include "recording/LogStore.h"

namespace qm {
namespace {

// Keeps the last text it was shown, for the benchmark's label or error.
class SilentPrompt : public TSilentPrompt {
 public:
  void Information(const std::string& text) override { Note(text); }
  void Message(const std::string& text) override { Note(text); }
  void ErrorReport(const std::string& text) override { Note(text); }
  std::string last;

 private:
  void Note(const std::string& text) { last = text; }
};

void BM_LogAppend(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  double bytesPerRecord = 0;
  for (auto _ : state) {
    state.PauseTiming();
    LiveReadings readings;
    std::size_t before = HeapInUse();
    {
      TReadingLog log;
      state.ResumeTiming();
      for (std::size_t i = 0; i < n; ++i) log.Append(readings.Next());
      state.PauseTiming();
      bytesPerRecord = static_cast<double>(HeapInUse() - before) / static_cast<double>(n);
      benchmark::DoNotOptimize(log.Count());
    }
    state.ResumeTiming();
  }
  state.counters["bytes_per_record"] = bytesPerRecord;
  state.counters["time_per_append"] = benchmark::Counter(
      static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_LogAppend)->Arg(1000)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond);

constexpr std::size_t kFileRecords = 1000000;

const TReadingLog& MillionRecords() {
  static TReadingLog log = [] {
    TReadingLog l;
    LiveReadings readings;
    for (std::size_t i = 0; i < kFileRecords; ++i) l.Append(readings.Next());
    return l;
  }();
  return log;
}

std::string BenchFile(const char* name) {
  const char* dir = std::getenv("QM_BENCH_DIR");
  std::filesystem::path base = dir ? std::filesystem::path(dir) : std::filesystem::temp_directory_path();
  return (base / ("qm-log-bench-" + std::to_string(::getpid()) + "-" + name)).string();
}

void BM_FileSave(benchmark::State& state, const char* name) {
  TReadingLog log;
  for (std::size_t row = 0; row < MillionRecords().Count(); ++row) log.Append(MillionRecords().Record(row));
  const std::string path = BenchFile(name);
  SilentPrompt prompt;
  for (auto _ : state) SaveLogFile(log, path, prompt);
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
  state.SetLabel(prompt.last.substr(0, 4) == "Save" ? "saved" : prompt.last);
  std::filesystem::remove(path);
}

// Loads `path` into `log` as the window does, and notes the most heap the load held beyond what the
// loaded log itself takes (sampled at every piece of the file read).
bool LoadMeasured(const std::string& path, TReadingLog& log, double& extraMB) {
  std::size_t before = HeapInUse();
  std::size_t peak = before;
  TLogReadResult read = ReadLogFile(path, [&](double) { peak = std::max(peak, HeapInUse()); });
  peak = std::max(peak, HeapInUse());
  SilentPrompt prompt;
  bool ok = ApplyLogRead(std::move(read), log, false, prompt);
  std::size_t logBytes = HeapInUse() - before;
  extraMB = static_cast<double>(peak - before - std::min(peak - before, logBytes)) / 1e6;
  return ok;
}

void BM_FileLoad(benchmark::State& state, const char* name) {
  const std::string path = BenchFile(name);
  SilentPrompt prompt;
  {
    TReadingLog log;
    for (std::size_t row = 0; row < MillionRecords().Count(); ++row) log.Append(MillionRecords().Record(row));
    SaveLogFile(log, path, prompt);
  }
  std::size_t loaded = 0;
  bool ok = true;
  double extraMB = 0;
  for (auto _ : state) {
    TReadingLog log;
    ok = LoadMeasured(path, log, extraMB) && ok;
    loaded = log.Count();
    state.PauseTiming();
    {
      TReadingLog gone(std::move(log));  // freeing the log is not part of the load
    }
    state.ResumeTiming();
  }
  state.counters["peak_beyond_log_MB"] = extraMB;
  state.SetLabel(loaded == kFileRecords && ok ? "loaded" : "FAILED");
  std::filesystem::remove(path);
}

// The largest log the record limit allows, saved as XML and loaded back; meant to run under a 2 GB
// address-space limit (ulimit -v 2097152).
void BM_FileLoadTenMillionXml(benchmark::State& state) {
  constexpr std::size_t kRecords = 9999999;
  const std::string path = BenchFile("ten-million.xml");
  SilentPrompt prompt;
  {
    TReadingLog log;
    LiveReadings readings;
    for (std::size_t i = 0; i < kRecords; ++i) log.Append(readings.Next());
    if (!SaveLogFile(log, path, prompt)) state.SkipWithError(prompt.last.c_str());
  }
  std::size_t loaded = 0;
  double extraMB = 0;
  bool ok = true;
  for (auto _ : state) {
    TReadingLog log;
    ok = LoadMeasured(path, log, extraMB) && ok;
    loaded = log.Count();
    state.PauseTiming();
    {
      TReadingLog gone(std::move(log));
    }
    state.ResumeTiming();
  }
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
  state.counters["peak_beyond_log_MB"] = extraMB;
  state.SetLabel(loaded == kRecords && ok ? "loaded" : "FAILED");
  std::filesystem::remove(path);
}
BENCHMARK(BM_FileLoadTenMillionXml)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_CAPTURE(BM_FileSave, text, "save.xls")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_FileSave, xml, "save.xml")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_FileLoad, text, "load.xls")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_FileLoad, xml, "load.xml")->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace qm

BENCHMARK_MAIN();
