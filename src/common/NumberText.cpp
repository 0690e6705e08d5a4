#include "common/NumberText.h"

#include <charconv>
#include <cmath>
#include <string>

namespace qm {

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

std::optional<double> TryReadNumber(std::string_view text, std::string_view decimalSeparator) {
  text = TrimBlanks(text);
  if (text.empty()) return std::nullopt;

  // Rebuild the number in the "C" form that from_chars reads, validating the shape as we go.
  char buf[128];
  std::size_t n = 0;
  auto put = [&](char c) {
    if (n + 1 >= sizeof buf) return false;
    buf[n++] = c;
    return true;
  };
  std::size_t i = 0;
  bool negative = false;
  if (text[i] == '+' || text[i] == '-') {
    negative = text[i] == '-';
    ++i;
  }
  std::size_t mantissaDigits = 0;
  bool seenSeparator = false;
  while (i < text.size()) {
    char c = text[i];
    if (IsDigit(c)) {
      if (!put(c)) return std::nullopt;
      ++mantissaDigits;
      ++i;
    } else if (!seenSeparator && !decimalSeparator.empty() && text.substr(i).starts_with(decimalSeparator)) {
      seenSeparator = true;
      if (!put('.')) return std::nullopt;
      i += decimalSeparator.size();
    } else {
      break;
    }
  }
  if (mantissaDigits == 0) return std::nullopt;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    if (!put('e')) return std::nullopt;
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
      if (!put(text[i])) return std::nullopt;
      ++i;
    }
    std::size_t expDigits = 0;
    while (i < text.size() && IsDigit(text[i])) {
      if (!put(text[i])) return std::nullopt;
      ++expDigits;
      ++i;
    }
    if (expDigits == 0) return std::nullopt;
  }
  if (i != text.size()) return std::nullopt;

  double value = 0.0;
  auto [ptr, ec] = std::from_chars(buf, buf + n, value, std::chars_format::general);
  if (ptr != buf + n) return std::nullopt;
  if (ec == std::errc::result_out_of_range) {
    // Overflow reads as infinity, underflow as zero; neither is a displayable reading.
    return std::nullopt;
  }
  if (ec != std::errc{} || !std::isfinite(value)) return std::nullopt;
  return negative ? -value : value;
}

double ReadNumberOrZero(std::string_view text, std::string_view decimalSeparator) {
  return TryReadNumber(text, decimalSeparator).value_or(0.0);
}

}  // namespace qm
