// Reading display texts as numbers, independent of the process locale.
//
// Every caller that turns a displayed text into a number (the live reading, the chart values, the
// limit comparator) goes through here, with the decimal separator passed in. strtod and friends
// follow the process locale and are never used for this.
#pragma once

#include <optional>
#include <string_view>

namespace qm {

// Reads `text` as a decimal number written with `decimalSeparator`: leading and trailing blanks
// (codes 1..32) allowed, an optional sign, digits with at most one separator, an optional exponent
// ("E" or "e", optional sign, digits). Anything else (empty, blanks only, letters, a lone sign,
// a "." when the separator is ",", inf/nan, hex) gives nullopt.
std::optional<double> TryReadNumber(std::string_view text, std::string_view decimalSeparator);

// As TryReadNumber, with 0 for text that does not read as a number.
double ReadNumberOrZero(std::string_view text, std::string_view decimalSeparator);

}  // namespace qm
