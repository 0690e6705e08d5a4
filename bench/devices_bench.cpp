// The read path of the device classes: how many chunks per second the read thread hands to the
// main thread, how long a chunk takes from the chip library's read returning to OnReadyRead
// running, and how long Close takes while data stream and while the line is idle. The bridge is
// a fake that produces data at once (or never, for the idle case).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "devices/CH9329.h"
#include "devices/CP2110.h"
#include "devices/HidPlatform.h"
#include "devices/MainThread.h"

namespace qm {
namespace {

using TClock = std::chrono::steady_clock;

enum class TChip { CP2110, CH9329 };

// A bridge whose UART has data waiting every time (Streaming) or never (Idle).
class TInstantBridge : public hid::THidDevice {
 public:
  TInstantBridge(TChip chip, bool streaming) : chip_(chip), streaming_(streaming) {}

  bool GetAttributes(hid::TAttributes&) override { return true; }
  bool GetManufacturerString(std::string&) override { return false; }
  bool GetProductString(std::string&) override { return false; }
  bool GetSerialNumberString(std::string&) override { return false; }
  bool GetIndexedString(int, std::string&) override { return false; }
  bool GetFeatureReportByteLength(std::uint16_t& length) override {
    length = chip_ == TChip::CP2110 ? 64 : 65;
    return true;
  }
  int ReadInputReport(std::uint8_t* buffer, std::size_t size, int timeoutMs) override {
    if (!streaming_) {
      std::unique_lock lock(mutex_);
      waiting_ = true;
      cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return cancelled_; });
      return cancelled_ ? -1 : 0;
    }
    if (chip_ == TChip::CP2110) {  // report ID 63: 63 UART bytes
      buffer[0] = 63;
      std::memset(buffer + 1, 0x55, 63);
      return 64;
    }
    std::memset(buffer, 0x55, size);  // zero report ID, count 63, data
    buffer[0] = 0;
    buffer[1] = 63;
    return 65;
  }
  int WriteOutputReport(const std::uint8_t*, std::size_t size) override { return static_cast<int>(size); }
  int GetFeatureReport(std::uint8_t* report, std::size_t size) override {
    if (chip_ == TChip::CP2110) {
      if (report[0] == 0x46) report[1] = 0x0A;  // part number of the CP2110
      return static_cast<int>(size);
    }
    std::memset(report, 0, size);
    report[1] = 0x52;  // the page that the last request asked for, all zero
    report[2] = page_;
    return static_cast<int>(size);
  }
  int SetFeatureReport(const std::uint8_t* report, std::size_t size) override {
    if (chip_ == TChip::CH9329 && report[1] == 0x52) page_ = report[2];
    return static_cast<int>(size);
  }
  // Whether a read has waited on the idle line.
  bool Waited() {
    std::lock_guard lock(mutex_);
    return waiting_;
  }
  void CancelIo() override {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
    cv_.notify_all();
  }

 private:
  TChip chip_;
  bool streaming_;
  std::mutex mutex_;
  std::condition_variable cv_;
  bool cancelled_ = false;
  bool waiting_ = false;
  std::uint8_t page_ = 0;
};

class TInstantPlatform : public hid::THidPlatform {
 public:
  TInstantPlatform(TChip chip, bool streaming) : chip_(chip), streaming_(streaming) {}
  std::vector<hid::TInterfaceEntry> ListInterfaces(bool) override {
    hid::TInterfaceEntry entry;
    entry.HardwareId = chip_ == TChip::CP2110 ? "HID\\VID_10C4&PID_EA80&REV_0100" : "HID\\VID_1A86&PID_E429&REV_0100";
    entry.Path = kPath;
    return {entry};
  }
  std::unique_ptr<hid::THidDevice> Open(const std::string&) override {
    auto bridge = std::make_unique<TInstantBridge>(chip_, streaming_);
    Last = bridge.get();
    return bridge;
  }
  int Subscribe(TNotifyHandler) override { return 1; }
  void Unsubscribe(int) override {}

  static constexpr const char* kPath = "\\\\?\\HID#BENCH#1";
  TInstantBridge* Last = nullptr;  // the bridge opened last

 private:
  TChip chip_;
  bool streaming_;
};

// The chip class with the time stamped at which each library read returned.
template <typename TBase>
class TStamped : public TBase {
 public:
  using TBase::TBase;
  ~TStamped() override { this->Close(); }
  bool Read() override {
    const bool ok = TBase::Read();
    ReadReturned.store(TClock::now().time_since_epoch().count());
    return ok;
  }
  std::atomic<TClock::rep> ReadReturned{0};
};

