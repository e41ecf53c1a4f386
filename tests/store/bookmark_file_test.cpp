// The HTML bookmark file: dates as seconds, the file the export writes, the
// import's reading rules, and two real browser exports.
#include "store/bookmark_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <limits>
#include <set>
#include <tuple>

#include "../support/files.h"
#include "store_fixture.h"
#include "text/codepage.h"
#include "text/oledate.h"
#include "text/rules.h"

namespace lh::store::test {
namespace {

using Ids = std::vector<EntryId>;
using lh::test::fixturePath;
using lh::test::readFile;

double localTime(int y, int mo, int d, int h, int mi, int s) {
  text::CalendarTime t;
  t.year = y, t.month = mo, t.day = d, t.hour = h, t.minute = mi, t.second = s;
  return text::oleFromCalendar(t);
}

// ---------------------------------------------------------------- dates

TEST(FileSeconds, CountsSecondsAfterEightOClockOnNewYearsDay1970) {
  const double added = localTime(2016, 5, 3, 16, 30, 20);
  EXPECT_EQ(fileSecondsOf(added), 1462264220);
  EXPECT_EQ(fileSecondsOf(localTime(1970, 1, 1, 8, 0, 0)), 0);
  EXPECT_EQ(fileSecondsOf(localTime(1970, 1, 1, 8, 0, 1)), 1);
  EXPECT_NEAR(oleDateOfFileSeconds(1462264220), added, 1e-9);
  // A date a rounding error short of a whole second still gives it.
  EXPECT_EQ(fileSecondsOf(added - 1e-11), 1462264220);
  EXPECT_EQ(fileSecondsOf(added + 0.9 / 86400), 1462264220);
}

TEST(FileSeconds, DatesBeforeTheMomentRoundDown) {
  // The second before the moment is what a missing ADD_DATE reads as; it is
  // written back as -1 (truncating toward zero would write 0).
  EXPECT_EQ(fileSecondsOf(oleDateOfFileSeconds(-1)), -1);
  EXPECT_EQ(fileSecondsOf(localTime(1970, 1, 1, 7, 59, 59)), -1);
  EXPECT_EQ(fileSecondsOf(oleDateOfFileSeconds(-86400LL * 365)), -86400 * 365);
}

TEST(FileSeconds, EveryWholeSecondReadsBackExactly) {
  for (long long s = -3000000; s <= 3000000; s += 997) {
    ASSERT_EQ(fileSecondsOf(oleDateOfFileSeconds(s)), s);
  }
  for (long long s = 1462264220LL - 100000; s <= 1462264220LL + 100000; s += 13) {
    ASSERT_EQ(fileSecondsOf(oleDateOfFileSeconds(s)), s);
  }
  EXPECT_EQ(fileSecondsOf(oleDateOfFileSeconds(INT32_MAX)), INT32_MAX);
  EXPECT_EQ(fileSecondsOf(oleDateOfFileSeconds(INT32_MIN)), INT32_MIN);
}

TEST(FileSeconds, ValuesOutsideThirtyTwoBitsAreWrittenAsZero) {
  // The zero date (never visited) is about -2.2e9 seconds: 0, not wrapped.
  EXPECT_EQ(fileSecondsOf(0.0), 0);
  EXPECT_EQ(fileSecondsOf(oleDateOfFileSeconds(static_cast<long long>(INT32_MAX) + 1)), 0);
  EXPECT_EQ(fileSecondsOf(oleDateOfFileSeconds(static_cast<long long>(INT32_MIN) - 1)), 0);
  EXPECT_EQ(fileSecondsOf(text::kOleMax), 0);
  EXPECT_EQ(fileSecondsOf(std::numeric_limits<double>::quiet_NaN()), 0);
  // Reading clamps to the store's range of dates.
  EXPECT_EQ(oleDateOfFileSeconds(LLONG_MAX / 2), text::kOleMax);
}

// ---------------------------------------------------------------- export

class Export : public StoreTest {};

std::string header() {
  return "<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n"
         "<!--This is an automatically generated file.\r\n"
         "It will be read and overwritten.\r\n"
         "Do Not Edit! -->\r\n"
         "<TITLE>Bookmarks</TITLE>\r\n"
         "<H1>Bookmarks</H1>\r\n"
         "<DL><P>\r\n";
}

TEST_F(Export, WritesEveryLineOfTheTreeInMemberOrder) {
  const double t1 = localTime(2016, 5, 3, 16, 30, 20);
  const EntryId top = store.addBookmark("首页", "http://a.com/", "", 1, t1, -1);
  const EntryId cat = store.addCategory(1, t1 + 1.0, "目录");
  const EntryId in = store.addBookmark("In", "http://b.com/x", "note", cat, t1 + 2.0, -1);
  EXPECT_TRUE(store.recordVisit(in, t1 + 3.0, 4));
  const EntryId sub = store.addCategory(cat, t1, "Sub");
  EXPECT_NE(store.addSeparator(1, top), 0);
  (void)sub;
  const std::string expected =
      header() +
      "<DT><H3 ADD_DATE=\"1462350620\" LAST_VISIT=\"0\" LAST_MODIFIED=\"0\">目录</H3>\r\n"
      "<DL><P>\r\n"
      "<DT><H3 ADD_DATE=\"1462264220\" LAST_VISIT=\"0\" LAST_MODIFIED=\"0\">Sub</H3>\r\n"
      "<DL><P>\r\n"
      "</DL><P>\r\n"
      "<DT><A HREF=\"http://b.com/x\" ADD_DATE=\"1462437020\" LAST_VISIT=\"1462523420\" "
      "LAST_MODIFIED=\"1462523420\">In</A>\r\n"
      "</DL><P>\r\n"
      "<DT><A HREF=\"\" ADD_DATE=\"0\" LAST_VISIT=\"0\" LAST_MODIFIED=\"0\"></A>\r\n"
      "<DT><A HREF=\"http://a.com/\" ADD_DATE=\"1462264220\" LAST_VISIT=\"0\" LAST_MODIFIED=\"0\">首页</A>\r\n"
      "</DL><P>\r\n";
  EXPECT_EQ(exportBookmarkFile(store), expected);
}

TEST_F(Export, AnEmptyTreeIsTheHeaderAndOneEmptyList) {
  EXPECT_EQ(exportBookmarkFile(store), header() + "</DL><P>\r\n");
}

// Another store with the ten fixed entries, beside the fixture's.
struct FreshStore {
  text::MemoryFileSystem fs;
  BookmarkStore store{fs, kStore, kLog};
  FreshStore() {
    fs.files[kStore] = fixedEntriesFile();
    store.load();
  }
};

TEST_F(Export, EscapesWhatWouldEndATitleOrAnAddressEarly) {
  EXPECT_NE(store.addBookmark("a&b <i>\"q\"</A>", "http://x/?a=1&b=\"2\"&c=<3>", "", 1, 1.0, -1), 0);
  const EntryId broken = store.addBookmark("line", "http://y/", "", 1, 1.0, -1);
  BookmarkStore::setTitle(*store.mutableEntry(broken), "line\nbreak");
  BookmarkStore::setUrl(*store.mutableEntry(broken), "http://y/\n");
  store.refreshLine(broken);
  const EntryId cr = store.addBookmark("cr", "http://z/", "", 1, 1.0, -1);
  BookmarkStore::setTitle(*store.mutableEntry(cr), "cr\ralone");
  BookmarkStore::setUrl(*store.mutableEntry(cr), "http://z/\r");
  store.refreshLine(cr);
  const std::string file = exportBookmarkFile(store);
  EXPECT_NE(file.find("<DT><A HREF=\"http://x/?a=1&amp;b=&quot;2&quot;&amp;c=&lt;3&gt;\" ADD_DATE="), std::string::npos);
  EXPECT_NE(file.find("\">a&amp;b &lt;i&gt;&quot;q&quot;&lt;/A&gt;</A>\r\n"), std::string::npos);
  EXPECT_NE(file.find("<DT><A HREF=\"http://y/&#10;\" ADD_DATE="), std::string::npos);
  EXPECT_NE(file.find("\">line&#10;break</A>\r\n"), std::string::npos);
  // No line but those of the table.
  EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 7 + 3 + 1);
  // A CR alone, which ends a line for the readers of such files, too.
  EXPECT_NE(file.find("<DT><A HREF=\"http://z/&#13;\" ADD_DATE="), std::string::npos);
  EXPECT_NE(file.find("\">cr&#13;alone</A>\r\n"), std::string::npos);
  EXPECT_EQ(std::count(file.begin(), file.end(), '\r'), 7 + 3 + 1);
  FreshStore back;
  EXPECT_TRUE(importBookmarkFile(back.store, file).saved);
  bool found = false;
  for (EntryId id : back.store.members(1)) {
    if (back.store.entry(id).url.view() != "http://z/\r") continue;
    found = true;
    EXPECT_EQ(back.store.entry(id).title.view(), "cr\ralone");
  }
  EXPECT_TRUE(found);
}

TEST_F(Export, LeavesOutWhatIsNotThereAndWalksEachCategoryOnce) {
  const EntryId a = store.addBookmark("A", "http://a/", "", 1, 1.0, -1);
  const EntryId destroyed = store.addBookmark("D", "http://d/", "", 1, 1.0, -1);
  const EntryId purged = store.addBookmark("P", "http://p/", "", 1, 1.0, -1);
  const EntryId loop = store.addCategory(1, 1.0, "Loop");
  const EntryId inner = store.addBookmark("Inner", "http://i/", "", loop, 1.0, -1);
  (void)inner;
  // A damaged store: a destroyed bookmark and a purged one still listed, an
  // id past the end, and a category listing itself and the root.
  store.mutableEntry(destroyed)->deleted = true;
  store.refreshLine(destroyed);
  EXPECT_TRUE(store.purgeEntry(1, purged));
  Entry& root = *store.mutableEntry(1);
  root.members() = "u" + std::to_string(loop) + "u" + std::to_string(a) + "u" + std::to_string(destroyed) + "u" +
                   std::to_string(purged) + "u999u";
  store.refreshLine(1);
  Entry& l = *store.mutableEntry(loop);
  l.members() = "u" + std::to_string(loop) + "u1u" + std::to_string(inner) + "u";
  store.refreshLine(loop);
  // (Dates of 1899 are outside 32 bits: 0.)
  EXPECT_EQ(exportBookmarkFile(store),
            header() +
                "<DT><H3 ADD_DATE=\"0\" LAST_VISIT=\"0\" LAST_MODIFIED=\"0\">Loop</H3>\r\n"
                "<DL><P>\r\n"
                "<DT><A HREF=\"http://i/\" ADD_DATE=\"0\" LAST_VISIT=\"0\" LAST_MODIFIED=\"0\">Inner</A>\r\n"
                "</DL><P>\r\n"
                "<DT><A HREF=\"http://a/\" ADD_DATE=\"0\" LAST_VISIT=\"0\" LAST_MODIFIED=\"0\">A</A>\r\n"
                "</DL><P>\r\n");
}

// ---------------------------------------------------------------- import

// One line per entry of the tree under `c`, depth first, indented by depth:
// "F title added" for a category, "L title url added lastVisit" for a
// bookmark, dates as file seconds.
void dumpTree(const BookmarkStore& s, EntryId c, int depth, std::vector<std::string>& out) {
  for (EntryId k : s.members(c)) {
    const Entry& e = s.entry(k);
    const std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
    if (e.isCategory()) {
      out.push_back(indent + "F " + std::string(e.title.view()) + " " + std::to_string(fileSecondsOf(e.added)));
      EXPECT_EQ(e.parentId, c);
      dumpTree(s, k, depth + 1, out);
    } else {
      out.push_back(indent + "L " + std::string(e.title.view()) + " " + std::string(e.url.view()) + " " +
                    std::to_string(fileSecondsOf(e.added)) + " " + std::to_string(fileSecondsOf(e.lastVisit)));
      EXPECT_EQ(e.parentId, c);
    }
  }
}

std::vector<std::string> treeOf(const BookmarkStore& s) {
  std::vector<std::string> out;
  dumpTree(s, kRootCategory, 0, out);
  return out;
}

std::string crlf(std::initializer_list<std::string_view> lines, std::string_view end = "\r\n") {
  std::string s;
  for (std::string_view l : lines) s.append(l).append(end);
  return s;
}

class Import : public StoreTest {
 protected:
  ImportCounts import(std::string_view bytes) { return importBookmarkFile(store, bytes); }
};

// A small browser-like file: a folder with a sub-folder, links around them.
const std::initializer_list<std::string_view> kNested = {
    "<!DOCTYPE NETSCAPE-Bookmark-file-1>",
    "<TITLE>Bookmarks</TITLE>",
    "<H1>Bookmarks</H1>",
    "<DL><p>",
    "    <DT><A HREF=\"http://one.com/\" ADD_DATE=\"100\" LAST_VISIT=\"150\">One</A>",
    "    <DT><H3 ADD_DATE=\"200\" LAST_MODIFIED=\"210\">Outer</H3>",
    "    <DL><p>",
    "        <DT><A HREF=\"http://two.com/\" ADD_DATE=\"300\">Two</A>",
    "        <DT><H3 ADD_DATE=\"400\">Inner</H3>",
    "        <DL><p>",
    "            <DT><A HREF=\"http://three.com/\" ADD_DATE=\"500\">Three</A>",
    "        </DL><p>",
    "        <DT><H3 ADD_DATE=\"600\">Second</H3>",
    "        <DL><p>",
    "        </DL><p>",
    "        <DT><A HREF=\"http://four.com/\" ADD_DATE=\"700\">Four</A>",
    "    </DL><p>",
    "    <DT><A HREF=\"http://five.com/\" ADD_DATE=\"800\">Five</A>",
    "</DL><p>",
};

const std::vector<std::string> kNestedTree = {
    "F Outer 200",
    "  F Second 600",
    "  F Inner 400",
    "    L Three http://three.com/ 500 500",
    "  L Two http://two.com/ 300 300",
    "  L Four http://four.com/ 700 700",
    "L One http://one.com/ 100 150",
    "L Five http://five.com/ 800 800",
};

TEST_F(Import, PutsFoldersFirstAndLinksLastAndSavesTheStore) {
  EXPECT_NE(store.addBookmark("Old", "http://old.com/", "", 1, 1.0, -1), 0);
  const ImportCounts n = import(crlf(kNested));
  EXPECT_EQ(n.folders, 3);
  EXPECT_EQ(n.links, 5);
  EXPECT_EQ(n.duplicates, 0);
  std::vector<std::string> tree = treeOf(store);
  // The old bookmark stays first among the root's links, after the folder.
  ASSERT_EQ(tree.size(), 9u);
  EXPECT_EQ(tree[6].substr(0, 6), "L Old ");
  tree.erase(tree.begin() + 6);
  EXPECT_EQ(tree, kNestedTree);
  // Derived fields and the rest of a new entry.
  const Ids root = store.members(1);
  const Entry& one = store.entry(root[root.size() - 2]);
  EXPECT_EQ(one.title.view(), "One");
  EXPECT_EQ(one.titleKey.view(), "One");
  EXPECT_EQ(one.domain.view(), "one.com");
  EXPECT_EQ(one.kind, kBookmark);
  EXPECT_TRUE(one.note.empty());
  EXPECT_EQ(one.visitCount, 0);
  // Written to the store file; no change log is left.
  EXPECT_FALSE(fs.exists(kLog));
  auto again = reload();
  EXPECT_EQ(treeOf(*again), treeOf(store));
  expectSameState(store, *again);
}

TEST_F(Import, DatesFallBackAsTheFileRulesSay) {
  import(crlf({
      "<DT><A HREF=\"http://a/\">no dates</A>",
      "<DT><A HREF=\"http://b/\" ADD_DATE=\"1462264220\">added only</A>",
      "<DT><A HREF=\"http://c/\" LAST_VISIT=\"5\" ADD_DATE=\"-20\">visit first</A>",
      "<DT><A HREF=\"http://d/\" ADD_DATE='77' LAST_VISIT=\"x\">odd values</A>",
      "<DT><A HREF=\"http://e/?ADD_DATE=9\" ADD_DATE=\"42\">date name in the address</A>",
  }));
  const Ids ids = store.members(1);
  ASSERT_EQ(ids.size(), 5u);
  // No ADD_DATE: the second before the moment; no LAST_VISIT: the added date.
  EXPECT_NEAR(store.entry(ids[0]).added, kFileSecondsMoment - 1.0 / 86400, 1e-9);
  EXPECT_EQ(store.entry(ids[0]).lastVisit, store.entry(ids[0]).added);
  EXPECT_NEAR(store.entry(ids[1]).added, localTime(2016, 5, 3, 16, 30, 20), 1e-9);
  EXPECT_EQ(store.entry(ids[1]).lastVisit, store.entry(ids[1]).added);
  EXPECT_EQ(fileSecondsOf(store.entry(ids[2]).added), -20);
  EXPECT_EQ(fileSecondsOf(store.entry(ids[2]).lastVisit), 5);
  EXPECT_EQ(fileSecondsOf(store.entry(ids[3]).added), 77);
  EXPECT_EQ(fileSecondsOf(store.entry(ids[3]).lastVisit), 0);
  EXPECT_EQ(fileSecondsOf(store.entry(ids[4]).added), 42);
}

TEST_F(Import, CleansTitlesAndAddressesAndSkipsWhatHasNoTitle) {
  const ImportCounts n = import(crlf({
      "<DT><A HREF=\"ｈｔｔｐ：／／ｗｗｗ．ａ．ｃｏｍ／?x=1&y=2\">Ａ＆Ｂ & C</A>",
      "<DT><A HREF=\"\" ADD_DATE=\"0\"></A>",
      "<DT><A HREF=\"http://untitled/\"></A>",
      "<DT><A>no address</A>",
      "<DT><A HREF=\"http://open>no closing quote</A>",
      "<dt><a href=\"http://lower.com/\">lower case</a>",
      "<DT><A HREF=\"http://b.com/\" ADD_DATE=\"1\">a > b</A>",
  }));
  EXPECT_EQ(n.links, 4);
  const Ids ids = store.members(1);
  ASSERT_EQ(ids.size(), 4u);
  EXPECT_EQ(store.entry(ids[0]).title.view(), "AB  C");
  EXPECT_EQ(store.entry(ids[0]).url.view(), "http://www.a.com/?x=1&y=2");
  EXPECT_EQ(store.entry(ids[0]).domain.view(), "a.com");
  EXPECT_EQ(store.entry(ids[1]).title.view(), "no address");
  EXPECT_EQ(store.entry(ids[1]).url.view(), "");
  EXPECT_EQ(store.entry(ids[1]).domain.view(), text::kUnknownHost);
  // No closing quote: no address (and the same empty address again is a
  // duplicate of the one before).
  EXPECT_EQ(store.entry(ids[2]).title.view(), "lower case");
  EXPECT_EQ(store.entry(ids[3]).title.view(), " b");
  EXPECT_EQ(n.duplicates, 1);
}

TEST_F(Import, SkipsAddressesTheStoreOrTheFileAlreadyHas) {
  EXPECT_NE(store.addBookmark("Here", "http://here.com/", "", 1, 1.0, -1), 0);
  // Destroyed by emptying the bin, and purged: not there. A bookmark in the
  // bin is (the compaction before an import keeps the bin).
  const EntryId destroyed = store.addBookmark("Destroyed", "http://destroyed.com/", "", 1, 1.0, -1);
  EXPECT_TRUE(store.moveEntries(std::to_string(destroyed) + "u", kRecycleBin, -2, false));
  EXPECT_TRUE(store.emptyRecycleBin());
  const EntryId purged = store.addBookmark("Purged", "http://purged.com/", "", 1, 1.0, -1);
  EXPECT_TRUE(store.purgeEntry(1, purged));
  const EntryId binned = store.addBookmark("Binned", "http://binned.com/", "", 1, 1.0, -1);
  EXPECT_TRUE(store.moveEntries(std::to_string(binned) + "u", kRecycleBin, -2, false));
  // A category's member list is no address.
  EXPECT_NE(store.addCategory(1, 1.0, "Category"), 0);
  const EntryId before = store.count();
  const ImportCounts n = import(crlf({
      "<DT><A HREF=\"http://here.com/\">same address</A>",
      "<DT><A HREF=\"http://HERE.com/\">letter case differs</A>",
      "<DT><A HREF=\"ｈｔｔｐ://here.com/\">same once full-width is converted</A>",
      "<DT><A HREF=\"http://binned.com/\">in the bin</A>",
      "<DT><A HREF=\"http://destroyed.com/\">destroyed</A>",
      "<DT><A HREF=\"http://purged.com/\">purged</A>",
      "<DT><A HREF=\"u\">like a member list</A>",
      "<DT><A HREF=\"http://new.com/\">new</A>",
      "<DT><H3>Folder</H3>",
      "<DT><A HREF=\"http://new.com/\">new again, in a folder</A>",
  }));
  EXPECT_EQ(n.duplicates, 4);
  EXPECT_EQ(n.links, 5);
  std::set<std::string> titles;
  for (EntryId id = before + 1; id <= store.count(); ++id) titles.emplace(store.entry(id).title.view());
  for (const char* t : {"letter case differs", "destroyed", "purged", "like a member list", "new"}) {
    EXPECT_TRUE(titles.contains(t)) << t;
  }
  for (const char* t : {"same address", "same once full-width is converted", "in the bin", "new again, in a folder"}) {
    EXPECT_FALSE(titles.contains(t)) << t;
  }
}

TEST_F(Import, ALineWithAFolderAndALinkPutsTheLinkInTheFolder) {
  import(crlf({"<DT><H3>F</H3><DT><A HREF=\"http://a/\">A</A>", "</DL><p><DT><A HREF=\"http://b/\">B</A>"}));
  EXPECT_EQ(treeOf(store), (std::vector<std::string>{"F F -1", "  L A http://a/ -1 -1", "L B http://b/ -1 -1"}));
}

TEST_F(Import, MoreListEndsThanFoldersLeaveLinksInTheRoot) {
  import(crlf({"</DL><P>", "</DL><P>", "<DT><A HREF=\"http://a/\">A</A>", "<DT><H3>F</H3>", "</DL><P>",
               "</DL><P>", "<DT><A HREF=\"http://b/\">B</A>"}));
  EXPECT_EQ(treeOf(store), (std::vector<std::string>{"F F -1", "L A http://a/ -1 -1", "L B http://b/ -1 -1"}));
}

TEST_F(Import, AFolderWithoutANameKeepsTheNestingOfWhatFollows) {
  // Its members go to its parent; its list end closes it, not the parent.
  import(crlf({"<DT><H3>Outer</H3>", "<DL><p>", "<DT><H3></H3>", "<DL><p>", "<DT><A HREF=\"http://a/\">A</A>",
               "</DL><p>", "<DT><H3>&amp;</H3>", "<DL><p>", "</DL><p>", "<DT><A HREF=\"http://b/\">B</A>", "</DL><p>",
               "<DT><A HREF=\"http://c/\">C</A>"}));
  EXPECT_EQ(treeOf(store), (std::vector<std::string>{"F Outer -1", "  L A http://a/ -1 -1", "  L B http://b/ -1 -1",
                                                      "L C http://c/ -1 -1"}));
}

TEST_F(Import, AStoreWithoutItsRootIsLeftAlone) {
  text::MemoryFileSystem empty;
  BookmarkStore s(empty, kStore, kLog);
  s.load();
  const ImportCounts n = importBookmarkFile(s, crlf(kNested));
  EXPECT_EQ(n.links, 0);
  EXPECT_EQ(s.count(), 0);
  EXPECT_FALSE(empty.exists(kStore));
}

// Each fault of the reading rules that the import mends.

TEST_F(Import, LinesEndAtLineFeedCarriageReturnOrBoth) {
  const ImportCounts n = import(crlf(kNested, "\n"));
  EXPECT_EQ(n.folders, 3);
  EXPECT_EQ(n.links, 5);
  EXPECT_EQ(treeOf(store), kNestedTree);
  // Read as CR LF, the same tree.
  FreshStore other;
  EXPECT_TRUE(importBookmarkFile(other.store, crlf(kNested)).saved);
  EXPECT_EQ(treeOf(other.store), kNestedTree);
  // A CR alone ends a line too (files from old Macs): the same tree, and
  // every one of fifty links in a folder.
  FreshStore third;
  EXPECT_TRUE(importBookmarkFile(third.store, crlf(kNested, "\r")).saved);
  EXPECT_EQ(treeOf(third.store), kNestedTree);
  FreshStore mac;
  std::string file = "<DL><p>\r<DT><H3>Old</H3>\r<DL><p>\r";
  for (int k = 0; k < 50; ++k) file += "<DT><A HREF=\"http://m" + std::to_string(k) + ".org/\">M</A>\r";
  file += "</DL><p>\r<DT><A HREF=\"http://after.org/\">After</A>\r</DL><p>\r";
  const ImportCounts old = importBookmarkFile(mac.store, file);
  EXPECT_EQ(old.folders, 1);
  EXPECT_EQ(old.links, 51);
  ASSERT_EQ(mac.store.members(1).size(), 2u);
  EXPECT_EQ(mac.store.members(mac.store.members(1)[0]).size(), 50u);
  // CR LF is one line end, not a line end and an empty line: a file of
  // mixed ends counts each line once for the progress.
  FreshStore mixed;
  std::vector<int> percents;
  EXPECT_TRUE(importBookmarkFile(mixed.store, "<DT><A HREF=\"http://a/\">A</A>\r\n<DT><A HREF=\"http://b/\">B</A>\r"
                                  "<DT><A HREF=\"http://c/\">C</A>\n\n",
                     [&](int p) { percents.push_back(p); }).saved);
  EXPECT_EQ(mixed.store.members(1).size(), 3u);
  EXPECT_EQ(percents, (std::vector<int>{25, 50, 75, 100}));
  // The last line needs no line end.
  FreshStore fourth;
  EXPECT_EQ(importBookmarkFile(fourth.store, "<DT><A HREF=\"http://a/\">A</A>\n<DT><A HREF=\"http://b/\">B</A>").links, 2);
}

// Line ends and carriage returns in odd places.

// The (title, address) of the root's bookmarks, in order.
std::vector<std::pair<std::string, std::string>> rootLinks(const BookmarkStore& s) {
  std::vector<std::pair<std::string, std::string>> out;
  for (EntryId id : s.members(kRootCategory)) {
    const Entry& e = s.entry(id);
    if (e.isBookmark()) out.emplace_back(std::string(e.title.view()), std::string(e.url.view()));
  }
  return out;
}

TEST_F(Import, MixedLineEndsACrAtTheVeryEndAndEmptyLinesReadEveryLinkOnce) {
  const std::string file =
      "<DL><p>\r\r\n"
      "<DT><A HREF=\"http://a/\">A</A>\n\r"
      "<DT><A HREF=\"http://b/\">B</A>\r\r"
      "<DT><H3>F</H3>\r<DL><p>\n<DT><A HREF=\"http://c/\">C</A>\r\n</DL><p>\r"
      "<DT><A HREF=\"http://d/\">D</A>\r";
  std::vector<int> percents;
  const ImportCounts n = importBookmarkFile(store, file, [&](int p) { percents.push_back(p); });
  EXPECT_EQ(n.links, 4);
  EXPECT_EQ(n.folders, 1);
  EXPECT_EQ(rootLinks(store), (std::vector<std::pair<std::string, std::string>>{
                                  {"A", "http://a/"}, {"B", "http://b/"}, {"D", "http://d/"}}));
  ASSERT_FALSE(percents.empty());
  EXPECT_EQ(percents.back(), 100);
  EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
  // A lone CR as the whole file, and a file of CRs only.
  FreshStore other;
  EXPECT_EQ(importBookmarkFile(other.store, "\r").links, 0);
  EXPECT_EQ(importBookmarkFile(other.store, std::string(1000, '\r')).links, 0);
}

TEST_F(Import, TitlesAndAddressesHoldingCarriageReturnsComeBackFromTheirOwnExport) {
  const std::vector<std::pair<std::string, std::string>> odd = {
      {"\rlead", "http://lead/"}, {"trail\r", "http://trail/\r"}, {"mid\r\rdle", "http://mid/\rx"},
      {"lf\n\rcr", "http://lfcr/"}};
  for (const auto& [t, u] : odd) {
    const EntryId id = store.addBookmark("x", "http://placeholder/" + u, "", 1, 1.0, -1);
    BookmarkStore::setTitle(*store.mutableEntry(id), t);
    BookmarkStore::setUrl(*store.mutableEntry(id), u);
    store.refreshLine(id);
  }
  const std::string file = exportBookmarkFile(store);
  FreshStore back;
  EXPECT_TRUE(importBookmarkFile(back.store, file).saved);
  EXPECT_EQ(rootLinks(back.store), rootLinks(store));
  // Through the store file as well: saved and loaded again.
  EXPECT_TRUE(back.store.saveAll());
  BookmarkStore again{back.fs, kStore, kLog};
  again.load();
  EXPECT_EQ(rootLinks(again), rootLinks(store));
  // A second export is the first.
  EXPECT_EQ(exportBookmarkFile(back.store), file);
}

TEST_F(Import, AHugeFileOfOldMacLinesReadsEveryLinkWithAtMostAHundredReports) {
  std::string file = "<DL><p>\r";
  constexpr int kLinks = 60000;
  file.reserve(kLinks * 40);
  for (int k = 0; k < kLinks; ++k) file += "<DT><A HREF=\"http://h" + std::to_string(k) + ".org/\">H</A>\r";
  file += "</DL><p>\r";
  int reports = 0;
  const ImportCounts n = importBookmarkFile(store, file, [&](int) { ++reports; });
  EXPECT_EQ(n.links, kLinks);
  EXPECT_EQ(store.members(kRootCategory).size(), static_cast<std::size_t>(kLinks));
  EXPECT_LE(reports, 101);
}

TEST_F(Import, DecodesCharacterReferencesBeforeTheTitleRules) {
  import(crlf({
      "<DT><H3>R&amp;D &lt;lab&gt;</H3>",
      "<DT><A HREF=\"http://x.com/?a=1&amp;b=&quot;2&quot;&#38;c=&#x27;3&#39;&bogus;&amp\">"
      "&quot;Q&quot; &apos;A&apos;&nbsp;&#8230;&#x4E2D;&#20013;&#65;&#0;&#xD800;&#99999999;&unknown;&#;</A>",
      "<DT><A HREF=\"http://y.com/&amp;amp;\">&amp;</A>",
      "<DT><A HREF=\"http://z.com/&#10;\">&#13;&#10;Z</A>",
      "<DT><A HREF=\"http://e.com/\">E&#x1F600;</A>",
  }));
  const EntryId folder = store.members(1)[0];
  EXPECT_EQ(store.entry(folder).title.view(), "RD <lab>");
  const Ids links = store.members(folder);
  ASSERT_EQ(links.size(), 3u);
  // An address keeps its "&".
  EXPECT_EQ(store.entry(links[0]).url.view(), "http://x.com/?a=1&b=\"2\"&c='3'&bogus;&amp");
  // The ellipsis and 中 in GBK, the no-break space a space; references to
  // NUL, a surrogate, past U+10FFFF or unknown stay (and lose their "&").
  EXPECT_EQ(store.entry(links[0]).title.view(), "\"Q\" 'A' …中中A#0;#xD800;#99999999;unknown;#;");
  // "&amp;" alone is a title of nothing: skipped. A line break from
  // references ends no line, and is no CR LF in a text.
  EXPECT_EQ(store.entry(links[1]).url.view(), "http://z.com/\n");
  EXPECT_EQ(store.entry(links[1]).title.view(), "Z");
  // A character GBK lacks is a "?".
  EXPECT_EQ(store.entry(links[2]).title.view().substr(0, 2), "E?");
}

TEST_F(Import, ReadsUtf8ByItsByteOrderMarkOrTheBrowsersDeclaration) {
  const std::string body = text::gbkToUtf8(crlf({"<DT><A HREF=\"http://a.com/\">中文标题</A>"}));
  const std::string meta = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\r\n";
  const std::string utf8 = text::gbkToUtf8("中文标题");
  struct Case {
    std::string bytes;
    std::string title;
  } cases[] = {
      {"\xEF\xBB\xBF" + body, "中文标题"},
      {meta + body, "中文标题"},
      // Neither: the bytes are taken as GBK.
      {body, utf8},
  };
  for (const Case& c : cases) {
    FreshStore t;
    EXPECT_TRUE(importBookmarkFile(t.store, c.bytes).saved);
    ASSERT_EQ(t.store.members(1).size(), 1u);
    EXPECT_EQ(t.store.entry(t.store.members(1)[0]).title.view(), text::cleanTitle(c.title));
  }
  // UTF-16 ends at its first zero byte: nothing.
  std::string utf16 = "\xFF\xFE";
  for (char ch : crlf({"<DT><A HREF=\"http://a.com/\">A</A>"})) utf16 += std::string{ch, '\0'};
  EXPECT_EQ(import(utf16).links, 0);
}

TEST_F(Import, TenThousandNestedFoldersAndBack) {
  std::string file;
  constexpr int kDepth = 10000;
  for (int i = 0; i < kDepth; ++i) file += "<DT><H3 ADD_DATE=\"" + std::to_string(i) + "\">F</H3>\n<DL><p>\n";
  file += "<DT><A HREF=\"http://deep/\">Deep</A>\n";
  for (int i = 0; i < kDepth; ++i) file += "</DL><p>\n";
  file += "<DT><A HREF=\"http://top/\">Top</A>\n";
  const ImportCounts n = import(file);
  EXPECT_EQ(n.folders, kDepth);
  EXPECT_EQ(n.links, 2);
  EntryId c = kRootCategory;
  int depth = 0;
  while (store.members(c).size() >= 1 && store.entry(store.members(c)[0]).isCategory()) {
    c = store.members(c)[0];
    ++depth;
  }
  EXPECT_EQ(depth, kDepth);
  EXPECT_EQ(store.entry(store.members(c)[0]).title.view(), "Deep");
  EXPECT_EQ(store.entry(store.members(1).back()).title.view(), "Top");
  // And written back out at that depth.
  const std::string out = exportBookmarkFile(store);
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 7 + kDepth * 3 + 2 + 1);
}

