// Unplugging and replugging the bridge over and over while the simulated meter streams at full
// rate: random moments, including while a chunk waits for the main thread and during a memory
// download. Nothing may hang, no read thread may be left behind, and every reading decoded before
// an unplug must be in the log, as the meter sent it.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#include <tlhelp32.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/MeterSession.h"
#include "common/PumpUntil.h"
#include "common/ScriptedPrompt.h"
#include "devices/HidPlatform.h"
#include "devices/MainThread.h"
#include "selector/uDeviceSelector.h"
#include "sim/SimHidBus.h"
#include "sim/SimMeter.h"
#include "sim/SimMeterRunner.h"

namespace qm {
namespace {

using namespace std::chrono_literals;

// ThreadSanitizer slows every cycle down many times; fewer cycles keep that run short.
#if defined(__SANITIZE_THREAD__)
constexpr int kCycles = 150;
#else
constexpr int kCycles = 500;  // per bridge model: a thousand in all
#endif
constexpr int kDownloadEvery = 25;  // every so many cycles, the unplug falls into a memory download

std::size_t ThreadCount() {
  std::size_t n = 0;
#ifdef _WIN32
  // The system's thread list holds every process's threads.
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++n;
  CloseHandle(snapshot);
#else
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) ++n;
#endif
  return n;
}

// Runs the main thread's queue for `time`, back to live readings whenever the frames of a cut-off
// download set the log mode (as the user would with the pause button).
void PumpFor(TMeterSession& session, std::chrono::microseconds time) {
  const auto end = std::chrono::steady_clock::now() + time;
  for (auto now = std::chrono::steady_clock::now(); now < end; now = std::chrono::steady_clock::now()) {
    TMainThread::Instance().WaitAndProcess(std::chrono::duration_cast<std::chrono::milliseconds>(end - now) + 1ms);
    if (session.Protocol().LogMode()) session.Protocol().btnPauseClick(false);
  }
}

struct TDecoded {
  std::size_t row;
  bool live;
  std::string value;
};

class UnplugSoak : public ::testing::TestWithParam<TBridgeModel> {};

TEST_P(UnplugSoak, AThousandUnplugsLeaveNoThreadNoHangAndNoLostRecord) {
  TMainThread::Instance().BindToCurrentThread();
  TMainThread::Instance().ProcessPending();
  sim::TSimHidBus bus;
  hid::TScopedPlatform scoped{bus};
  sim::TSimMeterConfig config;
  config.framePeriodMs = 40;  // a frame takes 36 ms at 9600 baud: the line is never idle for long
  // A download cut off by an unplug is given up soon, so the next one need not wait long.
  config.ackTimeoutMs = 100;
  config.maxResends = 1;
  sim::TSimMeter meter(config);
  const sim::TPluggedBridge bridge = bus.PlugBridge(GetParam());
  sim::TSimMeterRunner runner(meter, *bridge.Line, sim::TPacing::RealTime);
  ASSERT_TRUE(runner.Start());
  const std::size_t baseline = ThreadCount();

  test::ScriptedPrompt prompt;
  std::vector<TDecoded> decoded;
  int disconnects = 0;
  {
    TMeterSession session(prompt, {".", ":", [] { return TLocalTime{}; }});
    session.Recorder().mniN10001Click(kRecordLimitItems.size() - 1);  // "Unlimited"
    TDeviceSelector selector;
    session.BindSelector(&selector);
    session.OnDisconnected.Add([&] { ++disconnects; });
    session.OnReadingDecoded.Add([&](TMeterSession::TReadingKind kind) {
      decoded.push_back({session.Log().Count() - 1, kind == TMeterSession::TReadingKind::Live,
                         session.Protocol().Reading().Value});
    });

    std::mt19937 rng(GetParam() == bmCH9329 ? 9329 : 2110);
    std::size_t downloads = 0;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
      SCOPED_TRACE(cycle);
      ASSERT_TRUE(session.btnConnectClick()) << "the replugged bridge did not open";
      // A download left unfinished by the last unplug: back to live readings, as the pause button does.
      if (session.Protocol().LogMode()) session.Protocol().btnPauseClick(false);

      if (cycle % kDownloadEvery == kDownloadEvery - 1) {
        // Unplugged once a memory record or two have come in, with more on their way. A meter still
        // busy with an earlier download ignores the request: start once live frames flow again.
        auto count = [&](bool live) { return std::count_if(decoded.begin(), decoded.end(), [&](auto& d) { return d.live == live; }); };
        const auto liveBefore = count(true);
        ASSERT_TRUE(test::PumpUntil([&] {
          if (session.Protocol().LogMode()) session.Protocol().btnPauseClick(false);
          return count(true) > liveBefore;
        })) << "no live reading";
        const auto memoryWanted = count(false) + std::uniform_int_distribution<int>(1, 2)(rng);
        prompt.confirmAnswers.push_back(true);
        ASSERT_TRUE(session.Protocol().btnExportDataClick());
        ASSERT_TRUE(test::PumpUntil([&] { return count(false) >= memoryWanted; })) << "no memory record arrived";
        ++downloads;
      } else if (cycle % 8 == 0) {
        // Long enough for whole frames to come through this link.
        PumpFor(session, std::chrono::microseconds(std::uniform_int_distribution<int>(80000, 160000)(rng)));
      } else if (rng() % 2) {
        // The main thread busy elsewhere: the read thread waits with its chunk when the bridge goes.
        std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<int>(0, 40000)(rng)));
      } else {
        // Mostly in the middle of a frame.
        PumpFor(session, std::chrono::microseconds(std::uniform_int_distribution<int>(0, 40000)(rng)));
      }

