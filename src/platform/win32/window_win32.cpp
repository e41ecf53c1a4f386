#include "platform/win32/window_win32.h"

#include <algorithm>
#include <optional>

#include "platform/win32/gdi_win32.h"
#include "platform/win32/keys_win32.h"
#include "platform/win32/wide.h"

namespace lh::platform::win32 {

namespace {

const wchar_t kWindowClass[] = L"LinkhoardWindow";

LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* w = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (w) return w->handle(msg, wp, lp);
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

bool registerWindowClass() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = windowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kWindowClass;
  return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

Win32Window::Win32Window(const WindowOptions& o) : options_(o), bounds_(o.bounds) {
  DWORD ex = WS_EX_TOOLWINDOW;
  if (o.topMost) ex |= WS_EX_TOPMOST;
  if (o.layered) ex |= WS_EX_LAYERED;
  // The system hit-tests through a window that is both layered and
  // transparent (transparent alone changes only the painting order).
  if (o.passesInput) ex |= WS_EX_LAYERED | WS_EX_TRANSPARENT;
  hwnd_ = CreateWindowExW(ex, kWindowClass, wide(o.title).c_str(), WS_POPUP, o.bounds.left, o.bounds.top,
                          o.bounds.width, o.bounds.height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  // (A window the system could not make stays an empty one: every call on
  // a null window fails harmlessly, and WM_GETOBJECT never comes.)
  accessibility_ = std::make_unique<WindowAccessibility>(hwnd_, events);
  if (hwnd_) SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  // Layered only to pass input: drawn as any window, wholly opaque.
  if (hwnd_ && o.passesInput && !o.layered) SetLayeredWindowAttributes(hwnd_, 0, 255, LWA_ALPHA);
}

Win32Window::~Win32Window() {
  accessibility_->detach();
  if (!hwnd_) return;
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  DestroyWindow(hwnd_);
}

void Win32Window::setBounds(const Bounds& b) {
  bounds_ = b;
  SetWindowPos(hwnd_, nullptr, b.left, b.top, b.width, b.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Window::setVisible(bool v) { ShowWindow(hwnd_, v ? SW_SHOWNOACTIVATE : SW_HIDE); }
bool Win32Window::visible() const { return IsWindowVisible(hwnd_) != 0; }

void Win32Window::present(const std::uint32_t* pixels, int width, int height, const std::vector<canvas::Rect>& dirty) {
  ensureDib(width, height);
  if (!bits_) return;
  for (const canvas::Rect& r : dirty) {
    const canvas::Rect c = r.intersect({0, 0, width, height});
    for (int y = c.top; y < c.bottom; ++y) {
      std::copy(pixels + static_cast<std::size_t>(y) * width + c.left, pixels + static_cast<std::size_t>(y) * width + c.right,
                bits_ + static_cast<std::size_t>(y) * dibWidth_ + c.left);
    }
    RECT rc{c.left, c.top, c.right, c.bottom};
    InvalidateRect(hwnd_, &rc, FALSE);
  }
  UpdateWindow(hwnd_);
}

void Win32Window::presentLayered(const canvas::Picture& p, int alpha) {
  if (p.empty()) return;
  const DibSurface surface(p.width, p.height);
  if (!surface.ok()) return;
  std::copy(p.pixels.begin(), p.pixels.end(), surface.bits());
  const ScreenDc screen;
  POINT dst{bounds_.left, bounds_.top};
  SIZE size{p.width, p.height};
  POINT src{0, 0};
  BLENDFUNCTION blend{AC_SRC_OVER, 0, static_cast<BYTE>(alpha <= 0 ? 255 : std::min(alpha, 255)), AC_SRC_ALPHA};
  UpdateLayeredWindow(hwnd_, screen.get(), &dst, &size, surface.dc(), &src, 0, &blend, ULW_ALPHA);
  bounds_.width = p.width;
  bounds_.height = p.height;
}

void Win32Window::setWindowAlpha(int alpha) {
  SetWindowLongW(hwnd_, GWL_EXSTYLE, GetWindowLongW(hwnd_, GWL_EXSTYLE) | WS_EX_LAYERED);
  SetLayeredWindowAttributes(hwnd_, 0, static_cast<BYTE>(std::clamp(alpha, 0, 255)), LWA_ALPHA);
}

void Win32Window::raise(bool activate) {
  SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | (activate ? 0 : SWP_NOACTIVATE));
}
void Win32Window::setForeground() { SetForegroundWindow(hwnd_); }
void Win32Window::takeFocus() { SetFocus(hwnd_); }

std::unique_ptr<EditBox> Win32Window::createEditBox(const EditOptions& options) {
  return std::make_unique<Win32EditBox>(hwnd_, options, edits_);
}

void Win32Window::accessibleFocus(int container, int item) {
  NotifyWinEvent(EVENT_OBJECT_FOCUS, hwnd_, container + 1, item + 1);
  NotifyWinEvent(EVENT_OBJECT_SELECTION, hwnd_, container + 1, item + 1);
}

LRESULT Win32Window::handle(UINT msg, WPARAM wp, LPARAM lp) {
  if (const auto r = pointerMessage(msg, wp, lp)) return *r;
  if (const auto r = keyMessage(msg, wp)) return *r;
  if (const auto r = windowMessage(msg, wp, lp)) return *r;
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

// The pointer: buttons (holding the capture while one is down), moves,
// leaving, the wheel.
std::optional<LRESULT> Win32Window::pointerMessage(UINT msg, WPARAM wp, LPARAM lp) {
  const int x = static_cast<short>(LOWORD(lp)), y = static_cast<short>(HIWORD(lp));
  switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      SetCapture(hwnd_);
      if (events.buttonDown) events.buttonDown(msg == WM_LBUTTONDOWN ? MouseButton::Left : MouseButton::Right, x, y);
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      releasingCapture_ = true;  // our own release is no loss
      ReleaseCapture();
      releasingCapture_ = false;
      if (events.buttonUp) events.buttonUp(msg == WM_LBUTTONUP ? MouseButton::Left : MouseButton::Right, x, y);
      return 0;
    case WM_LBUTTONDBLCLK:
      // The system sends this instead of the second WM_LBUTTONDOWN.
      SetCapture(hwnd_);
      if (events.doubleClick) events.doubleClick(x, y);
      return 0;
    case WM_RBUTTONDBLCLK:
      SetCapture(hwnd_);
      if (events.buttonDown) events.buttonDown(MouseButton::Right, x, y);
      return 0;
    case WM_MOUSEMOVE:
      if (!trackingLeave_) {
        TRACKMOUSEEVENT t{sizeof(TRACKMOUSEEVENT), TME_LEAVE, hwnd_, 0};
        trackingLeave_ = TrackMouseEvent(&t) != FALSE;
      }
      if (events.pointerMove) events.pointerMove(x, y, (wp & MK_LBUTTON) != 0);
      return 0;
    case WM_CAPTURECHANGED:
      // Another window took the pointer while a button was held here.
      if (!releasingCapture_ && reinterpret_cast<HWND>(lp) != hwnd_ && events.captureLost) events.captureLost();
      return 0;
    case WM_MOUSELEAVE:
      trackingLeave_ = false;
      if (events.pointerLeave) events.pointerLeave();
      return 0;
    case WM_MOUSEWHEEL: {
      POINT pt{x, y};
      ScreenToClient(hwnd_, &pt);
      if (events.wheel) events.wheel(GET_WHEEL_DELTA_WPARAM(wp) / WHEEL_DELTA, pt.x, pt.y);
      return 0;
    }
    default:
      return std::nullopt;
  }
}

std::optional<LRESULT> Win32Window::keyMessage(UINT msg, WPARAM wp) {
  switch (msg) {
    case WM_KEYDOWN:
      if (events.keyDown) events.keyDown(static_cast<int>(wp), heldModifiers());
      return 0;
    case WM_CHAR: {
      // Control characters (Enter, Backspace, Esc, Ctrl combinations) are
      // keys; a surrogate pair names no GBK character.
      const wchar_t c = static_cast<wchar_t>(wp);
      if (c < 0x20 || c == 0x7F || (c >= 0xD800 && c <= 0xDFFF)) return 0;
      const std::string gbk = narrow(&c, 1);
      if (!gbk.empty() && events.character) events.character(gbk);
      return 0;
    }
    default:
      return std::nullopt;
  }
}

// The window itself: its place, activation, closing, painting, screen
// readers, and its edit boxes' notifications.
std::optional<LRESULT> Win32Window::windowMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_WINDOWPOSCHANGED: {
      const auto* pos = reinterpret_cast<const WINDOWPOS*>(lp);
      if (!(pos->flags & SWP_NOMOVE)) {
        bounds_.left = pos->x;
        bounds_.top = pos->y;
        if (events.moved) events.moved(pos->x, pos->y);
      }
      if (!(pos->flags & SWP_NOSIZE)) {
        bounds_.width = pos->cx;
        bounds_.height = pos->cy;
      }
      return 0;
    }
    case WM_ACTIVATE:
      if (LOWORD(wp) == WA_INACTIVE && events.deactivated) events.deactivated();
      return 0;
    case WM_CLOSE:
      if (!events.closeRequested || events.closeRequested()) DestroyWindow(hwnd_);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_GETOBJECT: {
      LRESULT result = 0;
      if (accessibility_->getObject(wp, lp, &result)) return result;
      return DefWindowProcW(hwnd_, msg, wp, lp);
    }
    case WM_NCDESTROY:
      // (Closed by the system: objects that assistive programs still
      // hold must not reach this window any more.)
      accessibility_->detach();
      return DefWindowProcW(hwnd_, msg, wp, lp);
    case WM_COMMAND:
      if (HIWORD(wp) == EN_CHANGE) {
        auto it = edits_.find(reinterpret_cast<HWND>(lp));
        if (it != edits_.end()) it->second->changed();
      }
      return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
      auto it = edits_.find(reinterpret_cast<HWND>(lp));
      if (it != edits_.end()) return reinterpret_cast<LRESULT>(it->second->colours(reinterpret_cast<HDC>(wp)));
      return DefWindowProcW(hwnd_, msg, wp, lp);
    }
    case WM_PAINT:
      paint();
      return 0;
    default:
      return std::nullopt;
  }
}

void Win32Window::paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  if (dib_) {
    const OwnedMemoryDc mem(CreateCompatibleDC(dc));
    if (mem) {
      const Selection selected(mem.get(), dib_.get());
      BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left, ps.rcPaint.bottom - ps.rcPaint.top,
             mem.get(), ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
    }
  }
  EndPaint(hwnd_, &ps);
}

void Win32Window::ensureDib(int width, int height) {
  if (dib_ && dibWidth_ == width && dibHeight_ == height) return;
  void* bits = nullptr;
  dib_ = createDib32(nullptr, width, height, &bits);
  bits_ = static_cast<std::uint32_t*>(bits);
  dibWidth_ = dib_ ? width : 0;
  dibHeight_ = dib_ ? height : 0;
}

}  // namespace lh::platform::win32
