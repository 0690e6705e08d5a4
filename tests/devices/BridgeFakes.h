// A fake HID platform for the chip libraries and the device classes: interfaces with scripted
// input reports and scripted feature answers, recording every report the host sends, so tests can
// check the wire bytes.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "devices/CH9329Wire.h"
#include "devices/HidPlatform.h"

namespace qm::test {

using TBytes = std::vector<std::uint8_t>;

// One fake HID interface. Thread-safe: the read thread reads while the main thread writes.
class TFakeInterface {
  template <typename F>
  auto Locked(F&& f) const -> decltype(f()) {
    std::lock_guard lock(mutex_);
    return f();
  }

 public:
  // Answers a feature read: fills `report` (report[0] holds the requested ID) and returns the
  // length, or -1. Refuses a feature write by returning false. Set both before the interface is
  // opened.
  std::function<int(std::uint8_t* report, std::size_t size)> OnGetFeature = [](std::uint8_t*, std::size_t) { return -1; };
  std::function<bool(const TBytes& report)> OnSetFeature = [](const TBytes&) { return true; };
  // Output reports that the interface refuses from this one on (0 refuses every one).
  std::size_t RefuseOutputsFrom = SIZE_MAX;
  std::uint16_t FeatureReportLength = 0;
  bool Openable = true;

  void PushInput(TBytes report) {
    std::lock_guard lock(mutex_);
    inputs_.push_back(std::move(report));
    cv_.notify_all();
  }
  // Waits until a read has taken every pushed report; false when `timeout` passed first.
  bool WaitInputTaken(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, timeout, [&] { return inputs_.empty(); });
  }
  // Waits until a read is blocked in this interface.
  bool WaitReaderBlocked(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, timeout, [&] { return blockedReaders_ > 0; });
  }
  // Reads of every handle fail from now on, at once.
  void Unplug() {
    std::lock_guard lock(mutex_);
    gone_ = true;
    cv_.notify_all();
  }

  std::vector<TBytes> Outputs() const { return Locked([&] { return outputs_; }); }
  std::vector<TBytes> FeatureSets() const { return Locked([&] { return featureSets_; }); }
  std::vector<std::uint8_t> FeatureGets() const { return Locked([&] { return featureGets_; }); }
  std::vector<int> ReadTimeouts() const { return Locked([&] { return readTimeouts_; }); }
  int OpenHandles() const { return Locked([&] { return openHandles_; }); }

  // For the fake handle.
  void Opened() { Locked([&] { return ++openHandles_; }); }
  void Closed() { Locked([&] { return --openHandles_; }); }
  int Read(std::uint8_t* buffer, std::size_t size, int timeoutMs, const bool& cancelled) {
    std::unique_lock lock(mutex_);
    readTimeouts_.push_back(timeoutMs);
    ++blockedReaders_;
    cv_.notify_all();
    const bool ready = cv_.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                                    [&] { return gone_ || cancelled || !inputs_.empty(); });
    --blockedReaders_;
    if (gone_ || cancelled) return -1;
    if (!ready) return 0;
    TBytes report = std::move(inputs_.front());
    inputs_.pop_front();
    cv_.notify_all();
    const std::size_t n = std::min(size, report.size());
    std::copy_n(report.begin(), n, buffer);
    return static_cast<int>(n);
  }
  void Cancel(bool& cancelled) {
    std::lock_guard lock(mutex_);
    cancelled = true;
    cv_.notify_all();
  }
  int Write(const std::uint8_t* report, std::size_t size) {
    std::lock_guard lock(mutex_);
    if (gone_ || outputs_.size() >= RefuseOutputsFrom) return -1;
    outputs_.emplace_back(report, report + size);
    return static_cast<int>(size);
  }
  int GetFeature(std::uint8_t* report, std::size_t size) {
    Locked([&] { featureGets_.push_back(report[0]); return 0; });
    return OnGetFeature(report, size);
  }
  int SetFeature(const std::uint8_t* report, std::size_t size) {
    TBytes sent(report, report + size);
    Locked([&] { featureSets_.push_back(sent); return 0; });
    return OnSetFeature(sent) ? static_cast<int>(size) : -1;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<TBytes> inputs_;
  std::vector<TBytes> outputs_;
  std::vector<TBytes> featureSets_;
  std::vector<std::uint8_t> featureGets_;
  std::vector<int> readTimeouts_;
  int openHandles_ = 0;
  int blockedReaders_ = 0;
  bool gone_ = false;
};

