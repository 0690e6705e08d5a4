#include "recording/Comparator.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "common/NumberText.h"

namespace qm {

namespace {
constexpr int kSignificantDigits = 15;
constexpr int kSmallestFixedExponent = -5;  // 0.00001
constexpr int kLargestFixedExponent = 13;   // 14 digits before the point

}  // namespace

std::string FormatGeneral(double v, std::string_view decimalSeparator) {
  if (v == 0 || !std::isfinite(v)) return "0";
  // "-d.dddddddddddddde±x": the value rounded to 15 significant digits.
  char buf[40];
  const auto result =
      std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, kSignificantDigits - 1);
  const std::string_view text(buf, static_cast<std::size_t>(result.ptr - buf));
  const bool negative = text.front() == '-';
  const std::size_t e = text.find('e');
  std::string digits;
  for (char c : text.substr(0, e))
    if (c >= '0' && c <= '9') digits += c;
  digits.erase(digits.find_last_not_of('0') + 1);
  // to_chars writes no terminator: read the exponent within the text ("+" is not from_chars').
  std::string_view expText = text.substr(e + 1);
  if (!expText.empty() && expText.front() == '+') expText.remove_prefix(1);
  int exponent = 0;
  std::from_chars(expText.data(), expText.data() + expText.size(), exponent);

  std::string out = negative ? "-" : "";
  if (exponent < kSmallestFixedExponent || exponent > kLargestFixedExponent) {
    out += digits.front();
    if (digits.size() > 1) out.append(decimalSeparator).append(digits, 1);
    out += 'E';
    out += std::to_string(exponent);
  } else if (exponent < 0) {
    out.append("0")
        .append(decimalSeparator)
        .append(static_cast<std::size_t>(-exponent - 1), '0')
        .append(digits);
  } else {
    const auto whole = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= whole) {
      out.append(digits).append(whole - digits.size(), '0');
    } else {
      out.append(digits, 0, whole).append(decimalSeparator).append(digits, whole);
    }
  }
  return out;
}

bool LimitEditAcceptsKey(char key, std::string_view decimalSeparator) {
  return (key >= '0' && key <= '9') || key == '+' || key == '-' || key == '\b' ||
         (!decimalSeparator.empty() && key == decimalSeparator.front());
}

std::optional<TEditCorrection> CheckLimitText(std::string_view text, std::string_view decimalSeparator) {
  const std::string_view trimmed = TrimBlanks(text);
  if (trimmed == "+" || trimmed == "-") return std::nullopt;
  if (TryReadNumber(text, decimalSeparator)) return std::nullopt;
  return TEditCorrection{"0", 0, 1};
}

TLimitComparator::TLimitComparator(std::string decimalSeparator) : separator_(std::move(decimalSeparator)) {}

void TLimitComparator::CheckLimits(double v) {
  curValueText_ = FormatGeneral(v, separator_);
  // Judged as shown: the value read back from its text, rounded to what the user sees.
  const double cur = ReadNumberOrZero(curValueText_, separator_);
  const double high = ReadNumberOrZero(highText_, separator_);
  const double low = ReadNumberOrZero(lowText_, separator_);
  const bool pass = cur <= high && cur >= low;
  caption_ = pass ? "Pass" : "Fail";
  colour_ = pass ? kPassColour : kFailColour;
  OnChange.Raise();
}

std::optional<TEditCorrection> TLimitComparator::SetLimitText(std::string& limit, std::string_view text) {
  auto correction = CheckLimitText(text, separator_);
  limit = correction ? correction->Text : std::string(text);
  return correction;
}

std::optional<TEditCorrection> TLimitComparator::SetHighText(std::string_view text) {
  return SetLimitText(highText_, text);
}

std::optional<TEditCorrection> TLimitComparator::SetLowText(std::string_view text) {
  return SetLimitText(lowText_, text);
}

}  // namespace qm
