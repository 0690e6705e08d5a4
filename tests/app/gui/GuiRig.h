// Fixtures of the window tests: simulated bridges with simulated meters on a simulated bus, and
// running the Qt event loop until something has happened.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>

#include <chrono>
#include <memory>
#include <vector>

#include "devices/HidPlatform.h"
#include "sim/SimHidBus.h"
#include "sim/SimMeter.h"
#include "sim/SimMeterRunner.h"

namespace qm::test {

// Runs the event loop (and with it the main-thread queue) until `done` holds; false after a
// generous limit, which only turns a hang into a failure.
template <typename TDone>
bool SpinUntil(TDone done, int limitMs = 10000) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > limitMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

// Runs the event loop for `ms`.
inline void Spin(int ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

class TSimRig {
 public:
  TSimRig() { hid::InstallPlatform(&bus_); }
  ~TSimRig() {
    for (auto& m : meters_) m.runner->Stop();
    hid::InstallPlatform(nullptr);
  }
  TSimRig(const TSimRig&) = delete;
  TSimRig& operator=(const TSimRig&) = delete;

  // A bridge with a meter behind it that sends a frame every `periodMs`. Returns its index.
  std::size_t Add(TBridgeModel model, std::uint32_t periodMs = 40) {
    TMeter m;
    sim::TSimMeterConfig config;
    config.seed = meters_.size() + 1;
    config.framePeriodMs = periodMs;
    config.ackTimeoutMs = 2000;
    m.meter = std::make_unique<sim::TSimMeter>(config);
    m.bridge = bus_.PlugBridge(model);
    m.runner = std::make_unique<sim::TSimMeterRunner>(*m.meter, *m.bridge.Line, sim::TPacing::RealTime);
    m.runner->Start();
    meters_.push_back(std::move(m));
    return meters_.size() - 1;
  }

  template <typename F>
  decltype(auto) Meter(std::size_t i, F&& f) {
    return meters_[i].runner->Access(std::forward<F>(f));
  }
  // The command codes meter `i` has received so far.
  std::vector<std::uint8_t> Commands(std::size_t i) {
    return Meter(i, [](sim::TSimMeter& m) {
      std::vector<std::uint8_t> codes;
      for (const auto& c : m.Commands()) codes.push_back(c.code);
      return codes;
    });
  }
  const std::string& Path(std::size_t i) const { return meters_[i].bridge.Path; }
  bool Unplug(std::size_t i) { return bus_.Unplug(meters_[i].bridge.Id); }
  sim::TSimHidBus& Bus() { return bus_; }

 private:
  struct TMeter {
    std::unique_ptr<sim::TSimMeter> meter;
    sim::TPluggedBridge bridge;
    std::unique_ptr<sim::TSimMeterRunner> runner;
  };
  sim::TSimHidBus bus_;
  std::vector<TMeter> meters_;
};

}  // namespace qm::test
