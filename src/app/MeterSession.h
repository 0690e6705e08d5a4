// What the main window owns besides its widgets, shared by the GUI and the CLI: the protocol core,
// the reading log with its recorder, the trend chart and its control, the limit comparator, the
// sampling interval and the link watchdog, wired together as the program runs them. The front ends
// add only their screen and their loop.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/LinkWatchdog.h"
#include "common/Event.h"
#include "common/Prompt.h"
#include "protocol/MeterProtocol.h"
#include "recording/Comparator.h"
#include "recording/LogStore.h"
#include "recording/ReadingLog.h"
#include "recording/Sampling.h"
#include "recording/TrendChart.h"
#include "recording/uCharControl.h"

namespace qm {

class TDeviceSelector;

struct TSessionSettings {
  std::string DecimalSeparator = ".";  // LocaleDecimalSeparator
  std::string TimeSeparator = ":";     // the regional time separator of the log's time stamps
  TClock Clock = SystemLocalTime;
  std::chrono::milliseconds WatchdogInterval = TLinkWatchdog::kInterval;  // shorter in tests
};

class TMeterSession : private IMeterRecorder, private ICommandWriter {
 public:
  static constexpr std::int32_t kChartSeries = 4;
  static constexpr std::int32_t kDefaultChartRange = 100;

  TMeterSession(IPrompt& prompt, TSessionSettings settings = {});
  ~TMeterSession() override;
  TMeterSession(const TMeterSession&) = delete;
  TMeterSession& operator=(const TMeterSession&) = delete;

  // Routes the selector's chunks into the protocol, its open/close into the watchdog and the
  // command panel, and the protocol's commands out through it. The selector must outlive the
  // session or be unbound first (nullptr).
  void BindSelector(TDeviceSelector* selector);

  // The connection button: closes an open link and returns false; otherwise opens one through
  // `open` (the selector's Open when empty) and returns true, or reports kNoDeviceMessage and
  // returns false when none opened (no bridge, a cancelled choice, a failed open).
  bool btnConnectClick(const std::function<bool(TDeviceSelector&)>& open = {});
  bool IsOpen() const override;

  // The link opened / closed (the selector's OnOpened / OnClosed; also raised on to the front end).
  void CP21041Connect();
  void CP21041Disconnect();
  // Call from the loop: when the watchdog has expired, closes the link and reports it. True then.
  bool CheckWatchdog(TLinkWatchdog::Clock::time_point now = TLinkWatchdog::Clock::now());
  // A tick of the sampling timer.
  void timerIntervalTimer();

  TMeterProtocol& Protocol() { return protocol_; }
  const TMeterProtocol& Protocol() const { return protocol_; }
  TReadingLog& Log() { return log_; }
  TReadingRecorder& Recorder() { return recorder_; }
  TTrendChart& Chart() { return chart_; }
  TChartControl& ChartControl() { return chartControl_; }
  TLimitComparator& Comparator() { return comparator_; }
  TSamplingInterval& Sampling() { return sampling_; }
  TLinkWatchdog& Watchdog() { return watchdog_; }
  const std::string& DecimalSeparator() const { return settings_.DecimalSeparator; }

  // One received chunk into the protocol (the selector's OnReadyRead lands here), and every
  // complete frame it brought, each followed by its OnReadingDecoded.
  void ReceiveData(const std::uint8_t* data, std::int32_t size);

  enum class TReadingKind : std::uint8_t { Live, Memory };
  // Raised once the whole frame of a live reading (decoded and judged; not in log mode) or of a
  // memory record is decoded, annunciators included. Appended, cleared and loaded log rows are
  // the log's own events (Log().OnAppended, OnReset, OnCurrentRowChanged).
  TMulticastEvent<TReadingKind> OnReadingDecoded;
  // The link opened / closed.
  TMulticastEvent<> OnConnected;
  TMulticastEvent<> OnDisconnected;

  static constexpr const char* kWatchdogMessage =
      "USB interface cable is not connected properly, please check and re-try.";
  static constexpr const char* kNoDeviceMessage =
      "No device found.  Please ensure that you have proper USB connection.";

 private:
  void Dispatch(const std::uint8_t* data, std::int32_t size);
  // IMeterRecorder
  void AppendReading(const MeterReading& reading, bool NoTime) override;
  void TrackValueRange(double v) override;
  void CheckLimits(double v) override;
  bool IsSamplingTimerEnabled() const override;
  // ICommandWriter
  bool Write(const std::uint8_t* Data, std::int32_t Length) override;

  IPrompt& prompt_;
  TSessionSettings settings_;
  TMeterProtocol protocol_;
  TReadingLog log_;
  TTrendChart chart_;
  TChartControl chartControl_;
  TReadingRecorder recorder_;
  TLimitComparator comparator_;
  TSamplingInterval sampling_;
  TLinkWatchdog watchdog_;
  TDeviceSelector* selector_ = nullptr;
  // The reading decoded by the frame in progress; reported when the frame is through.
  std::optional<TReadingKind> decoded_;
};

}  // namespace qm
