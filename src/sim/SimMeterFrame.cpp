#include "sim/SimMeterFrame.h"

#include <algorithm>
#include <numeric>

namespace qm::sim {
namespace {

constexpr std::uint8_t kCommandLength = 0x04;
// Bytes behind the length byte up to and including the sum, as the command frame counts them.
constexpr std::uint8_t kMeterFrameLength = 0x1E;
constexpr std::size_t kSumOffset = 31;

std::uint8_t Bits(bool b0, bool b1, bool b2, bool b3) {
  return static_cast<std::uint8_t>((b0 ? 1 : 0) | (b1 ? 2 : 0) | (b2 ? 4 : 0) | (b3 ? 8 : 0));
}

void PutText(std::uint8_t* out, std::string_view text, std::size_t width) {
  const std::string fitted = FitDisplay(text, width);
  std::copy(fitted.begin(), fitted.end(), out);
}

}  // namespace

std::string FitDisplay(std::string_view text, std::size_t width) {
  if (text.size() >= width) return std::string(text.substr(0, width));
  return std::string(width - text.size(), ' ') + std::string(text);
}

std::array<std::uint8_t, 5> TAnnunciators::StatusBytes() const {
  return {Bits(hold, false, lowBattery, warning), Bits(autoPowerOff, markB2, markB1, false),
          Bits(memClear, memFull, mem, false), Bits(false, false, false, false), Bits(min, max, timeFormat, w)};
}

std::uint8_t FunctionByte(TFunMode function) {
  const int ordinal = function;
  return static_cast<std::uint8_t>(ordinal <= fmVTHDf ? '0' + (ordinal - fmPWRP) : 'a' + (ordinal - fmVTHDr));
}

std::array<std::uint8_t, kMeterFrameSize> EncodeMeterFrame(const TMeterFrame& frame) {
  std::array<std::uint8_t, kMeterFrameSize> b{};
  b[0] = kFrameStart1;
  b[1] = kFrameStart2;
  b[2] = kMeterFrameLength;
  b[3] = frame.type;
  b[4] = FunctionByte(frame.function);
  PutText(&b[5], frame.screen.aux, kAuxWidth);
  PutText(&b[8], frame.screen.main, kDisplayWidth);
  PutText(&b[14], frame.screen.sub1, kDisplayWidth);
  PutText(&b[20], frame.screen.sub2, kDisplayWidth);
  std::copy(frame.status.begin(), frame.status.end(), &b[26]);
  const unsigned sum = std::accumulate(b.begin(), b.begin() + kSumOffset, 0u);
  b[31] = static_cast<std::uint8_t>(sum >> 8);
  b[32] = static_cast<std::uint8_t>(sum & 0xFF);
  b[33] = 0x0D;
  b[34] = 0x0A;
  return b;
}

void TCommandReader::Feed(const std::uint8_t* data, std::size_t size, std::vector<TCommand>& commands) {
  for (std::size_t i = 0; i < size; ++i) {
    pending_.push_back(data[i]);
    Scan(commands);
  }
}

void TCommandReader::Scan(std::vector<TCommand>& commands) {
  static constexpr std::uint8_t kHeader[] = {kFrameStart1, kFrameStart2, kCommandLength};
  while (!pending_.empty()) {
    const std::size_t checked = std::min(pending_.size(), std::size(kHeader));
    if (!std::equal(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(checked), kHeader)) {
      pending_.erase(pending_.begin());
      continue;
    }
    if (pending_.size() < kCommandFrameSize) return;
    const unsigned sum = std::accumulate(pending_.begin(), pending_.begin() + 5, 0u);
    if (sum == (pending_[5] * 256u + pending_[6])) {
      commands.push_back({pending_[3], pending_[4]});
      pending_.clear();
      return;
    }
    pending_.erase(pending_.begin());
  }
}

}  // namespace qm::sim