class TFakeHandle : public hid::THidDevice {
 public:
  explicit TFakeHandle(std::shared_ptr<TFakeInterface> iface) : iface_(std::move(iface)) { iface_->Opened(); }
  ~TFakeHandle() override { iface_->Closed(); }

  bool GetAttributes(hid::TAttributes&) override { return true; }
  bool GetManufacturerString(std::string& text) override { return Text("Maker", text); }
  bool GetProductString(std::string& text) override { return Text("Bridge", text); }
  bool GetSerialNumberString(std::string& text) override { return Text("0001", text); }
  bool GetIndexedString(int, std::string& text) override { return Text("Maker", text); }
  bool GetFeatureReportByteLength(std::uint16_t& length) override {
    length = iface_->FeatureReportLength;
    return true;
  }
  int ReadInputReport(std::uint8_t* buffer, std::size_t size, int timeoutMs) override {
    return iface_->Read(buffer, size, timeoutMs, cancelled_);
  }
  int WriteOutputReport(const std::uint8_t* report, std::size_t size) override { return iface_->Write(report, size); }
  int GetFeatureReport(std::uint8_t* report, std::size_t size) override { return iface_->GetFeature(report, size); }
  int SetFeatureReport(const std::uint8_t* report, std::size_t size) override { return iface_->SetFeature(report, size); }
  void CancelIo() override { iface_->Cancel(cancelled_); }

 private:
  static bool Text(const char* value, std::string& text) {
    text = value;
    return true;
  }
  std::shared_ptr<TFakeInterface> iface_;
  bool cancelled_ = false;  // guarded by the interface's mutex
};

class TFakePlatform : public hid::THidPlatform {
 public:
  // Adds an interface named as Windows names one ("\\?\hid#vid_10c4&pid_ea80#1&0001#{...}").
  std::shared_ptr<TFakeInterface> Add(std::uint16_t vid, std::uint16_t pid, std::uint16_t featureLength) {
    auto iface = std::make_shared<TFakeInterface>();
    iface->FeatureReportLength = featureLength;
    char ids[64], instance[96], path[160];
    std::snprintf(ids, sizeof ids, "VID_%04X&PID_%04X", vid, pid);
    std::snprintf(instance, sizeof instance, "HID\\%s\\1&%04zX", ids, entries_.size());
    std::snprintf(path, sizeof path, "\\\\?\\hid#vid_%04x&pid_%04x#1&%04zx#{4d1e55b2-f16f-11cf-88cb-001111000030}", vid,
                  pid, entries_.size());
    hid::TInterfaceEntry entry;
    entry.InstanceId = instance;
    entry.HardwareId = std::string("HID\\") + ids + "&REV_0100";
    entry.ObjectName = "\\Device\\" + std::to_string(entries_.size());
    entry.Path = path;
    entries_.push_back({entry, iface});
    return iface;
  }
  // The entry of the n-th interface added.
  const hid::TInterfaceEntry& Entry(std::size_t n) const { return entries_.at(n).Entry; }

