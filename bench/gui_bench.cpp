// The window's share of a reading's road, on Qt's offscreen platform:
//  - ReadingToLcd: one chunk (one live frame) from its arrival on the main thread through decoding,
//    the LCD panel, the comparator, the grid and the chart to the window repainted; median and p99
//    in microseconds, with 1,000 and 10,000,000 records held.
//  - GuiCpuWhileStreaming: the GUI thread's CPU time while a simulated meter streams at the link's
//    full rate (9600 baud, about 27 frames a second) through the simulated bridge, the read thread
//    and the event loop, into an empty log and into one of 10,000,000 records; as a percentage of
//    one core. 60 s by default (QM_BENCH_STREAM_SECONDS).
//  - WindowMemoryBeyondTheLog: the window's heap beyond the core's log and chart at ten million.
//  - OpenMillionRecordFile: opening a 1,000,000-record file in the window up to the first paint.
//  - HandoffLatency: from the read thread handing a chunk over to the job running on the main
//    thread, woken through the Qt event loop; median and p99 in microseconds.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "HeapInUse.h"
#include "app/gui/MainThreadPump.h"
#include "app/gui/lcd/LcdPanel.h"
#include "app/gui/ufrmMain.h"
#include "common/Prompt.h"
#include "devices/HidPlatform.h"
#include "devices/MainThread.h"
#include "recording/LogFiles.h"
#include "recording/ReadingLog.h"
#include "sim/SimHidBus.h"
#include "sim/SimMeter.h"
#include "sim/SimMeterRunner.h"

