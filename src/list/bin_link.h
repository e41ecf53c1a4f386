// The two sides of restore mode: the recycle bin's window puts its entries
// back where the list's pointer is, and the list's pointer handling asks the
// window what it shows. Each side sees the other only through these.
#pragma once

#include <optional>
#include <string>

#include "store/entry.h"

namespace lh::list {

using store::EntryId;

// Where the pointer is on the list.
struct PointedRow {
  int visibleRow = 0;     // 0-based from the canvas's top
  bool pastEnd = false;   // below the last row
  // The entry in that row; none for the lead row, a spacer, a heading, or
  // a list without rows.
  std::optional<EntryId> entry;
};

// What the recycle bin's room asks of the list's pointer handling.
class PointerOnList {
 public:
  virtual ~PointerOnList() = default;
  virtual PointedRow pointed() const = 0;
  // The row animations (the bounce, the deletion's gap) to their last frame.
  virtual void finishRowAnimations() = 0;
  // The hover highlight heads for the pointed row again (restore mode began
  // or ended).
  virtual void highlightPointedRow() = 0;
};

// What the list's pointer handling asks of the recycle bin's room.
class RecycleBinLink {
 public:
  virtual ~RecycleBinLink() = default;
  // The list shows where the bin's entries would go back (the insertion
  // line and the 点击插入 badge).
  virtual bool restoreMode() const = 0;
  // The restore's approach and fly-in run: the hover highlight waits.
  virtual bool restoring() const = 0;
  // 点击插入: everything back before the pointed row, or at the end.
  virtual void restoreAll() = 0;
  // A frame of the hover highlight at row position y: restore mode follows.
  virtual void highlightMoved(int y) = 0;
  // A right press on the list puts the bin window in use.
  virtual void deletionStarted() = 0;
  // The right press ended deleting nothing (the lead row alone, a store
  // that took no change, a cancelled press): a bin window not shown is out
  // of use again.
  virtual void nothingDeleted() = 0;
  // Entries went into the bin ("15u3u"): they fly from the range's top
  // visible row into the bin window, which shows them.
  virtual void rowsDeleted(const std::string& items, int rangeTopRow) = 0;
  // The category shown lost its last member.
  virtual void categoryEmptied() = 0;
};

}  // namespace lh::list
