// The device for a CH9329 HID-to-UART bridge, driven through our CH9329 library by interface
// path. A CH9329 interface is recognised by its 65-byte feature report, whatever its identifiers;
// the identifiers serve only to match removals.
#pragma once

#include <cstdint>

#include "devices/CH9329DLL.h"
#include "devices/Device.h"

namespace qm {

class TCH9329 : public TDevice {
 public:
  TCH9329(std::uint16_t vid, std::uint16_t pid);
  ~TCH9329() override;

  // The accepted interfaces, each stamped bmCH9329.
  THIDDeviceList EnumDevices() override;
  bool InitLibrary() override;
  // Opens the path, starts the read thread (AutoRead) and configures the chip; false only when
  // the path cannot be opened.
  bool Open(const THIDDeviceInfo& deviceInfo) override;
  // Stops the read thread, then closes the handle and raises OnClosed. Nothing on a closed device.
  void Close() override;
  // In pieces of at most 31 bytes, in order; stops at the first piece that fails (earlier pieces
  // have gone). Length 0 sends nothing and succeeds.
  bool Write(const std::uint8_t* Data, std::int32_t Length) override;
  std::int32_t WriteRead(const std::uint8_t* Data, std::int32_t Length, std::uint8_t* Reply) override;
  // Writes the baud rate into bytes 6..9 of the chip's configuration block and sets the
  // library-wide time-outs. True with any open handle: configuration errors are not detected.
  bool Configure(std::uint32_t baudrate, std::uint32_t readTimeout, std::uint32_t writeTimeout) override;
  // One library read into ReadBuffer; ReadLength keeps its value when the read fails.
  bool Read() override;
  // A feature report of 64 bytes plus the report ID.
  bool AcceptsDevice(const THIDDeviceInfo& deviceInfo) const override;

  CH9329_HANDLE Handle = CH9329_INVALID_HANDLE;  // the library's handle; invalid while closed

 private:
  void ReleaseHandle();
};

}  // namespace qm
