// The worker (simulated and on a real thread) and bounded calls.
#include "platform/worker.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <thread>

#include "platform/bounded_call.h"
#include "platform/sim/sim_platform.h"

namespace lh::platform {
namespace {

using sim::SimPlatform;

class SimWorkerTest : public ::testing::Test {
 protected:
  SimPlatform sim;
  std::unique_ptr<Worker> worker = sim.createWorker();
  std::vector<std::string> delivered;
  // A job that returns a delivery recording `name`.
  Worker::Job job(std::string name) {
    return [this, name](const CancelFlag&) -> Worker::Delivery {
      return [this, name] { delivered.push_back(name); };
    };
  }
};

TEST_F(SimWorkerTest, AJobRunsOnlyWhenTheTestRunsItAndDeliversOnTheGuiThread) {
  worker->start(job("a"));
  EXPECT_TRUE(worker->busy());
  sim.processPendingMessages();
  EXPECT_TRUE(delivered.empty());  // nothing ran by itself
  EXPECT_EQ(sim.runWorkers(), 1);
  EXPECT_TRUE(delivered.empty());  // ran, but its delivery has not arrived yet
  EXPECT_TRUE(worker->busy());
  sim.processPendingMessages();
  EXPECT_EQ(delivered, std::vector<std::string>{"a"});
  EXPECT_FALSE(worker->busy());
  EXPECT_EQ(sim.runWorkers(), 0);
}

TEST_F(SimWorkerTest, ANewStartReplacesAJobThatHasNotRun) {
  worker->start(job("old"));
  worker->start(job("new"));
  EXPECT_EQ(sim.runWorkers(), 1);
  sim.processPendingMessages();
  EXPECT_EQ(delivered, std::vector<std::string>{"new"});
}

TEST_F(SimWorkerTest, AResultArrivingAfterANewStartIsDropped) {
  worker->start(job("stale"));
  sim.runWorkers();  // done; its delivery is on its way
  const std::uint64_t second = worker->start(job("fresh"));
  EXPECT_EQ(second, 2u);
  sim.processPendingMessages();  // the stale delivery arrives and is dropped
  EXPECT_TRUE(delivered.empty());
  EXPECT_TRUE(worker->busy());  // the fresh job still runs
  sim.runWorkers();
  sim.processPendingMessages();
  EXPECT_EQ(delivered, std::vector<std::string>{"fresh"});
  EXPECT_FALSE(worker->busy());
}

TEST_F(SimWorkerTest, CancelDropsTheResultAndEndsBusy) {
  worker->start(job("x"));
  sim.runWorkers();
  worker->cancel();
  EXPECT_FALSE(worker->busy());
  sim.processPendingMessages();
  EXPECT_TRUE(delivered.empty());

  worker->start(job("never run"));
  worker->cancel();
  EXPECT_EQ(sim.runWorkers(), 0);
}

TEST_F(SimWorkerTest, TheFlagRaisedWhileAJobRunsStopsItsNextStep) {
  std::vector<int> steps;
  worker->start([&](const CancelFlag& flag) -> Worker::Delivery {
    for (int step = 1; step <= 3; ++step) {
      if (flag.raised()) break;
      steps.push_back(step);
      if (step == 2) worker->start(job("replacement"));  // the GUI thread starts another fetch meanwhile
    }
    return [&] { delivered.push_back("first"); };
  });
  sim.runWorkers();
  EXPECT_EQ(steps, (std::vector<int>{1, 2}));
  sim.runWorkers();
  sim.processPendingMessages();
  EXPECT_EQ(delivered, std::vector<std::string>{"replacement"});
}

TEST_F(SimWorkerTest, ADeliveryOutlivingItsWorkerDoesNothing) {
  worker->start(job("orphan"));
  sim.runWorkers();
  worker.reset();
  EXPECT_TRUE(sim.workers.empty());
  sim.processPendingMessages();
  EXPECT_TRUE(delivered.empty());
}

// ------------------------------------------------------------ the real thread

// A GUI thread's queue for the thread worker's deliveries.
class Mailbox {
 public:
  void post(std::function<void()> f) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      queue_.push_back(std::move(f));
    }
    arrived_.notify_all();
  }
  // Runs deliveries until `n` have arrived (a generous bound only proves
  // that they came at all).
  bool runUntil(std::size_t n) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!arrived_.wait_for(lock, std::chrono::seconds(30), [&] { return queue_.size() >= n; })) return false;
    auto batch = std::move(queue_);
    queue_.clear();
    lock.unlock();
    for (auto& f : batch) f();
    return true;
  }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<std::function<void()>> queue_;
};

