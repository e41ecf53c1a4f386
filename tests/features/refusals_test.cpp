// A store that takes no change, and rows that take no restore: what the
// window then shows must be what the files keep, and the recycle bin's
// window stays in use only while it holds something to show.
#include <gtest/gtest.h>

#include "bin_fixture.h"
#include "store/codec.h"

namespace lh::app {
namespace {

using namespace simtest;

class Refusals : public BinTest {
 protected:
  void SetUp() override {
    StartUp::SetUp();
    fs.files[kData + "\\udb"] = fixedStore(5);  // root: 11 .. 15 (rows 2 .. 6)
  }
};

// ------------------------------------------------------------ a store that takes no change

// A right-drag the store refuses deletes nothing and shows no bin; the bin
// is not in use either, so the tray icon's click does not bring up a bin
// window of nothing.
TEST_F(Refusals, ARefusedDeletionLeavesTheBinOutOfUseAndTheTrayShowsNoBinWindow) {
  // A change log that is there but cannot be read: the store takes no
  // change this run.
  fs.files[kData + "\\bein"] = "";
  fs.unreadable.insert(kData + "\\bein");
  startAndWait();
  ASSERT_TRUE(app->store().readOnly());
  rightDrag(2, 3);
  EXPECT_EQ(members(1), (std::vector<store::EntryId>{11, 12, 13, 14, 15}));
  EXPECT_FALSE(binWindow().visible());
  ASSERT_TRUE(sim.tray.onEvent);
  sim.tray.onEvent(platform::TrayEvent::LeftUp);
  EXPECT_FALSE(bin().binShown());
  EXPECT_FALSE(binWindow().visible()) << "the tray brought up a bin window though nothing was deleted";
}

// The same with a right-drag that deletes nothing by its rows (the lead
// row alone): the tray's click shows an empty window of 329 x 210.
TEST_F(Refusals, ARightDragOverTheLeadRowAloneLeavesTheBinOutOfUse) {
  startAndWait();
  rightDrag(1, 1);
  ASSERT_TRUE(members(store::kRecycleBin).empty());
  sim.tray.onEvent(platform::TrayEvent::LeftUp);
  EXPECT_FALSE(bin().binShown());
  EXPECT_FALSE(binWindow().visible()) << "an empty bin window came up";
  // A bin in use stays so through such a drag.
  rightDrag(2, 2);
  sim.advance(400);
  ASSERT_TRUE(binWindow().visible());
  rightDrag(1, 1);
  EXPECT_TRUE(bin().binShown());
  EXPECT_TRUE(binWindow().visible());
}

// ------------------------------------------------------------ a log that takes no append

// The disk is full (or another program holds the log): the changes are made
// all the same, the user is told once with the reason, and they are written
// by the fold the program tries again until it works.
TEST_F(Refusals, ChangesTheLogCannotTakeAreKeptToldOnceAndWrittenByALaterFold) {
  startAndWait();
  fs.appendsBeforeFailure = 0;
  fs.replacesBeforeFailure = 0;
  const store::EntryId a = app->editPanel().addTypedBookmark("A", "http://a.com/", "");
  const store::EntryId b = app->editPanel().addTypedBookmark("B", "http://b.com/", "");
  ASSERT_NE(a, 0);
  ASSERT_NE(b, 0);
  EXPECT_TRUE(app->store().unsaved());
  sim.processPendingMessages();
  ASSERT_EQ(sim.messageBoxes.size(), 1u);
  EXPECT_EQ(sim.messageBoxes[0].first, std::string(kCannotSave) + "磁盘空间不足。");
  // Still full at the first retry: nothing written, nothing told again.
  sim.advance(kUnsavedRetryMs);
  EXPECT_TRUE(app->store().unsaved());
  EXPECT_EQ(sim.messageBoxes.size(), 1u);
  // Room again: the next retry folds both into the store file.
  fs.appendsBeforeFailure = -1;
  fs.replacesBeforeFailure = -1;
  sim.advance(kUnsavedRetryMs);
  EXPECT_FALSE(app->store().unsaved());
  store::BookmarkStore after(fs, kData + "\\udb", kData + "\\bein");
  after.load();
  EXPECT_EQ(after.entry(a).url, "http://a.com/");
  EXPECT_EQ(after.entry(b).url, "http://b.com/");
  // And logging goes on.
  const std::size_t logged = fs.files[kData + "\\bein"].size();
  ASSERT_NE(app->editPanel().addTypedBookmark("C", "http://c.com/", ""), 0);
  EXPECT_GT(fs.files[kData + "\\bein"].size(), logged);
}

// An import whose store file could not be written reads 导入失败: the
// imported bookmarks are in no file (the import writes no log records), so
// the window must not show them as if they were kept.
class RefusedImport : public StartUp {
 protected:
  const std::string kFile = "C:\\Users\\user\\Desktop\\b.html";
  SimWindow& main() { return host(app->mainWindow()); }
};

TEST_F(RefusedImport, AnImportTheStoreFileDidNotTakeShowsNoImportedRow) {
  start();
  sim.advance(300);
  fs.files[kFile] = "<DL><p>\n<DT><A HREF=\"http://new.example/\">New page</A>\n</DL><p>\n";
  sim.fileDialogAnswers.push_back(kFile);
  fs.replacesBeforeFailure = 0;  // the store file cannot be replaced
  const ui::Rect r = app->exchange().importLabel().windowRect();
  main().click(r.left + 3, r.top + 3);
  ASSERT_EQ(app->exchange().status().caption(), "导入失败");
  // The list, and what the program holds, are the root the store file has.
  EXPECT_EQ(app->list().rowCount(), 4);  // the lead row and b0 .. b2
  for (store::EntryId id : app->store().members(store::kRootCategory)) {
    EXPECT_NE(app->store().entry(id).url.view(), "http://new.example/") << "entry " << id << " shown, not kept";
  }
}

// ------------------------------------------------------------ restoring where the rows take none

// Entry 7 takes no restored entries: a click on 点击插入 there restores
// nothing, so the bin window must stay as it was, its strip (the only way
// to empty the bin) included, as a restore the store refused leaves it.
TEST_F(Refusals, ARestoreIntoTheCategoryThatTakesNoneLeavesTheBinWindowWithItsStrip) {
  startAndWait();
  rightDrag(2, 3);  // 11, 12 to the bin
  sim.advance(400);
  ASSERT_TRUE(bin().restoreMode());
  const int width = binWindow().width(), height = binWindow().height();
  app->breadcrumbs().openCategory(store::kNoRestoreCategory, 2, true);
  sim.advance(500);
  ASSERT_TRUE(bin().restoreMode());
  // The badge of the empty list, clicked.
  const auto badge = app->list().insertBadge();
  main().move(box().getLeft(badge) + 5, app->listTop() + box().getTop(badge) + 5);
  sim.advance(300);
  main().click(box().getLeft(badge) + 5, app->listTop() + box().getTop(badge) + 5);
  EXPECT_EQ(members(store::kRecycleBin), (std::vector<store::EntryId>{11, 12}));
  EXPECT_TRUE(binWindow().visible());
  EXPECT_EQ(binWindow().width(), width) << "the window lost its strip's width";
  EXPECT_EQ(binWindow().height(), height);
  EXPECT_TRUE(bin().strip().visible()) << "the strip is gone: the bin cannot be emptied";
}

// What memory holds after such an import differs from the files: changes
// made after it are logged against ids the next start does not give, and
// land on other entries.
TEST_F(RefusedImport, ChangesAfterAnImportTheStoreFileDidNotTakeReachTheirOwnEntriesAtTheNextStart) {
  start();
  sim.advance(300);
  fs.files[kFile] = "<DL><p>\n<DT><A HREF=\"http://new.example/\">New page</A>\n</DL><p>\n";
  sim.fileDialogAnswers.push_back(kFile);
  fs.replacesBeforeFailure = 0;
  const ui::Rect r = app->exchange().importLabel().windowRect();
  main().click(r.left + 3, r.top + 3);
  ASSERT_EQ(app->exchange().status().caption(), "导入失败");
  fs.replacesBeforeFailure = -1;
  const store::EntryId a = app->store().addBookmark("A", "http://a.org/", "", 1, 1.0, -1);
  const store::EntryId b = app->store().addBookmark("B", "http://b.org/", "", 1, 1.0, -1);
  ASSERT_TRUE(a > 0 && b > 0);
  ASSERT_TRUE(app->store().recordVisit(a, 2.0, 7));
  // The next start, from the files.
  store::BookmarkStore next(fs, kData + "\\udb", kData + "\\bein");
  next.load();
  int visitsOfA = -1, visitsOfB = -1;
  for (store::EntryId id = 1; id <= next.count(); ++id) {
    if (!next.exists(id)) continue;
    if (next.entry(id).url.view() == "http://a.org/") visitsOfA = next.entry(id).visitCount;
    if (next.entry(id).url.view() == "http://b.org/") visitsOfB = next.entry(id).visitCount;
  }
  EXPECT_EQ(visitsOfA, 7);
  EXPECT_EQ(visitsOfB, 0) << "A's visit went to B";
}

}  // namespace
}  // namespace lh::app
