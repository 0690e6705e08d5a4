// A virtual CH9329 in its custom-HID mode, speaking this program's CH9329 framing
// (devices/CH9329Wire.h): unnumbered 65-byte data and feature reports, and the 128-byte
// configuration block read and written in 32-byte pages. Bytes 6..9 of the block hold the UART
// rate; writing a new rate applies it at once. The UART is always on, 8N1.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>

#include "devices/CH9329Wire.h"
#include "sim/VirtualUartBridge.h"

namespace qm::sim {

namespace ch9329 {
inline constexpr std::uint16_t kVid = 0x1A86;
inline constexpr std::uint16_t kPid = 0xE429;
inline constexpr std::uint32_t kMinBaud = 1200;
inline constexpr std::uint32_t kMaxBaud = 115200;
}  // namespace ch9329

class TVirtualCH9329 : public TVirtualUartBridge {
 public:
  using TConfig = std::array<std::uint8_t, ch9329wire::kConfigSize>;

  explicit TVirtualCH9329(std::shared_ptr<TSerialLine> line = nullptr, std::uint16_t vid = ch9329::kVid,
                          std::uint16_t pid = ch9329::kPid);

  // The chip's configuration block as it stands. It is kept in the chip, across unplugging.
  // Factory state: byte 0 = 3 (custom-HID working mode), bytes 6..9 = 9600, the rest 0.
  TConfig Config() const;

  // An input report comes as a read of an unnumbered report gives it, without the zero ID:
  // [N][N data bytes][zero padding to 64]. A buffer of fewer than 64 bytes is refused.
  int ReadInputReport(std::uint8_t* buffer, std::size_t size, int timeoutMs, const TAbortCheck& aborted) override;
  int WriteOutputReport(const std::uint8_t* report, std::size_t size) override;
  // A read answers the page that the last read request selected (page 0 until one did).
  int GetFeatureReport(std::uint8_t* report, std::size_t size) override;
  // A read request selects a page; a write replaces one. A write that would put a rate outside
  // 1200..115200 into the block is refused and changes nothing.
  int SetFeatureReport(const std::uint8_t* report, std::size_t size) override;

 private:
  mutable std::mutex mutex_;  // config_, readPage_
  TConfig config_{};
  std::uint8_t readPage_ = 0;
};

}  // namespace qm::sim
