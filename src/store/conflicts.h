// Conflict copies that sync tools leave beside the store file and the
// change log when two computers changed a synced data folder:
//   OneDrive      udb-LAPTOP               (the other computer's name)
//   Dropbox       udb (Jane's conflicted copy 2026-12-10)
//   Nextcloud     udb (conflicted copy 2026-12-10 101530)
//   Syncthing     udb.sync-conflict-20261210-101530-ABCDEFG
//   Google Drive  udb (1)
// and the same for "bein". A store copy and a log copy with the same
// suffix belong together; a log copy alone belongs to the store file as it
// is. The copy's store is its store copy with its log copy folded in, in
// memory: nothing is ever folded into the main store file.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/filesystem.h"

namespace lh::store {

// The suffix of a sync tool's conflict copy of `base` ("-LAPTOP", " (1)",
// ...), or nullopt when `name` is no such copy.
std::optional<std::string> conflictSuffix(std::string_view name, std::string_view base);

struct ConflictCopy {
  std::string suffix;
  std::string storeName;  // in the data folder; "" when only the log conflicted
  std::string logName;    // "" when the log did not conflict
  std::string shownName() const;  // "udb-LAPTOP", "bein (1)"
};

// Every conflict copy in the data folder, in name order.
std::vector<ConflictCopy> findConflictCopies(text::FileSystem& fs, const std::string& dataDir);

// The copy's store: its store copy (or the store file, when only the log
// conflicted) with its log copy replayed; nullopt when a file cannot be
// read.
std::optional<std::string> conflictStoreBytes(text::FileSystem& fs, const std::string& dataDir,
                                              const ConflictCopy& copy);

// Moves the copy's files into the backup folder (once restored); false
// when one could not be moved.
bool moveConflictAside(text::FileSystem& fs, const std::string& dataDir, const ConflictCopy& copy);

}  // namespace lh::store
