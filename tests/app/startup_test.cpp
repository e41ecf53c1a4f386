// The program's start-up, load, exit, browser choice and docking, played in
// the simulator.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "app/application.h"
#include "app_fixture.h"
#include "platform/sim/sim_platform.h"
#include "store/codec.h"
#include "text/ini.h"
#include "text/memory_filesystem.h"

namespace lh::app {
namespace {

using namespace simtest;
using platform::sim::ProcessExit;
using platform::sim::SimPlatform;
using platform::sim::SimWindow;

TEST_F(StartUp, RunsItsStepsInOrder) {
  std::vector<std::string> withMarker;
  sim.onJournal = [&](const std::string& line) {
    if (fs.exists(kRun + "\\sat")) withMarker.push_back(line);
  };
  start();
  const std::size_t connect = indexOf("connect 127.0.0.1:333");
  const std::size_t tray = indexOf("tray add");
  const std::size_t created = indexOf("create Linkhoard");
  const std::size_t shown = indexOf("show Linkhoard");
  const std::size_t watcher = indexOf("clipboard watcher");
  const std::size_t sound = indexOf("sound");
  EXPECT_LT(connect, tray);
  EXPECT_LT(tray, created);
  EXPECT_LT(created, shown);
  EXPECT_LT(shown, watcher);
  EXPECT_LT(watcher, sound);
  EXPECT_EQ(sound, sim.journal.size() - 1);
  // The start marker exists from before the tray icon until the windows show.
  EXPECT_NE(std::find(withMarker.begin(), withMarker.end(), "tray add"), withMarker.end());
  EXPECT_EQ(std::find(withMarker.begin(), withMarker.end(), "clipboard watcher"), withMarker.end());
  EXPECT_FALSE(fs.exists(kRun + "\\sat"));
  EXPECT_TRUE(sim.messageBoxes.empty());
  EXPECT_TRUE(sim.balloons.empty());
  EXPECT_EQ(std::count(sim.journal.begin(), sim.journal.end(), "registry"), 0);
  EXPECT_EQ(sim.tray.tooltip, "Linkhoard v1.6");
  EXPECT_EQ(sim.tray.iconBytes, 44990u);
  EXPECT_EQ(sim.sounds, std::vector<std::size_t>{241556});
  EXPECT_EQ(app->store().count(), 13);
  EXPECT_EQ(app->currentCategory(), 1);
  EXPECT_EQ(app->browserPath(), "C:\\B\\b.exe");
  EXPECT_FALSE(app->pages().visible());
  EXPECT_EQ(sim.trimCalls, 2);  // opening the root, then the end of the load
}

TEST_F(StartUp, GeometryOnA1920By1080Screen) {
  std::vector<std::pair<int, int>> frames;  // main left, right edge left
  start();
  ui::Window& main = app->mainWindow();
  EXPECT_EQ(main.host().bounds(), (platform::Bounds{785, 0, 350, 1080}));
  EXPECT_EQ(app->rightEdgeWindow().left(), 785 + 350);
  EXPECT_EQ(app->leftEdgeWindow().left(), 785 - 20);
  EXPECT_EQ(app->recycleBinWindow().left(), 785 + 360);
  main.host().events.moved = [&, old = main.host().events.moved](int l, int t) {
    old(l, t);
    frames.emplace_back(l, app->rightEdgeWindow().left());
  };
  sim.advance(300);
  EXPECT_EQ(main.left(), 6);
  EXPECT_EQ(main.top(), 0);
  ASSERT_FALSE(frames.empty());
  for (auto [l, right] : frames) EXPECT_EQ(right, l + 350);  // the companions follow every frame
  EXPECT_LE(frames.size(), 20u);
  EXPECT_EQ(app->leftEdgeWindow().left(), 6 - 20);
  EXPECT_EQ(app->recycleBinWindow().left(), 366);
}

TEST_F(StartUp, SlidesFollowAQuarticEaseOutAndIgnoreASecondRequest) {
  start();
  sim.advance(300);
  std::vector<int> lefts;
  ui::Window& main = app->mainWindow();
  main.host().events.moved = [&, old = main.host().events.moved](int l, int t) {
    old(l, t);
    lefts.push_back(l);
  };
  app->docking().slideOut();
  sim.advance(50);
  app->docking().slideIn();  // ignored: a slide is running
  sim.advance(500);
  // Twenty frames; the last ones repeat a position, which raises no move.
  ASSERT_LE(lefts.size(), 20u);
  ASSERT_GE(lefts.size(), 15u);
  // Frame 1 of 20 from 6 to -350: 6 + (-356)(1 - 0.95^4), truncated.
  EXPECT_EQ(lefts[0], static_cast<int>(6 + (-356) * (1 - std::pow(0.95, 4))));
  EXPECT_EQ(lefts.back(), -350);
  EXPECT_FALSE(app->docking().windowShown());
  EXPECT_EQ(app->rightEdgeWindow().left(), 0);
  EXPECT_EQ(app->recycleBinWindow().left(), 10);
}

TEST_F(StartUp, TheRightEdgeBringsTheWindowBack) {
  start();
  sim.advance(300);
  app->docking().slideOut();
  sim.advance(300);
  SimWindow& right = host(app->rightEdgeWindow());
  right.events.pointerMove(5, 100, false);  // below the top 20 pixels: nothing
  sim.advance(300);
  EXPECT_EQ(app->mainWindow().left(), -350);
  right.events.pointerMove(5, 10, false);
  sim.advance(300);
  EXPECT_EQ(app->mainWindow().left(), 6);
  // A click while docked slides to 6 again: no visible movement.
  right.click(5, 300);
  sim.advance(300);
  EXPECT_EQ(app->mainWindow().left(), 6);
}

TEST_F(StartUp, DraggingByThePinStripAndReleasingNearTheEdgeDocks) {
  start();
  sim.advance(300);
  SimWindow& main = host(app->mainWindow());
  // Press on the pin strip at x 100, move the pointer, let the drag run.
  sim.cursor = {106, 10};
  main.events.pointerMove(100, 10, false);
  main.events.buttonDown(platform::MouseButton::Left, 100, 10);
  ASSERT_TRUE(sim.cursorClip.has_value());
  EXPECT_EQ(*sim.cursorClip, (platform::Bounds{0, 0, 1920, 25}));
  sim.cursor = {300, 10};
  sim.advance(20);
  EXPECT_EQ(app->mainWindow().left(), 200);
  main.events.buttonUp(platform::MouseButton::Left, 100, 10);
  EXPECT_FALSE(sim.cursorClip.has_value());
  sim.advance(300);
  EXPECT_EQ(app->mainWindow().left(), 200);  // left there
  // Dragged to left 3: the left edge window is at -17 < -13, so it docks.
  main.events.buttonDown(platform::MouseButton::Left, 100, 10);
  sim.cursor = {103, 10};
  sim.advance(20);
  EXPECT_EQ(app->mainWindow().left(), 3);
  main.events.buttonUp(platform::MouseButton::Left, 100, 10);
  sim.advance(300);
  EXPECT_EQ(app->mainWindow().left(), 6);
}

TEST_F(StartUp, AStaleStartMarkerKeepsTheLogAsABackupAndShowsTheMessageOnce) {
  fs.files[kRun + "\\sat"] = "";
  const std::string log = fs.files[kData + "\\bein"] =
      store::encodeRecord({store::LogOp::AddCategory, {store::intField(1), store::dateField(1.0), "new"}});
  start();
  ASSERT_EQ(sim.messageBoxes.size(), 1u);
  EXPECT_EQ(sim.messageBoxes[0].first, "有错误，数据恢复");
  EXPECT_EQ(sim.messageBoxes[0].second, "信息：");
  EXPECT_EQ(app->store().count(), 13);  // the store file alone
  EXPECT_FALSE(fs.exists(kData + "\\bein"));
  EXPECT_EQ(fs.files[kData + "\\bein.bak"], log);
  EXPECT_LT(indexOf("message 有错误，数据恢复"), indexOf("tray add"));

  SimPlatform again;
  again.runDir = kRun;
  Application second(again, fs);
  second.startUp();
  EXPECT_TRUE(again.messageBoxes.empty());
  EXPECT_EQ(fs.files[kData + "\\bein.bak"], log);
}

TEST_F(StartUp, AFirstRunCreatesTheDataDirectoryAndTheFixedEntries) {
  fs.files.clear();
  fs.directories.clear();
  start();
  EXPECT_TRUE(fs.isDirectory(kData));
  ASSERT_EQ(app->store().count(), 10);
  EXPECT_EQ(app->store().entry(1).kind, store::kCategory);
  EXPECT_EQ(app->store().entry(2).members(), "u");
  EXPECT_FALSE(app->recycleBinWindow().visible());
  EXPECT_TRUE(fs.exists(kData + "\\ico"));
}

TEST_F(StartUp, AStoreWithoutItsFixedEntriesGetsThemBeforeAnythingCanChangeIt) {
  // An empty store file, or one shorter than ten lines: the missing fixed
  // entries are made as a first run makes them, the ones there are kept.
  for (const int lines : {0, 3}) {
    SCOPED_TRACE(std::to_string(lines) + " lines");
    const std::string full = fixedStore();
    std::size_t cut = 0;
    for (int i = 0; i < lines; ++i) cut = full.find("\r\n", cut) + 2;
    fs.files[kData + "\\udb"] = full.substr(0, cut);
    fs.files.erase(kData + "\\bein");
    start();
    ASSERT_EQ(app->store().count(), 10);
    EXPECT_EQ(app->store().entry(1).title, lines > 0 ? "f1" : "我的收藏");
    EXPECT_EQ(app->store().entry(10).title, "保留10");
    const store::EntryId made = app->store().addCategory(*app->currentCategory(), 45000.0, "新分类");
    EXPECT_EQ(made, 11);
    app.reset();
    start();
    EXPECT_EQ(app->currentCategory(), 1);
    EXPECT_EQ(app->store().entry(1).title, lines > 0 ? "f1" : "我的收藏");
    EXPECT_EQ(app->store().members(1), std::vector<store::EntryId>{11});
    EXPECT_EQ(app->store().members(11), std::vector<store::EntryId>{});
    app.reset();
  }
}

TEST_F(StartUp, TheProgressLabelIsUpdatedOnlyWhenThePercentageChanges) {
  fs.files[kData + "\\udb"] = fixedStore(5000);
  start();
  EXPECT_EQ(app->progressLabel().caption(), "100%");
  EXPECT_LT(sim.processPendingCalls, 250);  // not once per line
  EXPECT_EQ(app->store().count(), 5010);
}

TEST_F(StartUp, TheRootOpensWithItsBarAndTheListBelowIt) {
  start();
  sim.advance(300);
  ASSERT_EQ(app->breadcrumb().size(), 1u);
  const canvas::ObjectId bar = app->breadcrumb()[0];
  EXPECT_EQ(app->header().getTop(bar), 158);
  EXPECT_EQ(app->header().getTagText(bar), "1");
  EXPECT_EQ(app->header().getLayer(bar), 1);
  EXPECT_EQ(app->header().getTransparency(bar), 0);
  EXPECT_EQ(app->listTop(), 202);
  EXPECT_EQ(app->list().category(), 1);
  EXPECT_EQ(app->list().rowCount(), 4);  // the lead row and three bookmarks
  EXPECT_EQ(app->list().listHeight(), 1080 - 36 - 202);
  EXPECT_EQ(app->listCanvas().box().getLeft(app->list().curtain()), 350);
}

TEST_F(StartUp, ClickingABookmarkTitleCountsOneVisitAndLaunchesTheBrowser) {
  start();
  sim.advance(300);
  const std::size_t logBefore = fs.files[kData + "\\bein"].size();
  SimWindow& main = host(app->mainWindow());
  main.click(120, 202 + 20 + 5);  // row 2: the first bookmark, on its title
  EXPECT_EQ(app->store().entry(11).visitCount, 1);
  EXPECT_NEAR(app->store().entry(11).lastVisit, sim.oleNow(), 1e-6);
  const auto records = store::decodeLog(fs.files[kData + "\\bein"].substr(logBefore));
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].op, store::LogOp::RecordVisit);
  ASSERT_EQ(sim.launches.size(), 1u);
  EXPECT_EQ(sim.launches[0], "\"C:\\B\\b.exe\" \"http://x0.com/\"");
  EXPECT_EQ(app->list().rowIds(), (std::vector<store::EntryId>{0, 11, 12, 13}));  // order kept
  // The icon column opens the editor instead: no visit, no launch.
  main.click(40, 202 + 20 + 5);
  EXPECT_EQ(app->store().entry(11).visitCount, 1);
  EXPECT_EQ(sim.launches.size(), 1u);
}

