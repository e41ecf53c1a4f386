// Input that arrives at awkward moments, played in the simulator: during a
// sort that lets messages through, during the bar push, during a slide; and
// the pointer's own habits (double clicks, a click without a move, leaving
// the window).
#include <gtest/gtest.h>

#include "app_fixture.h"
#include "canvas/decode.h"
#include "store/codec.h"
#include "text/memory_filesystem.h"

namespace lh::app {
namespace {

using namespace simtest;

class Input : public StartUp {
 protected:
  SimWindow& main() { return host(app->mainWindow()); }
  static int rowY(int r) { return 202 + 20 * (r - 1) + 5; }
  // Presses the list's thumb (the pointer is confined to its column then);
  // returns where.
  int pressThumb() {
    const int thumbY = 202 + app->listCanvas().box().getTop(app->list().thumb()) + 40;
    main().move(336, thumbY);
    main().press(336, thumbY);
    return thumbY;
  }
  platform::sim::SimEditBox& searchBox() { return static_cast<platform::sim::SimEditBox&>(app->searchBox().edit()); }
  // The top strip's drag has ended: the pointer is free and the window stays
  // at `left` however the pointer moves.
  void expectDragEndedAt(int left) {
    EXPECT_FALSE(sim.cursorClip.has_value());
    EXPECT_FALSE(app->docking().dragging());
    sim.cursor = {600, 10};
    sim.advance(100);
    EXPECT_EQ(app->mainWindow().left(), left);
  }
  // The row of the second bookmark of a flat view (past lead and headings).
  int secondResultRow() {
    int seen = 0;
    for (int r = 1; r <= app->list().rowCount(); ++r) {
      if (app->list().idAtRow(r) > 10 && ++seen == 2) return r;
    }
    return 0;
  }
  // Root (1) holds category 14 then bookmarks 11-13; 14 holds category 15.
  void withTwoCategories() {
    fs.files[kData + "\\bein"] =
        store::encodeRecord({store::LogOp::AddCategory, {store::intField(1), store::dateField(1.0), "Twenty"}}) +
        store::encodeRecord({store::LogOp::AddCategory, {store::intField(14), store::dateField(1.0), "Deep"}});
  }
};

TEST_F(Input, ClicksWhileAViewIsSortedAreDropped) {
  fs.files[kData + "\\udb"] = fixedStore(3000);
  start();
  sim.advance(300);
  int ran = 0;
  // Two bar clicks and a row click, delivered while the sort lets messages
  // through (they freed the rows being sorted before).
  sim.post([&] {
    ++ran;
    main().click(120, 165);
    sim.advance(600);
    main().click(120, 165);
    main().click(200, rowY(3));
  });
  main().click(120, 165);  // the top bar: the visit-count view, sorted
  EXPECT_EQ(ran, 1);
  EXPECT_FALSE(app->busy().busy());
  EXPECT_TRUE(app->list().inFlatView());
  EXPECT_EQ(app->list().view(), list::View::VisitCount);
  EXPECT_EQ(app->list().bookmarkCount(), 3000);
  EXPECT_EQ(app->breadcrumb().size(), 2u);
  EXPECT_TRUE(sim.launches.empty());
  // Once sorted, input works again: the root's bar goes back.
  sim.advance(600);
  main().click(120, 165);
  EXPECT_EQ(app->list().category(), 1);
  EXPECT_EQ(app->list().rowCount(), 3001);
  EXPECT_EQ(app->list().rowIds().size(), 3001u);
}

TEST_F(Input, AClickDuringTheLoadIsDropped) {
  fs.files[kData + "\\udb"] = fixedStore(5000);
  int ran = 0;
  sim.onJournal = [&](const std::string& line) {
    if (line != "show Linkhoard" || ran) return;
    sim.post([&] {
      ++ran;
      main().click(120, 165);
      main().click(200, rowY(2));
    });
  };
  start();
  EXPECT_EQ(ran, 1);
  EXPECT_TRUE(sim.launches.empty());
  EXPECT_EQ(app->list().category(), 1);
  EXPECT_EQ(app->breadcrumb().size(), 1u);
}

TEST_F(Input, ABarClickedDuringThePushLeavesTheListAtItsPlace) {
  withTwoCategories();
  start();
  sim.advance(300);
  main().click(120, rowY(2));  // category 14 under a second bar
  sim.advance(100);            // halfway through the push
  main().click(120, 165);      // back to the root
  sim.advance(300);
  EXPECT_EQ(app->breadcrumb().size(), 1u);
  EXPECT_EQ(app->listTop(), 202);
  EXPECT_EQ(app->positionIndicator().top(), 182);
  EXPECT_EQ(app->listCanvas().box().getLeft(app->list().curtain()), 350);
}

TEST_F(Input, TheTopBarClickedMidPushOpensTheViewBelowAllBars) {
  withTwoCategories();
  start();
  sim.advance(300);
  main().click(120, rowY(2));  // category 14: its bar slides towards 180
  sim.advance(100);
  const canvas::ObjectId bar = app->breadcrumb()[1];
  const int barTop = app->header().getTop(bar);
  ASSERT_GT(barTop, 180);  // still moving
  main().click(120, barTop + 5);
  sim.advance(300);
  ASSERT_EQ(app->breadcrumb().size(), 3u);
  EXPECT_EQ(app->list().view(), list::View::VisitCount);
  EXPECT_EQ(app->header().getTop(app->breadcrumb()[1]), 180);
  EXPECT_EQ(app->header().getTop(app->breadcrumb()[2]), 202);
  EXPECT_EQ(app->listTop(), 180 + 66);
  const canvas::ObjectId marker = app->headerObjects().viewTabMarker;
  EXPECT_EQ(app->header().getTop(marker), 180 + 66 - 42);
  EXPECT_EQ(app->header().getLeft(marker), 179);
}

TEST_F(Input, ADoubleClickOnABookmarkLaunchesOnce) {
  start();
  sim.advance(300);
  main().doubleClick(120, rowY(2));
  EXPECT_EQ(sim.launches.size(), 1u);
  EXPECT_EQ(app->store().entry(11).visitCount, 1);
  // Two clicks further apart in time are two clicks.
  sim.advance(SimWindow::kDoubleClickMs + 1);
  main().click(120, rowY(2));
  EXPECT_EQ(sim.launches.size(), 2u);
}

TEST_F(Input, ADoubleClickOnACategoryOpensItAndNothingBelowIt) {
  withTwoCategories();
  start();
  sim.advance(300);
  main().doubleClick(120, rowY(2));  // category 14, whose row 2 is category 15
  EXPECT_EQ(app->list().category(), 14);
  EXPECT_EQ(app->breadcrumb().size(), 2u);
  EXPECT_EQ(app->store().entry(14).visitCount, 1);
  EXPECT_EQ(app->store().entry(15).visitCount, 0);
  EXPECT_TRUE(sim.launches.empty());
}

TEST_F(Input, TheFirstClickWorksWithoutAMoveBeforeIt) {
  start();
  sim.advance(300);
  // The pointer rests over row 2 as the window slides in: no move at all.
  main().press(120, rowY(2));
  main().release(120, rowY(2));
  ASSERT_EQ(sim.launches.size(), 1u);
  EXPECT_EQ(sim.launches[0], "\"C:\\B\\b.exe\" \"http://x0.com/\"");
  // And again, after that click, without moving: row 3 this time is the
  // pointer's new row only through the press.
  sim.advance(1000);
  main().press(120, rowY(3));
  main().release(120, rowY(3));
  ASSERT_EQ(sim.launches.size(), 2u);
  EXPECT_EQ(sim.launches[1], "\"C:\\B\\b.exe\" \"http://x1.com/\"");
}

TEST_F(Input, AnAddressThatLooksLikeASwitchIsNeverLaunched) {
  fs.files[kData + "\\bein"] = store::encodeRecord(
      {store::LogOp::EditBookmark, {store::intField(11), "evil", "", "--renderer-cmd-prefix=calc"}});
  start();
  sim.advance(300);
  ASSERT_EQ(app->store().entry(11).url, "--renderer-cmd-prefix=calc");
  const std::size_t logBefore = fs.files[kData + "\\bein"].size();
  main().click(120, rowY(2));
  EXPECT_TRUE(sim.launches.empty());
  EXPECT_EQ(app->store().entry(11).visitCount, 0);
  EXPECT_EQ(fs.files[kData + "\\bein"].size(), logBefore);
  main().click(120, rowY(3));  // an ordinary one still opens
  EXPECT_EQ(sim.launches.size(), 1u);
}

TEST_F(Input, ReleasingTheTopStripDragAnywhereEndsIt) {
  start();
  sim.advance(300);
  sim.cursor = {106, 10};
  main().press(100, 10);
  ASSERT_TRUE(sim.cursorClip.has_value());
  main().move(100, 60, true);  // off the strip, over the toolbar
  sim.cursor = {300, 60};
  sim.advance(20);
  EXPECT_EQ(app->mainWindow().left(), 200);
  main().release(100, 60);
  expectDragEndedAt(200);
}

TEST_F(Input, ADragWhoseReleaseFallsInASortEnds) {
  fs.files[kData + "\\udb"] = fixedStore(3000);
  start();
  sim.advance(300);
  sim.cursor = {106, 10};
  main().press(100, 10);
  ASSERT_TRUE(app->docking().dragging());
  // The release arrives while a search's sort lets messages through, where
  // the header takes no input.
  int ran = 0;
  sim.post([&] {
    ++ran;
    main().release(100, 10);
  });
  searchBox().type("x");
  sim.processPendingMessages();
  ASSERT_EQ(ran, 1);
  expectDragEndedAt(6);
}

TEST_F(Input, AThumbDragThatASortInterruptsEnds) {
  fs.files[kData + "\\udb"] = fixedStore(3000);
  start();
  sim.advance(300);
  const int thumbY = pressThumb();
  ASSERT_TRUE(sim.cursorClip.has_value());
  ASSERT_TRUE(app->list().thumbDragged());
  searchBox().type("x");  // a sort that takes the list's input
  EXPECT_FALSE(sim.cursorClip.has_value());
  EXPECT_FALSE(app->list().thumbDragged());
  // The button still held, the thumb no longer follows the pointer.
  main().move(336, thumbY + 200, true);
  sim.advance(500);
  EXPECT_EQ(app->list().firstRow(), 1);
  main().release(336, thumbY + 200);
  EXPECT_FALSE(sim.cursorClip.has_value());
}

TEST_F(Input, APressBeforeASortAndAReleaseAfterItMakeNoClick) {
  fs.files[kData + "\\udb"] = fixedStore(3000);
  start();
  sim.advance(300);
  main().move(200, rowY(3));
  main().press(200, rowY(3));
  // The rows change under the held button: its release opens nothing.
  searchBox().type("x");
  ASSERT_TRUE(app->list().inFlatView());
  main().release(200, rowY(3));
  EXPECT_TRUE(sim.launches.empty());
  sim.advance(SimWindow::kDoubleClickMs + 100);
  main().click(200, app->listTop() + 20 * (secondResultRow() - 1) + 5);
  EXPECT_EQ(sim.launches.size(), 1u);
}

TEST_F(Input, ADoubleClickOnAViewTabSortsOnce) {
  fs.files[kData + "\\udb"] = fixedStore(5000);  // a sort long enough to let messages through
  start();
  sim.advance(300);
  main().click(120, 165);  // the top bar: the visit-count view under a flat-view bar
  sim.advance(600);
  const int before = sim.processPendingCalls;
  main().doubleClick(100, 182 + 10);  // the tab 添加
  EXPECT_EQ(app->list().view(), list::View::Added);
  const int doubleClicked = sim.processPendingCalls - before;
  sim.advance(600);
  main().click(122 + 10, 182 + 10);  // 访问
  sim.advance(600);
  const int again = sim.processPendingCalls;
  main().click(100, 182 + 10);  // 添加 again, a single click: one sort
  EXPECT_EQ(app->list().view(), list::View::Added);
  const int singleClicked = sim.processPendingCalls - again;
  EXPECT_GT(singleClicked, 0);
  EXPECT_EQ(doubleClicked, singleClicked);
}

TEST_F(Input, ADoubleClickOnTheTopStripSlidesOutWithoutADrag) {
  start();
  sim.advance(300);
  sim.cursor = {106, 10};
  main().doubleClick(100, 10);
  EXPECT_FALSE(app->docking().dragging());
  EXPECT_FALSE(sim.cursorClip.has_value());
  sim.cursor = {900, 10};
  sim.advance(300);
  EXPECT_EQ(app->mainWindow().left(), -350);
}

TEST_F(Input, AClickDuringTheSlideInOpensTheRowAndTheSlideEnds) {
  start();
  sim.advance(300);
  app->docking().slideOut();
  sim.advance(300);
  app->docking().slideIn();
  sim.advance(60);
  EXPECT_NE(app->mainWindow().left(), 6);
  main().click(120, rowY(2));
  EXPECT_EQ(sim.launches.size(), 1u);
  sim.advance(300);
  EXPECT_EQ(app->mainWindow().left(), 6);
  EXPECT_EQ(app->rightEdgeWindow().left(), 356);
}

TEST_F(Input, APressOnTheTopStripDuringASlideFinishesTheSlideFirst) {
  start();
  sim.advance(300);
  app->docking().slideOut();
  sim.advance(300);
  app->docking().slideIn();
  sim.advance(50);
  sim.cursor = {106, 10};
  main().press(100, 10);
  EXPECT_EQ(app->mainWindow().left(), 6);
  EXPECT_FALSE(app->docking().slide().running());
  main().release(100, 10);
  sim.advance(300);
  EXPECT_EQ(app->mainWindow().left(), 6);
}

TEST_F(Input, EveryUnusedSlotIsParkedWhenTheListLosesSeveral) {
  fs.files[kData + "\\udb"] = fixedStore(100);
  fs.files[kData + "\\bein"] =
      store::encodeRecord({store::LogOp::AddCategory, {store::intField(1), store::dateField(1.0), "A"}}) +
      store::encodeRecord({store::LogOp::AddCategory, {store::intField(111), store::dateField(1.0), "B"}}) +
      store::encodeRecord({store::LogOp::AddCategory, {store::intField(112), store::dateField(1.0), "C"}});
  start();
  sim.advance(300);
  const int before = app->list().slotCount();
  app->breadcrumbs().openCategory(111, 2, true);
  sim.advance(300);
  app->breadcrumbs().openCategory(112, 3, true);
  sim.advance(300);
  app->breadcrumbs().openCategory(113, 4, true);
  sim.advance(300);
  const auto& slots = app->list().slots();
  ASSERT_LT(app->list().slotCount() + 2, before);
  for (std::size_t k = static_cast<std::size_t>(app->list().slotCount()); k < slots.size(); ++k) {
    EXPECT_EQ(app->listCanvas().box().getLeft(slots[k].background), -350) << k;
    EXPECT_EQ(app->listCanvas().box().getLeft(slots[k].text), -350) << k;
  }
}

TEST_F(Input, AnEmptyCategoryShowsNoThumbAndNoHoverBand) {
  withTwoCategories();
  start();
  sim.advance(300);
  EXPECT_EQ(app->listCanvas().box().getLeft(app->list().thumb()), 323);
  main().click(120, rowY(2));  // category 14 (one member)
  sim.advance(SimWindow::kDoubleClickMs + 100);
  main().click(120, 224 + 25);  // category 15 under the second bar: empty; clicked before the highlight settles
  sim.advance(300);
  EXPECT_EQ(app->list().category(), 15);
  EXPECT_EQ(app->listCanvas().box().getLeft(app->list().thumb()), -350);
  EXPECT_EQ(app->listCanvas().box().getTop(app->list().hoverHighlight()), -100);
  // The wheel does nothing on it.
  main().events.wheel(-1, 120, rowY(2));
  EXPECT_EQ(app->list().firstRow(), 1);
}

TEST_F(Input, TheHoverBandGoesWhenThePointerEntersTheHeaderOrLeaves) {
  start();
  sim.advance(300);
  main().move(120, rowY(3));
  sim.advance(200);
  EXPECT_EQ(app->listCanvas().box().getTop(app->list().hoverHighlight()), 20 * 2 - 3);
  main().move(80, 125);  // the new-category button on the header
  EXPECT_EQ(app->listCanvas().box().getTop(app->list().hoverHighlight()), -100);
  main().move(120, rowY(2));
  sim.advance(200);
  EXPECT_EQ(app->listCanvas().box().getTop(app->list().hoverHighlight()), 20 - 3);
  main().leave();
  sim.advance(200);
  EXPECT_EQ(app->listCanvas().box().getTop(app->list().hoverHighlight()), -100);
}

TEST_F(Input, LeavingTheWindowTurnsTheHeaderHoverPicturesOff) {
  start();
  sim.advance(300);
  auto& h = app->header();
  const std::string normal = h.snapshot(0, 0, 350, 140);
  main().move(100, 10);  // the top strip
  EXPECT_NE(h.snapshot(0, 0, 350, 140), normal);
  main().leave();
  EXPECT_EQ(h.snapshot(0, 0, 350, 140), normal);
  main().move(80, 125);  // the new-category button
  EXPECT_NE(h.snapshot(0, 0, 350, 140), normal);
  main().leave();
  EXPECT_EQ(h.snapshot(0, 0, 350, 140), normal);
}

// Pixels of text ink (dark grey) in a rectangle of the header.
int inkIn(const canvas::AnimationBox& h, int left, int top, int width, int height) {
  const canvas::Picture p = canvas::decodePicture(h.snapshot(left, top, width, height), canvas::Alpha::Straight);
  int ink = 0;
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) ink += canvas::greenOf(p.at(x, y)) < 0xA0;
  }
  return ink;
}

