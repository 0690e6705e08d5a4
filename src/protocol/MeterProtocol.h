// The meter protocol core: reassembles and checks the meter's frames, builds command frames and
// decodes function, reading, status and memory records into the current MeterReading and the LCD
// panel. The GUI main window and the CLI each own one; it runs on the main thread only.
//
// Frames travel inside as uppercase hexadecimal text, two characters per byte, and each decoder
// takes its slice of that text.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "common/MeterTypes.h"
#include "common/Prompt.h"
#include "protocol/MeterProtocolPorts.h"

namespace qm {

// The meter's annunciators, in the order the status decoder sets them.
enum TAnnunciator : std::uint8_t {
  anHold,
  anLowBattery,
  anWarning,
  anAutoPowerOff,
  anPhaseMarkB2,
  anPhaseMarkB1,
  anMemoryClear,
  anMemoryFull,
  anMemory,
  anMemoryRecall,  // "MR"
  anSum,
  anSelect3,
  anSelect2,
  anSelect1,
  anMinimum,
  anMaximum,
  anTimeFormat,  // set: "h:mm", clear: "m:s"
  anWMark,
};

inline constexpr int kAnnunciatorCount = anWMark + 1;

class TMeterProtocol {
 public:
  // A meter frame is 35 bytes: 70 characters of hex text.
  static constexpr std::size_t kFrameChars = 70;
  // Received bytes kept while no terminator has come; beyond this the buffer is discarded.
  static constexpr std::size_t kMaxPendingBytes = 4096;

  static constexpr std::uint8_t kFrameLive = 0x4C;
  static constexpr std::uint8_t kFrameExport = 0x45;
  static constexpr std::uint8_t kFunExportEnd = 0x66;
  static constexpr std::uint8_t kCmdExportAck = 88;

  // `decimalSeparator` is the system locale's decimal separator, read once by the front end.
  explicit TMeterProtocol(std::string decimalSeparator = ".");

  TMeterProtocol(const TMeterProtocol&) = delete;
  TMeterProtocol& operator=(const TMeterProtocol&) = delete;

  // Ports; none is owned, each must outlive its use, nullptr restores the no-op stand-in.
  void SetView(IMeterView* view);
  void SetRecorder(IMeterRecorder* recorder);
  void SetPrompt(IPrompt* prompt);
  void SetWatchdog(ILinkWatchdog* watchdog);
  void SetWriter(ICommandWriter* writer);
  void SetLocaleDecimalSeparator(std::string separator) { decimalSeparator_ = std::move(separator); }

  // ---- frame codec ----
  // Consumes one received chunk: restarts the watchdog, buffers the bytes and hands on at most one
  // complete, checked frame.
  void CP21101ReceiveData(const std::uint8_t* data, std::int32_t size);
  // True when the 16-bit sum in the two bytes before the terminator matches the bytes before it.
  static bool CheckFrame(std::string_view frameText);
  // Builds one command frame and writes it; false when no device is open or the write failed.
  bool SendCommand(std::uint8_t code);

  // ---- dispatch and decoders ----
  void CP21041ReceiveData(std::string_view frameText);
  void CP21041ReceiveFunData(std::string_view function);
  void CP21041ReceiveMeterData(std::string_view reading);
  void CP21041ReceiveStatusData(std::string_view status);
  void CP21041ReceiveBuffData(std::string_view reading);

  // The four display texts of a 21-byte reading field, each followed by ";": auxiliary (decimal
  // point kept), main, first sub and second sub (decimal point replaced by `decimalSeparator`).
  // Bytes missing from a short field read as "0".
  static std::string DecodeDisplayFields(std::string_view reading, std::string_view decimalSeparator);

  // ---- cached setters: each touches the display only when its value changes ----
  void SetUnitText(std::string_view text);
  void SetSubUnit1Text(std::string_view text);
  void SetSubUnit2Text(std::string_view text);

