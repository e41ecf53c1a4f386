// The nine change operations: their effect in memory, the lines they refresh
// and the log record each appends.
#include <gtest/gtest.h>

#include "store/members.h"
#include "store_fixture.h"

namespace lh::store::test {
namespace {

using Ids = std::vector<EntryId>;

std::vector<LogRecord> logged(text::MemoryFileSystem& fs) { return decodeLog(fs.files[kLog]); }

class Operations : public StoreTest {};

TEST_F(Operations, AddBookmarkAppendsToItsParentAndDerivesItsFields) {
  const EntryId a = store.addBookmark("新浪网", "http://www.sina.com.cn/x", "n", 1, 45000.5, -1);
  const EntryId b = store.addBookmark("B", "b.org", "", 1, 45000.6, -1);
  EXPECT_EQ(a, 11);
  EXPECT_EQ(b, 12);
  EXPECT_EQ(store.members(1), (Ids{11, 12}));
  const Entry& e = store.entry(a);
  EXPECT_EQ(e.kind, kBookmark);
  EXPECT_EQ(e.titleKey, "xlw");
  EXPECT_EQ(e.domain, "sina.com.cn");
  EXPECT_EQ(e.parentId, 1);
  EXPECT_EQ(e.added, 45000.5);
  EXPECT_EQ(e.lastVisit, 0.0);
  EXPECT_EQ(store.line(a), serializeLine(e));
  EXPECT_EQ(store.line(1), serializeLine(store.entry(1)));
  const EntryId c = store.addBookmark("C", "c.net", "", 1, 45000.7, 11);
  EXPECT_EQ(store.members(1), (Ids{11, c, 12}));

  const auto records = logged(fs);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].op, LogOp::AddBookmark);
  EXPECT_EQ(records[0].fields[0], "新浪网");
  EXPECT_EQ(records[0].fields[1], "http://www.sina.com.cn/x");
  EXPECT_EQ(getInt(records[0].fields[3]), 1);
  EXPECT_EQ(getDate(records[0].fields[4]), 45000.5);
  EXPECT_EQ(getInt(records[0].fields[5]), -1);
  EXPECT_EQ(getInt(records[2].fields[5]), 11);
}

TEST_F(Operations, AddBookmarkAfterAMissingMemberStillLandsInTheList) {
  const EntryId a = store.addBookmark("A", "a.com", "", 1, 1.0, 99);
  EXPECT_EQ(store.members(1), Ids{a});
}

TEST_F(Operations, RecordVisitLogsTheNewValues) {
  const EntryId a = store.addBookmark("A", "a.com", "", 1, 1.0, -1);
  EXPECT_TRUE(store.recordVisit(a, 45100.25, 1));
  EXPECT_TRUE(store.recordVisit(a, 45101.25, 2));
  EXPECT_EQ(store.entry(a).visitCount, 2);
  EXPECT_EQ(store.entry(a).lastVisit, 45101.25);
  const auto records = logged(fs);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[2].op, LogOp::RecordVisit);
  EXPECT_EQ(getInt(records[2].fields[0]), a);
  EXPECT_EQ(getDate(records[2].fields[1]), 45101.25);
  EXPECT_EQ(getInt(records[2].fields[2]), 2);
}

TEST_F(Operations, EditBookmarkRederivesKeyAndDomain) {
  const EntryId a = store.addBookmark("A", "a.com", "", 1, 1.0, -1);
  EXPECT_TRUE(store.editBookmark(a, "中国", "note^two", "http://x.b.com.cn/"));
  EXPECT_EQ(store.entry(a).titleKey, "zg");
  EXPECT_EQ(store.entry(a).domain, "b.com.cn");
  EXPECT_EQ(store.entry(a).note, "note^two");
  const auto r = logged(fs).back();
  EXPECT_EQ(r.op, LogOp::EditBookmark);
  EXPECT_EQ(r.fields[1], "中国");
  EXPECT_EQ(r.fields[2], "note^two");
  EXPECT_EQ(r.fields[3], "http://x.b.com.cn/");
}

