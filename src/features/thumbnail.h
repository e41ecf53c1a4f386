// The capture thumbnail: a small picture of the whole screen shown in the
// middle of the screen after a capture, flying sideways into the main
// window (left, or right when the window stands in the right half), 5, 10,
// 15 ... pixels per 10-ms tick, and closing once it has passed the window's
// left edge.
#pragma once

#include <functional>
#include <memory>

#include "platform/platform.h"
#include "ui/window.h"

namespace lh::features {

class CaptureThumbnail {
 public:
  CaptureThumbnail(platform::Platform& platform, std::function<int()> mainLeft);
  ~CaptureThumbnail();

  // Creates the window and starts its flight; a thumbnail still flying
  // lands at once first.
  void show();
  // Ends the flight: the window closes.
  void finish();

  bool flying() const { return window_ != nullptr; }
  int left() const { return window_ ? window_->left() : 0; }
  ui::Window* window() { return window_.get(); }
  int flightStep() const { return step_; }  // FlightStep

 private:
  void tick();

  platform::Platform& platform_;
  std::function<int()> mainLeft_;
  std::unique_ptr<ui::Window> window_;
  platform::Platform::TimerId 时钟1_ = 0;
  int step_ = 0;
};

}  // namespace lh::features
