// The two captures in the simulator: the browser beside the window read by
// its windows, and addresses copied anywhere; and the thumbnail's flight.
#include <gtest/gtest.h>

#include "../app/app_fixture.h"
#include "capture/browser_capture.h"
#include "capture/clipboard_capture.h"
#include "platform/bounded_call.h"
#include "ui/busy.h"

#include <atomic>
#include <thread>

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
  // The browser is read off the GUI thread: the read runs, and what it
  // read arrives.
  void readArrives() {
    sim.runWorkers();
    sim.processPendingMessages();
  }
  void rightClickTheEdgeTab() {
    ui::Window& edge = app->rightEdgeWindow();
    host(edge).click(edge.width() / 2, edge.height() / 2, MouseButton::Right);
    readArrives();
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
  readArrives();
  EXPECT_EQ(newest().url, "http://qq.example/");
  sim.tray.onEvent(platform::TrayEvent::LeftDoubleClick);  // nothing
  EXPECT_EQ(newest().url, "http://qq.example/");
}

// Nothing read is no bookmark: a Chromium window whose address is found
// neither by the class table nor in an accessible tree used to give one
// whose address was a bare "http://".
TEST_F(Captures, AChromiumWindowThatShowsNoAddressAddsNothingAndSaysSo) {
  startAndWait();
  browser("Chrome_WidgetWin_1", "Page - Chromium", "OmniboxViewViews", "example.org/path");
  const int before = bookmarks();
  rightClickTheEdgeTab();
  rightClickTheEdgeTab();
  EXPECT_EQ(bookmarks(), before);
  EXPECT_TRUE(bin().empty());
  ASSERT_EQ(sim.balloons.size(), 2u);
  EXPECT_EQ(sim.balloons.back().text, "未检测到浏览器");
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
    readArrives();
    EXPECT_EQ(bookmarks(), before);
  }
  // Both captures arrive: the second moves the first to the bin.
  EXPECT_EQ(bookmarks(), before + 1);
  EXPECT_EQ(bin().size(), 1u);
}

// A capture started while an earlier one is still reading wins: the
// earlier read's result is dropped.
TEST_F(Captures, ANewerCaptureDropsTheReadOfAnOlderOne) {
  startAndWait();
  browser("IEFrame", "Old", "Edit", "http://old.com/");
  const int before = bookmarks();
  app->browserCapture().captureFromBrowser();
  sim.foreign.clear();
  browser("IEFrame", "New", "Edit", "http://new.com/");
  app->browserCapture().captureFromBrowser();
  EXPECT_TRUE(app->browserCapture().reading());
  readArrives();
  EXPECT_FALSE(app->browserCapture().reading());
  EXPECT_EQ(bookmarks(), before + 1);
  EXPECT_EQ(newest().url, "http://new.com/");
}

// ------------------------------------------------------------ today's browsers: the accessible tree

using platform::ForeignAccessible;
using platform::sim::FakeAccessible;
using Node = std::shared_ptr<FakeAccessible>;

Node node(int role, std::string name = "", std::string value = "", std::vector<Node> children = {}) {
  auto n = std::make_shared<FakeAccessible>();
  n->role = role;
  n->name = std::move(name);
  n->value = std::move(value);
  n->children = std::move(children);
  return n;
}
Node withShortcut(Node n, std::string shortcut) {
  n->shortcut = std::move(shortcut);
  return n;
}
Node withState(Node n, std::uint32_t state) {
  n->state |= state;
  return n;
}
// Chromium's window: client → (pane →) toolbar → the site-information
// button and the bar, named "Address and search bar", shortcut "Ctrl+L", its
// value without the scheme; the page below in a document.
Node chromiumTree(const std::string& value, const std::string& siteButton = "View site information",
                  const std::string& barName = "Address and search bar", std::uint32_t barState = 0) {
  Node bar = withState(withShortcut(node(ForeignAccessible::kRoleText, barName, value), "Ctrl+L"), barState);
  Node toolbar = node(ForeignAccessible::kRoleToolBar, "", "",
                      {node(ForeignAccessible::kRolePushButton, "Back"), node(ForeignAccessible::kRolePushButton, siteButton),
                       bar});
  Node page = node(ForeignAccessible::kRoleDocument, "Page", "",
                   {node(ForeignAccessible::kRoleText, "Search", "evil.example.org/phish")});
  return node(ForeignAccessible::kRoleClient, "", "",
              {node(ForeignAccessible::kRolePane, "", "", {toolbar, node(ForeignAccessible::kRolePane, "", "", {page})})});
}

