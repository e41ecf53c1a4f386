#include "platform/win32/clipboard_win32.h"

#include <algorithm>

#include "platform/win32/foreign_windows_win32.h"
#include "platform/win32/retry.h"
#include "platform/win32/scoped_win.h"
#include "platform/win32/wide.h"

namespace lh::platform::win32 {

namespace {

// The window property that leads the hooked procedure to its watcher.
const wchar_t kWatcherProperty[] = L"LinkhoardClipboardWatcher";
// How long the clipboard is tried again while another program has it open.
constexpr DWORD kClipboardLastPauseMs = 80;

}  // namespace

std::string readClipboardText(HWND owner) {
  // Every viewer reads the clipboard when it changes, and the copying
  // program may still be putting further formats on it: it can be open
  // elsewhere for a moment. Try again for about a sixth of a second.
  const OpenClipboardScope clipboard(
      retryBriefly([owner] { return OpenClipboard(owner) != 0; }, [] { return true; }, kClipboardLastPauseMs));
  if (!clipboard.opened()) return {};
  const HANDLE h = GetClipboardData(CF_UNICODETEXT);
  if (!h) return {};
  const LockedGlobal<const wchar_t> text(h);
  if (!text.get()) return {};
  // (At most the block's size: a text without its terminating NUL ends
  // there.)
  const std::size_t most = GlobalSize(h) / sizeof(wchar_t);
  const wchar_t* p = text.get();
  return narrow(p, static_cast<std::size_t>(std::find(p, p + most, L'\0') - p));
}

bool writeClipboardText(HWND owner, const std::string& textIn) {
  const std::wstring w = wide(textIn);
  OwnedGlobal memory(GlobalAlloc(GMEM_MOVEABLE, (w.size() + 1) * sizeof(wchar_t)));
  if (!memory) return false;
  {
    const LockedGlobal<wchar_t> to(memory.get());
    if (!to.get()) return false;
    std::copy(w.c_str(), w.c_str() + w.size() + 1, to.get());
  }
  const OpenClipboardScope clipboard(OpenClipboard(owner) != 0);
  if (!clipboard.opened()) return false;
  EmptyClipboard();
  // The clipboard owns the memory once it has taken it; not before.
  if (!SetClipboardData(CF_UNICODETEXT, memory.get())) return false;
  memory.release();
  return true;
}

ClipboardWatcher::~ClipboardWatcher() {
  leaveChain();
  restoreProcedure();
}

void ClipboardWatcher::install(HWND window, std::function<void()> onChange) {
  if (window_ || !window) return;
  // The property leads the hooked procedure here for as long as it is in
  // place. Without it (or without the hook) the window does not join: a
  // viewer that does not pass the chain's messages on breaks it for every
  // program after it.
  if (!SetPropW(window, kWatcherProperty, this)) return;
  window_ = window;
  onChange_ = std::move(onChange);
  // The notification sent while joining arrives before the hook is in
  // place, so text already on the clipboard is not taken.
  nextViewer_ = SetClipboardViewer(window_);
  chained_ = true;
  previousProc_ =
      reinterpret_cast<WNDPROC>(SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&hookedProc)));
  hooked_ = previousProc_ != nullptr;
  if (!hooked_) {
    leaveChain();
    RemovePropW(window_, kWatcherProperty);
    forgetWindow();
  }
}

void ClipboardWatcher::restoreProcedure() {
  if (!hooked_) return;
  SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc_));
  RemovePropW(window_, kWatcherProperty);
  hooked_ = false;
  if (!chained_) forgetWindow();
}

void ClipboardWatcher::leaveChain() {
  if (!chained_) return;
  chained_ = false;
  // (ChangeClipboardChain sends WM_CHANGECBCHAIN to the first viewer
  // itself, without a timeout we could give it; our own sends have one.)
  ChangeClipboardChain(window_, nextViewer_);
  if (nextViewer_) {
    sendBounded(nextViewer_, WM_CHANGECBCHAIN, reinterpret_cast<WPARAM>(window_), reinterpret_cast<LPARAM>(nextViewer_));
  }
  nextViewer_ = nullptr;
  if (!hooked_) forgetWindow();
}

// Out of the chain and unhooked: another window (or this one again) may be
// watched.
void ClipboardWatcher::forgetWindow() {
  window_ = nullptr;
  previousProc_ = nullptr;
}

LRESULT CALLBACK ClipboardWatcher::hookedProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = static_cast<ClipboardWatcher*>(GetPropW(hwnd, kWatcherProperty));
  // (The property stands as long as this procedure is hooked in.)
  if (!self || !self->previousProc_) return DefWindowProcW(hwnd, msg, wp, lp);
  switch (msg) {
    case WM_DRAWCLIPBOARD:
      if (self->nextViewer_) sendBounded(self->nextViewer_, msg, wp, lp);
      if (self->onChange_) self->onChange_();
      return 0;
    case WM_CHANGECBCHAIN:
      // Keep the next viewer right when another one leaves the chain.
      if (reinterpret_cast<HWND>(wp) == self->nextViewer_) {
        self->nextViewer_ = reinterpret_cast<HWND>(lp);
      } else if (self->nextViewer_) {
        sendBounded(self->nextViewer_, msg, wp, lp);
      }
      return 0;
    case WM_DESTROY:
      self->leaveChain();
      break;
    case WM_NCDESTROY: {
      // The window's last message: its own procedure back, and no property
      // left on a handle the system may give another window.
      const WNDPROC previous = self->previousProc_;
      self->restoreProcedure();
      return CallWindowProcW(previous, hwnd, msg, wp, lp);
    }
    default:
      break;
  }
  return CallWindowProcW(self->previousProc_, hwnd, msg, wp, lp);
}

}  // namespace lh::platform::win32
