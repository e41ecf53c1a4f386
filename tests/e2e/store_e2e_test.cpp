// The store through the real program under Wine, against other programs
// that hold its files the way Windows lets them.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "e2e/e2e_support.h"
#include "store/bookmark_store.h"
#include "text/memory_filesystem.h"

namespace {

using namespace lh::e2e;

// Lines of a store file.
std::size_t linesOf(const std::string& file) {
  std::size_t n = 0;
  for (std::size_t at = file.find("\r\n"); at != std::string::npos; at = file.find("\r\n", at + 2)) ++n;
  return n;
}

TEST_F(EndToEnd, ALogThatAnotherProgramHoldsDuringAStartIsFoldedOnceAtTheNextStart) {
  // 300 bookmarks in the store file, 200 more in the change log.
  std::vector<std::pair<std::string, std::string>> saved;
  for (int i = 0; i < 300; ++i) saved.emplace_back("saved " + std::to_string(i), "http://s" + std::to_string(i) + ".org/");
  const std::string storeFile = storeWith(saved);
  lh::text::MemoryFileSystem scratch;
  scratch.files["udb"] = storeFile;
  {
    lh::store::BookmarkStore s(scratch, "udb", "bein");
    s.load();
    for (int i = 0; i < 200; ++i) {
      ASSERT_NE(s.addBookmark("logged " + std::to_string(i), "http://l" + std::to_string(i) + ".org/", "", 1, 46001.0, -1),
                0);
    }
  }
  const std::string log = scratch.files["bein"];
  CreateDirectoryW(data.c_str(), nullptr);
  writeFile(data + L"\\udb", storeFile);
  writeFile(data + L"\\bein", log);
  {
    // A backup tool reads the log through the whole start: others may read
    // it, not write, move or delete it.
    HANDLE holder = CreateFileW((data + L"\\bein").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    Program p(run);
    ASSERT_TRUE(p.start());
    ASSERT_TRUE(p.waitDocked());  // loaded, and the fold tried
    settledList();
    screenshot("log-held-during-a-start.png");
    p.stop();
    CloseHandle(holder);
    // Not folded: both files as they were, no next store file beside them.
    EXPECT_EQ(readFile(data + L"\\udb"), storeFile);
    EXPECT_EQ(readFile(data + L"\\bein"), log);
    EXPECT_FALSE(fileExists(data + L"\\udb.next"));
  }
  // A start that loads (and folds) and ends.
  const auto startAndStop = [&] {
    Program p(run);
    const bool docked = p.start() && p.waitDocked();
    p.stop();
    return docked;
  };
  ASSERT_TRUE(startAndStop());
  // Folded now, each change once: 10 fixed entries, 300 + 200 bookmarks.
  EXPECT_EQ(linesOf(readFile(data + L"\\udb")), 510u);
  EXPECT_FALSE(fileExists(data + L"\\bein"));
  EXPECT_FALSE(fileExists(data + L"\\bein.folded"));
  ASSERT_TRUE(startAndStop());
  EXPECT_EQ(linesOf(readFile(data + L"\\udb")), 510u);
}

// The middle of row `i` of the backup page, on the screen.
int rowOfBackupPage(const RECT& main, int i) {
  return main.top + 160 + 60 + layout::kBackupRowsTop + i * layout::kBackupRowHeight + 8;
}

// Waits until the backup page (its white box) shows `rows` rows of text.
bool waitForBackupPage(const RECT& main, int rows) {
  const auto white = [](std::uint32_t px) { return (px & 0xFFFFFF) == 0xFFFFFF; };
  return waitUntil(
      [&] {
        const auto blank = grab(kLeft + 20, main.top + 160 + 60 + 2, 200, 4);
        if (!std::all_of(blank.begin(), blank.end(), white)) return false;
        for (int i = 0; i < rows; ++i) {
          const auto row = grab(kLeft + 20, rowOfBackupPage(main, i) - 8, 250, 16);
          if (std::count_if(row.begin(), row.end(), [&](std::uint32_t px) { return !white(px); }) <= 40) return false;
        }
        return true;
      },
      kWaitMs);
}

// The day's copies in data\backup.
std::vector<std::wstring> backupsIn(const std::wstring& data) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE h = FindFirstFileW((data + L"\\backup\\udb-*.gz").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return names;
  do names.push_back(found.cFileName);
  while (FindNextFileW(h, &found));
  FindClose(h);
  return names;
}

TEST_F(EndToEnd, AStoreLostAfterItsDaysCopyComesBackFromTheBackupPageWithItsTree) {
  CreateDirectoryW(data.c_str(), nullptr);
  writeFile(data + L"\\udb", sampleStore());  // a category 工作资料 and bookmarks in the root
  {
    Program p(run);
    ASSERT_TRUE(p.start());
    ASSERT_TRUE(p.waitDocked());
    // The day's copy, written in the background after the start.
    ASSERT_TRUE(waitUntil([&] { return backupsIn(data).size() == 1; }, kSlowWaitMs));
    p.stop();
  }
  // Everything lost: a store of the fixed entries only.
  writeFile(data + L"\\udb", storeWith({}));
  DeleteFileW((data + L"\\bein").c_str());
  Program p(run);
  ASSERT_TRUE(p.start());
  ASSERT_TRUE(p.waitDockedWithShadows());
  const RECT main = p.rect(L"Linkhoard");
  clickAt(kLeft + layout::kBackupLabel.left + 10, main.bottom - layout::kBottomBarHeight + layout::kBackupLabel.top + 6);  // 备份
  const int firstRowY = rowOfBackupPage(main, 0);
  ASSERT_TRUE(waitForBackupPage(main, 1)) << "the backup page with its row did not come";
  screenshot("backup-page.png");
  clickAt(kLeft + 40, firstRowY);
  pointTo(900, 950);  // off the list, for the cases after this one
  // The copy's tree in a category of its own in the root, saved.
  // (The import writes the store file, no log records.)
  const auto inStoreFile = [&](const std::string& text) {
    return readFile(data + L"\\udb").find(text) != std::string::npos;
  };
  ASSERT_TRUE(waitUntil([&] { return inStoreFile("http://www.sina.com.cn/"); }, kSlowWaitMs));
  EXPECT_TRUE(inStoreFile("http://example.com/"));
  p.stop();
  const std::string file = readFile(data + L"\\udb");
  EXPECT_NE(file.find("\xbb\xd6\xb8\xb4 "), std::string::npos) << "no category 恢复 in the store file";  // 恢复
  EXPECT_NE(file.find("\xb9\xa4\xd7\xf7\xd7\xca\xc1\xcf"), std::string::npos) << "the sub-category 工作资料 is missing";
  Program again(run);
  ASSERT_TRUE(again.start());
  ASSERT_TRUE(again.waitDocked());
  settledList();
  screenshot("backup-restored.png");
}

TEST_F(EndToEnd, ASyncToolsConflictCopyIsRestoredFromTheBackupPageAndMovedAmongTheBackups) {
  CreateDirectoryW(data.c_str(), nullptr);
  writeFile(data + L"\\udb", sampleStore());
  // What OneDrive and Google Drive left when another computer changed the
  // folder; a file of the user's own beside them.
  const std::string laptop = storeWith({{"Laptop only", "http://laptop.example/"}, {"Example Domain", "http://example.com/"}});
  const std::string drive = storeWith({{"Drive", "http://drive.example/"}});
  writeFile(data + L"\\udb-LAPTOP", laptop);
  writeFile(data + L"\\udb (1)", drive);
  writeFile(data + L"\\notes.txt", "mine");
  Program p(run);
  ASSERT_TRUE(p.start());
  ASSERT_TRUE(p.waitDockedWithShadows());
  const RECT main = p.rect(L"Linkhoard");
  clickAt(kLeft + layout::kBackupLabel.left + 10, main.bottom - layout::kBottomBarHeight + layout::kBackupLabel.top + 6);  // 备份
  const int secondRowY = rowOfBackupPage(main, 1);
  ASSERT_TRUE(waitForBackupPage(main, 2)) << "the backup page with its two rows did not come";
  screenshot("backup-page-conflicts.png");
  clickAt(kLeft + 40, secondRowY);  // 冲突副本 udb-LAPTOP (after "udb (1)")
  pointTo(900, 950);  // off the list, for the cases after this one
  const auto inStoreFile = [&](const std::string& text) {
    return readFile(data + L"\\udb").find(text) != std::string::npos;
  };
  ASSERT_TRUE(waitUntil([&] { return inStoreFile("http://laptop.example/"); }, kSlowWaitMs));
  ASSERT_TRUE(waitUntil([&] { return fileExists(data + L"\\backup\\udb-LAPTOP"); }, kWaitMs));
  p.stop();
  EXPECT_FALSE(fileExists(data + L"\\udb-LAPTOP"));
  EXPECT_EQ(readFile(data + L"\\backup\\udb-LAPTOP"), laptop);
  EXPECT_EQ(readFile(data + L"\\udb (1)"), drive);
  EXPECT_EQ(readFile(data + L"\\notes.txt"), "mine");
  EXPECT_FALSE(inStoreFile("http://drive.example/"));
  // Its category: "冲突副本 udb-LAPTOP", with the one address not saved here.
  EXPECT_TRUE(inStoreFile("\xb3\xe5\xcd\xbb\xb8\xb1\xb1\xbe udb-LAPTOP"));
}

}  // namespace