TEST_F(Import, ReportsProgressOnlyWhenThePercentageChanges) {
  std::string file;
  for (int i = 0; i < 1000; ++i) file += "<DT><A HREF=\"http://a/" + std::to_string(i) + "\">A</A>\r\n";
  std::vector<int> seen;
  EXPECT_TRUE(importBookmarkFile(store, file, [&seen](int percent) { seen.push_back(percent); }).saved);
  std::vector<int> expected;
  for (int p = 0; p <= 100; ++p) expected.push_back(p);
  EXPECT_EQ(seen, expected);
  // A short file: each line is a step of its own.
  seen.clear();
  FreshStore t;
  EXPECT_TRUE(importBookmarkFile(t.store, "a\nb\nc", [&seen](int percent) { seen.push_back(percent); }).saved);
  EXPECT_EQ(seen, (std::vector<int>{33, 66, 100}));
}

// ---------------------------------------------------------------- round trip

// Compares the tree under `ca` in `a` with the one under `cb` in `b`, which
// came from a's export: links in the same order, sub-folders in the reverse
// order (each import puts a folder first), separators not at all.
void expectImportedFrom(const BookmarkStore& a, EntryId ca, const BookmarkStore& b, EntryId cb) {
  std::vector<EntryId> foldersA, linksA, foldersB, linksB;
  for (EntryId k : a.members(ca)) {
    if (a.entry(k).isSeparator()) continue;
    (a.entry(k).isCategory() ? foldersA : linksA).push_back(k);
  }
  for (EntryId k : b.members(cb)) (b.entry(k).isCategory() ? foldersB : linksB).push_back(k);
  ASSERT_EQ(linksA.size(), linksB.size()) << a.entry(ca).title;
  ASSERT_EQ(foldersA.size(), foldersB.size()) << a.entry(ca).title;
  for (std::size_t i = 0; i < linksA.size(); ++i) {
    const Entry& x = a.entry(linksA[i]);
    const Entry& y = b.entry(linksB[i]);
    EXPECT_EQ(x.title, y.title);
    EXPECT_EQ(x.url, y.url);
    EXPECT_EQ(x.domain, y.domain);
    EXPECT_EQ(fileSecondsOf(x.added), fileSecondsOf(y.added));
    EXPECT_EQ(fileSecondsOf(x.lastVisit), fileSecondsOf(y.lastVisit));
  }
  std::reverse(foldersB.begin(), foldersB.end());
  for (std::size_t i = 0; i < foldersA.size(); ++i) {
    EXPECT_EQ(a.entry(foldersA[i]).title, b.entry(foldersB[i]).title);
    EXPECT_EQ(fileSecondsOf(a.entry(foldersA[i]).added), fileSecondsOf(b.entry(foldersB[i]).added));
    expectImportedFrom(a, foldersA[i], b, foldersB[i]);
  }
}

