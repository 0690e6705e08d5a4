// The main thread's queue: synchronous hand-offs from other threads, posts, and the wait that
// still serves hand-offs.
#include "devices/MainThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

namespace qm {
namespace {

class TCountingJob : public TSyncJob {
 public:
  void Run() override {
    ranOn = std::this_thread::get_id();
    if (fail) throw std::runtime_error("handler failed");
  }
  std::thread::id ranOn;
  bool fail = false;
};

class MainThreadTest : public ::testing::Test {
 protected:
  void SetUp() override { main_.BindToCurrentThread(); }
  TMainThread& main_ = TMainThread::Instance();
};

TEST_F(MainThreadTest, SynchronizeRunsOnTheMainThreadAndCarriesErrorsBack) {
  TCountingJob job;
  std::atomic<int> outcome{0};
  std::thread worker([&] {
    main_.Synchronize(job);
    job.fail = true;
    try {
      main_.Synchronize(job);
      outcome = 1;
    } catch (const std::runtime_error&) {
      outcome = 2;
    }
    main_.NotifyStateChanged();
  });
  main_.WaitUntil([&] { return outcome != 0; });
  worker.join();
  EXPECT_EQ(job.ranOn, std::this_thread::get_id());
  EXPECT_EQ(outcome, 2);
}

TEST_F(MainThreadTest, APostThatThrowsLeavesTheLaterPostsQueued) {
  main_.ProcessPending();
  int ran = 0;
  main_.Post([] { throw std::runtime_error("bad notification"); });
  main_.Post([&] { ++ran; });
  EXPECT_THROW(main_.ProcessPending(), std::runtime_error);
  EXPECT_EQ(ran, 0);
  EXPECT_EQ(main_.ProcessPending(), 1u);
  EXPECT_EQ(ran, 1);
}

TEST_F(MainThreadTest, PostsQueuedWhileRunningWaitForTheNextPump) {
  main_.ProcessPending();
  int ran = 0;
  main_.Post([&] {
    ++ran;
    main_.Post([&] { ++ran; });
  });
  EXPECT_EQ(main_.ProcessPending(), 1u);
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(main_.ProcessPending(), 1u);
  EXPECT_EQ(ran, 2);
}

TEST_F(MainThreadTest, WaitUntilServesHandOffsButNotPosts) {
  main_.ProcessPending();
  bool posted = false;
  main_.Post([&] { posted = true; });
  TCountingJob job;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    main_.Synchronize(job);
    done = true;
    main_.NotifyStateChanged();
  });
  main_.WaitUntil([&] { return done.load(); });
  worker.join();
  EXPECT_FALSE(posted);
  main_.ProcessPending();
  EXPECT_TRUE(posted);
}

}  // namespace
}  // namespace qm
