// The native edit control behind an EditBox: typing, input methods,
// selection and the clipboard as the system's own. Its window (the parent)
// routes the change and colour notifications to it.
#pragma once

#include <windows.h>

#include <map>

#include "platform/platform.h"
#include "platform/win32/scoped_win.h"

namespace lh::platform::win32 {

class Win32EditBox : public EditBox {
 public:
  // Registers itself in its window's map of edit controls, which routes the
  // change and colour notifications, and leaves it when destroyed.
  Win32EditBox(HWND parent, const EditOptions& o, std::map<HWND, Win32EditBox*>& registry);
  ~Win32EditBox() override;
  Win32EditBox(const Win32EditBox&) = delete;
  Win32EditBox& operator=(const Win32EditBox&) = delete;
  HWND hwnd() const { return hwnd_.get(); }

  std::string text() const override;
  void setText(const std::string& t) override;
  void setReadOnly(bool r) override;
  void setVisible(bool v) override;
  bool visible() const override;
  void setBounds(const Bounds& b) override;
  Bounds bounds() const override { return bounds_; }
  void focus() override;
  bool hasFocus() const override;
  void caretToEnd() override;

  // EN_CHANGE from the parent: applies the byte limit, then tells the
  // program.
  void changed();
  // WM_CTLCOLOREDIT / WM_CTLCOLORSTATIC from the parent: the box's colours.
  HBRUSH colours(HDC dc);

 private:
  static LRESULT CALLBACK editProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

  EditOptions options_;
  Bounds bounds_;
  OwnedFont font_;
  OwnedBrush brush_;
  OwnedWindow hwnd_;  // (destroyed before its font and brush)
  WNDPROC previous_ = nullptr;
  bool inChange_ = false;
  bool swallowChar_ = false;
  std::map<HWND, Win32EditBox*>& registry_;
};

}  // namespace lh::platform::win32
