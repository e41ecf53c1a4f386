#include "list/list_model.h"

#include <gtest/gtest.h>

#include <random>

#include "../store/store_fixture.h"
#include "text/oledate.h"

namespace lh::list {
namespace {

using Ids = std::vector<EntryId>;

text::CalendarTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  text::CalendarTime t;
  t.year = y, t.month = mo, t.day = d, t.hour = h, t.minute = mi, t.second = s;
  return t;
}

TEST(RelativeTime, EveryBand) {
  const double now = text::oleFromCalendar(at(2026, 12, 9, 12, 0, 0));
  const double minute = 1.0 / 1440, hour = 1.0 / 24;
  EXPECT_EQ(relativeTime(now, now, View::LastVisit), "刚刚");
  EXPECT_EQ(relativeTime(now - 4 * minute - 59 * minute / 60, now, View::LastVisit), "刚刚");
  EXPECT_EQ(relativeTime(now - 5 * minute, now, View::LastVisit), "5分钟前");
  EXPECT_EQ(relativeTime(now - 59 * minute, now, View::LastVisit), "55分钟前");
  EXPECT_EQ(relativeTime(now - 1 * hour, now, View::LastVisit), "1小时前");
  EXPECT_EQ(relativeTime(now - 23 * hour, now, View::LastVisit), "23小时前");
  EXPECT_EQ(relativeTime(now - 25 * hour, now, View::LastVisit), "1天前");
  EXPECT_EQ(relativeTime(now - 2.5, now, View::LastVisit), "2天前");
  EXPECT_EQ(relativeTime(now - 3, now, View::LastVisit), "3天前");
  EXPECT_EQ(relativeTime(now - 5.9, now, View::LastVisit), "3天前");
  EXPECT_EQ(relativeTime(now - 6, now, View::LastVisit), "一周前");
  EXPECT_EQ(relativeTime(now - 14.5, now, View::LastVisit), "一周前");
  EXPECT_EQ(relativeTime(now - 15, now, View::LastVisit), "半个月前");
  EXPECT_EQ(relativeTime(now - 30.9, now, View::LastVisit), "半个月前");
  EXPECT_EQ(relativeTime(text::oleFromCalendar(at(2016, 5, 3)), now, View::Added), "2016年5月");
  EXPECT_EQ(relativeTime(now - 31, now, View::LastVisit), "2026年11月");
  EXPECT_EQ(relativeTime(0.0, now, View::LastVisit), "没访问过");
  EXPECT_EQ(relativeTime(0.0, now, View::Added), "很久以前");
  EXPECT_EQ(relativeTime(now + 3, now, View::LastVisit), "刚刚");  // a future date
}

TEST(TitleCut, FortyBytesWholeFortyOneCut) {
  const std::string forty(40, 'a');
  EXPECT_EQ(cutBookmarkTitle(forty), forty);
  EXPECT_EQ(cutBookmarkTitle(forty + "b"), forty + "...");
  EXPECT_EQ(cutBookmarkTitle("what?" + std::string(40, 'x')), "what" + std::string(35, 'x') + "...");
  // A hanzi straddling byte 40 is dropped whole.
  EXPECT_EQ(cutBookmarkTitle(std::string(39, 'a') + "中文"), std::string(39, 'a') + "...");
  EXPECT_EQ(cutCategoryTitle(std::string(35, 'a') + "中"), std::string(35, 'a'));
  EXPECT_EQ(cutCategoryTitle("短"), "短");
}

TEST(SlotGeometry, AListOf410Pixels) {
  const SlotGeometry g = slotGeometry(410);
  EXPECT_EQ(g.slotCount, 22);
  EXPECT_EQ(g.wrapExtra, 10);
  std::vector<int> ys;
  for (int k = 1; k <= g.slotCount; ++k) ys.push_back(slotY(k, 0, g.slotCount));
  EXPECT_EQ(ys.front(), 0);
  // Scrolled by half a row and by many rows, every slot stays in [-20, 420).
  for (int offset : {-10, -20, -30, -12345}) {
    std::vector<int> rows;
    for (int k = 1; k <= g.slotCount; ++k) {
      const int y = slotY(k, offset, g.slotCount);
      EXPECT_GE(y, -20);
      EXPECT_LT(y, 20 * g.slotCount - 20);
      rows.push_back(rowAt(y, offset));
    }
    std::sort(rows.begin(), rows.end());
    for (std::size_t i = 1; i < rows.size(); ++i) EXPECT_EQ(rows[i], rows[i - 1] + 1);  // consecutive rows
  }
}

TEST(ScrollGeometry, ThumbAndOffset) {
  const ScrollGeometry g = scrollGeometry(410, 100);
  EXPECT_EQ(g.travel, 320);
  EXPECT_EQ(g.scrollable, 20 * 100 - 410 + 20 * 22 - 220);  // = 20 * 100 - 180 - 10
  EXPECT_EQ(thumbTopFor(0, g), 0);
  EXPECT_EQ(thumbTopFor(g.scrollable, g), 320);
  EXPECT_EQ(offsetForThumb(20, g), 20 * g.scrollable / 320);
  const ScrollGeometry shortList = scrollGeometry(410, 5);
  EXPECT_LE(shortList.scrollable, 0);
  EXPECT_EQ(thumbTopFor(0, shortList), 0);
}

class Views : public store::test::StoreTest {
 protected:
  EntryId bookmark(int visits, double lastVisit = 0, double added = 45000, std::string url = "http://a.com/") {
    const EntryId id = store.addBookmark("t", url, "", 1, added, -1);
    if (visits) { EXPECT_TRUE(store.recordVisit(id, lastVisit ? lastVisit : 45000 + visits, visits)); }
    return id;
  }
};

TEST_F(Views, VisitCountGroupsNineNineFiveZero) {
  const EntryId a = bookmark(9), b = bookmark(9), c = bookmark(5), d = bookmark(0);
  Ids ids{d, c, a, b};
  sortForView(store, ids, View::VisitCount);
  const Ids rows = displayRows(store, ids, View::VisitCount, 46000);
  ASSERT_EQ(rows.size(), 8u);
  EXPECT_EQ(rows[0], 0);
  EXPECT_EQ(rows[1], 0);
  EXPECT_EQ((Ids{rows[2], rows[3]} == Ids{a, b} || Ids{rows[2], rows[3]} == Ids{b, a}), true);
  EXPECT_EQ(rows[4], c);
  EXPECT_EQ(rows[5], 0);
  EXPECT_EQ(rows[6], 0);
  EXPECT_EQ(rows[7], d);
  EXPECT_EQ(store.entry(a).groupLabel, "常用");
  EXPECT_EQ(store.entry(c).groupLabel, "常用");
  EXPECT_EQ(store.entry(d).groupLabel, "没访问过");
}

TEST_F(Views, TheFrequentGroupHoldsTheFirstFifteen) {
  Ids ids;
  for (int v = 40; v > 20; --v) ids.push_back(bookmark(v));  // 20 bookmarks, all visited, counts 40 .. 21
  sortForView(store, ids, View::VisitCount);
  const Ids rows = displayRows(store, ids, View::VisitCount, 46000);
  int frequent = 0;
  for (EntryId id : ids) frequent += store.entry(id).groupLabel == "常用";
  EXPECT_EQ(frequent, 15);
  EXPECT_EQ(store.entry(ids[15]).groupLabel, "访问次数 25");
  // Rows: 2 + 15, then each later count its own group of 2 + 1.
  EXPECT_EQ(rows.size(), 2 + 15 + 5 * 3u);
}

TEST_F(Views, DomainsAscendAndGroup) {
  const EntryId z = bookmark(0, 0, 45000, "http://z.org/");
  const EntryId a1 = bookmark(0, 0, 45000, "http://www.a.com/1");
  const EntryId a2 = bookmark(0, 0, 45000, "http://a.com/2");
  const EntryId cn = bookmark(0, 0, 45000, "http://b.com.cn/");
  Ids ids{z, a1, cn, a2};
  sortForView(store, ids, View::Domain);
  EXPECT_EQ(store.entry(ids[0]).domain, "a.com");
  EXPECT_EQ(store.entry(ids[1]).domain, "a.com");
  EXPECT_EQ(ids[2], cn);
  EXPECT_EQ(ids[3], z);
  EXPECT_EQ(displayRows(store, ids, View::Domain, 46000).size(), 4 + 3 * 2u);
}

TEST_F(Views, DatesSortNewestFirstAndNeverVisitedLast) {
  const EntryId never = bookmark(0);
  const EntryId old = bookmark(1, 44000);
  const EntryId recent = bookmark(1, 45999);
  Ids ids{never, old, recent};
  sortForView(store, ids, View::LastVisit);
  EXPECT_EQ(ids, (Ids{recent, old, never}));
}

TEST(SortForView, AHundredThousandEqualKeysSortQuicklyAndPump) {
  text::MemoryFileSystem fs;
  store::BookmarkStore s(fs, "udb", "bein");
  fs.files["udb"] = store::test::fixedEntriesFile();
  s.load();
  Ids ids;
  for (int i = 0; i < 100000; ++i) {
    const EntryId id = s.newEntry();
    s.mutableEntry(id)->kind = store::kBookmark;  // never visited: all keys equal
    ids.push_back(id);
  }
  int pumps = 0;
  sortForView(s, ids, View::LastVisit, [&] { ++pumps; });
  EXPECT_EQ(ids.size(), 100000u);
  EXPECT_GT(pumps, 10);
  std::vector<EntryId> sorted = ids;
  std::sort(sorted.begin(), sorted.end());
  for (std::size_t i = 0; i < sorted.size(); ++i) ASSERT_EQ(sorted[i], static_cast<EntryId>(11 + i));
}

class MemberRows : public store::test::StoreTest {};

TEST_F(MemberRows, TheLeadRowThenTheMembersThatAreThere) {
  const EntryId a = store.addBookmark("A", "a.com", "", 1, 1.0, -1);
  const EntryId c = store.addCategory(1, 1.0, "C");
  const EntryId b = store.addBookmark("B", "b.com", "", 1, 1.0, -1);
  EXPECT_EQ(memberRows(store, 1), (Ids{0, c, a, b}));
  EXPECT_EQ(memberRows(store, c), Ids{0});
  // A store cut short: tokens naming an id past its end, no id, id 0 and
  // vacant slots (an empty line, a line of 00 00, a purged separator) show
  // no row.
  const EntryId sep = store.addSeparator(1, b);
  EXPECT_TRUE(store.purgeEntry(1, sep));
  EXPECT_EQ(memberRows(store, 1), (Ids{0, c, a, b}));
  std::string file;
  for (EntryId id = 1; id <= 10; ++id) {
    store::Entry e = store.entry(id);
    if (id == 1) e.url = "u11u12u99uxu0u13u14u";
    file += store::serializeLine(e) + "\r\n";
  }
  store::Entry bookmark, category;
  bookmark.title = "B", bookmark.url = "b.com", bookmark.kind = store::kBookmark, bookmark.parentId = 1;
  category.title = "C", category.url = "u", category.parentId = 1;
  file += "\r\n" + store::serializeLine(bookmark) + "\r\n" + store::serializeLine(category) + "\r\n";
  file += std::string("\0\0\r\n", 4);
  fs.files[store::test::kStore] = file;
  fs.files.erase(store::test::kLog);
  const auto cut = reload();
  ASSERT_EQ(cut->count(), 14);
  EXPECT_EQ(memberRows(*cut, 1), (Ids{0, 12, 13}));
}

}  // namespace
}  // namespace lh::list
