#include "app/DemoRig.h"

#include "devices/HidPlatform.h"

namespace qm {

std::optional<std::vector<TBridgeModel>> TDemoRig::ParseModels(std::string_view list) {
  std::vector<TBridgeModel> models;
  while (!list.empty()) {
    auto comma = list.find(',');
    std::string_view name = list.substr(0, comma);
    if (name == "cp2110")
      models.push_back(bmCP2110);
    else if (name == "ch9329")
      models.push_back(bmCH9329);
    else
      return std::nullopt;
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  if (models.empty()) return std::nullopt;
  return models;
}

TDemoRig::TDemoRig(const std::vector<TBridgeModel>& models, std::uint32_t framePeriodMs,
                   std::optional<std::vector<std::uint8_t>> capture) {
  std::uint64_t seed = 1;
  for (TBridgeModel model : models) {
    TMeterSlot slot;
    sim::TSimMeterConfig config;
    config.seed = seed++;
    config.framePeriodMs = framePeriodMs;
    slot.meter = std::make_unique<sim::TSimMeter>(config);
    slot.bridge = bus_.PlugBridge(model);
    slot.runner = std::make_unique<sim::TSimMeterRunner>(*slot.meter, *slot.bridge.Line, sim::TPacing::RealTime);
    slot.runner->Start();
    meters_.push_back(std::move(slot));
  }
  if (capture) {
    captureBridge_ = bus_.PlugBridge(bmCP2110);
    player_ = std::make_unique<sim::TCapturePlayer>(std::move(*capture), *captureBridge_.Line, framePeriodMs,
                                                    [bridge = captureBridge_.Bridge] { return bridge->UartEnabled(); });
    player_->Start();
  }
  hid::InstallPlatform(&bus_);
}

TDemoRig::~TDemoRig() {
  for (auto& slot : meters_) slot.runner->Stop();
  if (player_) player_->Stop();
  hid::InstallPlatform(nullptr);
}

}  // namespace qm