TEST_F(StartUp, ClickingACategoryOpensItUnderANewBar) {
  fs.files[kData + "\\bein"] = store::encodeRecord(
      {store::LogOp::AddCategory, {store::intField(1), store::dateField(1.0), "Sub"}});
  start();
  sim.advance(300);
  SimWindow& main = host(app->mainWindow());
  main.click(120, 202 + 20 + 5);  // the new category is the first member
  EXPECT_EQ(app->list().category(), 14);
  EXPECT_EQ(app->store().entry(14).visitCount, 1);
  EXPECT_TRUE(sim.launches.empty());
  sim.advance(300);
  ASSERT_EQ(app->breadcrumb().size(), 2u);
  EXPECT_EQ(app->header().getTop(app->breadcrumb()[1]), 136 + 44);
  EXPECT_EQ(app->listTop(), 180 + 44);
  EXPECT_EQ(app->list().listHeight(), 1080 - 36 - (180 + 44));
}

class Breadcrumb : public StartUp {
 protected:
  // Root (1) holds category 14, which holds category 15.
  void SetUp() override {
    StartUp::SetUp();
    fs.files[kData + "\\bein"] =
        store::encodeRecord({store::LogOp::AddCategory, {store::intField(1), store::dateField(1.0), "Twenty"}}) +
        store::encodeRecord({store::LogOp::AddCategory, {store::intField(14), store::dateField(1.0), "Deep"}});
  }
  SimWindow& mainHost() { return host(app->mainWindow()); }
};

