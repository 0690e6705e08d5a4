// The regional settings the program's texts follow: the decimal separator of the readings and the
// time separator of the log's time stamps. Both are read where the front ends start, once.
#pragma once

#include <string>
#include <string_view>

namespace qm {

// The decimal separator of the system default locale. Windows: GetLocaleInfoA for the system
// default locale (0x0800), information type 14. Linux: the C library's locale, which the front
// end sets from the environment first. "." when the system says nothing.
std::string SystemDecimalSeparator();

// The time separator of the user's regional settings (Windows: LOCALE_STIME; Linux: the locale's
// time format). ":" when the system says nothing.
std::string SystemTimeSeparator();

// The time separator in a strftime time format (a locale's T_FMT): what stands between the hours
// and the minutes, "%H.%M.%S" giving "."; ":" when the format does not show it.
std::string TimeSeparatorOfFormat(std::string_view timeFormat);

}  // namespace qm
