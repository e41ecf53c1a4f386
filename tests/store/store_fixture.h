// A store in memory with the ten fixed entries and a few members.
#pragma once

#include <gtest/gtest.h>

#include "store/bookmark_store.h"
#include "text/memory_filesystem.h"

namespace lh::store::test {

inline constexpr const char* kStore = "D:\\run\\data\\udb";
inline constexpr const char* kLog = "D:\\run\\data\\bein";

// Lines of the ten fixed entries: categories 1..10, all empty.
inline std::string fixedEntriesFile() {
  std::string file;
  for (int i = 1; i <= 10; ++i) {
    Entry e;
    e.title = i == 1 ? "根" : (i == 2 ? "回收站" : "保留" + std::to_string(i));
    e.url = "u";
    e.kind = kCategory;
    file += serializeLine(e) + "\r\n";
  }
  return file;
}

class StoreTest : public ::testing::Test {
 protected:
  text::MemoryFileSystem fs;
  BookmarkStore store{fs, kStore, kLog};

  void SetUp() override {
    fs.files[kStore] = fixedEntriesFile();
    store.load();
  }

  // A second store loaded from the same files.
  std::unique_ptr<BookmarkStore> reload() {
    auto s = std::make_unique<BookmarkStore>(fs, kStore, kLog);
    s->load();
    return s;
  }
};

// Every line, as the next save would write it.
inline std::vector<std::string> linesOf(const BookmarkStore& s) {
  std::vector<std::string> lines;
  for (EntryId id = 1; id <= s.count(); ++id) lines.emplace_back(s.line(id));
  return lines;
}

// Every stored and derived field of every entry, and every cached line.
inline void expectSameState(const BookmarkStore& a, const BookmarkStore& b) {
  ASSERT_EQ(a.count(), b.count());
  for (EntryId id = 1; id <= a.count(); ++id) {
    SCOPED_TRACE("entry " + std::to_string(id));
    const Entry& x = a.entry(id);
    const Entry& y = b.entry(id);
    EXPECT_EQ(a.line(id), b.line(id));
    if (a.line(id).empty()) continue;  // vacant on disk
    EXPECT_EQ(x.title, y.title);
    EXPECT_EQ(x.url, y.url);
    EXPECT_EQ(x.note, y.note);
    EXPECT_EQ(x.parentId, y.parentId);
    if (id != kRootCategory) {
      EXPECT_EQ(x.scrollRow, y.scrollRow);
    }
    EXPECT_EQ(x.visitCount, y.visitCount);
    EXPECT_EQ(x.kind, y.kind);
    EXPECT_EQ(x.reservedA, y.reservedA);
    EXPECT_EQ(x.reservedB, y.reservedB);
    EXPECT_EQ(x.deleted, y.deleted);
    EXPECT_EQ(x.lastVisit, y.lastVisit);
    EXPECT_EQ(x.added, y.added);
    EXPECT_EQ(x.titleKey, y.titleKey);
    EXPECT_EQ(x.domain, y.domain);
  }
}

}  // namespace lh::store::test
