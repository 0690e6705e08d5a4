// The device for a CP2110 HID-to-UART bridge, driven through our CP2110 library by device index,
// vendor and product identifier. A CP2110 interface is recognised by its identifiers alone.
#pragma once

#include <cstdint>
#include <string>

#include "devices/Device.h"
#include "devices/SLABHIDtoUART.h"

namespace qm {

class TCP2110 : public TDevice {
 public:
  TCP2110(std::uint16_t vid, std::uint16_t pid);
  ~TCP2110() override;

  // The identifier matches, each stamped bmCP2110.
  THIDDeviceList EnumDevices() override;
  bool InitLibrary() override;
  // Opens the library device whose interface path, upper-cased, equals deviceInfo.DevicePath,
  // starts the read thread (AutoRead) and configures the chip. On any failure everything is undone
  // and no event is raised.
  bool Open(const THIDDeviceInfo& deviceInfo) override;
  // Stops the read thread, then cancels and closes the handle and raises OnClosed. Nothing on a
  // closed device.
  void Close() override;
  // One library write of all Length bytes.
  bool Write(const std::uint8_t* Data, std::int32_t Length) override;
  std::int32_t WriteRead(const std::uint8_t* Data, std::int32_t Length, std::uint8_t* Reply) override;
  // Changes only the baud rate (the other UART settings stay as the chip has them), then sets the
  // time-outs; stops at the first failing call.
  bool Configure(std::uint32_t baudrate, std::uint32_t readTimeout, std::uint32_t writeTimeout) override;
  // Asks for a full ReadBuffer; the read ends at the read time-out with what came.
  bool Read() override;

  HID_UART_DEVICE Handle = nullptr;  // the library's device object; nullptr while closed

 private:
  bool OpenLibraryDevice(const std::string& devicePath);
  void ReleaseHandle();
};

}  // namespace qm
