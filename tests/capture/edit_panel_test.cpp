// The bookmark panel in the simulator: adding, editing, the duplicate rule,
// its keys, the copy label.
#include <gtest/gtest.h>

#include "../app/app_fixture.h"
#include "capture/edit_panel.h"
#include "text/oledate.h"

namespace lh::app {
namespace {

using namespace simtest;
using platform::sim::SimEditBox;

class Panel : public StartUp {
 protected:
  capture::EditPanel& panel() { return app->editPanel(); }
  SimEditBox& box(ui::EditControl& c) { return static_cast<SimEditBox&>(c.edit()); }
  SimEditBox& title() { return box(panel().titleBox()); }
  SimEditBox& address() { return box(panel().addressBox()); }
  SimEditBox& note() { return box(panel().noteBox()); }
  SimWindow& main() { return host(app->mainWindow()); }
  void startAndWait() {
    start();
    sim.advance(300);
  }
  void openAdd() { main().click(30, 125); }  // the add button at (11, 118)
  std::vector<store::EntryId> members(store::EntryId c) { return app->store().members(c); }
};

TEST_F(Panel, TheAddButtonOpensAnEmptyPanelInAddMode) {
  startAndWait();
  openAdd();
  EXPECT_EQ(panel().modeMarker(), "1");
  EXPECT_EQ(app->overlay().shown(), features::OverlayPages::Bookmark);
  EXPECT_EQ(app->pages().top(), 160);
  EXPECT_EQ(app->pages().height(), app->bottomBar().top() - 160);
  EXPECT_EQ(panel().heading().caption(), "添加新的收藏");
  EXPECT_TRUE(panel().hint().visible());
  EXPECT_FALSE(panel().copyLabel().visible());
  EXPECT_FALSE(panel().iconBox().visible());
  EXPECT_FALSE(address().options.readOnly);
  EXPECT_TRUE(title().hasFocus());
}

TEST_F(Panel, TheTitleIsAskedForFirstThenTheAddress) {
  startAndWait();
  openAdd();
  title().pressKey(13);
  EXPECT_EQ(panel().heading().caption(), "请输入标题");
  EXPECT_EQ(app->overlay().shown(), features::OverlayPages::Bookmark);
  title().type("Title");
  address().pressKey(13);
  EXPECT_EQ(panel().heading().caption(), "请输入地址");
  address().type("http://new.org/");
  address().pressKey(13);
  EXPECT_EQ(app->overlay().shown(), -1);
  EXPECT_EQ(panel().modeMarker(), "0");
  const store::EntryId id = app->store().count();
  EXPECT_EQ(app->store().entry(id).url, "http://new.org/");
  // A second Enter after the panel closed changes nothing.
  const std::string log = fs.files[kData + "\\bein"];
  address().pressKey(13);
  panel().confirmPanel();
  EXPECT_EQ(fs.files[kData + "\\bein"], log);
  EXPECT_FALSE(app->recycleBinWindow().visible());
  EXPECT_EQ(members(1).back(), id);
  EXPECT_EQ(app->list().rowIds().back(), id);  // the category shown again
}

TEST_F(Panel, ATitleLosesItsBrowserSuffixFullWidthAndAmpersandsWhenAdded) {
  startAndWait();
  openAdd();
  title().type("\xA3\xC1\xA3\xE2\xA3\xA6" "C News - Site - Browser");  // Ａｂ＆C
  address().type("example.org");  // stored exactly as typed
  title().pressKey(13);
  const store::Entry& e = app->store().entry(app->store().count());
  EXPECT_EQ(e.title, "AbC News - Site");
  EXPECT_EQ(e.url, "example.org");
  EXPECT_EQ(e.visitCount, 0);
  EXPECT_EQ(e.lastVisit, 0.0);
  // Edited, the same text is kept whole.
  panel().openEditPanel(app->store().count());
  title().setText("AbC News - Site - Browser");
  panel().confirmPanel();
  EXPECT_EQ(app->store().entry(app->store().count()).title, "AbC News - Site - Browser");
}

TEST_F(Panel, ANoteOfTwoLinesIsStoredWithACaretAndComesBackAsTwoLines) {
  startAndWait();
  openAdd();
  title().type("t");
  address().type("http://two.lines/");
  note().type("first");
  EXPECT_FALSE(note().pressKey(13));  // a plain Enter breaks the line
  note().type("second");
  EXPECT_FALSE(note().pressKey(13, platform::kCtrl | platform::kShift));  // no confirm
  EXPECT_EQ(app->overlay().shown(), features::OverlayPages::Bookmark);
  note().setText("first\r\nsecond");
  EXPECT_TRUE(note().pressKey(13, platform::kCtrl));
  const store::EntryId id = app->store().count();
  EXPECT_EQ(app->store().entry(id).note, "first^second");
  EXPECT_FALSE(app->recycleBinWindow().visible());
  panel().openEditPanel(id);
  EXPECT_EQ(note().text(), "first\r\nsecond");
  note().setText("one\r\ntwo\r\nthree");
  panel().confirmPanel();
  EXPECT_EQ(app->store().entry(id).note, "one^two^three");
  const auto records = store::decodeLog(fs.files[kData + "\\bein"]);
  EXPECT_EQ(records.back().op, store::LogOp::EditBookmark);
}

TEST_F(Panel, TheEditPanelShowsTheDatesAndTheVisitCount) {
  startAndWait();
  // Bookmark 11 was never visited and has the zero date as its added date.
  panel().openEditPanel(11);
  EXPECT_EQ(panel().modeMarker(), "0");
  EXPECT_EQ(panel().lastVisitLine().caption(), "最近访问: 没访问过");
  EXPECT_EQ(panel().addedLine().caption(), "添加日期: 未知");
  EXPECT_EQ(panel().visitCountLine().caption(), "访问次数: 0");
  EXPECT_TRUE(address().options.readOnly);
  EXPECT_TRUE(panel().copyLabel().visible());
  EXPECT_TRUE(panel().iconBox().visible());
  EXPECT_FALSE(panel().heading().visible());
  main().click(120, 202 + 20 + 5);  // visit it (the panel is over the list: the store directly)
  EXPECT_TRUE(app->store().recordVisit(11, text::oleFromCalendar({2016, 3, 27, 9, 5, 0, 0}), 7));
  panel().openEditPanel(11);
  EXPECT_EQ(panel().lastVisitLine().caption(), "最近访问: 2016年/3月27日/9点5分0秒");
  EXPECT_EQ(panel().visitCountLine().caption(), "访问次数: 7");
  // Categories and fixed entries never open it.
  panel().cancelPanel();
  panel().openEditPanel(1);
  EXPECT_EQ(app->overlay().shown(), -1);
}

TEST_F(Panel, TheIconColumnOfABookmarkOpensTheEditPanel) {
  startAndWait();
  main().click(40, 202 + 20 + 5);
  EXPECT_EQ(app->overlay().shown(), features::OverlayPages::Bookmark);
  EXPECT_EQ(panel().editedEntryId(), 11);
  EXPECT_EQ(title().text(), "b0");
}

TEST_F(Panel, AnAddressSavedBeforeGoesToTheEndOfTheBinInstead) {
  startAndWait();
  const int before = app->store().count();
  openAdd();
  title().type("again");
  address().type("http://x1.com/");
  title().pressKey(13);
  EXPECT_EQ(app->store().count(), before);  // nothing added
  EXPECT_EQ(members(2), (std::vector<store::EntryId>{12}));
  EXPECT_EQ(members(1), (std::vector<store::EntryId>{11, 13}));
  EXPECT_TRUE(app->recycleBinWindow().visible());
  EXPECT_EQ(app->recycleBinWindow().left(), app->mainWindow().left() + 350 + 10);
  EXPECT_EQ(app->list().rowIds(), (std::vector<store::EntryId>{0, 11, 13}));
  // Already in the bin: it moves to the bin's end again.
  EXPECT_TRUE(panel().recycleExisting("http://x0.com/"));
  EXPECT_TRUE(panel().recycleExisting("http://x1.com/"));
  EXPECT_EQ(members(2), (std::vector<store::EntryId>{11, 12}));
  // Letter case and a trailing slash make another address.
  EXPECT_FALSE(panel().recycleExisting("HTTP://x2.com/"));
  EXPECT_FALSE(panel().recycleExisting("http://x2.com"));
}

TEST_F(Panel, AnAddressWhoseBookmarkWasPurgedIsAddedAgain) {
  startAndWait();
  EXPECT_TRUE(app->store().purgeEntry(1, 12));  // http://x1.com/, gone for good
  ASSERT_FALSE(app->store().exists(12));
  EXPECT_FALSE(panel().recycleExisting("http://x1.com/"));
  openAdd();
  title().type("again");
  address().type("http://x1.com/");
  title().pressKey(13);
  const store::EntryId id = app->store().count();
  EXPECT_EQ(id, 14);
  EXPECT_EQ(app->store().entry(id).url, "http://x1.com/");
  EXPECT_EQ(members(1), (std::vector<store::EntryId>{11, 13, 14}));
  EXPECT_FALSE(app->recycleBinWindow().visible());
}

TEST_F(Panel, ARecycledBookmarkSlidesTheWindowInWhenItWasOut) {
  startAndWait();
  app->docking().slideOut();
  sim.advance(300);
  EXPECT_TRUE(panel().recycleExisting("http://x2.com/"));
  sim.advance(300);
  EXPECT_EQ(app->mainWindow().left(), 6);
}

TEST_F(Panel, AddingDuringASearchGoesIntoTheCategoryBeforeIt) {
  startAndWait();
  static_cast<SimEditBox&>(app->searchBox().edit()).type("x");
  ASSERT_TRUE(app->list().inFlatView());
  const auto shown = app->list().results();
  openAdd();
  title().type("found later");
  address().type("http://later.org/");
  title().pressKey(13);
  const store::EntryId id = app->store().count();
  EXPECT_EQ(app->store().entry(id).parentId, 1);
  EXPECT_EQ(members(1).back(), id);
  auto expected = shown;
  expected.push_back(id);
  EXPECT_EQ(app->list().results(), expected);
  EXPECT_TRUE(app->list().inFlatView());
}

TEST_F(Panel, AnEnterDuringTheSearchsSortConfirmsOnceTheSortIsDone) {
  fs.files[kData + "\\udb"] = fixedStore(2048);
  startAndWait();
  openAdd();
  title().type("later");
  address().type("http://later.org/");
  // The Enter arrives while the search's sort lets messages through: adding
  // then appended to the very results being sorted.
  int ran = 0;
  sim.post([&] {
    ++ran;
    title().pressKey(13);
  });
  // Every bookmark, sorted by site (2,048 results fill their vector: the
  // next one moves it).
  static_cast<SimEditBox&>(app->searchBox().edit()).type("x");
  sim.processPendingMessages();
  ASSERT_EQ(ran, 1);
  EXPECT_FALSE(app->busy().busy());
  EXPECT_EQ(app->overlay().shown(), -1);
  const store::EntryId id = app->store().count();
  ASSERT_EQ(app->store().entry(id).url, "http://later.org/");
  EXPECT_EQ(members(1).back(), id);
  const auto& results = app->list().results();
  ASSERT_EQ(results.size(), 2049u);
  EXPECT_EQ(results.back(), id);  // appended after the sort, not into it
  EXPECT_TRUE(std::is_sorted(results.begin(), results.end() - 1, [&](store::EntryId a, store::EntryId b) {
    return app->store().entry(a).domain.view() < app->store().entry(b).domain.view();
  }));
}

TEST_F(Panel, EscAndTheRightButtonCloseItWithoutSaving) {
  startAndWait();
  openAdd();
  title().type("kept in the box");
  address().pressKey(27);
  EXPECT_EQ(app->overlay().shown(), -1);
  EXPECT_EQ(panel().modeMarker(), "0");
  EXPECT_EQ(title().text(), "kept in the box");
  sim.advance(600);
  openAdd();
  ASSERT_EQ(panel().modeMarker(), "1");
  const int before = app->store().count();
  main().click(200, 160 + 80 + 20, platform::MouseButton::Right);  // on 图片框1
  EXPECT_EQ(app->overlay().shown(), -1);
  EXPECT_EQ(panel().modeMarker(), "1");  // kept as it was
  EXPECT_EQ(app->store().count(), before);
}

TEST_F(Panel, CopyPutsTitleAndAddressOnTheClipboard) {
  startAndWait();
  panel().openEditPanel(12);
  panel().copyLabel().onClick();
  EXPECT_EQ(sim.clipboardText(), "b1\r\nhttp://x1.com/");
  ASSERT_FALSE(sim.balloons.empty());
  EXPECT_EQ(sim.balloons.back().text, "复制成功");
  title().setText("");
  panel().copyLabel().onClick();
  EXPECT_EQ(sim.clipboardText(), "\r\nhttp://x1.com/");
}

}  // namespace
}  // namespace lh::app