TEST_F(Input, ALongCategoryTitleIsCutOnItsBar) {
  fs.files[kData + "\\bein"] = store::encodeRecord(
      {store::LogOp::AddCategory, {store::intField(1), store::dateField(1.0), std::string(90, 'W')}});
  start();
  sim.advance(300);
  app->breadcrumbs().openCategory(14, 2, true);
  sim.advance(300);
  auto& h = app->header();
  // Inside the bar (180 .. 202): text in the middle; the ends as bare as
  // those of the root's bar with its short title.
  EXPECT_GT(inkIn(h, 60, 183, 230, 14), 100);
  EXPECT_EQ(inkIn(h, 2, 183, 24, 14), inkIn(h, 2, 161, 24, 14));
  EXPECT_EQ(inkIn(h, 324, 183, 24, 14), inkIn(h, 324, 161, 24, 14));
}

TEST_F(Input, ABrowserWithoutAnIconShowsTheDefaultIconOnItsBadge) {
  start();  // C:\B\b.exe has no icon in the simulator
  const auto& h = app->header();
  const canvas::ObjectId badge = app->headerObjects().browserBadge;
  ASSERT_GT(h.getWidth(badge), 20);
  std::uint32_t ink = 0;
  canvas::Picture shown = canvas::decodePicture(h.snapshot(h.getLeft(badge), h.getTop(badge), 36, 22),
                                                canvas::Alpha::Straight);
  for (int y = 4; y < 18; ++y) {
    for (int x = 6; x < 30; ++x) ink += (shown.at(x, y) & 0xFFFFFF) != 0xFFFFFF;
  }
  EXPECT_GT(ink, 20u);
}

