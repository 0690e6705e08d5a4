// Our CP2110 HID-to-UART library: the ten operations the CP2110 device class calls, with the
// chip maker's names, arguments and status codes, built on the platform HID layer. It speaks the
// chip's documented HID reports, so it drives a real CP2110 as well as the virtual one:
//   UART data      interrupt reports 0x01..0x3F both ways; the report ID is the byte count (<= 63)
//   0x41 get/set   UART enable (0 off, 1 on; off after power-on)
//   0x43 set       purge FIFOs (1 TX, 2 RX, 3 both)
//   0x46 get       part number (0x0A for the CP2110) and device version
//   0x50 get/set   UART config: baud rate (u32, big-endian), parity, flow control, data bits,
//                  stop bits, one byte each; 9600 8N1 is 50 00 00 25 80 00 00 03 00
// Every report is sent at its own length (report ID included).
//
// Devices are the present HID interfaces whose hardware identifier carries the requested VID and
// PID, numbered in the platform's list order. The index is valid until the next plug or unplug.
//
// Threads: one HidUart_Read and one HidUart_Write may run at once on a handle from two threads;
// every other call on a handle runs while no read is in progress, except HidUart_CancelIo.
#pragma once

#include <cstdint>

namespace qm {

using HID_UART_STATUS = int;
using HID_UART_DEVICE = void*;  // nullptr: no device

inline constexpr HID_UART_STATUS HID_UART_SUCCESS = 0x00;
inline constexpr HID_UART_STATUS HID_UART_DEVICE_NOT_FOUND = 0x01;
inline constexpr HID_UART_STATUS HID_UART_INVALID_HANDLE = 0x02;
inline constexpr HID_UART_STATUS HID_UART_INVALID_DEVICE_OBJECT = 0x03;
inline constexpr HID_UART_STATUS HID_UART_INVALID_PARAMETER = 0x04;
inline constexpr HID_UART_STATUS HID_UART_INVALID_REQUEST_LENGTH = 0x05;
inline constexpr HID_UART_STATUS HID_UART_READ_ERROR = 0x10;
inline constexpr HID_UART_STATUS HID_UART_WRITE_ERROR = 0x11;
inline constexpr HID_UART_STATUS HID_UART_READ_TIMED_OUT = 0x12;
inline constexpr HID_UART_STATUS HID_UART_WRITE_TIMED_OUT = 0x13;
inline constexpr HID_UART_STATUS HID_UART_DEVICE_IO_FAILED = 0x14;
inline constexpr HID_UART_STATUS HID_UART_DEVICE_ACCESS_ERROR = 0x15;
inline constexpr HID_UART_STATUS HID_UART_DEVICE_NOT_SUPPORTED = 0x16;
inline constexpr HID_UART_STATUS HID_UART_UNKNOWN_ERROR = 0xFF;

// HidUart_GetString options: only the interface path is offered.
inline constexpr std::uint32_t HID_UART_GET_PATH_STR = 0x03;
// A string buffer takes up to 260 characters and the terminating zero.
inline constexpr std::uint32_t HID_UART_DEVICE_STRLEN = 261;

// UART settings, encoded as the 0x50 report carries them.
inline constexpr std::uint8_t HID_UART_FIVE_DATA_BITS = 0x00;
inline constexpr std::uint8_t HID_UART_SIX_DATA_BITS = 0x01;
inline constexpr std::uint8_t HID_UART_SEVEN_DATA_BITS = 0x02;
inline constexpr std::uint8_t HID_UART_EIGHT_DATA_BITS = 0x03;
inline constexpr std::uint8_t HID_UART_NO_PARITY = 0x00;
inline constexpr std::uint8_t HID_UART_ODD_PARITY = 0x01;
inline constexpr std::uint8_t HID_UART_EVEN_PARITY = 0x02;
inline constexpr std::uint8_t HID_UART_MARK_PARITY = 0x03;
inline constexpr std::uint8_t HID_UART_SPACE_PARITY = 0x04;
inline constexpr std::uint8_t HID_UART_SHORT_STOP_BIT = 0x00;
inline constexpr std::uint8_t HID_UART_LONG_STOP_BIT = 0x01;
inline constexpr std::uint8_t HID_UART_NO_FLOW_CONTROL = 0x00;
inline constexpr std::uint8_t HID_UART_RTS_CTS_FLOW_CONTROL = 0x01;

// Request limits of one read and one write.
inline constexpr std::uint32_t HID_UART_MAX_READ_SIZE = 32768;
inline constexpr std::uint32_t HID_UART_MAX_WRITE_SIZE = 4096;
// Time-outs of a newly opened device, in milliseconds.
inline constexpr std::uint32_t HID_UART_DEFAULT_TIMEOUT_MS = 1000;

// The number of attached devices with these identifiers.
HID_UART_STATUS HidUart_GetNumDevices(std::uint32_t* numDevices, std::uint16_t vid, std::uint16_t pid);
// Copies a string of device `deviceNum` into `deviceString` (HID_UART_DEVICE_STRLEN bytes) as
// zero-terminated 8-bit text. HID_UART_GET_PATH_STR gives the interface path, whose upper-cased
// form is the enumerator's DevicePath.
HID_UART_STATUS HidUart_GetString(std::uint32_t deviceNum, std::uint16_t vid, std::uint16_t pid, char* deviceString,
                                  std::uint32_t options);
// Opens device `deviceNum`: checks that it is a CP2110, enables its UART and purges its FIFOs.
// `*device` is set only on success.
HID_UART_STATUS HidUart_Open(HID_UART_DEVICE* device, std::uint32_t deviceNum, std::uint16_t vid, std::uint16_t pid);
HID_UART_STATUS HidUart_GetUartConfig(HID_UART_DEVICE device, std::uint32_t* baudRate, std::uint8_t* dataBits,
                                      std::uint8_t* parity, std::uint8_t* stopBits, std::uint8_t* flowControl);
// A value the chip rejects (a baud rate out of its range) gives HID_UART_DEVICE_IO_FAILED.
HID_UART_STATUS HidUart_SetUartConfig(HID_UART_DEVICE device, std::uint32_t baudRate, std::uint8_t dataBits,
                                      std::uint8_t parity, std::uint8_t stopBits, std::uint8_t flowControl);
// Time-outs in milliseconds, each covering a whole HidUart_Read or HidUart_Write call.
HID_UART_STATUS HidUart_SetTimeouts(HID_UART_DEVICE device, std::uint32_t readTimeout, std::uint32_t writeTimeout);
// Waits until `numBytesToRead` bytes have arrived (HID_UART_SUCCESS) or the read time-out has
// passed (HID_UART_READ_TIMED_OUT); either way `*numBytesRead` says how many are in `buffer`.
// Bytes of a report that did not fit are kept for the next read.
HID_UART_STATUS HidUart_Read(HID_UART_DEVICE device, std::uint8_t* buffer, std::uint32_t numBytesToRead,
                             std::uint32_t* numBytesRead);
// Sends the bytes in reports of up to 63; `*numBytesWritten` says how many went.
HID_UART_STATUS HidUart_Write(HID_UART_DEVICE device, const std::uint8_t* buffer, std::uint32_t numBytesToWrite,
                              std::uint32_t* numBytesWritten);
// Ends a blocked read at once; every later read of this handle fails.
HID_UART_STATUS HidUart_CancelIo(HID_UART_DEVICE device);
// Closes the handle; it must not be used again.
HID_UART_STATUS HidUart_Close(HID_UART_DEVICE device);

}  // namespace qm
