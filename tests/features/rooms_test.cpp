// Rooms on their own, each built from only the parts it takes (no
// Application): the recycle bin against a pointer of the test's own, the
// breadcrumb over a bare list, and the search with the breadcrumb below it.
#include <gtest/gtest.h>

#include <memory>

#include "features/breadcrumb.h"
#include "features/look.h"
#include "features/recycle_bin.h"
#include "features/search.h"
#include "platform/sim/sim_platform.h"
#include "../support/stores.h"
#include "text/memory_filesystem.h"

namespace lh::features {
namespace {

using platform::sim::SimPlatform;
using store::EntryId;

constexpr int kScreenHeight = 800;
constexpr const char* kStore = "C:\\d\\udb";
constexpr const char* kLog = "C:\\d\\bein";

// A main window with the list's canvas and a store, and the list on it.
struct ListParts {
  SimPlatform sim;
  text::MemoryFileSystem fs;
  store::BookmarkStore store{fs, kStore, kLog};
  ui::Window main{sim, platform::WindowOptions{{0, 0, kMainWidth, kScreenHeight}, true, false, false, "main"}, 0xF7F7F7};
  ui::CanvasControl& listCanvas = main.add<ui::CanvasControl>("超级列表框", sim.textRasterizer(), kMainWidth, 600);
  Pictures pictures;
  list::BookmarkList list{listCanvas.box(), store, sim, listLook(pictures), kScreenHeight};

