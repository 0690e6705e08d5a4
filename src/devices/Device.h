// The abstract USB bridge device and its background read thread. The chip classes (TCP2110,
// TCH9329) fill in the chip-specific operations; the device selector owns one device at a time.
//
// Threads: the main thread constructs, opens, writes, closes and destroys a device and receives
// every event. The read thread only calls Read and hands each chunk over synchronously, so
// OnReadyRead runs on the main thread, at most one chunk is in flight, and ReadBuffer is not
// overwritten while a handler reads it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <thread>
#include <utility>

#include "devices/HIDGlobal.h"
#include "devices/USBPNPDetector.h"

namespace qm {

class TDevice;

// Reads the device without pause and hands every non-empty chunk to the main thread, waiting
// until it has been handled. Its only waiting is inside the chip library's read.
class TReadThread {
 public:
  // Created suspended: Start runs the body.
  explicit TReadThread(TDevice& device);
  // Terminates the body and waits for it, if it still runs.
  ~TReadThread();
  TReadThread(const TReadThread&) = delete;
  TReadThread& operator=(const TReadThread&) = delete;

  void Start();
  // Asks the body to end after the read (and delivery) under way.
  void Terminate();
  // Main thread: waits until the body has ended, carrying out a delivery that is pending meanwhile,
  // so the two threads cannot block each other. Called from within this thread's own delivery (a
  // handler that closes the device), it returns at once: the body ends as soon as that delivery
  // returns, without touching the device again.
  void WaitFor();

 private:
  class TSyncReadyRead;  // the hand-off of one chunk
  struct TState;         // shared with the body, which may outlive this object (see WaitFor)
  static void Execute(TState& state, TDevice& device);

  TDevice& Device;
  std::shared_ptr<TState> State;
  std::thread Thread;
};

class TDevice {
 public:
  static constexpr std::size_t kReadBufferSize = 1024;

  // Stores the identifiers, creates the plug-and-play detector over the HID class and binds it.
  // The chip class's constructor then calls InitLibrary.
  TDevice(std::uint16_t vid, std::uint16_t pid);
  // Frees the detector. The chip class's destructor closes the device first.
  virtual ~TDevice();
  TDevice(const TDevice&) = delete;
  TDevice& operator=(const TDevice&) = delete;

  // The present interfaces that AcceptsDevice keeps, in enumeration order. Enumeration errors
  // pass out to the caller.
  virtual THIDDeviceList EnumDevices();
  virtual bool InitLibrary() = 0;
  // The shared part of opening, run by the chip class once its handle is open: false when already
  // open; otherwise keeps a copy of the record and starts the read thread when AutoRead is set.
  virtual bool Open(const THIDDeviceInfo& deviceInfo);
  // The shared part of closing: stops and frees the read thread, forgets the record.
  virtual void Close();
  // True when all Length bytes were handed to the chip library; false at once when not open.
  virtual bool Write(const std::uint8_t* Data, std::int32_t Length) = 0;
  // Write, then Read; the bytes read are copied to Reply (at least kReadBufferSize bytes) and
  // counted. 0 when not open or when either step fails. For use with AutoRead off.
  virtual std::int32_t WriteRead(const std::uint8_t* Data, std::int32_t Length, std::uint8_t* Reply) = 0;
  // Applies the link settings to the open chip handle; run by Open.
  virtual bool Configure(std::uint32_t baudrate, std::uint32_t readTimeout, std::uint32_t writeTimeout) = 0;
  // One blocking read into ReadBuffer, setting ReadLength; true only when at least one byte came.
  virtual bool Read() = 0;
  virtual bool MatchesVidPid(const THIDDeviceInfo& deviceInfo) const;
  // Which enumerated interfaces are kept and which arrivals are reported.
  virtual bool AcceptsDevice(const THIDDeviceInfo& deviceInfo) const;
  // Whether the record names the open interface (DevicePath compared exactly).
  virtual bool IsOpenDevice(const THIDDeviceInfo& deviceInfo) const;

  void SetAutoRead(bool value) { AutoRead = value; }
  void SetOnOpened(TNotifyEvent::Handler handler) { OnOpened.Set(std::move(handler)); }
  void SetOnClosed(TNotifyEvent::Handler handler) { OnClosed.Set(std::move(handler)); }
  void SetOnReadyRead(TReadDataEvent::Handler handler) { OnReadyRead.Set(std::move(handler)); }
  void SetOnArrived(TDeviceInfoEvent::Handler handler) { OnArrived.Set(std::move(handler)); }
  void SetOnRemoved(TDeviceInfoEvent::Handler handler) { OnRemoved.Set(std::move(handler)); }

  std::uint32_t Baudrate = 0;      // UART rate that Open applies
  std::uint32_t ReadTimeout = 0;   // milliseconds, handed to the chip library by Configure
  std::uint32_t WriteTimeout = 0;  // likewise
  bool AutoRead = true;            // whether Open starts the read thread
  TArrTGUID GUIDs;                 // the HID interface class, enumerated and watched
  const std::uint16_t VID;
  const std::uint16_t PID;
  std::atomic<bool> Opened{false};  // read by the read thread
  std::unique_ptr<TUSBPNPDetector> Detector;
  // The record passed to Open, kept as a copy so that it cannot go away under the device; empty
  // while closed.
  std::optional<THIDDeviceInfo> DeviceInfo;
  std::uint8_t ReadBuffer[kReadBufferSize] = {};
  std::uint32_t ReadLength = 0;
  std::unique_ptr<TReadThread> ReadThread;
  TNotifyEvent OnOpened;
  TNotifyEvent OnClosed;
  TReadDataEvent OnReadyRead;  // main thread, once per chunk; Data points into ReadBuffer
  TDeviceInfoEvent OnArrived;
  TDeviceInfoEvent OnRemoved;

 protected:
  void DoOpened() { OnOpened.Raise(this); }
  void DoClosed() { OnClosed.Raise(this); }
  void DoReadyRead(const std::uint8_t* Data, std::int32_t Length) { OnReadyRead.Raise(Data, Length); }
  void DoArrived(const THIDDeviceInfo& deviceInfo) { OnArrived.Raise(deviceInfo); }
  void DoRemoved(const THIDDeviceInfo& deviceInfo) { OnRemoved.Raise(deviceInfo); }

  // The chip classes' Close: only while open, and once even when a handler re-enters it. Stops the
  // read thread before `releaseHandle` touches the handle; then clears Opened and raises OnClosed.
  template <typename TReleaseHandle>
  void CloseOpenDevice(TReleaseHandle&& releaseHandle) {
    if (!Opened || Closing) return;
    Closing = true;
    TDevice::Close();
    releaseHandle();
    Closing = false;
    Opened = false;
    DoClosed();
  }
  // The chip classes' WriteRead once they have checked their handle.
  std::int32_t WriteThenRead(const std::uint8_t* Data, std::int32_t Length, std::uint8_t* Reply);

 private:
  friend class TReadThread;
  void DeviceArrived(const THIDDeviceInfo& deviceInfo);
  void DeviceRemoved(const THIDDeviceInfo& deviceInfo);

  bool Closing = false;  // main thread
};

}  // namespace qm
