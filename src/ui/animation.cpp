#include "ui/animation.h"

namespace lh::ui {

Animation::Animation(platform::Platform& platform, int periodMs) : platform_(platform), period_(periodMs) {
  timer_ = platform_.createTimer([this] { tick(); });
}

Animation::~Animation() { platform_.setTimerPeriod(timer_, 0); }

void Animation::start(int frames, Step step, std::function<void()> done) {
  step_ = std::move(step);
  done_ = std::move(done);
  frame_ = 0;
  frames_ = frames;
  if (frames_ <= 0) {
    frames_ = 0;
    platform_.setTimerPeriod(timer_, 0);
    return;
  }
  platform_.setTimerPeriod(timer_, period_);
}

void Animation::tick() {
  if (!running()) {
    platform_.setTimerPeriod(timer_, 0);
    return;
  }
  ++frame_;
  const int f = frame_;
  const int generation = frames_;
  Step step = step_;  // the step may restart or cancel the animation
  step(f);
  if (running() && frame_ == f && frames_ == generation && f >= frames_) end();
}

void Animation::finish() {
  if (!running()) return;
  const int last = frames_;
  frame_ = last;
  Step step = step_;
  step(last);
  if (running() && frame_ == last) end();
}

void Animation::cancel() {
  frames_ = 0;
  frame_ = 0;
  platform_.setTimerPeriod(timer_, 0);
}

void Animation::end() {
  auto done = std::move(done_);
  done_ = nullptr;
  frames_ = 0;
  frame_ = 0;
  platform_.setTimerPeriod(timer_, 0);
  if (done) done();
}

}  // namespace lh::ui
