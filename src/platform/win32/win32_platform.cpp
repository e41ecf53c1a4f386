// The Platform of the real program: one object that composes the Win32
// pieces, each in a file of its own (windows, edit boxes, text, message
// windows and the loop, tray and balloon, clipboard, other programs'
// windows, processes and the registry, HTTP, dialogs). Where Wine differs
// from Windows the difference is worked around in those files and said so.
#include "platform/win32/win32_platform.h"

#include <windows.h>
#include <commctrl.h>
#include <mmsystem.h>
#include <objbase.h>

#include <algorithm>
#include <vector>

#include "platform/win32/clipboard_win32.h"
#include "platform/win32/foreign_accessible_win32.h"
#include "platform/win32/foreign_windows_win32.h"
#include "platform/win32/gdi_win32.h"
#include "platform/win32/message_window_win32.h"
#include "platform/win32/services_win32.h"
#include "platform/win32/single_instance_win32.h"
#include "platform/win32/system_win32.h"
#include "platform/win32/text_raster_win32.h"
#include "platform/win32/tray_win32.h"
#include "platform/win32/wide.h"
#include "platform/win32/window_win32.h"

namespace lh::platform::win32 {

namespace {

constexpr int kHotKeyId = 1;

// 100-ns ticks since 1601-01-01 -> days since 1899-12-30.
double oleDateOfSystemTime(const SYSTEMTIME& st) {
  FILETIME ft;
  SystemTimeToFileTime(&st, &ft);
  ULARGE_INTEGER u{};
  u.LowPart = ft.dwLowDateTime;
  u.HighPart = ft.dwHighDateTime;
  constexpr double kTicksPerDay = 864000000000.0;
  constexpr double kDaysFrom1601To1899 = 109205.0;
  return static_cast<double>(u.QuadPart) / kTicksPerDay - kDaysFrom1601To1899;
}

// The system's side of the process, set up before anything else and given
// back after: the GUI thread's COM apartment and the timer resolution.
struct ProcessSetup {
  ProcessSetup() {
    // A single-threaded apartment on the GUI thread: the windows' accessible
    // objects are marshalled from here to screen readers in other processes
    // (LresultFromObject), and their calls come back through this thread's
    // message loop.
    comInitialised = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    timeBeginPeriod(1);  // 10 ms animations at their speed (default granularity is ~15.6 ms)
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    windowClass = registerWindowClass();
  }
  ~ProcessSetup() {
    timeEndPeriod(1);
    if (comInitialised) CoUninitialize();
  }
  bool comInitialised = false;
  bool windowClass = false;
};

// Other programs' windows: the system's calls only, no state of the
// platform's, so that a read abandoned on its own thread may outlive it.
class Win32ForeignWindows final : public ForeignWindows {
 public:
  ForeignWindow windowAt(Point p) override { return foreignWindowAt(p); }
  ForeignWindow parentOf(ForeignWindow w) override { return foreignParentOf(w); }
  std::string classNameOf(ForeignWindow w) override { return foreignClassNameOf(w); }
  std::string textOf(ForeignWindow w) override { return foreignTextOf(w); }
  std::vector<ForeignWindow> childrenOf(ForeignWindow w) override { return foreignChildrenOf(w); }
  std::string processPathOf(ForeignWindow w) override { return win32::processPathOf(w); }
  std::string processFileNameOf(ForeignWindow w) override { return win32::processFileNameOf(w); }
  std::unique_ptr<ForeignAccessible> accessibleOf(ForeignWindow w) override {
    return accessibleOfWindow(hwndOf(w), Platform::kForeignSendTimeoutMs);
  }
};

class Platform32 : public Win32Platform {
 public:
  Platform32() { messages_.on(WM_HOTKEY, [this](WPARAM wp, LPARAM) { return hotKeyPressed(wp); }); }
  ~Platform32() override { UnregisterHotKey(messages_.hwnd(), kHotKeyId); }

  // The system gave what the program cannot run without: its windows'
  // class and its message window.
  bool ready() const { return setup_.windowClass && messages_.ok(); }

  // time
  double oleNow() override {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return oleDateOfSystemTime(st);
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
    if (t.period == 0) {
      messages_.stopTimer(static_cast<UINT_PTR>(id));
      return;
    }
    messages_.startTimer(static_cast<UINT_PTR>(id), t.period, [this, id] {
      // (A copy: the tick may create timers, which moves the list.)
      const Timer now = timers_[static_cast<std::size_t>(id - 1)];
      if (now.period > 0 && now.tick) now.tick();
    });
  }
  int timerPeriod(TimerId id) const override {
    if (id < 1 || static_cast<std::size_t>(id) > timers_.size()) return 0;
    return timers_[static_cast<std::size_t>(id - 1)].period;
  }

