// One capture's read of the browser beside the window, timed against the
// stand-in browsers (a program of their own serving Chromium's and Firefox's
// accessible trees across processes). Run under Wine:
//   scripts/wine-run.sh build/win/tests/capture_bench_win.exe
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "capture/page_reader.h"
#include "capture/read_bound.h"
#include "platform/bounded_call.h"
#include "platform/win32/win32_platform.h"
#include "win/browser_standin_process.h"

namespace {

constexpr RECT kPlace{1000, 0, 1800, 600};
constexpr POINT kRead{1100, 121};

struct Figures {
  double medianMs = 0, maxMs = 0;
  bool gotAddress = false;
};

// `runs` reads, each on a thread of its own under the program's bound, as
// the program makes them.
Figures timeReads(lh::platform::Platform& platform, int runs) {
  std::vector<double> ms;
  bool got = false;
  for (int i = 0; i < runs; ++i) {
    auto page = std::make_shared<lh::capture::BrowserPage>();
    LARGE_INTEGER f, a, b;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&a);
    const auto outcome = lh::platform::runBounded(
        [&platform, page](const lh::platform::CancelFlag& stop) {
          *page = lh::capture::readBrowserPage(platform, {kRead.x, kRead.y}, "", stop);
        },
        lh::capture::kReadBoundMs);
    QueryPerformanceCounter(&b);
    ms.push_back(1000.0 * static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(f.QuadPart));
    got |= outcome == lh::platform::BoundedOutcome::Finished && !lh::capture::pageAddress(*page).empty();
    // An abandoned read goes on in the other program: let it end first.
    while (lh::platform::liveBoundedCalls() > 0) Sleep(50);
  }
  std::sort(ms.begin(), ms.end());
  return {ms[ms.size() / 2], ms.back(), got};
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring standIn = argc > 1 ? argv[1] : L"lh_browser_standin.exe";
  auto platform = lh::platform::win32::createPlatform();
  struct Kind {
    const wchar_t* kind;
    const wchar_t* windowClass;
    int runs;
  };
  const Kind kinds[] = {{L"chromium", L"Chrome_WidgetWin_1", 20}, {L"firefox", L"MozillaWindowClass", 20},
                        {L"chinese", L"Chrome_WidgetWin_1", 20},  {L"nobar", L"MozillaWindowClass", 10},
                        {L"deep", L"Chrome_WidgetWin_1", 10},     {L"huge", L"Chrome_WidgetWin_1", 3}};
  std::printf("bound %d ms\n%-10s %6s %10s %10s %s\n", lh::capture::kReadBoundMs, "browser", "reads", "median ms",
              "max ms", "address");
  for (const Kind& k : kinds) {
    lh::test::StandInBrowser browser(standIn, k.kind, k.windowClass, kPlace, kRead);
    if (!browser.window()) {
      std::printf("%-10ls the stand-in did not start\n", k.kind);
      return 1;
    }
    const Figures f = timeReads(*platform, k.runs);
    std::printf("%-10ls %6d %10.1f %10.1f %s\n", k.kind, k.runs, f.medianMs, f.maxMs, f.gotAddress ? "read" : "none");
  }
  return 0;
}
