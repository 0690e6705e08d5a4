#include "app/MeterSession.h"

#include <exception>
#include <utility>

#include "selector/uDeviceSelector.h"

namespace qm {

TMeterSession::TMeterSession(IPrompt& prompt, TSessionSettings settings)
    : prompt_(prompt),
      settings_(std::move(settings)),
      protocol_(settings_.DecimalSeparator),
      chart_(kChartSeries),
      chartControl_(chart_, kDefaultChartRange),
      recorder_(log_, &chartControl_, settings_.DecimalSeparator, settings_.TimeSeparator, settings_.Clock),
      comparator_(settings_.DecimalSeparator),
      watchdog_(settings_.WatchdogInterval) {
  protocol_.SetRecorder(this);
  protocol_.SetPrompt(&prompt_);
  protocol_.SetWatchdog(&watchdog_);
  protocol_.SetWriter(this);
  recorder_.OnClearChart.Set([this] { chartControl_.Clear(); });
  recorder_.OnResetValueRange.Set([this] { ResetValueRange(chartControl_); });
  // As the main window starts: the fill series hidden, the value axis at 0..0.
  chartControl_.SetFillVisible(false);
  ResetValueRange(chartControl_);
}

TMeterSession::~TMeterSession() { BindSelector(nullptr); }

void TMeterSession::BindSelector(TDeviceSelector* selector) {
  if (selector_) {
    selector_->SetOnReadyRead(nullptr);
    selector_->SetOnOpened(nullptr);
    selector_->SetOnClosed(nullptr);
  }
  selector_ = selector;
  if (!selector_) return;
  // A failure while handling a chunk is reported and reading goes on: left to the read thread it
  // would end the thread and leave a silent link behind.
  selector_->SetOnReadyRead([this](const std::uint8_t* data, std::int32_t length) {
    try {
      ReceiveData(data, length);
    } catch (const std::exception& e) {
      prompt_.ErrorReport(e.what());
    }
  });
  selector_->SetOnOpened([this](void*) { CP21041Connect(); });
  selector_->SetOnClosed([this](void*) { CP21041Disconnect(); });
}

void TMeterSession::ReceiveData(const std::uint8_t* data, std::int32_t size) {
  Dispatch(data, size);
  // The protocol cuts one frame per chunk. A 100 ms read at the meter's full rate brings about
  // three, so the frames behind the first are cut here at once: left for later chunks they would
  // pile up, the display would lag ever further behind the meter, and the overflowing buffer would
  // throw readings away.
  while (protocol_.ReceiveBuffer().find("0D0A") != std::string_view::npos) Dispatch(nullptr, 0);
}

void TMeterSession::Dispatch(const std::uint8_t* data, std::int32_t size) {
  decoded_.reset();
  protocol_.CP21101ReceiveData(data, size);
  if (auto kind = std::exchange(decoded_, std::nullopt)) OnReadingDecoded.Raise(*kind);
}

bool TMeterSession::btnConnectClick(const std::function<bool(TDeviceSelector&)>& open) {
  if (!selector_) {
    prompt_.Information(kNoDeviceMessage);
    return false;
  }
  if (selector_->IsOpen()) {
    selector_->Close();
    return false;
  }
  if (open ? open(*selector_) : selector_->Open()) return true;
  prompt_.Information(kNoDeviceMessage);
  return false;
}

void TMeterSession::CP21041Connect() {
  watchdog_.Start();
  OnConnected.Raise();
}

void TMeterSession::CP21041Disconnect() {
  watchdog_.Stop();
  OnDisconnected.Raise();
}

bool TMeterSession::CheckWatchdog(TLinkWatchdog::Clock::time_point now) {
  if (!watchdog_.Expired(now)) return false;
  if (selector_) selector_->Close();
  watchdog_.Stop();
  prompt_.Information(kWatchdogMessage);
  return true;
}

void TMeterSession::timerIntervalTimer() { recorder_.timerIntervalTimer(protocol_.Reading(), protocol_.LogMode()); }

void TMeterSession::AppendReading(const MeterReading& reading, bool NoTime) {
  recorder_.AppendReading(reading, NoTime);
  // Only memory records come with NoTime; live readings are reported by CheckLimits.
  if (NoTime) decoded_ = TReadingKind::Memory;
}

void TMeterSession::TrackValueRange(double v) { qm::TrackValueRange(chartControl_, v); }

void TMeterSession::CheckLimits(double v) {
  comparator_.CheckLimits(v);
  decoded_ = TReadingKind::Live;
}

bool TMeterSession::IsSamplingTimerEnabled() const { return sampling_.Enabled(); }

bool TMeterSession::IsOpen() const { return selector_ && selector_->IsOpen(); }

bool TMeterSession::Write(const std::uint8_t* Data, std::int32_t Length) {
  return selector_ && selector_->Write(Data, Length);
}

}  // namespace qm
