// Dated copies of the store file: packing, names, which copies are kept over
// a year of daily changes, the shrink rule, and copies that are damaged or
// missing from the index.
#include "store/backups.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "store/codec.h"
#include "store_fixture.h"
#include "text/oledate.h"

namespace lh::store::test {
namespace {

const std::string kData = "D:\\run\\data";

// A store file of the fixed entries, `bookmarks` bookmarks and `categories`
// categories in the root (`tag` makes it differ without changing counts).
std::string storeOf(int bookmarks, int categories = 0, const std::string& tag = "") {
  std::string file = fixedEntriesFile();
  for (int i = 0; i < categories; ++i) {
    Entry c;
    c.title = "分类" + std::to_string(i);
    c.url = "u";
    c.parentId = 1;
    file += serializeLine(c) + "\r\n";
  }
  for (int i = 0; i < bookmarks; ++i) {
    Entry b;
    b.kind = kBookmark;
    b.title = "B" + std::to_string(i) + tag;
    b.url = "http://b" + std::to_string(i) + ".com/";
    b.parentId = 1;
    file += serializeLine(b) + "\r\n";
  }
  return file;
}

double day(int year, int month, int d) {
  text::CalendarTime t;
  t.year = year;
  t.month = month;
  t.day = d;
  t.hour = 9;
  return text::oleFromCalendar(t);
}

std::vector<std::string> namesOf(const std::vector<BackupCopy>& copies) {
  std::vector<std::string> names;
  for (const BackupCopy& c : copies) names.push_back(c.name);
  return names;
}

TEST(BackupPacking, ACopyUnpacksToTheSameBytesAndADamagedOneToNothing) {
  const std::string store = storeOf(300, 4);
  const std::string packed = gzipped(store);
  ASSERT_FALSE(packed.empty());
  EXPECT_LT(packed.size(), store.size() / 3);
  EXPECT_EQ(packed.substr(0, 2), "\x1f\x8b");  // a gzip file, as any tool opens
  EXPECT_EQ(gunzipped(packed), store);
  EXPECT_EQ(gunzipped(gzipped("")), "");
  EXPECT_FALSE(gunzipped(packed.substr(0, packed.size() / 2)));  // cut short
  EXPECT_FALSE(gunzipped(packed.substr(0, packed.size() - 4)));  // its length missing
  std::string flipped = packed;
  flipped[packed.size() / 2] ^= 0x55;
  EXPECT_FALSE(gunzipped(flipped));
  EXPECT_FALSE(gunzipped("not gzip at all"));
  EXPECT_FALSE(gunzipped(""));
  // A copy that would unpack beyond the limit is refused, not unpacked.
  EXPECT_FALSE(gunzipped(gzipped(std::string(1 << 20, 'a')), 1000));
  EXPECT_EQ(countStore(store).bookmarks, 300);
  EXPECT_EQ(countStore(store).categories, 4);
}

TEST(BackupNames, AreTheirDayAndSequenceAndNothingElse) {
  const auto c = parseBackupName("udb-2026-12-10.gz");
  ASSERT_TRUE(c);
  EXPECT_EQ(c->year, 2026);
  EXPECT_EQ(c->month, 12);
  EXPECT_EQ(c->day, 10);
  EXPECT_EQ(c->seq, 1);
  EXPECT_EQ(c->date(), "2026-12-10");
  EXPECT_EQ(parseBackupName("udb-2026-12-10-3.gz")->seq, 3);
  for (const char* other : {"udb-2026-13-10.gz", "udb-2026-12-10-1.gz", "udb-2026-12-10-x.gz", "udb-2026-12-10.gz.tmp",
                            "udb-2026-12-1.gz", "udb-2026-12-10.zip", "index", "udb", "udb-2026-12-10-1234567.gz"}) {
    EXPECT_FALSE(parseBackupName(other)) << other;
  }
}

class BackupFolder : public ::testing::Test {
 protected:
  text::MemoryFileSystem fs;
  Backups backups{fs, kData};
  void SetUp() override { fs.directories.insert(kData); }
};

TEST_F(BackupFolder, ADailyCopyIsWrittenOnceADayAndOnlyWhenTheStoreChanged) {
  EXPECT_EQ(backups.write(storeOf(5), day(2026, 12, 10), true), "udb-2026-12-10.gz");
  EXPECT_EQ(backups.write(storeOf(6), day(2026, 12, 10) + 0.4, true), "");  // the same day
  EXPECT_EQ(backups.write(storeOf(5), day(2026, 12, 11), true), "");        // unchanged since
  EXPECT_EQ(backups.write(storeOf(6), day(2026, 12, 11), true), "udb-2026-12-11.gz");
  // Before a mass change, a copy whatever the day.
  EXPECT_EQ(backups.write(storeOf(6), day(2026, 12, 11), false), "udb-2026-12-11-2.gz");
  EXPECT_EQ(backups.write(storeOf(6), day(2026, 12, 11), false), "udb-2026-12-11-3.gz");
  const std::vector<BackupCopy> copies = backups.list();
  EXPECT_EQ(namesOf(copies), (std::vector<std::string>{"udb-2026-12-11-3.gz", "udb-2026-12-11-2.gz",
                                                        "udb-2026-12-11.gz", "udb-2026-12-10.gz"}));
  EXPECT_EQ(copies.back().counts.bookmarks, 5);
  EXPECT_GT(copies.back().size, 0u);
  EXPECT_EQ(backups.read("udb-2026-12-10.gz"), storeOf(5));
}

TEST_F(BackupFolder, AYearOfDailyChangesKeepsFifteenDaysAndTheFirstOfEachOfTwelveMonths) {
  double now = day(2026, 1, 1);
  for (int i = 0; i < 400; ++i, now += 1.0) {
    ASSERT_FALSE(backups.write(storeOf(100 + i), now, true).empty()) << i;
  }
  const double last = now - 1.0;
  const text::CalendarTime t = text::calendarFromOle(last);
  const std::vector<BackupCopy> copies = backups.list();
  std::set<std::string> expected;
  // The newest fifteen days.
  for (int i = 0; i < kDailyCopies; ++i) {
    const text::CalendarTime d = text::calendarFromOle(last - i);
    expected.insert(BackupCopy{"", d.year, d.month, d.day}.date());
  }
  // The first day of each of the last twelve months (the copies began on
  // a first of the month).
  for (int m = 0; m < kMonthlyCopies; ++m) {
    int year = t.year, month = t.month - m;
    while (month < 1) {
      month += 12;
      --year;
    }
    expected.insert(BackupCopy{"", year, month, 1}.date());
  }
  std::set<std::string> kept;
  for (const BackupCopy& c : copies) kept.insert(c.date());
  EXPECT_EQ(kept, expected);
  EXPECT_EQ(copies.size(), expected.size());
  // The files are exactly those listed, and the index says the same.
  EXPECT_EQ(fs.filesIn(backups.folder()).size(), copies.size() + 1);
}

TEST_F(BackupFolder, ACollectionThatSuddenlyShrankKeepsItsLastBigCopy) {
  double now = day(2026, 3, 5);
  for (int i = 0; i < 20; ++i, now += 1.0) backups.write(storeOf(1000, 0, std::to_string(i)), now, true);
  const std::string lastBig = backups.list().front().name;
  // The bin emptied, a folder deleted: a tenth is left, for weeks.
  for (int i = 0; i < 60; ++i, now += 1.0) backups.write(storeOf(100, 0, std::to_string(i)), now, true);
  const std::vector<BackupCopy> copies = backups.list();
  const auto big = std::find_if(copies.begin(), copies.end(), [&](const BackupCopy& c) { return c.name == lastBig; });
  ASSERT_NE(big, copies.end()) << "the last copy of 1,000 bookmarks was removed";
  EXPECT_EQ(big->counts.bookmarks, 1000);
  EXPECT_EQ(backups.read(lastBig)->size(), storeOf(1000, 0, "19").size());
  // Shrinking by less than half keeps no extra copy.
  int thousands = 0;
  for (const BackupCopy& c : copies) thousands += c.counts.bookmarks == 1000;
  EXPECT_LE(thousands, 3);  // the last big one, and the month's first ones
}

TEST_F(BackupFolder, CopiesMissingFromTheIndexOrDamagedAreCountedOrShownAsDamaged) {
  backups.write(storeOf(7, 2), day(2026, 12, 1), true);
  // A copy put there by hand, one that does not unpack, a damaged index.
  fs.files[backups.folder() + "\\udb-2026-11-30.gz"] = gzipped(storeOf(3, 1));
  fs.files[backups.folder() + "\\udb-2026-11-29.gz"] = "broken";
  fs.files[backups.folder() + "\\notes.txt"] = "kept as it is";
  fs.files[backups.folder() + "\\index"] = "garbage\tline\n\x01\x02";
  const std::vector<BackupCopy> copies = backups.list();
  ASSERT_EQ(copies.size(), 3u);
  EXPECT_EQ(copies[0].counts.bookmarks, 7);
  EXPECT_EQ(copies[0].counts.categories, 2);
  EXPECT_EQ(copies[1].counts.bookmarks, 3);
  EXPECT_TRUE(copies[1].readable);
  EXPECT_FALSE(copies[2].readable);
  EXPECT_FALSE(backups.read(copies[2].name));
  EXPECT_EQ(fs.files[backups.folder() + "\\notes.txt"], "kept as it is");
  // The index was written again: a second listing unpacks nothing.
  fs.files[backups.folder() + "\\udb-2026-11-30.gz"] = "changed behind its back";
  EXPECT_EQ(backups.list()[1].counts.bookmarks, 3);
}

}  // namespace
}  // namespace lh::store::test
