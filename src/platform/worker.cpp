#include "platform/worker.h"

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace lh::platform {

// ------------------------------------------------------------ WorkerCore

WorkerCore::WorkerCore() : state_(std::make_shared<State>()) {}

WorkerCore::Ticket WorkerCore::begin() {
  if (state_->flag) state_->flag->raise();
  state_->flag = std::make_shared<CancelFlag>();
  ++state_->generation;
  state_->busy = true;
  return Ticket{state_->generation, state_->flag};
}

void WorkerCore::cancel() {
  if (state_->flag) state_->flag->raise();
  state_->flag.reset();
  ++state_->generation;
  state_->busy = false;
}

std::function<void()> WorkerCore::arrival(std::uint64_t generation, Worker::Delivery delivery) const {
  std::weak_ptr<State> weak = state_;
  return [weak, generation, delivery = std::move(delivery)] {
    const std::shared_ptr<State> s = weak.lock();
    if (!s || s->generation != generation) return;  // cancelled, superseded, or the worker is gone
    s->busy = false;
    s->flag.reset();
    if (delivery) delivery();
  };
}

std::uint64_t WorkerCore::generation() const { return state_->generation; }

bool WorkerCore::busy() const { return state_->busy; }

// ------------------------------------------------------------ ThreadWorker

namespace {

class ThreadWorker : public Worker {
 public:
  explicit ThreadWorker(std::function<void(std::function<void()>)> post)
      : post_(std::move(post)), thread_([this] { loop(); }) {}

  ~ThreadWorker() override {
    cancel();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }

  std::uint64_t start(Job job) override {
    const WorkerCore::Ticket ticket = core_.begin();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      waiting_ = WorkerCore::Queued{std::move(job), ticket};  // an older waiting job never runs
    }
    wake_.notify_one();
    return ticket.generation;
  }

  void cancel() override {
    core_.cancel();
    std::lock_guard<std::mutex> lock(mutex_);
    waiting_.reset();
  }

  std::uint64_t generation() const override { return core_.generation(); }
  bool busy() const override { return core_.busy(); }

 private:
  void loop() {
    for (;;) {
      WorkerCore::Queued w;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        // Looks again now and then even without a wake-up: a wake-up lost
        // by the thread library would otherwise leave a job waiting until
        // the next one comes.
        while (!wake_.wait_for(lock, std::chrono::milliseconds(250), [this] { return stop_ || waiting_.has_value(); })) {
        }
        if (stop_) return;
        w = std::move(*waiting_);
        waiting_.reset();
      }
      Delivery delivery;
      if (!w.ticket.flag->raised()) {
        try {
          delivery = w.job(*w.ticket.flag);
        } catch (...) {
          delivery = nullptr;  // a failed job delivers nothing
        }
      }
      // Posted even without a delivery, so the GUI thread sees the end of
      // the job (busy() turns false); the arrival drops it when stale.
      post_(core_.arrival(w.ticket.generation, std::move(delivery)));
    }
  }

  WorkerCore core_;
  std::function<void(std::function<void()>)> post_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::optional<WorkerCore::Queued> waiting_;
  bool stop_ = false;
  std::thread thread_;  // last: starts once everything above exists
};

}  // namespace

std::unique_ptr<Worker> makeThreadWorker(std::function<void(std::function<void()>)> post) {
  return std::make_unique<ThreadWorker>(std::move(post));
}

}  // namespace lh::platform
