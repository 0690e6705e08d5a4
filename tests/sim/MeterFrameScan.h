// Test-only reading of the meter's output and writing of command frames, kept independent of the
// simulator's own encoder so the tests check the wire format, not the code that produced it.
#pragma once

#include <array>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace qm::sim::test {

struct TScannedFrame {
  std::size_t offset = 0;  // where it starts in the scanned stream
  std::uint8_t type = 0;
  std::uint8_t function = 0;
  std::string aux, main, sub1, sub2;
  std::array<std::uint8_t, 5> status{};

  // Status byte 1..5, bit 0..3.
  bool Bit(int byte, int bit) const { return (status[byte - 1] >> bit) & 1; }
};

struct TScan {
  std::vector<TScannedFrame> frames;
  std::size_t skipped = 0;  // bytes that belonged to no good frame
};

// Finds every good 35-byte frame (AB CD ... sum 0D 0A); anything else is skipped byte by byte.
inline TScan ScanFrames(const std::vector<std::uint8_t>& s) {
  TScan scan;
  std::size_t i = 0;
  while (i < s.size()) {
    bool good = i + 35 <= s.size() && s[i] == 0xAB && s[i + 1] == 0xCD && s[i + 33] == 0x0D && s[i + 34] == 0x0A;
    if (good) {
      unsigned sum = 0;
      for (std::size_t k = 0; k < 31; ++k) sum += s[i + k];
      good = sum == s[i + 31] * 256u + s[i + 32];
    }
    if (!good) {
      ++scan.skipped;
      ++i;
      continue;
    }
    TScannedFrame f;
    f.offset = i;
    f.type = s[i + 3];
    f.function = s[i + 4];
    auto text = [&](std::size_t from, std::size_t n) {
      return std::string(s.begin() + i + from, s.begin() + i + from + n);
    };
    f.aux = text(5, 3);
    f.main = text(8, 6);
    f.sub1 = text(14, 6);
    f.sub2 = text(20, 6);
    for (int k = 0; k < 5; ++k) f.status[k] = s[i + 26 + k];
    scan.frames.push_back(f);
    i += 35;
  }
  return scan;
}

inline std::vector<std::uint8_t> CommandFrame(std::uint8_t code, std::uint8_t sequence = 1) {
  const unsigned sum = 0xAB + 0xCD + 0x04 + code + sequence;
  return {0xAB, 0xCD, 0x04, code, sequence, static_cast<std::uint8_t>(sum >> 8), static_cast<std::uint8_t>(sum)};
}

// A display text read as a number with "." as the decimal point; nothing for blanks or letters.
inline std::optional<double> DisplayNumber(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::nullopt;
  const std::string trimmed = text.substr(first, text.find_last_not_of(' ') + 1 - first);
  char* end = nullptr;
  const double value = std::strtod(trimmed.c_str(), &end);
  if (end != trimmed.c_str() + trimmed.size()) return std::nullopt;
  return value;
}

inline bool IsBlank(const std::string& text) { return text.find_first_not_of(' ') == std::string::npos; }

}  // namespace qm::sim::test