  std::vector<hid::TInterfaceEntry> ListInterfaces(bool) override {
    ++ListCalls;
    std::vector<hid::TInterfaceEntry> list;
    for (const auto& e : entries_) list.push_back(e.Entry);
    return list;
  }
  std::unique_ptr<hid::THidDevice> Open(const std::string& path) override {
    ++OpenCalls;
    for (const auto& e : entries_)
      if (Upper(e.Entry.Path) == Upper(path)) return e.Iface->Openable ? std::make_unique<TFakeHandle>(e.Iface) : nullptr;
    return nullptr;
  }
  int Subscribe(TNotifyHandler) override { return ++subscriptions_; }
  void Unsubscribe(int) override {}

  int ListCalls = 0;
  int OpenCalls = 0;

 private:
  static std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    return s;
  }
  struct TSlot {
    hid::TInterfaceEntry Entry;
    std::shared_ptr<TFakeInterface> Iface;
  };
  std::vector<TSlot> entries_;
  int subscriptions_ = 0;
};

// The chip side of a fake CP2110, as AN434 describes it: part number (0x46), UART config (0x50).
struct TFakeCP2110Chip {
  std::uint8_t PartNumber = 0x0A;
  // Baud (big-endian), parity, flow control, data bits, stop bits: 9600 8N1 at power-on.
  TBytes Config = {0x00, 0x00, 0x25, 0x80, 0x00, 0x00, 0x03, 0x00};
  bool RefuseConfig = false;

  void Install(TFakeInterface& iface) {
    iface.OnGetFeature = [this](std::uint8_t* r, std::size_t size) {
      TBytes answer;
      if (r[0] == 0x46) answer = {0x46, PartNumber, 0x01};
      if (r[0] == 0x50) {
        answer = {0x50};
        answer.insert(answer.end(), Config.begin(), Config.end());
      }
      if (answer.empty() || size < answer.size()) return -1;
      std::copy(answer.begin(), answer.end(), r);
      return static_cast<int>(answer.size());
    };
    iface.OnSetFeature = [this](const TBytes& r) {
      if (r[0] != 0x50) return true;
      if (RefuseConfig || r.size() != 9) return false;
      Config.assign(r.begin() + 1, r.end());
      return true;
    };
  }
  // An interrupt IN report with UART bytes: the ID is the count.
  static TBytes DataReport(const TBytes& data) {
    TBytes r{static_cast<std::uint8_t>(data.size())};
    r.insert(r.end(), data.begin(), data.end());
    return r;
  }
};

// The chip side of a fake CH9329 in our framing: the configuration block in four pages.
struct TFakeCH9329Chip {
  TBytes Block = TBytes(ch9329wire::kConfigSize, 0);
  bool RefuseReads = false;

  void Install(TFakeInterface& iface) {
    iface.OnGetFeature = [this](std::uint8_t* r, std::size_t size) {
      if (RefuseReads || size < ch9329wire::kReportLength) return -1;
      std::fill(r, r + ch9329wire::kReportLength, std::uint8_t{0});
      r[1] = ch9329wire::kCfgRead;
      r[2] = page_;
      std::copy_n(Block.begin() + page_ * ch9329wire::kConfigPageSize, ch9329wire::kConfigPageSize, r + 3);
      return static_cast<int>(ch9329wire::kReportLength);
    };
    iface.OnSetFeature = [this](const TBytes& r) {
      if (r.size() < 3 || r[2] >= ch9329wire::kConfigPages) return false;
      if (r[1] == ch9329wire::kCfgRead) page_ = r[2];
      if (r[1] == ch9329wire::kCfgWrite)
        std::copy_n(r.begin() + 3, ch9329wire::kConfigPageSize, Block.begin() + r[2] * ch9329wire::kConfigPageSize);
      return true;
    };
  }
  // A data report as Windows hands it over: zero report ID, count, bytes, padding to 65.
  static TBytes DataReport(const TBytes& data) {
    TBytes r(ch9329wire::kReportLength, 0);
    r[1] = static_cast<std::uint8_t>(data.size());
    std::copy(data.begin(), data.end(), r.begin() + 2);
    return r;
  }

 private:
  std::uint8_t page_ = 0;
};

}  // namespace qm::test
