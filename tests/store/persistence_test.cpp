// Loading, replaying and saving: the files say exactly what the live store
// had, whatever happened to them in between.
#include <gtest/gtest.h>

#include <functional>

#include "../support/temp_dir.h"
#include "store/members.h"
#include "store_fixture.h"

namespace lh::store::test {
namespace {

using Ids = std::vector<EntryId>;

// Runs every operation at least once.
void exerciseEveryOperation(BookmarkStore& s) {
  const EntryId cat = s.addCategory(1, 45000.1, "工作");
  const EntryId sub = s.addCategory(cat, 45000.2, "Sub");
  const EntryId a = s.addBookmark("新浪 - 浏览器", "http://www.sina.com.cn/", "备注", 1, 45000.3, -1);
  const EntryId b = s.addBookmark("B", "https://b.org/x", "", cat, 45000.4, -1);
  const EntryId c = s.addBookmark("C", "c.net", "", cat, 45000.5, b);
  EXPECT_TRUE(s.recordVisit(a, 45001.5, 1));
  EXPECT_TRUE(s.recordVisit(2573 <= s.count() ? 2573 : a, 45002.5, 2573));  // a count whose bytes hold CR LF
  EXPECT_TRUE(s.editBookmark(b, "B2", "n^n", "https://b2.org/"));
  const EntryId sep = s.addSeparator(cat, c);
  const EntryId sep2 = s.addSeparator(cat, b);
  EXPECT_TRUE(s.purgeEntry(cat, sep2));
  EXPECT_TRUE(s.moveEntries(std::to_string(c) + "u", sub, -1, false));
  EXPECT_TRUE(s.moveEntries(std::to_string(a) + "u", cat, sep, true));
  EXPECT_TRUE(s.editCategory(sub, "Renamed", 1, 0, false));
  const EntryId d = s.addBookmark("D", "d.com", "", sub, 45000.6, -1);
  EXPECT_TRUE(s.moveEntries(std::to_string(sub) + "u" + std::to_string(b) + "u", kRecycleBin, -2, false));
  EXPECT_TRUE(s.emptyRecycleBin());
  EXPECT_TRUE(s.moveEntries(std::to_string(d) + "u", 1, -2, false));  // a destroyed entry moved back
}

class Persistence : public StoreTest {};

TEST_F(Persistence, ReplayingTheLogGivesTheLiveState) {
  exerciseEveryOperation(store);
  ASSERT_TRUE(fs.exists(kLog));
  const auto replayed = reload();
  expectSameState(store, *replayed);
  // The replay was folded into a new snapshot and the log removed...
  EXPECT_FALSE(fs.exists(kLog));
  // ...and that snapshot alone loads the same state again.
  const auto fromSnapshot = reload();
  expectSameState(store, *fromSnapshot);
}

TEST_F(Persistence, SaveAllThenLoadGivesTheLiveState) {
  exerciseEveryOperation(store);
  ASSERT_TRUE(store.saveAll());
  EXPECT_FALSE(fs.exists(kLog));
  const auto loaded = reload();
  expectSameState(store, *loaded);
}

TEST_F(Persistence, PurgedEntriesAreVacantFromTheNextLoadOn) {
  const EntryId a = store.addBookmark("A", "a.com", "", 1, 1.0, -1);
  const EntryId s = store.addSeparator(1, a);
  const EntryId b = store.addBookmark("B", "b.com", "", 1, 1.0, -1);
  EXPECT_TRUE(store.purgeEntry(1, s));
  // The replay repeats the purge: the entry is still in memory, its line empty.
  const auto replayed = reload();
  expectSameState(store, *replayed);
  EXPECT_EQ(replayed->entry(s).kind, kSeparator);
  // The load after that finds the slot vacant.
  const auto loaded = reload();
  ASSERT_EQ(loaded->count(), b);
  EXPECT_EQ(loaded->entry(s).kind, 0);
  EXPECT_EQ(loaded->line(s), "");
  EXPECT_EQ(loaded->entry(b).title, "B");  // later ids keep their place
  EXPECT_EQ(loaded->members(1), (Ids{a, b}));
}

TEST_F(Persistence, EntriesAreReadFromTheirLinesWhenFirstAskedFor) {
  std::vector<EntryId> ids;
  for (int i = 0; i < 50; ++i) ids.push_back(store.addBookmark("B" + std::to_string(i), "b.com", "", 1, 1.0, -1));
  const EntryId sep = store.addSeparator(1, ids[10]);
  ASSERT_TRUE(store.saveAll());
  const auto loaded = reload();
  EXPECT_EQ(loaded->count(), sep);
  EXPECT_EQ(loaded->builtEntries(), 1u);  // the root, whose scrollRow the load sets
  EXPECT_EQ(loaded->entry(ids[30]).title, "B30");
  EXPECT_EQ(loaded->entry(ids[30]).domain, "b.com");
  EXPECT_EQ(loaded->builtEntries(), 2u);
  EXPECT_TRUE(loaded->exists(ids[40]));
  EXPECT_EQ(loaded->builtEntries(), 2u);
  // A purge leaves the entry in memory as it was, read or not.
  EXPECT_TRUE(loaded->purgeEntry(1, sep));
  EXPECT_EQ(loaded->entry(sep).kind, kSeparator);
  EXPECT_FALSE(loaded->exists(sep));
  EXPECT_TRUE(loaded->recordVisit(ids[20], 45000.0, 3));
  EXPECT_EQ(loaded->entry(ids[20]).title, "B20");
  const auto again = reload();
  expectSameState(*loaded, *again);
}

TEST_F(Persistence, VacantAndThirteenFieldLinesLoadInPlace) {
  std::string file = fixedEntriesFile();
  Entry bm;
  bm.title = "T";
  bm.url = "http://t.com/";
  bm.kind = kBookmark;
  bm.parentId = 1;
  file += "\r\n";                         // 11: vacant
  file += std::string("\0\0\r\n", 4);     // 12: vacant
  file += serializeLine(bm);              // 13: with compaction's own id
  putInt(file, 13);
  file += "\r\n";
  fs.files[kStore] = file;
  const auto loaded = reload();
  ASSERT_EQ(loaded->count(), 13);
  EXPECT_EQ(loaded->entry(11).kind, 0);
  EXPECT_EQ(loaded->entry(12).title, "");
  EXPECT_EQ(loaded->entry(13).title, "T");
  EXPECT_EQ(loaded->entry(13).domain, "t.com");
  EXPECT_EQ(loaded->entry(1).scrollRow, 1);
  // Written back line for line: vacant slots stay, so ids stay.
  ASSERT_TRUE(loaded->saveAll());
  EXPECT_EQ(fs.files[kStore], file);
}

TEST_F(Persistence, ALogCutAnywhereInItsLastRecordLosesOnlyThatRecord) {
  const EntryId a = store.addBookmark("A", "a.com", "", 1, 1.0, -1);
  EXPECT_TRUE(store.recordVisit(a, 45000.0, 1));
  const std::string before = fs.files[kLog];
  EXPECT_TRUE(store.editBookmark(a, "Edited title", "note", "http://a.com/"));
  const std::string full = fs.files[kLog];
  const std::string storeFile = fs.files[kStore];

  for (std::size_t cut = before.size(); cut < full.size(); ++cut) {
    SCOPED_TRACE("log cut at " + std::to_string(cut));
    text::MemoryFileSystem other;
    other.files[kStore] = storeFile;
    other.files[kLog] = full.substr(0, cut);
    BookmarkStore s(other, kStore, kLog);
    const LoadResult r = s.load();
    EXPECT_EQ(r.replayed, 2);
    ASSERT_EQ(s.count(), a);
    EXPECT_EQ(s.entry(a).title, "A");
    EXPECT_EQ(s.entry(a).visitCount, 1);
    EXPECT_EQ(s.members(1), Ids{a});
  }
  text::MemoryFileSystem whole;
  whole.files[kStore] = storeFile;
  whole.files[kLog] = full;
  BookmarkStore s(whole, kStore, kLog);
  s.load();
  EXPECT_EQ(s.entry(a).title, "Edited title");
}

TEST_F(Persistence, AFailedSaveLeavesTheOldStoreFileAndTheLog) {
  EXPECT_NE(store.addBookmark("A", "a.com", "", 1, 1.0, -1), 0);
  const std::string oldStore = fs.files[kStore];
  const std::string log = fs.files[kLog];
  fs.replacesBeforeFailure = 0;
  EXPECT_FALSE(store.saveAll());
  EXPECT_EQ(fs.files[kStore], oldStore);
  EXPECT_EQ(fs.files[kLog], log);
  // A start after that failure still finds every change.
  fs.replacesBeforeFailure = -1;
  const auto again = reload();
  expectSameState(store, *again);
}

TEST_F(Persistence, AStartWhoseSaveFailsKeepsTheLogForTheNextStart) {
  EXPECT_NE(store.addBookmark("A", "a.com", "", 1, 1.0, -1), 0);
  fs.replacesBeforeFailure = 0;
  BookmarkStore failing(fs, kStore, kLog);
  const LoadResult r = failing.load();
  EXPECT_EQ(r.replayed, 1);
  EXPECT_FALSE(r.saved);
  EXPECT_TRUE(fs.exists(kLog));
  fs.replacesBeforeFailure = -1;
  expectSameState(store, *reload());
}

TEST_F(Persistence, AnEmptyOrMissingLogWritesNothing) {
  const int replaces = fs.replaceCalls;
  EXPECT_EQ(reload()->count(), 10);
  fs.files[kLog] = "";
  EXPECT_EQ(reload()->count(), 10);
  EXPECT_EQ(fs.replaceCalls, replaces);
}

TEST_F(Persistence, AMissingStoreFileLoadsEmpty) {
  text::MemoryFileSystem empty;
  BookmarkStore s(empty, kStore, kLog);
  const LoadResult r = s.load();
  EXPECT_EQ(r.lines, 0);
  EXPECT_EQ(s.count(), 0);
  EXPECT_EQ(s.entry(1).title, "");
  EXPECT_EQ(s.members(1), Ids{});
}

TEST_F(Persistence, LoggedTextsWithLineBreaksCannotSplitTheStoreFile) {
  // A log written elsewhere may carry CR LF or separators inside a text.
  std::string date;
  putDate(date, 45000.0);
  fs.files[kLog] = encodeRecord(LogRecord{LogOp::AddBookmark,
                                          {"two\r\nlines", "http://x.com/\r\n", "a\x01\x01\x07\x01" "b",
                                           intField(1), date, intField(-1)}});
  const auto replayed = reload();
  ASSERT_EQ(replayed->count(), 11);
  EXPECT_EQ(replayed->entry(11).title, "twolines");
  EXPECT_EQ(replayed->entry(11).url, "http://x.com/");
  EXPECT_EQ(replayed->entry(11).note, "ab");
  expectSameState(*replayed, *reload());
}

TEST_F(Persistence, TheLastLogRecordEmptiesTheBin) {
  const EntryId cat = store.addCategory(1, 1.0, "Cat");
  const EntryId inner = store.addBookmark("In", "in.com", "", cat, 1.0, -1);
  EXPECT_TRUE(store.moveEntries(std::to_string(cat) + "u", kRecycleBin, -2, false));
  EXPECT_TRUE(store.emptyRecycleBin());
  const auto loaded = reload();
  EXPECT_EQ(loaded->entry(kRecycleBin).members(), "u");
  EXPECT_TRUE(loaded->entry(cat).deleted);
  EXPECT_TRUE(loaded->entry(inner).deleted);
}

TEST(ShortStoreFiles, AreSavedBackByteForByte) {
  // Files short enough to fit inside a string object itself, and longer.
  std::vector<std::string> files{"abc\r\n", "\r\n", "\r\n\r\n", "ab\r\ncd\r\n", std::string("\0\0\r\n", 4)};
  for (std::size_t n = 1; n <= 40; ++n) files.push_back(std::string(n, 'q') + "\r\n");
  for (const std::string& file : files) {
    SCOPED_TRACE("file of " + std::to_string(file.size()) + " bytes");
    text::MemoryFileSystem fs;
    fs.files[kStore] = file;
    BookmarkStore s(fs, kStore, kLog);
    s.load();
    ASSERT_TRUE(s.saveAll());
    EXPECT_EQ(fs.files[kStore], file);
  }
}

// Records of every kind against the fixture's store after setUpTree():
// category 11 holding bookmarks 12 and 13 and separator 14.
std::vector<std::string> sampleRecords() {
  std::string date;
  putDate(date, 45000.25);
  return {
      encodeRecord(LogRecord{LogOp::AddBookmark, {"Title", "http://a.com/", "note", intField(11), date, intField(-1)}}),
      encodeRecord(LogRecord{LogOp::RecordVisit, {intField(12), date, intField(3)}}),
      encodeRecord(LogRecord{LogOp::EditBookmark, {intField(12), "T2", "n2", "http://b.org/"}}),
      encodeRecord(LogRecord{LogOp::MoveEntries, {"12u13u", intField(1), intField(-2), intField(0)}}),
      encodeRecord(LogRecord{LogOp::AddCategory, {intField(11), date, "Sub"}}),
      encodeRecord(LogRecord{LogOp::EditCategory, {intField(11), "Renamed", intField(1), intField(0), intField(0)}}),
      encodeRecord(LogRecord{LogOp::EmptyRecycleBin, {}}),
      encodeRecord(LogRecord{LogOp::AddSeparator, {intField(11), "13"}}),
      encodeRecord(LogRecord{LogOp::PurgeEntry, {intField(11), intField(14)}}),
  };
}

class TornLogs : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    const EntryId c = store.addCategory(1, 1.0, "C");
    EXPECT_NE(store.addBookmark("B", "http://b.com/", "", c, 1.0, -1), 0);
    const EntryId b2 = store.addBookmark("B2", "http://b2.com/", "", c, 1.0, -1);
    EXPECT_NE(store.addSeparator(c, b2), 0);
    ASSERT_TRUE(store.saveAll());
    base = fs.files[kStore];
  }
  std::string base;
};

