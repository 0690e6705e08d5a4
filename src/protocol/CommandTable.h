// The meter's remote-control commands as the command panel offers them: each button and pop-up
// menu item with its object name, caption and code. Both front ends take their commands from here.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace qm {

struct TCommandButton {
  std::string_view Name;     // object name of the button
  std::string_view Caption;
  std::uint8_t Code;         // 0 for the buttons that open a pop-up menu
  int Top;                   // offset from the top of the command panel, in pixels
  std::string_view Menu;     // the pop-up menu it opens; empty for a command button
};

struct TCommandMenuItem {
  std::string_view Menu;
  std::string_view Name;
  std::string_view Caption;
  std::uint8_t Code;
};

inline constexpr int kCommandButtonWidth = 99;
inline constexpr int kCommandButtonHeight = 25;

// Top to bottom; the larger steps before 264, 320, 376 and 432 split the column into groups.
inline constexpr std::array<TCommandButton, 19> kCommandButtons = {{
    {"btnCmdMenu", "Menu", 67, 8, ""},
    {"btnCmdHarm", "Harm", 69, 32, ""},
    {"btnCmdSelect", "Select", 73, 56, ""},
    {"btnCmdSum", "Sum/Clear", 71, 80, ""},
    {"btnCmdUp", "Up", 68, 104, ""},
    {"btnCmdDown", "Down", 74, 128, ""},
    {"btnCmdMaxMinCur", "Max/Min/Cur", 75, 152, ""},
    {"btnCmdExitStatus", "Exit Status", 203, 176, ""},
    {"btnCmdHold", "Hold", 66, 200, ""},
    {"SpeedButton1", "Back Light", 194, 224, ""},
    {"btnCmdSaveData", "StopAuto/SaveData", 72, 264, ""},
    {"btnCmdAutoSaveData", "Auto Save Data", 200, 288, ""},
    {"btnCmdLoadMem", "StopAuto/LoadMem", 70, 320, ""},
    {"btnCmdAutoLoadMem", "Auto Load Memory", 198, 344, ""},
    {"btnCmdClearMem", "Clear Memory", 199, 376, ""},
    {"btnExportData", "ExportMemoryData", 87, 400, ""},
    {"btnCmdAutoPower", "Auto Power", 0, 432, "pmAutoPower"},
    {"btnCmdLight", "Back Light", 0, 456, "pmBackLight"},
    {"btnCmdFreqMode", "Freq Mode", 0, 480, "pmCmdFreqMode"},
}};

inline constexpr std::array<TCommandMenuItem, 11> kCommandMenuItems = {{
    {"pmAutoPower", "miCmdAutoPowerOff", "OFF", 76},
    {"pmAutoPower", "miCmdAutoPower10", "10mm", 77},
    {"pmAutoPower", "miCmdAutoPower20", "20mm", 78},
    {"pmAutoPower", "miCmdAutoPower30", "30mm", 79},
    {"pmBackLight", "miBackLightOFF", "OFF", 80},
    {"pmBackLight", "miBackLight10", "10s", 81},
    {"pmBackLight", "miBackLight20", "20s", 82},
    {"pmBackLight", "miBackLight30", "30s", 83},
    {"pmCmdFreqMode", "miFreqModeAuto", "Auto", 84},
    {"pmCmdFreqMode", "miFreqMode50", "50Hz", 85},
    {"pmCmdFreqMode", "miFreqMode60", "60Hz", 86},
}};

// The code a user names: a number (decimal or 0x..) from 0 to 255, or the object name of a command
// button or menu item ("btnCmdHold", "miFreqMode50"), or a command button's caption ("Hold"), in
// any letter case. nullopt for anything else, and for the buttons that only open a menu.
std::optional<std::uint8_t> CommandCodeFromText(std::string_view text);

}  // namespace qm
