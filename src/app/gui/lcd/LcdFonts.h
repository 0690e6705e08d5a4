// The fonts of the LCD panel, bundled with the program so that every machine draws the panel alike:
// DSEG7 Classic for the seven-segment faces and Liberation Sans (Arial's metrics) for the labels.
// Both are under the SIL Open Font License 1.1; the texts are in fonts/ and in the resources.
#pragma once

#include <QString>

namespace qm::gui {

// The family names the panel asks for. Both seven-segment names resolve to the bundled DSEG7
// Classic, and Arial to Liberation Sans where Arial itself is not installed.
inline constexpr char kMainSegmentFamily[] = "Tesmar7SegFont";
inline constexpr char kMarkSegmentFamily[] = "dorvik7SegFont";
inline constexpr char kLabelFamily[] = "Arial";

// The real families behind those names.
inline constexpr char kSegmentFontFamily[] = "DSEG7 Classic";
inline constexpr char kLabelFontFamily[] = "Liberation Sans";

// Loads the bundled fonts into the application's font database and sets up the substitutions.
// Needs a QGuiApplication. The first call does the work; later calls only return its result, true
// when every bundled font loaded.
bool RegisterLcdFonts();

}  // namespace qm::gui