TEST_F(Breadcrumb, ClickingTheFirstBarOfThreeGoesBackToTheRoot) {
  start();
  app->breadcrumbs().openCategory(14, 2, true);  // while the root's bar still slides in
  sim.advance(300);
  app->breadcrumbs().openCategory(15, 3, true);
  sim.advance(300);
  ASSERT_EQ(app->breadcrumb().size(), 3u);
  EXPECT_EQ(app->listTop(), 180 + 66);
  EXPECT_EQ(app->header().getTop(app->breadcrumb()[0]), 158);
  mainHost().click(120, 165);  // the visible top half of bar 1
  EXPECT_EQ(app->breadcrumb().size(), 1u);
  EXPECT_EQ(app->list().returnedFrom(), 14);
  EXPECT_EQ(app->list().category(), 1);
  EXPECT_EQ(app->listTop(), 202);
  ASSERT_EQ(app->list().rowIds().size(), 5u);  // lead row, category 14, three bookmarks
  EXPECT_EQ(app->list().rowIds()[1], 14);
}

TEST_F(Breadcrumb, TheTopBarSwitchesToTheVisitCountViewAndTheTabsResort) {
  start();
  sim.advance(300);
  mainHost().click(120, 165);  // the top bar while a category is shown
  EXPECT_TRUE(app->list().inFlatView());
  EXPECT_EQ(app->list().view(), list::View::VisitCount);
  ASSERT_EQ(app->breadcrumb().size(), 2u);
  EXPECT_EQ(app->header().getTop(app->breadcrumb()[1]), 136 + 44);  // placed at once
  EXPECT_EQ(app->listTop(), 180 + 44);
  const canvas::ObjectId marker = app->headerObjects().viewTabMarker;
  EXPECT_EQ(app->header().getLeft(marker), 179);
  EXPECT_EQ(app->header().getTop(marker), 224 - 42);
  // The tab 添加 (x 67-115) in the 20 pixels below the marker's top.
  mainHost().click(100, 182 + 10);
  EXPECT_EQ(app->list().view(), list::View::Added);
  EXPECT_EQ(app->header().getLeft(marker), 66);
  mainHost().click(118, 182 + 10);  // between two tabs: nothing
  EXPECT_EQ(app->list().view(), list::View::Added);
  // Clicking the top (flat-view) bar in a flat view does nothing.
  mainHost().click(120, 182 + 2 + 20);
  EXPECT_EQ(app->breadcrumb().size(), 2u);
  // The root's bar goes back and parks the marker.
  mainHost().click(120, 165);
  EXPECT_EQ(app->list().category(), 1);
  EXPECT_EQ(app->breadcrumb().size(), 1u);
  EXPECT_EQ(app->header().getLeft(marker), -100);
  EXPECT_EQ(app->list().view(), list::View::None);
}

