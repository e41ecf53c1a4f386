// The bookmark store: every entry in memory, each entry's stored line in the
// LineCache, the store file (a snapshot) and the change log (every change
// since the snapshot). Each change operation applies its effect in memory,
// refreshes the lines it touched and appends one log record; replaying the
// log at start-up runs the same effect code without the append.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "store/codec.h"
#include "store/entry.h"
#include "store/entry_table.h"
#include "store/line_cache.h"
#include "text/filesystem.h"

namespace lh::store {

// Told about the progress of a load or save. The store calls it only when the
// shown percentage changes, so the caller can afford to repaint its progress
// label and let pending window messages run each time.
class LoadObserver {
 public:
  virtual ~LoadObserver() = default;
  virtual void progress(int percent) = 0;
};

struct LoadResult {
  int lines = 0;            // entries read from the store file
  int replayed = 0;         // log records applied
  int skippedRecords = 0;   // damaged or unknown log records
  bool saved = false;       // the log was folded into a new store file
  bool unreadable = false;  // a file is there but could not be read: read-only
};

class BookmarkStore {
 public:
  BookmarkStore(text::FileSystem& fs, std::string storeFile, std::string changeLog);

  // Reading. An id outside 1..count() reads as an empty entry.
  const Entry& entry(EntryId id) const;
  // For the fields the program changes in memory only (scrollRow, dimmed,
  // groupLabel); nullptr outside 1..count(). The entry's line keeps the
  // values of its last change.
  Entry* mutableEntry(EntryId id);
  int count() const { return static_cast<int>(entries_.size()); }
  std::vector<EntryId> members(EntryId id) const;
  std::string_view line(EntryId id) const;
  bool valid(EntryId id) const { return id >= 1 && id <= count(); }
  // An entry that is there: in range, and its line is not vacant (a slot
  // left empty in the file, or purged).
  bool exists(EntryId id) const { return valid(id) && !lines_.vacant(static_cast<std::size_t>(id - 1)); }
  bool isCategory(EntryId id) const { return exists(id) && entry(id).isCategory(); }
  // How many entries have been read from their lines so far (a load reads
  // none; each is read when first asked for).
  std::size_t builtEntries() const { return entries_.builtCount(); }
  // True while load() runs; change operations do nothing meanwhile, since
  // window events may run inside the load's progress callbacks.
  bool loading() const { return loading_; }
  // True when the last load could not read a file that is there, or a fold
  // could neither finish nor be undone: change operations then do nothing,
  // so that nothing is written on top of data that was not read.
  bool readOnly() const { return readOnly_; }
  // Changes whenever an entry's stored fields or a members list may have
  // changed (a load, a change operation, a bulk primitive), so that what is
  // derived from the tree can tell it is out of date. mutableEntry's
  // memory-only fields leave it as it is.
  std::uint64_t revision() const { return revision_; }
  // True once an append to the log has failed (a full disk, a log another
  // program holds): the change was made in memory all the same, and so are
  // the changes after it, without the log, until a fold writes them all to
  // the store file (saveAll); then logging goes on. `reason` is told once
  // per such spell, the file system's words for the failure.
  bool unsaved() const { return unlogged_; }
  void onCannotSave(std::function<void(const std::string& reason)> told) { cannotSave_ = std::move(told); }

  const std::string& storeFile() const { return storeFile_; }
  const std::string& changeLog() const { return changeLog_; }
  // Where a fold writes the next store file before it replaces the old one,
  // and where it moves the old one when that cannot be replaced in place.
  std::string nextStoreFile() const { return storeFile_ + ".next"; }
  std::string asideStoreFile(int n = 1) const;  // ".old", ".2.old" ...
  // Where a fold moves the change log as it takes effect: a log under this
  // name is in the store file (or the next one) and is never replayed.
  std::string foldedLogFile() const { return changeLog_ + ".folded"; }

  // The store file this store would write now (what memory holds).
  std::string fileBytes() const { return storeBytes(nullptr); }