TEST(ThreadWorker, RunsJobsOffTheCallingThreadAndDropsTheSuperseded) {
  Mailbox mailbox;
  auto worker = makeThreadWorker([&](std::function<void()> f) { mailbox.post(std::move(f)); });
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::promise<std::thread::id> ranOn;
  std::vector<std::string> delivered;
  std::atomic<bool> sawFlag{false};

  worker->start([&](const CancelFlag& flag) -> Worker::Delivery {
    ranOn.set_value(std::this_thread::get_id());
    released.wait();  // blocked until the test has started the next job
    sawFlag = flag.raised();
    return [&] { delivered.push_back("first"); };
  });
  EXPECT_NE(ranOn.get_future().get(), std::this_thread::get_id());
  worker->start([&](const CancelFlag&) -> Worker::Delivery { return [&] { delivered.push_back("second"); }; });
  release.set_value();

  ASSERT_TRUE(mailbox.runUntil(2));  // both jobs have ended
  EXPECT_TRUE(sawFlag);
  EXPECT_EQ(delivered, std::vector<std::string>{"second"});
  EXPECT_FALSE(worker->busy());
}

TEST(ThreadWorker, DestroyingItCancelsAndWaitsForTheJob) {
  Mailbox mailbox;
  std::atomic<int> steps{0};
  {
    auto worker = makeThreadWorker([&](std::function<void()> f) { mailbox.post(std::move(f)); });
    std::promise<void> started;
    worker->start([&](const CancelFlag& flag) -> Worker::Delivery {
      started.set_value();
      while (!flag.raised()) {
        ++steps;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      return nullptr;
    });
    started.get_future().wait();
  }  // returns only once the job has seen its flag
  const int after = steps.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(steps.load(), after);
}

// ------------------------------------------------------------ bounded calls

// Waits until abandoned calls have ended (a generous bound only proves that
// they do); true when no more than `n` are left.
bool liveCallsDropTo(int n) {
  for (int i = 0; i < 3000 && liveBoundedCalls() > n; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return liveBoundedCalls() <= n;
}

// What abandoned work is stuck on, shared with it. It waits by polling
// rather than on a future: once, under Wine on a loaded machine, a call
// stuck on a future never ended after the future was set (a lost wake-up of
// the thread library's condition variable, as far as could be told); the
// program's worker also looks again every 250 ms for the same reason.
struct Gate {
  std::atomic<bool> opened{false};
  void wait() const {
    while (!opened) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
};

TEST(RunBounded, GivesTheWorkResultWhenItReturnsInTime) {
  auto value = std::make_shared<int>(0);
  EXPECT_EQ(runBounded([value](const CancelFlag&) { *value = 42; }, 30000), BoundedOutcome::Finished);
  EXPECT_EQ(*value, 42);
}

TEST(RunBounded, AbandonsStuckWorkAtTheDeadlineAndItEndsLater) {
  auto open = std::make_shared<Gate>();
  auto sawStop = std::make_shared<std::atomic<bool>>(false);
  const int before = liveBoundedCalls();
  const BoundedOutcome o = runBounded(
      [open, sawStop](const CancelFlag& stop) {
        open->wait();
        *sawStop = stop.raised();
      },
      50);
  EXPECT_EQ(o, BoundedOutcome::TimedOut);
  EXPECT_EQ(liveBoundedCalls(), before + 1);  // still blocked, abandoned
  open->opened = true;
  EXPECT_TRUE(liveCallsDropTo(before));
  EXPECT_TRUE(*sawStop);  // it was told it had been abandoned
}

TEST(RunBounded, TheCallersFlagEndsTheWait) {
  const int before = liveBoundedCalls();
  CancelFlag cancel;
  auto open = std::make_shared<Gate>();
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    cancel.raise();
  });
  EXPECT_EQ(runBounded([open](const CancelFlag&) { open->wait(); }, 60000, &cancel), BoundedOutcome::Cancelled);
  canceller.join();
  open->opened = true;
  EXPECT_TRUE(liveCallsDropTo(before));
  EXPECT_EQ(runBounded([](const CancelFlag&) {}, 10, &cancel), BoundedOutcome::Cancelled);  // raised before: no thread
}

TEST(RunBounded, RefusesOnceTooManyAbandonedCallsAreStillRunning) {
  auto open = std::make_shared<Gate>();
  const int before = liveBoundedCalls();
  for (int i = before; i < kMaxLiveCalls; ++i) {
    EXPECT_EQ(runBounded([open](const CancelFlag&) { open->wait(); }, 1), BoundedOutcome::TimedOut);
  }
  bool ran = false;
  EXPECT_EQ(runBounded([&ran](const CancelFlag&) { ran = true; }, 1000), BoundedOutcome::Refused);
  EXPECT_FALSE(ran);
  open->opened = true;
  ASSERT_TRUE(liveCallsDropTo(before));
  auto value = std::make_shared<int>(0);
  EXPECT_EQ(runBounded([value](const CancelFlag&) { *value = 1; }, 30000), BoundedOutcome::Finished);
  EXPECT_EQ(*value, 1);
}

}  // namespace
}  // namespace lh::platform
