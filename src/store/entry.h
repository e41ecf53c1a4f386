// The one record type of the store: a category, a bookmark or a separator.
#pragma once

#include <cstdint>
#include <string>

#include "store/entry_text.h"

namespace lh::store {

using EntryId = std::int32_t;

enum EntryKind : std::int32_t { kCategory = 0, kBookmark = 1, kSeparator = -2 };

// Fixed entries: 1 is the root category, 2 the recycle bin; 1..10 are slots
// that are never renamed or edited and that compaction keeps in place.
inline constexpr EntryId kRootCategory = 1;
inline constexpr EntryId kRecycleBin = 2;
inline constexpr EntryId kLastFixedEntry = 10;
// Two fixed categories with rules of their own: the rows shown in entry 7
// take no restored entries, and those shown in entry 9 open nothing.
inline constexpr EntryId kNoRestoreCategory = 7;
inline constexpr EntryId kNoLaunchCategory = 9;

struct Entry {
  // Stored fields, in file order.
  EntryText title;
  EntryText url;  // a bookmark's address; a category's member list ("u3u15u")
  EntryText note;
  std::int32_t parentId = 0;
  std::int32_t scrollRow = 0;
  std::int32_t visitCount = 0;
  std::int32_t kind = kCategory;
  std::int32_t reservedA = 0;
  std::int32_t reservedB = 0;
  bool deleted = false;
  double lastVisit = 0.0;
  double added = 0.0;

  // In memory only.
  std::int32_t dimmed = 0;
  EntryText titleKey;    // titleKeyOf(title)
  EntryText domain;      // bookmarks: registrableDomain(hostOf(url))
  EntryText groupLabel;  // heading of the entry's group in the visit-count view

  const EntryText& members() const { return url; }
  // Assign to it, or change it in place through members().edit().
  EntryText& members() { return url; }
  bool isCategory() const { return kind == kCategory; }
  bool isBookmark() const { return kind == kBookmark; }
  bool isSeparator() const { return kind == kSeparator; }
};

}  // namespace lh::store