template <typename TDeviceClass>
std::unique_ptr<TStamped<TDeviceClass>> MakeDevice(TChip chip, std::uint32_t readTimeout) {
  auto device = chip == TChip::CP2110 ? std::make_unique<TStamped<TDeviceClass>>(0x10C4, 0xEA80)
                                      : std::make_unique<TStamped<TDeviceClass>>(0x1A86, 0xE429);
  device->Baudrate = 9600;
  device->ReadTimeout = readTimeout;
  device->WriteTimeout = 100;
  return device;
}

THIDDeviceInfo BenchInfo() {
  THIDDeviceInfo info;
  info.DevicePath = TInstantPlatform::kPath;
  return info;
}

template <typename TDeviceClass, TChip kChip>
void BM_ChunkHandOff(benchmark::State& state) {
  TMainThread::Instance().BindToCurrentThread();
  TInstantPlatform platform(kChip, true);
  hid::TScopedPlatform use(platform);
  auto device = MakeDevice<TDeviceClass>(kChip, 100);
  std::vector<double> latencies;
  latencies.reserve(1 << 22);
  std::size_t chunks = 0, bytes = 0;
  device->SetOnReadyRead([&](const std::uint8_t*, std::int32_t length) {
    const auto now = TClock::now().time_since_epoch().count();
    if (latencies.size() < latencies.capacity())
      latencies.push_back(std::chrono::duration<double, std::micro>(TClock::duration(now - device->ReadReturned.load())).count());
    ++chunks;
    bytes += static_cast<std::size_t>(length);
  });
  if (!device->Open(BenchInfo())) {
    state.SkipWithError("open failed");
    return;
  }
  for (auto _ : state) {
    const std::size_t before = chunks;
    while (chunks == before) TMainThread::Instance().WaitAndProcess(std::chrono::seconds(1));
  }
  device->Close();
  std::sort(latencies.begin(), latencies.end());
  state.SetItemsProcessed(static_cast<std::int64_t>(chunks));
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
  if (!latencies.empty()) {
    state.counters["median_latency_us"] = latencies[latencies.size() / 2];
    state.counters["p99_latency_us"] = latencies[latencies.size() * 99 / 100];
  }
}

// Close while the read thread streams (streaming) or waits in a read on an idle line: the wait is
// at most one read time-out plus one delivery.
template <typename TDeviceClass, TChip kChip, bool kStreaming>
void BM_Close(benchmark::State& state) {
  TMainThread::Instance().BindToCurrentThread();
  TInstantPlatform platform(kChip, kStreaming);
  hid::TScopedPlatform use(platform);
  constexpr std::uint32_t kReadTimeout = 100;
  double worstMs = 0;
  for (auto _ : state) {
    auto device = MakeDevice<TDeviceClass>(kChip, kReadTimeout);
    std::size_t chunks = 0;
    device->SetOnReadyRead([&](const std::uint8_t*, std::int32_t) { ++chunks; });
    if (!device->Open(BenchInfo())) {
      state.SkipWithError("open failed");
      return;
    }
    if (kStreaming)
      while (chunks < 3) TMainThread::Instance().WaitAndProcess(std::chrono::seconds(1));
    else
      while (!platform.Last->Waited()) std::this_thread::yield();  // the thread waits in a read
    const auto start = TClock::now();
    device->Close();
    const double seconds = std::chrono::duration<double>(TClock::now() - start).count();
    worstMs = std::max(worstMs, seconds * 1000);
    state.SetIterationTime(seconds);
  }
  state.counters["worst_close_ms"] = worstMs;
  state.counters["read_timeout_ms"] = kReadTimeout;
}

void BM_HandOff_CP2110(benchmark::State& state) { BM_ChunkHandOff<TCP2110, TChip::CP2110>(state); }
void BM_HandOff_CH9329(benchmark::State& state) { BM_ChunkHandOff<TCH9329, TChip::CH9329>(state); }
void BM_CloseStreaming_CP2110(benchmark::State& state) { BM_Close<TCP2110, TChip::CP2110, true>(state); }
void BM_CloseStreaming_CH9329(benchmark::State& state) { BM_Close<TCH9329, TChip::CH9329, true>(state); }
void BM_CloseIdle_CP2110(benchmark::State& state) { BM_Close<TCP2110, TChip::CP2110, false>(state); }
void BM_CloseIdle_CH9329(benchmark::State& state) { BM_Close<TCH9329, TChip::CH9329, false>(state); }

BENCHMARK(BM_HandOff_CP2110)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HandOff_CH9329)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CloseStreaming_CP2110)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_CloseStreaming_CH9329)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_CloseIdle_CP2110)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_CloseIdle_CH9329)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
}  // namespace qm

BENCHMARK_MAIN();
