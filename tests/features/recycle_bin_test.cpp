// Deleting rows with the right button and the recycle bin's window, in the
// simulator: the selection's fade, the deletion in a category and in a flat
// view, the side list's flight, the gap closing, restoring at the pointed
// row with the fly-in, emptying with the slide-away, and input in the
// middle of each.
#include <gtest/gtest.h>

#include <cmath>

#include "bin_fixture.h"
#include "canvas/bmp_encode.h"
#include "store/codec.h"

namespace lh::app {
namespace {

using namespace simtest;
using platform::MouseButton;

class Bin : public BinTest {
 protected:
  void SetUp() override {
    StartUp::SetUp();
    fs.files[kData + "\\udb"] = fixedStore(5);  // root: 11 .. 15
  }
};

TEST_F(Bin, ARightDragUpwardsDeletesTheRangeIntoTheBinAndTheRowsBelowCloseTheGap) {
  startAndWait();
  ASSERT_EQ(members(1), (std::vector<store::EntryId>{11, 12, 13, 14, 15}));
  main().move(120, rowY(3));
  main().press(120, rowY(3), MouseButton::Right);
  EXPECT_TRUE(bin().binShown());  // from the press on
  main().move(120, rowY(2));
  // While selecting, rows 2 and 3 are faded to 60 %, the others opaque.
  auto& box = app->listCanvas().box();
  EXPECT_EQ(box.getTransparency(slotOfRow(2).text), 60);
  EXPECT_EQ(box.getTransparency(slotOfRow(3).icon), 60);
  EXPECT_EQ(box.getTransparency(slotOfRow(4).text), 0);
  main().release(120, rowY(2), MouseButton::Right);
  EXPECT_EQ(members(1), (std::vector<store::EntryId>{13, 14, 15}));
  EXPECT_EQ(members(store::kRecycleBin), (std::vector<store::EntryId>{11, 12}));
  const auto records = log();
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records.back().op, store::LogOp::MoveEntries);
  EXPECT_EQ(records.back().fields[0], "11u12u");
  EXPECT_EQ(store::getInt(records.back().fields[1]), 2);
  EXPECT_EQ(store::getInt(records.back().fields[2]), -2);
  // The fade is gone; the bin window stands beside the main window with the
  // two rows in list order.
  EXPECT_EQ(box.getTransparency(slotOfRow(2).text), 0);
  EXPECT_TRUE(binWindow().visible());
  EXPECT_EQ(binWindow().left(), app->mainWindow().left() + app->mainWindow().width() + 10);
  EXPECT_EQ(binWindow().height(), 40);
  EXPECT_EQ(bin().binCount(), 2);
  EXPECT_EQ(binRowText(0), "b0");
  EXPECT_EQ(binRowText(1), "b1");
  // The rows below the range start where they were (row 2, now entry 13,
  // at the old row 4's place) and slide up over 30 frames.
  const int a = 40;
  EXPECT_EQ(topOfRow(2), 20 * 1 + a);
  for (int f = 1; f <= 30; ++f) {
    sim.advance(10);
    const int d = static_cast<int>(a * std::pow(f / 30.0 - 1, 4));
    ASSERT_EQ(topOfRow(2), 20 + d) << "frame " << f;
  }
  EXPECT_EQ(topOfRow(2), 20);
}

TEST_F(Bin, StartingOnTheLeadRowDeletesFromRowTwoAndTheLeadRowAloneNothing) {
  startAndWait();
  rightDrag(1, 1);
  EXPECT_EQ(members(1).size(), 5u);
  EXPECT_FALSE(binWindow().visible());
  rightDrag(1, 2);
  EXPECT_EQ(members(1), (std::vector<store::EntryId>{12, 13, 14, 15}));
  EXPECT_EQ(members(store::kRecycleBin), (std::vector<store::EntryId>{11}));
  // Past the end alone: nothing.
  sim.advance(500);
  rightDrag(9, 10);
  EXPECT_EQ(members(1).size(), 4u);
}

TEST_F(Bin, TheSideListFliesIntoTheBinWindowFadingAndHides) {
  startAndWait();
  rightDrag(2, 4);
  ui::Window& side = app->sideListWindow();
  ASSERT_TRUE(side.visible());
  EXPECT_EQ(bin().sideListItems(), (std::vector<store::EntryId>{11, 12, 13}));
  EXPECT_EQ(side.height(), 60);
  const int x0 = app->mainWindow().left(), x1 = binWindow().left() - 38;
  for (int f = 1; f <= 30; ++f) {
    sim.advance(10);
    if (f == 30) break;
    const int x = static_cast<int>(x0 + (x1 - x0) * (1 - std::pow(2.0, -10.0 * f / 30)));
    ASSERT_EQ(side.left(), x + 39) << "frame " << f;
    ASSERT_EQ(side.top(), 20 * 1 + app->listTop() - 2) << "frame " << f;
  }
  EXPECT_FALSE(side.visible());
  EXPECT_FALSE(bin().flying());
}

TEST_F(Bin, InAFlatViewDeletedRowsStayDimmedAndCannotBeDeletedTwice) {
  startAndWait();
  app->breadcrumbs().selectView(list::View::LastVisit);
  sim.advance(500);
  // The rows: lead, then headings and bookmarks; delete the whole list.
  const int rows = app->list().rowCount();
  rightDrag(2, rows);
  EXPECT_EQ(members(store::kRecycleBin).size(), 5u);
  EXPECT_TRUE(members(1).empty());
  int dimmed = 0;
  for (store::EntryId id = 11; id <= 15; ++id) dimmed += app->store().entry(id).dimmed;
  EXPECT_EQ(dimmed, 5);
  EXPECT_EQ(app->list().rowCount(), rows);  // the rows stay
  const std::size_t logged = log().size();
  sim.advance(500);
  rightDrag(2, rows);
  EXPECT_EQ(log().size(), logged);  // nothing moved twice
}

TEST_F(Bin, RestoringBeforeThePointedRowPutsEverythingBackAndFliesIn) {
  startAndWait();
  rightDrag(2, 3);  // 11, 12 to the bin; root: 13 14 15
  sim.advance(400);
  ASSERT_TRUE(binWindow().visible());
  // 点击插入 on row 3 (entry 14): the badge follows the pointer.
  main().move(300, rowY(3));
  sim.advance(200);
  auto& box = app->listCanvas().box();
  EXPECT_TRUE(box.getVisible(app->list().insertBadge()));
  EXPECT_EQ(box.getTop(app->list().insertionLine()), box.getTop(app->list().hoverHighlight()));
  main().click(300, rowY(3));
  EXPECT_EQ(members(1), (std::vector<store::EntryId>{13, 11, 12, 14, 15}));
  EXPECT_TRUE(members(store::kRecycleBin).empty());
  const auto moved = log().back();
  EXPECT_EQ(moved.fields[0], "11u12u");
  EXPECT_EQ(store::getInt(moved.fields[1]), 1);
  EXPECT_EQ(store::getInt(moved.fields[2]), 14);
  EXPECT_TRUE(bin().restoring());
  EXPECT_FALSE(bin().strip().visible());
  // The restored rows start off the list's right edge and arrive with the
  // window; then the window is gone.
  EXPECT_EQ(box.getLeft(slotOfRow(3).background), 350);
  // The vertical approach: ten frames towards the pointed row.
  const int y0 = binWindow().top(), y1 = (3 - 1) * 20 + app->listTop() - 2;
  for (int f = 1; f <= 10; ++f) {
    sim.advance(10);
    ASSERT_EQ(binWindow().top(), static_cast<int>(y0 + (y1 - y0) * (1 - std::pow(2.0, -10.0 * f / 10)))) << f;
  }
  // The fly-in: fifteen frames from the list's right edge to its left, the
  // restored rows moving with the window.
  const int m = app->mainWindow().left(), x0 = m + 350, x1 = m - 6;
  for (int f = 1; f < 15; ++f) {
    sim.advance(10);
    const int x = static_cast<int>(x0 + (x1 - x0) * (1 - std::pow(f / 15.0 - 1, 4)));
    ASSERT_EQ(binWindow().left(), x + 39) << f;
    ASSERT_EQ(binWindow().top(), y1) << f;
    ASSERT_EQ(box.getLeft(slotOfRow(3).background), x - m + 6) << f;
    ASSERT_EQ(box.getLeft(slotOfRow(4).icon), x - m + 6 + 36) << f;
  }
  sim.advance(10);
  EXPECT_EQ(box.getLeft(slotOfRow(3).background), 0);
  EXPECT_EQ(box.getLeft(slotOfRow(4).background), 0);
  EXPECT_FALSE(binWindow().visible());
  EXPECT_FALSE(box.getVisible(app->list().insertBadge()));
}

TEST_F(Bin, RestoringBelowTheLastRowOrWithoutAPointedRowAppendsKeepingTheCategorysMembers) {
  startAndWait();
  rightDrag(2, 2);  // 11 to the bin
  sim.advance(400);
  main().move(300, rowY(9));  // below the last row
  sim.advance(200);
  bin().restoreAll(false);
  EXPECT_EQ(members(1), (std::vector<store::EntryId>{12, 13, 14, 15, 11}));
  // No row pointed at: appended as well, never replacing the members.
  rightDrag(2, 2);  // 12 to the bin
  sim.advance(400);
  main().move(300, rowY(1));  // the lead row: no entry pointed at
  sim.advance(200);
  bin().restoreAll(false);
  EXPECT_EQ(members(1), (std::vector<store::EntryId>{13, 14, 15, 11, 12}));
}

// Restore mode aims at the pointed row's top (the insertion line goes
// between rows), not at the hover band's place 3 pixels above it; the band
// itself stays invisible.
TEST_F(Bin, InRestoreModeTheLineTheBadgeAndTheWindowFollowTheRowsTopWithTheBandHidden) {
  fs.files[kData + "\\udb"] = fixedStore(9);
  startAndWait();
  rightDrag(2, 2);  // 11 to the bin; root: 12 .. 19
  sim.advance(400);
  ASSERT_TRUE(binWindow().visible());
  auto& box = app->listCanvas().box();
  const auto& l = app->list();
  for (int r : {7, 3, 5}) {
    main().move(300, rowY(r));
    for (int f = 0; f < 11; ++f) {
      sim.advance(10);
      ASSERT_FALSE(box.hasPicture(l.hoverHighlight()) && box.getTagNumber(l.hoverHighlight()) != 0)
          << "the band shows in restore mode, row " << r << " frame " << f;
    }
    const int y = 20 * (r - 1);
    EXPECT_EQ(box.getTop(l.insertionLine()), y) << r;
    EXPECT_EQ(box.getTop(l.insertBadge()), y) << r;
    EXPECT_EQ(binWindow().top(), app->listTop() + app->mainWindow().top() + y - binWindow().height() / 2) << r;
  }
}

TEST_F(Bin, BelowTheLastRowTheBadgeStandsUnderItAndItsClickAppends) {
  startAndWait();
  rightDrag(2, 2);  // 11 to the bin; root: 12 13 14 15 (rows 2-5)
  sim.advance(400);
  main().move(300, rowY(4));
  sim.advance(200);
  main().move(300, rowY(6));  // just below the last row
  sim.advance(200);
  auto& box = app->listCanvas().box();
  EXPECT_EQ(box.getTop(app->list().insertBadge()), 20 * 5);
  EXPECT_EQ(box.getTop(app->list().insertionLine()), 20 * 5);
  // Further down the badge stays under the last row.
  main().move(300, rowY(9));
  sim.advance(200);
  EXPECT_EQ(box.getTop(app->list().insertBadge()), 20 * 5);
  main().move(300, rowY(6));
  sim.advance(200);
  main().click(300, rowY(6));
  EXPECT_EQ(members(1), (std::vector<store::EntryId>{12, 13, 14, 15, 11}));
  EXPECT_TRUE(members(store::kRecycleBin).empty());
}

TEST_F(Bin, InRestoreModeTheKeysMoveTheBadgeRowByRowAndItsEnterOpensTheRow) {
  fs.files[kData + "\\udb"] = fixedStore(9);
  startAndWait();
  rightDrag(2, 2);  // 11 to the bin; root: 12 .. 19
  sim.advance(400);
  main().move(400, 300);  // off the list
  auto& box = app->listCanvas().box();
  for (int r : {2, 3, 4}) {
    main().key(platform::keys::kDown);
    sim.advance(300);
    EXPECT_EQ(box.getTop(app->list().insertBadge()), 20 * (r - 1)) << r;
    EXPECT_EQ(app->interaction().highlightedRow(), r);
  }
  main().key(platform::keys::kEnter);
  ASSERT_EQ(sim.launches.size(), 1u);
  EXPECT_EQ(sim.launches[0], "\"C:\\B\\b.exe\" \"http://x3.com/\"");
}

// After a deletion the window stands at the pointed row and stays there
// while the pointer rests: nothing eases it in from a parked place.
TEST_F(Bin, AfterADeletionTheBinWindowStandsStillWhileThePointerRests) {
  fs.files[kData + "\\udb"] = fixedStore(9);
  startAndWait();
  for (const bool flat : {false, true}) {
    if (flat) {
      app->breadcrumbs().selectView(list::View::Added);
      sim.advance(500);
    }
    for (int r : {7, 4}) {
      rightDrag(r, r);
      const int top = binWindow().top();
      EXPECT_EQ(top, app->listTop() + app->mainWindow().top() + 20 * (r - 1) - binWindow().height() / 2)
          << "flat " << flat << " row " << r;
      for (int t = 0; t < 40; ++t) {
        sim.advance(10);
        ASSERT_EQ(binWindow().top(), top) << "flat " << flat << " row " << r << " after " << 10 * (t + 1) << " ms";
      }
      EXPECT_EQ(app->listCanvas().box().getTop(app->list().insertBadge()), 20 * (r - 1));
    }
  }
}

TEST_F(Bin, EmptyingDestroysTheMembersPlaysTheSoundAndSlidesAway) {
  startAndWait();
  rightDrag(2, 3);
  sim.advance(400);
  const std::size_t sounds = sim.sounds.size();
  const int left = binWindow().left();
  host(binWindow()).click(300, 10);  // the strip
  EXPECT_EQ(sim.sounds.size(), sounds + 1);
  EXPECT_TRUE(app->store().entry(11).deleted);
  EXPECT_TRUE(app->store().entry(12).deleted);
  EXPECT_TRUE(members(store::kRecycleBin).empty());
  EXPECT_EQ(log().back().op, store::LogOp::EmptyRecycleBin);
  for (int f = 1; f <= 10; ++f) {
    sim.advance(10);
    ASSERT_EQ(binWindow().left(), left + 10 * f);
    ASSERT_TRUE(binWindow().visible());
  }
  // A second click while it slides empties nothing more.
  host(binWindow()).click(300, 10);
  EXPECT_EQ(sim.sounds.size(), sounds + 1);
  sim.advance(10);
  EXPECT_FALSE(binWindow().visible());
  // After a restart the destroyed entries are shown nowhere.
  app.reset();
  start();
  sim.advance(300);
  EXPECT_FALSE(binWindow().visible());
  for (int r = 1; r <= app->list().rowCount(); ++r) {
    EXPECT_NE(app->list().idAtRow(r), 11);
    EXPECT_NE(app->list().idAtRow(r), 12);
  }
}

TEST_F(Bin, ASiteIconArrivingShowsOnTheBinWindowsRowsToo) {
  startAndWait();
  rightDrag(3, 3);  // 12 (http://x1.com/) to the bin
  sim.advance(400);
  const auto before = bin().binCanvas().getPicture(bin().binIcons()[0]);
  EXPECT_EQ(before, app->list().look().defaultSiteIcon);
  canvas::Picture p;
  p.width = p.height = 16;
  p.pixels.assign(256, 0xFF00FF00u);
  sim.web.serve("http://x1.com/", "");
  sim.web.serve("http://x1.com/favicon.ico", canvas::encodeBmp32(p));
  app->icons().startIconFetch(12);
  sim.runWorkers();
  sim.processPendingMessages();
  const auto after = bin().binCanvas().getPicture(bin().binIcons()[0]);
  ASSERT_NE(after, nullptr);
  EXPECT_NE(after, before);
  EXPECT_EQ(after->at(8, 8) & 0xFFFFFF, 0x00FF00u);
}

TEST_F(Bin, AStartWithANonEmptyBinShowsItsWindow) {
  fs.files[kData + "\\bein"] = store::encodeRecord({store::LogOp::MoveEntries,
                                                   {"12u", store::intField(2), store::intField(-2), store::intField(0)}});
  startAndWait();
  EXPECT_TRUE(binWindow().visible());
  EXPECT_EQ(binRowText(0), "b1");
}

TEST_F(Bin, DeletingAllOfACategoryLeavesTheBadgeAtTheTopOfTheEmptyListAndRestoresIntoIt) {
  startAndWait();
  rightDrag(2, 6);
  EXPECT_TRUE(members(1).empty());
  auto& box = app->listCanvas().box();
  EXPECT_EQ(box.getTop(app->list().insertBadge()), 14);
  EXPECT_EQ(box.getLeft(app->list().insertBadge()), 263);
  EXPECT_EQ(box.getTop(app->list().emptyNotice()), 60);
  sim.advance(1000);
  EXPECT_TRUE(binWindow().visible());
  EXPECT_EQ(box.getTop(app->list().insertBadge()), 14);  // still there
  main().move(290, app->listTop() + 40);
  sim.advance(200);
  main().click(290, app->listTop() + 24);
  EXPECT_EQ(members(1), (std::vector<store::EntryId>{11, 12, 13, 14, 15}));
}

TEST_F(Bin, TheTrayIconsLeftButtonShowsTheBinWindowAgainWhenItWasInUse) {
  startAndWait();
  rightDrag(2, 2);
  sim.advance(400);
  app->docking().hideAll();
  EXPECT_FALSE(binWindow().visible());
  sim.tray.onEvent(platform::TrayEvent::LeftUp);
  EXPECT_TRUE(app->mainWindow().visible());
  EXPECT_TRUE(binWindow().visible());
}

TEST_F(Bin, MoreRowsThanTheScreenHoldsAreAllMovedButOnlyTheFirstShown) {
  fs.files[kData + "\\udb"] = fixedStore(80);
  sim.screen = {1920, 600};  // 30 rows
  startAndWait();
  app->breadcrumbs().selectView(list::View::Added);
  sim.advance(500);
  // Select every row of the view (scrolled past the screen's end).
  main().move(120, rowY(2));
  main().press(120, rowY(2), MouseButton::Right);
  app->list().showFrom(60, false);
  main().move(120, rowY(20));
  main().release(120, rowY(20), MouseButton::Right);
  const auto inBin = members(store::kRecycleBin);
  EXPECT_GT(inBin.size(), 30u);
  EXPECT_EQ(bin().binCount(), 30);
  EXPECT_EQ(bin().sideListItems().size(), inBin.size());
}

TEST_F(Bin, InputDuringTheAnimationsIsSafe) {
  startAndWait();
  rightDrag(2, 2);
  // A second deletion while the gap closes and the side list flies.
  sim.advance(30);
  rightDrag(2, 3);
  EXPECT_EQ(members(store::kRecycleBin), (std::vector<store::EntryId>{11, 12, 13}));
  sim.advance(20);
  // 点击插入 while the side list still flies, then a bar click during the
  // fly-in: the navigation settles the restore.
  main().move(300, rowY(2));
  sim.advance(120);
  main().click(300, rowY(2));
  EXPECT_EQ(members(1), (std::vector<store::EntryId>{11, 12, 13, 14, 15}));
  sim.advance(30);
  app->breadcrumbs().openRoot();
  EXPECT_FALSE(bin().restoring());
  EXPECT_FALSE(binWindow().visible());
  sim.advance(1000);
  // Every slot back in its column (unused ones stay parked left of the list).
  for (const auto& s : app->list().slots()) {
    const int left = app->listCanvas().box().getLeft(s.background);
    EXPECT_TRUE(left == 0 || left == -350) << left;
  }
  // Emptying during a deletion's flight, then a close.
  rightDrag(2, 2);
  sim.advance(50);
  host(binWindow()).click(300, 10);
  sim.advance(1000);
  EXPECT_FALSE(binWindow().visible());
  EXPECT_FALSE(app->sideListWindow().visible());
}

}  // namespace
}  // namespace lh::app
