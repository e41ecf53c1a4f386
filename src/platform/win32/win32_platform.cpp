// Win32 implementation of the platform seam. Where Wine differs from
// Windows the difference is worked around here and said so.
#include "platform/win32/win32_platform.h"

#include <winsock2.h>
#include <ws2tcpip.h>
// (winsock2 before windows.h)
#include <windows.h>
#include <commctrl.h>
#include <mmsystem.h>
#include <objbase.h>
#include <psapi.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <vector>

#include "platform/win32/accessible_win32.h"
#include "platform/win32/retry.h"
#include "platform/win32/services_win32.h"
#include "platform/win32/wide.h"
#include "text/codepage.h"

namespace lh::platform::win32 {

namespace {

constexpr UINT kTrayMessage = WM_APP + 1;
constexpr UINT kPostedMessage = WM_APP + 2;
constexpr UINT kShowRequestMessage = WM_APP + 3;  // a later copy asks the first one to show itself
constexpr int kHotKeyId = 1;
const wchar_t kWindowClass[] = L"LinkhoardWindow";
const wchar_t kMessageClass[] = L"LinkhoardMessages";

// A top-down 32-bit DIB section of w x h pixels; `bits` receives its pixels.
// Null (and `bits` null) when the system could not make one: out of GDI
// memory, or an empty size. Callers never write through a null `bits`.
HBITMAP createDib32(HDC dc, int w, int h, void** bits) {
  *bits = nullptr;
  if (w <= 0 || h <= 0) return nullptr;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, bits, nullptr, 0);
  if (bmp && !*bits) {
    DeleteObject(bmp);
    bmp = nullptr;
  }
  if (!bmp) *bits = nullptr;
  return bmp;
}

class Win32Window;

// ------------------------------------------------------------ GDI text

class GdiRasterizer : public canvas::TextRasterizer {
 public:
  GdiRasterizer() { dc_ = CreateCompatibleDC(nullptr); }
  ~GdiRasterizer() override {
    for (auto& [key, font] : fonts_) DeleteObject(font);
    DeleteDC(dc_);
  }

  canvas::TextMask renderLine(const canvas::FontSpec& f, std::string_view line) override {
    HFONT font = fontFor(f);
    HGDIOBJ old = SelectObject(dc_, font);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc_, &tm);
    const std::wstring w = wide(std::string(line));
    SIZE size{};
    GetTextExtentPoint32W(dc_, w.c_str(), static_cast<int>(w.size()), &size);
    canvas::TextMask m;
    m.width = size.cx;
    m.height = tm.tmHeight;
    if (m.width <= 0 || m.height <= 0) {
      SelectObject(dc_, old);
      m.width = std::max(0, m.width);
      return m;
    }
    // White text on black in a 32-bit DIB: the green channel is the coverage.
    void* bits = nullptr;
    HBITMAP bmp = createDib32(dc_, m.width, m.height, &bits);
    if (!bmp) {
      SelectObject(dc_, old);
      m.width = m.height = 0;
      return m;
    }
    HGDIOBJ oldBmp = SelectObject(dc_, bmp);
    std::fill_n(static_cast<std::uint32_t*>(bits), static_cast<std::size_t>(m.width) * m.height, 0u);
    SetBkMode(dc_, TRANSPARENT);
    SetTextColor(dc_, RGB(255, 255, 255));
    TextOutW(dc_, 0, 0, w.c_str(), static_cast<int>(w.size()));
    GdiFlush();
    m.coverage.resize(static_cast<std::size_t>(m.width) * m.height);
    const auto* px = static_cast<const std::uint32_t*>(bits);
    for (std::size_t i = 0; i < m.coverage.size(); ++i) m.coverage[i] = static_cast<std::uint8_t>((px[i] >> 8) & 0xFF);
    SelectObject(dc_, oldBmp);
    DeleteObject(bmp);
    SelectObject(dc_, old);
    return m;
  }

