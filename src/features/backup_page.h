// The way back: "备份" on the bottom bar opens a page listing the store's
// dated copies, newest first, each with its date, its numbers of bookmarks
// and categories, and its size. Choosing one adds its whole tree to the
// root as a new category "恢复 YYYY-MM-DD", the addresses already saved
// skipped, exactly as an import adds a bookmark file: nothing is removed or
// replaced. A copy that does not unpack says so and changes nothing.
// Conflict copies that sync tools left in the data folder come first, as
// "冲突副本" rows, restored the same way into "冲突副本 NAME"; a restored one
// moves into the backup folder.
#pragma once

#include <string>
#include <vector>

#include "features/exchange.h"
#include "features/look.h"
#include "features/overlay_pages.h"
#include "platform/platform.h"
#include "store/backups.h"
#include "store/conflicts.h"
#include "ui/controls.h"

namespace lh::features {

// The rows the page shows (the newest copies).
inline constexpr int kBackupRows = 12;

// "2026-12-10  1234 个书签  56 个分类  1.2 MB"; a damaged copy "… 已损坏".
std::string backupRowText(const store::BackupCopy& c);
// The bookmark file that adds a store file's root tree under one folder
// named `folder`.
std::string restoreFileOf(const std::string& storeBytes, const std::string& folder);

class BackupPage {
 public:
  BackupPage(platform::Platform& platform, text::FileSystem& fs, std::string dataDir, store::Backups& backups,
             OverlayPages& pages, ui::Control& bottomBar, Exchange& exchange, Pictures& pictures);

  void show();
  // Adds copy `row` (0: the newest shown) to the root; false when nothing
  // was added.
  bool restore(int row);

  ui::Label& openLabel() { return *open_; }
  ui::Label& status() { return *status_; }
  ui::Label& row(int i) { return *rows_[static_cast<std::size_t>(i)]; }
  const std::vector<store::BackupCopy>& shownCopies() const { return copies_; }
  const std::vector<store::ConflictCopy>& shownConflicts() const { return conflicts_; }

 private:
  bool restoreConflict(const store::ConflictCopy& copy);

  text::FileSystem& fs_;
  std::string dataDir_;
  store::Backups& backups_;
  OverlayPages& pages_;
  Exchange& exchange_;
  ui::Label* open_ = nullptr;
  ui::Label* status_ = nullptr;
  std::vector<ui::Label*> rows_;
  std::vector<store::BackupCopy> copies_;
  std::vector<store::ConflictCopy> conflicts_;
};

}  // namespace lh::features
