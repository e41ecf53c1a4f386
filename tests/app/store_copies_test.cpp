// The program's copies of the store: the day's copy after the start's fold,
// written on the worker, and the copies before an import or the emptying
// of a big bin.
#include <gtest/gtest.h>

#include "app_fixture.h"
#include "store/backups.h"
#include "../support/stores.h"

namespace lh::app {
namespace {

using namespace simtest;

class StoreCopies : public StartUp {
 protected:
  std::vector<store::BackupCopy> copies() { return store::Backups(fs, kData).list(); }
  std::optional<std::string> unpacked(const std::string& name) { return store::Backups(fs, kData).read(name); }
  void startAndWait() {
    start();
    sim.advance(300);
  }
  void restart() {
    app.reset();
    startAndWait();
    sim.runWorkers();
    sim.processPendingMessages();
  }
};

TEST_F(StoreCopies, TheFoldedStoreIsCopiedOnceADayOnTheWorker) {
  startAndWait();
  EXPECT_TRUE(copies().empty());  // not on the GUI thread, nor before the start is done
  sim.runWorkers();
  sim.processPendingMessages();
  ASSERT_EQ(copies().size(), 1u);
  EXPECT_EQ(unpacked(copies()[0].name), fs.files[kData + "\\udb"]);
  EXPECT_EQ(copies()[0].counts.bookmarks, 3);
  // A change, and a start the same day: that day has its copy.
  ASSERT_NE(app->store().addBookmark("New", "http://new.com/", "", 1, 1.0, -1), 0);
  restart();
  EXPECT_EQ(copies().size(), 1u);
  // The next day: a copy of the store as folded then, with the change.
  sim.oleEpoch += 1;
  restart();
  ASSERT_EQ(copies().size(), 2u);
  EXPECT_EQ(copies()[0].counts.bookmarks, 4);
  EXPECT_EQ(unpacked(copies()[0].name), fs.files[kData + "\\udb"]);
  // Unchanged since: no copy on the day after.
  sim.oleEpoch += 1;
  restart();
  EXPECT_EQ(copies().size(), 2u);
}

TEST_F(StoreCopies, AnImportAndTheEmptyingOfABigBinArePrecededByACopyOfWhatMemoryHolds) {
  startAndWait();
  sim.runWorkers();
  ASSERT_EQ(copies().size(), 1u);
  // Logged, not folded: the copy is of memory, not of the store file.
  ASSERT_NE(app->store().addBookmark("Unfolded", "http://unfolded.com/", "", 1, 1.0, -1), 0);
  const std::string file = kData + "\\import.html";
  fs.files[file] = "<DL><p>\n<DT><A HREF=\"http://imported.example/\">Imported</A>\n</DL><p>\n";
  sim.fileDialogAnswers.push_back(file);
  app->exchange().importBookmarks();
  ASSERT_EQ(copies().size(), 2u);
  EXPECT_EQ(copies()[0].seq, 2);
  EXPECT_EQ(copies()[0].counts.bookmarks, 4);  // before the import's bookmark
  EXPECT_NE(unpacked(copies()[0].name)->find("http://unfolded.com/"), std::string::npos);
  // Fifty entries in the bin: no copy; fifty-one: one.
  auto binOf = [&](int n) {
    std::string items;
    for (int i = 0; i < n; ++i) {
      const store::EntryId id = app->store().addBookmark("b" + std::to_string(i), "http://bin" + std::to_string(i) + ".com/",
                                                         "", 1, 1.0, -1);
      items += std::to_string(id) + "u";
    }
    ASSERT_TRUE(app->store().moveEntries(items, store::kRecycleBin, -2, false));
  };
  binOf(store::kBinEmptyingCopied);
  app->recycleBin().emptyBin();
  EXPECT_EQ(copies().size(), 2u);
  sim.advance(1000);
  binOf(store::kBinEmptyingCopied + 1);
  app->recycleBin().emptyBin();
  ASSERT_EQ(copies().size(), 3u);
  EXPECT_EQ(copies()[0].seq, 3);
  EXPECT_EQ(copies()[0].counts.bookmarks, 5 + store::kBinEmptyingCopied + 1);  // the bin's still in it
}

// ------------------------------------------------------------ the page

class BackupPageTest : public StoreCopies {
 protected:
  SimWindow& main() { return host(app->mainWindow()); }
  void click(ui::Label& l) {
    const ui::Rect r = l.windowRect();
    main().click(r.left + 3, r.top + 3);
  }
  // The root's members that are categories titled `title`.
  std::vector<store::EntryId> categoriesTitled(const std::string& title) {
    std::vector<store::EntryId> found;
    for (store::EntryId id : app->store().members(1)) {
      if (app->store().isCategory(id) && app->store().entry(id).title == title) found.push_back(id);
    }
    return found;
  }
  std::vector<std::string> urlsIn(store::EntryId category) {
    std::vector<std::string> urls;
    for (store::EntryId id : app->store().members(category)) urls.push_back(app->store().entry(id).url);
    return urls;
  }
};

TEST_F(BackupPageTest, ACopyChosenOnThePageComesBackAsANewCategoryWithoutWhatIsStillSaved) {
  startAndWait();
  sim.runWorkers();
  ASSERT_EQ(copies().size(), 1u);
  const std::string date = copies()[0].date();
  // Later the user deletes b1 for good, and adds a bookmark of their own.
  ASSERT_TRUE(app->store().moveEntries("12u", store::kRecycleBin, -2, false));
  ASSERT_TRUE(app->store().emptyRecycleBin());
  ASSERT_NE(app->store().addBookmark("own", "http://own.com/", "", 1, 1.0, -1), 0);
  click(app->backupPage().openLabel());
  ASSERT_EQ(app->overlay().shown(), features::OverlayPages::Backups);
  EXPECT_EQ(app->backupPage().row(0).caption().rfind(date + "  3 个书签  0 个分类  ", 0), 0u)
      << app->backupPage().row(0).caption();
  EXPECT_FALSE(app->backupPage().row(1).visible());
  click(app->backupPage().row(0));
  EXPECT_EQ(app->backupPage().status().caption(), "恢复成功");
  // The copy's tree in a new category, b0 and b2 skipped (still saved), the
  // user's own bookmark untouched.
  const auto restored = categoriesTitled("恢复 " + date);
  ASSERT_EQ(restored.size(), 1u);
  EXPECT_EQ(urlsIn(restored[0]), (std::vector<std::string>{"http://x1.com/"}));
  EXPECT_EQ(app->store().members(1).size(), 4u);  // b0 b2 own, and the new category
  // Saved in the store file; and a copy was made before, as for an import.
  store::BookmarkStore after(fs, kData + "\\udb", kData + "\\bein");
  after.load();
  EXPECT_EQ(after.count(), app->store().count());
  EXPECT_EQ(copies().size(), 2u);
}

TEST_F(BackupPageTest, ADamagedCopyChangesNothingAndAnEmptyOneGivesAnEmptyCategory) {
  fs.files[kData + "\\udb"] = fixedStore(0);
  startAndWait();
  sim.runWorkers();
  ASSERT_EQ(copies().size(), 1u);
  const std::string emptyCopy = copies()[0].name;
  // A damaged copy beside it, newer.
  fs.files[kData + "\\backup\\udb-2099-01-01.gz"] = "damaged";
  click(app->backupPage().openLabel());
  ASSERT_EQ(app->backupPage().shownCopies().size(), 2u);
  EXPECT_EQ(app->backupPage().row(0).caption(), "2099-01-01  已损坏");
  const std::vector<std::string> before = [&] {
    std::vector<std::string> lines;
    for (store::EntryId id = 1; id <= app->store().count(); ++id) lines.emplace_back(app->store().line(id));
    return lines;
  }();
  const std::string storeFile = fs.files[kData + "\\udb"];
  click(app->backupPage().row(0));
  EXPECT_EQ(app->backupPage().status().caption(), "2099-01-01 的备份已损坏，未作修改");
  EXPECT_EQ(fs.files[kData + "\\udb"], storeFile);
  ASSERT_EQ(static_cast<std::size_t>(app->store().count()), before.size());
  for (store::EntryId id = 1; id <= app->store().count(); ++id) EXPECT_EQ(app->store().line(id), before[id - 1]);
  // The empty copy: a category of nothing.
  click(app->backupPage().row(1));
  EXPECT_EQ(app->backupPage().status().caption(), "恢复成功");
  const auto restored = categoriesTitled("恢复 " + copies().back().date());
  ASSERT_EQ(restored.size(), 1u);
  EXPECT_TRUE(app->store().members(restored[0]).empty());
  EXPECT_TRUE(fs.files.count(kData + "\\backup\\" + emptyCopy));
}

TEST_F(BackupPageTest, ConflictCopiesAreToldOfOnceOfferedFirstAndRestoredIntoTheirOwnCategory) {
  // Another computer's store, as OneDrive left it beside ours.
  fs.files[kData + "\\udb-LAPTOP"] = fixedStore(4);  // x0 .. x3: x3 is new here
  fs.files[kData + "\\udb (1)"] = fixedStore(1);
  startAndWait();
  ASSERT_EQ(sim.balloons.size(), 1u);
  EXPECT_EQ(sim.balloons[0].text, "发现 2 个同步冲突副本，可在“备份”页恢复");
  click(app->backupPage().openLabel());
  ASSERT_EQ(app->backupPage().shownConflicts().size(), 2u);
  EXPECT_EQ(app->backupPage().row(0).caption(), "冲突副本 udb (1)");
  EXPECT_EQ(app->backupPage().row(1).caption(), "冲突副本 udb-LAPTOP");
  const std::string ours = fs.files[kData + "\\udb"];
  click(app->backupPage().row(1));
  EXPECT_EQ(app->backupPage().status().caption(), "恢复成功");
  const auto restored = categoriesTitled("冲突副本 udb-LAPTOP");
  ASSERT_EQ(restored.size(), 1u);
  EXPECT_EQ(urlsIn(restored[0]), (std::vector<std::string>{"http://x3.com/"}));  // the others are saved here
  // Moved among the backups; the other copy and our files stay.
  EXPECT_FALSE(fs.files.count(kData + "\\udb-LAPTOP"));
  EXPECT_EQ(fs.files[kData + "\\backup\\udb-LAPTOP"], fixedStore(4));
  EXPECT_EQ(fs.files[kData + "\\udb (1)"], fixedStore(1));
  click(app->backupPage().openLabel());
  EXPECT_EQ(app->backupPage().shownConflicts().size(), 1u);
}

}  // namespace
}  // namespace lh::app
