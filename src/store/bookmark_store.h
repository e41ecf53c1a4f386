// The bookmark store: every entry in memory, each entry's stored line in the
// LineCache, the store file (a snapshot) and the change log (every change
// since the snapshot). Each change operation applies its effect in memory,
// refreshes the lines it touched and appends one log record; replaying the
// log at start-up runs the same effect code without the append.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "store/chunked_array.h"
#include "store/codec.h"
#include "store/entry.h"
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
  bool saved = false;       // the replay was folded into a new store file
};

class BookmarkStore {
 public:
  BookmarkStore(text::FileSystem& fs, std::string storeFile, std::string changeLog);

  // Reading. An id outside 1..count() reads as an empty entry.
  const Entry& entry(EntryId id) const;
  // For the fields the program changes in memory only (scrollRow, dimmed,
  // groupLabel); nullptr outside 1..count().
  Entry* mutableEntry(EntryId id);
  int count() const { return static_cast<int>(entries_.size()); }
  std::vector<EntryId> members(EntryId id) const;
  std::string_view line(EntryId id) const;
  bool valid(EntryId id) const { return id >= 1 && id <= count(); }
  // True while load() runs; change operations do nothing meanwhile, since
  // window events may run inside the load's progress callbacks.
  bool loading() const { return loading_; }

  const std::string& storeFile() const { return storeFile_; }
  const std::string& changeLog() const { return changeLog_; }

  // Loading and saving.
  LoadResult load(LoadObserver* observer = nullptr);
  int readStoreFile(LoadObserver* observer = nullptr);
  LoadResult replayLog(LoadObserver* observer = nullptr);
  // Writes every cached line to a new store file, replaces the old one with
  // it, and only then deletes the change log. On failure the old store file
  // and the log are left as they were and false is returned.
  bool saveAll(LoadObserver* observer = nullptr);

  // Primitives for bulk work that ends with saveAll (no log records).
  EntryId newEntry();
  void refreshLine(EntryId id);
  bool appendLog(std::string_view record);
  // Texts given to the primitives' callers must be line-safe; the change
  // operations below make them so themselves (lineSafe).

  // The nine change operations.
  EntryId addBookmark(std::string_view title, std::string_view url, std::string_view note,
                      EntryId parentId, double added, EntryId after);
  void recordVisit(EntryId id, double lastVisit, std::int32_t visitCount);
  void editBookmark(EntryId id, std::string_view title, std::string_view note, std::string_view url);
  void moveEntries(std::string_view items, EntryId destId, std::int32_t position, bool after);
  EntryId addCategory(EntryId parentId, double created, std::string_view name);
  void editCategory(EntryId id, std::string_view name, std::int32_t reservedA, std::int32_t kind,
                    bool clearMembers);
  void emptyRecycleBin();
  EntryId addSeparator(EntryId categoryId, EntryId beforeId);
  void purgeEntry(EntryId categoryId, EntryId id);

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
  void log(LogOp op, std::vector<std::string> fields);

  text::FileSystem& fs_;
  std::string storeFile_;
  std::string changeLog_;
  ChunkedArray<Entry> entries_;
  LineCache lines_;
  bool loading_ = false;
};

// Encoded field values for log records.
std::string intField(std::int32_t v);
std::string dateField(double v);

}  // namespace lh::store