 private:
  HFONT fontFor(const canvas::FontSpec& f) {
    const std::string key = f.face + "|" + std::to_string(f.size) + "|" + std::to_string(f.bold) +
                            std::to_string(f.italic) + std::to_string(f.underline) + std::to_string(f.strikeOut);
    auto it = fonts_.find(key);
    if (it != fonts_.end()) return it->second;
    HDC screen = GetDC(nullptr);
    const int height = -MulDiv(f.size, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    const std::wstring face = f.face.empty() || f.face.size() >= 32 ? L"SimSun" : wide(f.face);
    HFONT font = CreateFontW(height, 0, f.angle, f.angle, f.bold ? FW_BOLD : FW_NORMAL, f.italic, f.underline,
                             f.strikeOut, GB2312_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             ANTIALIASED_QUALITY, DEFAULT_PITCH, face.c_str());
    fonts_[key] = font;
    return font;
  }
  HDC dc_;
  std::map<std::string, HFONT> fonts_;
};

// ------------------------------------------------------------ edit boxes

class Win32EditBox : public EditBox {
 public:
  // Registers itself in its window's map of edit controls, which routes the
  // change and colour notifications, and leaves it when destroyed.
  Win32EditBox(HWND parent, const EditOptions& o, std::map<HWND, Win32EditBox*>& registry)
      : options_(o), bounds_(o.bounds), registry_(registry) {
    DWORD style = WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL;
    if (o.multiLine) style = WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL;
    if (o.readOnly) style |= ES_READONLY;
    hwnd_ = CreateWindowExW(0, L"EDIT", L"", style, o.bounds.left, o.bounds.top, o.bounds.width, o.bounds.height, parent,
                            nullptr, GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    previous_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&editProc)));
    HFONT font = CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, GB2312_CHARSET, 0, 0, ANTIALIASED_QUALITY, 0, L"SimSun");
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    font_ = font;
    brush_ = CreateSolidBrush(o.backgroundRef);
    registry_[hwnd_] = this;
  }
  ~Win32EditBox() override {
    registry_.erase(hwnd_);
    DestroyWindow(hwnd_);
    DeleteObject(font_);
    DeleteObject(brush_);
  }
  HWND hwnd() const { return hwnd_; }

  std::string text() const override {
    const int n = GetWindowTextLengthW(hwnd_);
    std::wstring w(static_cast<std::size_t>(n) + 1, L'\0');
    const int got = GetWindowTextW(hwnd_, w.data(), n + 1);
    return narrow(w.data(), static_cast<std::size_t>(std::max(0, got)));
  }
  void setText(const std::string& t) override { SetWindowTextW(hwnd_, wide(t).c_str()); }
  void setReadOnly(bool r) override { SendMessageW(hwnd_, EM_SETREADONLY, r ? TRUE : FALSE, 0); }
  void setVisible(bool v) override { ShowWindow(hwnd_, v ? SW_SHOWNA : SW_HIDE); }
  bool visible() const override { return IsWindowVisible(hwnd_) != 0; }
  void setBounds(const Bounds& b) override {
    bounds_ = b;
    MoveWindow(hwnd_, b.left, b.top, b.width, b.height, TRUE);
  }
  Bounds bounds() const override { return bounds_; }
  void focus() override { SetFocus(hwnd_); }
  bool hasFocus() const override { return GetFocus() == hwnd_; }
  void caretToEnd() override {
    const LRESULT n = SendMessageW(hwnd_, WM_GETTEXTLENGTH, 0, 0);
    SendMessageW(hwnd_, EM_SETSEL, static_cast<WPARAM>(n), n);
  }

  // EN_CHANGE from the parent: apply the byte limit, then tell the program.
  void changed() {
    if (inChange_) return;
    inChange_ = true;
    if (options_.maxBytes > 0) {
      const std::string t = text();
      if (t.size() > static_cast<std::size_t>(options_.maxBytes)) {
        std::size_t cut = 0;
        while (cut < t.size()) {
          const std::size_t len = (static_cast<unsigned char>(t[cut]) >= 0x81 && cut + 1 < t.size()) ? 2 : 1;
          if (cut + len > static_cast<std::size_t>(options_.maxBytes)) break;
          cut += len;
        }
        setText(t.substr(0, cut));
        SendMessageW(hwnd_, EM_SETSEL, static_cast<WPARAM>(-1), -1);
      }
    }
    inChange_ = false;
    if (onChange) onChange();
  }
  HBRUSH colours(HDC dc) {
    SetTextColor(dc, options_.textColourRef);
    SetBkColor(dc, options_.backgroundRef);
    return brush_;
  }

 private:
  static LRESULT CALLBACK editProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<Win32EditBox*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_KEYDOWN && self->onKeyDown) {
      int mods = 0;
      if (GetKeyState(VK_CONTROL) < 0) mods |= kCtrl;
      if (GetKeyState(VK_SHIFT) < 0) mods |= kShift;
      if (GetKeyState(VK_MENU) < 0) mods |= kAlt;
      if (self->onKeyDown(static_cast<int>(wp), mods)) {
        self->swallowChar_ = true;
        return 0;
      }
    }
    if (msg == WM_CHAR && self->swallowChar_) {
      self->swallowChar_ = false;  // the character of a consumed key (no beep)
      return 0;
    }
    return CallWindowProcW(self->previous_, hwnd, msg, wp, lp);
  }

  EditOptions options_;
  Bounds bounds_;
  HWND hwnd_ = nullptr;
  WNDPROC previous_ = nullptr;
  HFONT font_ = nullptr;
  HBRUSH brush_ = nullptr;
  bool inChange_ = false;
  bool swallowChar_ = false;
  std::map<HWND, Win32EditBox*>& registry_;
};

// ------------------------------------------------------------ windows