TEST_F(Operations, MoveEntriesByEveryPositionKind) {
  const EntryId a = store.addBookmark("A", "a.com", "", 1, 1.0, -1);
  const EntryId b = store.addBookmark("B", "b.com", "", 1, 1.0, -1);
  const EntryId c = store.addBookmark("C", "c.com", "", 1, 1.0, -1);
  const EntryId cat = store.addCategory(1, 1.0, "Cat");
  EXPECT_EQ(store.members(1), (Ids{cat, a, b, c}));

  EXPECT_TRUE(store.moveEntries(std::to_string(a) + "u", cat, -1, false));  // into an empty category
  EXPECT_EQ(store.members(cat), Ids{a});
  EXPECT_EQ(store.entry(a).parentId, cat);
  EXPECT_EQ(store.members(1), (Ids{cat, b, c}));

  EXPECT_TRUE(store.moveEntries(std::to_string(b) + "u", cat, -2, false));  // appended
  EXPECT_EQ(store.members(cat), (Ids{a, b}));

  EXPECT_TRUE(store.moveEntries("u" + std::to_string(c) + "u", cat, a, false));  // before a, leading "u" tolerated
  EXPECT_EQ(store.members(cat), (Ids{c, a, b}));

  EXPECT_TRUE(store.moveEntries(std::to_string(c) + "u", cat, b, true));  // within the same list: moved, not doubled
  EXPECT_EQ(store.members(cat), (Ids{a, b, c}));

  EXPECT_TRUE(store.moveEntries(std::to_string(a) + "u" + std::to_string(b) + "u", kRecycleBin, -2, false));
  EXPECT_EQ(store.members(kRecycleBin), (Ids{a, b}));
  EXPECT_EQ(store.members(cat), Ids{c});

  const auto r = logged(fs).back();
  EXPECT_EQ(r.op, LogOp::MoveEntries);
  EXPECT_EQ(r.fields[0], std::to_string(a) + "u" + std::to_string(b) + "u");
  EXPECT_EQ(getInt(r.fields[1]), kRecycleBin);
  EXPECT_EQ(getInt(r.fields[2]), -2);
  EXPECT_EQ(getInt(r.fields[3]), 0);
}

TEST_F(Operations, MoveToAMissingAnchorKeepsTheItemsInTheDestination) {
  const EntryId a = store.addBookmark("A", "a.com", "", 1, 1.0, -1);
  const EntryId cat = store.addCategory(1, 1.0, "Cat");
  EXPECT_TRUE(store.moveEntries(std::to_string(a) + "u", cat, 999, true));
  EXPECT_EQ(store.members(cat), Ids{a});
}

TEST_F(Operations, NewCategoryComesFirstNewBookmarkLast) {
  const EntryId a = store.addBookmark("A", "a.com", "", 1, 1.0, -1);
  const EntryId cat = store.addCategory(1, 45000.0, "新建");
  EXPECT_EQ(store.members(1), (Ids{cat, a}));
  EXPECT_EQ(store.entry(cat).members(), "u");
  EXPECT_EQ(store.entry(cat).titleKey, "xj");
  EXPECT_EQ(store.entry(cat).kind, kCategory);
  EXPECT_EQ(store.entry(cat).added, 45000.0);
  const auto r = logged(fs).back();
  EXPECT_EQ(r.op, LogOp::AddCategory);
  EXPECT_EQ(getInt(r.fields[0]), 1);
  EXPECT_EQ(r.fields[2], "新建");
}

TEST_F(Operations, EditCategoryRenamesAndMayClearMembers) {
  const EntryId cat = store.addCategory(1, 1.0, "Old");
  EXPECT_NE(store.addBookmark("A", "a.com", "", cat, 1.0, -1), 0);
  EXPECT_TRUE(store.editCategory(cat, "New", 1, 0, false));
  EXPECT_EQ(store.entry(cat).title, "New");
  EXPECT_EQ(store.entry(cat).reservedA, 1);
  EXPECT_EQ(store.members(cat).size(), 1u);
  EXPECT_TRUE(store.editCategory(cat, "New", 1, 0, true));
  EXPECT_EQ(store.entry(cat).members(), "");
  const auto r = logged(fs).back();
  EXPECT_EQ(r.op, LogOp::EditCategory);
  EXPECT_EQ(getInt(r.fields[4]), 1);
}

TEST_F(Operations, EmptyRecycleBinDestroysSubtreesDepthFirst) {
  const EntryId cat = store.addCategory(1, 1.0, "Cat");
  const EntryId inner = store.addBookmark("In", "in.com", "", cat, 1.0, -1);
  const EntryId sub = store.addCategory(cat, 1.0, "Sub");
  const EntryId deep = store.addBookmark("Deep", "d.com", "", sub, 1.0, -1);
  const EntryId loose = store.addBookmark("Loose", "l.com", "", 1, 1.0, -1);
  const EntryId kept = store.addBookmark("Kept", "k.com", "", 1, 1.0, -1);
  EXPECT_TRUE(store.moveEntries(std::to_string(cat) + "u" + std::to_string(loose) + "u", kRecycleBin, -2, false));
  EXPECT_TRUE(store.emptyRecycleBin());
  EXPECT_EQ(store.entry(kRecycleBin).members(), "u");
  for (EntryId id : {cat, inner, sub, deep, loose}) EXPECT_TRUE(store.entry(id).deleted) << id;
  EXPECT_FALSE(store.entry(kept).deleted);
  EXPECT_EQ(store.members(sub), Ids{deep});  // lists of destroyed categories stay
  EXPECT_EQ(logged(fs).back().op, LogOp::EmptyRecycleBin);
}

TEST_F(Operations, EmptyRecycleBinSurvivesACategoryThatContainsItself) {
  const EntryId cat = store.addCategory(1, 1.0, "Loop");
  store.mutableEntry(cat)->members() = "u" + std::to_string(cat) + "u";
  EXPECT_TRUE(store.moveEntries(std::to_string(cat) + "u", kRecycleBin, -2, false));
  EXPECT_TRUE(store.emptyRecycleBin());
  EXPECT_TRUE(store.entry(cat).deleted);
}

