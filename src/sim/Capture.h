// Raw captures of meter output, for replaying a session without a meter.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "sim/SerialLine.h"
#include "sim/SimMeter.h"

namespace qm::sim {

// Everything the meter sends during the next `durationMs` of meter time, as one byte stream.
std::vector<std::uint8_t> RecordCapture(TSimMeter& meter, std::uint32_t durationMs);

// Writes RecordCapture(meter, durationMs) to `path` as raw bytes. False when the file cannot be
// written completely.
bool WriteCaptureFile(const std::filesystem::path& path, TSimMeter& meter, std::uint32_t durationMs);

// Plays a capture onto the meter end of a line as the meter sent it: at 9600 baud, in bursts of a
// few bytes, on its own thread, a frame (up to each 0D 0A) every `framePeriodMs` as the meter
// paces its frames (a capture keeps the bytes, not their timing); then the line falls silent.
// Commands from the host are taken and dropped. A capture can so be replayed as a device, through
// the whole stack.
class TCapturePlayer {
 public:
  // `listening`, when given, holds back the first byte until it is true (the bridge's UART is
  // enabled, so the host has opened it) and a moment more, so no frame goes to a closed port.
  TCapturePlayer(std::vector<std::uint8_t> capture, TSerialLine& line, std::uint32_t framePeriodMs = 500,
                 std::function<bool()> listening = nullptr);
  ~TCapturePlayer();
  TCapturePlayer(const TCapturePlayer&) = delete;
  TCapturePlayer& operator=(const TCapturePlayer&) = delete;

  void Start();
  // Stops at once; what was not yet sent is dropped.
  void Stop();
  // True once every byte of the capture is on the line.
  bool Finished() const;

 private:
  void Run();

  std::vector<std::uint8_t> capture_;
  TSerialLine& line_;
  std::uint32_t framePeriodMs_;
  std::function<bool()> listening_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::size_t sent_ = 0;
  std::thread thread_;
};

}  // namespace qm::sim
