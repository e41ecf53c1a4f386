// A worker thread for work that must not block the GUI thread (icon
// downloads). A job runs off the GUI thread and hands back a delivery, a
// closure that the GUI thread runs with the job's result; the GUI thread alone
// changes the program's state.
//
// Ending a job is cooperative: starting a new job or cancelling raises the
// running job's CancelFlag, which the job checks between its steps (the HTTP
// calls check it while they wait), and bumps the worker's generation. A
// delivery carries the generation of its job and is dropped on arrival when
// the generation has moved on, so a stale result never reaches the program,
// even when the job did not notice the flag in time.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

namespace lh::platform {

// Raised by the GUI thread, read by a job (any thread).
class CancelFlag {
 public:
  bool raised() const { return raised_.load(std::memory_order_acquire); }
  void raise() { raised_.store(true, std::memory_order_release); }

 private:
  std::atomic<bool> raised_{false};
};

class Worker {
 public:
  // Runs on the GUI thread with the job's result. May be empty.
  using Delivery = std::function<void()>;
  // Runs off the GUI thread. It must not touch the program's state; it
  // checks the flag between its steps and returns early once it is raised.
  using Job = std::function<Delivery(const CancelFlag&)>;

  virtual ~Worker() = default;

  // Cancels the job in progress (and a job still waiting, which then never
  // runs), then queues `job`. Returns the new generation. GUI thread only.
  virtual std::uint64_t start(Job job) = 0;
  // Raises the current job's flag and moves the generation on: nothing of
  // that job is delivered any more. GUI thread only.
  virtual void cancel() = 0;
  // The generation of the newest job (0 before the first).
  virtual std::uint64_t generation() const = 0;
  // True from start() until the job's delivery has run (or the job ended
  // with none), and false after cancel().
  virtual bool busy() const = 0;
};

// The GUI-side bookkeeping every Worker shares: the generations, the flag of
// the current job and the wrapping of deliveries. Not thread-safe: the
// worker side only keeps the tickets and the closures it is given.
class WorkerCore {
 public:
  struct Ticket {
    std::uint64_t generation = 0;
    std::shared_ptr<CancelFlag> flag;
  };
  WorkerCore();
  // Raises the previous job's flag and opens a new generation.
  Ticket begin();
  void cancel();
  // What the worker side posts to the GUI thread when the job of
  // `generation` has returned: runs `delivery` only if that generation is
  // still current, and ends the busy state. Safe to run after the worker
  // itself is gone (it then does nothing).
  std::function<void()> arrival(std::uint64_t generation, Worker::Delivery delivery) const;
  std::uint64_t generation() const;
  bool busy() const;

  // A started job waiting for its thread.
  struct Queued {
    Worker::Job job;
    Ticket ticket;
  };

 private:
  struct State {
    std::uint64_t generation = 0;
    bool busy = false;
    std::shared_ptr<CancelFlag> flag;
  };
  std::shared_ptr<State> state_;
};

// A Worker on a thread of its own (std::thread: the Windows program and
// native tests alike). Deliveries reach the GUI thread through `post`, which
// must be callable from any thread. The destructor cancels and waits for the
// job in progress to return.
std::unique_ptr<Worker> makeThreadWorker(std::function<void(std::function<void()>)> post);

}  // namespace lh::platform
