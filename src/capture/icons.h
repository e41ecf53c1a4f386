// The site icons: one 16 x 16 picture per host, kept as 822-byte BMP records
// one after the other in the strip file "ico", and the index file "icon"
// that maps hosts to record numbers (section "ico") and digests to records
// and back (section "md5"), so that identical pictures are stored once.
//
// Downloads run on one worker thread, one fetch at a time; a new fetch ends
// the one in progress. The worker only downloads, picks and renders the
// picture; its result comes back to the GUI thread, which alone reads and
// writes the index and the strip. A fetch that is ended therefore leaves
// nothing of its own but the "-1" its start wrote for its host.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "list/bookmark_list.h"
#include "platform/platform.h"
#include "store/bookmark_store.h"
#include "store/data_paths.h"
#include "text/filesystem.h"
#include "text/ini.h"

namespace lh::capture {

// What a fetch found, worked out off the GUI thread.
struct IconDownload {
  std::string record;    // the 822-byte record; empty when no picture was found
  bool refused = false;  // a request could not be made (no thread free): the site was not asked
};

// The downloads of one fetch: the page over its own scheme, then the icons
// it declares as a browser ranks them, its "/favicon.ico" and a touch icon,
// until one gives a picture (capture/icon_links.h). Plain GETs, each within
// the same limits. Runs on the worker: it touches nothing but the network
// and returns early once `cancel` is up.
IconDownload downloadIcon(platform::Http& http, const std::string& address, const platform::CancelFlag& cancel);

// Hosts whose value names no picture (never fetched, "-1", the default
// records, or a number past the strip) are tried again in the background:
// once kRetryDelayMs after a start, and then at most once every kRetryDays
// (the day of the last sweep that ran to its end is kept in the settings
// file). The sweep yields to every other fetch.
inline constexpr int kRetryDays = 30;
inline constexpr int kRetryDelayMs = 15000;
inline constexpr std::string_view kRetrySection = "图标";
inline constexpr std::string_view kRetryDayKey = "重试";

class IconCache {
 public:
  struct Hooks {
    // The bookmark rows on screen show their icons again.
    std::function<void()> refreshRows;
    // A fetch started directly (not from the queue) found this picture for
    // the bookmark: the edit panel's icon box shows it.
    std::function<void(store::EntryId, const list::Pic&)> showInPanel;
  };

  IconCache(platform::Platform& platform, text::FileSystem& fs, const store::DataPaths& paths,
            const store::BookmarkStore& store, std::string defaultIconBytes, list::Pic defaultIcon, Hooks hooks);
  ~IconCache();

  // Reads the strip into memory (whole records only) and makes sure the
  // file exists; a strip that cannot be read is left alone, and while it
  // or the index cannot be read, or the strip cannot be set right, nothing
  // is fetched. A strip with fewer than two records gets the default
  // picture as records 1 and 2, which the digest rule never shares, so that
  // the first fetched picture is record 3.
  void loadStrip();

  // The host's value in section "ico": a record number, -1 (fetching, or
  // nothing found), 0 when missing.
  int iconIndexOf(const std::string& host);
  // The picture rows show for an address: its host's record, or the
  // default site icon.
  list::Pic iconPictureOf(const std::string& address);
  // The record bytes behind iconPictureOf (empty for the default icon).
  std::string recordOf(const std::string& address);

  // Ends the fetch in progress and fetches the bookmark's icon; the panel's
  // icon box shows what is found.
  void startIconFetch(store::EntryId id);
  // A bookmark was just added: fetches when its host has no key yet.
  void iconForNewBookmark(store::EntryId id);
  // The edit panel's icon box was clicked: fetch (again), or download the
  // host's picture anew and replace its record in place.
  void panelIconClick(store::EntryId id);
  // The import's queue: fetched one at a time by 时钟10.
  void queueIconFetches(std::vector<store::EntryId> ids);
  // After the load: plans the sweep of hosts without a picture when the
  // last one is kRetryDays old or more (or never ran).
  void planRetry();
  // Every entry id changed (an import renumbered the store): a sweep under
  // way gathers its bookmarks again.
  void idsChanged();
  std::size_t retriesLeft() const { return retry_.size(); }
  bool sweeping() const { return sweepBegun_; }

  const std::vector<std::string>& records() const { return records_; }
  std::size_t queued() const { return queue_.size(); }
  bool fetching() const { return worker_->busy(); }
  platform::Platform::TimerId queueTimer() const { return 时钟10_; }

 private:
  enum class Purpose { Panel, Queue, InPlace, Retry };
  void fetchIcon(store::EntryId id, Purpose purpose);
  void finishFetch(store::EntryId id, const std::string& host, Purpose purpose, const IconDownload& found);
  void storeRecord(const std::string& host, const std::string& record);
  void replaceRecord(const std::string& host, const std::string& record);
  void queueTick();
  void retryTick();
  void startRetry();
  // True when the host's value names a picture of the strip.
  bool hasPicture(const std::string& host);
  void setHostValue(const std::string& host, int value);
  // The host unrecorded, as if never fetched.
  void forgetHost(const std::string& host);
  list::Pic pictureOfRecord(int n);

  platform::Platform& platform_;
  text::FileSystem& fs_;
  store::DataPaths paths_;
  const store::BookmarkStore& store_;
  std::string defaultBytes_;  // DefaultSiteIcon, the picture of records 1 and 2 of a new strip
  list::Pic default_;
  Hooks hooks_;
  text::CachedIniFile index_;
  std::vector<std::string> records_;
  // The icon files are left as they are this session: the strip or the
  // index is there but could not be read, or the strip could not be set
  // right.
  bool readOnly_ = false;
  std::map<int, list::Pic> pictures_;                // decoded records
  std::unordered_map<std::string, int> hostValues_;  // upper-case host -> value, as read
  std::deque<store::EntryId> queue_;                 // IconQueue
  platform::Platform::TimerId 时钟10_ = 0;
  // The sweep: one bookmark per host to try again, the timer that paces it,
  // and the bookmark of the sweep's fetch in progress (0 when none).
  std::deque<store::EntryId> retry_;
  platform::Platform::TimerId retryTimer_ = 0;
  bool sweepBegun_ = false;
  store::EntryId retrying_ = 0;
  // Hosts the sweep has asked this session (upper case): gathering again
  // after an import leaves them out, so that each is tried once.
  std::unordered_set<std::string> retried_;
  // A fetch of the sweep found no free thread: its host was not asked, so
  // the sweep is not recorded as done and the next start runs it again.
  bool sweepCutShort_ = false;
  std::unique_ptr<platform::Worker> worker_;  // iconWorker
};

}  // namespace lh::capture
