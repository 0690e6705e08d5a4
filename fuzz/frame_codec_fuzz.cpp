// Feeds arbitrary bytes in arbitrary chunks through the session's chunk entry point, the way the
// device's read thread hands them over, with the reading log, the trend chart, the comparator and a
// view attached, and the window's buttons pressed in between (see FrameCodecInput.h). Nothing may
// crash; the receive buffer stays bounded; every logged row is the reading it was made from; and
// every text the view gets converts to valid UTF-8.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "FrameCodecInput.h"
#include "app/MeterSession.h"
#include "common/CodePage.h"
#include "recording/LogRecord.h"

namespace {

using qm::fuzz::TAction;

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

bool ValidUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (std::size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += n;
  }
  return true;
}

using qm::fuzz::TYesPrompt;

// Converts every text as the window does before drawing it.
class TConvertingView : public qm::IMeterView {
 public:
  void SetCaption(qm::TLcdControl, std::string_view bytes) override { Check(ValidUtf8(qm::MeterTextToUtf8(bytes))); }
  void SetWideCaption(qm::TLcdControl, std::u16string_view) override {}
  void SetVisible(qm::TLcdControl, bool) override {}
  void SetActivityIndicator(bool) override {}
  void SetPauseButton(bool, bool, std::string_view caption) override { Check(ValidUtf8(qm::MeterTextToUtf8(caption))); }
  void SetCommandPanelEnabled(bool) override {}
};

constexpr std::array<std::pair<const char*, const char*>, 3> kLimits = {{{"-1", "2"}, {"0", "0"}, {"1.5", "-3"}}};
constexpr std::array<std::int32_t, 3> kChartRanges = {10, 1, 100};

std::optional<std::string> Stored(const std::string& text) { return std::string(qm::CutLogText(text)); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  TYesPrompt prompt;
  TConvertingView view;
  qm::TSessionSettings settings;
  settings.Clock = [] { return qm::TLocalTime{2024, 5, 6, 7, 8, 9}; };
  qm::TMeterSession session(prompt, settings);
  session.Protocol().SetView(&view);

  // A logged row is exactly the current reading, numbered on from the rows before it.
  qm::TReadingLog& log = session.Log();
  log.OnAppended.Add([&](std::size_t row) {
    Check(row + 1 == log.Count());
    Check(row < static_cast<std::size_t>(session.Recorder().RecordLimit()));
    const qm::LogRecord r = log.Record(row);
    const qm::MeterReading& reading = session.Protocol().Reading();
    Check(r.ANo == static_cast<std::int32_t>(row + 1));
    Check(r.AFunction == Stored(std::string(qm::FunModeLogName(reading.FunMode))));
    Check(r.AValue == Stored(reading.Value) && r.AUnit == Stored(reading.Unit));
    Check(r.ASubValue1 == Stored(reading.SubValue1) && r.ASubUnit1 == Stored(reading.SubUnit1));
    Check(r.ASubValue2 == Stored(reading.SubValue2) && r.ASubUnit2 == Stored(reading.SubUnit2));
  });

  std::size_t limits = 0, recordLimit = 0, chartRange = 0;
  while (input.remaining_bytes() > 0) {
    const std::uint8_t step = input.ConsumeIntegral<std::uint8_t>();
    if (step < qm::fuzz::kFirstAction) {
      const std::vector<std::uint8_t> chunk = input.ConsumeBytes<std::uint8_t>(step);
      session.ReceiveData(chunk.data(), static_cast<std::int32_t>(chunk.size()));
      // Every complete frame is cut at once, and bytes without a terminator cannot pile up.
      Check(session.Protocol().ReceiveBuffer().find("0D0A") == std::string_view::npos);
      Check(session.Protocol().ReceiveBuffer().size() <= 2 * qm::TMeterProtocol::kMaxPendingBytes);
      continue;
    }
    switch (static_cast<TAction>((step - qm::fuzz::kFirstAction) % qm::fuzz::acActionCount)) {
      case qm::fuzz::acLogModeOn: session.Protocol().btnPauseClick(true); break;
      case qm::fuzz::acLogModeOff: session.Protocol().btnPauseClick(false); break;
      case qm::fuzz::acExport: session.Protocol().btnExportDataClick(); break;
      case qm::fuzz::acSamplingOn: session.Sampling().cbIntervalClick(true); break;
      case qm::fuzz::acSamplingOff: session.Sampling().cbIntervalClick(false); break;
      case qm::fuzz::acSamplingTick: session.timerIntervalTimer(); break;
      case qm::fuzz::acClearLog:
        Check(session.Recorder().btnRecordNewClick(prompt) && log.Count() == 0);
        break;
      case qm::fuzz::acLimits: {
        const auto& [low, high] = kLimits[limits++ % kLimits.size()];
        session.Comparator().SetLowText(low);
        session.Comparator().SetHighText(high);
        break;
      }
      case qm::fuzz::acRecordLimit:
        session.Recorder().mniN10001Click(recordLimit++ % qm::kRecordLimitItems.size());
        break;
      case qm::fuzz::acChartFirst: session.ChartControl().FirstPage(); break;
      case qm::fuzz::acChartPrior: session.ChartControl().PriorPage(); break;
      case qm::fuzz::acChartNext: session.ChartControl().NextPage(); break;
      case qm::fuzz::acChartLast: session.ChartControl().LastPage(); break;
      case qm::fuzz::acChartRange:
        session.ChartControl().SetRange(kChartRanges[chartRange++ % kChartRanges.size()]);
        break;
      case qm::fuzz::acActionCount: break;
    }
  }
  return 0;
}
