// A virtual CP2110 HID-to-UART bridge speaking the chip's documented HID report protocol.
//
// Data: interrupt reports 0x01..0x3F both ways; the report ID is the number of UART bytes that
// follow (at most 63). Feature reports (multi-byte values big-endian):
//   0x40 set      reset: back to the power-on state (re-enumeration is not simulated)
//   0x41 get/set  UART enable, 0 or 1; off after power-on, and no data moves while it is off
//   0x42 get      TX FIFO count (u16), RX FIFO count (u16), error status, break status
//   0x43 set      purge FIFOs: 1 TX, 2 RX, 3 both
//   0x46 get      part number (0x0A) and device version
//   0x50 get/set  UART config: baud (u32), parity 0..4, flow control 0..1, data bits 0..3 (5..8),
//                 stop bits 0..1; power-on 9600 8N1. A set with a value out of range fails.
// The FIFO counts are what waits on the simulated line in each direction (at most the chip's
// 480 bytes). 0x60..0x66 (USB customisation) are declared but not simulated: they fail.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "sim/VirtualUartBridge.h"

namespace qm::sim {

namespace cp2110 {
inline constexpr std::uint16_t kVid = 0x10C4;
inline constexpr std::uint16_t kPid = 0xEA80;
inline constexpr std::uint8_t kMaxDataReportId = 0x3F;
inline constexpr std::uint8_t kResetDevice = 0x40;
inline constexpr std::uint8_t kUartEnable = 0x41;
inline constexpr std::uint8_t kUartStatus = 0x42;
inline constexpr std::uint8_t kPurgeFifos = 0x43;
inline constexpr std::uint8_t kVersion = 0x46;
inline constexpr std::uint8_t kUartConfig = 0x50;
inline constexpr std::uint8_t kPartNumber = 0x0A;
inline constexpr std::uint32_t kMinBaud = 300;
inline constexpr std::uint32_t kMaxBaud = 1000000;
inline constexpr std::size_t kFifoSize = 480;
}  // namespace cp2110

class TVirtualCP2110 : public TVirtualUartBridge {
 public:
  // `serial`: the 8-character serial string; empty picks a fresh one.
  explicit TVirtualCP2110(std::shared_ptr<TSerialLine> line = nullptr, std::string serial = {});

  // Back to the power-on state: UART off, 9600 8N1, line input dropped.
  void PowerOn() override;

  int ReadInputReport(std::uint8_t* buffer, std::size_t size, int timeoutMs, const TAbortCheck& aborted) override;
  int WriteOutputReport(const std::uint8_t* report, std::size_t size) override;
  int GetFeatureReport(std::uint8_t* report, std::size_t size) override;
  int SetFeatureReport(const std::uint8_t* report, std::size_t size) override;

 private:
  // The UART config bytes after the report ID: baud (4), parity, flow control, data bits, stop bits.
  using TConfig = std::array<std::uint8_t, 8>;
  static bool ValidConfig(const TConfig& config);
  void ResetState();
  int Answer(std::uint8_t* report, std::size_t size, std::initializer_list<std::uint8_t> payload) const;

  mutable std::mutex mutex_;  // config_ (main thread sets, read thread's rate comes from it)
  TConfig config_{};
};

}  // namespace qm::sim
