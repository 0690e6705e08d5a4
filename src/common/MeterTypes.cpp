#include "common/MeterTypes.h"

#include <array>

namespace qm {

namespace {
constexpr std::array<std::string_view, kFunModeCount> kIdents = {
    "fmNone",  "fmPWRP",  "fmPWRS",  "fmPWRQ",  "fmPF",    "fmRF",    "fmANG",  "fmFRQ",      "fmENRP",
    "fmPHSEQ", "fmVTHDf", "fmVTHDr", "fmVHARM", "fmITHDf", "fmITHDr", "fmIHARM", "fmExportEnd",
};
}  // namespace

std::string_view FunModeIdent(TFunMode mode) {
  return mode < kIdents.size() ? kIdents[mode] : std::string_view{};
}

std::string_view FunModeLogName(TFunMode mode) {
  std::string_view ident = FunModeIdent(mode);
  return ident.size() >= 2 ? ident.substr(2) : ident;
}

}  // namespace qm
