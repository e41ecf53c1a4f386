// The program's copies of the store: the day's copy after the start's fold,
// written on the worker, and the copies before an import or the emptying
// of a big bin.
#include <gtest/gtest.h>

#include "app_fixture.h"
#include "store/backups.h"

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

}  // namespace
}  // namespace lh::app
