#include "devices/ReportDescriptor.h"

#include <algorithm>
#include <array>
#include <limits>
#include <map>
#include <vector>

namespace qm::hid {
namespace {

enum TReportKind { rkInput, rkOutput, rkFeature, rkCount };

// The global items that decide report lengths; Push and Pop save and restore them together.
struct TGlobals {
  std::uint32_t ReportSize = 0;
  std::uint32_t ReportId = 0;
  std::uint32_t ReportCount = 0;
};

// Item prefixes with the two size bits cleared.
constexpr std::uint8_t kInput = 0x80;
constexpr std::uint8_t kOutput = 0x90;
constexpr std::uint8_t kFeature = 0xB0;
constexpr std::uint8_t kReportSize = 0x74;
constexpr std::uint8_t kReportId = 0x84;
constexpr std::uint8_t kReportCount = 0x94;
constexpr std::uint8_t kPush = 0xA4;
constexpr std::uint8_t kPop = 0xB4;
constexpr std::uint8_t kLongItem = 0xFE;  // followed by its data size, its tag and the data

constexpr std::array<std::size_t, 4> kShortDataSize = {0, 1, 2, 4};

std::uint64_t SaturatingAdd(std::uint64_t a, std::uint64_t b) {
  return a > std::numeric_limits<std::uint64_t>::max() - b ? std::numeric_limits<std::uint64_t>::max() : a + b;
}

std::uint32_t ReadLittleEndian(const std::uint8_t* data, std::size_t size) {
  std::uint32_t value = 0;
  for (std::size_t i = size; i-- > 0;) value = (value << 8) | data[i];
  return value;
}

// Bits declared so far for each report kind and report ID.
class TReportBits {
 public:
  void Add(TReportKind kind, const TGlobals& globals) {
    // Both factors are below 2^32, so the product fits.
    const std::uint64_t bits = std::uint64_t{globals.ReportSize} * globals.ReportCount;
    if (bits == 0) return;
    auto& total = bits_[globals.ReportId][kind];
    total = SaturatingAdd(total, bits);
  }

  std::uint16_t ByteLength(TReportKind kind) const {
    std::uint64_t longest = 0;
    for (const auto& [id, perKind] : bits_) {
      if (perKind[kind] == 0) continue;
      // ceil(bits / 8) without overflow, plus the report-ID byte.
      longest = std::max(longest, SaturatingAdd(perKind[kind] / 8 + (perKind[kind] % 8 != 0), 1));
    }
    return static_cast<std::uint16_t>(std::min<std::uint64_t>(longest, std::numeric_limits<std::uint16_t>::max()));
  }

 private:
  std::map<std::uint32_t, std::array<std::uint64_t, rkCount>> bits_;
};

}  // namespace

TReportByteLengths ReportByteLengths(const std::uint8_t* desc, std::size_t len) {
  TReportBits reports;
  TGlobals globals;
  std::vector<TGlobals> pushed;
  std::size_t pos = 0;
  while (desc != nullptr && pos < len) {
    const std::uint8_t prefix = desc[pos];
    const std::size_t left = len - pos - 1;  // bytes after the prefix
    if (prefix == kLongItem) {
      if (left < 2 || left - 2 < desc[pos + 1]) break;
      pos += 3 + desc[pos + 1];
      continue;
    }
    const std::size_t dataSize = kShortDataSize[prefix & 0x03];
    if (left < dataSize) break;
    const std::uint32_t data = ReadLittleEndian(desc + pos + 1, dataSize);
    pos += 1 + dataSize;
    switch (prefix & 0xFC) {
      case kInput:
        reports.Add(rkInput, globals);
        break;
      case kOutput:
        reports.Add(rkOutput, globals);
        break;
      case kFeature:
        reports.Add(rkFeature, globals);
        break;
      case kReportSize:
        globals.ReportSize = data;
        break;
      case kReportId:
        globals.ReportId = data;
        break;
      case kReportCount:
        globals.ReportCount = data;
        break;
      case kPush:
        pushed.push_back(globals);
        break;
      case kPop:
        if (!pushed.empty()) {
          globals = pushed.back();
          pushed.pop_back();
        }
        break;
      default:
        break;  // collections, usages and the other globals do not shape the lengths
    }
  }
  return {reports.ByteLength(rkInput), reports.ByteLength(rkOutput), reports.ByteLength(rkFeature)};
}

std::uint16_t FeatureReportByteLength(const std::uint8_t* desc, std::size_t len) {
  return ReportByteLengths(desc, len).Feature;
}

}  // namespace qm::hid
