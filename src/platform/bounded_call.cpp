#include "platform/bounded_call.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace lh::platform {

namespace {

std::atomic<int> gLive{0};

// What the caller and the thread share; the last of the two frees it.
struct Shared {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  CancelFlag stop;
};

// The caller re-checks its own CancelFlag this often while it waits.
constexpr int kCancelPollMs = 20;

}  // namespace

int liveBoundedCalls() { return gLive.load(); }

BoundedOutcome runBounded(std::function<void(const CancelFlag& stop)> work, int timeoutMs, const CancelFlag* cancel) {
  if (cancel && cancel->raised()) return BoundedOutcome::Cancelled;
  // Reserve a place first, so that two callers cannot both take the last one.
  if (gLive.fetch_add(1) >= kMaxLiveCalls) {
    gLive.fetch_sub(1);
    return BoundedOutcome::Refused;
  }
  auto shared = std::make_shared<Shared>();
  try {
    std::thread([shared, work = std::move(work)] {
      try {
        work(shared->stop);
      } catch (...) {
        // A failing call counts as returned; its caller finds no result.
      }
      // Counted out before the caller hears of it, so that a caller who
      // saw the finish may start the next call at once.
      gLive.fetch_sub(1);
      {
        std::lock_guard<std::mutex> lock(shared->mutex);
        shared->finished = true;
      }
      shared->done.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    gLive.fetch_sub(1);
    return BoundedOutcome::Refused;
  }

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(0, timeoutMs));
  std::unique_lock<std::mutex> lock(shared->mutex);
  while (!shared->finished) {
    if (cancel && cancel->raised()) {
      shared->stop.raise();
      return BoundedOutcome::Cancelled;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) {
      shared->stop.raise();
      return BoundedOutcome::TimedOut;
    }
    shared->done.wait_until(lock, std::min(deadline, now + std::chrono::milliseconds(kCancelPollMs)));
  }
  return BoundedOutcome::Finished;
}

}  // namespace lh::platform