      const int before = disconnects;
      ASSERT_TRUE(bus.Unplug(bridge.Id));
      ASSERT_TRUE(test::PumpUntil([&] { return disconnects > before; })) << "the unplug was never noticed";
      ASSERT_FALSE(session.IsOpen());
      ASSERT_EQ(session.Log().Count(), decoded.size()) << "a decoded reading is missing from the log";
      ASSERT_TRUE(test::PumpUntil([&] { return ThreadCount() == baseline; })) << "the read thread outlived its link";
      bus.Plug(bridge.Bridge);
      TMainThread::Instance().ProcessPending();
    }
    selector.Close();
    session.BindSelector(nullptr);
    TMainThread::Instance().ProcessPending();
    EXPECT_EQ(downloads, static_cast<std::size_t>(kCycles / kDownloadEvery));
    EXPECT_EQ(prompt.Texts("error"), std::vector<std::string>{});

    // Every record is the reading decoded for it, and every live one a frame the meter sent, in
    // the order sent: nothing from before an unplug got mixed into a later frame.
    const TReadingLog& log = session.Log();
    ASSERT_EQ(log.Count(), decoded.size());
    std::vector<std::string> sentLive;
    runner.Access([&](sim::TSimMeter& m) {
      for (const auto& sent : m.Sent())
        if (sent.frame.type == sim::kLiveFrame && sent.Intact()) sentLive.push_back(sent.frame.screen.main);
    });
    std::size_t at = 0, live = 0;
    for (std::size_t i = 0; i < decoded.size(); ++i) {
      SCOPED_TRACE(i);
      ASSERT_EQ(decoded[i].row, i);
      const LogRecord r = log.Record(i);
      ASSERT_TRUE(r.AValue.has_value());
      EXPECT_EQ(*r.AValue, decoded[i].value);
      if (!decoded[i].live) continue;
      ++live;
      while (at < sentLive.size() && sentLive[at] != decoded[i].value) ++at;
      ASSERT_LT(at, sentLive.size()) << "decoded a live reading the meter never sent: " << decoded[i].value;
      ++at;
    }
    EXPECT_GT(live, static_cast<std::size_t>(kCycles / 10)) << "too few readings for the soak to mean anything";
  }
  runner.Stop();
  EXPECT_TRUE(test::PumpUntil([&] { return ThreadCount() == baseline - 1; })) << "threads left behind";
}

INSTANTIATE_TEST_SUITE_P(BothBridges, UnplugSoak, ::testing::Values(bmCH9329, bmCP2110),
                         [](const auto& p) { return std::string(p.param == bmCH9329 ? "CH9329" : "CP2110"); });

}  // namespace
}  // namespace qm