TEST_F(Breadcrumb, CreatingACategoryPutsItFirstWithItsNameAsTyped) {
  start();
  sim.advance(300);
  host(app->mainWindow()).click(80, 125);  // NewCategoryButton at (61, 118)
  ASSERT_TRUE(app->pages().visible());
  EXPECT_EQ(app->pages().selected(), 1);
  EXPECT_EQ(app->categoryPanel().prompt().caption(), "请输入分类标题");
  auto& edit = static_cast<platform::sim::SimEditBox&>(app->categoryPanel().edit().edit());
  EXPECT_TRUE(edit.pressKey(13));  // Enter with an empty name: refused, the panel stays
  EXPECT_TRUE(app->pages().visible());
  edit.type("R&D 资料");
  edit.pressKey(13);
  EXPECT_FALSE(app->pages().visible());
  const store::EntryId id = app->store().count();
  EXPECT_EQ(app->store().entry(id).title, "R&D 资料");  // kept whole when created
  EXPECT_EQ(app->list().rowIds()[1], id);            // the first row
  const auto records = store::decodeLog(fs.files[kData + "\\bein"]);
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records.back().op, store::LogOp::AddCategory);
  EXPECT_EQ(store::getInt(records.back().fields[0]), 1);
}

TEST_F(Breadcrumb, ACategoryConfirmedDuringASearchGoesIntoTheCategoryBeforeIt) {
  start();
  sim.advance(300);
  host(app->mainWindow()).click(80, 125);  // NewCategoryButton
  auto& edit = static_cast<platform::sim::SimEditBox&>(app->categoryPanel().edit().edit());
  edit.type("Later");
  // The search box stays reachable above the panel: a search starts.
  static_cast<platform::sim::SimEditBox&>(app->searchBox().edit()).type("x");
  ASSERT_TRUE(app->list().inFlatView());
  const auto results = app->list().results();
  edit.pressKey(13);
  EXPECT_FALSE(app->pages().visible());
  const store::EntryId id = app->store().count();
  ASSERT_TRUE(app->store().entry(id).isCategory());
  EXPECT_EQ(app->store().entry(id).title, "Later");  // not dropped
  EXPECT_EQ(app->store().members(1).front(), id);
  EXPECT_TRUE(app->list().inFlatView());  // the results stay
  EXPECT_EQ(app->list().results(), results);
}

