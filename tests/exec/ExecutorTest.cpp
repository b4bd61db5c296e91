#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <thread>

#include "Executor.h"
#include "SimFixture.h"

namespace {

using namespace std::chrono_literals;

// Records notifications in order and counts runs that have finished.
struct Journal {
  std::mutex lock;
  std::condition_variable changed;
  std::vector<std::string> events;
  int inside = 0, maxInside = 0, finished = 0;

  TExecutor::TExecutorEvent Start() {
    return [this](TExecutor& e) {
      std::lock_guard g(lock);
      events.push_back("start " + e.Profile().Name);
      maxInside = std::max(maxInside, ++inside);
    };
  }
  TExecutor::TExecutorEvent Finish() {
    return [this](TExecutor& e) {
      std::lock_guard g(lock);
      events.push_back("finish " + e.Profile().Name);
      --inside;
      ++finished;
      changed.notify_all();
    };
  }
  bool WaitFor(int runs) {
    std::unique_lock g(lock);
    return changed.wait_for(g, 10s, [&] { return finished >= runs; });
  }
};

TExecutor* Queue(const TProfile& p, const TRunLock& lock, Journal& j, TStopCallback stop = {}) {
  TExecutor* e = TExecutor::Create(p, lock, true, std::move(stop));
  e->FreeOnTerminate = true;
  e->OnStart = j.Start();
  e->OnFinish = j.Finish();
  return e;
}

class ExecutorTest : public SimTest {
 protected:
  sim::SimVolume& v = AddC(20000);
  TRunLock lock = MakeRunLock();
  Journal journal;
  void TearDown() override {
    // Every run thread has let go of the lock (and freed itself).
    for (int i = 0; i < 500 && lock.use_count() > 1; ++i) std::this_thread::sleep_for(10ms);
    EXPECT_EQ(lock.use_count(), 1);
  }
};

TEST_F(ExecutorTest, RunsNeverOverlapAndEachPairIsWhole) {
  for (int i = 0; i < 3; ++i) v.AddFile("f" + std::to_string(i), {{100 + 20 * i, 2}, {1000 + 20 * i, 2}});
  std::vector<TExecutor*> runs;
  for (int i = 0; i < 3; ++i) {
    TProfile p;
    p.Name = std::to_string(i);
    p.Files = {"C:\\f" + std::to_string(i)};
    runs.push_back(Queue(p, lock, journal));
  }
  for (TExecutor* e : runs) e->Resume();
  ASSERT_TRUE(journal.WaitFor(3));
  EXPECT_EQ(journal.maxInside, 1);
  ASSERT_EQ(journal.events.size(), 6u);
  for (std::size_t i = 0; i < 6; i += 2)
    EXPECT_EQ(journal.events[i].substr(6), journal.events[i + 1].substr(7));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(v.ExtentsOf("f" + std::to_string(i)).size(), 1u);
}

TEST_F(ExecutorTest, EmptyProfileStillNotifiesAndCopiesAreTakenWhenQueued) {
  v.AddFile("a", {{100, 2}, {300, 2}});
  TProfile listed;
  listed.Name = "listed";
  TExecutor* e = Queue(listed, lock, journal);
  listed.Files = {"C:\\a"};  // edited after queuing: the run does not see it
  e->Resume();
  ASSERT_TRUE(journal.WaitFor(1));
  EXPECT_EQ(journal.events, (std::vector<std::string>{"start listed", "finish listed"}));
  EXPECT_EQ(v.ExtentsOf("a").size(), 2u);
}

TEST_F(ExecutorTest, StopEndsTheActiveRunAndTheWaitingOnesDoNothing) {
  for (int i = 0; i < 3; ++i) {
    std::vector<sim::Extent> pieces;
    for (int k = 0; k < 50; ++k) pieces.push_back({100 + 300 * i + 3 * k, 1});
    v.AddFile("f" + std::to_string(i), pieces);
  }
  std::atomic<bool> stop{false};
  std::atomic<int> polls{0};
  const TStopCallback checkStop = [&](std::int32_t) {
    if (++polls == 10) stop = true;  // answered while the first run moves blocks
    return stop.load();
  };
  std::vector<TExecutor*> runs;
  for (int i = 0; i < 3; ++i) {
    TProfile p;
    p.Name = std::to_string(i);
    p.Files = {"C:\\f" + std::to_string(i)};
    runs.push_back(Queue(p, lock, journal, checkStop));
  }
  for (TExecutor* e : runs) e->Resume();
  ASSERT_TRUE(journal.WaitFor(3));
  EXPECT_EQ(journal.events.size(), 6u);
  int untouched = 0, partly = 0;
  for (int i = 0; i < 3; ++i) {
    const auto n = v.ExtentsOf("f" + std::to_string(i)).size();
    untouched += n == 50;
    partly += n > 1 && n < 50;
  }
  EXPECT_EQ(untouched, 2);
  EXPECT_EQ(partly, 1);
}

TEST_F(ExecutorTest, AFailureInsideTheRunStillFinishesAndFreesTheLock) {
  TProfile p;
  p.Name = "boom";
  p.Files = {"C:\\anything"};
  TExecutor* failing = TExecutor::Create(p, lock, true, [](std::int32_t) -> bool {
    throw std::runtime_error("engine failure");
  });
  failing->FreeOnTerminate = true;
  failing->OnStart = journal.Start();
  failing->OnFinish = journal.Finish();
  failing->Resume();
  TProfile next;
  next.Name = "next";
  Queue(next, lock, journal)->Resume();
  ASSERT_TRUE(journal.WaitFor(2));
  EXPECT_EQ(journal.events.size(), 4u);
}

TEST_F(ExecutorTest, OneFileRunsGoToTheStartOfTheDisk) {
  v.AddFile("x.dat", {{5000, 2}, {6000, 2}});
  std::unique_ptr<TExecutor> e(TExecutor::Create("C:\\x.dat", lock, true, {}));
  EXPECT_EQ(e->Profile().Files, (std::vector<std::string>{"C:\\x.dat"}));
  EXPECT_EQ(e->Profile().RunMethod, 0);
  e->Resume();
  e.reset();  // the owner's delete waits for the run
  EXPECT_EQ(v.ExtentsOf("x.dat"), (std::vector<sim::Extent>{{0, 4}}));
}

}  // namespace