  explicit ListParts(int bookmarks) {
    sim.screen = {1920, kScreenHeight};
    fs.directories.insert("C:\\d");
    fs.files[kStore] = test::fixedStore(bookmarks);
    store.load();
    listCanvas.setBounds(0, listTopFor(1), kMainWidth, 600);
    list.buildSlots();
    list.setListHeight(600);
    list.showCategory(store::kRootCategory, 1);
  }
};

// ------------------------------------------------------------ the recycle bin

// The pointer as the bin sees it, set by the test.
struct PointerOfTheTest : list::PointerOnList {
  list::PointedRow at;
  int finished = 0, highlighted = 0;
  list::PointedRow pointed() const override { return at; }
  void finishRowAnimations() override { ++finished; }
  void highlightPointedRow() override { ++highlighted; }
};

struct BinRoom : ListParts {
  PointerOfTheTest pointer;
  ui::Window bin{sim, platform::WindowOptions{{0, 0, 329, 210}, true, true, false, "RecycleBinWindow"}, 0xFFFFFF};
  ui::Window side{sim, platform::WindowOptions{{0, 0, 286, 20}, true, true, false, "SideListWindow"}, 0xFFFFFF};
  RecycleBin room{RecycleBin::Parts{sim, store, list, pointer, listCanvas.box(), main, bin, side, pictures, {},
                                    [] { return listTopFor(1); }, kScreenHeight}};
  explicit BinRoom(int bookmarks) : ListParts(bookmarks) { room.build(); }
};

TEST(BinRoomAlone, DeletedRowsShowInRestoreModeAndGoBackBeforeThePointedEntry) {
  BinRoom r(5);  // root: 11 .. 15
  EXPECT_TRUE(r.store.moveEntries("12u13u", store::kRecycleBin, -2, false));
  r.list.showCategory(store::kRootCategory, 1);  // rows 2-4: 11, 14, 15
  r.pointer.at = {2, false, 14};
  r.room.rowsDeleted("12u13u", 2);
  EXPECT_TRUE(r.room.restoreMode());
  EXPECT_TRUE(r.bin.visible());
  EXPECT_EQ(r.room.binCount(), 2);
  EXPECT_EQ(r.pointer.highlighted, 1);  // the highlight heads on from the badge
  auto& box = r.listCanvas.box();
  EXPECT_EQ(box.getTop(r.list.insertBadge()), 40);  // the pointed row's top
  EXPECT_EQ(r.bin.top(), listTopFor(1) + r.main.top() + 40 - r.bin.height() / 2);
  // Each frame of the list's highlight takes line, badge and window along.
  r.room.highlightMoved(60);
  EXPECT_EQ(box.getTop(r.list.insertionLine()), 60);
  EXPECT_EQ(r.bin.top(), listTopFor(1) + r.main.top() + 60 - r.bin.height() / 2);
  r.room.restoreAll(false);
  EXPECT_EQ(r.store.members(1), (std::vector<EntryId>{11, 12, 13, 14, 15}));
  EXPECT_EQ(r.pointer.finished, 1);
  EXPECT_FALSE(r.room.restoreMode());
  EXPECT_FALSE(r.bin.visible());
  EXPECT_EQ(r.pointer.highlighted, 2);  // and the band comes back
}

TEST(BinRoomAlone, NoEntryPointedOrBelowTheLastRowAppendsAndAFlatViewRestoresNothing) {
  BinRoom r(4);  // root: 11 .. 14
  EXPECT_TRUE(r.store.moveEntries("11u", store::kRecycleBin, -2, false));
  r.list.showCategory(store::kRootCategory, 1);
  r.pointer.at = {0, false, std::nullopt};  // the lead row
  r.room.rowsDeleted("11u", 0);
  r.room.restoreAll(false);
  EXPECT_EQ(r.store.members(1), (std::vector<EntryId>{12, 13, 14, 11}));
  EXPECT_TRUE(r.store.moveEntries("12u", store::kRecycleBin, -2, false));
  r.list.showCategory(store::kRootCategory, 1);
  r.pointer.at = {6, true, 11};  // below the last row, on 11's
  r.room.rowsDeleted("12u", 1);
  r.room.restoreAll(false);
  EXPECT_EQ(r.store.members(1), (std::vector<EntryId>{13, 14, 11, 12}));
  // In a flat view the bin keeps its entries.
  EXPECT_TRUE(r.store.moveEntries("13u", store::kRecycleBin, -2, false));
  r.list.selectView(list::View::Added, false);
  r.room.rowsDeleted("13u", 1);
  r.room.restoreAll(false);
  EXPECT_EQ(r.store.members(store::kRecycleBin), (std::vector<EntryId>{13}));
}

// ------------------------------------------------------------ the breadcrumb

struct BreadcrumbRoom : ListParts {
  ui::CanvasControl& header = main.add<ui::CanvasControl>("顶框", sim.textRasterizer(), kMainWidth, kScreenHeight);
  ui::PictureBox& indicator = main.add<ui::PictureBox>("位置外形框");
  ui::PictureBox& bottomBar = main.add<ui::PictureBox>("底边栏");
  Breadcrumb room{Breadcrumb::Parts{sim, store, header.box(), listCanvas, indicator, bottomBar, list, pictures}};
  int listMoves = 0;
  explicit BreadcrumbRoom(int bookmarks) : ListParts(bookmarks) {
    bottomBar.setBounds(0, kScreenHeight - kBottomBarHeight, kMainWidth, kBottomBarHeight);
    room.createHeaderObjects();
    room.listMoved = [this] { ++listMoves; };
    room.openRoot();
    sim.advance(500);
  }
};

TEST(BreadcrumbRoomAlone, ACategoryPushesABarAndItsClickGoesBackWithTheListBelowIt) {
  BreadcrumbRoom r(3);
  const EntryId sub = r.store.addCategory(1, 1.0, "sub");
  EXPECT_NE(r.store.addBookmark("inner", "http://inner.org/", "", sub, 1.0, -1), 0);
  ASSERT_EQ(r.room.bars().size(), 1u);
  EXPECT_EQ(r.room.listTop(), listTopFor(1));
  r.listMoves = 0;
  r.room.openCategory(sub, 2, true);
  EXPECT_EQ(r.list.category(), sub);
  EXPECT_EQ(r.list.rowCount(), 2);
  r.sim.advance(500);
  EXPECT_EQ(r.room.bars().size(), 2u);
  EXPECT_EQ(r.room.listTop(), listTopFor(2));
  EXPECT_GT(r.listMoves, 1);  // every frame of the push
  // A click on the root's bar: back, one bar, the category it came from
  // remembered for its black title.
  EXPECT_TRUE(r.room.backOneBar());
  EXPECT_EQ(r.list.category(), store::kRootCategory);
  EXPECT_EQ(r.room.bars().size(), 1u);
  EXPECT_EQ(r.room.listTop(), listTopFor(1));
  EXPECT_EQ(r.list.returnedFrom(), sub);
  EXPECT_FALSE(r.room.backOneBar());  // nothing below the root
}

TEST(BreadcrumbRoomAlone, AViewChosenInACategoryPushesItsBarAndGoingBackEndsTheSort) {
  BreadcrumbRoom r(4);
  r.room.selectView(list::View::VisitCount);
  r.sim.advance(500);
  EXPECT_TRUE(r.list.inFlatView());
  EXPECT_EQ(r.list.view(), list::View::VisitCount);
  EXPECT_EQ(r.list.categoryBelow(), store::kRootCategory);
  EXPECT_EQ(r.list.bookmarkCount(), 4);
  EXPECT_EQ(r.room.bars().size(), 2u);
  // Back to the category: no sort any more.
  EXPECT_TRUE(r.room.backOneBar());
  EXPECT_FALSE(r.list.inFlatView());
  EXPECT_EQ(r.list.view(), list::View::None);
}

// ------------------------------------------------------------ the search

struct SearchRoom : BreadcrumbRoom {
  ui::Busy busy;
  ui::EditControl& box = main.add<ui::EditControl>("查找编辑框", main.host(), platform::EditOptions{});
  Search room{sim, busy, store, list, BreadcrumbRoom::room, box};
  explicit SearchRoom(int bookmarks) : BreadcrumbRoom(bookmarks) {}
  auto& edit() { return static_cast<platform::sim::SimEditBox&>(box.edit()); }
};

TEST(SearchRoomAlone, TypingShowsTheMatchesBySiteAndEmptyingTheBoxGoesBack) {
  SearchRoom r(12);  // b0 .. b11 at x0.com .. x11.com
  r.edit().type("x1");
  EXPECT_TRUE(r.list.inFlatView());
  EXPECT_EQ(r.list.view(), list::View::Domain);
  EXPECT_EQ(r.list.results().size(), 3u);  // x1, x10, x11
  for (EntryId id : r.list.results()) {
    EXPECT_EQ(r.store.entry(id).url.view().rfind("http://x1", 0), 0u);
  }
  r.edit().type("z");  // x1z: nothing
  EXPECT_TRUE(r.list.empty());
  EXPECT_EQ(r.listCanvas.box().getText(r.list.emptyNotice()), "未找到");
  r.edit().setText("");
  r.sim.advance(500);
  EXPECT_EQ(r.list.category(), store::kRootCategory);
  EXPECT_EQ(r.list.rowCount(), 13);
}

TEST(SearchRoomAlone, TypingWhileLongWorkRunsSearchesOnceItEnds) {
  SearchRoom r(9);
  {
    ui::Busy::Scope working(&r.busy);
    r.edit().type("b4");
    EXPECT_FALSE(r.list.inFlatView());  // not yet
  }
  r.sim.processPendingMessages();
  EXPECT_TRUE(r.list.inFlatView());
  EXPECT_EQ(r.list.results(), (std::vector<EntryId>{15}));
}

}  // namespace
}  // namespace lh::features
