// The one conversion of meter and log texts for display. Those texts are 8-bit bytes in the meter's
// code page (the Chinese ANSI code page 936, GBK: the phase-angle unit is the two bytes 0xA1 0xA3);
// the core keeps and files them as bytes and converts only where a person reads them. Windows shows
// 8-bit texts through its ANSI code page, and the program there does the same (936 on a Chinese
// system); elsewhere it reads them as code page 936, through iconv.
#pragma once

#include <string>
#include <string_view>

namespace qm {

// `bytes` as UTF-8. ASCII passes unchanged; a byte that starts no valid code-page character reads
// as the Latin-1 character of the same value, so nothing is ever dropped.
std::string MeterTextToUtf8(std::string_view bytes);

}  // namespace qm
