// The stand-in for hardware: a simulated HID bus installed as the platform, with a virtual bridge
// per requested model and a simulated meter running behind each, paced as a 9600-baud line.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "devices/HIDGlobal.h"
#include "sim/Capture.h"
#include "sim/SimHidBus.h"
#include "sim/SimMeter.h"
#include "sim/SimMeterRunner.h"

namespace qm {

class TDemoRig {
 public:
  // "cp2110", "ch9329,cp2110", ...; nullopt for an unknown model name.
  static std::optional<std::vector<TBridgeModel>> ParseModels(std::string_view list);

  // Plugs the bridges, starts the meters and installs the bus as the platform. With a capture,
  // one more CP2110 bridge plays it as its meter had sent it.
  TDemoRig(const std::vector<TBridgeModel>& models, std::uint32_t framePeriodMs = 500,
           std::optional<std::vector<std::uint8_t>> capture = std::nullopt);
  // Stops the meters and restores the native platform.
  ~TDemoRig();
  TDemoRig(const TDemoRig&) = delete;
  TDemoRig& operator=(const TDemoRig&) = delete;

  sim::TSimHidBus& Bus() { return bus_; }

 private:
  struct TMeterSlot {
    std::unique_ptr<sim::TSimMeter> meter;
    sim::TPluggedBridge bridge;
    std::unique_ptr<sim::TSimMeterRunner> runner;
  };
  sim::TSimHidBus bus_;
  std::vector<TMeterSlot> meters_;
  sim::TPluggedBridge captureBridge_;
  std::unique_ptr<sim::TCapturePlayer> player_;
};

}  // namespace qm