TEST_F(Import, AnExportedFileImportsBackToTheSameTree) {
  const double t = localTime(2016, 5, 3, 16, 30, 20);
  const EntryId work = store.addCategory(1, t, "工作 <b>");
  const EntryId play = store.addCategory(1, t + 1, "Play \"quoted\"");
  const EntryId deep = store.addCategory(work, t + 2, "Deep");
  const EntryId a = store.addBookmark("A <title>", "http://a.com/?x=1&y=\"2\"&z=<3>", "", work, t + 3, -1);
  EXPECT_NE(store.addBookmark("新浪网", "http://www.sina.com.cn/&amp;", "note", deep, t + 4, -1), 0);
  EXPECT_NE(store.addBookmark("Top", "http://top.org/", "", 1, t + 5, -1), 0);
  EXPECT_NE(store.addSeparator(1, work), 0);
  EXPECT_NE(store.addCategory(deep, t + 6, "Empty"), 0);
  // Before 1970: seconds below zero.
  EXPECT_NE(store.addBookmark("In play", "http://play.net/", "", play, t - 17000, -1), 0);
  EXPECT_TRUE(store.recordVisit(a, t + 7, 3));
  const std::string file = exportBookmarkFile(store);
  FreshStore fresh;
  const ImportCounts n = importBookmarkFile(fresh.store, file);
  EXPECT_EQ(n.folders, 4);
  EXPECT_EQ(n.links, 4);
  EXPECT_EQ(n.duplicates, 0);
  expectImportedFrom(store, 1, fresh.store, 1);
  // Imported again, every link is a duplicate; and the export of the import
  // imports back the same once more.
  EXPECT_EQ(importBookmarkFile(fresh.store, file).duplicates, 4);
  FreshStore third;
  EXPECT_TRUE(importBookmarkFile(third.store, exportBookmarkFile(fresh.store)).saved);
  expectImportedFrom(fresh.store, 1, third.store, 1);
}