class Win32Window : public HostWindow {
 public:
  Win32Window(const WindowOptions& o) : options_(o) {
    DWORD ex = WS_EX_TOOLWINDOW;
    if (o.topMost) ex |= WS_EX_TOPMOST;
    if (o.layered) ex |= WS_EX_LAYERED;
    hwnd_ = CreateWindowExW(ex, kWindowClass, wide(o.title).c_str(), WS_POPUP, o.bounds.left, o.bounds.top,
                            o.bounds.width, o.bounds.height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    accessibility_ = std::make_unique<WindowAccessibility>(hwnd_, events);
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    bounds_ = o.bounds;
  }
  ~Win32Window() override {
    accessibility_->detach();
    if (dib_) DeleteObject(dib_);
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }

  HWND hwnd() const { return hwnd_; }

  void setBounds(const Bounds& b) override {
    bounds_ = b;
    SetWindowPos(hwnd_, nullptr, b.left, b.top, b.width, b.height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  Bounds bounds() const override { return bounds_; }
  void setVisible(bool v) override { ShowWindow(hwnd_, v ? SW_SHOWNOACTIVATE : SW_HIDE); }
  bool visible() const override { return IsWindowVisible(hwnd_) != 0; }

  void present(const std::uint32_t* pixels, int width, int height, const std::vector<canvas::Rect>& dirty) override {
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

  void presentLayered(const canvas::Picture& p, int alpha) override {
    if (p.empty()) return;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bmp = createDib32(mem, p.width, p.height, &bits);
    if (!bmp) {
      DeleteDC(mem);
      ReleaseDC(nullptr, screen);
      return;
    }
    std::copy(p.pixels.begin(), p.pixels.end(), static_cast<std::uint32_t*>(bits));
    HGDIOBJ old = SelectObject(mem, bmp);
    POINT dst{bounds_.left, bounds_.top};
    SIZE size{p.width, p.height};
    POINT src{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, static_cast<BYTE>(alpha <= 0 ? 255 : std::min(alpha, 255)), AC_SRC_ALPHA};
    UpdateLayeredWindow(hwnd_, screen, &dst, &size, mem, &src, 0, &blend, ULW_ALPHA);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    bounds_.width = p.width;
    bounds_.height = p.height;
  }

  void setWindowAlpha(int alpha) override {
    SetWindowLongW(hwnd_, GWL_EXSTYLE, GetWindowLongW(hwnd_, GWL_EXSTYLE) | WS_EX_LAYERED);
    SetLayeredWindowAttributes(hwnd_, 0, static_cast<BYTE>(std::clamp(alpha, 0, 255)), LWA_ALPHA);
  }

  void raise(bool activate) override {
    SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | (activate ? 0 : SWP_NOACTIVATE));
  }
  void setForeground() override { SetForegroundWindow(hwnd_); }
  void takeFocus() override { SetFocus(hwnd_); }
  std::uint64_t nativeId() const override { return reinterpret_cast<std::uintptr_t>(hwnd_); }

  std::unique_ptr<EditBox> createEditBox(const EditOptions& options) override {
    return std::make_unique<Win32EditBox>(hwnd_, options, edits_);
  }
  // The root's child `container` answers WM_GETOBJECT as object id
  // container + 1; its items are children 1, 2, ...
  void accessibleFocus(int container, int item) override {
    NotifyWinEvent(EVENT_OBJECT_FOCUS, hwnd_, container + 1, item + 1);
    NotifyWinEvent(EVENT_OBJECT_SELECTION, hwnd_, container + 1, item + 1);
  }

  LRESULT handle(UINT msg, WPARAM wp, LPARAM lp) {
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
      case WM_KEYDOWN: {
        int mods = 0;
        if (GetKeyState(VK_CONTROL) < 0) mods |= kCtrl;
        if (GetKeyState(VK_SHIFT) < 0) mods |= kShift;
        if (GetKeyState(VK_MENU) < 0) mods |= kAlt;
        if (events.keyDown) events.keyDown(static_cast<int>(wp), mods);
        return 0;
      }
      case WM_CHAR: {
        // Control characters (Enter, Backspace, Esc, Ctrl combinations) are
        // keys; a surrogate pair names no GBK character.
        const wchar_t c = static_cast<wchar_t>(wp);
        if (c < 0x20 || c == 0x7F || (c >= 0xD800 && c <= 0xDFFF)) return 0;
        const std::string gbk = narrow(&c, 1);
        if (!gbk.empty() && events.character) events.character(gbk);
        return 0;
      }
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
      case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd_, &ps);
        if (dib_) {
          HDC mem = CreateCompatibleDC(dc);
          HGDIOBJ old = SelectObject(mem, dib_);
          BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
                 ps.rcPaint.bottom - ps.rcPaint.top, mem, ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
          SelectObject(mem, old);
          DeleteDC(mem);
        }
        EndPaint(hwnd_, &ps);
        return 0;
      }
      default:
        return DefWindowProcW(hwnd_, msg, wp, lp);
    }
  }

 private:
  void ensureDib(int width, int height) {
    if (dib_ && dibWidth_ == width && dibHeight_ == height) return;
    if (dib_) DeleteObject(dib_);
    void* bits = nullptr;
    dib_ = createDib32(nullptr, width, height, &bits);
    bits_ = static_cast<std::uint32_t*>(bits);
    dibWidth_ = dib_ ? width : 0;
    dibHeight_ = dib_ ? height : 0;
  }