TEST_F(Breadcrumb, RenamingTakesTheCategoryWhoseIconWasClicked) {
  start();
  sim.advance(300);
  SimWindow& main = mainHost();
  main.click(40, 202 + 20 + 5);  // the icon of row 2: category 14
  ASSERT_TRUE(app->pages().visible());
  EXPECT_EQ(app->categoryPanel().prompt().caption(), "标题");
  EXPECT_EQ(app->categoryPanel().edit().text(), "Twenty");
  auto& edit = static_cast<platform::sim::SimEditBox&>(app->categoryPanel().edit().edit());
  edit.setText("");
  edit.type("\xA3\xC1\xA3\xC2&C");  // full-width A B, an ampersand
  // The pointer wanders over the list before OK: the rename still goes to 14.
  main.move(120, app->listTop() + 20 * 2 + 5);
  main.move(120, app->listTop() + 20 * 3 + 5);
  app->categoryPanel().confirm();
  EXPECT_EQ(app->store().entry(14).title, "ABC");
  EXPECT_EQ(app->store().entry(11).title, "b0");
  const auto records = store::decodeLog(fs.files[kData + "\\bein"]);
  EXPECT_EQ(records.back().op, store::LogOp::EditCategory);
  // Esc cancels without a change; fixed entries never open the panel.
  main.click(40, 202 + 20 + 5);
  edit.setText("Other");
  edit.pressKey(27);
  EXPECT_FALSE(app->pages().visible());
  EXPECT_EQ(app->store().entry(14).title, "ABC");
  app->categoryPanel().showRename(2);
  EXPECT_FALSE(app->pages().visible());
}

