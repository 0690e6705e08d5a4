#include "devices/CP2110.h"

#include "devices/uEnumerator.h"

namespace qm {

TCP2110::TCP2110(std::uint16_t vid, std::uint16_t pid) : TDevice(vid, pid) { InitLibrary(); }

TCP2110::~TCP2110() { Close(); }

THIDDeviceList TCP2110::EnumDevices() {
  THIDDeviceList list = TDevice::EnumDevices();
  for (auto& info : list) info->Model = bmCP2110;
  return list;
}

bool TCP2110::InitLibrary() { return true; }

bool TCP2110::OpenLibraryDevice(const std::string& devicePath) {
  std::uint32_t count = 0;
  if (HidUart_GetNumDevices(&count, VID, PID) != HID_UART_SUCCESS) return false;
  for (std::uint32_t index = 0; index < count; ++index) {
    char path[HID_UART_DEVICE_STRLEN] = {};
    if (HidUart_GetString(index, VID, PID, path, HID_UART_GET_PATH_STR) != HID_UART_SUCCESS ||
        TEnumerator::UpperCase(path) != devicePath)
      continue;
    HID_UART_DEVICE device = nullptr;
    if (HidUart_Open(&device, index, VID, PID) == HID_UART_SUCCESS) {
      Handle = device;
      return true;
    }
  }
  return false;
}

void TCP2110::ReleaseHandle() {
  if (Handle == nullptr) return;
  HidUart_CancelIo(Handle);
  HidUart_Close(Handle);
  Handle = nullptr;
}

bool TCP2110::Open(const THIDDeviceInfo& deviceInfo) {
  if (Opened || !OpenLibraryDevice(deviceInfo.DevicePath)) return false;
  if (!TDevice::Open(deviceInfo)) {
    ReleaseHandle();
    return false;
  }
  if (!Configure(Baudrate, ReadTimeout, WriteTimeout)) {
    TDevice::Close();
    ReleaseHandle();
    return false;
  }
  Opened = true;
  DoOpened();
  return true;
}

void TCP2110::Close() {
  CloseOpenDevice([this] { ReleaseHandle(); });
}

bool TCP2110::Configure(std::uint32_t baudrate, std::uint32_t readTimeout, std::uint32_t writeTimeout) {
  if (Handle == nullptr) return false;
  std::uint32_t chipBaud = 0;
  std::uint8_t dataBits = 0, parity = 0, stopBits = 0, flowControl = 0;
  return HidUart_GetUartConfig(Handle, &chipBaud, &dataBits, &parity, &stopBits, &flowControl) == HID_UART_SUCCESS &&
         HidUart_SetUartConfig(Handle, baudrate, dataBits, parity, stopBits, flowControl) == HID_UART_SUCCESS &&
         HidUart_SetTimeouts(Handle, readTimeout, writeTimeout) == HID_UART_SUCCESS;
}

bool TCP2110::Read() {
  if (!Opened || Handle == nullptr) return false;
  const HID_UART_STATUS status = HidUart_Read(Handle, ReadBuffer, kReadBufferSize, &ReadLength);
  return (status == HID_UART_SUCCESS || status == HID_UART_READ_TIMED_OUT) && ReadLength > 0;
}

bool TCP2110::Write(const std::uint8_t* Data, std::int32_t Length) {
  if (!Opened || Handle == nullptr || Length < 0) return false;
  std::uint32_t written = static_cast<std::uint32_t>(Length);
  return HidUart_Write(Handle, Data, static_cast<std::uint32_t>(Length), &written) == HID_UART_SUCCESS;
}

std::int32_t TCP2110::WriteRead(const std::uint8_t* Data, std::int32_t Length, std::uint8_t* Reply) {
  if (!Opened || Handle == nullptr) return 0;
  return WriteThenRead(Data, Length, Reply);
}

}  // namespace qm