TEST_F(Import, TitlesOfBrokenGbkSettleSoThatTheyReadBackTheSame) {
  // A3 before "&" is a lone first byte; once the "&" is gone it pairs with
  // C1 into a full-width "A", which a second cleaning would convert.
  import(crlf({"<DT><A HREF=\"http://a/\">\xA3&\xC1" "0</A>", "<DT><H3>x\xA3&amp;\xC1" "0</H3>"}));
  const Ids ids = store.members(1);
  ASSERT_EQ(ids.size(), 2u);
  EXPECT_EQ(store.entry(ids[0]).title.view(), "xA0");
  EXPECT_EQ(store.entry(ids[1]).title.view(), "A0");
  FreshStore again;
  EXPECT_TRUE(importBookmarkFile(again.store, exportBookmarkFile(store)).saved);
  expectImportedFrom(store, 1, again.store, 1);
}

// ---------------------------------------------------------------- real files

// What a file holds, counted from its bytes without the import's rules: each
// "<DT><H3" and "<DT><A" with its ADD_DATE, LAST_VISIT and HREF, and how deep
// it is (the "<DL>" lists open around it).
struct Item {
  bool folder = false;
  long long added = 0;
  long long lastVisit = 0;
  std::string href;
  int depth = 0;
};

std::string attribute(const std::string& tag, const std::string& name) {
  const std::size_t at = tag.find(" " + name + "=\"");
  if (at == std::string::npos) return "";
  const std::size_t start = at + name.size() + 3;
  return tag.substr(start, tag.find('"', start) - start);
}