class Trees : public Captures {
 protected:
  // A top-level window of `cls` right of the column answering with `tree`.
  std::uint64_t browserWithTree(const std::string& cls, const std::string& title, Node tree) {
    FakeWindow top;
    top.className = cls;
    top.text = title;
    top.screenBounds = {360, 0, 1560, 1080};
    top.accessible = std::move(tree);
    return sim.addForeignWindow(top);
  }
  std::string read(const std::string& configured = "") {
    platform::CancelFlag stop;
    return capture::pageAddress(capture::readBrowserPage(sim, app->docking().capturePoint(), configured, stop));
  }
};

TEST_F(Trees, AChromiumBarWithoutItsSchemeGivesAnHttpsBookmarkWithTheTitleCut) {
  startAndWait();
  browserWithTree("Chrome_WidgetWin_1", "Example Domain - Google Chrome", chromiumTree("example.com/path?q=1"));
  const int before = bookmarks();
  rightClickTheEdgeTab();
  ASSERT_EQ(bookmarks(), before + 1);
  EXPECT_EQ(newest().url, "https://example.com/path?q=1");
  EXPECT_EQ(newest().title, "Example Domain");
  EXPECT_TRUE(app->thumbnail().flying());
  // The page's own fields (in the document) are never read.
  EXPECT_EQ(read(), "https://example.com/path?q=1");
}

TEST_F(Trees, NotSecurePagesGetHttpAndAddressesWithTheirSchemeStayAsTheyAre) {
  startAndWait();
  const std::uint64_t w = browserWithTree("Chrome_WidgetWin_1", "P", chromiumTree("plain.example/", "Not secure"));
  EXPECT_EQ(read(), "http://plain.example/");
  sim.foreign.erase(w);
  browserWithTree("Chrome_WidgetWin_1", "P", chromiumTree("plain.example/", "不安全"));
  EXPECT_EQ(read(), "http://plain.example/");
  sim.foreign.clear();
  browserWithTree("Chrome_WidgetWin_1", "P", chromiumTree("ftp://files.example/a"));
  EXPECT_EQ(read(), "ftp://files.example/a");
  sim.foreign.clear();
  browserWithTree("Chrome_WidgetWin_1", "P", chromiumTree("localhost:8080/admin"));
  EXPECT_EQ(read(), "https://localhost:8080/admin");
}

TEST_F(Trees, FirefoxsBarInItsComboBoxGivesTheFullAddressAndTheEmDashEndGoes) {
  startAndWait();
  Node bar = node(ForeignAccessible::kRoleText, "Search or enter address", "https://www.mozilla.org/en-US/");
  Node tree = node(ForeignAccessible::kRoleClient, "", "",
                   {node(ForeignAccessible::kRoleToolBar, "Navigation", "",
                         {node(ForeignAccessible::kRoleComboBox, "", "", {bar})})});
  browserWithTree("MozillaWindowClass", "Internet for people \xA1\xAA Mozilla Firefox", tree);
  rightClickTheEdgeTab();
  EXPECT_EQ(newest().url, "https://www.mozilla.org/en-US/");
  EXPECT_EQ(newest().title, "Internet for people");
}

TEST_F(Trees, TheBarIsChosenByCtrlLThenByItsNameThenFirst) {
  startAndWait();
  // A search field first, then a Chinese-named bar, then the Ctrl+L one.
  Node first = node(ForeignAccessible::kRoleText, "Find", "first.example/");
  Node named = node(ForeignAccessible::kRoleText, "地址和搜索栏", "named.example/");
  Node ctrlL = withShortcut(node(ForeignAccessible::kRoleText, "Other", "ctrl.example/"), "CTRL+L");
  Node deep = node(ForeignAccessible::kRoleToolBar, "", "", {ctrlL});
  const std::uint64_t w =
      browserWithTree("Chrome_WidgetWin_1", "T", node(ForeignAccessible::kRoleClient, "", "", {first, named, deep}));
  EXPECT_EQ(read(), "https://ctrl.example/");
  sim.foreign.erase(w);
  const std::uint64_t v =
      browserWithTree("Chrome_WidgetWin_1", "T", node(ForeignAccessible::kRoleClient, "", "", {first, named}));
  EXPECT_EQ(read(), "https://named.example/");
  sim.foreign.erase(v);
  browserWithTree("SomeNewBrowser", "T", node(ForeignAccessible::kRoleClient, "", "", {first}));
  EXPECT_EQ(read(), "https://first.example/");
  // Values that are no address (a search typed, a word) are no bar.
  sim.foreign.clear();
  browserWithTree("X", "T", node(ForeignAccessible::kRoleClient, "", "",
                                 {node(ForeignAccessible::kRoleText, "Address", "two words.com"),
                                  node(ForeignAccessible::kRoleText, "Address", "word")}));
  EXPECT_EQ(read(), "");
}

