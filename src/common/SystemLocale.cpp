#include "common/SystemLocale.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <langinfo.h>

#include <clocale>
#endif

namespace qm {

namespace {

#ifdef _WIN32
std::string LocaleInfo(LCID locale, LCTYPE type) {
  char buffer[10] = {};  // zero-filled: a text that fills it still ends
  if (GetLocaleInfoA(locale, type, buffer, sizeof buffer - 1) == 0) return {};
  return buffer;
}
#endif

}  // namespace

std::string SystemDecimalSeparator() {
#ifdef _WIN32
  std::string point = LocaleInfo(LOCALE_SYSTEM_DEFAULT, LOCALE_SDECIMAL);
#else
  const char* c = std::localeconv()->decimal_point;
  std::string point = c ? c : "";
#endif
  return point.empty() ? "." : point;
}

std::string SystemTimeSeparator() {
#ifdef _WIN32
  std::string separator = LocaleInfo(LOCALE_USER_DEFAULT, LOCALE_STIME);
  return separator.empty() ? ":" : separator;
#else
  const char* format = nl_langinfo(T_FMT);
  return TimeSeparatorOfFormat(format ? format : "");
#endif
}

std::string TimeSeparatorOfFormat(std::string_view timeFormat) {
  // The hours may come with a flag or width ("%-H", "%02H"); "%T", "%R" and "%r" mean colons.
  for (std::size_t i = 0; i + 1 < timeFormat.size(); ++i) {
    if (timeFormat[i] != '%') continue;
    std::size_t k = i + 1;
    while (k < timeFormat.size() && std::string_view("-_0^#123456789").find(timeFormat[k]) != std::string_view::npos) ++k;
    if (k == timeFormat.size()) break;
    const char c = timeFormat[k];
    if (c == 'H' || c == 'I' || c == 'k' || c == 'l') {
      const std::size_t end = timeFormat.find('%', k + 1);
      if (end == std::string_view::npos || end == k + 1) break;
      return std::string(timeFormat.substr(k + 1, end - k - 1));
    }
    i = k;
  }
  return ":";
}

}  // namespace qm