TEST_F(TornLogs, ALogHoldingOnlyATornRecordIsFoldedBeforeTheNextChange) {
  // The next change must not be appended behind the torn bytes, where the
  // two could read as one record at the following start.
  int mismatches = 0, cases = 0;
  for (const std::string& record : sampleRecords()) {
    for (std::size_t cut = 1; cut < record.size(); ++cut) {
      SCOPED_TRACE("record " + std::to_string(record[0]) + " cut at " + std::to_string(cut));
      text::MemoryFileSystem disk;
      disk.files[kStore] = base;
      disk.files[kLog] = record.substr(0, cut);
      BookmarkStore first(disk, kStore, kLog);
      first.load();
      EXPECT_FALSE(disk.exists(kLog) && !disk.files[kLog].empty());
      EXPECT_TRUE(first.purgeEntry(11, 14));
      EXPECT_TRUE(first.moveEntries("13u", 1, -2, false));
      BookmarkStore second(disk, kStore, kLog);
      second.load();
      ++cases;
      if (linesOf(first) != linesOf(second)) ++mismatches;
    }
  }
  EXPECT_EQ(mismatches, 0) << "of " << cases << " cut points";
}

// The nine operations, as the program calls them, on the tree of TornLogs
// (under injected failures any of them may be refused).
const std::vector<std::function<void(BookmarkStore&)>>& sampleChanges() {
  static const std::vector<std::function<void(BookmarkStore&)>> changes{
      [](BookmarkStore& s) { static_cast<void>(s.addBookmark("Title", "http://a.com/", "note", 11, 45000.25, -1)); },
      [](BookmarkStore& s) { static_cast<void>(s.recordVisit(12, 45000.25, 3)); },
      [](BookmarkStore& s) { static_cast<void>(s.editBookmark(12, "T2", "n2", "http://b.org/")); },
      [](BookmarkStore& s) { static_cast<void>(s.moveEntries("12u13u", 1, -2, false)); },
      [](BookmarkStore& s) { static_cast<void>(s.addCategory(11, 45000.25, "Sub")); },
      [](BookmarkStore& s) { static_cast<void>(s.editCategory(11, "Renamed", 1, 0, false)); },
      [](BookmarkStore& s) { static_cast<void>(s.emptyRecycleBin()); },
      [](BookmarkStore& s) { static_cast<void>(s.addSeparator(11, 13)); },
      [](BookmarkStore& s) { static_cast<void>(s.purgeEntry(11, 14)); },
  };
  return changes;
}