class Separators : public StartUp {
 protected:
  int rowY(int r) { return 202 + 20 * (r - 1) + 5; }
  void press(int x, int r) {
    auto& e = host(app->mainWindow()).events;
    e.pointerMove(x, rowY(r), false);
    e.buttonDown(platform::MouseButton::Left, x, rowY(r));
  }
  void dragTo(int x, int r) { host(app->mainWindow()).events.pointerMove(x, rowY(r), true); }
  void release(int x, int r) { host(app->mainWindow()).events.buttonUp(platform::MouseButton::Left, x, rowY(r)); }
  std::vector<store::EntryId> members() { return app->store().members(1); }
};

TEST_F(Separators, DraggingOffABookmarkInsertsASeparatorAboveIt) {
  start();
  sim.advance(300);
  press(120, 3);  // row 3: bookmark 12
  dragTo(120, 2);
  sim.advance(400);
  release(120, 2);
  ASSERT_EQ(members().size(), 4u);
  const store::EntryId s = members()[1];
  EXPECT_EQ(app->store().entry(s).kind, store::kSeparator);
  EXPECT_EQ(members(), (std::vector<store::EntryId>{11, s, 12, 13}));
  EXPECT_TRUE(sim.launches.empty());  // the release opens nothing
  EXPECT_EQ(app->store().entry(12).visitCount, 0);
  EXPECT_EQ(sim.sounds.size(), 2u);   // start-up, then the separator
  EXPECT_EQ(store::decodeLog(fs.files[kData + "\\bein"]).back().op, store::LogOp::AddSeparator);
}

TEST_F(Separators, NoSeparatorFromTheLeadRowOrOutsideTheCard) {
  start();
  sim.advance(300);
  press(120, 1);
  dragTo(120, 2);
  release(120, 2);
  press(20, 3);  // x < 25
  dragTo(20, 2);
  release(20, 2);
  EXPECT_EQ(members(), (std::vector<store::EntryId>{11, 12, 13}));
}

