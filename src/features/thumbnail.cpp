#include "features/thumbnail.h"

#include "ui/controls.h"

namespace lh::features {

CaptureThumbnail::CaptureThumbnail(platform::Platform& platform, std::function<int()> mainLeft)
    : platform_(platform), mainLeft_(std::move(mainLeft)) {
  时钟1_ = platform_.createTimer([this] { tick(); });
}

CaptureThumbnail::~CaptureThumbnail() { platform_.setTimerPeriod(时钟1_, 0); }

void CaptureThumbnail::show() {
  finish();
  const platform::Point screen = platform_.screenSize();
  const int w = screen.x / 6, h = screen.y / 6;
  // It flies over the edge tab and the list: a click meant for them while
  // it passes goes to them.
  platform::WindowOptions options{{screen.x / 3, screen.y / 3, w, h}, true, true, false, "CaptureThumbnail"};
  options.passesInput = true;
  window_ = std::make_unique<ui::Window>(platform_, options, 0xFFFFFF);
  auto& picture = window_->add<ui::PictureBox>("背景");
  picture.setBounds(0, 0, w, h);
  auto snapshot = std::make_shared<canvas::Picture>(platform_.screenSnapshot(w, h));
  if (!snapshot->empty()) picture.setPicture(std::move(snapshot));
  window_->setVisible(true);
  window_->paint();
  step_ = 0;
  platform_.setTimerPeriod(时钟1_, 10);
}

void CaptureThumbnail::finish() {
  platform_.setTimerPeriod(时钟1_, 0);
  step_ = 0;
  window_.reset();
}

void CaptureThumbnail::tick() {
  if (!window_) {
    finish();
    return;
  }
  const int m = mainLeft_();
  const int half = platform_.screenSize().x / 2;
  const int left = window_->left();
  if (m + 150 > half) {
    // The main window stands in the right half: the flight goes right.
    if (left < m) {
      step_ += 5;
      window_->moveTo(left + step_, window_->top());
      return;
    }
  } else if (m < left) {
    step_ += 5;
    window_->moveTo(left - step_, window_->top());
    return;
  }
  finish();  // past the main window's left edge
}

}  // namespace lh::features
