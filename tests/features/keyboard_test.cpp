// The program by keyboard (simulator): the list's highlight moved by keys,
// Enter and Backspace, typing into the search box, the hot key, and what a
// screen reader is told.
#include <gtest/gtest.h>

#include "../app/app_fixture.h"
#include "features/hot_key.h"
#include "store/codec.h"

namespace lh::app {
namespace {

using namespace simtest;
namespace keys = platform::keys;
using platform::AccessibleNode;
using platform::AccessibleRole;

class Keys : public StartUp {
 protected:
  SimWindow& main() { return host(app->mainWindow()); }
  platform::sim::SimEditBox& searchBox() { return static_cast<platform::sim::SimEditBox&>(app->searchBox().edit()); }
  list::ListInteraction& interaction() { return app->interaction(); }
  // A key, and the highlight's and the scroll's animations run out.
  void press(int key, int modifiers = 0) {
    main().key(key, modifiers);
    sim.advance(500);
  }
  int highlightTop() { return app->listCanvas().box().getTop(app->list().hoverHighlight()); }
  // The highlight stands on row r (absolute) of the list as it is scrolled.
  void expectHighlightOn(int r) {
    EXPECT_EQ(interaction().highlightedRow(), r);
    EXPECT_EQ(highlightTop(), 20 * (r - app->list().firstRow()) - 3);
    EXPECT_TRUE(app->listCanvas().box().hasPicture(app->list().hoverHighlight()));
  }
  // The list has come to rest with row r in full view, clear of the fades
  // at its top and bottom.
  void expectInView(int r) {
    const list::BookmarkList& l = app->list();
    EXPECT_GE(r, l.firstRow() + 1);
    EXPECT_LE(r, l.firstRow() + l.clearRowsInView());
    EXPECT_EQ(l.shownOffset(), -20 * (l.firstRow() - 1));  // the smooth scroll ended on whole rows
  }
  // Root (1) holds category 14 (empty) then bookmarks 11-13, built from the
  // log.
  void withCategoryOfTwo() {
    fs.files[kData + "\\bein"] =
        store::encodeRecord({store::LogOp::AddCategory, {store::intField(1), store::dateField(1.0), "Twenty"}});
  }
  // As withCategoryOfTwo, with bookmarks 15 and 16 in 14; started, and 14
  // opened by keys.
  void startInFilledCategory() {
    withCategoryOfTwo();
    for (const char* n : {"in0", "in1"}) {
      fs.files[kData + "\\bein"] += store::encodeRecord(
          {store::LogOp::AddBookmark,
           {n, std::string("http://") + n + ".com/", "", store::intField(14), store::dateField(1.0), store::intField(-1)}});
    }
    start();
    sim.advance(300);
    press(keys::kDown);
    press(keys::kEnter);
    ASSERT_EQ(app->list().category(), 14);
    ASSERT_EQ(app->list().rowCount(), 3);
  }
  // The middle of row r's band on screen.
  int rowY(int r) { return app->listTop() + 20 * (r - 1) + 5; }
  std::vector<store::EntryId> members(store::EntryId c) { return app->store().members(c); }
};

TEST_F(Keys, UpAndDownMoveRowByRowSkippingTheLeadRowAndStopAtTheEnds) {
  start();
  sim.advance(300);
  EXPECT_EQ(interaction().highlightedRow(), 0);
  press(keys::kDown);  // nothing highlighted: the first row that opens something
  expectHighlightOn(2);
  press(keys::kDown);
  expectHighlightOn(3);
  press(keys::kDown);
  expectHighlightOn(4);
  press(keys::kDown);  // the last row: it stays
  expectHighlightOn(4);
  press(keys::kUp);
  press(keys::kUp);
  expectHighlightOn(2);
  press(keys::kUp);  // the lead row above is skipped: it stays
  expectHighlightOn(2);
  EXPECT_TRUE(sim.launches.empty());
}

TEST_F(Keys, SeparatorsAreSkipped) {
  start();
  sim.advance(300);
  EXPECT_NE(app->store().addSeparator(1, 12), 0);  // before bookmark 12: rows 2 (11), 3 (separator), 4 (12), 5 (13)
  app->list().showCategory(1, 1);
  press(keys::kDown);
  expectHighlightOn(2);
  press(keys::kDown);
  expectHighlightOn(4);
  press(keys::kUp);
  expectHighlightOn(2);
  // The pointer's band on the separator: the keys go on from there.
  main().move(120, rowY(3));
  sim.advance(300);
  ASSERT_EQ(interaction().highlightedRow(), 0);  // a separator opens nothing
  press(keys::kDown);
  expectHighlightOn(4);
  main().move(120, rowY(3) + 1);
  sim.advance(300);
  press(keys::kUp);
  expectHighlightOn(2);
}

TEST_F(Keys, PagesHomeAndEndScrollTheListSmoothlyToKeepTheRowInView) {
  fs.files[kData + "\\udb"] = fixedStore(200);
  start();
  sim.advance(300);
  const int clear = app->list().clearRowsInView();
  ASSERT_GT(clear, 5);
  ASSERT_LT(clear, app->list().rowsInView());
  const int page = clear;  // a page turn moves the highlight by page - 1 rows
  press(keys::kEnd);
  expectHighlightOn(201);
  expectInView(201);
  EXPECT_GT(app->list().firstRow(), 1);
  EXPECT_EQ(app->list().firstRow() + clear, 201);  // scrolled just far enough: above the bottom fade
  // The thumb went with the list, and the indicator.
  EXPECT_GT(app->listCanvas().box().getTop(app->list().thumb()), 0);
  press(keys::kHome);
  expectHighlightOn(2);
  expectInView(2);
  EXPECT_EQ(app->list().firstRow(), 1);
  press(keys::kPageDown);
  expectHighlightOn(2 + page - 1);
  expectInView(2 + page - 1);
  press(keys::kPageDown);
  expectHighlightOn(2 + 2 * (page - 1));
  expectInView(2 + 2 * (page - 1));
  press(keys::kPageUp);
  expectHighlightOn(2 + page - 1);
  expectInView(2 + page - 1);
  // Down at the bottom of the view scrolls by one row only.
  const int first = app->list().firstRow();
  const int bottom = first + clear;
  while (interaction().highlightedRow() < bottom) press(keys::kDown);
  press(keys::kDown);
  expectHighlightOn(bottom + 1);
  EXPECT_EQ(app->list().firstRow(), first + 1);
  press(keys::kPageDown);
  press(keys::kPageDown);
  press(keys::kPageDown);
  press(keys::kPageDown);
  press(keys::kPageDown);  // past the end: the last row
  expectHighlightOn(201);
}

// The list at rest where the keys or the wheel left it: the rows shown are
// the rows firstRow names, and the indicator and the category's remembered
// row say the same.
void expectCoherent(Application& app) {
  const list::BookmarkList& l = app.list();
  EXPECT_EQ(l.shownOffset(), -20 * (l.firstRow() - 1));
  EXPECT_EQ(app.firstRowLabel().caption(), std::to_string(l.firstRow()));
  if (const auto c = l.category()) EXPECT_EQ(app.store().entry(*c).scrollRow, l.firstRow());
}

TEST_F(Keys, TheWheelGoesOnFromWhereTheKeysScrolled) {
  fs.files[kData + "\\udb"] = fixedStore(1000);
  start();
  sim.advance(300);
  // Down past the bottom of the clear view: one row, which leaves the thumb
  // of so long a list at the top of its track.
  for (int i = 0; i < app->list().clearRowsInView() + 1; ++i) press(keys::kDown);
  ASSERT_EQ(app->list().firstRow(), 2);
  ASSERT_EQ(app->listCanvas().box().getTop(app->list().thumb()), 0);
  expectCoherent(*app);
  main().events.wheel(1, 120, rowY(2));
  sim.advance(600);
  EXPECT_EQ(app->list().firstRow(), 1);
  expectCoherent(*app);
  // Pages down, then the wheel: further down from there, and back up.
  for (int i = 0; i < 20; ++i) press(keys::kPageDown);
  const int keyed = app->list().firstRow();
  expectCoherent(*app);
  main().events.wheel(-1, 120, rowY(2));
  sim.advance(600);
  EXPECT_GT(app->list().firstRow(), keyed);
  expectCoherent(*app);
  main().events.wheel(1, 120, rowY(2));
  sim.advance(600);
  EXPECT_LT(app->list().firstRow(), keyed + 2);
  expectCoherent(*app);
}

TEST_F(Keys, InAWindowOfAFewRowsTheWheelNeverLeavesTheRowsShownApartFromFirstRow) {
  fs.files[kData + "\\udb"] = fixedStore(7);  // rows 2-8, too few for the thumb to scroll
  sim.screen = {1920, 338};                      // a list of 100 pixels: five rows
  start();
  sim.advance(300);
  ASSERT_EQ(app->list().rowsInView(), 5);
  ASSERT_EQ(app->list().clearRowsInView(), 3);
  press(keys::kEnd);
  ASSERT_EQ(app->list().firstRow(), 5);
  expectCoherent(*app);
  main().events.wheel(-1, 120, rowY(2));  // down: the thumb cannot scroll this list
  sim.advance(600);
  EXPECT_EQ(app->list().firstRow(), 5);
  expectCoherent(*app);
  // A click on the second row shown opens the bookmark shown there (row 6).
  main().click(120, rowY(2));
  ASSERT_EQ(sim.launches.size(), 1u);
  EXPECT_EQ(sim.launches[0], "\"C:\\B\\b.exe\" \"http://x4.com/\"");
  main().events.wheel(1, 120, rowY(2));  // up: back to the top
  sim.advance(600);
  EXPECT_EQ(app->list().firstRow(), 1);
  expectCoherent(*app);
}

TEST_F(Keys, WithNothingHighlightedThePageKeysGoFromTheRowsInView) {
  fs.files[kData + "\\udb"] = fixedStore(1000);
  start();
  sim.advance(300);
  const int clear = app->list().clearRowsInView();
  auto wheelDown = [&](int notches) {
    for (int i = 0; i < notches; ++i) {
      main().events.wheel(-1, 120, rowY(2));
      sim.advance(600);
    }
  };
  wheelDown(5);  // the wheel leaves nothing highlighted
  const int first = app->list().firstRow();
  ASSERT_GT(first, 2 * clear);
  ASSERT_EQ(interaction().highlightedRow(), 0);
  press(keys::kPageDown);  // to the last row clear of the bottom fade
  expectHighlightOn(first + clear);
  EXPECT_EQ(app->list().firstRow(), first);
  wheelDown(3);
  const int further = app->list().firstRow();
  ASSERT_EQ(interaction().highlightedRow(), 0);
  press(keys::kPageUp);  // a page above the first clear row in view
  expectHighlightOn(further + 1 - (clear - 1));
  expectInView(further + 1 - (clear - 1));
}

TEST_F(Keys, EnterOpensTheHighlightedRowAsAClickAndBackspaceGoesBackABar) {
  withCategoryOfTwo();
  start();
  sim.advance(300);
  // Row 2 is category 14, rows 3-5 bookmarks 11-13.
  press(keys::kEnter);  // nothing highlighted: nothing opens
  EXPECT_EQ(app->list().category(), 1);
  press(keys::kDown);
  press(keys::kDown);
  press(keys::kEnter);
  ASSERT_EQ(sim.launches.size(), 1u);
  EXPECT_EQ(sim.launches[0], "\"C:\\B\\b.exe\" \"http://x0.com/\"");
  EXPECT_EQ(app->store().entry(11).visitCount, 1);
  press(keys::kUp);
  press(keys::kEnter);  // the category opens under a new bar
  EXPECT_EQ(app->list().category(), 14);
  EXPECT_EQ(app->breadcrumb().size(), 2u);
  EXPECT_EQ(interaction().highlightedRow(), 0);  // the new list starts unhighlighted
  press(keys::kDown);  // an empty category: nothing to move to
  EXPECT_EQ(interaction().highlightedRow(), 0);
  press(keys::kBack);
  EXPECT_EQ(app->list().category(), 1);
  EXPECT_EQ(app->breadcrumb().size(), 1u);
  press(keys::kBack);  // at the root: nothing
  EXPECT_EQ(app->list().category(), 1);
  EXPECT_EQ(app->breadcrumb().size(), 1u);
  EXPECT_EQ(sim.launches.size(), 1u);
}

TEST_F(Keys, EnterAndBackspaceDuringTheBarsPushLandWhereAClickWould) {
  withCategoryOfTwo();
  start();
  sim.advance(300);
  press(keys::kDown);
  main().key(keys::kEnter);  // opens 14: its bar starts sliding in
  sim.advance(30);
  main().key(keys::kBack);  // mid-push: the push ends, then the bar goes
  sim.advance(500);
  EXPECT_EQ(app->list().category(), 1);
  EXPECT_EQ(app->breadcrumb().size(), 1u);
  EXPECT_EQ(app->header().getTop(app->breadcrumb()[0]), 158);
  EXPECT_EQ(app->listCanvas().top(), 202);
  press(keys::kDown);
  expectHighlightOn(2);
}

TEST_F(Keys, AFlatViewSkipsSpacersAndHeadings) {
  start();
  sim.advance(300);
  app->breadcrumbs().selectView(list::View::Domain);
  sim.advance(500);
  ASSERT_TRUE(app->list().inFlatView());
  // Each site has a spacer and a heading in front of its bookmark.
  std::vector<int> bookmarkRows;
  for (int r = 1; r <= app->list().rowCount(); ++r) {
    if (app->list().idAtRow(r) > 0) bookmarkRows.push_back(r);
  }
  ASSERT_EQ(bookmarkRows.size(), 3u);
  for (int r : bookmarkRows) {
    press(keys::kDown);
    expectHighlightOn(r);
  }
  press(keys::kHome);
  expectHighlightOn(bookmarkRows[0]);
  press(keys::kEnd);
  expectHighlightOn(bookmarkRows[2]);
  press(keys::kEnter);
  ASSERT_EQ(sim.launches.size(), 1u);
  press(keys::kBack);  // leaves the view for the category
  EXPECT_EQ(app->list().category(), 1);
  EXPECT_EQ(app->breadcrumb().size(), 1u);
}

TEST_F(Keys, ThePointersNextMoveTakesOverButAMoveToWhereItWasDoesNot) {
  start();
  sim.advance(300);
  main().move(120, 202 + 20 * 2 + 5);  // over row 3
  sim.advance(300);
  expectHighlightOn(3);
  press(keys::kDown);
  expectHighlightOn(4);
  // The system repeats the pointer's position (a window changed): no move.
  main().move(120, 202 + 20 * 2 + 5);
  sim.advance(300);
  expectHighlightOn(4);
  main().move(120, 202 + 20 * 1 + 5);  // over row 2
  sim.advance(300);
  expectHighlightOn(2);
  // Keys go on from where the pointer left the highlight.
  press(keys::kDown);
  expectHighlightOn(3);
  // A click where the pointer is opens the pointed row, not the keyed one.
  main().click(120, 202 + 20 * 1 + 5);
  ASSERT_EQ(sim.launches.size(), 1u);
  EXPECT_EQ(sim.launches[0], "\"C:\\B\\b.exe\" \"http://x0.com/\"");
}

TEST_F(Keys, KeysDuringASortOrUnderAPanelDoNothing) {
  fs.files[kData + "\\udb"] = fixedStore(3000);
  start();
  sim.advance(300);
  int ran = 0;
  sim.post([&] {
    ++ran;
    main().key(keys::kDown);
    main().key(keys::kEnter);
    main().key(keys::kBack);
  });
  main().click(120, 165);  // the top bar: the visit-count view, sorted
  EXPECT_EQ(ran, 1);
  EXPECT_TRUE(sim.launches.empty());
  EXPECT_TRUE(app->list().inFlatView());
  EXPECT_EQ(app->breadcrumb().size(), 2u);
  sim.advance(600);
  // The add panel covers the list: keys and typing go nowhere.
  app->editPanel().openAddPanel();
  press(keys::kDown);
  main().typeCharacter("q");
  EXPECT_EQ(interaction().highlightedRow(), 0);
  EXPECT_EQ(searchBox().text(), "");
}

// Going back a bar while a button is held on the list: the rows under the
// press change, so the press ends; its release neither clicks nor deletes
// rows of the list now shown.
TEST_F(Keys, GoingBackWhileTheRightButtonSelectsRowsDeletesNothing) {
  startInFilledCategory();
  const std::vector<store::EntryId> root = members(1), inner = members(14);
  main().move(120, rowY(2));
  main().press(120, rowY(2), platform::MouseButton::Right);
  ASSERT_TRUE(interaction().deletion().selecting());
  main().key(keys::kBack);
  ASSERT_EQ(app->list().category(), 1);
  // Row 2 of the root is category 14 itself.
  main().release(120, rowY(2), platform::MouseButton::Right);
  sim.advance(500);
  EXPECT_EQ(members(1), root);
  EXPECT_EQ(members(14), inner);
  EXPECT_TRUE(members(store::kRecycleBin).empty());
  EXPECT_FALSE(interaction().deletion().selecting());
  press(keys::kDown);
  expectHighlightOn(2);
}

TEST_F(Keys, GoingBackWhileTheLeftButtonIsHeldOpensNothingAndInsertsNoSeparator) {
  startInFilledCategory();
  const std::vector<store::EntryId> root = members(1);
  main().move(120, rowY(3));
  main().press(120, rowY(3));
  main().key(keys::kBack);
  // Row 3 of the root is bookmark 11.
  main().release(120, rowY(3));
  EXPECT_TRUE(sim.launches.empty());
  EXPECT_EQ(app->store().entry(11).visitCount, 0);
  sim.advance(SimWindow::kDoubleClickMs + 100);
  press(keys::kDown);
  press(keys::kEnter);
  ASSERT_EQ(app->list().category(), 14);
  // Held and moved to another row after going back: no separator.
  main().move(120, rowY(3));
  main().press(120, rowY(3));
  main().key(keys::kBack);
  main().move(120, rowY(4), true);
  main().release(120, rowY(4));
  EXPECT_EQ(members(1), root);
  EXPECT_TRUE(sim.launches.empty());
}

TEST_F(Keys, EmptyingTheSearchBoxWhileTheRightButtonSelectsResultsDeletesNothing) {
  start();
  sim.advance(300);
  const std::vector<store::EntryId> root = members(1);
  main().key('B');
  sim.advance(500);
  ASSERT_TRUE(app->list().inFlatView());
  main().move(120, rowY(3));
  main().press(120, rowY(3), platform::MouseButton::Right);
  EXPECT_TRUE(searchBox().pressKey(keys::kEscape));  // the category comes back
  ASSERT_EQ(app->list().category(), 1);
  main().release(120, rowY(3), platform::MouseButton::Right);
  sim.advance(500);
  EXPECT_EQ(members(1), root);
  EXPECT_TRUE(members(store::kRecycleBin).empty());
}

TEST_F(Keys, ARightButtonSelectionThatASortInterruptsEndsAndTheKeysWorkAgain) {
  start();
  sim.advance(300);
  main().move(120, rowY(3));
  main().press(120, rowY(3), platform::MouseButton::Right);
  main().key('B');  // the search sorts, taking the list's input
  main().release(120, rowY(3), platform::MouseButton::Right);
  sim.advance(500);
  EXPECT_TRUE(members(store::kRecycleBin).empty());
  EXPECT_FALSE(interaction().deletion().selecting());
  // The band follows the pointer again, and the keys move it.
  main().move(120, rowY(4));
  sim.advance(300);
  EXPECT_TRUE(app->listCanvas().box().hasPicture(app->list().hoverHighlight()));
  press(keys::kDown);
  EXPECT_NE(interaction().highlightedRow(), 0);
}

TEST_F(Keys, AfterAThumbDragTheKeysMoveTheHighlightAndTheNextRowGetsNoSeparator) {
  fs.files[kData + "\\udb"] = fixedStore(200);
  start();
  sim.advance(300);
  const std::vector<store::EntryId> root = members(1);
  const int thumbY = app->listTop() + app->listCanvas().box().getTop(app->list().thumb()) + 40;
  main().move(336, thumbY);
  main().press(336, thumbY);
  main().move(336, thumbY + 100, true);
  main().release(336, thumbY + 100);
  sim.advance(500);
  const int first = app->list().firstRow();
  ASSERT_GT(first, 1);
  press(keys::kDown);
  expectHighlightOn(first + 1);  // the first row clear of the top fade
  // The pointer leaves the thumb's column along its row, then goes down one.
  main().move(200, thumbY + 100);
  main().move(200, thumbY + 120);
  sim.advance(500);
  EXPECT_EQ(members(1), root);
}

TEST_F(Keys, KeysDuringTheSmoothScrollHeadOnFromWhereTheScrollIsGoing) {
  fs.files[kData + "\\udb"] = fixedStore(200);
  start();
  sim.advance(300);
  main().key(keys::kEnd);
  sim.advance(40);  // the list is still on its way down
  main().key(keys::kUp);
  main().key(keys::kUp);
  sim.advance(600);
  expectHighlightOn(199);
  expectInView(199);
}

TEST_F(Keys, TypingStartsASearchInTheBoxAndEscEmptiesIt) {
  start();
  sim.advance(300);
  main().key('X');
  main().key('1');
  sim.advance(500);
  EXPECT_EQ(searchBox().text(), "x1");
  EXPECT_TRUE(searchBox().hasFocus());
  EXPECT_TRUE(app->list().inFlatView());  // the search shows its results
  ASSERT_EQ(app->list().results(), (std::vector<store::EntryId>{12}));
  // Ctrl and Alt combinations type nothing.
  main().key('C', platform::kCtrl);
  EXPECT_EQ(searchBox().text(), "x1");
  // Down in the box goes on to the results.
  sim.focused = nullptr;
  EXPECT_TRUE(searchBox().pressKey(keys::kDown));
  EXPECT_EQ(sim.focused, &main());
  sim.advance(500);
  EXPECT_EQ(app->list().idAtRow(interaction().highlightedRow()), 12);
  // Esc in the box empties it and the category comes back; a second Esc
  // hands the keys back to the list.
  searchBox().focus();
  sim.focused = nullptr;
  EXPECT_TRUE(searchBox().pressKey(keys::kEscape));
  sim.advance(500);
  EXPECT_EQ(searchBox().text(), "");
  EXPECT_EQ(app->list().category(), 1);
  EXPECT_EQ(app->breadcrumb().size(), 1u);
  EXPECT_EQ(sim.focused, nullptr);
  EXPECT_TRUE(searchBox().pressKey(keys::kEscape));
  EXPECT_EQ(sim.focused, &main());
  EXPECT_FALSE(searchBox().pressKey('A'));  // other keys are the box's own
}

// The pointer over the list gives it the keys; a search being typed keeps
// them in its box, whose Page keys still reach the list.
TEST_F(Keys, ThePointerOverTheListTakesTheFocusFromAnEmptySearchBoxButNotFromATypedSearch) {
  fs.files[kData + "\\udb"] = fixedStore(200);
  start();
  sim.advance(300);
  main().move(120, rowY(2));  // the window is active from here on
  searchBox().focus();        // a click into the box
  ASSERT_EQ(sim.focusedEdit, &searchBox());
  main().move(120, rowY(3));
  main().move(120, rowY(4));
  sim.advance(300);
  EXPECT_EQ(sim.focusedEdit, nullptr);
  EXPECT_EQ(sim.focused, &main());
  const int pointed = interaction().highlightedRow();
  ASSERT_EQ(pointed, 4);
  sim.pressKey(keys::kPageDown);
  sim.advance(500);
  EXPECT_EQ(interaction().highlightedRow(), pointed + app->list().clearRowsInView() - 1);
  // Typing now still goes into the box, and the box keeps the focus when
  // the pointer passes over the results.
  sim.pressKey('X');
  sim.advance(500);
  ASSERT_EQ(searchBox().text(), "x");
  ASSERT_EQ(sim.focusedEdit, &searchBox());
  main().move(120, rowY(3));
  main().move(120, rowY(4));
  sim.advance(300);
  EXPECT_EQ(sim.focusedEdit, &searchBox());
  sim.pressKey('1');
  sim.advance(500);
  EXPECT_EQ(searchBox().text(), "x1");
  // Its Page and Up keys move the list's highlight; the box keeps the keys.
  main().move(120, rowY(3));
  sim.advance(300);
  const int before = interaction().highlightedRow();
  ASSERT_GT(before, 0);
  sim.pressKey(keys::kPageDown);
  sim.advance(500);
  EXPECT_GT(interaction().highlightedRow(), before);
  sim.pressKey(keys::kUp);
  sim.advance(500);
  EXPECT_EQ(sim.focusedEdit, &searchBox());
  sim.pressKey('2');
  EXPECT_EQ(searchBox().text(), "x12");
}

TEST_F(Keys, AHanziTypedThroughAnInputMethodSearchesToo) {
  fs.files[kData + "\\bein"] = store::encodeRecord(
      {store::LogOp::AddBookmark,
       {"中国", "http://gov.cn/", "", store::intField(1), store::dateField(1.0), store::intField(-1)}});
  start();
  sim.advance(300);
  main().typeCharacter("中");
  sim.advance(500);
  EXPECT_EQ(searchBox().text(), "中");
  ASSERT_EQ(app->list().results().size(), 1u);
  EXPECT_EQ(app->store().entry(app->list().results()[0]).title, "中国");
}

// ------------------------------------------------------------ screen readers

const AccessibleNode* childNamed(const AccessibleNode& n, const std::string& name) {
  for (const AccessibleNode& c : n.children) {
    if (c.name == name) return &c;
  }
  return nullptr;
}

TEST_F(Keys, AReaderFindsTheRowsBarsAndLabelsAndTheFocusFollowsTheKeys) {
  withCategoryOfTwo();
  start();
  sim.advance(300);
  AccessibleNode tree = main().accessibleTree();
  EXPECT_EQ(tree.role, AccessibleRole::Client);
  ASSERT_FALSE(tree.children.empty());
  const AccessibleNode& list = tree.children[0];
  EXPECT_EQ(list.role, AccessibleRole::List);
  ASSERT_EQ(list.children.size(), 4u);  // category 14 and bookmarks 11-13; not the lead row
  EXPECT_EQ(list.children[0].name, "Twenty");
  EXPECT_EQ(list.children[0].value, "");
  EXPECT_EQ(list.children[1].name, "b0");
  EXPECT_EQ(list.children[1].value, "http://x0.com/");
  EXPECT_EQ(list.children[1].role, AccessibleRole::ListItem);
  EXPECT_EQ(list.children[1].bounds, (platform::Bounds{0, 202 + 40, 320, 20}));
  for (const AccessibleNode& item : list.children) EXPECT_FALSE(item.focused);
  // The root's bar, named by its category, and the bottom bar's labels.
  const AccessibleNode* rootBar = childNamed(tree, "f1");
  ASSERT_NE(rootBar, nullptr);
  EXPECT_EQ(rootBar->role, AccessibleRole::PushButton);
  EXPECT_EQ(rootBar->bounds.top, 158);
  for (const char* name : {"导入", "导出", "退出", "添加收藏", "新建分类"}) {
    const AccessibleNode* b = childNamed(tree, name);
    ASSERT_NE(b, nullptr) << name;
    EXPECT_EQ(b->role, AccessibleRole::PushButton) << name;
  }
  // The labels of pages not shown are not there.
  EXPECT_EQ(childNamed(tree, "开始"), nullptr);

  press(keys::kDown);
  press(keys::kDown);
  ASSERT_EQ(sim.windows.empty(), false);
  ASSERT_EQ(main().accessibleFocusEvents.size(), 2u);
  EXPECT_EQ(main().accessibleFocusEvents[1], (std::pair<int, int>{0, 1}));
  tree = main().accessibleTree();
  EXPECT_TRUE(tree.children[0].children[1].focused);
  EXPECT_TRUE(tree.children[0].children[1].selected);
  EXPECT_FALSE(tree.children[0].children[0].focused);
}

TEST_F(Keys, TheReadersItemsAreTheRowsInViewAndTheFocusIndexFollowsAScroll) {
  fs.files[kData + "\\udb"] = fixedStore(200);
  start();
  sim.advance(300);
  press(keys::kEnd);
  const AccessibleNode tree = main().accessibleTree();
  const AccessibleNode& list = tree.children[0];
  // The rows from the one under the top fade down to the last, which the
  // keys brought above the bottom fade.
  EXPECT_EQ(static_cast<int>(list.children.size()), app->list().clearRowsInView() + 1);
  EXPECT_EQ(list.children.back().name, "b199");
  EXPECT_TRUE(list.children.back().focused);
  ASSERT_FALSE(main().accessibleFocusEvents.empty());
  EXPECT_EQ(main().accessibleFocusEvents.back(),
            (std::pair<int, int>{0, static_cast<int>(list.children.size()) - 1}));
}

TEST_F(Keys, AnUntitledBookmarkIsReadByItsAddressButAnUntitledCategoryByNothing) {
  start();
  sim.advance(300);
  EXPECT_NE(app->store().addCategory(1, 1.0, ""), 0);
  EXPECT_NE(app->store().addBookmark("", "http://untitled.org/", "", 1, 1.0, -1), 0);
  app->list().showCategory(1, 1);
  const AccessibleNode tree = main().accessibleTree();
  std::vector<std::string> names;
  for (const AccessibleNode& item : tree.children[0].children) names.push_back(item.name);
  EXPECT_NE(std::find(names.begin(), names.end(), "http://untitled.org/"), names.end()) << ::testing::PrintToString(names);
  for (const std::string& n : names) EXPECT_EQ(n.find('u') == 0 && n.size() > 1 && n[1] >= '0' && n[1] <= '9', false) << n;
  EXPECT_NE(std::find(names.begin(), names.end(), ""), names.end());  // the category: no name rather than its members
}

TEST_F(Keys, AReaderAskingDuringASortIsGivenTheListWithoutItems) {
  fs.files[kData + "\\udb"] = fixedStore(3000);
  start();
  sim.advance(300);
  std::size_t itemsDuringSort = 99;
  sim.post([&] { itemsDuringSort = main().accessibleTree().children[0].children.size(); });
  main().click(120, 165);  // the top bar: the visit-count view, sorted while messages go through
  EXPECT_EQ(itemsDuringSort, 0u);
  EXPECT_FALSE(main().accessibleTree().children[0].children.empty());
}

TEST_F(Keys, APageOverTheListHidesItsRowsBarsAndIndicatorFromTheReader) {
  start();
  sim.advance(300);
  ASSERT_EQ(main().accessibleTree().children[0].children.size(), 3u);
  ASSERT_NE(childNamed(main().accessibleTree(), "3"), nullptr);  // the indicator's row count
  app->about().show();
  AccessibleNode tree = main().accessibleTree();
  ASSERT_FALSE(tree.children.empty());
  EXPECT_EQ(tree.children[0].role, AccessibleRole::List);
  EXPECT_TRUE(tree.children[0].children.empty());
  EXPECT_EQ(childNamed(tree, "f1"), nullptr);
  EXPECT_EQ(childNamed(tree, "3"), nullptr);
  // The page's own text is read, and the bottom bar below it.
  bool aboutText = false;
  for (const AccessibleNode& c : tree.children) aboutText = aboutText || c.name == app->about().text().caption();
  EXPECT_TRUE(aboutText);
  EXPECT_NE(childNamed(tree, "退出"), nullptr);
  app->overlay().hide();
  tree = main().accessibleTree();
  EXPECT_EQ(tree.children[0].children.size(), 3u);
  EXPECT_NE(childNamed(tree, "f1"), nullptr);
}

TEST_F(Keys, AFlatViewShowsItsTabsWithTheSortedOneSelected) {
  start();
  sim.advance(300);
  app->breadcrumbs().selectView(list::View::Added);
  sim.advance(500);
  const AccessibleNode tree = main().accessibleTree();
  int tabs = 0;
  for (const AccessibleNode& c : tree.children) {
    if (c.role != AccessibleRole::PageTab) continue;
    ++tabs;
    EXPECT_EQ(c.selected, c.name == "添加") << c.name;
  }
  EXPECT_EQ(tabs, 4);
  EXPECT_NE(childNamed(tree, "视图"), nullptr);
  EXPECT_EQ(tree.children[0].children.size(), 3u);  // the headings are no items
}

// ------------------------------------------------------------ the hot key

TEST(HotKeyText, ModifiersAndAKeyInAnyCaseAndSpacing) {
  using features::HotKeySpec;
  using features::parseHotKey;
  EXPECT_EQ(parseHotKey("Ctrl+Alt+B"), (HotKeySpec{'B', platform::kCtrl | platform::kAlt}));
  EXPECT_EQ(parseHotKey(" control + shift + f12 "), (HotKeySpec{0x7B, platform::kCtrl | platform::kShift}));
  EXPECT_EQ(parseHotKey("alt+3"), (HotKeySpec{'3', platform::kAlt}));
  EXPECT_EQ(parseHotKey("Ctrl+F1"), (HotKeySpec{0x70, platform::kCtrl}));
  for (const char* bad : {"B", "Shift+B", "Ctrl+", "Ctrl+Ctrl+B", "Ctrl+Alt+BB", "Ctrl+F25", "Ctrl+F0", "Ctrl+F01",
                          "Win+B", "Ctrl+Alt+中", "+", ""}) {
    EXPECT_FALSE(parseHotKey(bad).has_value()) << bad;
  }
}

TEST_F(Keys, TheHotKeySlidesTheWindowOutAndBackInWithTheFocus) {
  start();
  sim.advance(1000);
  const int docked = app->mainWindow().left();
  ASSERT_EQ(sim.hotKey, (std::pair<int, int>{'B', platform::kCtrl | platform::kAlt}));
  EXPECT_TRUE(sim.balloons.empty());
  sim.focused = nullptr;
  ASSERT_TRUE(sim.pressHotKey('B', platform::kCtrl | platform::kAlt));
  sim.advance(1000);
  EXPECT_LT(app->mainWindow().left(), 0);
  EXPECT_TRUE(sim.pressHotKey('B', platform::kCtrl | platform::kAlt));
  sim.advance(1000);
  EXPECT_EQ(app->mainWindow().left(), docked);
  EXPECT_EQ(sim.focused, &main());
  EXPECT_EQ(sim.foreground, &main());
  // Pressed again during its slide out, it turns back.
  sim.pressHotKey('B', platform::kCtrl | platform::kAlt);
  sim.advance(60);
  const int midway = app->mainWindow().left();
  EXPECT_LT(midway, docked);
  EXPECT_GT(midway, -app->mainWindow().width());
  sim.pressHotKey('B', platform::kCtrl | platform::kAlt);
  sim.advance(1000);
  EXPECT_EQ(app->mainWindow().left(), docked);
  // Then keys work in the list at once.
  press(keys::kDown);
  EXPECT_EQ(interaction().highlightedRow(), 2);
}

TEST_F(Keys, TheHotKeyAfterTheWindowsWereHiddenBringsTheBinWindowBackWhenInUse) {
  start();
  sim.advance(300);
  main().move(120, rowY(2));
  main().press(120, rowY(2), platform::MouseButton::Right);
  main().release(120, rowY(2), platform::MouseButton::Right);  // bookmark 11 to the bin
  sim.advance(500);
  ASSERT_TRUE(app->recycleBinWindow().visible());
  app->docking().hideAll();  // the top strip's right click
  ASSERT_FALSE(app->mainWindow().visible());
  ASSERT_TRUE(sim.pressHotKey('B', platform::kCtrl | platform::kAlt));
  sim.advance(1000);
  EXPECT_TRUE(app->mainWindow().visible());
  EXPECT_TRUE(app->recycleBinWindow().visible());
  EXPECT_EQ(app->recycleBinWindow().left(), app->mainWindow().left() + app->mainWindow().width() + 10);
}

TEST_F(Keys, TheHotKeyComesFromTheSettingsAndAnEmptyValueTurnsItOff) {
  fs.files[kData + "\\config.ini"] += "[选项]\r\n热键=Ctrl+Shift+F5\r\n";
  start();
  sim.advance(300);
  EXPECT_EQ(sim.hotKey, (std::pair<int, int>{0x74, platform::kCtrl | platform::kShift}));
  EXPECT_FALSE(sim.pressHotKey('B', platform::kCtrl | platform::kAlt));
  fs.files[kData + "\\config.ini"] = "[选项]\r\n热键=\r\n";
  app->hotKey().start(fs, kData + "\\config.ini");
  EXPECT_EQ(sim.hotKey, (std::pair<int, int>{0, 0}));
  EXPECT_FALSE(app->hotKey().registered().has_value());
  EXPECT_TRUE(sim.balloons.empty());
}

TEST_F(Keys, AHotKeyTakenOrMistypedIsToldOnceAndTheProgramRunsOn) {
  sim.hotKeysTaken.insert({'B', platform::kCtrl | platform::kAlt});
  start();
  sim.advance(300);
  ASSERT_EQ(sim.balloons.size(), 1u);
  EXPECT_EQ(sim.balloons[0].text, "热键 Ctrl+Alt+B 已被其他程序占用");
  EXPECT_FALSE(app->hotKey().registered().has_value());
  press(keys::kDown);
  EXPECT_EQ(interaction().highlightedRow(), 2);
  fs.files[kData + "\\config.ini"] = "[选项]\r\n热键=Hyper+B\r\n";
  app->hotKey().start(fs, kData + "\\config.ini");
  ASSERT_EQ(sim.balloons.size(), 2u);
  EXPECT_EQ(sim.balloons[1].text, "热键 Hyper+B 无法识别");
}

}  // namespace
}  // namespace lh::app