TEST_F(Separators, TheMinusHalfRemovesItAndThePlusHalfAddsAnother) {
  fs.files[kData + "\\bein"] = store::encodeRecord({store::LogOp::AddSeparator, {store::intField(1), "12"}});
  start();
  sim.advance(300);
  ASSERT_EQ(members(), (std::vector<store::EntryId>{11, 14, 12, 13}));
  // The plus half (x 37-174) of the separator's row adds one before the pressed row.
  host(app->mainWindow()).click(100, rowY(3));
  ASSERT_EQ(members().size(), 5u);
  EXPECT_EQ(app->store().entry(members()[1]).kind, store::kSeparator);
  // The minus half (x 176-319) removes the separator under the pointer.
  const store::EntryId under = app->list().idAtRow(3);
  host(app->mainWindow()).click(250, rowY(3));
  sim.advance(400);
  const auto after = members();
  EXPECT_EQ(after.size(), 4u);
  EXPECT_EQ(std::count(after.begin(), after.end(), under), 0);
  EXPECT_EQ(app->store().line(under), "");  // vacant from the next load on
  EXPECT_EQ(app->list().rowCount(), 5);
}

TEST_F(StartUp, ThePositionIndicatorAndTheThumbDrag) {
  start();
  sim.advance(300);
  EXPECT_TRUE(app->positionIndicator().visible());
  EXPECT_EQ(app->positionIndicator().top(), 202 - 20);
  EXPECT_EQ(app->firstRowLabel().caption(), "1");
  EXPECT_EQ(app->rowCountLabel().caption(), "3");
  // Pressing the thumb confines the pointer to its column; releasing frees it.
  SimWindow& main = host(app->mainWindow());
  const int thumbY = 202 + app->listCanvas().box().getTop(app->list().thumb()) + 40;
  main.events.pointerMove(336, thumbY, false);
  main.events.buttonDown(platform::MouseButton::Left, 336, thumbY);
  ASSERT_TRUE(sim.cursorClip.has_value());
  EXPECT_EQ(*sim.cursorClip, (platform::Bounds{6 + 323, 202, 27, app->list().listHeight()}));
  main.events.buttonUp(platform::MouseButton::Left, 336, thumbY);
  EXPECT_FALSE(sim.cursorClip.has_value());
}

TEST_F(StartUp, AnEmptyRootHidesThePositionIndicator) {
  fs.files[kData + "\\udb"] = fixedStore(0);
  start();
  EXPECT_FALSE(app->positionIndicator().visible());
}

TEST_F(StartUp, ANonEmptyBinShowsItsWindow) {
  std::string file = fixedStore(1);
  // Move bookmark 11 into the bin.
  fs.files[kData + "\\bein"] = store::encodeRecord(
      {store::LogOp::MoveEntries, {"11u", store::intField(2), store::intField(-2), store::intField(0)}});
  start();
  EXPECT_TRUE(app->recycleBinWindow().visible());
}

TEST_F(StartUp, ExitRunsItsSequenceFromEachTrigger) {
  for (int trigger = 0; trigger < 3; ++trigger) {
    SimPlatform s;
    s.runDir = kRun;
    Application a(s, fs);
    a.startUp();
    s.journal.clear();
    try {
      if (trigger == 0) {
        a.exitLabel().onClick();
      } else if (trigger == 1) {
        a.closeLabel().onClick();
      } else {
        static_cast<SimWindow&>(a.mainWindow().host()).requestClose();
      }
      FAIL() << "the process did not end";
    } catch (const ProcessExit& e) {
      EXPECT_EQ(e.code, 0);
    }
    EXPECT_EQ(s.journal, (std::vector<std::string>{"restore window procedure", "leave clipboard chain",
                                                   "tray remove", "hide Linkhoard", "hide RightEdgeTabWindow",
                                                   "hide LeftEdgeTabWindow", "exit"}))
        << trigger;
  }
}

TEST_F(StartUp, TheExitLabelIsClickableOnTheBottomBar) {
  start();
  SimWindow& main = host(app->mainWindow());
  const ui::Rect r = app->exitLabel().windowRect();
  EXPECT_THROW(main.click(r.left + 2, r.top + 2), ProcessExit);
}

class Browser : public StartUp {};

