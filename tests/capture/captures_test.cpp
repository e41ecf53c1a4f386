// The two captures in the simulator: the browser beside the window read by
// its windows, and addresses copied anywhere; and the thumbnail's flight.
#include <gtest/gtest.h>

#include "../app/app_fixture.h"
#include "capture/browser_capture.h"
#include "capture/clipboard_capture.h"

namespace lh::app {
namespace {

using namespace simtest;
using platform::MouseButton;
using platform::sim::FakeWindow;

class Captures : public StartUp {
 protected:
  void startAndWait() {
    start();
    sim.advance(300);
  }
  // A top-level browser window right of the column, with the address window
  // `depth` levels below it.
  std::uint64_t browser(const std::string& topClass, const std::string& title, const std::string& addressClass,
                        const std::string& address, int depth = 2) {
    FakeWindow top;
    top.className = topClass;
    top.text = title;
    top.screenBounds = {360, 0, 1560, 1080};
    const std::uint64_t t = sim.addForeignWindow(top);
    std::uint64_t parent = t;
    for (int d = 1; d < depth; ++d) {
      FakeWindow frame;
      frame.parent = parent;
      frame.className = "Frame" + std::to_string(d);
      parent = sim.addForeignWindow(frame);
    }
    FakeWindow bar;
    bar.parent = parent;
    bar.className = addressClass;
    bar.text = address;
    sim.addForeignWindow(bar);
    return t;
  }
  void rightClickTheEdgeTab() {
    ui::Window& edge = app->rightEdgeWindow();
    host(edge).click(edge.width() / 2, edge.height() / 2, MouseButton::Right);
  }
  const store::Entry& newest() { return app->store().entry(app->store().count()); }
  int bookmarks() {
    int n = 0;
    for (store::EntryId id = 1; id <= app->store().count(); ++id) n += app->store().entry(id).isBookmark();
    return n;
  }
  std::vector<store::EntryId> bin() { return app->store().members(store::kRecycleBin); }
};

TEST_F(Captures, TheEdgeTabsRightClickBookmarksTheBrowsersPageWithItsTitleCut) {
  startAndWait();
  browser("IEFrame", "Example Domain - Browser", "Edit", "http://example.com/", 3);
  const int before = bookmarks();
  rightClickTheEdgeTab();
  ASSERT_EQ(bookmarks(), before + 1);
  EXPECT_EQ(newest().url, "http://example.com/");
  EXPECT_EQ(newest().title, "Example Domain");
  EXPECT_EQ(app->store().members(1).back(), app->store().count());  // the category shown
  EXPECT_TRUE(app->thumbnail().flying());
  // The same page again goes to the recycle bin instead.
  const store::EntryId first = app->store().count();
  rightClickTheEdgeTab();
  EXPECT_EQ(bookmarks(), before + 1);
  EXPECT_EQ(bin(), (std::vector<store::EntryId>{first}));
  EXPECT_TRUE(app->recycleBinWindow().visible());
}

TEST_F(Captures, TheTrayIconsRightButtonCapturesAsWell) {
  startAndWait();
  browser("QQBrowserMainFrame", "QQ page", "QQBrowserCoreRichEdit", "http://qq.example/");
  sim.tray.onEvent(platform::TrayEvent::RightUp);
  EXPECT_EQ(newest().url, "http://qq.example/");
  sim.tray.onEvent(platform::TrayEvent::LeftDoubleClick);  // nothing
  EXPECT_EQ(newest().url, "http://qq.example/");
}

TEST_F(Captures, AChromiumWindowWithoutItsConfiguredClassGivesTheBareScheme) {
  startAndWait();
  browser("Chrome_WidgetWin_1", "Page - Chromium", "OmniboxViewViews", "example.org/path");
  rightClickTheEdgeTab();
  EXPECT_EQ(newest().url, "http://");
  EXPECT_EQ(newest().title, "Page");
}

TEST_F(Captures, AChromiumAddressWithoutSchemeGetsHttpUnlessTheTextHasOne) {
  fs.files[kData + "\\config.ini"] += "控件=OmniboxViewViews\r\n";
  startAndWait();
  const std::uint64_t top = browser("Chrome_WidgetWin_1", "Page", "OmniboxViewViews", "example.org/path");
  rightClickTheEdgeTab();
  EXPECT_EQ(newest().url, "http://example.org/path");
  sim.foreign.erase(top);
  sim.foreign.clear();
  browser("Chrome_WidgetWin_1", "Secure", "OmniboxViewViews", "https://secure.org/");
  rightClickTheEdgeTab();
  EXPECT_EQ(newest().url, "https://secure.org/");
  sim.foreign.clear();
  // A title with "http://" in it keeps the address as it is.
  browser("Chrome_WidgetWin_1", "see http://x", "OmniboxViewViews", "plain.org/");
  rightClickTheEdgeTab();
  EXPECT_EQ(newest().url, "plain.org/");
}

TEST_F(Captures, NoBrowserShowsTheBalloonAndAddsNothing) {
  startAndWait();
  const int before = bookmarks();
  rightClickTheEdgeTab();  // nothing beside the window
  EXPECT_EQ(bookmarks(), before);
  ASSERT_FALSE(sim.balloons.empty());
  EXPECT_EQ(sim.balloons.back().text, "未检测到浏览器");
  // An unknown browser with a title: no address, the same balloon.
  browser("SomeOtherFrame", "Title", "Edit", "http://a.com/");
  rightClickTheEdgeTab();
  EXPECT_EQ(bookmarks(), before);
  EXPECT_EQ(sim.balloons.size(), 2u);
  EXPECT_FALSE(app->thumbnail().flying());
}

TEST_F(Captures, FindTextTakesTheFirstMatchDepthFirstAndBoundsAParentLoop) {
  startAndWait();
  const std::uint64_t top = browser("IEFrame", "T", "Edit", "deep", 4);
  FakeWindow shallow;  // added later: listed after the first frame's subtree
  shallow.parent = top;
  shallow.className = "Edit";
  shallow.text = "shallow";
  sim.addForeignWindow(shallow);
  EXPECT_EQ(capture::findText(sim, platform::ForeignWindow{top}, "Edit"), "deep");
  EXPECT_EQ(capture::findText(sim, platform::ForeignWindow{top}, "Nothing"), "");
  // A window that names itself its own parent ends the climb.
  FakeWindow self;
  self.className = "Self";
  const std::uint64_t s = sim.addForeignWindow(self);
  sim.foreign[s].parent = s;
  EXPECT_EQ(capture::topLevelOf(sim, platform::ForeignWindow{s}), platform::ForeignWindow{s});
}

TEST_F(Captures, ACaptureDuringASortIsAddedOnceTheSortEnds) {
  startAndWait();
  browser("IEFrame", "Later", "Edit", "http://later.com/");
  const int before = bookmarks();
  {
    ui::Busy::Scope busy(&app->busy());
    rightClickTheEdgeTab();  // the tab is its own window: input reaches it
    app->browserCapture().captureFromBrowser();
    EXPECT_EQ(bookmarks(), before);
  }
  // Both captures arrive: the second moves the first to the bin.
  EXPECT_EQ(bookmarks(), before + 1);
  EXPECT_EQ(bin().size(), 1u);
}

class Clipboard : public Captures {
 protected:
  void copyAway(const std::string& text) {
    sim.cursor = {900, 500};  // over the browser, not the column
    sim.copyText(text);
  }
};

TEST_F(Clipboard, ACopiedAddressIsAddedWithTheTitleOfTheBrowserBeside) {
  startAndWait();
  browser("IEFrame", "Browser Title - IE", "Edit", "http://shown.com/");
  copyAway("www.copied.com/page");
  EXPECT_EQ(newest().url, "www.copied.com/page");
  EXPECT_EQ(newest().title, "Browser Title");
  // A sentence with ".com" in it is an address too, stored whole.
  copyAway("read this at site.com today");
  EXPECT_EQ(newest().url, "read this at site.com today");
  // No mark of an address: ignored.
  const int before = bookmarks();
  copyAway("localhost:8080/x");
  copyAway("");
  EXPECT_EQ(bookmarks(), before);
}

TEST_F(Clipboard, ACopyOverTheColumnIsTheProgramsOwnAndIgnored) {
  startAndWait();
  const int before = bookmarks();
  sim.cursor = {app->mainWindow().left() + 100, 300};
  sim.copyText("http://own.com/");
  EXPECT_EQ(bookmarks(), before);
}

TEST_F(Clipboard, ACopiedTextIsCutAtItsFirstLineBreak) {
  startAndWait();
  copyAway("http://first.com/\r\nsecond line");
  EXPECT_EQ(newest().url, "http://first.com/");
  EXPECT_EQ(capture::copiedAddress("a.com\nb"), "a.com");
  // A first line without an address mark is not captured, whatever follows.
  const int before = bookmarks();
  copyAway("hello\nhttp://x.com/");
  EXPECT_EQ(bookmarks(), before);
}

TEST_F(Clipboard, TheSameAddressCopiedTwiceGoesToTheBinAndAnOpenAddPanelCloses) {
  startAndWait();
  copyAway("http://twice.com/");
  const store::EntryId first = app->store().count();
  copyAway("http://twice.com/");
  EXPECT_EQ(bin(), (std::vector<store::EntryId>{first}));
  // The add panel open for adding closes without saving.
  host(app->mainWindow()).click(30, 125);
  ASSERT_EQ(app->editPanel().modeMarker(), "1");
  static_cast<platform::sim::SimEditBox&>(app->editPanel().titleBox().edit()).type("typed");
  copyAway("http://fresh.com/");
  EXPECT_EQ(app->editPanel().modeMarker(), "0");
  EXPECT_EQ(app->overlay().shown(), -1);
  EXPECT_EQ(newest().url, "http://fresh.com/");
  EXPECT_NE(newest().title, "typed");
}

TEST_F(Captures, TheThumbnailFliesLeftAcceleratingAndClosesPastTheWindow) {
  startAndWait();
  browser("IEFrame", "Fly", "Edit", "http://fly.com/");
  rightClickTheEdgeTab();
  auto& t = app->thumbnail();
  ASSERT_TRUE(t.flying());
  EXPECT_EQ(t.left(), 1920 / 3);
  EXPECT_EQ(t.window()->width(), 1920 / 6);
  EXPECT_EQ(t.window()->height(), 1080 / 6);
  EXPECT_EQ(t.window()->top(), 1080 / 3);
  EXPECT_EQ(sim.snapshots, 1);
  const int main = app->mainWindow().left();
  ASSERT_EQ(main, 6);
  // Every frame: 5, 10, 15 ... pixels further left.
  int expected = 1920 / 3, step = 0, ticks = 0;
  while (expected > main) {
    sim.advance(10);
    ++ticks;
    step += 5;
    expected -= step;
    ASSERT_TRUE(t.flying()) << ticks;
    EXPECT_EQ(t.left(), expected) << ticks;
    EXPECT_EQ(t.flightStep(), step);
  }
  sim.advance(10);
  EXPECT_FALSE(t.flying());
  EXPECT_EQ(t.flightStep(), 0);
}

TEST_F(Captures, WithTheWindowInTheRightHalfTheThumbnailFliesRight) {
  startAndWait();
  app->mainWindow().moveTo(1500, 0);
  app->thumbnail().show();
  auto& t = app->thumbnail();
  const int start = t.left();
  sim.advance(10);
  EXPECT_EQ(t.left(), start + 5);
  sim.advance(10);
  EXPECT_EQ(t.left(), start + 15);
  sim.advance(1000);
  EXPECT_FALSE(t.flying());
}

TEST_F(Captures, ASecondCaptureOrTheWindowSlidingOutDuringAFlightEndsItCleanly) {
  startAndWait();
  browser("IEFrame", "One", "Edit", "http://one.com/");
  rightClickTheEdgeTab();
  auto& t = app->thumbnail();
  sim.advance(30);
  ASSERT_TRUE(t.flying());
  ASSERT_LT(t.left(), 1920 / 3);
  // A second capture while the first flies: a new snapshot, from the start.
  sim.foreign.clear();
  browser("IEFrame", "Two", "Edit", "http://two.com/");
  rightClickTheEdgeTab();
  EXPECT_EQ(sim.snapshots, 2);
  EXPECT_EQ(t.left(), 1920 / 3);
  EXPECT_EQ(t.flightStep(), 0);
  sim.advance(10);
  EXPECT_EQ(t.left(), 1920 / 3 - 5);
  // The main window slides out of the screen meanwhile: the flight follows
  // its left edge and still ends.
  app->docking().slideOut();
  for (int i = 0; i < 200 && t.flying(); ++i) sim.advance(10);
  EXPECT_FALSE(t.flying());
  EXPECT_LT(app->mainWindow().left(), 0);
  // A flight going on when the program exits leaves no timer behind.
  app->thumbnail().show();
  app.reset();
  sim.advance(100);
}

}  // namespace
}  // namespace lh::app
