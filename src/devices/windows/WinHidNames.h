// Text handling of the Windows HID back end, kept apart from the system calls so that tests feed
// it directly: registry property values, the UTF-16 strings of HID devices and of device-change
// records, and the list of interfaces that a removal is matched against.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "devices/HidPlatform.h"

namespace qm::hid::win {

// The first string of a REG_MULTI_SZ value (a REG_SZ value is its own first string): the bytes up
// to the first zero, all `size` bytes when the terminator is missing. Empty for an empty list.
std::string FirstRegistryString(const char* data, std::size_t size);

// UTF-16 text up to its first zero, or `length` units when there is none, as 8-bit text in code
// page `codePage` (0 = CP_ACP, the ANSI code page). A character the code page lacks becomes '?'
// rather than a look-alike, as the Linux back end's Latin-1 text does.
std::string WideToAnsi(const wchar_t* text, std::size_t length, unsigned codePage = 0);

// dbcc_name of a device-interface record of `size` bytes (the record's dbch_size less the name's
// offset). An ANSI window's registration gets 8-bit text; UTF-16 text is recognised by its second
// byte being zero (interface paths start with "\\?\", never with a lone character) and converted.
std::string BroadcastNameText(const char* name, std::size_t size);

// `present` (the interfaces there now) followed by those of `known` (every interface the system
// remembers) whose instance identifier, in ASCII upper case, is none of the present ones; these
// get Present = false.
std::vector<TInterfaceEntry> WithAbsent(std::vector<TInterfaceEntry> present,
                                        const std::vector<TInterfaceEntry>& known);

}  // namespace qm::hid::win
