// The device selector: finds the attached bridges of both chip families, picks one (asking the
// user through a device chooser only when there is a choice), and opens, writes to and closes it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "devices/HIDGlobal.h"

namespace qm {

class TDevice;
class IDeviceChooser;

class TDeviceSelector {
 public:
  TDeviceSelector();
  // Closes the held device first.
  ~TDeviceSelector();
  TDeviceSelector(const TDeviceSelector&) = delete;
  TDeviceSelector& operator=(const TDeviceSelector&) = delete;

  // Plain stored settings: a change takes effect at the next enumeration or open, never on a
  // device that is already open.
  bool AutoRead = true;
  std::uint16_t CH9329VID = 0x1A86;
  std::uint16_t CH9329PID = 0xE429;
  std::uint16_t CP2110VID = 0x10C4;
  std::uint16_t CP2110PID = 0xEA80;
  std::uint32_t Baudrate = 9600;
  std::uint32_t ReadTimeout = 100;
  std::uint32_t WriteTimeout = 100;

  const std::string& Version() const;

  // The handlers are copied into the device object when it is created; the selector raises none of
  // them itself, so a handler changed while a device is open does not reach that device.
  TNotifyEvent OnOpened;
  TNotifyEvent OnClosed;
  TReadDataEvent OnReadyRead;
  TDeviceInfoEvent OnArrived;
  TDeviceInfoEvent OnRemoved;
  void SetOnOpened(TNotifyEvent::Handler handler) { OnOpened.Set(std::move(handler)); }
  void SetOnClosed(TNotifyEvent::Handler handler) { OnClosed.Set(std::move(handler)); }
  void SetOnReadyRead(TReadDataEvent::Handler handler) { OnReadyRead.Set(std::move(handler)); }
  void SetOnArrived(TDeviceInfoEvent::Handler handler) { OnArrived.Set(std::move(handler)); }
  void SetOnRemoved(TDeviceInfoEvent::Handler handler) { OnRemoved.Set(std::move(handler)); }

  // Who asks the user when several bridges are attached (not owned). Without one, such a choice
  // ends as if the user had cancelled.
  void SetChooser(IDeviceChooser* chooser) { Chooser = chooser; }

  // OpenDevice(SelectDevice()): true when a device is now open. Called only while !IsOpen().
  bool Open();
  // Closes and releases the held device object, if any (OnClosed only when it was open).
  void Close();
  bool IsOpen() const;
  // True when a device is held and its write succeeded.
  bool Write(const std::uint8_t* Data, std::int32_t Length);

  // The attached devices of one chip model, each with its DevicePath and Model; empty for an
  // unknown model. Errors of the enumeration pass out to the caller.
  THIDDeviceList EnumDevices(TBridgeModel Model);
  // The device to open: CH9329 bridges are listed first, then CP2110 bridges; the only one found,
  // or the one chosen; a record with an empty DevicePath when there is none.
  THIDDeviceInfo SelectDevice();
  // Creates, configures, binds and opens the device object for `DeviceInfo`. After a failure no
  // device object is held.
  bool OpenDevice(const THIDDeviceInfo& DeviceInfo);

 private:
  std::unique_ptr<TDevice> CreateDevice(TBridgeModel Model) const;

  IDeviceChooser* Chooser = nullptr;
  std::unique_ptr<TDevice> Device;  // the held device object (it keeps its own copy of the record)
};

}  // namespace qm