TEST_F(TornLogs, AFailedAppendKeepsItsChangeAndTheNextFoldWritesItWithTheOnesAfterIt) {
  // An append that fails leaves the start of its record; the change is made
  // in memory all the same, the user is told once, the changes after it
  // stay in memory too, and the next fold writes them all: the torn piece
  // never reads as a record. Every cut point of every operation, followed
  // by every operation.
  int mismatches = 0, cases = 0;
  for (const auto& failing : sampleChanges()) {
    text::MemoryFileSystem probe;
    probe.files[kStore] = base;
    BookmarkStore measure(probe, kStore, kLog);
    measure.load();
    failing(measure);
    const std::size_t length = probe.files[kLog].size();
    for (std::size_t cut = 0; cut < length; ++cut) {
      for (const auto& next : sampleChanges()) {
        text::MemoryFileSystem disk;
        disk.files[kStore] = base;
        BookmarkStore live(disk, kStore, kLog);
        live.load();
        EXPECT_TRUE(live.recordVisit(13, 45001.0, 7));
        int told = 0;
        live.onCannotSave([&told](const std::string& reason) {
          ++told;
          EXPECT_EQ(reason, "磁盘空间不足。");
        });
        disk.appendsBeforeFailure = 0;
        disk.tornAppendBytes = cut;
        failing(live);
        disk.appendsBeforeFailure = -1;
        const bool unsaved = live.unsaved();
        next(live);
        EXPECT_NE(live.addBookmark("Last", "http://last.com/", "", 11, 45002.0, -1), 0);
        EXPECT_EQ(told, unsaved ? 1 : 0);
        EXPECT_EQ(live.unsaved(), unsaved);  // no more appends until a fold
        if (unsaved) EXPECT_TRUE(live.saveAll());
        EXPECT_FALSE(live.unsaved());
        BookmarkStore restarted(disk, kStore, kLog);
        restarted.load();
        ++cases;
        if (linesOf(live) != linesOf(restarted)) ++mismatches;
      }
    }
  }
  EXPECT_EQ(mismatches, 0) << "of " << cases << " cut points";
}

