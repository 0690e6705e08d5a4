// The open-device I/O of the Windows back end over a named pipe in message mode, which stands in
// for an interface: each message is one report, and the test's end of the pipe plays the device.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "devices/windows/WinHidDevice.h"

namespace qm::hid::win {
namespace {

using TReport = std::vector<std::uint8_t>;

// Time-outs that only turn a hang into a failure.
constexpr int kGenerousMs = 10000;
constexpr auto kGenerous = std::chrono::milliseconds(kGenerousMs);

// The lengths of a bridge's interface: 64 bytes after the report ID.
constexpr TReportLengths kLengths{65, 65, 65};

TReport Report(std::uint8_t first, std::size_t length) {
  TReport report(length);
  for (std::size_t i = 0; i < length; ++i) report[i] = static_cast<std::uint8_t>(first + i);
  report[0] = 0x00;  // unnumbered
  return report;
}

// The program's read thread: one thread that stays, as Windows cancels the pending I/O of a thread
// that ends.
class TReadThread {
 public:
  explicit TReadThread(THidDevice& device) : device_(device), thread_([this] { Run(); }) {}
  ~TReadThread() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  TReadThread(const TReadThread&) = delete;
  TReadThread& operator=(const TReadThread&) = delete;

  // Starts one read of up to `size` bytes into `buffer`.
  std::future<int> Start(std::uint8_t* buffer, std::size_t size, int timeoutMs) {
    std::packaged_task<int()> task(
        [this, buffer, size, timeoutMs] { return device_.ReadInputReport(buffer, size, timeoutMs); });
    std::future<int> result = task.get_future();
    {
      std::lock_guard lock(mutex_);
      task_ = std::move(task);
    }
    wake_.notify_all();
    return result;
  }

  // One read of a whole report; a read that does not return fails the test instead of hanging.
  int Read(TReport& report, int timeoutMs) {
    report.assign(kLengths.Input, 0xEE);
    std::future<int> read = Start(report.data(), report.size(), timeoutMs);
    if (read.wait_for(kGenerous) != std::future_status::ready) {
      ADD_FAILURE() << "the read did not return";
      device_.CancelIo();  // lets the thread go on
    }
    const int got = read.get();
    if (got >= 0) report.resize(static_cast<std::size_t>(got));
    return got;
  }

 private:
  void Run() {
    for (;;) {
      std::packaged_task<int()> task;
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [&] { return stop_ || task_.valid(); });
        if (!task_.valid()) return;
        task = std::move(task_);
      }
      task();
    }
  }

  THidDevice& device_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::packaged_task<int()> task_;
  bool stop_ = false;
  std::thread thread_;
};

class WindowsHidDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override { Connect(kLengths); }
  void TearDown() override {
    reader_.reset();
    device_.reset();
  }

  // A new pipe whose client end the device takes over, and a read thread for it.
  void Connect(std::optional<TReportLengths> lengths) {
    reader_.reset();
    static std::atomic<int> counter{0};
    const std::string name =
        "\\\\.\\pipe\\qm-winhid-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
    deviceEnd_ =
        TWinHandle(CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX,
                                    PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr));
    ASSERT_TRUE(deviceEnd_);
    HANDLE client = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(client, INVALID_HANDLE_VALUE);
    device_ = TWinHidDevice::Adopt(client, lengths);
    ASSERT_TRUE(device_);
    reader_ = std::make_unique<TReadThread>(*device_);
  }

  // The device sends one input report.
  void Send(const TReport& report) {
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(deviceEnd_.Get(), report.data(), static_cast<DWORD>(report.size()), &written, nullptr));
    ASSERT_EQ(written, report.size());
  }

  // The output report the device got; empty when none is waiting (never blocks).
  TReport Received() {
    DWORD waiting = 0;
    if (!PeekNamedPipe(deviceEnd_.Get(), nullptr, 0, nullptr, &waiting, nullptr) || waiting == 0) return {};
    TReport report(4096);
    DWORD got = 0;
    if (!ReadFile(deviceEnd_.Get(), report.data(), static_cast<DWORD>(report.size()), &got, nullptr)) return {};
    report.resize(got);
    return report;
  }

  // Destroys the device on another thread: a destructor that hangs fails the test.
  void DestroyDevice() {
    auto destroyed = std::async(std::launch::async, [&] { device_.reset(); });
    ASSERT_EQ(destroyed.wait_for(kGenerous), std::future_status::ready) << "the destructor hangs";
  }

  TWinHandle deviceEnd_;
  std::unique_ptr<TWinHidDevice> device_;
  std::unique_ptr<TReadThread> reader_;
};

TEST_F(WindowsHidDeviceTest, ReadsTheReportsThatArriveWhole) {
  Send(Report(0x10, 65));
  TReport report;
  EXPECT_EQ(reader_->Read(report, kGenerousMs), 65);
  EXPECT_EQ(report, Report(0x10, 65));

  // A smaller buffer gets the start of the report.
  Send(Report(0x40, 65));
  std::uint8_t start[8] = {};
  std::future<int> read = reader_->Start(start, sizeof start, kGenerousMs);
  ASSERT_EQ(read.wait_for(kGenerous), std::future_status::ready);
  EXPECT_EQ(read.get(), 8);
  EXPECT_EQ(TReport(start, start + 8), Report(0x40, 8));
}

