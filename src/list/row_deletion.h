// Deleting rows with the right button: pressed on a row, dragged over the
// rows to delete (their titles and icons fade to 60 % while selected),
// released. The rows' entries go to the recycle bin (one moveEntries
// record); in a category the rows below close the gap, in a flat view the
// deleted rows stay, drawn light grey. The list's pointer handling tells the
// recycle bin's room what went (its window and the rows' flight are
// there).
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "list/bookmark_list.h"
#include "ui/animation.h"

namespace lh::list {

class RowDeletion {
 public:
  // What a release deleted.
  struct Deleted {
    std::string items;      // the entries moved to the bin, "15u3u"
    int rangeTopRow = 0;    // the visible row (0-based) of the range's top
    bool emptiedCategory = false;  // the category shown has no member left
  };

  // `stopOtherRowAnimation` stops the list's other row animation (the
  // separator's bounce) before the rows move.
  RowDeletion(BookmarkList& list, canvas::AnimationBox& box, store::BookmarkStore& store,
              platform::Platform& platform, std::function<void()> stopOtherRowAnimation);

  bool selecting() const { return selecting_; }
  // The right button went down with the pointer on visible row `pointerRow`.
  void press(int pointerRow);
  // The pointer's row changed while selecting.
  void mark(int pointerRow);
  // The right button came up on visible row `pointerRow`; what it deleted,
  // if anything.
  std::optional<Deleted> release(int pointerRow);
  // The press's release will not come (long work began, the window lost
  // the pointer): the selection ends without deleting.
  void cancel();
  // The gap closing to its last frame, or stopped where it is.
  void finishGap() { gap_.finish(); }
  void cancelGap() { gap_.cancel(); }
  bool closingGap() const { return gap_.running(); }

 private:
  // The 60 % fade of the slots showing rows a..b (0, 0: none).
  void fade(int a, int b);
  std::optional<Deleted> deleteInFlatView(int n);
  std::optional<Deleted> deleteInCategory(int n);

  BookmarkList& list_;
  canvas::AnimationBox& box_;
  store::BookmarkStore& store_;
  platform::Platform& platform_;
  std::function<void()> stopOtherRowAnimation_;
  bool selecting_ = false;
  ui::Animation gap_;  // 时钟15
  int gapPosition_ = 0;
  // RangeStart, RangeEnd (rows, 1-based) and RangeTopRow (visible, 0-based).
  int rangeStart_ = 0, rangeEnd_ = 0, rangeTopRow_ = 0;
};

}  // namespace lh::list