  // Loading and saving.
  LoadResult load(LoadObserver* observer = nullptr);
  int readStoreFile(LoadObserver* observer = nullptr);
  LoadResult replayLog(LoadObserver* observer = nullptr);
  // Folds the change log into the store file: writes the next store file
  // beside it, moves the log to its folded name (a copy is kept as a backup
  // when some of it could not be read), puts the next store file in place
  // and removes the folded log. A failure or a crash at any step leaves
  // files from which the next load finds every change exactly once. False
  // when the fold did not happen (the log could not be moved, a file could
  // not be written).
  [[nodiscard]] bool saveAll(LoadObserver* observer = nullptr);

  // Creates the fixed entries 1..10 the store lacks (a store file shorter
  // than ten lines, or none), as a first run does: empty categories with
  // the given titles, logged and folded into the store file. Entries already
  // there are kept as they are. Returns how many were created.
  int ensureFixedEntries(const char* const (&titles)[kLastFixedEntry], double now);

  // Renumbers the store: entries 1 to 10 keep their ids; the members of
  // each (the root's tree first, then the recycle bin's, then the others'),
  // walked in list order at any depth, get the ids from 11 on, each
  // category's list renumbered the same way. Members without a title (but
  // separators), destroyed or missing entries, and everything no fixed
  // entry reaches are dropped. The new store file (each line with its id as
  // a thirteenth field) replaces the old one as a fold does, the change log
  // goes, and the store is loaded from it. Returns the new id of every old
  // one (0: dropped), indexed by the old id; nullopt when nothing changed.
  [[nodiscard]] std::optional<std::vector<EntryId>> compact(LoadObserver* observer = nullptr);

  // Primitives for bulk work that ends with saveAll (no log records).
  EntryId newEntry();
  void refreshLine(EntryId id);
  [[nodiscard]] bool appendLog(std::string_view record);
  // Texts given to the primitives' callers must be line-safe; the change
  // operations below make them so themselves (storedText).

  // The nine change operations. Each appends its record first and changes
  // nothing when the append fails, so memory never holds a change the log
  // lacks. None logs a change for an entry that is not there: the entries
  // named must exist, parents and destinations must be categories (parent 0
  // of addCategory meaning none), editBookmark takes only bookmarks,
  // moveEntries moves only the named entries that exist, and addSeparator
  // needs its member in the category's list.
  // Each says whether it was made: the added entry's id (0 when refused),
  // or true. A refusal leaves memory and the files as they were, and a
  // caller that shows the change must not show it then.
  [[nodiscard]] EntryId addBookmark(std::string_view title, std::string_view url, std::string_view note,
                                    EntryId parentId, double added, EntryId after);
  [[nodiscard]] bool recordVisit(EntryId id, double lastVisit, std::int32_t visitCount);
  [[nodiscard]] bool editBookmark(EntryId id, std::string_view title, std::string_view note, std::string_view url);
  [[nodiscard]] bool moveEntries(std::string_view items, EntryId destId, std::int32_t position, bool after);
  [[nodiscard]] EntryId addCategory(EntryId parentId, double created, std::string_view name);
  [[nodiscard]] bool editCategory(EntryId id, std::string_view name, std::int32_t reservedA, std::int32_t kind,
                                  bool clearMembers);
  [[nodiscard]] bool emptyRecycleBin();
  [[nodiscard]] EntryId addSeparator(EntryId categoryId, EntryId beforeId);
  [[nodiscard]] bool purgeEntry(EntryId categoryId, EntryId id);

  // Sets a title or an address together with its derived field.
  static void setTitle(Entry& e, std::string title);
  static void setUrl(Entry& e, std::string url);