TEST_F(WindowsHidDeviceTest, AReadThatTimesOutStaysPendingAndNoReportIsLost) {
  TReport report;
  EXPECT_EQ(reader_->Read(report, 0), 0);
  EXPECT_EQ(reader_->Read(report, 30), 0);

  Send(Report(0x20, 65));
  Send(Report(0x30, 65));
  EXPECT_EQ(reader_->Read(report, kGenerousMs), 65);
  EXPECT_EQ(report, Report(0x20, 65));
  EXPECT_EQ(reader_->Read(report, kGenerousMs), 65);
  EXPECT_EQ(report, Report(0x30, 65));
  EXPECT_EQ(reader_->Read(report, 0), 0);
}

// The system cancels the read a thread left pending when that thread ends; the next read, on
// another thread, starts one afresh instead of failing.
TEST_F(WindowsHidDeviceTest, AReadLeftPendingByAThreadThatEndedIsStartedAgain) {
  auto shortLived = std::make_unique<TReadThread>(*device_);
  TReport report;
  EXPECT_EQ(shortLived->Read(report, 10), 0);
  shortLived.reset();

  Send(Report(0x20, 65));
  EXPECT_EQ(reader_->Read(report, kGenerousMs), 65);
  EXPECT_EQ(report, Report(0x20, 65));
}

TEST_F(WindowsHidDeviceTest, CancelIoEndsABlockedReadAndEveryLaterOne) {
  TReport report(kLengths.Input);
  std::future<int> blocked = reader_->Start(report.data(), report.size(), -1);
  // Usually the read is blocked by now; if not, it fails at once all the same.
  EXPECT_EQ(blocked.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
  device_->CancelIo();
  ASSERT_EQ(blocked.wait_for(kGenerous), std::future_status::ready);
  EXPECT_EQ(blocked.get(), -1);

  Send(Report(0x50, 65));
  EXPECT_EQ(reader_->Read(report, kGenerousMs), -1) << "a report that is there does not undo the cancel";
  EXPECT_EQ(reader_->Read(report, -1), -1);
  // Writing goes on.
  EXPECT_EQ(device_->WriteOutputReport(Report(0x60, 65).data(), 65), 65);
  EXPECT_EQ(Received(), Report(0x60, 65));
  DestroyDevice();
}

TEST_F(WindowsHidDeviceTest, DestroyingTheDeviceEndsAPendingRead) {
  TReport report;
  ASSERT_EQ(reader_->Read(report, 10), 0);  // pending, and its thread is still there
  DestroyDevice();
  // The handle is closed: the device's end has no reader any more.
  const TReport late = Report(0x70, 65);
  DWORD written = 0;
  EXPECT_FALSE(WriteFile(deviceEnd_.Get(), late.data(), static_cast<DWORD>(late.size()), &written, nullptr));
}

TEST_F(WindowsHidDeviceTest, ReadsFailOnceTheDeviceIsGone) {
  TReport report;
  ASSERT_EQ(reader_->Read(report, 10), 0);  // pending while the device goes
  deviceEnd_ = TWinHandle();
  EXPECT_EQ(reader_->Read(report, kGenerousMs), -1);
  EXPECT_EQ(reader_->Read(report, kGenerousMs), -1);
  EXPECT_EQ(device_->WriteOutputReport(Report(0x60, 65).data(), 65), -1);
}

TEST_F(WindowsHidDeviceTest, AShortOutputReportIsPaddedToTheOutputLength) {
  const TReport data = {0x00, 0x03, 'a', 'b', 'c'};
  EXPECT_EQ(device_->WriteOutputReport(data.data(), data.size()), 5) << "the caller's length";
  TReport expected(65, 0);
  std::copy(data.begin(), data.end(), expected.begin());
  EXPECT_EQ(Received(), expected);

  EXPECT_EQ(device_->WriteOutputReport(Report(0x11, 65).data(), 65), 65);
  EXPECT_EQ(Received(), Report(0x11, 65));
}

TEST_F(WindowsHidDeviceTest, CapabilitiesAsGivenAndHidRequestsThatFail) {
  std::uint16_t length = 0;
  EXPECT_TRUE(device_->GetFeatureReportByteLength(length));
  EXPECT_EQ(length, kLengths.Feature);
  // A pipe knows no HID requests: each fails, and none hangs.
  TReport feature = Report(0x00, 65);
  EXPECT_EQ(device_->GetFeatureReport(feature.data(), feature.size()), -1);
  EXPECT_EQ(device_->SetFeatureReport(feature.data(), feature.size()), -1);
  TAttributes attributes;
  EXPECT_FALSE(device_->GetAttributes(attributes));
  std::string text;
  EXPECT_FALSE(device_->GetProductString(text));

  // Without known capabilities there is no feature length and no report length to read with.
  Connect(std::nullopt);
  EXPECT_FALSE(device_->GetFeatureReportByteLength(length));
  Send(Report(0x10, 65));
  TReport report;
  EXPECT_EQ(reader_->Read(report, 0), -1);
}

}  // namespace
}  // namespace qm::hid::win