std::vector<Item> itemsOf(const std::string& file) {
  std::vector<Item> items;
  int open = 0;
  std::size_t pos = 0;
  for (;;) {
    const std::size_t dl = file.find("<DL>", pos);
    const std::size_t close = file.find("</DL>", pos);
    const std::size_t dt = file.find("<DT>", pos);
    const std::size_t next = std::min({dl, close, dt});
    if (next == std::string::npos) break;
    if (next == dl) {
      ++open;
    } else if (next == close) {
      --open;
    } else {
      Item it;
      it.folder = file.compare(dt, 7, "<DT><H3") == 0;
      const std::string tag = file.substr(dt, file.find('>', dt + 4) - dt);
      it.added = std::stoll(attribute(tag, "ADD_DATE"));
      const std::string visit = attribute(tag, "LAST_VISIT");
      it.lastVisit = visit.empty() ? it.added : std::stoll(visit);
      it.href = attribute(tag, "HREF");
      it.depth = open - 1;
      items.push_back(it);
    }
    pos = next + 1;
  }
  return items;
}

// The same of the store: every entry under the root, depth first.
void storeItems(const BookmarkStore& s, EntryId c, int depth, std::vector<Item>& out) {
  for (EntryId k : s.members(c)) {
    const Entry& e = s.entry(k);
    Item it;
    it.folder = e.isCategory();
    it.added = fileSecondsOf(e.added);
    it.lastVisit = fileSecondsOf(e.lastVisit);
    it.href = e.url;
    it.depth = depth;
    if (it.folder) it.href.clear();
    out.push_back(it);
    if (e.isCategory()) storeItems(s, k, depth + 1, out);
  }
}

