// Runs a simulated meter against the meter end of a simulated serial line.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "sim/SerialLine.h"
#include "sim/SimMeter.h"

namespace qm::sim {

inline constexpr std::uint32_t kMeterBaud = 9600;

// When bytes queued on a UART have left the wire: one start bit, eight data bits and one stop bit
// per byte, back to back while there is something to send. Times are in microseconds.
class TLinePacer {
 public:
  explicit TLinePacer(std::uint32_t baud, std::uint32_t bitsPerByte = 10);

  // Queues bytes handed to the transmitter at `atUs`; they follow whatever is still going out.
  void Queue(const std::vector<std::uint8_t>& bytes, std::uint64_t atUs);
  // Takes the bytes that have completely left the wire by `nowUs`.
  std::vector<std::uint8_t> TakeDue(std::uint64_t nowUs);
  // Time by which the first `count` queued bytes are out (all of them when fewer are queued);
  // only meaningful when !Empty().
  std::uint64_t DueAt(std::size_t count) const;
  bool Empty() const { return queue_.empty(); }

 private:
  std::uint64_t CompletionOf(std::uint64_t index) const;

  std::uint64_t bitsPerByte_;
  std::uint64_t baud_;
  std::uint64_t runStartUs_ = 0;  // the line has been busy without a break since then
  std::uint64_t runBytes_ = 0;
  std::deque<std::pair<std::uint8_t, std::uint64_t>> queue_;  // byte, completion time
};

enum class TPacing : std::uint8_t {
  RealTime,  // own thread; meter time follows the clock and bytes go out as fast as 9600 baud allows
  Instant,   // no thread; the caller moves meter time with Advance and bytes appear at once
};

// Feeds the meter with the bytes on `line.toMeter` and puts its output on `line.toHost`, at the
// meter's 9600 baud. The meter must not be touched directly while a real-time runner runs: use
// Access.
class TSimMeterRunner {
 public:
  TSimMeterRunner(TSimMeter& meter, TSerialLine& line, TPacing pacing);
  ~TSimMeterRunner();
  TSimMeterRunner(const TSimMeterRunner&) = delete;
  TSimMeterRunner& operator=(const TSimMeterRunner&) = delete;

  // Real time only: starts the thread. False for an instant runner or one already running.
  bool Start();
  // Stops and joins the thread at once; bytes not yet on the wire are dropped, as when the meter
  // is switched off. Nothing happens when not running.
  void Stop();
  bool Running() const { return thread_.joinable(); }

  // Instant only (false otherwise): hands the meter the command bytes waiting on the line, moves its
  // clock on by `ms` and puts every chunk it sent meanwhile on the line, one Send per chunk.
  bool Advance(std::uint32_t ms);

  // Runs `f(meter)` while the runner's thread keeps off the meter.
  template <typename F>
  decltype(auto) Access(F&& f) {
    std::lock_guard lock(mutex_);
    return std::forward<F>(f)(meter_);
  }

 private:
  void Run();
  void TakeCommands();

  TSimMeter& meter_;
  TSerialLine& line_;
  TPacing pacing_;
  std::mutex mutex_;  // guards meter_ and stop_
  std::condition_variable wake_;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace qm::sim
