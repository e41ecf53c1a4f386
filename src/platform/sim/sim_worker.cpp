#include "platform/sim/sim_worker.h"

namespace lh::platform::sim {

SimWorker::SimWorker(std::function<void(std::function<void()>)> post, std::function<void(SimWorker*)> onGone)
    : post_(std::move(post)), onGone_(std::move(onGone)) {}

SimWorker::~SimWorker() {
  cancel();
  if (onGone_) onGone_(this);
}

std::uint64_t SimWorker::start(Job job) {
  const WorkerCore::Ticket ticket = core_.begin();
  waiting_ = WorkerCore::Queued{std::move(job), ticket};
  return ticket.generation;
}

void SimWorker::cancel() {
  core_.cancel();
  waiting_.reset();
}

bool SimWorker::runPending() {
  if (!waiting_) return false;
  WorkerCore::Queued w = std::move(*waiting_);
  waiting_.reset();
  ++jobsRun;
  Delivery delivery;
  if (!w.ticket.flag->raised()) delivery = w.job(*w.ticket.flag);
  post_(core_.arrival(w.ticket.generation, std::move(delivery)));
  return true;
}

}  // namespace lh::platform::sim