  void SetAnnunciator(TAnnunciator flag, bool on);
  void SetHold(bool on) { SetAnnunciator(anHold, on); }
  void SetLowBattery(bool on) { SetAnnunciator(anLowBattery, on); }
  void SetWarning(bool on) { SetAnnunciator(anWarning, on); }
  void SetAutoPowerOff(bool on) { SetAnnunciator(anAutoPowerOff, on); }
  void SetPhaseMarkB2(bool on) { SetAnnunciator(anPhaseMarkB2, on); }
  void SetPhaseMarkB1(bool on) { SetAnnunciator(anPhaseMarkB1, on); }
  void SetMemoryClear(bool on) { SetAnnunciator(anMemoryClear, on); }
  void SetMemoryFull(bool on) { SetAnnunciator(anMemoryFull, on); }
  void SetMemory(bool on) { SetAnnunciator(anMemory, on); }
  void SetMemoryRecall(bool on) { SetAnnunciator(anMemoryRecall, on); }
  void SetSum(bool on) { SetAnnunciator(anSum, on); }
  void SetSelect3(bool on) { SetAnnunciator(anSelect3, on); }
  void SetSelect2(bool on) { SetAnnunciator(anSelect2, on); }
  void SetSelect1(bool on) { SetAnnunciator(anSelect1, on); }
  void SetMinimum(bool on) { SetAnnunciator(anMinimum, on); }
  void SetMaximum(bool on) { SetAnnunciator(anMaximum, on); }
  void SetTimeFormat(bool hourMinute) { SetAnnunciator(anTimeFormat, hourMinute); }
  void SetWMark(bool on) { SetAnnunciator(anWMark, on); }
  // The memory-download flag; it has no display of its own.
  void SetLogMode(bool on) { logMode_ = on; }

  // ---- the memory download and the log-mode button ----
  // "ExportMemoryData": asks, then sends the export request and disables the command panel until
  // the end marker comes. False when the user said No.
  bool btnExportDataClick();
  // The log-mode toggle after the user flipped it to `pressed`: sets the log mode; releasing it
  // also takes the export curtain away. The button's font goes back to the default colour.
  void btnPauseClick(bool pressed);

  static constexpr std::uint8_t kCmdExport = 87;
  static constexpr const char* kExportQuestion = "Are you sure that you want to export memory data?";

  // ---- read-only state for the front ends ----
  const MeterReading& Reading() const { return reading_; }
  bool LogMode() const { return logMode_; }
  bool Annunciator(TAnnunciator flag) const { return annunciators_[flag]; }
  // Visibility of CONok (CONokN shows the opposite); false at start.
  bool ActivityOn() const { return activityOn_; }
  // Export progress: the curtain's caption and the dots of lblLoading.
  std::string_view LoadLogCaption() const { return loadLogCaption_; }
  std::string_view LoadingText() const { return loadingText_; }
  // Received data not yet consumed, as hex text.
  std::string_view ReceiveBuffer() const { return std::string_view(receiveBuffer_).substr(head_); }
  std::uint16_t CommandSequence() const { return commandSequence_; }

 private:
  // Cuts the first terminated frame off the buffer; the length of its copied text when it passed
  // the check, else 0.
  std::size_t CutFrame(std::array<char, kFrameChars>& frame);
  void ConsumeFront(std::size_t chars);
  void ReceiveExportFrame(std::string_view frameText);
  void ToggleActivity();
  bool TakeDisplayItems(std::string_view reading);
  void ShowDisplayItems();
  void SetUnitField(AnsiString& field, TLcdControl control, std::string_view text);

  std::string decimalSeparator_;
  IMeterView* view_;
  IMeterRecorder* recorder_;
  IPrompt* prompt_;
  ILinkWatchdog* watchdog_;
  ICommandWriter* writer_;

  // Hex text of the received bytes; the pending part starts at head_, and no terminator starts
  // between head_ and scanFrom_ (so each character is searched once).
  std::string receiveBuffer_;
  std::size_t head_ = 0;
  std::size_t scanFrom_ = 0;
  std::uint16_t commandSequence_ = 1;

  MeterReading reading_;
  std::string displayScratch_;
  bool logMode_ = false;
  std::array<bool, kAnnunciatorCount> annunciators_{};
  bool activityOn_ = false;
  std::string loadLogCaption_ = "Data transfer completed";
  std::string loadingText_;
};

}  // namespace qm
