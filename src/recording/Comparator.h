// The limit comparator: every live reading is shown as a number and judged against the high and
// low limit texts the user typed; the verdict disc turns green "Pass" or red "Fail".
//
// The limits exist only as texts and are read as numbers each time a reading is judged. All texts
// use the decimal separator of the user's locale, which is passed in.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/Event.h"
#include "recording/RecordingTypes.h"

namespace qm {

// `v` in general form: the shortest text with at most 15 significant digits, with
// `decimalSeparator` and no thousands separators; fixed notation for magnitudes of at least
// 0.00001 with fewer than 15 digits before the point, scientific otherwise ("1E20", "1,5E-6").
// Zero (and a value that is no finite number) is "0".
std::string FormatGeneral(double v, std::string_view decimalSeparator);

// Key filter of the limit edits: digits, "+", "-", backspace and the first character of the
// decimal separator. Signs pass anywhere; the change check catches what forms no number.
bool LimitEditAcceptsKey(char key, std::string_view decimalSeparator);

// What an edit must show after a change check corrected its text.
struct TEditCorrection {
  std::string Text;
  int SelStart = 0;
  int SelLength = 0;
  friend bool operator==(const TEditCorrection&, const TEditCorrection&) = default;
};

// Change check of the limit edits: a lone sign (blanks aside) stands while the user goes on
// typing; any other text that is no number becomes "0", selected so the next key replaces it.
// nullopt when the text stands as it is.
std::optional<TEditCorrection> CheckLimitText(std::string_view text, std::string_view decimalSeparator);

inline constexpr TColor kPassColour = clGreen;
inline constexpr TColor kFailColour = clRed;

class TLimitComparator {
 public:
  explicit TLimitComparator(std::string decimalSeparator);

  // Shows `v` as the measured value, reads it back and judges it: high >= value >= low passes.
  void CheckLimits(double v);

  // The limit edits changed: the text is kept after the change check, whose correction (if any)
  // the edit must apply. The verdict stays until the next reading.
  std::optional<TEditCorrection> SetHighText(std::string_view text);
  std::optional<TEditCorrection> SetLowText(std::string_view text);

  const std::string& HighText() const { return highText_; }
  const std::string& LowText() const { return lowText_; }
  const std::string& CurValueText() const { return curValueText_; }
  // "PASS" before the first judgement, then "Pass" or "Fail".
  const std::string& Caption() const { return caption_; }
  TColor Colour() const { return colour_; }

  // Raised after each judgement, once the texts and the colour above are updated.
  TEvent<> OnChange;

 private:
  std::optional<TEditCorrection> SetLimitText(std::string& limit, std::string_view text);

  std::string separator_;
  std::string highText_ = "1000";
  std::string lowText_ = "-1000";
  std::string curValueText_ = "0";
  std::string caption_ = "PASS";
  TColor colour_ = kPassColour;
};

}  // namespace qm
