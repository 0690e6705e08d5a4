// Feeds arbitrary bytes to both log file readers. Neither may crash; and whatever the XML reader
// accepts must come back unchanged through our own writer and reader.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "recording/LogFiles.h"

namespace {

void CheckXmlRoundTrip(const qm::TReadingLog& loaded) {
  qm::TReadingLog again;
  if (!qm::ParseXmlLog(qm::FormatXmlLog(loaded), again).Ok() || again.Count() != loaded.Count()) __builtin_trap();
  for (std::size_t row = 0; row < loaded.Count(); ++row)
    if (!(again.Record(row) == loaded.Record(row)) || again.RowState(row) != loaded.RowState(row)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  qm::TReadingLog text;
  qm::ParseTextLog(bytes, text);
  qm::FormatTextLog(text);

  qm::TReadingLog xml;
  if (qm::ParseXmlLog(bytes, xml).Ok()) CheckXmlRoundTrip(xml);
  return 0;
}