TEST_F(Persistence, AFoldWhoseLogCannotBeRemovedIsNotAppliedAgain) {
  // A virus scanner or backup program holds the log open.
  EXPECT_NE(store.addBookmark("A", "a.com", "", 1, 1.0, -1), 0);
  EXPECT_NE(store.addBookmark("B", "b.com", "", 1, 1.0, -1), 0);
  fs.removesBeforeFailure = 0;
  const auto folding = reload();
  expectSameState(store, *folding);
  fs.removesBeforeFailure = -1;
  const auto next = reload();
  EXPECT_EQ(next->count(), 12);
  expectSameState(store, *next);
}

TEST_F(Persistence, ALogHeldByAnotherProgramIsNotFoldedThisTimeAndNothingIsAppliedTwice) {
  // Two hundred changes in the log; then a backup or sync tool holds it
  // (no sharing) through a start, and lets it go.
  for (int i = 0; i < 200; ++i) {
    ASSERT_NE(store.addBookmark("B" + std::to_string(i), "b" + std::to_string(i) + ".com", "", 1, 1.0, -1), 0);
  }
  const std::string log = fs.files[kLog];
  for (const bool removalLies : {true, false}) {
    SCOPED_TRACE(removalLies ? "its removal claims success" : "its removal fails");
    fs.files[kLog] = log;
    fs.held = {kLog};
    fs.heldRemovalLies = removalLies;
    const auto folding = reload();
    expectSameState(store, *folding);
    // Not folded: the store file and the log as they were.
    EXPECT_EQ(fs.files[kLog], log);
    EXPECT_EQ(fs.files[kStore], fixedEntriesFile());
    EXPECT_FALSE(fs.exists(folding->nextStoreFile()));
    fs.held.clear();
    const auto next = reload();
    EXPECT_EQ(next->count(), 210);
    expectSameState(store, *next);
    EXPECT_FALSE(fs.exists(kLog));  // folded now
    EXPECT_FALSE(fs.exists(next->foldedLogFile()));
    expectSameState(store, *reload());
    fs.files[kStore] = fixedEntriesFile();
  }
}

