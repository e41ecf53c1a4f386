// Today's browsers read through their accessible trees, for real: the
// stand-in browsers (a program of their own, serving their trees across
// processes as browsers do) read by the Win32 platform under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "capture/page_reader.h"
#include "platform/bounded_call.h"
#include "win/real_platform.h"

namespace lh::platform {
namespace {

// One stand-in browser, its window found by its class, ended with the test.
class StandIn {
 public:
  StandIn(const std::wstring& kind, const std::wstring& windowClass) {
    std::wstring cmd = L"\"" + std::wstring(LH_BROWSER_STANDIN_W) + L"\" " + kind + L" 1000 0 800 600";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_)) return;
    CloseHandle(pi_.hThread);
    for (int i = 0; i < 200 && !window_; ++i) {
      Sleep(50);
      window_ = findOwnWindow(windowClass);
    }
    // Ready once it is the window at the point read (the one before it may
    // still be going).
    const POINT p{point().x, point().y};
    for (int i = 0; i < 200 && window_ && GetAncestor(WindowFromPoint(p), GA_ROOT) != window_; ++i) Sleep(50);
  }
  ~StandIn() {
    if (pi_.hProcess) {
      TerminateProcess(pi_.hProcess, 0);
      WaitForSingleObject(pi_.hProcess, 5000);
      CloseHandle(pi_.hProcess);
    }
  }
  HWND window() const { return window_; }
  // A point inside it.
  Point point() const { return {1100, 121}; }

 private:
  HWND findOwnWindow(const std::wstring& cls) const {
    for (HWND w = FindWindowExW(nullptr, nullptr, cls.c_str(), nullptr); w; w = FindWindowExW(nullptr, w, cls.c_str(), nullptr)) {
      DWORD pid = 0;
      GetWindowThreadProcessId(w, &pid);
      if (pid == pi_.dwProcessId) return w;
    }
    return nullptr;
  }
  PROCESS_INFORMATION pi_{};
  HWND window_ = nullptr;
};

capture::BrowserPage readAt(Point p) {
  CancelFlag stop;
  return capture::readBrowserPage(realPlatform(), p, "", stop);
}

TEST(RealBrowserTrees, ChromiumsAndFirefoxsBarsAreReadAcrossProcesses) {
  {
    StandIn chromium(L"chromium", L"Chrome_WidgetWin_1");
    ASSERT_NE(chromium.window(), nullptr);
    const capture::BrowserPage page = readAt(chromium.point());
    EXPECT_EQ(page.from, capture::BrowserPage::From::AccessibleTree);
    EXPECT_EQ(page.title, "Example Domain - Google Chrome");
    EXPECT_EQ(capture::pageAddress(page), "https://example.com/path?q=1");
  }
  {
    StandIn firefox(L"firefox", L"MozillaWindowClass");
    ASSERT_NE(firefox.window(), nullptr);
    const capture::BrowserPage page = readAt(firefox.point());
    EXPECT_EQ(capture::pageAddress(page), "https://www.mozilla.org/en-US/");
  }
  {
    StandIn chinese(L"chinese", L"Chrome_WidgetWin_1");
    ASSERT_NE(chinese.window(), nullptr);
    const capture::BrowserPage page = readAt(chinese.point());
    EXPECT_EQ(capture::pageAddress(page), "https://www.example.cn/news")
        << static_cast<int>(page.from) << " [" << page.title << "] [" << page.address << "]";
  }
  {
    StandIn plain(L"notsecure", L"Chrome_WidgetWin_1");
    ASSERT_NE(plain.window(), nullptr);
    EXPECT_EQ(capture::pageAddress(readAt(plain.point())), "http://plain.example/");
  }
  {
    StandIn typing(L"focused", L"Chrome_WidgetWin_1");
    ASSERT_NE(typing.window(), nullptr);
    const capture::BrowserPage page = readAt(typing.point());
    EXPECT_TRUE(page.barFocused);
    EXPECT_EQ(capture::pageAddress(page), "");
  }
}

TEST(RealBrowserTrees, ABrowserThatStopsAnsweringIsLeftAtTheBound) {
  StandIn stuck(L"hang", L"Chrome_WidgetWin_1");
  ASSERT_NE(stuck.window(), nullptr);
  auto page = std::make_shared<capture::BrowserPage>();
  const Point at = stuck.point();
  const ULONGLONG t0 = GetTickCount64();
  const BoundedOutcome outcome = runBounded(
      [at, page](const CancelFlag& stop) { *page = capture::readBrowserPage(realPlatform(), at, "", stop); }, 1500);
  const ULONGLONG took = GetTickCount64() - t0;
  EXPECT_EQ(outcome, BoundedOutcome::TimedOut);
  EXPECT_LT(took, 5000u);
  std::printf("a stand-in that stops answering: left after %llu ms\n", static_cast<unsigned long long>(took));
}

TEST(RealBrowserTrees, ABudgetEndsADeepOrHugeTreeAndABrowserWithoutABarGivesNothing) {
  for (const wchar_t* kind : {L"deep", L"huge", L"nobar"}) {
    StandIn browser(kind, std::wstring(kind) == L"nobar" ? L"MozillaWindowClass" : L"Chrome_WidgetWin_1");
    ASSERT_NE(browser.window(), nullptr);
    const ULONGLONG t0 = GetTickCount64();
    const capture::BrowserPage page = readAt(browser.point());
    std::printf("%ls: read in %llu ms\n", kind, static_cast<unsigned long long>(GetTickCount64() - t0));
    EXPECT_EQ(page.from, capture::BrowserPage::From::Nothing) << static_cast<const void*>(kind);
    EXPECT_EQ(capture::pageAddress(page), "");
  }
}

}  // namespace
}  // namespace lh::platform
