// Sync tools' conflict copies of the store file and the log: every naming
// pattern, nothing else taken for one, a log copy folded into its own store
// copy (never into the store file), and a restored copy moved aside.
#include "store/conflicts.h"

#include <gtest/gtest.h>

#include "store/codec.h"
#include "store_fixture.h"

namespace lh::store::test {
namespace {

const std::string kDir = "D:\\run\\data";

TEST(ConflictNames, EverySyncToolsPatternIsOneAndTheStoresOwnFilesAreNot) {
  const std::pair<const char*, const char*> copies[] = {
      {"udb-LAPTOP", "-LAPTOP"},                                                  // OneDrive
      {"udb-DESKTOP-7Q2F1", "-DESKTOP-7Q2F1"},                                    // OneDrive
      {"udb (Jane's conflicted copy 2026-12-10)", " (Jane's conflicted copy 2026-12-10)"},  // Dropbox
      {"udb (conflicted copy 2026-12-10 101530)", " (conflicted copy 2026-12-10 101530)"},  // Nextcloud
      {"udb.sync-conflict-20261210-101530-ABCDEFG", ".sync-conflict-20261210-101530-ABCDEFG"},  // Syncthing
      {"udb (1)", " (1)"},                                                        // Google Drive
      {"udb (12)", " (12)"},
  };
  for (const auto& [name, suffix] : copies) {
    EXPECT_EQ(conflictSuffix(name, "udb"), std::optional<std::string>(suffix)) << name;
    const std::string log = std::string("bein") + (name + 3);
    EXPECT_EQ(conflictSuffix(log, "bein"), std::optional<std::string>(suffix)) << log;
  }
  for (const char* own : {"udb", "udb.next", "udb.old", "udb.2.old", "udb.new", "udb-", "udb (x)", "udb ()",
                          "udbx", "udb-a.b", "udb.sync-conflict-", "bein.bak", "bein.2.bak", "bein.folded",
                          "config.ini", "udb (1", "udb(1)"}) {
    EXPECT_FALSE(conflictSuffix(own, "udb")) << own;
    EXPECT_FALSE(conflictSuffix(own, "bein")) << own;
  }
}

class ConflictFolder : public ::testing::Test {
 protected:
  text::MemoryFileSystem fs;
  void SetUp() override {
    fs.directories.insert(kDir);
    fs.files[kDir + "\\udb"] = fixedEntriesFile();
  }
  // A store and its log as another computer left them: `extra` bookmarks
  // logged on top of the fixed entries.
  std::pair<std::string, std::string> otherComputers(const std::vector<std::string>& urls) {
    text::MemoryFileSystem other;
    other.files["udb"] = fixedEntriesFile();
    {
      BookmarkStore s(other, "udb", "bein");
      s.load();
      for (const std::string& u : urls) EXPECT_NE(s.addBookmark(u, u, "", 1, 1.0, -1), 0);
    }
    return {other.files["udb"], other.files["bein"]};
  }
  std::vector<std::string> urlsOf(const std::string& storeBytes) {
    text::MemoryFileSystem scratch;
    scratch.files["udb"] = storeBytes;
    BookmarkStore s(scratch, "udb", "bein");
    s.load();
    std::vector<std::string> urls;
    for (EntryId id : s.members(1)) urls.push_back(s.entry(id).url);
    return urls;
  }
};

TEST_F(ConflictFolder, ALogCopyIsFoldedIntoItsOwnStoreCopyOrIntoACopyOfTheStoreFile) {
  const auto [laptopStore, laptopLog] = otherComputers({"http://laptop.com/"});
  fs.files[kDir + "\\udb-LAPTOP"] = fixedEntriesFile();
  fs.files[kDir + "\\bein-LAPTOP"] = laptopLog;
  fs.files[kDir + "\\bein (1)"] = otherComputers({"http://drive.com/"}).second;
  fs.files[kDir + "\\udb.next"] = "a fold's own file";
  const std::string mainStore = fs.files[kDir + "\\udb"];
  const std::vector<ConflictCopy> copies = findConflictCopies(fs, kDir);
  ASSERT_EQ(copies.size(), 2u);
  EXPECT_EQ(copies[0].shownName(), "bein (1)");  // a log alone
  EXPECT_TRUE(copies[0].storeName.empty());
  EXPECT_EQ(copies[1].storeName, "udb-LAPTOP");
  EXPECT_EQ(copies[1].logName, "bein-LAPTOP");
  EXPECT_EQ(urlsOf(*conflictStoreBytes(fs, kDir, copies[1])), (std::vector<std::string>{"http://laptop.com/"}));
  EXPECT_EQ(urlsOf(*conflictStoreBytes(fs, kDir, copies[0])), (std::vector<std::string>{"http://drive.com/"}));
  // Nothing was folded into the store file, and no file changed.
  EXPECT_EQ(fs.files[kDir + "\\udb"], mainStore);
  EXPECT_EQ(fs.files[kDir + "\\bein-LAPTOP"], laptopLog);
  EXPECT_FALSE(fs.files.count(kDir + "\\bein"));
  // A copy that cannot be read gives nothing.
  fs.unreadable.insert(kDir + "\\bein-LAPTOP");
  EXPECT_FALSE(conflictStoreBytes(fs, kDir, copies[1]));
}

TEST_F(ConflictFolder, ARestoredCopyMovesIntoTheBackupFolderAndNothingElseIsTouched) {
  fs.files[kDir + "\\udb (Jane's conflicted copy 2026-12-10)"] = fixedEntriesFile();
  fs.files[kDir + "\\config.ini"] = "[x]\r\n";
  const auto copies = findConflictCopies(fs, kDir);
  ASSERT_EQ(copies.size(), 1u);
  ASSERT_TRUE(moveConflictAside(fs, kDir, copies[0]));
  EXPECT_FALSE(fs.files.count(kDir + "\\udb (Jane's conflicted copy 2026-12-10)"));
  EXPECT_EQ(fs.files[kDir + "\\backup\\udb (Jane's conflicted copy 2026-12-10)"], fixedEntriesFile());
  EXPECT_EQ(fs.files[kDir + "\\config.ini"], "[x]\r\n");
  EXPECT_TRUE(findConflictCopies(fs, kDir).empty());
}

}  // namespace
}  // namespace lh::store::test
