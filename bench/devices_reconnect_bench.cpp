// Reconnecting on the simulated bus while the simulated meter streams: from the unplug to the
// program noticing it (the link closed, the read thread gone), from the replug to the link open
// again, and from there to the first reading decoded and logged. The meter runs in real time at
// 9600 baud, so the last figure includes waiting for the next whole frame on the line.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstddef>

#include "app/MeterSession.h"
#include "common/Prompt.h"
#include "devices/HidPlatform.h"
#include "devices/MainThread.h"
#include "selector/uDeviceSelector.h"
#include "sim/SimHidBus.h"
#include "sim/SimMeter.h"
#include "sim/SimMeterRunner.h"

namespace qm {
namespace {

using TClock = std::chrono::steady_clock;


template <typename TDone>
bool Pump(TDone done) {
  const auto deadline = TClock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (TClock::now() > deadline) return false;
    TMainThread::Instance().WaitAndProcess(std::chrono::milliseconds(1));
  }
  return true;
}

double Ms(TClock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void BM_Reconnect(benchmark::State& state) {
  const auto model = static_cast<TBridgeModel>(state.range(0));
  state.SetLabel(model == bmCH9329 ? "CH9329" : "CP2110");
  TMainThread::Instance().BindToCurrentThread();
  sim::TSimHidBus bus;
  hid::TScopedPlatform scoped{bus};
  sim::TSimMeterConfig config;
  config.framePeriodMs = 40;
  sim::TSimMeter meter(config);
  const sim::TPluggedBridge bridge = bus.PlugBridge(model);
  sim::TSimMeterRunner runner(meter, *bridge.Line, sim::TPacing::RealTime);
  runner.Start();
  TSilentPrompt prompt;
  TMeterSession session(prompt);
  session.Recorder().mniN10001Click(kRecordLimitItems.size() - 1);
  TDeviceSelector selector;
  session.BindSelector(&selector);
  bool open = false;
  session.OnConnected.Add([&] { open = true; });
  session.OnDisconnected.Add([&] { open = false; });
  if (!session.btnConnectClick()) {
    state.SkipWithError("the bridge did not open");
    return;
  }

  double noticed = 0, reopened = 0, firstReading = 0;
  for (auto _ : state) {
    const std::size_t records = session.Log().Count();
    if (!Pump([&] { return session.Log().Count() > records; })) {
      state.SkipWithError("no reading");
      break;
    }
    const auto unplugged = TClock::now();
    bus.Unplug(bridge.Id);
    if (!Pump([&] { return !open; })) {
      state.SkipWithError("the unplug was not noticed");
      break;
    }
    const auto closed = TClock::now();
    bus.Plug(bridge.Bridge);
    TMainThread::Instance().ProcessPending();
    if (!session.btnConnectClick()) {
      state.SkipWithError("the bridge did not open again");
      break;
    }
    const auto opened = TClock::now();
    const std::size_t before = session.Log().Count();
    if (!Pump([&] { return session.Log().Count() > before; })) {
      state.SkipWithError("no reading after the reconnect");
      break;
    }
    noticed += Ms(closed - unplugged);
    reopened += Ms(opened - closed);
    firstReading += Ms(TClock::now() - opened);
  }
  selector.Close();
  session.BindSelector(nullptr);
  runner.Stop();
  TMainThread::Instance().ProcessPending();
  const auto avg = benchmark::Counter::kAvgIterations;
  state.counters["unplug_noticed_ms"] = benchmark::Counter(noticed, avg);
  state.counters["replug_to_open_ms"] = benchmark::Counter(reopened, avg);
  state.counters["open_to_reading_ms"] = benchmark::Counter(firstReading, avg);
}
BENCHMARK(BM_Reconnect)->Arg(bmCH9329)->Arg(bmCP2110)->Iterations(50)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace qm

BENCHMARK_MAIN();
