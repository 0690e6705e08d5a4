#include "devices/CH9329.h"

#include <algorithm>

namespace qm {

TCH9329::TCH9329(std::uint16_t vid, std::uint16_t pid) : TDevice(vid, pid) { InitLibrary(); }

TCH9329::~TCH9329() { Close(); }

THIDDeviceList TCH9329::EnumDevices() {
  THIDDeviceList list = TDevice::EnumDevices();
  for (auto& info : list) info->Model = bmCH9329;
  return list;
}

bool TCH9329::InitLibrary() { return CH9329DllInt(); }

bool TCH9329::AcceptsDevice(const THIDDeviceInfo& deviceInfo) const {
  return deviceInfo.FeatureReportLength == ch9329wire::kReportLength;
}

void TCH9329::ReleaseHandle() {
  if (Handle == CH9329_INVALID_HANDLE) return;
  CH9329CloseDevice(Handle);
  Handle = CH9329_INVALID_HANDLE;
}

bool TCH9329::Open(const THIDDeviceInfo& deviceInfo) {
  if (Opened) return false;
  Handle = CH9329OpenDevicePath(deviceInfo.DevicePath.c_str());
  if (Handle == CH9329_INVALID_HANDLE) return false;
  if (!TDevice::Open(deviceInfo)) {
    ReleaseHandle();
    return false;
  }
  Configure(Baudrate, ReadTimeout, WriteTimeout);
  Opened = true;
  DoOpened();
  return true;
}

void TCH9329::Close() {
  CloseOpenDevice([this] { ReleaseHandle(); });
}

bool TCH9329::Configure(std::uint32_t baudrate, std::uint32_t readTimeout, std::uint32_t writeTimeout) {
  if (Handle == CH9329_INVALID_HANDLE) return false;
  TChipConfig ChipConfig;
  // Only a block read from the chip is written back: writing one that was not read would
  // overwrite the chip's other settings.
  if (CH9329GetCFG(Handle, &ChipConfig)) {
    ch9329wire::StoreBaud(ChipConfig.Bytes, baudrate);
    CH9329SetCFG(Handle, ChipConfig);
  }
  CH9329SetTimeOut(readTimeout, writeTimeout);
  return true;
}

bool TCH9329::Read() {
  if (!Opened || Handle == CH9329_INVALID_HANDLE) return false;
  TIoEvent event;  // for this read only
  return CH9329ReadData(Handle, ReadBuffer, &ReadLength, &event) && ReadLength > 0;
}

bool TCH9329::Write(const std::uint8_t* Data, std::int32_t Length) {
  if (!Opened || Handle == CH9329_INVALID_HANDLE || Length < 0) return false;
  TIoEvent event;  // one for the whole write
  for (std::int32_t sent = 0; sent < Length;) {
    const auto piece = std::min<std::int32_t>(Length - sent, ch9329wire::kMaxDataPerWrite);
    if (!CH9329WriteData(Handle, Data + sent, static_cast<std::uint32_t>(piece), &event)) return false;
    sent += piece;
  }
  return true;
}

std::int32_t TCH9329::WriteRead(const std::uint8_t* Data, std::int32_t Length, std::uint8_t* Reply) {
  if (!Opened || Handle == CH9329_INVALID_HANDLE) return 0;
  return WriteThenRead(Data, Length, Reply);
}

}  // namespace qm