TEST_F(Trees, ABarBeingTypedInAnInvisibleOneOrNoBarAddNothingAndSaySo) {
  startAndWait();
  const int before = bookmarks();
  const std::uint64_t typing = browserWithTree(
      "Chrome_WidgetWin_1", "T", chromiumTree("what I type", "View site information", "Address and search bar",
                                              ForeignAccessible::kStateFocused));
  rightClickTheEdgeTab();  // (typing with spaces is no address at all)
  sim.foreign.erase(typing);
  const std::uint64_t focused = browserWithTree(
      "Chrome_WidgetWin_1", "T", chromiumTree("half.typed.example", "View site information", "Address and search bar",
                                              ForeignAccessible::kStateFocused));
  rightClickTheEdgeTab();
  sim.foreign.erase(focused);
  Node hidden = withState(withShortcut(node(ForeignAccessible::kRoleText, "", "hidden.example/"), "Ctrl+L"),
                          ForeignAccessible::kStateInvisible);
  const std::uint64_t invisible =
      browserWithTree("Chrome_WidgetWin_1", "T", node(ForeignAccessible::kRoleClient, "", "", {hidden}));
  rightClickTheEdgeTab();
  sim.foreign.erase(invisible);
  browserWithTree("MozillaWindowClass", "T", node(ForeignAccessible::kRoleClient, "", "",
                                                   {node(ForeignAccessible::kRolePushButton, "Menu")}));
  rightClickTheEdgeTab();
  EXPECT_EQ(bookmarks(), before);
  ASSERT_EQ(sim.balloons.size(), 4u);
  for (const auto& b : sim.balloons) EXPECT_EQ(b.text, "未检测到浏览器");
  // The balloon points right of the edge tab, which would cover its start.
  EXPECT_GE(sim.balloons.back().at.x, app->docking().capturePoint().x);
}

TEST_F(Trees, TheWalkKeepsToItsBudgetInDepthAndNodesAndAHungTreeGivesNothing) {
  startAndWait();
  // The bar twenty levels down: past the depth walked.
  Node deep = withShortcut(node(ForeignAccessible::kRoleText, "", "deep.example/"), "Ctrl+L");
  for (int i = 0; i < 20; ++i) deep = node(ForeignAccessible::kRolePane, "", "", {deep});
  const std::uint64_t d = browserWithTree("Chrome_WidgetWin_1", "T", node(ForeignAccessible::kRoleClient, "", "", {deep}));
  EXPECT_EQ(read(), "");
  const int deepCalls = sim.accessibleCalls.load();
  EXPECT_LT(deepCalls, 40);
  sim.foreign.erase(d);
  // 100,000 objects (a hundred groups of a thousand) before the bar: the
  // walk stops at its budget.
  std::vector<Node> groups;
  for (int g = 0; g < 100; ++g) {
    std::vector<Node> leaves(1000);
    for (auto& l : leaves) l = node(ForeignAccessible::kRoleGrouping);
    if (g == 99) leaves.back() = withShortcut(node(ForeignAccessible::kRoleText, "", "late.example/"), "Ctrl+L");
    groups.push_back(node(ForeignAccessible::kRoleGrouping, "", "", std::move(leaves)));
  }
  const std::uint64_t m = browserWithTree("Chrome_WidgetWin_1", "T", node(ForeignAccessible::kRoleClient, "", "", groups));
  sim.accessibleCalls = 0;
  platform::CancelFlag stop;
  const capture::TreeBudget budget;
  auto root = sim.accessibleOf(platform::ForeignWindow{m});
  const capture::AddressBar bar = capture::findAddressBar(*root, budget, stop);
  EXPECT_FALSE(bar.found);
  EXPECT_EQ(bar.visited, budget.nodes);
  EXPECT_LE(sim.accessibleCalls.load(), 3 * budget.nodes + 1);  // role, state, children at most
  sim.foreign.erase(m);
  // A tree whose program stops answering: nothing, and the balloon.
  Node hung = chromiumTree("example.com/");
  hung->children[0]->hangs = true;
  browserWithTree("Chrome_WidgetWin_1", "T", hung);
  const int before = bookmarks();
  rightClickTheEdgeTab();
  EXPECT_EQ(bookmarks(), before);
  EXPECT_GT(sim.accessibleHangs.load(), 0);
  EXPECT_EQ(sim.balloons.back().text, "未检测到浏览器");
  // A flag raised (the bound reached) ends the walk.
  sim.foreign.clear();
  browserWithTree("Chrome_WidgetWin_1", "T", chromiumTree("example.com/"));
  stop.raise();
  EXPECT_EQ(capture::pageAddress(capture::readBrowserPage(sim, app->docking().capturePoint(), "", stop)), "");
}

