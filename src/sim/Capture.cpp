#include "sim/Capture.h"

#include <fstream>

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

}  // namespace qm::sim
