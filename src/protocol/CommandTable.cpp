#include "protocol/CommandTable.h"

#include <charconv>

namespace qm {

namespace {

bool SameLetters(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

std::optional<std::uint8_t> CommandCodeFromText(std::string_view text) {
  if (text.empty()) return std::nullopt;
  int base = 10;
  std::string_view digits = text;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    base = 16;
    digits.remove_prefix(2);
  }
  unsigned value = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
  if (ec == std::errc() && end == digits.data() + digits.size()) {
    if (value > 255) return std::nullopt;
    return static_cast<std::uint8_t>(value);
  }
  for (const TCommandButton& b : kCommandButtons)
    if (b.Code != 0 && (SameLetters(text, b.Name) || SameLetters(text, b.Caption))) return b.Code;
  for (const TCommandMenuItem& m : kCommandMenuItems)
    if (SameLetters(text, m.Name)) return m.Code;
  return std::nullopt;
}

}  // namespace qm