TEST_F(Input, TheTrayIconComesBackWhenTheTaskbarIsRecreated) {
  start();
  sim.advance(300);
  EXPECT_TRUE(app->trayIconShown());
  app->docking().hideAll();
  sim.recreateTaskbar();
  ASSERT_TRUE(sim.tray.present);
  sim.tray.onEvent(platform::TrayEvent::LeftUp);
  EXPECT_TRUE(app->mainWindow().visible());
  EXPECT_TRUE(app->rightEdgeWindow().visible());
}

TEST_F(Input, ARefusedTrayIconIsReported) {
  sim.traySucceeds = false;
  start();
  EXPECT_FALSE(app->trayIconShown());
  sim.traySucceeds = true;
  sim.recreateTaskbar();
  EXPECT_TRUE(sim.tray.present);
}

// ------------------------------------------------------------ one copy per data folder

TEST_F(Input, ASecondStartOnTheSameFolderShowsTheFirstAndTouchesNoFile) {
  start();
  sim.advance(300);
  app->docking().slideOut();
  sim.advance(300);
  ASSERT_EQ(app->mainWindow().left(), -350);
  const auto filesBefore = fs.files;
  SimPlatform::Tray trayBefore = sim.tray;
  sim.runDir = "c:\\LINKHOARD";  // the same folder, other letter case
  Application second(sim, fs);
  EXPECT_THROW(second.startUp(), ProcessExit);
  EXPECT_EQ(fs.files, filesBefore);
  sim.advance(300);
  EXPECT_EQ(app->mainWindow().left(), 6);
  EXPECT_EQ(std::count(sim.journal.begin(), sim.journal.end(), "connect 127.0.0.1:333"), 1);
}

