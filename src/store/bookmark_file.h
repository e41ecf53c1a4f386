// The HTML bookmark file browsers write and read (the NETSCAPE-Bookmark-file-1
// form): writing the root's tree to one, and adding the folders and links of
// one under the root. Only bytes in and out: choosing the file, reading and
// writing it, showing the progress and fetching the new sites' icons are the
// caller's.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "store/bookmark_store.h"

namespace lh::store {

// Dates in the file are whole seconds after 1970-01-01 08:00:00 local time,
// whatever the computer's time zone: as an OLE date, 25569 + 8/24.
inline constexpr double kFileSecondsMoment = 25569.0 + 8.0 / 24.0;

// The seconds written for an OLE date: (date - moment) in seconds plus
// 1/172800 (so that a date a rounding error short of a whole second still
// gives that second), rounded down. A value that does not fit in a signed 32-bit
// number (the zero date of a bookmark never visited is about -2.2e9) is
// written as 0.
std::int32_t fileSecondsOf(double oleDate);

// The OLE date of a number of seconds read from a file, clamped to the
// store's range of dates.
double oleDateOfFileSeconds(long long seconds);

// The whole bookmark file for the root's tree, in GBK with CR LF line ends:
// a folder line, a list of its members and the list's end for each category,
// a link line for each bookmark and each separator (which has neither address
// nor title), members in list order at any depth. Entries that are not there
// or destroyed are left out; a category reached a second time (a damaged store
// listing one inside itself) is written only the first time.
std::string exportBookmarkFile(const BookmarkStore& store);

struct ImportCounts {
  int folders = 0;     // categories created
  int links = 0;       // bookmarks created
  int duplicates = 0;  // links skipped because their address was already there
  // The store file was written with them (the import writes no log
  // records: without it, they would be gone at the next start).
  bool saved = false;
};

// Adds the folders and links of a bookmark file to the store under the root:
// each folder first in its parent's list (so sub-folders come out in the
// reverse of the file's order), each link last in its parent's list, a link
// whose address a bookmark of the store (or an earlier link of the file)
// already has skipped. The file may be GBK, or UTF-8 (told by a byte-order
// mark or the browsers' charset line). Ends by writing the store file
// (saveAll), or, when that fails, by loading the store again from its files
// (the import gone); the caller compacts the store before and redraws after.
// `progress` hears the percentage of lines read, each time it changes; it
// must not change the store (the import holds its categories' entries). A
// store that is loading or read-only, or has no root, is left alone.
[[nodiscard]] ImportCounts importBookmarkFile(BookmarkStore& store, std::string_view bytes,
                                const std::function<void(int percent)>& progress = {});

}  // namespace lh::store
