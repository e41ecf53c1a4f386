#include "platform/win32/message_window_win32.h"

namespace lh::platform::win32 {

namespace {

constexpr UINT kPostedMessage = WM_APP + 2;

bool registerMessageClass(WNDPROC proc) {
  WNDCLASSEXW mc{};
  mc.cbSize = sizeof mc;
  mc.lpfnWndProc = proc;
  mc.hInstance = GetModuleHandleW(nullptr);
  mc.lpszClassName = kMessageClass;
  return RegisterClassExW(&mc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

MessageWindow::MessageWindow(Kind kind, const std::wstring& name) {
  if (!registerMessageClass(&proc)) return;
  if (kind == Kind::MessageOnly) {
    hwnd_.reset(CreateWindowExW(0, kMessageClass, name.c_str(), 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleW(nullptr), nullptr));
  } else {
    hwnd_.reset(CreateWindowExW(WS_EX_TOOLWINDOW, kMessageClass, name.c_str(), WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr));
  }
  if (hwnd_) SetWindowLongPtrW(hwnd_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

MessageWindow::~MessageWindow() {
  if (!hwnd_) return;
  for (const auto& [id, tick] : timers_) KillTimer(hwnd_.get(), id);
  SetWindowLongPtrW(hwnd_.get(), GWLP_USERDATA, 0);
}

void MessageWindow::on(UINT msg, std::function<LRESULT(WPARAM, LPARAM)> handler) { handlers_[msg] = std::move(handler); }

void MessageWindow::startTimer(UINT_PTR id, int periodMs, std::function<void()> tick) {
  if (!hwnd_) return;
  timers_[id] = std::move(tick);
  SetTimer(hwnd_.get(), id, static_cast<UINT>(periodMs > 0 ? periodMs : 1), nullptr);
}

void MessageWindow::stopTimer(UINT_PTR id) {
  if (hwnd_) KillTimer(hwnd_.get(), id);
  timers_.erase(id);
}

void MessageWindow::post(std::function<void()> f) {
  {
    std::lock_guard<std::mutex> lock(postedMutex_);
    posted_.push_back(std::move(f));
  }
  PostMessageW(hwnd_.get(), kPostedMessage, 0, 0);
}

void MessageWindow::runPosted() {
  std::vector<std::function<void()>> batch;
  {
    std::lock_guard<std::mutex> lock(postedMutex_);
    batch.swap(posted_);
  }
  for (auto& f : batch) f();
}

LRESULT CALLBACK MessageWindow::proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<MessageWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  return self->handle(msg, wp, lp);
}

LRESULT MessageWindow::handle(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kPostedMessage) {
    runPosted();
    return 0;
  }
  if (msg == WM_TIMER) {
    auto it = timers_.find(static_cast<UINT_PTR>(wp));
    if (it != timers_.end()) {
      // (A copy: the tick may stop or restart its own timer.)
      const std::function<void()> tick = it->second;
      if (tick) tick();
    }
    return 0;
  }
  if (auto it = handlers_.find(msg); it != handlers_.end() && it->second) {
    // (A copy, as a tick: the handler may set another for its message.)
    const auto handler = it->second;
    return handler(wp, lp);
  }
  return DefWindowProcW(hwnd_.get(), msg, wp, lp);
}

namespace {

// Dispatches the messages waiting in the queue; false at WM_QUIT (taken from
// the queue), whose exit code goes to `quitCode`.
bool dispatchWaiting(int& quitCode) {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      quitCode = static_cast<int>(msg.wParam);
      return false;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return true;
}

}  // namespace

bool pumpPendingMessages() {
  int code = 0;
  if (dispatchWaiting(code)) return true;
  PostQuitMessage(code);
  return false;
}

int runMessageLoop(const std::function<void()>& idle) {
  MSG msg;
  for (;;) {
    if (idle) idle();
    const BOOL r = GetMessageW(&msg, nullptr, 0, 0);
    if (r <= 0) return r == 0 ? static_cast<int>(msg.wParam) : 1;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    int code = 0;
    if (!dispatchWaiting(code)) return code;
  }
}

}  // namespace lh::platform::win32
