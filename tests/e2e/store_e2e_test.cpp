// The store through the real program under Wine, against other programs
// that hold its files the way Windows lets them.
#include <gtest/gtest.h>

#include <windows.h>

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
  Program again(run);
  ASSERT_TRUE(again.start());
  ASSERT_TRUE(again.waitDocked());
  again.stop();
  // Folded now, each change once: 10 fixed entries, 300 + 200 bookmarks.
  EXPECT_EQ(linesOf(readFile(data + L"\\udb")), 510u);
  EXPECT_FALSE(fileExists(data + L"\\bein"));
  EXPECT_FALSE(fileExists(data + L"\\bein.folded"));
  Program third(run);
  ASSERT_TRUE(third.start());
  ASSERT_TRUE(third.waitDocked());
  third.stop();
  EXPECT_EQ(linesOf(readFile(data + L"\\udb")), 510u);
}

}  // namespace
