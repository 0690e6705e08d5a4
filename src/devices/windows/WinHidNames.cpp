#include "devices/windows/WinHidNames.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <utility>

#include "devices/uEnumerator.h"
#include "devices/windows/WinApi.h"

namespace qm::hid::win {
namespace {

// One conversion; the text is empty when the code page refuses the call.
std::string Convert(const wchar_t* text, int length, UINT codePage, DWORD flags, const char* defaultChar) {
  const int size = WideCharToMultiByte(codePage, flags, text, length, nullptr, 0, defaultChar, nullptr);
  if (size <= 0) return {};
  std::string converted(static_cast<std::size_t>(size), '\0');
  if (WideCharToMultiByte(codePage, flags, text, length, converted.data(), size, defaultChar, nullptr) != size)
    return {};
  return converted;
}

}  // namespace

std::string FirstRegistryString(const char* data, std::size_t size) {
  if (data == nullptr) return {};
  const void* zero = std::memchr(data, '\0', size);
  return std::string(data, zero ? static_cast<const char*>(zero) - data : size);
}

std::string WideToAnsi(const wchar_t* text, std::size_t length, unsigned codePage) {
  if (text == nullptr) return {};
  std::size_t units = 0;
  while (units < length && text[units] != L'\0') ++units;
  if (units == 0) return {};
  const int count = static_cast<int>(std::min<std::size_t>(units, 0x7FFFFFFF));
  // UTF-8 maps every character and takes neither a default character nor WC_NO_BEST_FIT_CHARS.
  const UINT resolved = codePage == CP_ACP ? GetACP() : codePage;
  if (resolved == CP_UTF8) return Convert(text, count, CP_UTF8, 0, nullptr);
  std::string converted = Convert(text, count, codePage, WC_NO_BEST_FIT_CHARS, "?");
  // The few code pages that refuse these flags still convert with the system's defaults.
  return converted.empty() ? Convert(text, count, codePage, 0, nullptr) : converted;
}

std::string BroadcastNameText(const char* name, std::size_t size) {
  if (name == nullptr || size == 0) return {};
  if (size >= 2 && name[0] != '\0' && name[1] == '\0') {
    std::wstring wide(size / sizeof(wchar_t), L'\0');
    std::memcpy(wide.data(), name, wide.size() * sizeof(wchar_t));  // the record need not be aligned for it
    return WideToAnsi(wide.data(), wide.size());
  }
  return FirstRegistryString(name, size);
}

std::vector<TInterfaceEntry> WithAbsent(std::vector<TInterfaceEntry> present,
                                        const std::vector<TInterfaceEntry>& known) {
  std::set<std::string> presentIds;
  for (const TInterfaceEntry& entry : present) presentIds.insert(TEnumerator::UpperCase(entry.InstanceId));
  for (const TInterfaceEntry& entry : known) {
    if (presentIds.count(TEnumerator::UpperCase(entry.InstanceId)) != 0) continue;
    TInterfaceEntry absent = entry;
    absent.Present = false;
    present.push_back(std::move(absent));
  }
  return present;
}

}  // namespace qm::hid::win
