// Which rows the bookmark list shows: a category's members, or a flat view
// of bookmarks sorted and grouped by one of four keys; and the geometry of
// the ring of row slots.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "list/list_text.h"
#include "store/bookmark_store.h"
#include "ui/layout.h"

namespace lh::list {

using layout::kRowHeight;
using store::EntryId;

// A category's rows: the empty lead row (0), then one row per member that
// is there (a token naming no entry, a vacant slot or an id past the end of
// a store cut short shows no row).
std::vector<EntryId> memberRows(const store::BookmarkStore& s, EntryId category);

// The bookmark members of a category's rows, in member order (what a
// sorted view shows when chosen from a category).
std::vector<EntryId> bookmarkMembers(const store::BookmarkStore& s, const std::vector<EntryId>& rows);

// Sorts `ids` by the view's key: last visit, date added or visit count
// newest/highest first, domain ascending by unsigned bytes. Equal keys come
// in no particular order. O(n log n) in every case; `pump` (if any) runs
// every few thousand comparisons so that window messages get through.
void sortForView(const store::BookmarkStore& s, std::vector<EntryId>& ids, View view,
                 const std::function<void()>& pump = {});

// The group label of a bookmark in a view at `now`; for the visit-count view
// `counter` counts the label computations of one build ("常用" while it is
// at most 16, then "访问次数 N"; "没访问过" for bookmarks never visited).
std::string groupLabel(const store::Entry& e, View view, double now, int& counter);

// The rows of a flat view: the sorted ids with a spacer and a heading row
// (two 0 entries) in front of every group. The visit-count view stores each
// bookmark's label in its `groupLabel`.
std::vector<EntryId> displayRows(store::BookmarkStore& s, const std::vector<EntryId>& sorted, View view, double now);

// Geometry of the ring of row slots for a list height.
struct SlotGeometry {
  int slotCount = 0;  // floor(height / 20) + 2
  int wrapExtra = 0;  // 20 - height mod 20
};
SlotGeometry slotGeometry(int listHeight);

// The y of slot k (1-based) for a scroll offset (<= 0): in [-20, 20 * count - 20).
int slotY(int k, int offset, int slotCount);
// The row shown by a slot at y for an offset.
inline int rowAt(int y, int offset) { return (y - offset) / kRowHeight + 1; }

// Thumb <-> offset. R is the scrollable distance, T the thumb's travel.
struct ScrollGeometry {
  int travel = 0;      // listHeight - 90
  int scrollable = 0;  // 20 * rowCount - listHeight + 20 * slotCount - 220
};
ScrollGeometry scrollGeometry(int listHeight, int rowCount);
int thumbTopFor(int scrollOffset, const ScrollGeometry& g);
int offsetForThumb(int thumbTop, const ScrollGeometry& g);

}  // namespace lh::list
