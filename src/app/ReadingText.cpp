#include "app/ReadingText.h"

#include <array>

namespace qm {

namespace {
constexpr std::array<const char*, kAnnunciatorCount> kNames = {
    "HOLD", "BAT", "WARN", "APO",  "B2",  "B1",  "CLR", "FULL", "MEM",
    "MR",   "SUM", "SEL3", "SEL2", "SEL1", "MIN", "MAX", "h:mm", "W",
};

void AppendField(std::string& line, const char* label, const AnsiString& value, const AnsiString& unit) {
  line += "  ";
  line += label;
  line += '[';
  line += value;
  line += ']';
  if (!unit.empty()) {
    line += ' ';
    line += unit;
  }
}
}  // namespace

const char* AnnunciatorName(TAnnunciator flag) { return flag < kNames.size() ? kNames[flag] : "?"; }

std::string FormatReadingLine(const MeterReading& reading, const TMeterProtocol& protocol) {
  std::string line(FunModeLogName(reading.FunMode));
  AppendField(line, "aux", reading.AuxValue, {});
  AppendField(line, "main", reading.Value, reading.Unit);
  AppendField(line, "sub1", reading.SubValue1, reading.SubUnit1);
  AppendField(line, "sub2", reading.SubValue2, reading.SubUnit2);
  std::string flags;
  for (int i = 0; i < kAnnunciatorCount; ++i) {
    auto flag = static_cast<TAnnunciator>(i);
    if (!protocol.Annunciator(flag)) continue;
    if (!flags.empty()) flags += ' ';
    flags += AnnunciatorName(flag);
  }
  if (!flags.empty()) line += "  {" + flags + "}";
  return line;
}

}  // namespace qm
