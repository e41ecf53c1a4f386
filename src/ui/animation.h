// An animation: a sequence of frames played one per tick of its own timer
// (10 ms), which can be finished (the last frame now) or cancelled (left
// where it is) by whoever would otherwise fight with it.
#pragma once

#include <functional>

#include "platform/platform.h"

namespace lh::ui {

class Animation {
 public:
  using Step = std::function<void(int frame)>;

  explicit Animation(platform::Platform& platform, int periodMs = 10);
  ~Animation();
  Animation(const Animation&) = delete;
  Animation& operator=(const Animation&) = delete;

  // Plays frames 1 .. `frames`, one per tick; after the last one, `done`
  // runs. Starting a running animation replaces it (its `done` never runs).
  void start(int frames, Step step, std::function<void()> done = {});
  // Plays the last frame at once and runs `done`; nothing when not running.
  void finish();
  // Stops where it is; `done` does not run.
  void cancel();
  bool running() const { return frames_ > 0; }
  int frame() const { return frame_; }

 private:
  void tick();
  void end();

  platform::Platform& platform_;
  platform::Platform::TimerId timer_;
  int period_;
  int frames_ = 0, frame_ = 0;
  Step step_;
  std::function<void()> done_;
};

}  // namespace lh::ui