 private:
  // Replay effects, shared by live use and replay.
  EntryId applyAddBookmark(std::string title, std::string url, std::string note, EntryId parentId,
                           double added, EntryId after);
  void applyRecordVisit(EntryId id, double lastVisit, std::int32_t visitCount);
  void applyEditBookmark(EntryId id, std::string title, std::string note, std::string url);
  void applyMoveEntries(std::string_view items, EntryId destId, std::int32_t position, bool after);
  EntryId applyAddCategory(EntryId parentId, double created, std::string name);
  void applyEditCategory(EntryId id, std::string name, std::int32_t reservedA, std::int32_t kind,
                         bool clearMembers);
  void applyEmptyRecycleBin();
  EntryId applyAddSeparator(EntryId categoryId, std::string_view before);
  void applyPurgeEntry(EntryId categoryId, EntryId id);

  void apply(const LogRecord& r);
  // Appends one record; false (and nothing to apply) when the append failed.
  bool log(LogOp op, std::vector<std::string> fields);
  bool changesAllowed() const { return !loading_ && !readOnly_; }

  // The entry without the care mutableEntry takes; nullptr outside 1..count().
  Entry* find(EntryId id);
  // Entry i (from 0), read from its line if it was not yet.
  Entry& materialize(std::size_t i) const;
  // Serialises line i if it is pending.
  void settle(std::size_t i) const;
  std::string storeBytes(LoadObserver* observer) const;
  // The steps of a fold; `log` is the log's content (nullopt: no log).
  bool fold(const std::optional<std::string>& log, bool damaged, LoadObserver* observer);
  bool foldBytes(const std::optional<std::string>& log, bool damaged, const std::string& out);
  // Finishes what an earlier fold left (a next store file not yet in place,
  // a folded log not yet removed); false when it cannot, and no fold may
  // then write a next store file.
  bool settleEarlierFold();
  bool promote(const std::string& next, std::string_view bytes);
  static constexpr int kAsideNames = 8;
  bool restoreAside();
  void removeAsideFiles();
  // Completes or discards a fold that an earlier run left unfinished, and
  // names the file to load.
  std::string finishInterruptedFold();

  text::FileSystem& fs_;
  std::string storeFile_;
  std::string changeLog_;
  // Built from their lines when first needed (materialize); hence mutable.
  mutable EntryTable entries_;
  mutable LineCache lines_;
  bool loading_ = false;
  bool readOnly_ = false;
  bool unlogged_ = false;
  std::function<void(const std::string&)> cannotSave_;
  std::uint64_t revision_ = 0;
  // The log may end with part of a record (an append failed, or a fold that
  // would have removed such a log failed): the next record then first ends
  // that piece in a way no reader can take for a record.
  bool logMayBeTorn_ = false;
  // The log's length as this store last knew it (nullopt: unknown), to tell
  // a failed append that wrote nothing, part, or all of its record.
  std::optional<std::size_t> logSize_;
};

// A name for keeping a change log aside: changeLog + ".bak", or, when that
// is taken, ".2.bak", ".3.bak" ...
std::string freeBackupName(text::FileSystem& fs, const std::string& changeLog);

// Encoded field values for log records.
std::string intField(std::int32_t v);
std::string dateField(double v);

// Walks the member lists from `from` depth first with an explicit stack, so
// that any depth is walked. `visit(id)` sees every member id in list order
// and returns whether to walk into it (its members come next); `leave()` runs
// when a list is done: each entered one's, and `from`'s last. Keeping a
// category from being entered twice (a damaged store may list one inside
// itself or an ancestor) is the caller's, which knows what else it skips.
template <class Visit, class Leave>
void walkMembers(const BookmarkStore& s, EntryId from, Visit&& visit, Leave&& leave) {
  struct Frame {
    std::vector<EntryId> members;
    std::size_t next = 0;
  };
  std::vector<Frame> stack;
  stack.push_back({s.members(from), 0});
  while (!stack.empty()) {
    Frame& f = stack.back();
    if (f.next >= f.members.size()) {
      stack.pop_back();
      leave();
      continue;
    }
    const EntryId k = f.members[f.next++];
    if (visit(k)) stack.push_back({s.members(k), 0});  // `f` is not used after this
  }
}

template <class Visit>
void walkMembers(const BookmarkStore& s, EntryId from, Visit&& visit) {
  walkMembers(s, from, std::forward<Visit>(visit), [] {});
}

}  // namespace lh::store
