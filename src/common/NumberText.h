// Reading display texts as numbers, independent of the process locale.
//
// Every caller that turns a displayed text into a number (the live reading, the chart values, the
// limit comparator) goes through here, with the decimal separator passed in. strtod and friends
// follow the process locale and are never used for this.
#pragma once

#include <charconv>
#include <optional>
#include <string_view>

namespace qm {

// A blank: the space and the control characters, codes 1 to 32. The number reader, the text log
// files, the limit edits and the device paths all trim the same blanks. NUL is none: it ends a text
// (the log never holds one) rather than padding it.
constexpr bool IsBlank(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 1 && u <= 32;
}
constexpr std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// The key filter of every digit edit (sampling interval, chart range, page): digits and backspace.
constexpr bool DigitEditAcceptsKey(char key) { return (key >= '0' && key <= '9') || key == '\b'; }

// Reads `text` as a decimal number written with `decimalSeparator`: leading and trailing blanks
// (codes 1..32) allowed, an optional sign, digits with at most one separator, an optional exponent
// ("E" or "e", optional sign, digits). Anything else (empty, blanks only, letters, a lone sign,
// a "." when the separator is ",", inf/nan, hex) gives nullopt.
std::optional<double> TryReadNumber(std::string_view text, std::string_view decimalSeparator);

// As TryReadNumber, with 0 for text that does not read as a number.
double ReadNumberOrZero(std::string_view text, std::string_view decimalSeparator);

// Reads the whole of `text` as a decimal integer of type Int: an optional "-" (for signed types)
// and digits, nothing else, within the type's range. No blanks, no "+", no exponent.
template <typename Int>
std::optional<Int> TryReadInteger(std::string_view text) {
  Int n{};
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return n;
}

}  // namespace qm
