// The narrow interfaces through which the meter protocol core reaches the outside: the LCD panel
// and the controls around it, the reading log / chart / comparator, the link watchdog and the
// command writer. The GUI main window and the CLI implement them; a front end that does not care
// about one of them simply leaves it unset (the protocol then uses a no-op stand-in).
#pragma once

#include <cstdint>
#include <string_view>

#include "common/MeterTypes.h"

namespace qm {

// The controls of the virtual LCD panel (and the export curtain over it) that the protocol drives.
enum class TLcdControl : std::uint8_t {
  lcdUnit,
  lcdSubUnit1,
  lcdSubUnit2,
  lcdAC,
  lcdAC2,
  lcdAC3,
  lcdCosSin,
  lcdTime,
  lcdRstA,
  lcdTHD,
  lcdHold,
  lcdLowPower,
  lcdWarning,
  lcdAutoPower,
  lcdRstB2,
  lcdRstB1,
  lcdMemClr,
  lcdMemFull,
  lcdMem,
  lcdMr,
  lcdSum,
  lcdSelect3,
  lcdSelect2,
  lcdSelect1,
  lcdMin,
  lcdMax,
  lcdW,
  lcdDisplay0,
  lcdDisplay1,
  lcdDisplay2,
  lcdDisplay3,
  pnlLoadLog,
  lblLoading,
  Panel3,
  Panel7,
};

inline constexpr int kLcdControlCount = static_cast<int>(TLcdControl::Panel7) + 1;

// The main window's display side as the protocol sees it. All calls come on the main thread.
class IMeterView {
 public:
  virtual ~IMeterView() = default;

  // Caption (label, panel) or text (digit display) from 8-bit bytes as the meter sent them, in the
  // system's single-byte / GBK code page: the phase-angle unit is the two bytes 0xA1 0xA3. The view
  // converts when it draws; the bytes themselves are what the log stores.
  virtual void SetCaption(TLcdControl control, std::string_view bytes) = 0;
  // Caption given as UTF-16 text: the power-factor label ("COSФ", "SINФ") and the THD label, which
  // have no single-byte form.
  virtual void SetWideCaption(TLcdControl control, std::u16string_view text) = 0;
  virtual void SetVisible(TLcdControl control, bool visible) = 0;

  // The link-activity indicator: `conOkVisible` is the visibility of CONok; CONokN shows the opposite.
  virtual void SetActivityIndicator(bool conOkVisible) = 0;
  // The log-mode toggle button btnPause: pressed state, red or default font, caption.
  virtual void SetPauseButton(bool pressed, bool redFont, std::string_view caption) = 0;
  virtual void SetCommandPanelEnabled(bool enabled) = 0;
};

// The reading log, the trend chart's value range and the limit comparator.
class IMeterRecorder {
 public:
  virtual ~IMeterRecorder() = default;

  // One log row from `reading` (the protocol's current reading); NoTime leaves the time column empty.
  virtual void AppendReading(const MeterReading& reading, bool NoTime) = 0;
  // Widens the chart's value axis to take in `v`.
  virtual void TrackValueRange(double v) = 0;
  // Shows `v` as the current value and judges it against the limits.
  virtual void CheckLimits(double v) = 0;
  // True while the sampling timer runs, which then feeds the log instead of each live frame.
  virtual bool IsSamplingTimerEnabled() const = 0;
};

// The link watchdog: every received chunk restarts its countdown.
class ILinkWatchdog {
 public:
  virtual ~ILinkWatchdog() = default;
  virtual void RestartWatchdog() = 0;
};

// Where command frames go (the device selector).
class ICommandWriter {
 public:
  virtual ~ICommandWriter() = default;
  virtual bool IsOpen() const = 0;
  // True when the device took all `Length` bytes.
  virtual bool Write(const std::uint8_t* Data, std::int32_t Length) = 0;
};

}  // namespace qm
