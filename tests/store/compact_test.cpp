// The store's compaction: renumbering the tree from 11 in walk order, the
// recycle bin's sub-tree with it, what is dropped, and the file it writes.
#include <gtest/gtest.h>

#include "store/codec.h"
#include "store_fixture.h"

namespace lh::store {
namespace {

using test::StoreTest;

class Compact : public StoreTest {};

TEST_F(Compact, RenumbersTheTreeInWalkOrderAndKeepsTheBinsSubTree) {
  const EntryId a = store.addBookmark("a", "http://a/", "", 1, 1.0, -1);     // 11
  const EntryId cat = store.addCategory(1, 2.0, "cat");                      // 12, put first
  const EntryId b = store.addBookmark("b", "http://b/", "", cat, 3.0, -1);   // 13
  const EntryId sep = store.addSeparator(1, a);                               // 14, before a
  const EntryId gone = store.addBookmark("gone", "http://g/", "", 1, 1.0, -1);
  EXPECT_TRUE(store.moveEntries(std::to_string(gone) + "u", kRecycleBin, -2, false));
  const EntryId binCat = store.addCategory(1, 1.0, "binned");
  const EntryId inside = store.addBookmark("inside", "http://i/", "", binCat, 1.0, -1);
  EXPECT_TRUE(store.moveEntries(std::to_string(binCat) + "u", kRecycleBin, -2, false));
  const EntryId destroyed = store.addBookmark("destroyed", "http://d/", "", 1, 1.0, -1);
  EXPECT_TRUE(store.moveEntries(std::to_string(destroyed) + "u", kRecycleBin, -2, false));
  EXPECT_TRUE(store.emptyRecycleBin());  // destroyed now, with gone and binned... keep one in the bin:
  const EntryId kept = store.addBookmark("kept", "http://k/", "", 1, 1.0, -1);
  EXPECT_TRUE(store.moveEntries(std::to_string(kept) + "u", kRecycleBin, -2, false));
  (void)inside;
  (void)b;
  ASSERT_EQ(store.entry(1).members().view(), "u" + std::to_string(cat) + "u" + std::to_string(sep) + "u" +
                                                std::to_string(a) + "u");
  const auto ids = store.compact();
  ASSERT_TRUE(ids.has_value());
  // Root: cat (11) with b (12) inside, the separator (13), a (14); the bin:
  // kept (15). Everything destroyed is gone.
  EXPECT_EQ(store.entry(1).members().view(), "u11u13u14u");
  EXPECT_EQ(store.entry(11).title.view(), "cat");
  EXPECT_EQ(store.entry(11).members().view(), "u12u");
  EXPECT_EQ(store.entry(12).title.view(), "b");
  EXPECT_EQ(store.entry(12).parentId, 11);
  EXPECT_TRUE(store.entry(13).isSeparator());
  EXPECT_EQ(store.entry(14).title.view(), "a");
  EXPECT_EQ(store.entry(kRecycleBin).members().view(), "u15u");
  EXPECT_EQ(store.entry(15).title.view(), "kept");
  EXPECT_EQ(store.entry(15).parentId, kRecycleBin);
  EXPECT_EQ(store.count(), 15);
  EXPECT_EQ((*ids)[static_cast<std::size_t>(a)], 14);
  EXPECT_EQ((*ids)[static_cast<std::size_t>(kept)], 15);
  EXPECT_EQ((*ids)[static_cast<std::size_t>(destroyed)], 0);
  // The log is gone; the file holds thirteen-field lines and reads back.
  EXPECT_FALSE(fs.exists(test::kLog));
  const std::string file = fs.files[test::kStore];
  const std::string line12 = serializeLine(store.entry(12)) + intField(12) + "\r\n";
  EXPECT_NE(file.find(line12), std::string::npos);
  auto again = reload();
  EXPECT_EQ(again->count(), 15);
  EXPECT_EQ(again->entry(1).members().view(), "u11u13u14u");
  EXPECT_EQ(again->entry(14).url.view(), "http://a/");
}

TEST_F(Compact, DropsUntitledAndMissingMembersAndWalksALoopOnce) {
  const EntryId c = store.addCategory(1, 1.0, "loop");
  const EntryId untitled = store.addBookmark("", "http://u/", "", 1, 1.0, -1);
  (void)untitled;
  // A damaged list: the category lists itself, the root and an id past the end.
  Entry* e = store.mutableEntry(c);
  e->members() = "u" + std::to_string(c) + "u1u999u";
  store.refreshLine(c);
  EXPECT_TRUE(store.saveAll());
  const auto ids = store.compact();
  ASSERT_TRUE(ids.has_value());
  EXPECT_EQ(store.count(), 11);
  EXPECT_EQ(store.entry(11).title.view(), "loop");
  EXPECT_EQ(store.entry(11).members().view(), "u");
}

TEST_F(Compact, TenThousandNestedCategoriesAreRenumberedWithoutRecursion) {
  EntryId parent = 1;
  for (int i = 0; i < 10000; ++i) parent = store.addCategory(parent, 1.0, "c" + std::to_string(i));
  EXPECT_NE(store.addBookmark("deep", "http://deep/", "", parent, 1.0, -1), 0);
  const auto ids = store.compact();
  ASSERT_TRUE(ids.has_value());
  EXPECT_EQ(store.count(), 10 + 10000 + 1);
  EXPECT_EQ(store.entry(10 + 10000 + 1).title.view(), "deep");
  EXPECT_EQ(store.entry(10 + 10000 + 1).parentId, 10 + 10000);
}

TEST_F(Compact, AReadOnlyStoreOrAFailedWriteChangesNothing) {
  EXPECT_NE(store.addBookmark("a", "http://a/", "", 1, 1.0, -1), 0);
  const std::string before = fs.files[test::kStore];
  const std::string log = fs.files[test::kLog];
  fs.replacesBeforeFailure = 0;
  EXPECT_FALSE(store.compact().has_value());
  fs.replacesBeforeFailure = -1;
  EXPECT_EQ(fs.files[test::kStore], before);
  EXPECT_EQ(fs.files[test::kLog], log);
  EXPECT_EQ(store.entry(11).title.view(), "a");
}

// The titles of the root's tree, depth first.
std::vector<std::string> treeTitles(const BookmarkStore& s, EntryId c = 1) {
  std::vector<std::string> out;
  for (EntryId k : s.members(c)) {
    if (!s.exists(k)) continue;
    out.emplace_back(s.entry(k).title.view());
    if (s.entry(k).isCategory()) {
      for (auto& t : treeTitles(s, k)) out.push_back(t);
    }
  }
  return out;
}

TEST_F(Compact, ACrashAtAnyStepLosesNoEntry) {
  const EntryId cat = store.addCategory(1, 1.0, "cat");
  EXPECT_NE(store.addBookmark("in cat", "http://c/", "", cat, 1.0, -1), 0);
  EXPECT_NE(store.addBookmark("in root", "http://r/", "", 1, 1.0, -1), 0);
  const std::vector<std::string> expected = treeTitles(store);
  const auto files = fs.files;
  for (int crash = 1; crash <= 12; ++crash) {
    fs.files = files;
    fs.operations = 0;
    fs.crashAfter = -1;
    BookmarkStore s(fs, test::kStore, test::kLog);
    s.load();
    fs.operations = 0;
    fs.crashAfter = crash;
    static_cast<void>(s.compact());  // the crash may come at any step
    fs.crashAfter = -1;
    BookmarkStore after(fs, test::kStore, test::kLog);
    after.load();
    EXPECT_EQ(treeTitles(after), expected) << "crash after operation " << crash;
  }
}

}  // namespace
}  // namespace lh::store
