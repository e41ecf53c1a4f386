#include "features/docking.h"
#include "ui/easing.h"

#include <algorithm>
#include <cmath>

#include "canvas/decode.h"
#include "ui/layout.h"

namespace lh::features {

namespace {
constexpr int kSlideFrames = 20;
}

Docking::Docking(platform::Platform& platform, ui::Window& main, ui::Window& bin, int screenWidth, int screenHeight)
    : platform_(platform), main_(main), bin_(bin), screenW_(screenWidth), screenH_(screenHeight), slide_(platform) {
  dragTimer_ = platform_.createTimer([this] { main_.moveTo(platform_.cursorPosition().x - dragOffset_, main_.top()); });
  main_.host().events.moved = [this](int, int) { placeCompanions(); };
}

std::unique_ptr<ui::Window> Docking::edgeWindow(const char* title, Resource shadow) {
  const int h = screenH_;
  auto w = std::make_unique<ui::Window>(
      platform_, platform::WindowOptions{{0, 0, kEdgeWidth, h}, true, false, true, title}, 0xFFFFFF);
  // The shadow stretched to the screen height, at the screen centre until
  // the layout moves it beside the main window.
  const canvas::Picture src = canvas::decodePicture(resources::bytes(shadow), canvas::Alpha::Premultiplied);
  canvas::Picture tall;
  tall.width = src.width;
  tall.height = h;
  tall.alpha = canvas::Alpha::Premultiplied;
  tall.pixels.resize(static_cast<std::size_t>(tall.width) * std::max(0, h));
  for (int y = 0; y < h && src.height > 0; ++y) {
    const int sy = static_cast<int>(static_cast<long long>(y) * src.height / h);
    for (int x = 0; x < tall.width; ++x) tall.at(x, y) = src.at(x, sy);
  }
  w->setBounds({screenW_ / 2 - tall.width / 2, screenH_ / 2 - h / 2, tall.width, h});
  w->host().presentLayered(tall, 255);
  return w;
}

void Docking::buildEdgeWindows() {
  rightEdge_ = edgeWindow("RightEdgeTabWindow", Resource::RightEdgeShadow);
  leftEdge_ = edgeWindow("LeftEdgeTabWindow", Resource::LeftEdgeShadow);

  auto& right = rightEdge_->root();
  right.onPointerMove = [this](int, int y, bool) {
    if (y < 20 && !bin_.visible() && rightEdge_->left() == 0) slideIn();
  };
  right.onButtonUp = [this](platform::MouseButton b, int, int) {
    if (b == platform::MouseButton::Left) {
      if (main_.left() <= 10) {
        slideIn();
      } else {
        slideOut();
      }
    } else if (onRightEdgeRightClick) {
      onRightEdgeRightClick();
    }
  };
  auto& left = leftEdge_->root();
  auto toggle = [this] {
    if (main_.left() < 0) {
      slideIn();
    } else {
      slideOut();
    }
  };
  left.onButtonUp = [toggle](platform::MouseButton b, int, int) {
    if (b == platform::MouseButton::Left) toggle();
  };
  left.onPointerMove = [this, toggle](int, int y, bool) {
    const int band = screenH_ * 3 / 4;
    if (y > band && y < band + 30) toggle();
  };
}

void Docking::createTopStrip(canvas::AnimationBox& header, Pictures& pictures) {
  topStrip_ = header.createObject(0, 0);
  header.setPicture(topStrip_, pictures(Resource::PinStrip));
  header.setLayer(topStrip_, 8);
  auto normal = pictures(Resource::PinStrip), hover = pictures(Resource::PinStripHover);
  header.setObjectHandlers(topStrip_, {.press = [this] { startDrag(); },
                                       .rightUp = [this] { hideAll(); },
                                       .doubleClick =
                                           [this] {
                                             // The second press began a drag: a double click is no drag.
                                             endDrag();
                                             slideOut();
                                           },
                                       .enter = [&header, this, hover] { header.setPicture(topStrip_, hover); },
                                       .leave = [&header, this, normal] { header.setPicture(topStrip_, normal); }});
  auto& e = header.listen();
  e.pointerDown = [this](canvas::Button b, int x, int) {
    if (b == canvas::Button::Left) dragOffset_ = x;
  };
  // The drag ends at the release, wherever the pointer is then.
  e.pointerUp = [this](canvas::Button b, int, int) {
    if (b == canvas::Button::Left && dragging_) {
      endDrag();
      if (leftEdge_->left() < -13) slideIn();
    }
  };
  // Or where it is when the header's input is taken away (long work lets
  // messages through): its release is dropped then.
  e.pressCancelled = [this](canvas::ObjectId) { endDrag(); };
}

void Docking::startDrag() {
  slide_.finish();  // the drag starts from where the slide was going
  dragging_ = true;
  platform_.clipCursor(platform::Bounds{0, 0, screenW_, 25});
  platform_.setTimerPeriod(dragTimer_, 10);
}

void Docking::endDrag() {
  if (!dragging_) return;
  dragging_ = false;
  platform_.clipCursor(std::nullopt);
  platform_.setTimerPeriod(dragTimer_, 0);
}

void Docking::placeCompanions() {
  const int l = main_.left(), w = main_.width();
  bin_.moveTo(l + w + 10, bin_.top());
  if (!rightEdge_) return;
  rightEdge_->moveTo(l + w, rightEdge_->top());
  leftEdge_->moveTo(l - leftEdge_->width(), leftEdge_->top());
}

platform::Point Docking::capturePoint() const {
  return {rightEdge_->left() + layout::kCaptureRightOfEdgeTab, layout::kCaptureY};
}

void Docking::slideIn() {
  if (slide_.running()) return;
  shown_ = true;
  showAll();
  startSlide(kDockedLeft);
}

void Docking::slideOut() {
  if (slide_.running()) return;
  shown_ = false;
  startSlide(-main_.width());
}

void Docking::turnSlideIn() {
  if (slide_.running() && shown_) return;
  slide_.cancel();
  slideIn();
}

void Docking::turnSlideOut() {
  if (slide_.running() && !shown_) return;
  slide_.cancel();
  slideOut();
}

void Docking::startSlide(int target) {
  const int a = main_.left();
  slideFrames_.clear();
  for (int f = 1; f <= kSlideFrames; ++f) {
    slideFrames_.push_back(ui::eased(a, target, ui::quartOut(f, kSlideFrames)));
  }
  slide_.start(
      kSlideFrames, [this](int f) { main_.moveTo(slideFrames_[static_cast<std::size_t>(f - 1)], main_.top()); },
      [this] { main_.moveTo(shown_ ? kDockedLeft : -main_.width(), main_.top()); });
}

void Docking::showAll() {
  main_.setVisible(true);
  rightEdge_->setVisible(true);
  leftEdge_->setVisible(true);
}

void Docking::hideAll() {
  endDrag();
  main_.setVisible(false);
  rightEdge_->setVisible(false);
  leftEdge_->setVisible(false);
  bin_.setVisible(false);
}

Docking::~Docking() { platform_.setTimerPeriod(dragTimer_, 0); }

}  // namespace lh::features
