#include "protocol/MeterProtocol.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "common/NumberText.h"

namespace qm {

namespace {

using enum TLcdControl;

// ---- stand-ins for unset ports ----

class TNullView final : public IMeterView {
 public:
  void SetCaption(TLcdControl, std::string_view) override {}
  void SetWideCaption(TLcdControl, std::u16string_view) override {}
  void SetVisible(TLcdControl, bool) override {}
  void SetActivityIndicator(bool) override {}
  void SetPauseButton(bool, bool, std::string_view) override {}
  void SetCommandPanelEnabled(bool) override {}
};

class TNullRecorder final : public IMeterRecorder {
 public:
  void AppendReading(const MeterReading&, bool) override {}
  void TrackValueRange(double) override {}
  void CheckLimits(double) override {}
  bool IsSamplingTimerEnabled() const override { return false; }
};

class TNullWatchdog final : public ILinkWatchdog {
 public:
  void RestartWatchdog() override {}
};

class TNullWriter final : public ICommandWriter {
 public:
  bool IsOpen() const override { return false; }
  bool Write(const std::uint8_t*, std::int32_t) override { return false; }
};

TNullView gNullView;
TNullRecorder gNullRecorder;
TSilentPrompt gNullPrompt;
TNullWatchdog gNullWatchdog;
TNullWriter gNullWriter;

template <typename T>
T* OrDefault(T* port, T& fallback) {
  return port ? port : &fallback;
}

// ---- hex text ----

constexpr std::array<char, 512> MakeHexTable() {
  constexpr char kDigits[] = "0123456789ABCDEF";
  std::array<char, 512> table{};
  for (int b = 0; b < 256; ++b) {
    table[2 * b] = kDigits[b >> 4];
    table[2 * b + 1] = kDigits[b & 0x0F];
  }
  return table;
}
constexpr std::array<char, 512> kHexTable = MakeHexTable();

// Value of one hex digit; anything else counts as 0 (our own buffer only ever holds hex digits).
unsigned HexValue(char c) {
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
  if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
  return 0;
}

// Byte number `k` of a hex text; `missing` when the text ends before it.
std::uint8_t HexByteAt(std::string_view hex, std::size_t k, std::uint8_t missing = 0) {
  if (2 * k + 2 > hex.size()) return missing;
  return static_cast<std::uint8_t>(HexValue(hex[2 * k]) << 4 | HexValue(hex[2 * k + 1]));
}

constexpr std::string_view kStartText = "ABCD";
constexpr std::string_view kTerminatorText = "0D0A";

// Character slices of a frame's fields.
constexpr std::size_t kTypeByte = 3;
constexpr std::size_t kFunctionByte = 4;
std::string_view FunctionField(std::string_view frame) { return frame.substr(8, 2); }
std::string_view ReadingField(std::string_view frame) { return frame.substr(10, 42); }
std::string_view StatusField(std::string_view frame) { return frame.substr(52, 10); }

// ---- function byte ----

struct TFunctionRow {
  TFunMode mode;
  std::string_view unit, subUnit1, subUnit2;
  bool subAC;  // lcdAC2 and lcdAC3; lcdAC is shown for every function
  std::u16string_view cosSin;
  std::string_view time;
  bool rstA;
  std::u16string_view thd;
};

// Indexed by ordinal - 1, i.e. by function bytes "0".."9", "a".."e".
constexpr std::array<TFunctionRow, 15> kFunctions = {{
    {fmPWRP, "KW", "V", "A", true, u"", "", false, u""},
    {fmPWRS, "KVA", "V", "A", true, u"", "", false, u""},
    {fmPWRQ, "KVAr", "V", "A", true, u"", "", false, u""},
    {fmPF, "", "V", "A", true, u"COS\u0424", "", false, u""},
    {fmRF, "", "V", "A", true, u"SIN\u0424", "", false, u""},
    {fmANG, "\xA1\xA3", "V", "A", true, u"", "", false, u""},
    {fmFRQ, "Hz", "V", "A", true, u"", "", false, u""},
    {fmENRP, "KWh", "KW", "", true, u"", "m:s", false, u""},
    {fmPHSEQ, "V", "V", "V", true, u"", "", true, u""},
    {fmVTHDf, "V", "", "%f", false, u"", "", false, u"THD"},
    {fmVTHDr, "V", "", "%r", false, u"", "", false, u"THD"},
    {fmVHARM, "V", "", "%f", false, u"", "", false, u""},
    {fmITHDf, "A", "", "%f", false, u"", "", false, u"THD"},
    {fmITHDr, "A", "", "%r", false, u"", "", false, u"THD"},
    {fmIHARM, "A", "", "%f", false, u"", "", false, u""},
}};

const TFunctionRow* FindFunction(std::uint8_t byte) {
  if (byte >= '0' && byte <= '9') return &kFunctions[byte - '0'];
  if (byte >= 'a' && byte <= 'e') return &kFunctions[10 + byte - 'a'];
  return nullptr;
}

// ---- status bytes ----

struct TStatusBit {
  std::uint8_t byte;
  std::uint8_t bit;
  TAnnunciator flag;
};

// The order in which the setters run.
constexpr std::array<TStatusBit, kAnnunciatorCount> kStatusBits = {{
    {0, 0, anHold},        {0, 2, anLowBattery},  {0, 3, anWarning},    {1, 0, anAutoPowerOff},
    {1, 1, anPhaseMarkB2}, {1, 2, anPhaseMarkB1}, {2, 0, anMemoryClear}, {2, 1, anMemoryFull},
    {2, 2, anMemory},      {2, 3, anMemoryRecall}, {3, 0, anSum},       {3, 1, anSelect3},
    {3, 2, anSelect2},     {3, 3, anSelect1},     {4, 0, anMinimum},    {4, 1, anMaximum},
    {4, 2, anTimeFormat},  {4, 3, anWMark},
}};

struct TAnnunciatorDisplay {
  TLcdControl control;
  bool byCaption;  // false: shown / hidden; true: one of two captions on an always visible label
  std::string_view onCaption, offCaption;
};

// Indexed by TAnnunciator.
constexpr std::array<TAnnunciatorDisplay, kAnnunciatorCount> kAnnunciatorDisplays = {{
    {lcdHold, false, {}, {}},
    {lcdLowPower, false, {}, {}},
    {lcdWarning, false, {}, {}},
    {lcdAutoPower, false, {}, {}},
    {lcdRstB2, false, {}, {}},
    {lcdRstB1, false, {}, {}},
    {lcdMemClr, false, {}, {}},
    {lcdMemFull, false, {}, {}},
    {lcdMem, false, {}, {}},
    {lcdMr, false, {}, {}},
    {lcdSum, false, {}, {}},
    {lcdSelect3, false, {}, {}},
    {lcdSelect2, false, {}, {}},
    {lcdSelect1, false, {}, {}},
    {lcdMin, true, "MIN", ""},
    {lcdMax, true, "MAX", ""},
    {lcdTime, true, "h:mm", "m:s"},
    {lcdW, false, {}, {}},
}};

// ---- reading field ----

// Auxiliary, main, first sub and second sub display, in characters.
constexpr std::array<std::size_t, 4> kDisplayChars = {3, 6, 6, 6};
constexpr char kDecimalPoint = '.';

void AppendDisplayFields(std::string& out, std::string_view reading, std::string_view decimalSeparator) {
  std::size_t k = 0;
  for (std::size_t field = 0; field < kDisplayChars.size(); ++field) {
    for (std::size_t i = 0; i < kDisplayChars[field]; ++i, ++k) {
      auto c = static_cast<char>(HexByteAt(reading, k, '0'));
      // The auxiliary display keeps the meter's decimal point.
      if (c == kDecimalPoint && field > 0)
        out += decimalSeparator;
      else
        out += c;
    }
    out += ';';
  }
}

}  // namespace

TMeterProtocol::TMeterProtocol(std::string decimalSeparator)
    : decimalSeparator_(std::move(decimalSeparator)),
      view_(&gNullView),
      recorder_(&gNullRecorder),
      prompt_(&gNullPrompt),
      watchdog_(&gNullWatchdog),
      writer_(&gNullWriter) {}

void TMeterProtocol::SetView(IMeterView* view) { view_ = OrDefault<IMeterView>(view, gNullView); }
void TMeterProtocol::SetRecorder(IMeterRecorder* recorder) {
  recorder_ = OrDefault<IMeterRecorder>(recorder, gNullRecorder);
}
void TMeterProtocol::SetPrompt(IPrompt* prompt) { prompt_ = OrDefault<IPrompt>(prompt, gNullPrompt); }
void TMeterProtocol::SetWatchdog(ILinkWatchdog* watchdog) {
  watchdog_ = OrDefault<ILinkWatchdog>(watchdog, gNullWatchdog);
}
void TMeterProtocol::SetWriter(ICommandWriter* writer) { writer_ = OrDefault<ICommandWriter>(writer, gNullWriter); }

// ---- frame codec ----

void TMeterProtocol::CP21101ReceiveData(const std::uint8_t* data, std::int32_t size) {
  watchdog_->RestartWatchdog();
  if (data && size > 0) {
    std::size_t at = receiveBuffer_.size();
    receiveBuffer_.resize(at + 2 * static_cast<std::size_t>(size));
    for (std::int32_t i = 0; i < size; ++i, at += 2) {
      receiveBuffer_[at] = kHexTable[2 * data[i]];
      receiveBuffer_[at + 1] = kHexTable[2 * data[i] + 1];
    }
  }
  // Dispatch works on a copy: a modal box inside it may let the next chunk into the buffer.
  std::array<char, kFrameChars> frame;
  if (std::size_t length = CutFrame(frame)) CP21041ReceiveData(std::string_view(frame.data(), length));
}

std::size_t TMeterProtocol::CutFrame(std::array<char, kFrameChars>& frame) {
  std::string_view buffer = receiveBuffer_;
  std::size_t end = buffer.find(kTerminatorText, scanFrom_);
  if (end == std::string_view::npos) {
    scanFrom_ = std::max(head_, buffer.size() - std::min(buffer.size(), kTerminatorText.size() - 1));
    // A stream that never carries a terminator would otherwise grow the buffer for ever.
    if (buffer.size() - head_ > 2 * kMaxPendingBytes) ConsumeFront(buffer.size() - head_);
    return 0;
  }
  if (buffer.substr(head_, kStartText.size()) != kStartText) {
    ConsumeFront(buffer.size() - head_);
    return 0;
  }
  std::string_view text = buffer.substr(head_, end + kTerminatorText.size() - head_);
  std::size_t length = 0;
  if (CheckFrame(text)) {
    // The dispatch reads nothing beyond the fixed layout.
    length = std::min(text.size(), kFrameChars);
    std::copy_n(text.begin(), length, frame.begin());
  }
  ConsumeFront(text.size());
  return length;
}

void TMeterProtocol::ConsumeFront(std::size_t chars) {
  head_ += chars;
  if (head_ == receiveBuffer_.size()) {
    receiveBuffer_.clear();
    head_ = 0;
  } else if (2 * head_ >= receiveBuffer_.size()) {
    // Compact once the consumed part outweighs the rest, so consuming stays linear overall.
    receiveBuffer_.erase(0, head_);
    head_ = 0;
  }
  scanFrom_ = head_;
}

bool TMeterProtocol::CheckFrame(std::string_view frameText) {
  // Shorter than the sum and the terminator: nothing to compare (never cut from our buffer).
  if (frameText.size() < 8) return false;
  std::string_view sumText = frameText.substr(frameText.size() - 8, 4);
  unsigned expected = HexByteAt(sumText, 0) * 256u + HexByteAt(sumText, 1);
  std::size_t n = (frameText.size() - 8) / 2;
  unsigned sum = 0;
  for (std::size_t k = 0; k < n; ++k) sum += HexByteAt(frameText, k);
  return sum == expected;
}

bool TMeterProtocol::SendCommand(std::uint8_t code) {
  if (!writer_->IsOpen()) return false;
  std::array<std::uint8_t, 7> frame = {0xAB, 0xCD, 0x04, code, static_cast<std::uint8_t>(commandSequence_ & 0xFF)};
  unsigned sum = 0;
  for (std::size_t i = 0; i < 5; ++i) sum += frame[i];
  frame[5] = static_cast<std::uint8_t>(sum >> 8);
  frame[6] = static_cast<std::uint8_t>(sum & 0xFF);
  if (++commandSequence_ == 256) commandSequence_ = 1;
  return writer_->Write(frame.data(), static_cast<std::int32_t>(frame.size()));
}

// ---- dispatch ----

void TMeterProtocol::CP21041ReceiveData(std::string_view frameText) {
  // The decoders read fixed positions: a frame shorter than the layout is dropped whole.
  if (frameText.size() < kFrameChars) return;
  std::uint8_t type = HexByteAt(frameText, kTypeByte);
  if (type == kFrameLive) {
    CP21041ReceiveFunData(FunctionField(frameText));
    CP21041ReceiveMeterData(ReadingField(frameText));
    CP21041ReceiveStatusData(StatusField(frameText));
  } else if (type == kFrameExport) {
    ReceiveExportFrame(frameText);
  }
  ToggleActivity();
}

void TMeterProtocol::ReceiveExportFrame(std::string_view frameText) {
  CP21041ReceiveFunData(FunctionField(frameText));
  if (HexByteAt(frameText, kFunctionByte) != kFunExportEnd) {
    CP21041ReceiveBuffData(ReadingField(frameText));
    CP21041ReceiveStatusData(StatusField(frameText));
    loadLogCaption_ = "Data transfering";
    view_->SetCaption(pnlLoadLog, loadLogCaption_);
    loadingText_ += '.';
    if (loadingText_.size() >= 20) loadingText_.clear();
    view_->SetCaption(lblLoading, loadingText_);
    SetLogMode(true);
    view_->SetPauseButton(true, true, "Log Data Mode Disabled");
    view_->SetVisible(pnlLoadLog, true);
    view_->SetVisible(Panel3, true);
    view_->SetVisible(Panel7, true);
  } else {
    view_->SetCommandPanelEnabled(true);
    loadLogCaption_ = "Data transfer completed";
    view_->SetCaption(pnlLoadLog, loadLogCaption_);
    loadingText_.clear();
    view_->SetCaption(lblLoading, loadingText_);
    // The acknowledgement of the end marker goes out only once the user has closed the box.
    prompt_->Information("Export memory data has been successfully!");
  }
  SendCommand(kCmdExportAck);
}

void TMeterProtocol::ToggleActivity() {
  activityOn_ = !activityOn_;
  view_->SetActivityIndicator(activityOn_);
}

// ---- function and units ----

void TMeterProtocol::CP21041ReceiveFunData(std::string_view function) {
  const TFunctionRow* row = FindFunction(HexByteAt(function, 0));
  if (!row) return;
  reading_.FunMode = row->mode;
  SetUnitText(row->unit);
  SetSubUnit1Text(row->subUnit1);
  SetSubUnit2Text(row->subUnit2);
  // The symbols are rewritten on every frame, unlike the units.
  view_->SetVisible(lcdAC, true);
  view_->SetVisible(lcdAC2, row->subAC);
  view_->SetVisible(lcdAC3, row->subAC);
  view_->SetWideCaption(lcdCosSin, row->cosSin);
  view_->SetCaption(lcdTime, row->time);
  view_->SetVisible(lcdRstA, row->rstA);
  view_->SetWideCaption(lcdTHD, row->thd);
}

void TMeterProtocol::SetUnitField(AnsiString& field, TLcdControl control, std::string_view text) {
  if (field == text) return;
  field = text;
  view_->SetCaption(control, field);
}

void TMeterProtocol::SetUnitText(std::string_view text) { SetUnitField(reading_.Unit, lcdUnit, text); }
void TMeterProtocol::SetSubUnit1Text(std::string_view text) { SetUnitField(reading_.SubUnit1, lcdSubUnit1, text); }
void TMeterProtocol::SetSubUnit2Text(std::string_view text) { SetUnitField(reading_.SubUnit2, lcdSubUnit2, text); }

// ---- readings ----

std::string TMeterProtocol::DecodeDisplayFields(std::string_view reading, std::string_view decimalSeparator) {
  std::string out;
  AppendDisplayFields(out, reading, decimalSeparator);
  return out;
}

bool TMeterProtocol::TakeDisplayItems(std::string_view reading) {
  displayScratch_.clear();
  AppendDisplayFields(displayScratch_, reading, decimalSeparator_);
  // A ";" sent as a display byte splits its field: the first four pieces are taken.
  std::array<std::string_view, 4> items;
  std::string_view rest = displayScratch_;
  for (auto& item : items) {
    std::size_t semicolon = rest.find(';');
    if (semicolon == std::string_view::npos) return false;
    item = rest.substr(0, semicolon);
    rest.remove_prefix(semicolon + 1);
  }
  reading_.AuxValue = items[0];
  reading_.Value = items[1];
  reading_.SubValue1 = items[2];
  reading_.SubValue2 = items[3];
  return true;
}

void TMeterProtocol::ShowDisplayItems() {
  view_->SetCaption(lcdDisplay0, reading_.AuxValue);
  view_->SetCaption(lcdDisplay1, reading_.Value);
  view_->SetCaption(lcdDisplay2, reading_.SubValue1);
  view_->SetCaption(lcdDisplay3, reading_.SubValue2);
}

void TMeterProtocol::CP21041ReceiveMeterData(std::string_view reading) {
  if (logMode_) return;
  if (!TakeDisplayItems(reading)) return;
  ShowDisplayItems();
  reading_.NumericValue = ReadNumberOrZero(reading_.Value, decimalSeparator_);
  recorder_->TrackValueRange(reading_.NumericValue);
  recorder_->CheckLimits(reading_.NumericValue);
  if (!recorder_->IsSamplingTimerEnabled()) recorder_->AppendReading(reading_, false);
}

void TMeterProtocol::CP21041ReceiveBuffData(std::string_view reading) {
  if (!TakeDisplayItems(reading)) return;
  ShowDisplayItems();
  recorder_->AppendReading(reading_, true);
}

// ---- status ----

void TMeterProtocol::CP21041ReceiveStatusData(std::string_view status) {
  for (const TStatusBit& s : kStatusBits) SetAnnunciator(s.flag, (HexByteAt(status, s.byte) >> s.bit) & 1);
}

void TMeterProtocol::SetAnnunciator(TAnnunciator flag, bool on) {
  if (annunciators_[flag] == on) return;
  annunciators_[flag] = on;
  const TAnnunciatorDisplay& d = kAnnunciatorDisplays[flag];
  if (d.byCaption)
    view_->SetCaption(d.control, on ? d.onCaption : d.offCaption);
  else
    view_->SetVisible(d.control, on);
}

bool TMeterProtocol::btnExportDataClick() {
  if (!prompt_->Confirm(kExportQuestion)) return false;
  SendCommand(kCmdExport);
  view_->SetCommandPanelEnabled(false);
  return true;
}

void TMeterProtocol::btnPauseClick(bool pressed) {
  SetLogMode(pressed);
  if (!pressed) {
    view_->SetVisible(pnlLoadLog, false);
    view_->SetVisible(Panel3, false);
    view_->SetVisible(Panel7, false);
  }
  view_->SetPauseButton(pressed, false, pressed ? "Log Data Mode Disabled" : "Log Data Mode Enabled");
}

}  // namespace qm