TEST_F(Operations, SeparatorGoesBeforeItsMemberAndPurgeLeavesItInMemory) {
  const EntryId a = store.addBookmark("A", "a.com", "", 1, 1.0, -1);
  const EntryId b = store.addBookmark("B", "b.com", "", 1, 1.0, -1);
  const EntryId s = store.addSeparator(1, b);
  EXPECT_EQ(store.members(1), (Ids{a, s, b}));
  EXPECT_EQ(store.entry(s).kind, kSeparator);
  EXPECT_EQ(store.entry(s).parentId, 1);
  auto r = logged(fs).back();
  EXPECT_EQ(r.op, LogOp::AddSeparator);
  EXPECT_EQ(r.fields[1], std::to_string(b));

  EXPECT_TRUE(store.purgeEntry(1, s));
  EXPECT_EQ(store.members(1), (Ids{a, b}));
  EXPECT_EQ(store.entry(s).kind, kSeparator);  // still in memory
  EXPECT_EQ(store.line(s), "");
  r = logged(fs).back();
  EXPECT_EQ(r.op, LogOp::PurgeEntry);
  EXPECT_EQ(getInt(r.fields[1]), s);
}

TEST_F(Operations, TextsAreMadeLineSafeBeforeTheyAreStored) {
  const EntryId a = store.addBookmark("a\x01\x01\x07\x01z", "x.com\r\n/y", "n\x04\x01\x05\x08n", 1, 1.0, -1);
  EXPECT_EQ(store.entry(a).title, "az");
  EXPECT_EQ(store.entry(a).url, "x.com/y");
  EXPECT_EQ(store.entry(a).note, "nn");
  EXPECT_TRUE(store.saveAll());
  const auto again = reload();
  EXPECT_EQ(again->count(), a);
  EXPECT_EQ(again->entry(a).title, "az");
  EXPECT_EQ(again->entry(a).note, "nn");
}

TEST_F(Operations, NothingChangesWhileALoadIsRunning) {
  class Meddler : public LoadObserver {
   public:
    explicit Meddler(BookmarkStore& s) : s_(s) {}
    void progress(int) override {
      if (s_.loading()) { EXPECT_EQ(s_.addBookmark("x", "x.com", "", 1, 1.0, -1), 0); }
    }

   private:
    BookmarkStore& s_;
  } meddler(store);
  const int before = store.count();
  store.load(&meddler);
  EXPECT_EQ(store.count(), before);
  EXPECT_FALSE(fs.exists(kLog));
}

TEST_F(Operations, NoChangeIsLoggedForAnEntryThatIsNotThere) {
  const EntryId a = store.addBookmark("A", "a.com", "", 1, 1.0, -1);
  const EntryId c = store.addCategory(1, 1.0, "C");
  const EntryId sep = store.addSeparator(1, a);
  EXPECT_TRUE(store.purgeEntry(1, sep));  // a vacant slot from now on
  const std::string log = fs.files[kLog];
  const int count = store.count();
  const std::string root(store.line(1));
  for (const EntryId missing : {0, -1, sep, count + 1, 99}) {
    SCOPED_TRACE("entry " + std::to_string(missing));
    EXPECT_FALSE(store.recordVisit(missing, 45000.0, 1));
    EXPECT_FALSE(store.editBookmark(missing, "t", "n", "u.com"));
    EXPECT_FALSE(store.editCategory(missing, "n", 1, 0, false));
    EXPECT_EQ(store.addBookmark("B", "b.com", "", missing, 1.0, -1), 0);
    if (missing != 0) EXPECT_EQ(store.addCategory(missing, 1.0, "D"), 0);
    EXPECT_FALSE(store.moveEntries(std::to_string(missing) + "u", 1, -2, false));
    EXPECT_FALSE(store.moveEntries(std::to_string(a) + "u", missing, -2, false));
    EXPECT_EQ(store.addSeparator(1, missing), 0);
    EXPECT_EQ(store.addSeparator(missing, a), 0);
    EXPECT_FALSE(store.purgeEntry(1, missing));
    EXPECT_FALSE(store.purgeEntry(missing, a));
  }
  // Parents and destinations are categories; a bookmark is edited as one.
  EXPECT_EQ(store.addBookmark("B", "b.com", "", a, 1.0, -1), 0);
  EXPECT_EQ(store.addCategory(a, 1.0, "D"), 0);
  EXPECT_FALSE(store.editBookmark(c, "t", "n", "u.com"));
  EXPECT_EQ(store.addSeparator(c, a), 0);  // not one of its members
  EXPECT_EQ(fs.files[kLog], log);
  EXPECT_EQ(store.count(), count);
  EXPECT_EQ(store.line(1), root);
  // A move of entries some of which are missing moves the others alone.
  EXPECT_TRUE(store.moveEntries("u" + std::to_string(a) + "u99u" + std::to_string(sep) + "u", c, -2, false));
  const auto records = logged(fs);
  ASSERT_EQ(records.size(), 5u);
  EXPECT_EQ(records.back().fields[0], std::to_string(a) + "u");
  EXPECT_EQ(store.members(c), Ids{a});
}

}  // namespace
}  // namespace lh::store::test
