// The read thread's hand-off through the Qt event loop: every chunk arrives once and in order under
// a flood, a modal box opened inside a chunk neither deadlocks the read thread nor lets a second
// chunk run inside the first, and failures become error reports.
#include "app/gui/MainThreadPump.h"

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "GuiRig.h"
#include "common/ScriptedPrompt.h"
#include "devices/MainThread.h"

namespace qm::gui {
namespace {

using test::SpinUntil;

// A chunk job as the read thread hands it over: the work runs on the main thread.
class TJob : public TSyncJob {
 public:
  explicit TJob(std::function<void()> work) : work_(std::move(work)) {}
  void Run() override { work_(); }

 private:
  std::function<void()> work_;
};

// A nested event loop for `ms`, as a modal box runs one.
void ModalFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

TEST(MainThreadPumpTest, AFloodOfChunksArrivesOnceEachInOrder) {
  test::ScriptedPrompt prompt;
  TMainThreadPump pump(prompt);
  constexpr int kChunks = 20000;
  std::vector<int> seen;
  seen.reserve(kChunks);
  int depth = 0, deepest = 0;
  std::atomic<bool> done{false};
  std::thread reader([&] {
    for (int i = 0; i < kChunks; ++i) {
      TJob job([&, i] {
        deepest = std::max(deepest, ++depth);
        seen.push_back(i);
        --depth;
      });
      TMainThread::Instance().Synchronize(job);
    }
    done = true;
  });
  bool finished = SpinUntil([&] { return done.load(); }, 60000);
  reader.join();
  ASSERT_TRUE(finished);
  ASSERT_EQ(seen.size(), std::size_t{kChunks});
  for (int i = 0; i < kChunks; ++i) ASSERT_EQ(seen[static_cast<std::size_t>(i)], i);
  EXPECT_EQ(deepest, 1);
  EXPECT_LE(pump.Runs(), std::uint64_t{kChunks} + 1);  // + the pump's first look at the queue
  EXPECT_TRUE(prompt.shown.empty());
}

TEST(MainThreadPumpTest, ABoxInsideAChunkHoldsTheNextChunkAndPostsUntilItCloses) {
  test::ScriptedPrompt prompt;
  TMainThreadPump pump(prompt);
  std::vector<std::string> order;
  std::atomic<bool> firstStarted{false}, secondHandedOver{false};

  std::thread first([&] {
    TJob job([&] {
      firstStarted = true;
      order.push_back("box opens");
      // The other thread hands its chunk over while the box is open.
      SpinUntil([&] { return secondHandedOver.load(); });
      ModalFor(100);
      order.push_back("box closed");
    });
    TMainThread::Instance().Synchronize(job);
  });
  std::thread second([&] {
    while (!firstStarted) std::this_thread::yield();
    TMainThread::Instance().Post([&] { order.push_back("posted"); });
    TJob job([&] { order.push_back("second chunk"); });
    secondHandedOver = true;
    TMainThread::Instance().Synchronize(job);
  });
  bool finished = SpinUntil([&] { return order.size() == 4; });
  first.join();
  second.join();
  ASSERT_TRUE(finished);
  EXPECT_EQ(order[0], "box opens");
  EXPECT_EQ(order[1], "box closed");
  EXPECT_TRUE(pump.Busy() == false);
}

TEST(MainThreadPumpTest, AFailingPostIsReportedAndTheRestStillRuns) {
  test::ScriptedPrompt prompt;
  TMainThreadPump pump(prompt);
  bool later = false;
  std::thread poster([&] {
    TMainThread::Instance().Post([] { throw std::runtime_error("decoder broke"); });
    TMainThread::Instance().Post([&] { later = true; });
  });
  poster.join();
  EXPECT_TRUE(SpinUntil([&] { return later; }));
  EXPECT_EQ(prompt.Texts("error"), std::vector<std::string>{"decoder broke"});
}

}  // namespace
}  // namespace qm::gui
