// The HID interface class as SetupAPI lists it.
#pragma once

#include <vector>

#include "devices/HidPlatform.h"
#include "devices/windows/WinApi.h"

namespace qm::hid::win {

// GUID_DEVINTERFACE_HID as Windows calls take it.
GUID HidInterfaceClass();

// One device information set of the HID interface class, in SetupAPI's order: the present
// interfaces, or with presentOnly false every interface the system remembers, present or not (all
// entries say Present = true; WithAbsent sorts that out). A property that cannot be read is empty.
std::vector<TInterfaceEntry> ListHidClass(bool presentOnly);

}  // namespace qm::hid::win
