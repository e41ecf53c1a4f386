#include "platform/win32/tray_win32.h"

#include <cwchar>

#include "platform/win32/wide.h"

namespace lh::platform::win32 {

namespace {

constexpr UINT kTrayMessage = WM_APP + 1;
constexpr UINT_PTR kTrayRetryTimer = 0x7001;
constexpr int kTrayRetryMs = 2000;
constexpr UINT_PTR kBalloonTimer = 0x7000;
constexpr int kBalloonDefaultMs = 3000;
// The size of an .ico file's header and its first directory entry.
constexpr std::size_t kIcoHeaderBytes = 6 + 16;

}  // namespace

TrayIcon::TrayIcon() {
  taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
  if (taskbarCreated_ != 0) {
    owner_.on(taskbarCreated_, [this](WPARAM, LPARAM) {
      show();  // the shell restarted: the icon is gone
      return LRESULT{0};
    });
  }
  owner_.on(kTrayMessage, [this](WPARAM, LPARAM lp) {
    if (onEvent_) {
      switch (LOWORD(lp)) {
        case WM_LBUTTONUP: onEvent_(TrayEvent::LeftUp); break;
        case WM_LBUTTONDBLCLK: onEvent_(TrayEvent::LeftDoubleClick); break;
        case WM_RBUTTONUP:
        case WM_CONTEXTMENU: onEvent_(TrayEvent::RightUp); break;
        default: break;
      }
    }
    return LRESULT{0};
  });
}

TrayIcon::~TrayIcon() { remove(); }

bool TrayIcon::add(std::string_view icoBytes, const std::string& tooltip, std::function<void(TrayEvent)> onEvent) {
  onEvent_ = std::move(onEvent);
  // The one image of the icon file: its data after the header.
  icon_.reset();
  if (icoBytes.size() > kIcoHeaderBytes) {
    const auto* image = reinterpret_cast<const BYTE*>(icoBytes.data()) + kIcoHeaderBytes;
    icon_.reset(CreateIconFromResourceEx(const_cast<BYTE*>(image), static_cast<DWORD>(icoBytes.size() - kIcoHeaderBytes),
                                         TRUE, 0x00030000, 0, 0, LR_DEFAULTCOLOR));
  }
  data_ = NOTIFYICONDATAW{};
  data_.cbSize = sizeof data_;
  data_.hWnd = owner_.hwnd();
  data_.uID = 1;
  data_.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
  data_.uCallbackMessage = kTrayMessage;
  data_.hIcon = icon_.get();
  const std::wstring tip = wide(tooltip);
  wcsncpy(data_.szTip, tip.c_str(), sizeof data_.szTip / sizeof(wchar_t) - 1);
  wanted_ = true;
  return show();
}

void TrayIcon::remove() {
  if (!wanted_) return;
  wanted_ = false;
  owner_.stopTimer(kTrayRetryTimer);
  Shell_NotifyIconW(NIM_DELETE, &data_);
}

bool TrayIcon::show() {
  if (!wanted_) return false;
  const bool ok = Shell_NotifyIconW(NIM_ADD, &data_) != FALSE;
  if (ok) {
    owner_.stopTimer(kTrayRetryTimer);
  } else {
    owner_.startTimer(kTrayRetryTimer, kTrayRetryMs, [this] { show(); });
  }
  return ok;
}

Balloon::~Balloon() { owner_.stopTimer(kBalloonTimer); }

void Balloon::show(Point at, const std::string& text, int timeoutMs) {
  if (!tip_) {
    tip_.reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_BALLOON | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr));
    if (!tip_) return;
    tool_ = TOOLINFOW{};
    tool_.cbSize = sizeof tool_;
    tool_.uFlags = TTF_TRACK | TTF_ABSOLUTE;
    tool_.hwnd = owner_.hwnd();
    tool_.uId = 1;
    tool_.lpszText = const_cast<wchar_t*>(L"");
    SendMessageW(tip_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool_));
  }
  text_ = wide(text);
  tool_.lpszText = text_.data();
  SendMessageW(tip_.get(), TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool_));
  SendMessageW(tip_.get(), TTM_TRACKPOSITION, 0, MAKELPARAM(at.x, at.y));
  SendMessageW(tip_.get(), TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool_));
  owner_.startTimer(kBalloonTimer, timeoutMs > 0 ? timeoutMs : kBalloonDefaultMs, [this] {
    owner_.stopTimer(kBalloonTimer);
    if (tip_) SendMessageW(tip_.get(), TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool_));
  });
}

}  // namespace lh::platform::win32
