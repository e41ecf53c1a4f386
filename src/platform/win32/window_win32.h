// The program's top-level windows: the HostWindow of the window model on a
// real window of our class, its procedure, and the pixels it shows.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <optional>

#include "platform/platform.h"
#include "platform/win32/accessible_win32.h"
#include "platform/win32/edit_box_win32.h"
#include "platform/win32/scoped_win.h"

namespace lh::platform::win32 {

// Registers the windows' class once per process; false when the system
// refused it (the program cannot show a window then).
bool registerWindowClass();

class Win32Window : public HostWindow {
 public:
  explicit Win32Window(const WindowOptions& o);
  ~Win32Window() override;
  Win32Window(const Win32Window&) = delete;
  Win32Window& operator=(const Win32Window&) = delete;

  HWND hwnd() const { return hwnd_; }

  void setBounds(const Bounds& b) override;
  Bounds bounds() const override { return bounds_; }
  void setVisible(bool v) override;
  bool visible() const override;
  void present(const std::uint32_t* pixels, int width, int height, const std::vector<canvas::Rect>& dirty) override;
  void presentLayered(const canvas::Picture& p, int alpha) override;
  void setWindowAlpha(int alpha) override;
  void raise(bool activate) override;
  void setForeground() override;
  void takeFocus() override;
  std::uint64_t nativeId() const override { return reinterpret_cast<std::uintptr_t>(hwnd_); }
  std::unique_ptr<EditBox> createEditBox(const EditOptions& options) override;
  // The root's child `container` answers WM_GETOBJECT as object id
  // container + 1; its items are children 1, 2, ...
  void accessibleFocus(int container, int item) override;

  // The window procedure's work for this window.
  LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);

 private:
  // The messages of each kind; none for a message of another kind.
  std::optional<LRESULT> pointerMessage(UINT msg, WPARAM wp, LPARAM lp);
  std::optional<LRESULT> keyMessage(UINT msg, WPARAM wp);
  std::optional<LRESULT> windowMessage(UINT msg, WPARAM wp, LPARAM lp);
  void ensureDib(int width, int height);
  void paint();

  WindowOptions options_;
  HWND hwnd_ = nullptr;
  Bounds bounds_;
  std::map<HWND, Win32EditBox*> edits_;
  OwnedBitmap dib_;
  std::uint32_t* bits_ = nullptr;
  int dibWidth_ = 0, dibHeight_ = 0;
  bool trackingLeave_ = false;
  bool releasingCapture_ = false;
  std::unique_ptr<WindowAccessibility> accessibility_;
};

}  // namespace lh::platform::win32
