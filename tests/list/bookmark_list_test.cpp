// The list on a bare canvas in the simulator: rows, cards, scrolling.
#include "list/bookmark_list.h"

#include <gtest/gtest.h>

#include "../store/store_fixture.h"
#include "platform/sim/sim_platform.h"

namespace lh::list {
namespace {

using Ids = std::vector<EntryId>;

Pic tagged(int w, int h, std::uint8_t marker) {
  canvas::Picture p;
  p.width = w;
  p.height = h;
  p.alpha = canvas::Alpha::Premultiplied;
  p.pixels.assign(static_cast<std::size_t>(w) * h, canvas::argb(255, marker, marker, marker));
  return std::make_shared<const canvas::Picture>(std::move(p));
}

class ListTest : public store::test::StoreTest {
 protected:
  platform::sim::SimPlatform sim;
  canvas::FixedWidthRasterizer raster;
  canvas::AnimationBox box{350, 410, &raster};
  ListLook look;
  std::unique_ptr<BookmarkList> list;
  std::pair<int, int> indicator;

  void SetUp() override {
    StoreTest::SetUp();
    look.cardMiddle = tagged(350, 20, 1);
    look.cardBottom = tagged(350, 24, 2);
    look.cardTop = tagged(350, 20, 3);
    look.categoryIcon = tagged(16, 16, 4);
    look.defaultSiteIcon = tagged(16, 16, 5);
    look.hoverBand = tagged(350, 26, 6);
    look.scrollThumb = tagged(27, 88, 7);
    look.scrollThumbHover = tagged(27, 88, 8);
    look.topFade = tagged(350, 20, 9);
    look.bottomFade = tagged(350, 20, 10);
    look.insertionLine = tagged(295, 1, 11);
    look.insertBadge = tagged(60, 20, 12);
    look.titleFont.size = 9;
    look.headingFont.size = 11;
    list = std::make_unique<BookmarkList>(box, store, sim, look, 1080);
    list->setIndicator({}, [this](int a, int b) { indicator = {a, b}; });
    list->buildSlots();
    list->setListHeight(410);
  }
  // Which card picture the background of row r shows (the marker painted at
  // its left edge; the fades hidden), 0 when hidden, -1 when no slot has r.
  int markerOfBackground(int r) {
    box.setVisible(list->topFade(), false);
    box.setVisible(list->bottomFade(), false);
    for (int k = 0; k < list->slotCount(); ++k) {
      const auto& s = list->slots()[static_cast<std::size_t>(k)];
      if (s.row != r) continue;
      if (!box.getVisible(s.background)) return 0;
      box.paint();
      return static_cast<int>(canvas::blueOf(box.pixel(5, box.getTop(s.background) + 1)));
    }
    return -1;
  }
};

TEST_F(ListTest, ACategoryWithBookmarkSeparatorBookmarkShowsTwoCards) {
  const EntryId a = store.addBookmark("A", "a.com", "", 1, 1.0, -1);
  const EntryId b = store.addBookmark("B", "b.com", "", 1, 1.0, -1);
  EXPECT_NE(store.addSeparator(1, b), 0);
  list->showCategory(1, 1);
  EXPECT_EQ(list->rowIds().size(), 4u);
  EXPECT_EQ(indicator, std::make_pair(1, 3));
  EXPECT_EQ(list->slotCount(), 22);
  EXPECT_EQ(list->wrapExtra(), 10);
  EXPECT_EQ(markerOfBackground(1), 3);  // the lead row opens the card
  EXPECT_EQ(markerOfBackground(2), 2);  // A closes it above the separator
  EXPECT_EQ(markerOfBackground(3), 3);  // the separator opens the next card
  EXPECT_EQ(markerOfBackground(4), 2);  // B closes it at the end
  EXPECT_EQ(markerOfBackground(5), 0);  // past the end: hidden
  EXPECT_EQ(list->idAtRow(2), a);
  EXPECT_EQ(box.getText(list->slots()[1].text), "A");
  EXPECT_EQ(box.getLeft(list->slots()[1].text), 58);
  EXPECT_EQ(box.getTop(list->slots()[1].text), 20 + 3);
}

TEST_F(ListTest, AnEmptyCategoryShowsTheNotice) {
  list->showCategory(1, 1);
  EXPECT_EQ(box.getText(list->emptyNotice()), "空");
  EXPECT_EQ(box.getTop(list->emptyNotice()), 60);
  EXPECT_EQ(box.getLeft(list->emptyNotice()), 175 - 12 / 2);
}

TEST_F(ListTest, TheWheelMovesTheThumbTwentyPixelsAndScrollsToWholeRows) {
  for (int i = 0; i < 300; ++i) { EXPECT_NE(store.addBookmark("T" + std::to_string(i), "x.com", "", 1, 1.0, -1), 0); }
  list->showCategory(1, 1);
  EXPECT_EQ(box.getTop(list->thumb()), 0);
  list->wheel(-1);  // towards the user: down
  EXPECT_EQ(box.getTop(list->thumb()), 20);
  EXPECT_TRUE(list->snapsToRows());
  sim.advance(400);
  const ScrollGeometry g = scrollGeometry(410, list->rowCount());
  const int offset = 20 * g.scrollable / g.travel;
  EXPECT_EQ(list->shownOffset(), -(offset / 20) * 20);
  EXPECT_EQ(list->firstRow(), offset / 20 + 1);
  EXPECT_EQ(store.entry(1).scrollRow, list->firstRow());  // in memory
  // The top row shows firstRow.
  const int top = list->firstRow();
  bool found = false;
  for (int k = 0; k < list->slotCount(); ++k) {
    const auto& s = list->slots()[static_cast<std::size_t>(k)];
    if (box.getTop(s.background) == 0) {
      EXPECT_EQ(s.row, top);
      found = true;
    }
  }
  EXPECT_TRUE(found);
}

TEST_F(ListTest, AShortListDoesNotScrollAndTheThumbStaysInItsTrack) {
  EXPECT_NE(store.addBookmark("A", "a.com", "", 1, 1.0, -1), 0);
  list->showCategory(1, 1);
  list->wheel(-1);
  sim.advance(400);
  EXPECT_EQ(list->firstRow(), 1);
  list->wheel(5);  // up past the top: clamped to 0
  EXPECT_EQ(box.getTop(list->thumb()), 0);
  list->wheel(-100);  // past the bottom
  EXPECT_EQ(box.getTop(list->thumb()), 410 - 90);
}

TEST_F(ListTest, ASortedViewGroupsAndPaintsHeadings) {
  const EntryId a = store.addBookmark("A", "http://a.com/", "", 1, 1.0, -1);
  const EntryId b = store.addBookmark("B", "http://b.org/", "", 1, 1.0, -1);
  EXPECT_NE(store.addCategory(1, 1.0, "sub"), 0);
  EXPECT_TRUE(store.recordVisit(a, 45000, 9));
  EXPECT_TRUE(store.recordVisit(b, 45000, 5));
  list->showCategory(1, 1);
  bool pushed = false;
  list->setViewBarPush([&](bool) { pushed = true; });
  list->selectView(View::Domain);
  EXPECT_TRUE(pushed);
  EXPECT_EQ(list->inFlatView(), true);
  EXPECT_EQ(list->categoryBelow(), 1);
  EXPECT_EQ(list->results().size(), 2u);  // the sub-category is left out
  EXPECT_EQ(list->rowIds(), (Ids{0, 0, a, 0, 0, b}));
  EXPECT_EQ(indicator.second, 2);
  // Row 2 is a heading: its label at (29, y - 3), font A.
  const auto& heading = list->slots()[1];
  EXPECT_EQ(box.getTagNumber(heading.text), 2);
  EXPECT_EQ(box.getText(heading.text), "a.com");
  EXPECT_EQ(box.getLeft(heading.text), 29);
  EXPECT_EQ(box.getTop(heading.text), 20 - 3);
}

}  // namespace
}  // namespace lh::list
