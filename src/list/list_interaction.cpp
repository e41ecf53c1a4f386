#include "list/list_interaction.h"

#include <cmath>

#include "list/launch.h"

namespace lh::list {

ListInteraction::ListInteraction(BookmarkList& list, canvas::AnimationBox& box, store::BookmarkStore& store,
                                 platform::Platform& platform, Hooks hooks)
    : list_(list), box_(box), store_(store), platform_(platform), hooks_(std::move(hooks)) {
  highlightTimer_ = platform_.createTimer([this] { highlightTick(); });
  auto& e = box_.events;
  // The list's own handlers (scrolling) run first; ours are chained after.
  e.pointerMove = [this, before = e.pointerMove](int x, int y) {
    if (before) before(x, y);
    track(x, y);
  };
  e.objectLeftDown = [this, before = e.objectLeftDown](canvas::ObjectId o) {
    if (before) before(o);
    pressPending = true;
    gapDragDone = false;
    list_.computeSlotOrder();
    pressedRow = pointerRow + list_.firstRow;
    pressedPosition = pointerRow + (list_.topSlotHidden ? 1 : 0) + 1;
  };
  e.canvasPointerMove = [this, before = e.canvasPointerMove](int x, int y, canvas::ObjectId pressed) {
    if (before) before(x, y, pressed);
    if (pressed == list_.thumb() && pressed > 0) return;
    highlight();
  };
  e.objectLeftUp = [this, before = e.objectLeftUp](canvas::ObjectId released, canvas::ObjectId pressed) {
    if (before) before(released, pressed);
    click(released, pressed);
  };
}

void ListInteraction::track(int x, int y) {
  if (!hoverActivated) {
    if (hooks_.activateWindow) hooks_.activateWindow();
    hoverActivated = true;
  }
  pointerRow = y / 20;
  pointerX = x;
  pointerY = y;
  int r = pointerRow + list_.firstRow;
  pastEnd = r > list_.rowCount;
  if (pastEnd) r = list_.rowCount;
  targetEntry = r <= 0 ? -1 : list_.idAtRow(r);
}

void ListInteraction::highlight() {
  if (pointerRow == lastPointerRow) return;
  if (pressPending) {
    // Leaving the pressed row with the button down inserts a separator
    // (built with the separator rows); the press opens nothing then.
    pressPending = false;
    gapDragDone = true;
    return;
  }
  if (targetEntry != 0) {
    if (!(list_.currentCategory == -1 && list_.bookmarkCount == 0)) {
      int y1 = 20 * pointerRow;
      if (pastEnd) y1 = 20 * (list_.rowCount - list_.firstRow);
      const bool separator = targetEntry > 0 && store_.entry(targetEntry).isSeparator();
      const int tag = separator ? 2 : 1;
      if (box_.getTagNumber(list_.hoverHighlight()) != tag || !box_.hasPicture(list_.hoverHighlight())) {
        box_.setTagNumber(list_.hoverHighlight(), tag);
        box_.setPicture(list_.hoverHighlight(), separator ? list_.look().separatorBand : list_.look().hoverBand);
      }
      highlightFrom_ = box_.getTop(list_.hoverHighlight());
      highlightTarget_ = y1 - 3;
      highlightFrame_ = 0;
      platform_.setTimerPeriod(highlightTimer_, 10);
    }
  }
  lastPointerRow = pointerRow;
}

void ListInteraction::highlightTick() {
  ++highlightFrame_;
  int p = highlightTarget_;
  if (highlightFrame_ <= 10) {
    p = static_cast<int>(highlightFrom_ + (highlightTarget_ - highlightFrom_) *
                                              (1 - std::pow(2.0, -10.0 * highlightFrame_ / 10)));
  }
  box_.moveObject(list_.hoverHighlight(), 0, p);
  if (highlightFrame_ >= 11) {
    platform_.setTimerPeriod(highlightTimer_, 0);
    highlightFrame_ = 0;
  }
}

void ListInteraction::click(canvas::ObjectId, canvas::ObjectId pressed) {
  platform_.clipCursor(std::nullopt);
  if (pressed == list_.thumb() && pressed > 0) return;  // the thumb's drag ended
  if (gapDragDone) return;
  pressPending = false;
  if (targetEntry == 0 || targetEntry == -1) return;
  track(pointerX, pointerY);
  const store::Entry& e = store_.entry(targetEntry);
  if (e.isSeparator()) return;  // the separator's plus and minus come with separator rows
  if (pointerRow + list_.firstRow > list_.rowCount) return;
  if (pointerX > 59) {
    open(targetEntry);
  } else if (targetEntry >= 11) {
    if (e.isCategory()) {
      if (hooks_.showRenamePanel) hooks_.showRenamePanel(targetEntry);
    } else if (hooks_.openEditPanel) {
      hooks_.openEditPanel(targetEntry);
    }
  }
}

void ListInteraction::open(EntryId id) {
  if (list_.currentCategory == 9 || id == 0) return;
  const store::Entry& e = store_.entry(id);
  if (e.isSeparator()) return;
  store_.recordVisit(id, platform_.oleNow(), e.visitCount + 1);
  if (e.isCategory()) {
    // Categories open wherever they are shown, fixed entries included.
    list_.immediateScroll = true;
    if (hooks_.openCategory) hooks_.openCategory(id, (hooks_.barCount ? hooks_.barCount() : 0) + 1, true);
    list_.immediateScroll = false;
    return;
  }
  list_.placeRows(-list_.alignedOffset, true, true);
  const std::string path = hooks_.browserPath ? hooks_.browserPath() : std::string();
  platform_.launch(browserCommandLine(path, store_.entry(id).url));
}

}  // namespace lh::list
