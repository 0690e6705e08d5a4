// The CH9329's HID framing in its custom-HID mode, as this program speaks it.
//
// The chip maker documents the serial side of the custom-HID mode (packets of 0..64 bytes, 8N1)
// but not its HID reports. Until a capture from real hardware exists, this is our own choice, kept
// in this one header so that the chip library and the virtual chip cannot drift apart and a
// change for real hardware touches one place. docs/ch9329-framing.md describes it.
//
// All reports are unnumbered: byte 0 is the zero report ID, then 64 bytes of payload (so the
// feature report byte length is 65).
//
// UART data, interrupt reports (both directions):
//   [0x00][N][N data bytes][zero padding to 65]      N = 0..kMaxDataPerReport
// The host writes at most kMaxDataPerWrite (31) bytes per report, matching the library's pieces.
//
// Configuration block (128 bytes) over feature reports, in four pages of 32 bytes:
//   read page p : SetFeature [0x00][kCfgRead][p]              then GetFeature -> [0x00][kCfgRead][p][32 bytes]
//   write page p: SetFeature [0x00][kCfgWrite][p][32 bytes]
// Bytes 6..9 of the block hold the UART baud rate, most significant byte first.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qm::ch9329wire {

inline constexpr std::size_t kReportLength = 65;        // report ID byte + 64 payload bytes
inline constexpr std::size_t kMaxDataPerReport = 63;    // count byte + 63 data bytes
inline constexpr std::size_t kMaxDataPerWrite = 31;
inline constexpr std::size_t kConfigSize = 128;
inline constexpr std::size_t kConfigPageSize = 32;
inline constexpr std::size_t kConfigPages = kConfigSize / kConfigPageSize;
inline constexpr std::uint8_t kCfgRead = 0x52;   // 'R'
inline constexpr std::uint8_t kCfgWrite = 0x57;  // 'W'
inline constexpr std::size_t kBaudOffset = 6;    // bytes 6..9 of the block, big-endian

inline std::uint32_t BaudFromConfig(const std::uint8_t* config) {
  return (std::uint32_t{config[kBaudOffset]} << 24) | (std::uint32_t{config[kBaudOffset + 1]} << 16) |
         (std::uint32_t{config[kBaudOffset + 2]} << 8) | std::uint32_t{config[kBaudOffset + 3]};
}

inline void StoreBaud(std::uint8_t* config, std::uint32_t baud) {
  config[kBaudOffset] = static_cast<std::uint8_t>(baud >> 24);
  config[kBaudOffset + 1] = static_cast<std::uint8_t>(baud >> 16);
  config[kBaudOffset + 2] = static_cast<std::uint8_t>(baud >> 8);
  config[kBaudOffset + 3] = static_cast<std::uint8_t>(baud);
}

}  // namespace qm::ch9329wire