using ItemKey = std::tuple<bool, long long, long long, std::string, int>;

std::multiset<ItemKey> keysOf(const std::vector<Item>& items) {
  std::multiset<ItemKey> keys;
  for (const Item& it : items) keys.emplace(it.folder, it.added, it.lastVisit, it.href, it.depth);
  return keys;
}

class RealFiles : public StoreTest {
 protected:
  // Imports the fixture and checks that every folder and link arrived with
  // its dates, address and depth. Returns the file's items.
  std::vector<Item> importAndCompare(const std::string& name, int folders, int links) {
    const std::string bytes = readFile(fixturePath(name));
    EXPECT_FALSE(bytes.empty()) << name;
    const std::vector<Item> expected = itemsOf(bytes);
    // No address comes twice in these files, so every link arrives.
    std::set<std::string> hrefs;
    int fileFolders = 0, fileLinks = 0;
    for (const Item& it : expected) {
      if (it.folder) {
        ++fileFolders;
      } else {
        ++fileLinks;
        hrefs.insert(it.href);
      }
    }
    EXPECT_EQ(fileFolders, folders);
    EXPECT_EQ(fileLinks, links);
    EXPECT_EQ(hrefs.size(), static_cast<std::size_t>(links));
    const ImportCounts n = importBookmarkFile(store, bytes);
    EXPECT_EQ(n.folders, folders);
    EXPECT_EQ(n.links, links);
    EXPECT_EQ(n.duplicates, 0);
    std::vector<Item> got;
    storeItems(store, kRootCategory, 0, got);
    EXPECT_EQ(keysOf(got), keysOf(expected));
    // The icons' data, the notes and the charset line are no part of any
    // entry.
    for (EntryId id = 11; id <= store.count(); ++id) {
      const Entry& e = store.entry(id);
      EXPECT_EQ(e.url.view().find("base64"), std::string_view::npos) << e.url;
      EXPECT_EQ(e.title.view().find('<'), std::string_view::npos) << e.title;
      EXPECT_FALSE(e.title.empty());
      EXPECT_TRUE(e.note.empty());
    }
    return expected;
  }

