#include "sim/SimMeterRunner.h"

#include <algorithm>
#include <chrono>

namespace qm::sim {
namespace {

// The thread sends what has left the wire in bursts of about this many bytes rather than byte by
// byte, and looks for commands at least this often.
constexpr std::size_t kBurstBytes = 8;
constexpr std::uint64_t kCommandPollUs = 10'000;
constexpr std::size_t kReceiveMax = 256;

}  // namespace

TLinePacer::TLinePacer(std::uint32_t baud, std::uint32_t bitsPerByte)
    : bitsPerByte_(std::max<std::uint32_t>(bitsPerByte, 1)), baud_(std::max<std::uint32_t>(baud, 1)) {}

std::uint64_t TLinePacer::CompletionOf(std::uint64_t index) const {
  const std::uint64_t bits = (index + 1) * bitsPerByte_ * 1'000'000;
  return runStartUs_ + (bits + baud_ - 1) / baud_;
}

void TLinePacer::Queue(const std::vector<std::uint8_t>& bytes, std::uint64_t atUs) {
  if (bytes.empty()) return;
  if (runBytes_ == 0 || atUs >= CompletionOf(runBytes_ - 1)) {
    runStartUs_ = atUs;  // the line was idle: a new busy stretch begins
    runBytes_ = 0;
  }
  for (std::uint8_t b : bytes) queue_.emplace_back(b, CompletionOf(runBytes_++));
}

std::vector<std::uint8_t> TLinePacer::TakeDue(std::uint64_t nowUs) {
  std::vector<std::uint8_t> due;
  while (!queue_.empty() && queue_.front().second <= nowUs) {
    due.push_back(queue_.front().first);
    queue_.pop_front();
  }
  return due;
}

std::uint64_t TLinePacer::DueAt(std::size_t count) const {
  if (queue_.empty()) return 0;
  return queue_[std::min(count, queue_.size()) - 1].second;
}

TSimMeterRunner::TSimMeterRunner(TSimMeter& meter, TSerialLine& line, TPacing pacing)
    : meter_(meter), line_(line), pacing_(pacing) {}

TSimMeterRunner::~TSimMeterRunner() { Stop(); }

bool TSimMeterRunner::Start() {
  if (pacing_ != TPacing::RealTime || Running()) return false;
  stop_ = false;
  thread_ = std::thread([this] { Run(); });
  return true;
}

void TSimMeterRunner::Stop() {
  if (!Running()) return;
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

bool TSimMeterRunner::Advance(std::uint32_t ms) {
  if (pacing_ != TPacing::Instant) return false;
  std::lock_guard lock(mutex_);
  TakeCommands();
  for (const TChunk& c : meter_.Produce(ms)) line_.toHost.Send(c.bytes.data(), c.bytes.size(), kMeterBaud);
  return true;
}

void TSimMeterRunner::TakeCommands() {
  std::uint8_t buffer[kReceiveMax];
  while (std::size_t n = line_.toMeter.Receive(buffer, sizeof buffer, std::chrono::milliseconds(0), kMeterBaud)) {
    meter_.ReceiveBytes(buffer, n);
  }
}

void TSimMeterRunner::Run() {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point wallStart = Clock::now();
  std::unique_lock lock(mutex_);
  const std::uint64_t meterStartUs = meter_.Now() * 1000;
  TLinePacer pacer(kMeterBaud);
  while (!stop_) {
    const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - wallStart);
    const std::uint64_t nowUs = meterStartUs + static_cast<std::uint64_t>(elapsed.count());
    TakeCommands();
    meter_.Step((nowUs + 999) / 1000);
    for (const TChunk& c : meter_.TakeOutput()) pacer.Queue(c.bytes, c.atMs * 1000);
    const std::vector<std::uint8_t> due = pacer.TakeDue(nowUs);
    line_.toHost.Send(due.data(), due.size(), kMeterBaud);

    std::uint64_t wakeUs = std::min(nowUs + kCommandPollUs, meter_.NextEventAt() * 1000);
    if (!pacer.Empty()) wakeUs = std::min(wakeUs, pacer.DueAt(kBurstBytes));
    wakeUs = std::max(wakeUs, nowUs);
    wake_.wait_until(lock, wallStart + std::chrono::microseconds(wakeUs - meterStartUs), [this] { return stop_; });
  }
}

}  // namespace qm::sim
