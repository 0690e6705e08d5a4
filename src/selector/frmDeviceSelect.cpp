#include "selector/frmDeviceSelect.h"

#include "selector/uDeviceSelector.h"

namespace qm {

TDeviceSelectState::TDeviceSelectState(TDeviceSelector& Selector, bool ModelEnabled, TBridgeModel Model)
    : selector_(Selector), modelEnabled_(ModelEnabled), model_(Model) {
  Refill();
}

void TDeviceSelectState::ChangeModel(TBridgeModel Model) {
  if (!modelEnabled_) return;
  model_ = Model;
  Refill();
}

void TDeviceSelectState::Refill() {
  const THIDDeviceList list = selector_.EnumDevices(model_);
  devices_.clear();
  for (const auto& info : list) devices_.push_back(info->DevicePath);
  deviceIndex_ = devices_.empty() ? -1 : 0;
}

void TDeviceSelectState::SetDeviceIndex(int Index) {
  deviceIndex_ = Index >= 0 && static_cast<std::size_t>(Index) < devices_.size() ? Index : -1;
}

std::string TDeviceSelectState::SelectedPath() const {
  return deviceIndex_ < 0 ? std::string() : devices_[static_cast<std::size_t>(deviceIndex_)];
}

}  // namespace qm
