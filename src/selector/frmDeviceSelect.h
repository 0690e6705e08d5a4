// What the device selector needs from its dialog: a chooser that lets the user pick the chip family
// and one device of it. The GUI dialog and the terminal front end implement IDeviceChooser; both
// keep their lists in a TDeviceSelectState, which holds the dialog's behaviour.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "devices/HIDGlobal.h"

namespace qm {

class TDeviceSelector;

class IDeviceChooser {
 public:
  virtual ~IDeviceChooser() = default;
  // Shows the choice modally. The chip list starts at `Model` and is enabled only when both
  // families are attached; the device list is filled from `Selector.EnumDevices` for the chip at
  // the start and each time the chip changes. Returns the chosen path on OK (empty when the device
  // list was empty), nullopt when the user cancelled.
  virtual std::optional<std::string> Choose(TDeviceSelector& Selector, bool ModelEnabled, TBridgeModel Model) = 0;
};

// The chip list and the device list of the choice, for one showing.
class TDeviceSelectState {
 public:
  // Prepared as the selector prepares the dialog: the chip list set and enabled as given, then the
  // device list filled once for that chip.
  TDeviceSelectState(TDeviceSelector& Selector, bool ModelEnabled, TBridgeModel Model);

  bool ModelEnabled() const { return modelEnabled_; }
  TBridgeModel Model() const { return model_; }
  // The chip-change handling: selects `Model` and refills the device list from a fresh
  // enumeration, selecting its first entry. Does nothing while the chip list is disabled.
  void ChangeModel(TBridgeModel Model);

  // The DevicePath of each device of the chip, in the order enumerated.
  const std::vector<std::string>& Devices() const { return devices_; }
  // The selected device, -1 for none. An index outside the list selects none.
  int DeviceIndex() const { return deviceIndex_; }
  void SetDeviceIndex(int Index);
  // What OK takes: the selected device's path, empty when none is selected.
  std::string SelectedPath() const;

 private:
  void Refill();

  TDeviceSelector& selector_;
  bool modelEnabled_;
  TBridgeModel model_;
  std::vector<std::string> devices_;
  int deviceIndex_ = -1;
};

}  // namespace qm