  // The entry of the root's tree with this title (0: none).
  EntryId titled(std::string_view title, EntryId c = kRootCategory) {
    for (EntryId k : store.members(c)) {
      if (store.entry(k).title == title) return k;
      if (store.entry(k).isCategory()) {
        if (const EntryId found = titled(title, k)) return found;
      }
    }
    return 0;
  }
};

TEST_F(RealFiles, AFirefoxExportArrivesWhole) {
  importAndCompare("shaarli_firefox_nested.htm", 6, 24);
  // place: addresses are links like any other.
  const EntryId recent = titled("Recently saved");
  ASSERT_NE(recent, 0);
  EXPECT_EQ(store.entry(recent).url.view().substr(0, 20), "place:folder=BOOKMAR");
  EXPECT_NE(store.entry(recent).url.view().find("&folder=UNFILED_BOOKMARKS&"), std::string_view::npos);
  // UTF-8 titles in GBK; a character GBK lacks becomes "?".
  EXPECT_NE(titled("Timeline of the Elves in Tolkien’s works | LotrProject Blog"), 0);
  EXPECT_NE(titled("Announcing Pony Mode – a Django editing mode for Emacs ? Deadpan Sincerity"), 0);
  // Nesting: PHP inside Dev, in the root.
  const EntryId dev = titled("Dev");
  const EntryId php = titled("PHP");
  ASSERT_NE(php, 0);
  EXPECT_EQ(store.entry(php).parentId, dev);
  EXPECT_EQ(store.entry(dev).parentId, kRootCategory);
  EXPECT_EQ(store.members(titled("Personal toolbar")).size(), 2u);
}