  void processPendingMessages() override {
    pumpPendingMessages();
    if (idle_) idle_();
  }
  void post(std::function<void()> f) override { messages_.post(std::move(f)); }
  int run(std::function<void()> idle) override {
    idle_ = std::move(idle);
    return runMessageLoop(idle_);
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
  canvas::TextRasterizer& textRasterizer() override { return *raster_; }

  // shell
  bool addTrayIcon(std::string_view icoBytes, const std::string& tooltip, std::function<void(TrayEvent)> onEvent) override {
    return tray_.add(icoBytes, tooltip, std::move(onEvent));
  }
  void removeTrayIcon() override { tray_.remove(); }
  void showBalloon(Point at, const std::string& text, int timeoutMs) override { balloon_.show(at, text, timeoutMs); }
  void messageBox(const std::string& text, const std::string& title) override {
    MessageBoxW(nullptr, wide(text).c_str(), wide(title).c_str(), MB_OK | MB_TASKMODAL);
  }
  void playSound(std::string_view wav) override {
    PlaySoundW(reinterpret_cast<LPCWSTR>(wav.data()), nullptr, SND_MEMORY | SND_ASYNC | SND_NODEFAULT);
  }

  bool claimSingleInstance(const std::string& key, std::function<void()> onShowRequest) override {
    return instance_.claim(key, std::move(onShowRequest));
  }
  void releaseSingleInstance(const std::string&) override { instance_.release(); }

  bool registerHotKey(int keyCode, int modifiers, std::function<void()> onPressed) override {
    UnregisterHotKey(messages_.hwnd(), kHotKeyId);
    hotKey_ = nullptr;
    if (keyCode == 0) return true;
    UINT mods = MOD_NOREPEAT;
    if (modifiers & kCtrl) mods |= MOD_CONTROL;
    if (modifiers & kShift) mods |= MOD_SHIFT;
    if (modifiers & kAlt) mods |= MOD_ALT;
    if (!RegisterHotKey(messages_.hwnd(), kHotKeyId, mods, static_cast<UINT>(keyCode))) return false;
    hotKey_ = std::move(onPressed);
    return true;
  }

  // processes
  bool launch(const std::string& commandLine) override { return launchProcess(commandLine); }
  std::string httpOpenCommand() override { return httpOpenCommandValue(); }
  canvas::Picture screenSnapshot(int width, int height) override { return screenPicture(width, height); }
  canvas::Picture executableIcon(const std::string& path) override {
    return path.empty() ? canvas::Picture{} : executableIconPicture(wide(path));
  }
  void trimWorkingSet() override { trimProcessWorkingSet(); }
  [[noreturn]] void exitProcess(int code) override { ExitProcess(static_cast<UINT>(code)); }
  std::string runDirectory() override { return executableFolder(); }

  // other windows
  std::shared_ptr<ForeignWindows> foreignWindows() override { return foreign_; }

  // network
  bool tcpConnect(const std::string& host, int port, int timeoutMs) override {
    return network_.tcpConnect(host, port, timeoutMs);
  }

  // clipboard
  void installClipboardWatcher(HostWindow& w, std::function<void()> onChange) override {
    clipboard_.install(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(w.nativeId())), std::move(onChange));
  }
  bool clipboardWatcherInstalled() const override { return clipboard_.installed(); }
  void restoreWindowProcedure() override { clipboard_.restoreProcedure(); }
  void leaveClipboardChain() override { clipboard_.leaveChain(); }
  std::string clipboardText() override { return readClipboardText(messages_.hwnd()); }
  void setClipboardText(const std::string& text) override { writeClipboardText(messages_.hwnd(), text); }

  // work off the GUI thread, HTTP, file dialogs
  std::unique_ptr<Worker> createWorker() override {
    return makeThreadWorker([this](std::function<void()> f) { post(std::move(f)); });
  }
  Http& http() override { return *http_; }
  std::optional<std::string> chooseFile(const FileDialogRequest& request) override { return showFileDialog(request); }
  std::string desktopFolder() override { return desktopDirectory(); }

 private:
  struct Timer {
    std::function<void()> tick;
    int period = 0;
  };

  LRESULT hotKeyPressed(WPARAM id) {
    if (id == kHotKeyId && hotKey_) {
      // (A copy: the press may register another key.)
      const std::function<void()> pressed = hotKey_;
      pressed();
    }
    return 0;
  }

  // (In the order they are made; they go in the reverse one.)
  ProcessSetup setup_;
  MessageWindow messages_;
  std::shared_ptr<Win32ForeignWindows> foreign_ = std::make_shared<Win32ForeignWindows>();
  std::vector<Timer> timers_;
  std::function<void()> idle_;
  std::function<void()> hotKey_;
  std::unique_ptr<canvas::TextRasterizer> raster_ = makeGdiRasterizer();
  TrayIcon tray_;
  Balloon balloon_{messages_};
  SingleInstance instance_;
  ClipboardWatcher clipboard_;
  Network network_;
  std::unique_ptr<Http> http_ = makeHttp();
};

}  // namespace

std::unique_ptr<Win32Platform> createPlatform() {
  auto p = std::make_unique<Platform32>();
  if (!p->ready()) return nullptr;
  return p;
}

}  // namespace lh::platform::win32