TEST_F(Trees, ASchemeCountsOnlyAtTheStartAndOnlyTheButtonBesideTheBarMarksThePage) {
  startAndWait();
  // Another address in the query is no scheme of the page's own.
  browserWithTree("Chrome_WidgetWin_1", "T", chromiumTree("accounts.example.com/login?continue=https://mail.example.com/"));
  EXPECT_EQ(read(), "https://accounts.example.com/login?continue=https://mail.example.com/");
  sim.foreign.clear();
  // A bookmark on the bookmarks bar named like the mark says nothing of the
  // page; the site-information button beside the bar does.
  Node tree = chromiumTree("secure.example/");
  Node bookmarksBar = node(ForeignAccessible::kRoleToolBar, "Bookmarks", "",
                           {node(ForeignAccessible::kRolePushButton, "Not secure sites explained")});
  tree->children[0]->children.insert(tree->children[0]->children.begin(), bookmarksBar);
  const std::uint64_t w = browserWithTree("Chrome_WidgetWin_1", "T", tree);
  EXPECT_EQ(read(), "https://secure.example/");
  sim.foreign.erase(w);
  browserWithTree("Chrome_WidgetWin_1", "T", chromiumTree("plain.example/", "Not secure \xA1\xAA view site information"));
  EXPECT_EQ(read(), "http://plain.example/");
}

TEST_F(Trees, TheBarBeingTypedInEndsTheReadWhateverItHoldsAndNoOtherFieldIsTaken) {
  startAndWait();
  // The typing is no address; a find field holds one.
  Node tree = chromiumTree("what I type", "View site information", "Address and search bar",
                           ForeignAccessible::kStateFocused);
  tree->children[0]->children.push_back(node(ForeignAccessible::kRoleText, "Find", "docs.example"));
  browserWithTree("Chrome_WidgetWin_1", "T", tree);
  const int before = bookmarks();
  EXPECT_EQ(read(), "");
  rightClickTheEdgeTab();
  EXPECT_EQ(bookmarks(), before);
  EXPECT_EQ(sim.balloons.back().text, "未检测到浏览器");
}

TEST_F(Trees, TheClassTableComesFirstAndAChromiumWindowFallsBackToItsTree) {
  fs.files[kData + "\\config.ini"] += "控件=OmniboxViewViews\r\n";
  startAndWait();
  // The configured class finds nothing: the tree gives the address.
  const std::uint64_t top = browserWithTree("Chrome_WidgetWin_1", "T", chromiumTree("tree.example/"));
  EXPECT_EQ(read("OmniboxViewViews"), "https://tree.example/");
  // Where the table's window is there, its text wins, by the old rule.
  FakeWindow bar;
  bar.parent = top;
  bar.className = "OmniboxViewViews";
  bar.text = "table.example/";
  sim.addForeignWindow(bar);
  EXPECT_EQ(read("OmniboxViewViews"), "http://table.example/");
}

// ------------------------------------------------------------ a browser stuck for good

