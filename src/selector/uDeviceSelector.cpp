#include "selector/uDeviceSelector.h"

#include "common/NumberText.h"
#include "devices/CH9329.h"
#include "devices/CP2110.h"
#include "selector/frmDeviceSelect.h"

namespace qm {

namespace {

// Blanks and control characters do not make a path.
bool IsBlankPath(const std::string& path) { return TrimBlanks(path).empty(); }

const THIDDeviceInfo* FindPath(const THIDDeviceList& list, const std::string& path) {
  for (const auto& info : list)
    if (info->DevicePath == path) return info.get();
  return nullptr;
}

}  // namespace

TDeviceSelector::TDeviceSelector() = default;

TDeviceSelector::~TDeviceSelector() { Close(); }

const std::string& TDeviceSelector::Version() const {
  static const std::string version = "1.02";
  return version;
}

std::unique_ptr<TDevice> TDeviceSelector::CreateDevice(TBridgeModel Model) const {
  switch (Model) {
    case bmCH9329:
      return std::make_unique<TCH9329>(CH9329VID, CH9329PID);
    case bmCP2110:
      return std::make_unique<TCP2110>(CP2110VID, CP2110PID);
  }
  return nullptr;
}

THIDDeviceList TDeviceSelector::EnumDevices(TBridgeModel Model) {
  const std::unique_ptr<TDevice> device = CreateDevice(Model);
  return device ? device->EnumDevices() : THIDDeviceList();
}

THIDDeviceInfo TDeviceSelector::SelectDevice() {
  const THIDDeviceList ch9329 = EnumDevices(bmCH9329);
  const THIDDeviceList cp2110 = EnumDevices(bmCP2110);
  if (ch9329.size() + cp2110.size() == 0) return {};
  if (ch9329.size() + cp2110.size() == 1) return ch9329.empty() ? *cp2110.front() : *ch9329.front();
  if (!Chooser) return {};

  const bool bothFamilies = !ch9329.empty() && !cp2110.empty();
  const std::optional<std::string> path = Chooser->Choose(*this, bothFamilies, ch9329.empty() ? bmCP2110 : bmCH9329);
  if (!path) return {};
  // Only this call's own lists count: a device that appeared since is not found.
  const THIDDeviceInfo* found = FindPath(ch9329, *path);
  if (!found) found = FindPath(cp2110, *path);
  return found ? *found : THIDDeviceInfo();
}

bool TDeviceSelector::OpenDevice(const THIDDeviceInfo& DeviceInfo) {
  Close();  // only a device that closed itself when it was unplugged can still be held
  if (IsBlankPath(DeviceInfo.DevicePath)) return false;
  std::unique_ptr<TDevice> device = CreateDevice(DeviceInfo.Model);
  if (!device) return false;

  device->SetAutoRead(AutoRead);
  device->Baudrate = Baudrate;
  device->ReadTimeout = ReadTimeout;
  device->WriteTimeout = WriteTimeout;
  device->SetOnOpened(OnOpened.Get());
  device->SetOnClosed(OnClosed.Get());
  device->SetOnArrived(OnArrived.Get());
  device->SetOnRemoved(OnRemoved.Get());
  device->SetOnReadyRead(OnReadyRead.Get());

  // Held before it opens, so that IsOpen already holds inside OnOpened.
  Device = std::move(device);
  if (Device->Open(DeviceInfo)) return true;
  Device.reset();
  return false;
}

bool TDeviceSelector::Open() { return OpenDevice(SelectDevice()); }

void TDeviceSelector::Close() {
  // Released from the member first, so that a handler of OnClosed that closes again finds nothing.
  const std::unique_ptr<TDevice> device = std::move(Device);
  if (device) device->Close();
}

bool TDeviceSelector::IsOpen() const { return Device && Device->Opened; }

bool TDeviceSelector::Write(const std::uint8_t* Data, std::int32_t Length) {
  return Device && Device->Write(Data, Length);
}

}  // namespace qm
