// Exchanging the tree with browsers through their HTML bookmark file: the
// bottom bar's "导出" writes the whole tree to a file chosen in the save
// dialog; "导入" compacts the store, then reads a chosen file into the root
// with its progress on the exchange page, and queues the new bookmarks'
// icon fetches.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "features/look.h"
#include "features/overlay_pages.h"
#include "platform/platform.h"
#include "store/bookmark_store.h"
#include "text/filesystem.h"
#include "ui/busy.h"
#include "ui/controls.h"
#include "ui/window.h"

namespace lh::features {

// "ULinkhoard-2016年5月3日15时30分20秒.html": the date, then the time down to
// its last unit that is not 0 (nothing at midnight).
std::string proposedExportName(double oleNow);

class Exchange {
 public:
  struct Hooks {
    // The store was renumbered: the list goes back to the root under a
    // fresh breadcrumb (every id the window held is stale).
    std::function<void()> renumbered;
    // The list's category shown again from its first row.
    std::function<void()> redrawList;
    // The bookmarks whose hosts have no icon yet, in tree order.
    std::function<void(std::vector<store::EntryId>)> queueIcons;
    // Whether an address's host has an icon (record, or "-1").
    std::function<bool(const std::string& url)> hasIcon;
    // Before the import's compaction and additions: the store is copied.
    std::function<void()> beforeMassChange;
  };

  Exchange(platform::Platform& platform, ui::Busy& busy, store::BookmarkStore& store, text::FileSystem& fs,
           OverlayPages& pages, ui::Control& bottomBar, ui::Window& main, Pictures& pictures, Hooks hooks);

  void exportBookmarks();
  void importBookmarks();
  // What an addition of a bookmark file shows: its page, the label there,
  // and the label's texts while at work, once done and when it failed.
  struct Showing {
    OverlayPages::Page page;
    ui::Label* status;
    std::string working, done, failed;
  };
  // Adds a bookmark file's folders and links as the import does (a copy of
  // the store first, the compaction, the additions, the icons queued);
  // `bytesOf` gives the file once the page shows (nullopt: unreadable).
  // False when nothing was added, or when an addition is already running.
  bool addBookmarkFile(const std::function<std::optional<std::string>()>& bytesOf, const Showing& showing);
  bool importing() const { return importing_; }

  ui::Label& status() { return *status_; }        // 标签2
  ui::Label& importLabel() { return *import_; }   // 标签1
  ui::Label& exportLabel() { return *export_; }   // 标签24

 private:
  platform::FileDialogRequest request(platform::FileDialogRequest::Kind kind) const;
  void queueIconFetches();

  platform::Platform& platform_;
  ui::Busy& busy_;
  store::BookmarkStore& store_;
  text::FileSystem& fs_;
  OverlayPages& pages_;
  ui::Window& main_;
  Hooks hooks_;
  ui::Label* import_ = nullptr;
  ui::Label* export_ = nullptr;
  ui::Label* status_ = nullptr;
  bool importing_ = false;
};

}  // namespace lh::features
