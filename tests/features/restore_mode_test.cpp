// Restore mode, the clear part of the list and the focus on the list, tried
// with input in the middle of animations, scrolled and flat lists, and odd
// list sizes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "bin_fixture.h"
#include "store/codec.h"

namespace lh::app {
namespace {

using namespace simtest;
using platform::MouseButton;
namespace keys = platform::keys;

class Restore : public BinTest {
 protected:
  void SetUp() override {
    StartUp::SetUp();
    fs.files[kData + "\\udb"] = fixedStore(9);  // root: 11 .. 19 (rows 2 .. 10)
  }
};

// ------------------------------------------------------------ leaving restore mode

// The fly-in ends restore mode with the pointer resting on a row: the hover
// band comes back there, and the keys go on from it.
TEST_F(Restore, AfterTheFlyInTheHoverBandStandsAgainOnTheRestingPointersRow) {
  startAndWait();
  rightDrag(2, 3);  // 11, 12 to the bin; root: 13 .. 19
  sim.advance(400);
  main().move(300, rowY(4));
  sim.advance(200);
  main().click(300, rowY(4));
  ASSERT_EQ(members(1), (std::vector<store::EntryId>{13, 14, 11, 12, 15, 16, 17, 18, 19}));
  sim.advance(1000);
  ASSERT_FALSE(binWindow().visible());
  EXPECT_TRUE(bandShown()) << "no band after restoring";
  EXPECT_EQ(box().getTop(app->list().hoverHighlight()), 20 * 3 - 3);
  EXPECT_EQ(app->interaction().highlightedRow(), 4);
}

// Emptying the bin ends restore mode too: the pointer that came back onto
// the list while the window slid away finds its band once it is gone.
TEST_F(Restore, AfterTheSlideAwayTheHoverBandStandsOnThePointersRow) {
  startAndWait();
  rightDrag(2, 2);
  sim.advance(400);
  host(binWindow()).click(300, 10);  // the strip: the window slides away
  ASSERT_TRUE(app->recycleBin().slidingAway());
  main().move(300, rowY(5));
  main().move(300, rowY(6));
  sim.advance(1000);
  ASSERT_FALSE(binWindow().visible());
  EXPECT_TRUE(bandShown()) << "no band after emptying";
  EXPECT_EQ(box().getTop(app->list().hoverHighlight()), 20 * 5 - 3);
  EXPECT_EQ(app->interaction().highlightedRow(), 6);
}

// While the window approaches its row and flies in, the pointer and the
// keys move no window: the approach and the fly-in alone place it.
TEST_F(Restore, ThePointerAndTheKeysDuringTheApproachAndTheFlyInLeaveTheBinWindowOnItsPath) {
  startAndWait();
  rightDrag(2, 3);
  sim.advance(400);
  main().move(300, rowY(3));
  sim.advance(200);
  main().click(300, rowY(3));
  ASSERT_TRUE(app->recycleBin().restoring());
  const int y0 = binWindow().top(), y1 = (3 - 1) * 20 + app->listTop() - 2;
  for (int f = 1; f <= 10; ++f) {
    if (f == 3) main().move(300, rowY(6));
    if (f == 6) main().key(keys::kDown);
    sim.advance(10);
    ASSERT_EQ(binWindow().top(), static_cast<int>(y0 + (y1 - y0) * (1 - std::pow(2.0, -10.0 * f / 10))))
        << "approach frame " << f;
  }
  for (int f = 1; f < 15; ++f) {
    if (f == 4) main().move(300, rowY(8));
    sim.advance(10);
    ASSERT_EQ(binWindow().top(), y1) << "fly-in frame " << f;
  }
}

// ------------------------------------------------------------ deleting in restore mode

// A deletion that leaves the pointer below the new last row puts line,
// badge and window under that row at once, and they stay.
TEST_F(Restore, ADeletionLeavingThePointerBelowTheLastRowPutsTheBadgeUnderItAtOnce) {
  startAndWait();
  rightDrag(2, 2);  // 11 to the bin: restore mode on
  sim.advance(500);
  rightDrag(8, 10);  // 18, 19: root 12 .. 17 (rows 2 .. 7), pointer on row 10
  ASSERT_EQ(members(1), (std::vector<store::EntryId>{12, 13, 14, 15, 16, 17}));
  const int under = 20 * (7 - 1) + 20;
  EXPECT_EQ(badgeTop(), under);
  EXPECT_EQ(lineTop(), under);
  EXPECT_EQ(binWindow().top(), binTopAt(under));
  for (int t = 0; t < 40; ++t) {
    sim.advance(10);
    ASSERT_EQ(binWindow().top(), binTopAt(under)) << 10 * (t + 1) << " ms";
    ASSERT_EQ(badgeTop(), under) << 10 * (t + 1) << " ms";
  }
  // Its click appends.
  main().move(300, rowY(10));
  main().move(300, app->listTop() + under + 5);
  sim.advance(300);
  main().click(300, app->listTop() + under + 5);
  EXPECT_EQ(members(1), (std::vector<store::EntryId>{12, 13, 14, 15, 16, 17, 11, 18, 19}));
}

// ------------------------------------------------------------ scrolled lists

class RestoreLong : public Restore {
 protected:
  void SetUp() override {
    StartUp::SetUp();
    fs.files[kData + "\\udb"] = fixedStore(200);
  }
};

// The keys scroll the list in restore mode: the badge, the line and the
// window end on the highlighted row's top, and its click restores there.
TEST_F(RestoreLong, EndAndPageUpInRestoreModeScrollAndTheBadgeEndsOnTheRowsTop) {
  startAndWait();
  rightDrag(3, 3);  // 12 to the bin: rows 2 .. 200
  sim.advance(500);
  main().move(400, 300);  // off the list
  main().key(keys::kEnd);
  sim.advance(600);
  const auto& l = app->list();
  ASSERT_GT(l.firstRow(), 1);
  EXPECT_EQ(app->interaction().highlightedRow(), l.rowCount());
  EXPECT_EQ(badgeTop(), 20 * (l.rowCount() - l.firstRow()));
  EXPECT_EQ(binWindow().top(), binTopAt(20 * (l.rowCount() - l.firstRow())));
  EXPECT_FALSE(bandShown());
  main().key(keys::kPageUp);
  sim.advance(600);
  const int r = app->interaction().highlightedRow();
  EXPECT_EQ(r, l.rowCount() - (l.clearRowsInView() - 1));
  EXPECT_GE(r, l.firstRow() + 1);
  EXPECT_LE(r, l.firstRow() + l.clearRowsInView());
  EXPECT_EQ(badgeTop(), 20 * (r - l.firstRow()));
  // The badge's click puts 12 back before the highlighted row's entry.
  const store::EntryId before = l.idAtRow(r);
  const int y = app->listTop() + badgeTop() + 5;
  main().move(300, y);
  sim.advance(300);
  main().click(300, y);
  const auto m = members(1);
  const auto at = std::find(m.begin(), m.end(), 12);
  ASSERT_NE(at, m.end());
  ASSERT_NE(at + 1, m.end());
  EXPECT_EQ(*(at + 1), before);
}

// The wheel in restore mode: the pointer rests, the rows move under it; a
// click on the badge puts the entries back before the row the badge shows.
TEST_F(RestoreLong, AfterTheWheelInRestoreModeTheBadgesClickRestoresAtTheRowNowUnderIt) {
  startAndWait();
  rightDrag(3, 3);  // 12 to the bin
  sim.advance(500);
  main().move(300, rowY(5));
  sim.advance(300);
  ASSERT_EQ(badgeTop(), 20 * 4);
  for (int i = 0; i < 3; ++i) {
    main().events.wheel(-1, 120, rowY(5));
    sim.advance(600);
  }
  const auto& l = app->list();
  ASSERT_GT(l.firstRow(), 1);
  const store::EntryId shown = l.idAtRow(l.firstRow() + 4);
  EXPECT_FALSE(bandShown());
  main().click(300, rowY(5));
  const auto m = members(1);
  const auto at = std::find(m.begin(), m.end(), 12);
  ASSERT_NE(at, m.end());
  ASSERT_NE(at + 1, m.end());
  EXPECT_EQ(*(at + 1), shown);
}

// ------------------------------------------------------------ navigating

// A navigation in restore mode moves the list's top (the bars): the bin
// window goes on standing at the badge's row, the pointer resting.
TEST_F(Restore, AfterANavigationInRestoreModeTheBinWindowStandsAtTheBadgesRow) {
  fs.files[kData + "\\bein"] =
      store::encodeRecord({store::LogOp::AddCategory, {store::intField(1), store::dateField(1.0), "Cat"}});
  for (const char* n : {"in0", "in1", "in2", "in3"}) {
    fs.files[kData + "\\bein"] += store::encodeRecord(
        {store::LogOp::AddBookmark,
         {n, std::string("http://") + n + ".com/", "", store::intField(20), store::dateField(1.0), store::intField(-1)}});
  }
  startAndWait();
  ASSERT_EQ(app->list().idAtRow(2), 20);
  rightDrag(5, 5);  // a bookmark of the root to the bin
  sim.advance(500);
  ASSERT_TRUE(binWindow().visible());
  main().move(300, rowY(3));
  sim.advance(300);
  main().move(200, rowY(2));
  sim.advance(300);
  const int before = app->listTop();
  main().click(200, rowY(2));  // into the category: one bar more
  sim.advance(1500);
  ASSERT_EQ(app->list().category(), 20);
  ASSERT_NE(app->listTop(), before);
  EXPECT_EQ(binWindow().top(), binTopAt(badgeTop())) << "badge at " << badgeTop();
  main().key(platform::keys::kBack);  // and back
  sim.advance(1500);
  ASSERT_EQ(app->list().category(), 1);
  EXPECT_EQ(binWindow().top(), binTopAt(badgeTop())) << "badge at " << badgeTop();
}

// ------------------------------------------------------------ flat views

TEST_F(Restore, InAFlatViewTheBadgeFollowsTheRowsTopAndTheBandStaysHidden) {
  startAndWait();
  app->breadcrumbs().selectView(list::View::Added);
  sim.advance(500);
  rightDrag(4, 4);
  sim.advance(500);
  ASSERT_TRUE(binWindow().visible());
  for (int r : {6, 3, 8}) {
    main().move(300, rowY(r));
    for (int f = 0; f < 12; ++f) {
      sim.advance(10);
      ASSERT_FALSE(bandShown()) << r << " frame " << f;
    }
    EXPECT_EQ(badgeTop(), 20 * (r - 1)) << r;
    EXPECT_EQ(binWindow().top(), binTopAt(20 * (r - 1))) << r;
  }
  // The keys too.
  main().key(keys::kDown);
  sim.advance(500);
  EXPECT_EQ(badgeTop(), 20 * 8);
  EXPECT_FALSE(bandShown());
}

// ------------------------------------------------------------ the clear part

class Short : public StartUp {
 protected:
  SimWindow& main() { return host(app->mainWindow()); }
  // The highlighted row's band lies wholly inside the list control.
  void expectWhollyShown() {
    const auto& l = app->list();
    const int r = app->interaction().highlightedRow();
    ASSERT_GT(r, 0);
    const int top = 20 * (r - l.firstRow());
    EXPECT_GE(top, 0) << "row " << r << " first " << l.firstRow();
    EXPECT_LE(top + 20, l.listHeight()) << "row " << r << " first " << l.firstRow() << " height " << l.listHeight();
  }
};

// However low the list, the key's row is shown in full.
TEST_F(Short, InAListLowerThanTwoRowsTheKeysRowIsShownInFull) {
  fs.files[kData + "\\udb"] = fixedStore(20);
  for (int screen : {268, 258}) {  // lists of 30 and 20 pixels
    sim.screen = {1920, screen};
    start();
    sim.advance(300);
    ASSERT_LT(app->list().listHeight(), 40);
    for (int key : {keys::kDown, keys::kDown, keys::kEnd, keys::kPageUp, keys::kHome, keys::kPageDown}) {
      main().key(key);
      sim.advance(600);
      SCOPED_TRACE(testing::Message() << "screen " << screen << " key " << key);
      expectWhollyShown();
    }
    app.reset();
  }
}

// A list of two to three rows: the keys still step through every row, and
// Page Down / Page Up move.
TEST_F(Short, InAListOfTwoOrThreeRowsEveryRowIsReachedByTheKeys) {
  fs.files[kData + "\\udb"] = fixedStore(8);  // rows 2 .. 9
  for (int screen : {288, 308}) {             // lists of 50 and 70 pixels
    sim.screen = {1920, screen};
    start();
    sim.advance(300);
    std::vector<int> seen;
    for (int i = 0; i < 10; ++i) {
      main().key(keys::kDown);
      sim.advance(600);
      seen.push_back(app->interaction().highlightedRow());
      expectWhollyShown();
    }
    EXPECT_EQ(seen.back(), 9) << screen;
    main().key(keys::kPageUp);
    sim.advance(600);
    EXPECT_LT(app->interaction().highlightedRow(), 9) << screen;
    app.reset();
  }
}

// ------------------------------------------------------------ the focus

class Focus : public Restore {
 protected:
  platform::sim::SimEditBox& searchBox() { return static_cast<platform::sim::SimEditBox&>(app->searchBox().edit()); }
};

// A panel shown over the list keeps its boxes' focus whatever the pointer
// does below.
TEST_F(Focus, WithTheBookmarkPanelShownThePointerTakesNoFocusFromItsBox) {
  startAndWait();
  main().move(120, rowY(3));
  main().click(30, 125);  // the add button: the panel
  ASSERT_NE(app->overlay().shown(), -1);
  auto& title = static_cast<platform::sim::SimEditBox&>(app->editPanel().titleBox().edit());
  title.focus();
  for (int r = 2; r < 8; ++r) main().move(120, rowY(r));
  sim.advance(300);
  EXPECT_EQ(sim.focusedEdit, &title);
}

// In restore mode the pointer gives the list the focus as elsewhere, and a
// search being typed keeps it.
TEST_F(Focus, InRestoreModeThePointerTakesTheFocusFromAnEmptySearchBoxOnly) {
  startAndWait();
  rightDrag(2, 2);
  sim.advance(500);
  searchBox().focus();
  main().move(120, rowY(4));
  main().move(120, rowY(5));
  EXPECT_EQ(sim.focusedEdit, nullptr);
  EXPECT_EQ(sim.focused, &main());
  sim.pressKey('B');
  sim.advance(500);
  ASSERT_EQ(sim.focusedEdit, &searchBox());
  main().move(120, rowY(3));
  main().move(120, rowY(2));
  EXPECT_EQ(sim.focusedEdit, &searchBox());
}

}  // namespace
}  // namespace lh::app
