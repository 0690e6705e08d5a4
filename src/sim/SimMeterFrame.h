// The simulated meter's side of the wire: the frames it sends and the command frames it reads.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/MeterTypes.h"

namespace qm::sim {

inline constexpr std::uint8_t kFrameStart1 = 0xAB;
inline constexpr std::uint8_t kFrameStart2 = 0xCD;
inline constexpr std::size_t kMeterFrameSize = 35;
inline constexpr std::size_t kCommandFrameSize = 7;
inline constexpr std::uint8_t kLiveFrame = 0x4C;    // 'L'
inline constexpr std::uint8_t kExportFrame = 0x45;  // 'E'

inline constexpr std::size_t kAuxWidth = 3;
inline constexpr std::size_t kDisplayWidth = 6;

// The codes of the meter's buttons as they arrive in command frames.
enum TMeterCommand : std::uint8_t {
  mcHold = 0x42,
  mcMenu = 0x43,
  mcUp = 0x44,
  mcHarm = 0x45,
  mcLoadMem = 0x46,
  mcSumClear = 0x47,
  mcSaveData = 0x48,
  mcSelect = 0x49,
  mcDown = 0x4A,
  mcMaxMinCur = 0x4B,
  mcAutoPowerOff = 0x4C,
  mcAutoPower10 = 0x4D,
  mcAutoPower20 = 0x4E,
  mcAutoPower30 = 0x4F,
  mcBackLightOff = 0x50,
  mcBackLight10 = 0x51,
  mcBackLight20 = 0x52,
  mcBackLight30 = 0x53,
  mcFreqModeAuto = 0x54,
  mcFreqMode50 = 0x55,
  mcFreqMode60 = 0x56,
  mcExportMemory = 0x57,
  mcExportAck = 0x58,
  mcBackLight = 0xC2,
  mcAutoLoadMem = 0xC6,
  mcClearMemory = 0xC7,
  mcAutoSaveData = 0xC8,
  mcExitStatus = 0xCB,
};

// What the meter's LCD shows, as the characters it sends: the 3-character auxiliary display and the
// main and two sub displays of 6 characters, with the decimal point as its own 0x2E character.
struct TMeterScreen {
  std::string aux = std::string(kAuxWidth, ' ');
  std::string main = std::string(kDisplayWidth, ' ');
  std::string sub1 = std::string(kDisplayWidth, ' ');
  std::string sub2 = std::string(kDisplayWidth, ' ');

  bool operator==(const TMeterScreen&) const = default;
};

// Right-aligns `text` in a display of `width` characters (the meter's displays are right-aligned);
// a longer text loses its excess characters on the right.
std::string FitDisplay(std::string_view text, std::size_t width);

// The annunciators this meter drives. The MR, sum and selection marks exist on the LCD but this
// meter never lights them; their bits stay 0.
struct TAnnunciators {
  bool hold = false;
  bool lowBattery = false;
  bool warning = false;
  bool autoPowerOff = false;
  bool markB2 = false;
  bool markB1 = false;
  bool memClear = false;
  bool memFull = false;
  bool mem = false;
  bool min = false;
  bool max = false;
  bool timeFormat = false;  // energy time shown as h:mm instead of m:s
  bool w = false;

  // The five status bytes of a frame (bits 0 to 3 used).
  std::array<std::uint8_t, 5> StatusBytes() const;
};

// One frame as the meter composes it. `function` is fmPWRP..fmIHARM, or fmExportEnd for the end
// marker of a memory export.
struct TMeterFrame {
  std::uint8_t type = kLiveFrame;
  TFunMode function = fmPWRP;
  TMeterScreen screen;
  std::array<std::uint8_t, 5> status{};

  bool operator==(const TMeterFrame&) const = default;
};

// The function byte for fmPWRP..fmExportEnd: "0".."9", then "a".."f" (0x66 is the end marker).
std::uint8_t FunctionByte(TFunMode function);

// 35 bytes: AB CD, length, type, function, reading field, status, big-endian sum of offsets 0..30,
// 0D 0A.
std::array<std::uint8_t, kMeterFrameSize> EncodeMeterFrame(const TMeterFrame& frame);

struct TCommand {
  std::uint8_t code;
  std::uint8_t sequence;
};

// Reassembles command frames (AB CD 04 code seq sumHi sumLo) from the bytes the meter receives in
// chunks of any size. Bytes that cannot start a frame are skipped, and a frame with a wrong sum
// loses only its first byte, so a good frame right behind noise is still found.
class TCommandReader {
 public:
  void Feed(const std::uint8_t* data, std::size_t size, std::vector<TCommand>& commands);

 private:
  void Scan(std::vector<TCommand>& commands);
  std::vector<std::uint8_t> pending_;
};

}  // namespace qm::sim
