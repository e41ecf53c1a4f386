#include "platform/win32/edit_box_win32.h"

#include <algorithm>

#include "platform/win32/keys_win32.h"
#include "platform/win32/wide.h"
#include "text/gbk.h"

namespace lh::platform::win32 {

Win32EditBox::Win32EditBox(HWND parent, const EditOptions& o, std::map<HWND, Win32EditBox*>& registry)
    : options_(o), bounds_(o.bounds), registry_(registry) {
  DWORD style = WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL;
  if (o.multiLine) style = WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL;
  if (o.readOnly) style |= ES_READONLY;
  font_.reset(CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, GB2312_CHARSET, 0, 0, ANTIALIASED_QUALITY, 0, L"SimSun"));
  brush_.reset(CreateSolidBrush(o.backgroundRef));
  hwnd_.reset(CreateWindowExW(0, L"EDIT", L"", style, o.bounds.left, o.bounds.top, o.bounds.width, o.bounds.height,
                              parent, nullptr, GetModuleHandleW(nullptr), nullptr));
  // (A box the system could not make stays an empty one: every call on a
  // null window fails harmlessly.)
  if (!hwnd_) return;
  SetWindowLongPtrW(hwnd_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  previous_ =
      reinterpret_cast<WNDPROC>(SetWindowLongPtrW(hwnd_.get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&editProc)));
  SendMessageW(hwnd_.get(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  registry_[hwnd_.get()] = this;
}

Win32EditBox::~Win32EditBox() {
  if (!hwnd_) return;
  registry_.erase(hwnd_.get());
  // The box's own procedure again, and no way back to this object, before
  // the window goes: its destruction's messages reach nothing half gone.
  SetWindowLongPtrW(hwnd_.get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
  SetWindowLongPtrW(hwnd_.get(), GWLP_USERDATA, 0);
  hwnd_.reset();
}

std::string Win32EditBox::text() const {
  const int n = GetWindowTextLengthW(hwnd_.get());
  std::wstring w(static_cast<std::size_t>(std::max(0, n)) + 1, L'\0');
  const int got = GetWindowTextW(hwnd_.get(), w.data(), n + 1);
  return narrow(w.data(), static_cast<std::size_t>(std::max(0, got)));
}

void Win32EditBox::setText(const std::string& t) { SetWindowTextW(hwnd_.get(), wide(t).c_str()); }
void Win32EditBox::setReadOnly(bool r) { SendMessageW(hwnd_.get(), EM_SETREADONLY, r ? TRUE : FALSE, 0); }
void Win32EditBox::setVisible(bool v) { ShowWindow(hwnd_.get(), v ? SW_SHOWNA : SW_HIDE); }
bool Win32EditBox::visible() const { return IsWindowVisible(hwnd_.get()) != 0; }

void Win32EditBox::setBounds(const Bounds& b) {
  bounds_ = b;
  MoveWindow(hwnd_.get(), b.left, b.top, b.width, b.height, TRUE);
}

void Win32EditBox::focus() { SetFocus(hwnd_.get()); }
bool Win32EditBox::hasFocus() const { return hwnd_ && GetFocus() == hwnd_.get(); }

void Win32EditBox::caretToEnd() {
  const LRESULT n = SendMessageW(hwnd_.get(), WM_GETTEXTLENGTH, 0, 0);
  SendMessageW(hwnd_.get(), EM_SETSEL, static_cast<WPARAM>(n), n);
}

void Win32EditBox::changed() {
  if (inChange_) return;
  inChange_ = true;
  if (options_.maxBytes > 0) {
    const std::string t = text();
    if (t.size() > static_cast<std::size_t>(options_.maxBytes)) {
      // Whole characters only.
      setText(std::string(text::cutAtBoundary(t, static_cast<std::size_t>(options_.maxBytes))));
      SendMessageW(hwnd_.get(), EM_SETSEL, static_cast<WPARAM>(-1), -1);
    }
  }
  inChange_ = false;
  if (onChange) onChange();
}

HBRUSH Win32EditBox::colours(HDC dc) {
  SetTextColor(dc, options_.textColourRef);
  SetBkColor(dc, options_.backgroundRef);
  return brush_.get();
}

LRESULT CALLBACK Win32EditBox::editProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<Win32EditBox*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  if (msg == WM_KEYDOWN && self->onKeyDown && self->onKeyDown(static_cast<int>(wp), heldModifiers())) {
    self->swallowChar_ = true;
    return 0;
  }
  if (msg == WM_CHAR && self->swallowChar_) {
    self->swallowChar_ = false;  // the character of a consumed key (no beep)
    return 0;
  }
  return CallWindowProcW(self->previous_, hwnd, msg, wp, lp);
}

}  // namespace lh::platform::win32