TEST_F(Persistence, AFoldedLogThatCannotBeRemovedIsNeverReplayedAndHoldsBackTheNextFold) {
  EXPECT_NE(store.addBookmark("A", "a.com", "", 1, 1.0, -1), 0);
  const std::string log = fs.files[kLog];
  reload();  // folded: A is in the store file
  // The fold's folded log stayed behind, held by another program.
  fs.files[store.foldedLogFile()] = log;
  fs.held = {store.foldedLogFile()};
  fs.heldRemovalLies = true;
  const auto again = reload();
  expectSameState(store, *again);
  EXPECT_EQ(again->count(), 11);
  // A change after it goes to the log; the next start replays only that.
  EXPECT_NE(again->addBookmark("B", "b.com", "", 1, 1.0, -1), 0);
  const auto next = reload();
  expectSameState(*again, *next);
  EXPECT_EQ(next->count(), 12);
  // While the folded log is still there, no fold writes a next store file
  // (the next load could not tell which fold it belonged to): the log
  // waits, whole.
  EXPECT_TRUE(fs.exists(kLog));
  EXPECT_FALSE(fs.exists(next->nextStoreFile()));
  fs.held.clear();
  const auto released = reload();
  expectSameState(*again, *released);
  EXPECT_FALSE(fs.exists(kLog));
  EXPECT_FALSE(fs.exists(released->foldedLogFile()));
}

