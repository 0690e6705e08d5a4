#include "sim/Capture.h"

#include <algorithm>
#include <chrono>
#include <fstream>

#include "sim/SimMeterRunner.h"

namespace qm::sim {

std::vector<std::uint8_t> RecordCapture(TSimMeter& meter, std::uint32_t durationMs) {
  return Concat(meter.Produce(durationMs));
}

bool WriteCaptureFile(const std::filesystem::path& path, TSimMeter& meter, std::uint32_t durationMs) {
  const std::vector<std::uint8_t> bytes = RecordCapture(meter, durationMs);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  file.close();
  return static_cast<bool>(file);
}

TCapturePlayer::TCapturePlayer(std::vector<std::uint8_t> capture, TSerialLine& line, std::uint32_t framePeriodMs,
                               std::function<bool()> listening)
    : capture_(std::move(capture)), line_(line), framePeriodMs_(framePeriodMs), listening_(std::move(listening)) {}

TCapturePlayer::~TCapturePlayer() { Stop(); }

void TCapturePlayer::Start() {
  if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
}

void TCapturePlayer::Stop() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool TCapturePlayer::Finished() const {
  std::lock_guard lock(mutex_);
  return sent_ == capture_.size();
}

void TCapturePlayer::Run() {
  using Clock = std::chrono::steady_clock;
  constexpr std::size_t kBurst = 8;
  const auto perByte = std::chrono::microseconds(10'000'000 / kMeterBaud);  // ten bits a byte
  const auto period = std::chrono::milliseconds(framePeriodMs_);
  std::unique_lock lock(mutex_);
  if (listening_) {
    while (!stop_ && !listening_()) wake_.wait_for(lock, std::chrono::milliseconds(10), [this] { return stop_; });
    // The host purges the bridge's buffers while it opens it.
    wake_.wait_for(lock, std::chrono::milliseconds(200), [this] { return stop_; });
  }
  Clock::time_point frameStart = Clock::now();
  std::size_t frameFirst = 0;  // capture offset where the current frame began
  while (!stop_ && sent_ < capture_.size()) {
    std::uint8_t drop[64];
    while (line_.toMeter.Receive(drop, sizeof drop, std::chrono::milliseconds(0), kMeterBaud) > 0) {
    }
    // A burst ends early at a frame's terminator, so the next frame waits for its slot.
    std::size_t n = 0;
    bool frameEnd = false;
    while (n < kBurst && sent_ + n < capture_.size() && !frameEnd) {
      frameEnd = capture_[sent_ + n] == 0x0A && sent_ + n > 0 && capture_[sent_ + n - 1] == 0x0D;
      ++n;
    }
    line_.toHost.Send(capture_.data() + sent_, n, kMeterBaud);
    sent_ += n;
    Clock::time_point next = frameStart + perByte * static_cast<long>(sent_ - frameFirst);
    if (frameEnd) {
      frameStart = std::max(next, frameStart + period);
      frameFirst = sent_;
      next = frameStart;
    }
    wake_.wait_until(lock, next, [this] { return stop_; });
  }
}

}  // namespace qm::sim
