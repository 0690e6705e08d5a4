// Raw captures of meter output, for replaying a session without a meter.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "sim/SimMeter.h"

namespace qm::sim {

// Everything the meter sends during the next `durationMs` of meter time, as one byte stream.
std::vector<std::uint8_t> RecordCapture(TSimMeter& meter, std::uint32_t durationMs);

// Writes RecordCapture(meter, durationMs) to `path` as raw bytes. False when the file cannot be
// written completely.
bool WriteCaptureFile(const std::filesystem::path& path, TSimMeter& meter, std::uint32_t durationMs);

}  // namespace qm::sim