TEST_F(Persistence, ALogWithUnreadableRecordsIsKeptBesideTheStore) {
  EXPECT_NE(store.addBookmark("A", "a.com", "", 1, 1.0, -1), 0);
  const std::string damaged = fs.files[kLog] + std::string("\x0A\x04\x01\x05\x08", 5) + std::string(kLogTerminator);
  fs.files[kLog] = damaged;
  expectSameState(store, *reload());
  EXPECT_FALSE(fs.exists(kLog));
  EXPECT_EQ(fs.files[std::string(kLog) + ".bak"], damaged);
  // A second one goes beside the first; a clean log leaves no copy.
  EXPECT_NE(store.addBookmark("B", "b.com", "", 1, 1.0, -1), 0);
  fs.files[kLog] += "\x01torn";
  const std::string second = fs.files[kLog];
  reload();
  EXPECT_EQ(fs.files[std::string(kLog) + ".bak"], damaged);
  EXPECT_EQ(fs.files[std::string(kLog) + ".2.bak"], second);
  EXPECT_NE(store.addBookmark("C", "c.com", "", 1, 1.0, -1), 0);
  reload();
  EXPECT_FALSE(fs.exists(std::string(kLog) + ".3.bak"));
}

const char* const kFixedTitles[kLastFixedEntry] = {"根", "回收站", "保留3", "保留4", "保留5",
                                                  "保留6", "保留7", "保留8", "保留9", "保留10"};

// The store file a first run writes.
std::string firstRunFile(double now, int from = 1) {
  std::string file;
  for (int i = from; i <= kLastFixedEntry; ++i) {
    Entry e;
    e.title = kFixedTitles[i - 1];
    e.url = "u";
    e.added = now;
    file += serializeLine(e) + "\r\n";
  }
  return file;
}

