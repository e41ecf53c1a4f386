// Today's browsers read through their accessible trees, for real: the
// stand-in browsers (a program of their own, serving their trees across
// processes as browsers do) read by the Win32 platform under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "capture/page_reader.h"
#include "platform/bounded_call.h"
#include "win/browser_standin_process.h"
#include "win/real_platform.h"

namespace lh::platform {
namespace {

// A stand-in browser right of the screen's middle, read at a point of its
// toolbar.
class StandIn : public test::StandInBrowser {
 public:
  StandIn(const std::wstring& kind, const std::wstring& windowClass)
      : StandInBrowser(LH_BROWSER_STANDIN_W, kind, windowClass, RECT{1000, 0, 1800, 600}, POINT{1100, 121}) {}
  Point point() const { return {1100, 121}; }
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