TEST_F(Input, CopiesOnDifferentFoldersRunSideBySide) {
  start();
  SimPlatform other;
  other.runDir = "D:\\Other";
  text::MemoryFileSystem otherFs;
  Application second(other, otherFs);
  EXPECT_NO_THROW(second.startUp());
  // And on this machine's registry of copies, a third folder is free too.
  EXPECT_TRUE(sim.claimSingleInstance("E:\\Third\\data", [] {}));
}

// ------------------------------------------------------------ crash recovery with a locked log

// A change log that another program holds open: it can be read but neither
// renamed nor deleted (and, with `writable` false, not written either).
class LockedLogFileSystem : public text::MemoryFileSystem {
 public:
  bool writable = true;
  bool rename(const std::string& from, const std::string& to) override {
    if (from == kData + "\\bein") return false;
    return MemoryFileSystem::rename(from, to);
  }
  bool remove(const std::string& path) override {
    if (path == kData + "\\bein") return false;
    return MemoryFileSystem::remove(path);
  }
  bool write(const std::string& path, std::string_view bytes) override {
    if (path == kData + "\\bein" && !writable) return false;
    return MemoryFileSystem::write(path, bytes);
  }
};

class Recovery : public ::testing::Test {
 protected:
  SimPlatform sim;
  LockedLogFileSystem fs;
  std::string log;
  void SetUp() override {
    sim.runDir = kRun;
    fs.directories.insert(kData);
    fs.files[kData + "\\udb"] = fixedStore(3);
    fs.files[kData + "\\config.ini"] = "[浏览器]\r\n地址=C:\\B\\b.exe\r\n名称=b\r\n";
    fs.files[kRun + "\\sat"] = "";
    log = fs.files[kData + "\\bein"] =
        store::encodeRecord({store::LogOp::AddCategory, {store::intField(1), store::dateField(1.0), "new"}});
  }
};