TEST(FixedEntries, AnEmptyStoreGetsThemBeforeAnythingElse) {
  text::MemoryFileSystem fs;
  fs.files[kStore] = "";
  BookmarkStore s(fs, kStore, kLog);
  s.load();
  EXPECT_EQ(s.ensureFixedEntries(kFixedTitles, 45000.5), 10);
  EXPECT_EQ(fs.files[kStore], firstRunFile(45000.5));
  EXPECT_FALSE(fs.exists(kLog));
  // A new category is entry 11 in the root, not the root itself.
  EXPECT_EQ(s.addCategory(kRootCategory, 45001.0, "New"), 11);
  BookmarkStore again(fs, kStore, kLog);
  again.load();
  EXPECT_EQ(again.entry(kRootCategory).title, "根");
  EXPECT_EQ(again.members(kRootCategory), Ids{11});
  EXPECT_EQ(again.members(11), Ids{});
  EXPECT_EQ(again.ensureFixedEntries(kFixedTitles, 45002.0), 0);
}

TEST(FixedEntries, AShortStoreKeepsTheEntriesItHas) {
  std::string file;
  Entry root;
  root.title = "Mine";
  root.url = "u3u";
  file += serializeLine(root) + "\r\n\r\n";  // the root, and entry 2 vacant
  Entry third;
  third.title = "Third";
  third.kind = kBookmark;
  third.url = "http://third.com/";
  third.parentId = 1;
  file += serializeLine(third) + "\r\n";
  text::MemoryFileSystem fs;
  fs.files[kStore] = file;
  BookmarkStore s(fs, kStore, kLog);
  s.load();
  EXPECT_EQ(s.ensureFixedEntries(kFixedTitles, 45000.5), 7);
  EXPECT_EQ(fs.files[kStore], file + firstRunFile(45000.5, 4));
  EXPECT_EQ(s.members(kRootCategory), Ids{3});
}

TEST(FixedEntries, NoneAreMadeOverAStoreThatCouldNotBeRead) {
  text::MemoryFileSystem fs;
  fs.files[kStore] = fixedEntriesFile();
  fs.failAt = 1;  // reading the store file
  BookmarkStore s(fs, kStore, kLog);
  const LoadResult r = s.load();
  EXPECT_TRUE(r.unreadable);
  EXPECT_TRUE(s.readOnly());
  EXPECT_EQ(s.ensureFixedEntries(kFixedTitles, 45000.5), 0);
  EXPECT_EQ(s.addCategory(kRootCategory, 1.0, "x"), 0);
  EXPECT_EQ(fs.files[kStore], fixedEntriesFile());
  EXPECT_FALSE(fs.exists(kLog));
}

class Percentages : public LoadObserver {
 public:
  std::vector<int> seen;
  void progress(int percent) override { seen.push_back(percent); }
};

TEST_F(Persistence, ProgressRunsFromZeroToOneHundredPercentOnce) {
  for (int i = 0; i < 190; ++i) { EXPECT_NE(store.addBookmark("x", "x.com", "", 1, 1.0, -1), 0); }
  ASSERT_TRUE(store.saveAll());
  Percentages p;
  BookmarkStore s(fs, kStore, kLog);
  s.readStoreFile(&p);
  ASSERT_FALSE(p.seen.empty());
  EXPECT_EQ(p.seen.front(), 0);  // with 200 lines the first line shows 0%
  EXPECT_EQ(p.seen.back(), 100);
  for (std::size_t i = 1; i < p.seen.size(); ++i) EXPECT_GT(p.seen[i], p.seen[i - 1]);
  EXPECT_EQ(p.seen.size(), 101u);
}

TEST(PersistenceOnDisk, TheRealFileSystemKeepsEveryChange) {
  lh::test::TempDir dir;
  auto fs = text::makeRealFileSystem();
  const std::string storePath = dir.file("udb"), logPath = dir.file("bein");
  ASSERT_TRUE(fs->write(storePath, fixedEntriesFile()));
  BookmarkStore live(*fs, storePath, logPath);
  live.load();
  exerciseEveryOperation(live);
  BookmarkStore replayed(*fs, storePath, logPath);
  const LoadResult r = replayed.load();
  EXPECT_TRUE(r.saved);
  EXPECT_FALSE(fs->exists(logPath));
  EXPECT_FALSE(fs->exists(storePath + ".new"));
  expectSameState(live, replayed);
}

}  // namespace
}  // namespace lh::store::test
