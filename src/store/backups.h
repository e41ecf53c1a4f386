// Dated copies of the store file, compressed, in the data folder's
// "backup" folder: a way back from a damaged file, a deleted folder, an
// emptied bin or a bad import.
//
// A copy is named by its day, "udb-2026-12-10.gz", and further copies of
// the same day "udb-2026-12-10-2.gz", "-3" ... (gzip files any tool opens).
// The folder's "index" holds, per copy, a digest of the store bytes and the
// numbers of bookmarks and categories, so that listing needs no unpacking;
// a copy the index lacks (or an index that cannot be read) is unpacked and
// counted again.
//
// Which copies are kept: the newest kDailyCopies, and the first copy of
// each of the last kMonthlyCopies months; and a copy whose next copy holds
// less than half as many bookmarks is never removed (a collection that
// suddenly shrank keeps its last big copy).
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/filesystem.h"

namespace lh::store {

inline constexpr int kDailyCopies = 15;
inline constexpr int kMonthlyCopies = 12;
// Emptying a bin of more than this many entries is preceded by a copy.
inline constexpr int kBinEmptyingCopied = 50;
// An unpacked copy is refused beyond this size (a damaged or hostile file).
inline constexpr std::size_t kMaxUnpackedBytes = std::size_t{1} << 31;

std::string gzipped(std::string_view bytes);
// nullopt when the bytes are no whole gzip stream or unpack beyond `limit`.
std::optional<std::string> gunzipped(std::string_view bytes, std::size_t limit = kMaxUnpackedBytes);

struct StoreCounts {
  int bookmarks = 0;
  int categories = 0;  // beyond the fixed entries
};
// What a store file holds (deleted entries not counted).
StoreCounts countStore(std::string_view storeBytes);

struct BackupCopy {
  std::string name;  // in the backup folder
  int year = 0, month = 0, day = 0, seq = 1;
  std::uint64_t digest = 0;  // of the store bytes
  StoreCounts counts;
  bool readable = true;  // false: the copy does not unpack
  std::uint64_t size = 0;  // of the file
  std::string date() const;  // "2026-12-10"
};

// Safe to use from the worker and the GUI thread at once: one call at a
// time goes to the folder.
class Backups {
 public:
  Backups(text::FileSystem& fs, std::string dataDir);

  std::string folder() const { return folder_; }
  // Every copy, newest first.
  std::vector<BackupCopy> list();
  // The newest copy's store bytes, or of `name`; nullopt when missing or
  // damaged.
  std::optional<std::string> read(const std::string& name);

  // A copy of `storeBytes` for the day of `now` (an OLE date). `daily`: only
  // when that day has none yet and the store changed since the newest copy;
  // otherwise always (before a mass change). Then the old copies are
  // thinned. The name written, or "" when none was.
  std::string write(std::string_view storeBytes, double now, bool daily);

  // Removes what the keeping rule does not keep (the day of `now` counts
  // the months back).
  void thin(double now);

  static std::uint64_t digestOf(std::string_view bytes);

 private:
  std::string path(const std::string& name) const { return folder_ + "\\" + name; }
  std::vector<BackupCopy> readIndex();
  void writeIndex(const std::vector<BackupCopy>& copies);

  text::FileSystem& fs_;
  std::string folder_;
  std::recursive_mutex mutex_;
};

// The file name's day and sequence: "udb-2026-12-10.gz" -> 2026, 12, 10, 1.
std::optional<BackupCopy> parseBackupName(std::string_view name);

}  // namespace lh::store
