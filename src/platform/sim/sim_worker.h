// The simulator's worker: nothing runs by itself. A started job waits until
// the test runs it (runPending, or SimPlatform::runWorkers); its delivery is
// then posted to the GUI thread like the real one and arrives at the next
// processPendingMessages (or advance). A test can so place a cancellation or
// a new start exactly before the job runs, while it runs (from inside the
// job), or between the job's end and the arrival of its delivery.
#pragma once

#include <functional>
#include <optional>

#include "platform/worker.h"

namespace lh::platform::sim {

class SimWorker : public Worker {
 public:
  // `post` hands a delivery to the GUI thread; `onGone` runs in the destructor.
  SimWorker(std::function<void(std::function<void()>)> post, std::function<void(SimWorker*)> onGone = nullptr);
  ~SimWorker() override;

  std::uint64_t start(Job job) override;
  void cancel() override;
  std::uint64_t generation() const override { return core_.generation(); }
  bool busy() const override { return core_.busy(); }

  bool hasPending() const { return waiting_.has_value(); }
  // Runs the waiting job now, as the worker thread would, and posts its
  // delivery. False when no job waits.
  bool runPending();
  int jobsRun = 0;

 private:
  WorkerCore core_;
  std::function<void(std::function<void()>)> post_;
  std::function<void(SimWorker*)> onGone_;
  std::optional<WorkerCore::Queued> waiting_;
};

}  // namespace lh::platform::sim
