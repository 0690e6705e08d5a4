#include "devices/Device.h"

#include <cstring>

#include "devices/MainThread.h"
#include "devices/uEnumerator.h"

namespace qm {

// The delivery of one chunk on the main thread. Owned by the thread's state, so a hand-off
// allocates nothing.
class TReadThread::TSyncReadyRead : public TSyncJob {
 public:
  explicit TSyncReadyRead(TDevice& device) : device_(device) {}
  void Run() override {
    struct TRunning {
      bool& flag;
      explicit TRunning(bool& f) : flag(f) { flag = true; }
      ~TRunning() { flag = false; }
    } running(Running);
    // The handler may close (and free) the device: nothing of it is touched after the call.
    device_.DoReadyRead(device_.ReadBuffer, static_cast<std::int32_t>(device_.ReadLength));
  }
  bool Running = false;  // main thread: a handler of this thread's chunk is running

 private:
  TDevice& device_;
};

struct TReadThread::TState {
  explicit TState(TDevice& device) : Job(device) {}
  std::atomic<bool> Terminated{false};
  std::atomic<bool> Finished{false};
  TSyncReadyRead Job;
};

TReadThread::TReadThread(TDevice& device) : Device(device), State(std::make_shared<TState>(device)) {}

TReadThread::~TReadThread() {
  if (!Thread.joinable()) return;
  Terminate();
  WaitFor();
}

void TReadThread::Start() {
  Thread = std::thread([state = State, device = &Device] { Execute(*state, *device); });
}

void TReadThread::Terminate() { State->Terminated = true; }

void TReadThread::Execute(TState& state, TDevice& device) {
  try {
    while (!state.Terminated)
      if (device.Read()) TMainThread::Instance().Synchronize(state.Job);
  } catch (...) {
    // An error of the OnReadyRead handler ends the thread; the device stays open.
  }
  state.Finished = true;
  TMainThread::Instance().NotifyStateChanged();
}

void TReadThread::WaitFor() {
  if (!Thread.joinable()) return;
  if (State->Job.Running) {
    Thread.detach();
    return;
  }
  TMainThread::Instance().WaitUntil([state = State.get()] { return state->Finished.load(); });
  Thread.join();
}

TDevice::TDevice(std::uint16_t vid, std::uint16_t pid)
    : GUIDs{GUID_DEVINTERFACE_HID}, VID(vid), PID(pid), Detector(std::make_unique<TUSBPNPDetector>(GUIDs)) {
  Detector->SetOnArrived([this](const THIDDeviceInfo& info) { DeviceArrived(info); });
  Detector->SetOnRemoved([this](const THIDDeviceInfo& info) { DeviceRemoved(info); });
}

TDevice::~TDevice() { Detector.reset(); }

THIDDeviceList TDevice::EnumDevices() {
  THIDDeviceList kept;
  for (auto& info : TEnumerator::Enumerate(GUIDs))
    if (AcceptsDevice(*info)) kept.push_back(std::move(info));
  return kept;
}

bool TDevice::Open(const THIDDeviceInfo& deviceInfo) {
  if (Opened) return false;
  DeviceInfo = deviceInfo;
  if (AutoRead) {
    ReadThread = std::make_unique<TReadThread>(*this);
    ReadThread->Start();
  }
  return true;
}

void TDevice::Close() {
  if (ReadThread) {
    ReadThread->Terminate();
    ReadThread->WaitFor();
    ReadThread.reset();
  }
  DeviceInfo.reset();
}

bool TDevice::MatchesVidPid(const THIDDeviceInfo& deviceInfo) const {
  return deviceInfo.VID == VID && deviceInfo.PID == PID;
}

bool TDevice::AcceptsDevice(const THIDDeviceInfo& deviceInfo) const { return MatchesVidPid(deviceInfo); }

bool TDevice::IsOpenDevice(const THIDDeviceInfo& deviceInfo) const {
  return DeviceInfo && deviceInfo.DevicePath == DeviceInfo->DevicePath;
}

std::int32_t TDevice::WriteThenRead(const std::uint8_t* Data, std::int32_t Length, std::uint8_t* Reply) {
  if (Reply == nullptr || !Write(Data, Length) || !Read()) return 0;
  std::memcpy(Reply, ReadBuffer, ReadLength);
  return static_cast<std::int32_t>(ReadLength);
}

void TDevice::DeviceArrived(const THIDDeviceInfo& deviceInfo) {
  if (AcceptsDevice(deviceInfo)) DoArrived(deviceInfo);
}

void TDevice::DeviceRemoved(const THIDDeviceInfo& deviceInfo) {
  if (!MatchesVidPid(deviceInfo)) return;
  if (Opened && IsOpenDevice(deviceInfo)) Close();
  DoRemoved(deviceInfo);
}

}  // namespace qm
