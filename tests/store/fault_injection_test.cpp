// A sequence of changes, then a start that replays and folds them, with the
// file system failing at one operation, or stopping at one as a crash would.
// The memory file system treats a mapped store file as Windows does (it
// cannot be replaced, only moved aside), so the folds take that path too.
// For every position of the failure, the start after that finds exactly
// what the program had in memory (no change lost, none applied twice); after
// a crash, the change being written may also be there in full. Every start
// after that finds the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "store_fixture.h"

namespace lh::store::test {
namespace {

// The program's side: each operation uses the ids earlier ones returned,
// and skips what depends on one that failed.
void runChanges(BookmarkStore& s) {
  const EntryId cat = s.addCategory(1, 45000.1, "工作");
  const EntryId a = s.addBookmark("A", "http://a.com/", "n", cat ? cat : 1, 45000.2, -1);
  const EntryId b = s.addBookmark("B", "http://b.com/", "", 1, 45000.3, -1);
  if (a) static_cast<void>(s.recordVisit(a, 45001.0, 1));
  if (b) static_cast<void>(s.editBookmark(b, "B2", "note", "http://b2.com/"));
  const EntryId sep = b ? s.addSeparator(1, b) : 0;
  if (a) static_cast<void>(s.moveEntries(std::to_string(a) + "u", 1, b ? b : -2, false));
  if (sep) static_cast<void>(s.purgeEntry(1, sep));
  if (cat) static_cast<void>(s.editCategory(cat, "Renamed", 1, 0, false));
  if (cat) static_cast<void>(s.moveEntries(std::to_string(cat) + "u", kRecycleBin, -2, false));
  static_cast<void>(s.emptyRecycleBin());
  static_cast<void>(s.addBookmark("C", "http://c.com/", "", 1, 45000.4, -1));
}

// One operation fails; the process stops at one; or from one on, a file is
// held by another program for the rest of the run and the start after it
// (every append, write, removal and rename of it fails; removals may claim
// success).
enum class Fault { FailOne, Crash, Hold };

struct Held {
  std::string path;
  bool removalLies = false;
};

struct Outcome {
  std::vector<std::string> live;       // what the program had after its changes
  bool liveReadOnly = false;
  std::vector<std::string> folding;    // what the folding start loaded (unless read-only)
  bool foldingReadOnly = false;
  std::vector<std::string> next;       // the start after it, without faults
  std::vector<std::string> afterNext;  // and the one after that
  bool nextFileLeft = false;
  bool asideFileLeft = false;
};

Outcome run(Fault fault, int n, std::size_t torn, int* operations = nullptr, const Held& held = {}) {
  text::MemoryFileSystem fs;
  fs.files[kStore] = fixedEntriesFile();
  fs.tornAppendBytes = torn;
  if (fault == Fault::FailOne) fs.failAt = n;
  if (fault == Fault::Crash) fs.crashAfter = n - 1;
  if (fault == Fault::Hold) {
    fs.holdFrom = n;
    fs.holdLater = {held.path};
    fs.heldRemovalLies = held.removalLies;
  }
  Outcome o;
  {
    BookmarkStore live(fs, kStore, kLog);
    live.load();
    // What the files held when an append first failed: the changes from it
    // on are in memory only, until a fold writes them.
    std::optional<std::vector<std::string>> saved;
    live.onCannotSave([&](const std::string&) {
      if (!saved) saved = linesOf(live);
    });
    runChanges(live);
    // The program folds them (it tries again until that works, and as it
    // ends): what that could not write is lost, and the user was told.
    if (live.unsaved()) static_cast<void>(live.saveAll());
    o.live = live.unsaved() ? *saved : linesOf(live);
    o.liveReadOnly = live.readOnly();
  }
  {
    BookmarkStore folding(fs, kStore, kLog);
    folding.load();
    o.foldingReadOnly = folding.readOnly();
    o.folding = linesOf(folding);
  }
  if (operations) *operations = fs.operations;
  fs.failAt = 0;
  fs.crashAfter = -1;
  fs.holdFrom = 0;
  fs.held.clear();
  {
    BookmarkStore next(fs, kStore, kLog);
    next.load();
    o.next = linesOf(next);
    o.nextFileLeft = fs.exists(next.nextStoreFile());
  }
  BookmarkStore afterNext(fs, kStore, kLog);
  afterNext.load();
  o.afterNext = linesOf(afterNext);
  // Moved aside by a fold while mapped, and removed once no longer mapped.
  o.asideFileLeft = fs.exists(afterNext.asideStoreFile());
  return o;
}

TEST(FaultInjection, EveryFailurePositionKeepsExactlyTheChangesTheProgramMade) {
  int total = 0;
  const Outcome clean = run(Fault::FailOne, 0, 0, &total);
  ASSERT_EQ(clean.next, clean.live);
  ASSERT_GT(clean.live.size(), 14u);
  ASSERT_GT(total, 15);
  // The states the program passes through, in order: what it holds when a
  // crash stops it at each operation.
  std::vector<std::vector<std::string>> states;
  for (int n = 1; n <= total + 1; ++n) {
    const Outcome o = run(Fault::Crash, n, 0);
    if (!o.liveReadOnly && (states.empty() || states.back() != o.live)) states.push_back(o.live);
  }
  ASSERT_GE(states.size(), 12u);
  const std::vector<std::string> original = states.front();
  int runs = 0;
  for (const Fault fault : {Fault::FailOne, Fault::Crash}) {
    for (const std::size_t torn : {std::size_t{0}, std::size_t{9}, std::size_t{60}, std::size_t{1000}}) {
      for (int n = 1; n <= total + 1; ++n) {
        SCOPED_TRACE(std::string(fault == Fault::Crash ? "crash" : "failure") + " at operation " +
                     std::to_string(n) + ", torn appends keep " + std::to_string(torn) + " bytes");
        const Outcome o = run(fault, n, torn);
        ++runs;
        // A store that could not read its file showed nothing and wrote
        // nothing.
        const std::vector<std::string>& shown = o.liveReadOnly ? original : o.live;
        if (fault == Fault::FailOne) {
          EXPECT_EQ(o.next, shown);
          if (!o.foldingReadOnly) EXPECT_EQ(o.folding, shown);
        } else {
          const auto at = std::find(states.begin(), states.end(), shown);
          ASSERT_NE(at, states.end());
          const bool before = o.next == *at;
          const bool after = at + 1 != states.end() && o.next == *(at + 1);
          EXPECT_TRUE(before || after);
        }
        EXPECT_EQ(o.afterNext, o.next);
        EXPECT_FALSE(o.nextFileLeft);
        EXPECT_FALSE(o.asideFileLeft);
      }
    }
  }
  EXPECT_GT(runs, 8 * total);
}

TEST(FaultInjection, AFileHeldByAnotherProgramFromAnyOperationOnLosesNothingAndAppliesNothingTwice) {
  int total = 0;
  run(Fault::FailOne, 0, 0, &total);
  // The log, the store file, the next store file and the folded log.
  const std::string files[] = {kLog, kStore, std::string(kStore) + ".next", std::string(kLog) + ".folded"};
  int runs = 0;
  for (const std::string& path : files) {
    for (const bool lies : {false, true}) {
      for (int n = 1; n <= total + 1; ++n) {
        SCOPED_TRACE(path + " held from operation " + std::to_string(n) + (lies ? ", removals claiming success" : ""));
        const Outcome o = run(Fault::Hold, n, 0, nullptr, {path, lies});
        ++runs;
        const std::vector<std::string>& shown = o.liveReadOnly ? run(Fault::FailOne, 0, 0).live : o.live;
        if (!o.liveReadOnly) EXPECT_EQ(o.next, shown);
        if (!o.foldingReadOnly && !o.liveReadOnly) EXPECT_EQ(o.folding, shown);
        EXPECT_EQ(o.afterNext, o.next);
        EXPECT_FALSE(o.nextFileLeft);
      }
    }
  }
  EXPECT_GT(runs, 7 * total);
}

}  // namespace
}  // namespace lh::store::test