TEST_F(RealFiles, AChromiumExportArrivesWhole) {
  importAndCompare("shaarli_chromium_nested.htm", 7, 18);
  EXPECT_EQ(store.entry(titled("PHP")).parentId, titled("Dev"));
  EXPECT_EQ(store.entry(titled("Python")).parentId, titled("Dev"));
  EXPECT_EQ(store.entry(titled("Framasoft ~ Page portail du réseau")).parentId, titled("Self-hosting"));
  // Titles lose their "&" and nothing else; the toolbar folder's link.
  const EntryId jabber = titled("jabber.org - the original XMPP instant messaging service");
  EXPECT_EQ(store.entry(jabber).parentId, titled("Personal toolbar"));
  EXPECT_EQ(store.entry(jabber).domain.view(), "jabber.org");
}

TEST_F(RealFiles, BothFilesTogetherShareOneAddress) {
  const std::string chromium = readFile(fixturePath("shaarli_chromium_nested.htm"));
  const std::string firefox = readFile(fixturePath("shaarli_firefox_nested.htm"));
  std::set<std::string> first, shared;
  for (const Item& it : itemsOf(chromium)) first.insert(it.href);
  for (const Item& it : itemsOf(firefox)) {
    if (!it.folder && first.contains(it.href)) shared.insert(it.href);
  }
  ASSERT_EQ(shared.size(), 1u);
  const ImportCounts a = importBookmarkFile(store, chromium);
  const ImportCounts b = importBookmarkFile(store, firefox);
  EXPECT_EQ(a.duplicates, 0);
  EXPECT_EQ(b.duplicates, 1);
  EXPECT_EQ(a.links + b.links, 18 + 24 - 1);
}

}  // namespace
}  // namespace lh::store::test