TEST_F(Recovery, ALogThatCannotBeRenamedIsCopiedAsideEmptiedAndNotReplayed) {
  Application app(sim, fs);
  app.startUp();
  ASSERT_EQ(sim.messageBoxes.size(), 1u);
  EXPECT_EQ(app.store().count(), 13);
  EXPECT_EQ(fs.files[kData + "\\bein.bak"], log);
  EXPECT_EQ(fs.files[kData + "\\bein"], "");
}

TEST_F(Recovery, ALogThatCannotBeTouchedIsStillNotReplayed) {
  fs.writable = false;
  Application app(sim, fs);
  app.startUp();
  EXPECT_EQ(app.store().count(), 13);
  EXPECT_EQ(fs.files[kData + "\\bein.bak"], log);
}

TEST_F(Input, AThumbDragOrATopStripDragEndsWhenAnotherWindowTakesThePointer) {
  fs.files[kData + "\\udb"] = fixedStore(300);
  start();
  sim.advance(300);
  // The thumb: the pointer is confined to its column while it is held.
  const int thumbY = pressThumb();
  ASSERT_TRUE(sim.cursorClip.has_value());
  main().loseCapture();  // a dialog or another program took the pointer
  EXPECT_FALSE(sim.cursorClip.has_value());
  const int first = app->list().firstRow();
  main().move(336, thumbY + 200);
  main().release(336, thumbY + 200);
  EXPECT_EQ(app->list().firstRow(), first);  // the thumb no longer follows
  // The top strip's drag ends too, and the window stays where it is.
  sim.cursor = {106, 10};
  main().press(100, 10);
  ASSERT_TRUE(app->docking().dragging());
  main().loseCapture();
  EXPECT_FALSE(app->docking().dragging());
  sim.cursor = {700, 10};
  sim.advance(100);
  EXPECT_EQ(app->mainWindow().left(), 6);
}

}  // namespace
}  // namespace lh::app

namespace lh::app {
namespace {

using namespace simtest;

class CategoryDuringSort : public StartUp {};

TEST_F(CategoryDuringSort, ANewCategoryConfirmedWhileAViewIsSortedIsAddedOnceTheSortEnds) {
  fs.files[kData + "\\udb"] = fixedStore(3000);
  start();
  sim.advance(300);
  app->categoryPanel().showCreate();
  static_cast<platform::sim::SimEditBox&>(app->categoryPanel().edit().edit()).type("Later");
  const int before = app->store().count();
  int ran = 0;
  sim.post([&] {
    ++ran;
    ASSERT_TRUE(app->busy().busy());  // delivered inside the sort
    app->categoryPanel().confirm();
    EXPECT_EQ(app->store().count(), before);  // not while the rows are sorted
  });
  app->breadcrumbs().selectView(list::View::Domain);
  sim.processPendingMessages();
  ASSERT_EQ(ran, 1);
  EXPECT_FALSE(app->busy().busy());
  ASSERT_EQ(app->store().count(), before + 1);
  EXPECT_EQ(app->store().entry(before + 1).title.view(), "Later");
  EXPECT_EQ(app->overlay().shown(), -1);
}

}  // namespace
}  // namespace lh::app