namespace qm {
namespace {

using TClock = std::chrono::steady_clock;


double Percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void RunEventLoopFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// Ten million records, less room for the readings a benchmark adds: "Unlimited" is a limit of
// 9,999,999 records, and a full log would take no reading at all.
constexpr std::int64_t kNearlyTenMillion = 9'990'000;

// Fills the session's log and chart with `records` readings, as a long recording would.
void Prefill(TMeterSession& session, std::int64_t records) {
  session.Recorder().mniN10001Click(kRecordLimitItems.size() - 1);  // "Unlimited"
  MeterReading r;
  r.FunMode = fmPWRP;
  r.Value = "2.481";
  r.Unit = "KW";
  r.SubValue1 = "230.1";
  r.SubUnit1 = "V";
  r.SubValue2 = "12.50";
  r.SubUnit2 = "A";
  TReadingLog::TUpdate batch(session.Log());
  for (std::int64_t i = 0; i < records; ++i) session.Recorder().AppendReading(r, false);
}

void BM_ReadingToLcd(benchmark::State& state) {
  TSilentPrompt prompt;
  gui::TfrmMain window(prompt, {.DecimalSeparator = "."});
  Prefill(window.Session(), state.range(0));
  window.show();
  // Frames of every function, so units, annunciators and digits change as they do in use.
  sim::TSimMeter meter;
  std::vector<std::vector<std::uint8_t>> chunks;
  for (int f = 0; f < 15; ++f) {
    for (const auto& c : meter.Produce(20 * 500)) chunks.push_back(c.bytes);
    const std::uint8_t select[] = {0xAB, 0xCD, 0x04, 0x49, 0x01, 0x01, 0xC6};  // the meter's Select key
    meter.ReceiveBytes(select, sizeof select);
  }
  RunEventLoopFor(100);
  std::vector<double> us;
  std::size_t i = 0;
  for (auto _ : state) {
    const auto& chunk = chunks[i++ % chunks.size()];
    auto t0 = TClock::now();
    window.Session().ReceiveData(chunk.data(), static_cast<std::int32_t>(chunk.size()));
    QCoreApplication::processEvents();  // the panel's update requests: paint into the backing store
    us.push_back(std::chrono::duration<double, std::micro>(TClock::now() - t0).count());
  }
  state.counters["median_us"] = Percentile(us, 0.5);
  state.counters["p99_us"] = Percentile(us, 0.99);
  state.counters["log_rows"] = static_cast<double>(window.Session().Log().Count());
}
// One reading through the whole window (decode, LCD, comparator, grid append and scroll, chart
// repaint), with 1,000 and with 10,000,000 records already held.
BENCHMARK(BM_ReadingToLcd)->Arg(1000)->Arg(kNearlyTenMillion)->Iterations(3000)->Unit(benchmark::kMicrosecond);

void BM_GuiCpuWhileStreaming(benchmark::State& state) {
  int seconds = 60;
  if (const char* s = std::getenv("QM_BENCH_STREAM_SECONDS")) seconds = std::max(1, std::atoi(s));
  for (auto _ : state) {
    sim::TSimHidBus bus;
    hid::InstallPlatform(&bus);
    sim::TSimMeterConfig config;
    config.framePeriodMs = 10;  // faster than the line: the 9600-baud pacing sets the rate
    sim::TSimMeter meter(config);
    auto bridge = bus.PlugBridge(bmCP2110);
    sim::TSimMeterRunner runner(meter, *bridge.Line, sim::TPacing::RealTime);
    runner.Start();
    {
      TSilentPrompt prompt;
      gui::TfrmMain window(prompt, {.DecimalSeparator = "."});
      Prefill(window.Session(), state.range(0));
      window.show();
      long readings = 0;
      window.Session().OnReadingDecoded.Add([&](TMeterSession::TReadingKind) { ++readings; });
      window.findChild<QPushButton*>(QStringLiteral("btnConnect"))->click();
      RunEventLoopFor(500);  // settle
      readings = 0;
      double cpu0 = ThreadCpuSeconds();
      auto t0 = TClock::now();
      RunEventLoopFor(seconds * 1000);
      double cpu = ThreadCpuSeconds() - cpu0;
      double wall = std::chrono::duration<double>(TClock::now() - t0).count();
      state.counters["gui_cpu_percent"] = 100.0 * cpu / wall;
      state.counters["readings_per_s"] = static_cast<double>(readings) / wall;
      state.counters["log_rows"] = static_cast<double>(window.Session().Log().Count());
    }
    runner.Stop();
    hid::InstallPlatform(nullptr);
  }
}
// Streaming into an empty log, and into one that already holds 10,000,000 records.
BENCHMARK(BM_GuiCpuWhileStreaming)->Arg(0)->Arg(kNearlyTenMillion)->Iterations(1)->Unit(benchmark::kSecond);

// The window's heap beyond the core's log and chart, with nearly ten million records held: the
// same records in a bare session and in a shown window, compared.
void BM_WindowMemoryBeyondTheLog(benchmark::State& state) {
  for (auto _ : state) {
    TSilentPrompt prompt;
    const std::size_t before = HeapInUse();
    std::size_t core = 0;
    {
      TMeterSession session(prompt);
      Prefill(session, kNearlyTenMillion);
      core = HeapInUse() - before;
    }
    const std::size_t start = HeapInUse();
    gui::TfrmMain window(prompt, {.DecimalSeparator = "."});
    Prefill(window.Session(), kNearlyTenMillion);
    window.show();
    RunEventLoopFor(300);
    const std::size_t whole = HeapInUse() - start;
    state.counters["core_MB"] = static_cast<double>(core) / 1e6;
    state.counters["window_beyond_MB"] = (static_cast<double>(whole) - static_cast<double>(core)) / 1e6;
  }
}
BENCHMARK(BM_WindowMemoryBeyondTheLog)->Iterations(1)->Unit(benchmark::kMillisecond);

// Opening a 1,000,000-record text file in the window: the file read, the log and its views reset
// once, and the first paint.
void BM_OpenMillionRecordFile(benchmark::State& state) {
  const std::string path = "/tmp/qm-bench-million.xls";
  {
    TSilentPrompt prompt;
    TMeterSession source(prompt);
    Prefill(source, 1'000'000);
    SaveLogFile(source.Log(), path, prompt);
  }
  for (auto _ : state) {
    class TOpenPrompt : public TSilentPrompt {
     public:
      explicit TOpenPrompt(std::string name) : name_(std::move(name)) {}
      std::optional<std::string> OpenFileName(const std::string&) override { return name_; }

     private:
      std::string name_;
    } prompt(path);
    gui::TfrmMain window(prompt, {.DecimalSeparator = "."});
    window.show();
    RunEventLoopFor(100);
    auto t0 = TClock::now();
    window.btnRecordOpenClick();
    window.repaint();
    QCoreApplication::processEvents();
    state.counters["open_ms"] = std::chrono::duration<double, std::milli>(TClock::now() - t0).count();
    state.counters["rows"] = static_cast<double>(window.Session().Log().Count());
  }
  std::remove(path.c_str());
}
BENCHMARK(BM_OpenMillionRecordFile)->Iterations(1)->Unit(benchmark::kMillisecond);

class TStampJob : public TSyncJob {
 public:
  void Run() override { arrived = TClock::now(); }
  TClock::time_point arrived;
};

void BM_HandoffLatency(benchmark::State& state) {
  TSilentPrompt prompt;
  gui::TMainThreadPump pump(prompt);
  for (auto _ : state) {
    constexpr int kHandoffs = 2000;
    std::vector<double> us;
    us.reserve(kHandoffs);
    std::atomic<bool> done{false};
    std::thread reader([&] {
      TStampJob job;
      for (int i = 0; i < kHandoffs; ++i) {
        std::this_thread::sleep_for(std::chrono::microseconds(500));  // a read returning now and then
        auto t0 = TClock::now();
        TMainThread::Instance().Synchronize(job);
        us.push_back(std::chrono::duration<double, std::micro>(job.arrived - t0).count());
      }
      done = true;
    });
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
      if (done) loop.quit();
    });
    poll.start(20);
    loop.exec();
    reader.join();
    state.counters["median_us"] = Percentile(us, 0.5);
    state.counters["p99_us"] = Percentile(us, 0.99);
  }
}
BENCHMARK(BM_HandoffLatency)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qm
