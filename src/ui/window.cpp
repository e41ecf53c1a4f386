#include "ui/window.h"

#include <algorithm>

namespace lh::ui {

// ------------------------------------------------------------ Control

void Control::setBounds(int left, int top, int width, int height) {
  width = std::max(0, width);
  height = std::max(0, height);
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  invalidate();
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  boundsChanged();
  invalidate();
}

void Control::setVisible(bool v) {
  if (v == visible_) return;
  visible_ = v;
  if (window_) window_->invalidate(windowRect());
}

bool Control::shown() const {
  for (const Control* c = this; c; c = c->parent_) {
    if (!c->visible_) return false;
  }
  return true;
}

Rect Control::windowRect() const {
  int x = left_, y = top_;
  for (const Control* p = parent_; p; p = p->parent_) {
    x += p->left_;
    y += p->top_;
  }
  return {x, y, x + width_, y + height_};
}

void Control::invalidate() {
  if (window_ && shown()) window_->invalidate(windowRect());
}

void Control::invalidate(const Rect& local) {
  if (!window_ || !shown()) return;
  const Rect w = windowRect();
  window_->invalidate(Rect{w.left + local.left, w.top + local.top, w.left + local.right, w.top + local.bottom}.intersect(w));
}

void Control::adopt(std::unique_ptr<Control> c) {
  c->parent_ = this;
  c->attach(window_);
  children_.push_back(std::move(c));
  children_.back()->invalidate();
}

void Control::attach(Window* w) {
  window_ = w;
  for (auto& c : children_) c->attach(w);
}

void Control::buttonDown(MouseButton b, int x, int y) {
  if (onButtonDown) onButtonDown(b, x, y);
}
void Control::buttonUp(MouseButton b, int x, int y) {
  if (onButtonUp) onButtonUp(b, x, y);
}
void Control::doubleClick(int x, int y) {
  if (onDoubleClick) onDoubleClick(x, y);
}
void Control::pointerMove(int x, int y, bool leftHeld) {
  if (onPointerMove) onPointerMove(x, y, leftHeld);
}
void Control::wheel(int notches, int x, int y) {
  if (onWheel) onWheel(notches, x, y);
}
bool Control::receivesInput() const {
  for (const Control* c = this; c; c = c->parent_) {
    if (!c->inputEnabled_) return false;
  }
  return true;
}

void Control::pointerLeave() {
  if (onPointerLeave) onPointerLeave();
}

void Control::pressCancelled() {}

void Control::cancelHeldPress() {
  if (window_) window_->inputDisabled(*this);
}

void Control::setInputEnabled(bool enabled) {
  const bool was = inputEnabled_;
  inputEnabled_ = enabled;
  if (was && !enabled && window_) window_->inputDisabled(*this);
}

bool Control::contains(const Control* c) const {
  for (; c; c = c->parent_) {
    if (c == this) return true;
  }
  return false;
}

// ------------------------------------------------------------ Window

namespace {

class Root : public Control {
 public:
  using Control::Control;
};

}  // namespace

Window::Window(platform::Platform& platform, const platform::WindowOptions& options, std::uint32_t backgroundRef)
    : platform_(platform),
      host_(platform.createWindow(options)),
      root_("root"),
      background_(canvas::colourRefToArgb(backgroundRef)) {
  root_.attach(this);
  setBounds(options.bounds);
  auto& e = host_->events;
  e.buttonDown = [this](MouseButton b, int x, int y) {
    Control* c = inputTarget(x, y);
    dropRelease_ = !c;  // a dropped press drops its release: it would complete a click
    if (!c) return;
    captured_ = c;
    toLocal(*c, x, y);
    c->buttonDown(b, x, y);
  };
  e.buttonUp = [this](MouseButton b, int x, int y) {
    Control* c = inputTarget(x, y);
    captured_ = nullptr;
    if (dropRelease_) {
      dropRelease_ = false;
      return;
    }
    if (!c) return;
    toLocal(*c, x, y);
    c->buttonUp(b, x, y);
  };
  // Another window took the pointer: the held press ends as when its input
  // is taken away.
  e.captureLost = [this] { inputDisabled(root_); };
  // The second press of a double click is a press first.
  e.doubleClick = [this](int x, int y) {
    Control* c = inputTarget(x, y);
    dropRelease_ = !c;
    if (!c) return;
    captured_ = c;
    toLocal(*c, x, y);
    c->buttonDown(MouseButton::Left, x, y);
    if (captured_ == c) c->doubleClick(x, y);
  };
  e.pointerMove = [this](int x, int y, bool leftHeld) { routeMove(x, y, leftHeld); };
  e.pointerLeave = [this] {
    if (!captured_) leaveHovered();
  };
  e.wheel = [this](int notches, int x, int y) {
    Control* c = target(x, y);
    if (c && c->receivesInput()) {
      toLocal(*c, x, y);
      c->wheel(notches, x, y);
    }
  };
}

Window::~Window() = default;

void Window::setBounds(const platform::Bounds& b) {
  if (b.width != width_ || b.height != height_) {
    width_ = std::max(0, b.width);
    height_ = std::max(0, b.height);
    pixels_.assign(static_cast<std::size_t>(width_) * height_, background_);
    root_.setBounds(0, 0, width_, height_);
    dirty_.clear();
    invalidate({0, 0, width_, height_});
  }
  host_->setBounds(b);
}

Control* Window::find(const std::string& name) {
  std::vector<Control*> stack{&root_};
  while (!stack.empty()) {
    Control* c = stack.back();
    stack.pop_back();
    if (c->name() == name) return c;
    for (auto& child : c->children()) stack.push_back(child.get());
  }
  return nullptr;
}

void Window::invalidate(const Rect& r) {
  const Rect c = r.intersect({0, 0, width_, height_});
  if (c.empty()) return;
  for (Rect& d : dirty_) {
    if (!d.intersect(c).empty()) {
      d = d.unite(c);
      return;
    }
  }
  dirty_.push_back(c);
}

void Window::updateTree(Control& c) {
  // Hidden controls too: a native edit box must learn that it is hidden.
  c.update();
  for (auto& child : c.children()) updateTree(*child);
}

void Window::paintTree(Control& c, const Rect& clip) {
  if (!c.visible()) return;
  const Rect r = c.windowRect().intersect(clip);
  if (r.empty()) return;
  c.paint(pixels_.data(), width_, r);
  for (auto& child : c.children()) paintTree(*child, r);
}

void Window::paint() {
  updateTree(root_);
  if (dirty_.empty()) return;
  for (const Rect& r : dirty_) {
    for (int y = r.top; y < r.bottom; ++y) {
      std::fill(pixels_.begin() + static_cast<std::ptrdiff_t>(y) * width_ + r.left,
                pixels_.begin() + static_cast<std::ptrdiff_t>(y) * width_ + r.right, background_);
    }
    paintTree(root_, r);
  }
  host_->present(pixels_.data(), width_, height_, dirty_);
  dirty_.clear();
}

Control* Window::targetIn(Control& c, int x, int y) {
  if (!c.visible()) return nullptr;
  const Rect r = c.windowRect();
  if (!r.contains(x, y)) return nullptr;
  for (auto it = c.children().rbegin(); it != c.children().rend(); ++it) {
    if (Control* t = targetIn(**it, x, y)) return t;
  }
  return c.acceptsInput(x - r.left, y - r.top) ? &c : nullptr;
}

Control* Window::target(int x, int y) { return targetIn(root_, x, y); }

void Window::toLocal(Control& c, int& x, int& y) const {
  const Rect r = c.windowRect();
  x -= r.left;
  y -= r.top;
}

Control* Window::inputTarget(int x, int y) {
  Control* c = captured_ ? captured_ : target(x, y);
  return c && c->receivesInput() ? c : nullptr;
}

void Window::inputDisabled(Control& c) {
  if (!captured_ || !c.contains(captured_)) return;
  Control* held = captured_;
  captured_ = nullptr;
  dropRelease_ = true;  // a release after the work would complete a click on other rows
  held->pressCancelled();
}

void Window::leaveHovered() {
  if (!hovered_) return;
  Control* left = hovered_;
  hovered_ = nullptr;
  left->pointerLeave();
}

void Window::routeMove(int x, int y, bool leftHeld) {
  Control* c = inputTarget(x, y);
  if (hovered_ != c) leaveHovered();
  hovered_ = c;
  if (!c) return;
  toLocal(*c, x, y);
  c->pointerMove(x, y, leftHeld);
}

}  // namespace lh::ui
