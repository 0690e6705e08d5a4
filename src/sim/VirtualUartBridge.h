// The UART side shared by the virtual bridge chips: a simulated serial line to the meter, driven at
// the chip's configured baud rate both ways, so a rate other than the meter's garbles the bytes as
// on a real line.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "sim/SerialLine.h"
#include "sim/VirtualHidInterface.h"

namespace qm::sim {

class TVirtualUartBridge : public TVirtualHidInterface {
 public:
  // `line` is shared with whatever drives the far end (a simulated meter, a test).
  TVirtualUartBridge(TVirtualIdentity identity, std::vector<std::uint8_t> reportDescriptor,
                     std::shared_ptr<TSerialLine> line, std::uint32_t baud, bool uartEnabled);

  const std::shared_ptr<TSerialLine>& Line() const { return line_; }
  std::uint32_t Baud() const { return baud_; }
  bool UartEnabled() const { return enabled_; }

  // Nothing is in flight at power-on: bytes either side sent while the bridge had no power are lost.
  void PowerOn() override;

 protected:
  void SetBaud(std::uint32_t baud) { baud_ = baud; }
  // Turning the UART on drops what arrived while it was off: the receiver was not listening.
  void SetUartEnabled(bool on);
  // Host data out to the meter; dropped while the UART is off.
  void Transmit(const std::uint8_t* data, std::size_t size);
  // Bytes from the meter: waits up to timeoutMs for the first, then takes what is there up to
  // `max`. Nothing arrives while the UART is off. -1 when aborted, 0 on time-out.
  int Receive(std::uint8_t* out, std::size_t max, int timeoutMs, const TAbortCheck& aborted);

 private:
  std::shared_ptr<TSerialLine> line_;
  std::atomic<std::uint32_t> baud_;
  std::atomic<bool> enabled_;
};

}  // namespace qm::sim
