// Deleting rows with the right button: pressed on a row, dragged over the
// rows to delete (their titles and icons fade to 60 % while selected),
// released. The rows' entries go to the recycle bin (one moveEntries
// record); in a category the rows below close the gap, in a flat view the
// deleted rows stay, drawn light grey. A copy of the rows flies into the
// bin window (the recycle-bin room does the windows).
#pragma once

#include <functional>
#include <string>

#include "list/bookmark_list.h"
#include "ui/animation.h"

namespace lh::list {

class RowDeletion {
 public:
  struct Hooks {
    // BinShown from the press on.
    std::function<void()> binInUse;
    // The side list filled with the deleted items and shown.
    std::function<void(const std::string& items)> fillSideList;
    // The bin window filled and shown (restore mode when it was hidden).
    std::function<void()> showBin;
    // The side list's flight from the range's top visible row.
    std::function<void(int rangeTopRow)> flySideList;
    // Stops the list's other row animation (the separator's bounce).
    std::function<void()> stopRowAnimation;
    // The category shown lost its last member: restore mode's line and
    // badge go to the top of the empty list.
    std::function<void()> categoryEmptied;
  };

  RowDeletion(BookmarkList& list, canvas::AnimationBox& box, store::BookmarkStore& store,
              platform::Platform& platform, Hooks hooks);

  bool selecting() const { return selecting_; }
  // The right button went down with the pointer on visible row `pointerRow`.
  void press(int pointerRow);
  // The pointer's row changed while selecting.
  void mark(int pointerRow);
  // The right button came up on visible row `pointerRow` (the bin window
  // is placed at the pointed row by the highlight, as restore mode has it).
  void release(int pointerRow);
  // The press's release will not come (long work began, the window lost
  // the pointer): the selection ends without deleting.
  void cancel();
  // The gap closing to its last frame, or stopped where it is.
  void finishGap() { gap_.finish(); }
  void cancelGap() { gap_.cancel(); }
  bool closingGap() const { return gap_.running(); }

  int rangeStart = 0, rangeEnd = 0, rangeTopRow = 0, deleteCount = 0;

 private:
  // The 60 % fade of the slots showing rows a..b (0, 0: none).
  void fade(int a, int b);
  bool deleteInFlatView(int n);
  bool deleteInCategory(int n);

  BookmarkList& list_;
  canvas::AnimationBox& box_;
  store::BookmarkStore& store_;
  platform::Platform& platform_;
  Hooks hooks_;
  bool selecting_ = false;
  ui::Animation gap_;  // 时钟15
  int gapPosition_ = 0;
};

}  // namespace lh::list