TEST_F(Browser, TheSystemBrowserComesFromAQuotedRegistryCommand) {
  fs.files.erase(kData + "\\config.ini");
  sim.registryHttpCommand = "\"C:\\Program Files\\Browser\\browser.exe\" -osint -url \"%1\"";
  start();
  EXPECT_EQ(app->browserPath(), "C:\\Program Files\\Browser\\browser.exe");
  EXPECT_EQ(text::readProfileString(fs, kData + "\\config.ini", "浏览器", "地址"),
            "C:\\Program Files\\Browser\\browser.exe");
  EXPECT_EQ(text::readProfileString(fs, kData + "\\config.ini", "浏览器", "名称"), "browser");
  ASSERT_EQ(sim.balloons.size(), 1u);
  EXPECT_EQ(sim.balloons[0].text, "browser");
  EXPECT_EQ(sim.balloons[0].at, (platform::Point{785 + 308, 120}));
}

TEST_F(Browser, AnUnquotedCommandIsReadUpToItsExe) {
  fs.files.erase(kData + "\\config.ini");
  sim.registryHttpCommand = "C:\\Program Files\\Web\\web.exe %1";
  start();
  EXPECT_EQ(app->browserPath(), "C:\\Program Files\\Web\\web.exe");
}

TEST_F(Browser, TheBadgeShowsTheIconUnderItsFrame) {
  canvas::Picture icon;
  icon.width = icon.height = 32;
  icon.alpha = canvas::Alpha::Premultiplied;
  icon.pixels.assign(32 * 32, canvas::argb(255, 200, 0, 0));
  sim.icons["C:\\B\\b.exe"] = icon;
  start();
  const canvas::ObjectId badge = app->headerObjects().browserBadge;
  EXPECT_EQ(app->header().getWidth(badge), 36);
  EXPECT_EQ(app->header().getHeight(badge), 22);
  app->header().paint();
  // Inside the frame, the icon's red; on the frame's border its grey.
  EXPECT_EQ(app->header().pixel(300 + 10, 118 + 10), canvas::argb(255, 200, 0, 0));
  EXPECT_NE(app->header().pixel(300, 118 + 10), canvas::argb(255, 200, 0, 0));
}

TEST_F(Browser, ClickingTheBadgeTakesTheProcessOfTheWindowAtTheCapturePoint) {
  start();
  sim.advance(300);
  platform::sim::FakeWindow desk;
  desk.className = "Progman";
  desk.processPath = "C:\\Windows\\explorer.exe";
  desk.processFileName = "explorer.exe";
  desk.screenBounds = {0, 0, 1920, 1080};
  sim.addForeignWindow(desk);
  const platform::Point p = app->docking().capturePoint();
  EXPECT_EQ(p, (platform::Point{6 + 350 + 20, 121}));
  SimWindow& main = host(app->mainWindow());
  main.click(310, 125);  // the badge at (300, 118)
  EXPECT_EQ(app->browserPath(), "C:\\Windows\\explorer.exe");
  EXPECT_EQ(text::readProfileString(fs, kData + "\\config.ini", "浏览器", "名称"), "explorer");
  ASSERT_FALSE(sim.balloons.empty());
  EXPECT_EQ(sim.balloons.back().text, "explorer");
}

}  // namespace
}  // namespace lh::app

namespace lh::app {
namespace {

using namespace simtest;

TEST_F(StartUp, AStoreFileThatCannotBeReadIsSaidAndNothingIsWrittenOverIt) {
  const std::string store = fs.files[kData + "\\udb"];
  fs.unreadable.insert(kData + "\\udb");
  start();
  sim.advance(300);
  ASSERT_EQ(sim.messageBoxes.size(), 1u);
  EXPECT_EQ(sim.messageBoxes[0].first, "数据文件无法读取，本次运行中的修改不会保存");
  // A category confirmed now changes no file.
  app->categoryPanel().showCreate();
  static_cast<platform::sim::SimEditBox&>(app->categoryPanel().edit().edit()).type("x");
  app->categoryPanel().confirm();
  EXPECT_EQ(fs.files[kData + "\\udb"], store);
  EXPECT_FALSE(fs.exists(kData + "\\bein"));
}

}  // namespace
}  // namespace lh::app
