// The real platform's sends to other windows, desktop folder and file
// dialogs, under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "platform/sim/sim_platform.h"
#include "platform/win32/clipboard_win32.h"
#include "platform/win32/services_win32.h"
#include "platform/win32/single_instance_win32.h"
#include "platform/win32/win32_platform.h"
#include "platform/platform_cases.h"
#include "text/codepage.h"
#include "win/real_platform.h"

namespace lh::platform {
namespace {

// A window on a thread of its own that stops answering messages while
// `hang` is set, as a hung browser does.
class OtherThreadWindow {
 public:
  OtherThreadWindow() {
    ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread([this] {
      hwnd_ = CreateWindowExW(0, L"EDIT", L"address in the bar", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
      SetEvent(ready_);
      MSG msg;
      while (!quit_) {
        if (hang_) {
          hanging_ = true;
          Sleep(5);  // not pumping: sent messages wait
          continue;
        }
        hanging_ = false;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
      }
      DestroyWindow(hwnd_);
    });
    WaitForSingleObject(ready_, INFINITE);
  }
  ~OtherThreadWindow() {
    hang_ = false;
    quit_ = true;
    thread_.join();
    CloseHandle(ready_);
  }
  ForeignWindow window() const { return ForeignWindow{reinterpret_cast<std::uintptr_t>(hwnd_)}; }
  // Returns once the thread has seen the change: a send made after
  // hang(true) can no longer slip into a last round of pumping.
  void hang(bool h) {
    hang_ = h;
    while (hanging_ != h) Sleep(1);
  }

 private:
  HANDLE ready_ = nullptr;
  HWND hwnd_ = nullptr;
  std::atomic<bool> hang_{false}, hanging_{false}, quit_{false};
  std::thread thread_;
};

TEST(RealForeignWindows, AHungWindowReadsAsEmptyInsteadOfHangingTheProgram) {
  Platform& p = realPlatform();
  OtherThreadWindow other;
  // A window that answers is read (within the send's time limit, which a
  // busy machine can use up once: read it until it answers).
  auto readsItsText = [&] {
    for (int i = 0; i < 10; ++i) {
      if (p.textOf(other.window()) == "address in the bar") return true;
    }
    return false;
  };
  EXPECT_TRUE(readsItsText());
  other.hang(true);
  const ULONGLONG start = GetTickCount64();
  EXPECT_EQ(p.textOf(other.window()), "");
  EXPECT_LT(GetTickCount64() - start, 30000u);  // returned at all
  other.hang(false);
  EXPECT_TRUE(readsItsText());
  EXPECT_EQ(p.classNameOf(other.window()), "Edit");
}

// A clipboard viewer of the test's own: counts the change notifications it
// gets and passes them on, as a well-behaved viewer does.
struct TestViewer {
  HWND hwnd = nullptr;
  HWND next = nullptr;
  int changes = 0;
  static LRESULT CALLBACK proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    auto* v = reinterpret_cast<TestViewer*>(GetWindowLongPtrW(w, GWLP_USERDATA));
    if (v && m == WM_DRAWCLIPBOARD) {
      ++v->changes;
      if (v->next) SendMessageW(v->next, m, wp, lp);
      return 0;
    }
    if (v && m == WM_CHANGECBCHAIN) {
      if (reinterpret_cast<HWND>(wp) == v->next) {
        v->next = reinterpret_cast<HWND>(lp);
      } else if (v->next) {
        SendMessageW(v->next, m, wp, lp);
      }
      return 0;
    }
    return DefWindowProcW(w, m, wp, lp);
  }
  void join() {
    static const bool registered = [] {
      WNDCLASSW c{};
      c.lpfnWndProc = proc;
      c.hInstance = GetModuleHandleW(nullptr);
      c.lpszClassName = L"LinkhoardTestViewer";
      return RegisterClassW(&c) != 0;
    }();
    (void)registered;
    hwnd = CreateWindowExW(0, L"LinkhoardTestViewer", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    next = SetClipboardViewer(hwnd);
  }
  void leave() {
    ChangeClipboardChain(hwnd, next);
    DestroyWindow(hwnd);
  }
};

void pumpFor(int ms, const std::function<bool()>& done) {
  const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(ms);
  MSG msg;
  while (GetTickCount64() < end && !done()) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

TEST(RealClipboardChain, AViewerLeavingAfterOursKeepsTheChainWhole) {
  Platform& p = realPlatform();
  // The chain: ours -> c -> d (the newest viewer comes first).
  TestViewer d, c;
  d.join();
  c.join();
  ASSERT_EQ(c.next, d.hwnd);
  std::unique_ptr<HostWindow> host = p.createWindow(WindowOptions{{0, 0, 50, 50}, true, false, false, "viewer"});
  int ours = 0;
  p.installClipboardWatcher(*host, [&ours] { ++ours; });
  pumpFor(200, [] { return false; });
  // c leaves: the system tells the first viewer (ours), which must now pass
  // notifications to d.
  c.leave();
  ours = 0;
  d.changes = 0;
  c.changes = 0;
  p.setClipboardText("copied");
  pumpFor(5000, [&] { return ours > 0 && d.changes > 0; });
  EXPECT_GE(ours, 1);
  EXPECT_GE(d.changes, 1);
  EXPECT_EQ(c.changes, 0);
  p.restoreWindowProcedure();
  p.leaveClipboardChain();
  d.leave();
}

HWND plainWindow() {
  return CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

// A watcher that left the chain (the program's exit does so; the watched
// window's destruction does so too) is installed no more, and joins again
// when asked, as the simulator's watcher does.
TEST(RealClipboardWatcher, AWatcherThatLeftTheChainJoinsItAgain) {
  HWND first = plainWindow(), second = plainWindow();
  ASSERT_TRUE(first && second);
  {
    platform::win32::ClipboardWatcher watcher;
    watcher.install(first, [] {});
    ASSERT_TRUE(watcher.installed());
    watcher.restoreProcedure();
    watcher.leaveChain();
    EXPECT_FALSE(watcher.installed());
    watcher.install(second, [] {});
    EXPECT_TRUE(watcher.installed()) << "a second install after leaving did nothing";
    watcher.restoreProcedure();
    watcher.leaveChain();
  }
  {
    // The watched window destroyed while hooked: it left the chain on
    // WM_DESTROY; another window can be watched.
    HWND third = plainWindow();
    platform::win32::ClipboardWatcher watcher;
    watcher.install(third, [] {});
    ASSERT_TRUE(watcher.installed());
    DestroyWindow(third);
    EXPECT_FALSE(watcher.installed());
    watcher.install(second, [] {});
    EXPECT_TRUE(watcher.installed()) << "the destroyed window is still taken for the watched one";
    watcher.restoreProcedure();
    watcher.leaveChain();
  }
  DestroyWindow(first);
  DestroyWindow(second);
}

// The properties a window of this class holds when its WM_NCDESTROY comes
// (it sets none of its own).
int propertiesAtDestruction = -1;

BOOL CALLBACK countProperty(HWND, LPWSTR, HANDLE, ULONG_PTR count) {
  ++*reinterpret_cast<int*>(count);
  return TRUE;
}

LRESULT CALLBACK watchedProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCDESTROY) {
    int count = 0;
    EnumPropsExW(hwnd, &countProperty, reinterpret_cast<LPARAM>(&count));
    propertiesAtDestruction = count;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

// A property must be gone before its window's WM_NCDESTROY returns. The
// watcher's (which leads its hooked procedure to it) goes, and the watcher
// forgets the window, when a watched window is destroyed while hooked: a
// later unhook would otherwise reach whatever window has the handle then.
TEST(RealClipboardWatcher, AWatchedWindowDestroyedWhileHookedKeepsNoPropertyOfTheWatcher) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &watchedProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"LinkhoardTestWatched";
  ASSERT_TRUE(RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS);
  auto make = [] {
    return CreateWindowExW(0, L"LinkhoardTestWatched", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
  };
  // What the system itself keeps on such a window (Wine keeps some).
  HWND plain = make();
  ASSERT_TRUE(plain);
  propertiesAtDestruction = -1;
  DestroyWindow(plain);
  const int systems = propertiesAtDestruction;
  ASSERT_GE(systems, 0);
  HWND watched = make();
  ASSERT_TRUE(watched);
  platform::win32::ClipboardWatcher watcher;
  watcher.install(watched, [] {});
  ASSERT_TRUE(watcher.installed());
  propertiesAtDestruction = -1;
  DestroyWindow(watched);
  EXPECT_EQ(propertiesAtDestruction, systems) << "the watcher's property is still on the window at WM_NCDESTROY";
}

// Another program with the clipboard open, on a thread of its own (a
// clipboard window of its own), for `holdMs`.
class ClipboardHolder {
 public:
  explicit ClipboardHolder(int holdMs) {
    thread_ = std::thread([this, holdMs] {
      HWND w = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, GetModuleHandleW(nullptr),
                               nullptr);
      opened_ = OpenClipboard(w) != 0;
      holding_ = true;
      Sleep(static_cast<DWORD>(holdMs));
      if (opened_) CloseClipboard();
      DestroyWindow(w);
    });
    while (!holding_) Sleep(1);
  }
  ~ClipboardHolder() { thread_.join(); }
  bool opened() const { return opened_; }

 private:
  std::atomic<bool> holding_{false}, opened_{false};
  std::thread thread_;
};

TEST(RealClipboard, ACopyIsReadEvenWhileAnotherProgramHoldsTheClipboardForAMoment) {
  Platform& p = realPlatform();
  p.setClipboardText("http://held.example/");
  {
    ClipboardHolder other(60);
    ASSERT_TRUE(other.opened());
    EXPECT_EQ(p.clipboardText(), "http://held.example/");
  }
  {
    // Held for longer than the reader waits: the reader gives up (had it
    // waited for the clipboard, it would read the text).
    ClipboardHolder other(2000);
    ASSERT_TRUE(other.opened());
    EXPECT_EQ(p.clipboardText(), "");
  }
  EXPECT_EQ(p.clipboardText(), "http://held.example/");
}

// A picture flying over the program's own windows (the capture thumbnail)
// must not take the clicks meant for them, and must still be seen.
TEST(RealWindows, AWindowThatPassesInputIsSeenButThePointerReachesTheOneBelow) {
  win32::Win32Platform& p = realPlatform();
  auto below = p.createWindow(WindowOptions{{200, 200, 200, 200}, true, true, false, "Below"});
  WindowOptions over{{250, 250, 100, 100}, true, true, false, "Over"};
  over.passesInput = true;
  auto above = p.createWindow(over);
  below->setVisible(true);
  above->setVisible(true);
  above->raise(false);
  const std::vector<std::uint32_t> red(100 * 100, 0xFFFF0000);
  above->present(red.data(), 100, 100, {canvas::Rect{0, 0, 100, 100}});
  HWND belowHwnd = reinterpret_cast<HWND>(below->nativeId());
  HWND aboveHwnd = reinterpret_cast<HWND>(above->nativeId());
  // Drawn: the screen shows the picture's red where it stands.
  COLORREF seen = CLR_INVALID;
  for (int i = 0; i < 200; ++i) {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
    HDC screen = GetDC(nullptr);
    seen = GetPixel(screen, 300, 300);
    ReleaseDC(nullptr, screen);
    if (seen == RGB(255, 0, 0)) break;
    Sleep(10);
  }
  EXPECT_EQ(seen, RGB(255, 0, 0));
  // Hit-tested through: the point inside both belongs to the one below.
  EXPECT_EQ(WindowFromPoint(POINT{300, 300}), belowHwnd);
  EXPECT_NE(WindowFromPoint(POINT{300, 300}), aboveHwnd);
}

TEST(RealShell, TheDesktopFolderExistsAndEndsWithABackslash) {
  const std::string desktop = realPlatform().desktopFolder();
  ASSERT_GT(desktop.size(), 3u);
  EXPECT_EQ(desktop.back(), '\\');
  const DWORD attributes = GetFileAttributesA(desktop.c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << desktop;
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Plays the user in the dialog that the calling thread is about to show:
// reads its file name box, then types `answer` there and presses OK (or
// presses Cancel when `answer` is empty).
class DialogUser {
 public:
  DialogUser(std::wstring answer) : answer_(std::move(answer)), owner_(GetCurrentThreadId()) {
    thread_ = std::thread([this] { play(); });
  }
  ~DialogUser() { finish(); }
  // Waits for the user to be done; returns what the file name box held when
  // the dialog opened.
  std::wstring finish() {
    if (thread_.joinable()) thread_.join();
    return proposed_;
  }

 private:
  static BOOL CALLBACK find(HWND w, LPARAM lp) {
    wchar_t cls[64] = {};
    GetClassNameW(w, cls, 64);
    if (wcscmp(cls, L"#32770") == 0 && IsWindowVisible(w)) {
      *reinterpret_cast<HWND*>(lp) = w;
      return FALSE;
    }
    return TRUE;
  }
  void play() {
    HWND dialog = nullptr;
    for (int i = 0; i < 3000 && !dialog; ++i) {
      EnumThreadWindows(owner_, find, reinterpret_cast<LPARAM>(&dialog));
      if (!dialog) Sleep(10);
    }
    if (!dialog) return;
    wchar_t buf[MAX_PATH] = {};
    // The file name box: the combo box cmb13 (1148), or the edit edt1 (1152).
    HWND name = GetDlgItem(dialog, 1148);
    if (!name) name = GetDlgItem(dialog, 1152);
    if (name) {
      SendMessageW(name, WM_GETTEXT, MAX_PATH, reinterpret_cast<LPARAM>(buf));
      proposed_ = buf;
    }
    if (answer_.empty()) {
      PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    } else {
      SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(answer_.c_str()));
      PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    }
  }
  std::wstring answer_;
  std::wstring proposed_;
  DWORD owner_;
  std::thread thread_;
};

TEST(RealFileDialogs, SaveProposesTheGbkNameAndReturnsTheChosenPathAsGbk) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring chosen = std::wstring(temp) + L"\u5bfc\u51fa\u6d4b\u8bd5.html";  // 导出测试.html
  DeleteFileW(chosen.c_str());
  FileDialogRequest save;
  save.kind = FileDialogRequest::Kind::Save;
  save.filter = "html|*.html;*.htm";
  save.proposedName = "ULinkhoard-2016年5月3日15时30分20秒.html";
  save.defaultExtension = "html";
  DialogUser user(chosen);
  const std::optional<std::string> got = realPlatform().chooseFile(save);
  EXPECT_EQ(user.finish(), L"ULinkhoard-2016\u5e745\u67083\u65e515\u65f630\u520620\u79d2.html");
  ASSERT_TRUE(got.has_value());
  const std::u16string back = text::gbkToUtf16(*got);
  EXPECT_EQ(std::wstring(back.begin(), back.end()), chosen);
}

TEST(RealFileDialogs, CancelGivesNothing) {
  FileDialogRequest open;
  open.filter = "html|*.html;*.htm";
  open.initialFolder = realPlatform().desktopFolder();
  DialogUser user(L"");
  EXPECT_EQ(realPlatform().chooseFile(open), std::nullopt);
  user.finish();
}

// ------------------------------------------------------------ what the simulator copies

// (The native tests run the same cases against the simulator.)
TEST(RealEditBoxes, TheByteLimitKeepsWholeCharactersAsTheSimulatorsBoxDoes) {
  auto window = realPlatform().createWindow(WindowOptions{{0, 0, 200, 100}, false, false, false, "edit test"});
  for (const cases::EditCut& c : cases::kEditCuts) {
    EditOptions o;
    o.bounds = {0, 0, 150, 20};
    o.maxBytes = c.maxBytes;
    auto box = window->createEditBox(o);
    box->setText(c.typed);  // EN_CHANGE applies the limit, as typing does
    EXPECT_EQ(box->text(), c.kept) << c.typed << " in " << c.maxBytes;
  }
}

TEST(RealSingleInstance, KeysAreComparedAsTheSimulatorComparesThem) {
  for (const cases::KeyPair& k : cases::kSameKeys) {
    win32::SingleInstance first, second;
    int shown = 0;
    ASSERT_TRUE(first.claim(k.a, [&] { ++shown; }));
    EXPECT_FALSE(second.claim(k.b, {})) << k.b;
    EXPECT_EQ(shown, 1);
    first.release();
  }
  for (const cases::KeyPair& k : cases::kDifferentKeys) {
    win32::SingleInstance first, second;
    ASSERT_TRUE(first.claim(k.a, {}));
    EXPECT_TRUE(second.claim(k.b, {})) << k.b;
    first.release();
    second.release();
  }
}

// Every character GBK holds: the simulator's capital is the system's.
TEST(RealUpperCase, TheSimulatorsCapitalsAreCharUpperBuffsForEveryGbkCharacter) {
  int compared = 0, differing = 0;
  auto check = [&](const char* bytes, int n) {
    wchar_t w[2] = {};
    if (MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, bytes, n, w, 2) != 1) return;
    wchar_t upper = w[0];
    CharUpperBuffW(&upper, 1);
    ++compared;
    if (static_cast<char16_t>(upper) != sim::upperCasedCharacter(static_cast<char16_t>(w[0]))) {
      ++differing;
      ADD_FAILURE() << std::hex << "U+" << static_cast<unsigned>(w[0]) << ": system U+" << static_cast<unsigned>(upper)
                    << ", simulator U+" << static_cast<unsigned>(sim::upperCasedCharacter(static_cast<char16_t>(w[0])));
    }
  };
  for (int c = 0x20; c < 0x7F; ++c) {
    const char b = static_cast<char>(c);
    check(&b, 1);
  }
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      const char b[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      check(b, 2);
    }
  }
  EXPECT_GT(compared, 21000);
  EXPECT_EQ(differing, 0);
}

}  // namespace
}  // namespace lh::platform
