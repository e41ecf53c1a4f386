// The portable window model: a top-level window holds a tree of controls
// that paint into the window's own pixel buffer; the platform only hosts the
// window, shows its pixels and delivers input. The same code therefore runs
// in the Windows program and in the simulator, where a test can click and
// read every control.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "canvas/animation_box.h"
#include "platform/platform.h"

namespace lh::ui {

using canvas::Rect;
using platform::MouseButton;

class Window;

// A rectangle of the window that draws itself and may hold child controls
// (painted after it, on top). Positions are relative to the parent.
class Control {
 public:
  explicit Control(std::string name) : name_(std::move(name)) {}
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  const std::string& name() const { return name_; }

  // Geometry relative to the parent control (or the window).
  int left() const { return left_; }
  int top() const { return top_; }
  int width() const { return width_; }
  int height() const { return height_; }
  void setBounds(int left, int top, int width, int height);
  void setLeft(int v) { setBounds(v, top_, width_, height_); }
  void setTop(int v) { setBounds(left_, v, width_, height_); }
  void setWidth(int v) { setBounds(left_, top_, v, height_); }
  void setHeight(int v) { setBounds(left_, top_, width_, v); }
  bool visible() const { return visible_; }
  void setVisible(bool v);
  // Visible, and every ancestor too.
  bool shown() const;
  // Pointer input to the control and its children is dropped while it is
  // disabled (while long work lets messages through, for example). A press
  // held on it when it is disabled is cancelled: the control is told, and
  // the release, whenever it comes, is dropped.
  void setInputEnabled(bool enabled);
  bool inputEnabled() const { return inputEnabled_; }
  // A press held on the control (or a child) ends now as if its input had
  // been disabled: the control is told, and the release is dropped.
  void cancelHeldPress();
  // Enabled, and every ancestor too.
  bool receivesInput() const;

  template <typename T, typename... Args>
  T& add(Args&&... args) {
    auto c = std::make_unique<T>(std::forward<Args>(args)...);
    T& ref = *c;
    adopt(std::move(c));
    return ref;
  }
  const std::vector<std::unique_ptr<Control>>& children() const { return children_; }
  Control* parent() const { return parent_; }
  Window* window() const { return window_; }
  // The control's rectangle in window coordinates.
  Rect windowRect() const;

  // Handlers for the control's ordinary events, in its own coordinates.
  std::function<void(MouseButton, int x, int y)> onButtonDown, onButtonUp;
  std::function<void(int x, int y)> onDoubleClick;
  std::function<void(int x, int y, bool leftHeld)> onPointerMove;
  std::function<void(int notches, int x, int y)> onWheel;
  std::function<void()> onPointerLeave;

  // Input routed by the window, in the control's coordinates.
  virtual void buttonDown(MouseButton b, int x, int y);
  virtual void buttonUp(MouseButton b, int x, int y);
  virtual void doubleClick(int x, int y);
  virtual void pointerMove(int x, int y, bool leftHeld);
  virtual void wheel(int notches, int x, int y);
  virtual void pointerLeave();
  // The press this control took will have no release (its input was
  // disabled while the button was held): drags and pending clicks end.
  virtual void pressCancelled();
  // Whether input at the point belongs to this control (not its children).
  virtual bool acceptsInput(int x, int y) const { return true; }

  // Draws the part `clip` (window coordinates) into the window's pixels.
  virtual void paint(std::uint32_t* pixels, int stride, const Rect& clip) {}
  // Called before painting: a control that keeps its own pixels (a canvas)
  // brings them up to date and invalidates what changed.
  virtual void update() {}

  void invalidate();                  // the whole control
  void invalidate(const Rect& local);  // a part, in control coordinates

 protected:
  virtual void boundsChanged() {}

 private:
  friend class Window;
  bool contains(const Control* c) const;
  void adopt(std::unique_ptr<Control> c);
  void attach(Window* w);

  std::string name_;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool visible_ = true;
  bool inputEnabled_ = true;
  Control* parent_ = nullptr;
  Window* window_ = nullptr;
  std::vector<std::unique_ptr<Control>> children_;
};

// A top-level window: its controls, its pixels and its host.
class Window {
  friend class Control;

 public:
  Window(platform::Platform& platform, const platform::WindowOptions& options, std::uint32_t backgroundRef);
  ~Window();

  platform::HostWindow& host() { return *host_; }
  platform::Platform& platform() { return platform_; }
  Control& root() { return root_; }
  template <typename T, typename... Args>
  T& add(Args&&... args) {
    return root_.add<T>(std::forward<Args>(args)...);
  }
  // The control of that name anywhere in the tree, or nullptr.
  Control* find(const std::string& name);

  int left() const { return host_->bounds().left; }
  int top() const { return host_->bounds().top; }
  int width() const { return host_->bounds().width; }
  int height() const { return host_->bounds().height; }
  void setBounds(const platform::Bounds& b);
  void moveTo(int left, int top) { host_->moveTo(left, top); }
  void setVisible(bool v) { host_->setVisible(v); }
  bool visible() const { return host_->visible(); }

  void invalidate(const Rect& r);
  // Updates the controls, recomposes what changed and presents it.
  void paint();
  std::uint32_t pixel(int x, int y) const { return pixels_[static_cast<std::size_t>(y) * width_ + x]; }

 private:
  void paintTree(Control& c, const Rect& clip);
  void updateTree(Control& c);
  Control* target(int x, int y);
  Control* targetIn(Control& c, int x, int y);
  void toLocal(Control& c, int& x, int& y) const;
  void routeMove(int x, int y, bool leftHeld);
  void leaveHovered();
  // The control for pointer input at the point, or the one holding the
  // button; nullptr when input to it is disabled.
  Control* inputTarget(int x, int y);
  // Input to `c` was disabled: a press held on it is cancelled.
  void inputDisabled(Control& c);

  platform::Platform& platform_;
  std::unique_ptr<platform::HostWindow> host_;
  Control root_;
  std::uint32_t background_;
  int width_ = 0, height_ = 0;
  std::vector<std::uint32_t> pixels_;
  std::vector<Rect> dirty_;
  Control* captured_ = nullptr;  // the control a held button belongs to
  Control* hovered_ = nullptr;
  bool dropRelease_ = false;  // the press was dropped (no control took it)
};

}  // namespace lh::ui