// Until no more than `n` bounded calls run (abandoned ones end when the
// program they wait for answers).
bool boundedCallsDropTo(int n) {
  for (int i = 0; i < 3000 && platform::liveBoundedCalls() > n; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return platform::liveBoundedCalls() <= n;
}

// An old-style browser whose program is stuck while its title is asked for
// (the read's first send), until `release` is set.
struct StuckBrowser {
  explicit StuckBrowser(platform::sim::SimPlatform& sim) {
    FakeWindow top;
    top.className = "IEFrame";
    top.text = "Page";
    top.screenBounds = {0, 0, 100, 100};
    top.stuckUntil = release;
    const std::uint64_t t = sim.addForeignWindow(top);
    FakeWindow edit;
    edit.parent = t;
    edit.className = "Edit";
    edit.text = "http://ok.example/";
    sim.addForeignWindow(edit);
  }
  std::shared_ptr<std::atomic<bool>> release = std::make_shared<std::atomic<bool>>(false);
};

TEST(StuckReads, AHungBrowserTakesAtMostItsPlacesAndEveryOtherBoundedCallStillRuns) {
  platform::sim::SimPlatform sim;
  StuckBrowser browser(sim);
  ui::Busy busy;
  int added = 0;
  capture::BrowserCapture::Hooks hooks;
  hooks.pointToCapture = [] { return platform::Point{10, 10}; };
  hooks.addBookmark = [&](const std::string&, const std::string&, const std::string&) { return ++added; };
  capture::BrowserCapture capture(sim, busy, hooks);
  const int before = platform::liveBoundedCalls();
  // Right click after right click on a browser that never answers: each
  // read is abandoned at the bound, and once the reads' places are taken
  // no further thread waits for it.
  for (int i = 0; i < platform::kMaxLiveCalls + 2; ++i) {
    capture.captureFromBrowser();
    sim.runWorkers();
    sim.processPendingMessages();
  }
  EXPECT_EQ(added, 0);
  EXPECT_EQ(capture.readsRunning(), capture::kMostReadsRunning);
  EXPECT_EQ(platform::liveBoundedCalls(), before + capture::kMostReadsRunning);
  ASSERT_EQ(sim.balloons.size(), static_cast<std::size_t>(platform::kMaxLiveCalls + 2));
  for (const auto& b : sim.balloons) EXPECT_EQ(b.text, "未检测到浏览器");
  // The downloads' calls still run.
  auto ran = std::make_shared<bool>(false);
  EXPECT_EQ(platform::runBounded([ran](const platform::CancelFlag&) { *ran = true; }, 10000),
            platform::BoundedOutcome::Finished);
  EXPECT_TRUE(*ran);
  // The browser answers again: its places come back, and it is read.
  *browser.release = true;
  ASSERT_TRUE(boundedCallsDropTo(before));
  EXPECT_EQ(capture.readsRunning(), 0);
  capture.captureFromBrowser();
  sim.runWorkers();
  sim.processPendingMessages();
  EXPECT_EQ(added, 1);
}

// The program ends while a read is stuck; when the browser answers at last,
// the read goes on with nothing of the program's (ASan's build would report
// a use of the freed platform).
TEST(StuckReads, AReadAbandonedWhenTheProgramEndsUsesNothingOfItsAfterwards) {
  std::shared_ptr<std::atomic<bool>> release;
  const int before = platform::liveBoundedCalls();
  {
    auto sim = std::make_unique<platform::sim::SimPlatform>();
    StuckBrowser browser(*sim);
    release = browser.release;
    ui::Busy busy;
    capture::BrowserCapture::Hooks hooks;
    hooks.pointToCapture = [] { return platform::Point{10, 10}; };
    auto capture = std::make_unique<capture::BrowserCapture>(*sim, busy, hooks);
    capture->captureFromBrowser();
    sim->runWorkers();  // abandoned at the bound
    sim->processPendingMessages();
    EXPECT_EQ(platform::liveBoundedCalls(), before + 1);
    capture.reset();
    sim.reset();
  }
  *release = true;
  EXPECT_TRUE(boundedCallsDropTo(before));
}

TEST(BarAddress, WhatCanBeAPagesAddress) {
  for (const char* yes : {"example.com", "a.b/c?d#e", "https://x", "localhost", "LOCALHOST:3000/x",
                          "192.168.1.1:8080", "file:///C:/x.html", "about://blank"}) {
    EXPECT_TRUE(capture::looksLikeBarAddress(yes)) << yes;
  }
  for (const char* no : {"", "word", "two words.com", ".com", "com.", "/path", "?q=x.y", "tab\there.com",
                         "javascript:alert(document.cookie)", "JavaScript://example.com/%0aalert(1)",
                         "data:text/html,x.y", "bell\x07.example.com"}) {
    EXPECT_FALSE(capture::looksLikeBarAddress(no)) << no;
  }
}

class Clipboard : public Captures {
 protected:
  void copyAway(const std::string& text) {
    sim.cursor = {900, 500};  // over the browser, not the column
    sim.copyText(text);
    readArrives();  // the title of the browser beside
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