  WindowOptions options_;
  HWND hwnd_ = nullptr;
  Bounds bounds_;
  std::map<HWND, Win32EditBox*> edits_;
  HBITMAP dib_ = nullptr;
  std::uint32_t* bits_ = nullptr;
  int dibWidth_ = 0, dibHeight_ = 0;
  bool trackingLeave_ = false;
  bool releasingCapture_ = false;
  std::unique_ptr<WindowAccessibility> accessibility_;
};

LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* w = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (w) return w->handle(msg, wp, lp);
  return DefWindowProcW(hwnd, msg, wp, lp);
}

// ------------------------------------------------------------ the platform

class Platform32;
Platform32* gPlatform = nullptr;

class Platform32 : public Win32Platform {
 public:
  Platform32() {
    gPlatform = this;
    // A single-threaded apartment on the GUI thread: the windows' accessible
    // objects are marshalled from here to screen readers in other processes
    // (LresultFromObject), and their calls come back through this thread's
    // message loop.
    comInitialised_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    timeBeginPeriod(1);  // 10 ms animations at their speed (default granularity is ~15.6 ms)
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kWindowClass;
    RegisterClassExW(&wc);
    WNDCLASSEXW mc{};
    mc.cbSize = sizeof mc;
    mc.lpfnWndProc = messageProc;
    mc.hInstance = GetModuleHandleW(nullptr);
    mc.lpszClassName = kMessageClass;
    RegisterClassExW(&mc);
    messages_ = CreateWindowExW(0, kMessageClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr);
    // The tray icon's owner: a hidden top-level window, since message-only
    // windows do not receive the shell's "TaskbarCreated" broadcast.
    shell_ = CreateWindowExW(WS_EX_TOOLWINDOW, kMessageClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
  }
  ~Platform32() override {
    timeEndPeriod(1);
    WSACleanup();
    if (comInitialised_) CoUninitialize();
  }

  // time
  double oleNow() override {
    SYSTEMTIME st;
    GetLocalTime(&st);
    double d = 0;
    SystemTimeToVariantTimeMs(st, d);
    return d;
  }
  std::int64_t monotonicMs() override { return static_cast<std::int64_t>(GetTickCount64()); }

  TimerId createTimer(std::function<void()> tick) override {
    timers_.push_back(Timer{std::move(tick), 0});
    return static_cast<TimerId>(timers_.size());
  }
  void setTimerPeriod(TimerId id, int periodMs) override {
    if (id < 1 || static_cast<std::size_t>(id) > timers_.size()) return;
    Timer& t = timers_[static_cast<std::size_t>(id - 1)];
    t.period = std::max(0, periodMs);
    if (t.period > 0) {
      SetTimer(messages_, static_cast<UINT_PTR>(id), static_cast<UINT>(t.period), nullptr);
    } else {
      KillTimer(messages_, static_cast<UINT_PTR>(id));
    }
  }
  int timerPeriod(TimerId id) const override {
    if (id < 1 || static_cast<std::size_t>(id) > timers_.size()) return 0;
    return timers_[static_cast<std::size_t>(id - 1)].period;
  }

  void processPendingMessages() override {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        break;
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (idle_) idle_();
  }
  void post(std::function<void()> f) override {
    {
      std::lock_guard<std::mutex> lock(postedMutex_);
      posted_.push_back(std::move(f));
    }
    PostMessageW(messages_, kPostedMessage, 0, 0);
  }

  int run(std::function<void()> idle) override {
    idle_ = std::move(idle);
    MSG msg;
    for (;;) {
      if (idle_) idle_();
      const BOOL r = GetMessageW(&msg, nullptr, 0, 0);
      if (r <= 0) break;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) return static_cast<int>(msg.wParam);
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
    return static_cast<int>(msg.wParam);
  }
  void setIdle(std::function<void()> idle) override { idle_ = std::move(idle); }

  // windows
  std::unique_ptr<HostWindow> createWindow(const WindowOptions& options) override {
    return std::make_unique<Win32Window>(options);
  }
  Point screenSize() override { return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }
  Point cursorPosition() override {
    POINT p{};
    GetCursorPos(&p);
    return {p.x, p.y};
  }
  void clipCursor(std::optional<Bounds> r) override {
    if (!r) {
      ClipCursor(nullptr);
      return;
    }
    RECT rc{r->left, r->top, r->left + r->width, r->top + r->height};
    ClipCursor(&rc);
  }
  canvas::TextRasterizer& textRasterizer() override { return raster_; }

  // shell
  bool addTrayIcon(std::string_view icoBytes, const std::string& tooltip, std::function<void(TrayEvent)> onEvent) override {
    trayHandler_ = std::move(onEvent);
    // The one image of the icon file: its data after the 6 + 16 byte header.
    HICON icon = nullptr;
    if (icoBytes.size() > 22) {
      const auto* data = reinterpret_cast<const BYTE*>(icoBytes.data()) + 22;
      icon = CreateIconFromResourceEx(const_cast<BYTE*>(data), static_cast<DWORD>(icoBytes.size() - 22), TRUE,
                                      0x00030000, 0, 0, LR_DEFAULTCOLOR);
    }
    tray_ = NOTIFYICONDATAW{};
    tray_.cbSize = sizeof tray_;
    tray_.hWnd = shell_ ? shell_ : messages_;
    tray_.uID = 1;
    tray_.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
    tray_.uCallbackMessage = kTrayMessage;
    tray_.hIcon = icon;
    const std::wstring tip = wide(tooltip);
    wcsncpy(tray_.szTip, tip.c_str(), sizeof tray_.szTip / sizeof(wchar_t) - 1);
    trayWanted_ = true;
    return showTrayIcon();
  }
  void removeTrayIcon() override {
    trayWanted_ = false;
    KillTimer(messages_, kTrayRetryTimer);
    Shell_NotifyIconW(NIM_DELETE, &tray_);
  }

  void releaseSingleInstance(const std::string&) override {
    showRequest_ = nullptr;
    if (instanceWindow_) DestroyWindow(instanceWindow_);
    if (instanceMutex_) CloseHandle(instanceMutex_);
    instanceWindow_ = nullptr;
    instanceMutex_ = nullptr;
  }

  bool registerHotKey(int keyCode, int modifiers, std::function<void()> onPressed) override {
    UnregisterHotKey(messages_, kHotKeyId);
    hotKey_ = nullptr;
    if (keyCode == 0) return true;
    UINT mods = MOD_NOREPEAT;
    if (modifiers & kCtrl) mods |= MOD_CONTROL;
    if (modifiers & kShift) mods |= MOD_SHIFT;
    if (modifiers & kAlt) mods |= MOD_ALT;
    if (!RegisterHotKey(messages_, kHotKeyId, mods, static_cast<UINT>(keyCode))) return false;
    hotKey_ = std::move(onPressed);
    return true;
  }

  bool claimSingleInstance(const std::string& key, std::function<void()> onShowRequest) override {
    // The key's upper-case UTF-16 form, hashed (FNV-1a) into the names of a
    // mutex and of a message window that a later copy finds.
    std::wstring k = wide(key);
    CharUpperBuffW(k.data(), static_cast<DWORD>(k.size()));
    std::uint64_t h = 14695981039346656037ull;
    for (wchar_t c : k) {
      h ^= static_cast<std::uint16_t>(c);
      h *= 1099511628211ull;
    }
    wchar_t hex[17];
    swprintf(hex, 17, L"%016llx", static_cast<unsigned long long>(h));
    const std::wstring name = std::wstring(L"Linkhoard-") + hex;
    instanceMutex_ = CreateMutexW(nullptr, FALSE, (L"Local\\" + name).c_str());
    if (instanceMutex_ && GetLastError() == ERROR_ALREADY_EXISTS) {
      // The first copy may still be starting (no window yet): it shows itself.
      if (HWND other = FindWindowExW(HWND_MESSAGE, nullptr, kMessageClass, name.c_str())) {
        DWORD pid = 0;
        GetWindowThreadProcessId(other, &pid);
        AllowSetForegroundWindow(pid);
        SendMessageTimeoutW(other, kShowRequestMessage, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, 3000, nullptr);
      }
      return false;
    }
    // Without a mutex (an odd system) the program runs rather than not.
    showRequest_ = std::move(onShowRequest);
    instanceWindow_ = CreateWindowExW(0, kMessageClass, name.c_str(), 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
    return true;
  }

  void showBalloon(Point at, const std::string& textIn, int timeoutMs) override {
    if (!balloon_) {
      balloon_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_BALLOON | TTS_NOPREFIX,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
      balloonTool_ = TOOLINFOW{};
      balloonTool_.cbSize = sizeof balloonTool_;
      balloonTool_.uFlags = TTF_TRACK | TTF_ABSOLUTE;
      balloonTool_.hwnd = messages_;
      balloonTool_.uId = 1;
      balloonTool_.lpszText = const_cast<wchar_t*>(L"");
      SendMessageW(balloon_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&balloonTool_));
    }
    balloonText_ = wide(textIn);
    balloonTool_.lpszText = balloonText_.data();
    SendMessageW(balloon_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&balloonTool_));
    SendMessageW(balloon_, TTM_TRACKPOSITION, 0, MAKELPARAM(at.x, at.y));
    SendMessageW(balloon_, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&balloonTool_));
    SetTimer(messages_, kBalloonTimer, static_cast<UINT>(timeoutMs > 0 ? timeoutMs : 3000), nullptr);
  }

  void messageBox(const std::string& textIn, const std::string& title) override {
    MessageBoxW(nullptr, wide(textIn).c_str(), wide(title).c_str(), MB_OK | MB_TASKMODAL);
  }
  void playSound(std::string_view wav) override {
    PlaySoundW(reinterpret_cast<LPCWSTR>(wav.data()), nullptr, SND_MEMORY | SND_ASYNC | SND_NODEFAULT);
  }

  // processes
  bool launch(const std::string& commandLine) override {
    std::wstring cmd = wide(commandLine);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
  }
  std::string httpOpenCommand() override {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command", 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
    wchar_t buf[2048];
    DWORD size = sizeof buf - sizeof(wchar_t);
    DWORD type = 0;
    std::string out;
    if (RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
      std::size_t n = size / sizeof(wchar_t);
      while (n > 0 && buf[n - 1] == 0) --n;
      out = narrow(buf, n);
    }
    RegCloseKey(key);
    return out;
  }
  canvas::Picture screenSnapshot(int width, int height) override {
    if (width <= 0 || height <= 0 || width > canvas::kMaxPictureSide || height > canvas::kMaxPictureSide) return {};
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bmp = createDib32(mem, width, height, &bits);
    canvas::Picture p;
    if (bmp) {
      HGDIOBJ old = SelectObject(mem, bmp);
      SetStretchBltMode(mem, HALFTONE);
      SetBrushOrgEx(mem, 0, 0, nullptr);
      StretchBlt(mem, 0, 0, width, height, screen, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                 GetSystemMetrics(SM_CYSCREEN), SRCCOPY | CAPTUREBLT);
      GdiFlush();
      p.width = width;
      p.height = height;
      p.alpha = canvas::Alpha::Premultiplied;
      const auto* px = static_cast<const std::uint32_t*>(bits);
      p.pixels.assign(px, px + static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
      for (auto& q : p.pixels) q |= 0xFF000000u;  // the screen has no alpha
      SelectObject(mem, old);
      DeleteObject(bmp);
    }
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return p;
  }
  canvas::Picture executableIcon(const std::string& path) override {
    if (path.empty()) return {};
    HICON icon = ExtractIconW(GetModuleHandleW(nullptr), wide(path).c_str(), 0);
    if (!icon || reinterpret_cast<std::uintptr_t>(icon) == 1) return {};
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bmp = createDib32(mem, 32, 32, &bits);
    if (!bmp) {
      DeleteDC(mem);
      ReleaseDC(nullptr, screen);
      DestroyIcon(icon);
      return {};
    }
    HGDIOBJ old = SelectObject(mem, bmp);
    std::fill_n(static_cast<std::uint32_t*>(bits), 32 * 32, 0xFFFFFFFFu);  // white
    DrawIconEx(mem, 0, 0, icon, 32, 32, 0, nullptr, DI_NORMAL);
    GdiFlush();
    canvas::Picture p;
    p.width = p.height = 32;
    p.alpha = canvas::Alpha::Premultiplied;
    p.pixels.assign(static_cast<const std::uint32_t*>(bits), static_cast<const std::uint32_t*>(bits) + 32 * 32);
    for (auto& px : p.pixels) px |= 0xFF000000u;
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    DestroyIcon(icon);
    return p;
  }
  void trimWorkingSet() override { SetProcessWorkingSetSize(GetCurrentProcess(), static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1)); }
  [[noreturn]] void exitProcess(int code) override { ExitProcess(static_cast<UINT>(code)); }
  std::string runDirectory() override {
    wchar_t buf[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameW(nullptr, buf, static_cast<DWORD>(std::size(buf)));
    std::wstring path(buf, n);
    const std::size_t slash = path.find_last_of(L"\\/");
    return narrow(slash == std::wstring::npos ? path : path.substr(0, slash));
  }

  // other windows
  ForeignWindow windowAt(Point p) override {
    return ForeignWindow{reinterpret_cast<std::uintptr_t>(WindowFromPoint(POINT{p.x, p.y}))};
  }
  ForeignWindow parentOf(ForeignWindow w) override {
    return ForeignWindow{reinterpret_cast<std::uintptr_t>(GetParent(hwndOf(w)))};
  }
  std::string classNameOf(ForeignWindow w) override {
    char buf[260] = {};
    const int n = GetClassNameA(hwndOf(w), buf, 259);
    return std::string(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
  }
  std::string textOf(ForeignWindow w) override {
    // WM_GETTEXT reads edit controls of other processes, GetWindowText does
    // not. Both sends are bounded: a hung window reads as empty.
    DWORD_PTR len = 0;
    if (!sendBounded(hwndOf(w), WM_GETTEXTLENGTH, 0, 0, &len) || len == 0) return {};
    std::wstring buf(static_cast<std::size_t>(len) + 1, L'\0');
    DWORD_PTR n = 0;
    if (!sendBounded(hwndOf(w), WM_GETTEXT, static_cast<WPARAM>(buf.size()), reinterpret_cast<LPARAM>(buf.data()), &n)) {
      return {};
    }
    return narrow(buf.data(), std::min<std::size_t>(static_cast<std::size_t>(n), static_cast<std::size_t>(len)));
  }
  std::vector<ForeignWindow> childrenOf(ForeignWindow w) override {
    std::vector<ForeignWindow> out;
    HWND child = nullptr;
    while ((child = FindWindowExW(hwndOf(w), child, nullptr, nullptr)) != nullptr) {
      out.push_back(ForeignWindow{reinterpret_cast<std::uintptr_t>(child)});
    }
    return out;
  }
  std::string processPathOf(ForeignWindow w) override {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwndOf(w), &pid);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!process) return {};
    wchar_t buf[1024] = {};
    const DWORD n = GetModuleFileNameExW(process, nullptr, buf, 1024);
    CloseHandle(process);
    return narrow(buf, n);
  }
  std::string processFileNameOf(ForeignWindow w) override {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwndOf(w), &pid);
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPALL, 0);
    if (snap == INVALID_HANDLE_VALUE) return {};
    PROCESSENTRY32W e{};
    e.dwSize = sizeof e;
    std::string out;
    for (BOOL ok = Process32FirstW(snap, &e); ok; ok = Process32NextW(snap, &e)) {
      if (e.th32ProcessID == pid) {
        out = narrow(std::wstring(e.szExeFile));
        break;
      }
    }
    CloseHandle(snap);
    return out;
  }

  // network
  bool tcpConnect(const std::string& host, int port, int timeoutMs) override {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &res) != 0 || !res) return false;
    SOCKET s = socket(res->ai_family, res->ai_socktype, res->ai_protocol);
    bool ok = false;
    if (s != INVALID_SOCKET) {
      u_long nonBlocking = 1;
      ioctlsocket(s, FIONBIO, &nonBlocking);
      connect(s, res->ai_addr, static_cast<int>(res->ai_addrlen));
      fd_set writable, failed;
      FD_ZERO(&writable);
      FD_ZERO(&failed);
      FD_SET(s, &writable);
      FD_SET(s, &failed);
      timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
      ok = select(0, nullptr, &writable, &failed, &tv) > 0 && FD_ISSET(s, &writable);
      closesocket(s);
    }
    freeaddrinfo(res);
    return ok;
  }

  // clipboard
  void installClipboardWatcher(HostWindow& w, std::function<void()> onChange) override {
    if (watched_) return;
    watched_ = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(w.nativeId()));
    onClipboard_ = std::move(onChange);
    // The notification sent while joining arrives before the hook is in
    // place, so text already on the clipboard is not taken.
    nextViewer_ = SetClipboardViewer(watched_);
    previousProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(watched_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&hookedProc)));
  }
  bool clipboardWatcherInstalled() const override { return watched_ != nullptr; }
  void restoreWindowProcedure() override {
    if (watched_ && previousProc_) SetWindowLongPtrW(watched_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc_));
  }
  void leaveClipboardChain() override {
    if (!watched_) return;
    // (ChangeClipboardChain sends WM_CHANGECBCHAIN to the first viewer
    // itself, without a timeout we could give it; our own sends have one.)
    ChangeClipboardChain(watched_, nextViewer_);
    if (nextViewer_) sendBounded(nextViewer_, WM_CHANGECBCHAIN, reinterpret_cast<WPARAM>(watched_), reinterpret_cast<LPARAM>(nextViewer_));
    watched_ = nullptr;
  }
  std::string clipboardText() override {
    // Every viewer reads the clipboard when it changes, and the copying
    // program may still be putting further formats on it: it can be open
    // elsewhere for a moment. Try again for about a sixth of a second.
    if (!retryBriefly([this] { return OpenClipboard(messages_) != 0; }, [] { return true; }, 80)) return {};
    std::string out;
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
      if (const auto* p = static_cast<const wchar_t*>(GlobalLock(h))) {
        out = narrow(std::wstring(p));
        GlobalUnlock(h);
      }
    }
    CloseClipboard();
    return out;
  }
  // work off the GUI thread, HTTP, file dialogs
  std::unique_ptr<Worker> createWorker() override {
    return makeThreadWorker([this](std::function<void()> f) { post(std::move(f)); });
  }
  Http& http() override { return *http_; }
  std::optional<std::string> chooseFile(const FileDialogRequest& request) override { return showFileDialog(request); }
  std::string desktopFolder() override { return desktopDirectory(); }

  void setClipboardText(const std::string& textIn) override {
    const std::wstring w = wide(textIn);
    if (!OpenClipboard(messages_)) return;
    EmptyClipboard();
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, (w.size() + 1) * sizeof(wchar_t));
    if (h) {
      std::copy(w.c_str(), w.c_str() + w.size() + 1, static_cast<wchar_t*>(GlobalLock(h)));
      GlobalUnlock(h);
      SetClipboardData(CF_UNICODETEXT, h);
    }
    CloseClipboard();
  }

 private:
  static constexpr UINT_PTR kBalloonTimer = 0x7000;
  static constexpr UINT_PTR kTrayRetryTimer = 0x7001;
  struct Timer {
    std::function<void()> tick;
    int period = 0;
  };

  static HWND hwndOf(ForeignWindow w) { return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(w.id)); }

  // A message to another program's window that waits at most
  // kForeignSendTimeoutMs, and not at all for a window the system already
  // knows to be hung. Messages sent to this thread meanwhile are handled.
  static bool sendBounded(HWND to, UINT msg, WPARAM wp, LPARAM lp, DWORD_PTR* result = nullptr) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(to, msg, wp, lp, SMTO_NORMAL | SMTO_ABORTIFHUNG, kForeignSendTimeoutMs,
                               result ? result : &ignored) != 0;
  }

  static void SystemTimeToVariantTimeMs(const SYSTEMTIME& st, double& out) {
    FILETIME ft;
    SystemTimeToFileTime(&st, &ft);
    ULARGE_INTEGER u{};
    u.LowPart = ft.dwLowDateTime;
    u.HighPart = ft.dwHighDateTime;
    // 100-ns ticks since 1601-01-01 -> days since 1899-12-30.
    constexpr double kTicksPerDay = 864000000000.0;
    constexpr double kDaysFrom1601To1899 = 109205.0;
    out = static_cast<double>(u.QuadPart) / kTicksPerDay - kDaysFrom1601To1899;
  }

  // Adds the icon; while the shell refuses it (not running yet, or busy),
  // tries again every two seconds.
  bool showTrayIcon() {
    if (!trayWanted_) return false;
    const bool ok = Shell_NotifyIconW(NIM_ADD, &tray_) != FALSE;
    if (ok) {
      KillTimer(messages_, kTrayRetryTimer);
    } else {
      SetTimer(messages_, kTrayRetryTimer, 2000, nullptr);
    }
    return ok;
  }

  static LRESULT CALLBACK messageProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Platform32* p = gPlatform;
    if (!p) return DefWindowProcW(hwnd, msg, wp, lp);
    if (msg == p->taskbarCreated_ && p->taskbarCreated_ != 0) {
      p->showTrayIcon();  // the shell restarted: the icon is gone
      return 0;
    }
    switch (msg) {
      case kShowRequestMessage:
        if (p->showRequest_) p->showRequest_();
        return 0;
      case WM_HOTKEY:
        if (wp == kHotKeyId && p->hotKey_) p->hotKey_();
        return 0;
      case WM_TIMER:
        if (wp == kTrayRetryTimer) {
          p->showTrayIcon();
        } else if (wp == kBalloonTimer) {
          KillTimer(hwnd, kBalloonTimer);
          if (p->balloon_) SendMessageW(p->balloon_, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&p->balloonTool_));
        } else if (wp >= 1 && wp <= p->timers_.size()) {
          auto tick = p->timers_[wp - 1].tick;
          if (p->timers_[wp - 1].period > 0 && tick) tick();
        }
        return 0;
      case kPostedMessage: {
        std::vector<std::function<void()>> batch;
        {
          std::lock_guard<std::mutex> lock(p->postedMutex_);
          batch.swap(p->posted_);
        }
        for (auto& f : batch) f();
        return 0;
      }
      case kTrayMessage:
        if (p->trayHandler_) {
          switch (LOWORD(lp)) {
            case WM_LBUTTONUP: p->trayHandler_(TrayEvent::LeftUp); break;
            case WM_LBUTTONDBLCLK: p->trayHandler_(TrayEvent::LeftDoubleClick); break;
            case WM_RBUTTONUP:
            case WM_CONTEXTMENU: p->trayHandler_(TrayEvent::RightUp); break;
            default: break;
          }
        }
        return 0;
      default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
  }

  static LRESULT CALLBACK hookedProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Platform32* p = gPlatform;
    switch (msg) {
      case WM_DRAWCLIPBOARD:
        if (p->nextViewer_) sendBounded(p->nextViewer_, msg, wp, lp);
        if (p->onClipboard_) p->onClipboard_();
        return 0;
      case WM_CHANGECBCHAIN:
        // Keep the next viewer right when another one leaves the chain.
        if (reinterpret_cast<HWND>(wp) == p->nextViewer_) {
          p->nextViewer_ = reinterpret_cast<HWND>(lp);
        } else if (p->nextViewer_) {
          sendBounded(p->nextViewer_, msg, wp, lp);
        }
        return 0;
      case WM_DESTROY:
        p->leaveClipboardChain();
        break;
      default:
        break;
    }
    return CallWindowProcW(p->previousProc_, hwnd, msg, wp, lp);
  }

  bool comInitialised_ = false;
  HWND messages_ = nullptr;
  HWND shell_ = nullptr;
  UINT taskbarCreated_ = 0;
  bool trayWanted_ = false;
  HANDLE instanceMutex_ = nullptr;
  HWND instanceWindow_ = nullptr;
  std::function<void()> showRequest_;
  std::function<void()> hotKey_;
  std::vector<Timer> timers_;
  std::mutex postedMutex_;
  std::vector<std::function<void()>> posted_;
  std::function<void()> idle_;
  GdiRasterizer raster_;
  NOTIFYICONDATAW tray_{};
  std::function<void(TrayEvent)> trayHandler_;
  HWND balloon_ = nullptr;
  TOOLINFOW balloonTool_{};
  std::wstring balloonText_;
  HWND watched_ = nullptr;
  HWND nextViewer_ = nullptr;
  WNDPROC previousProc_ = nullptr;
  std::function<void()> onClipboard_;
  std::unique_ptr<Http> http_ = makeHttp();
};

}  // namespace

std::unique_ptr<Win32Platform> createPlatform() { return std::make_unique<Platform32>(); }

}  // namespace lh::platform::win32
