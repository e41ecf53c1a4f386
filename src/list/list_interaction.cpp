#include "list/list_interaction.h"

#include <algorithm>
#include <cmath>

#include "list/launch.h"

namespace lh::list {

namespace {

// The bounce ease-out from `a` by `c` at t in 0..1.
int bounce(double t, double a, double c) {
  double v;
  if (t < 1 / 2.75) {
    v = 7.5625 * t * t;
  } else if (t < 2 / 2.75) {
    const double u = t - 1.5 / 2.75;
    v = 7.5625 * u * u + 0.75;
  } else if (t < 2.5 / 2.75) {
    const double u = t - 2.25 / 2.75;
    v = 7.5625 * u * u + 0.9375;
  } else {
    const double u = t - 2.625 / 2.75;
    v = 7.5625 * u * u + 0.984375;
  }
  return static_cast<int>(a + c * v);
}

}  // namespace

ListInteraction::ListInteraction(BookmarkList& list, canvas::AnimationBox& box, store::BookmarkStore& store,
                                 platform::Platform& platform, Hooks hooks)
    : list_(list),
      box_(box),
      store_(store),
      platform_(platform),
      hooks_(std::move(hooks)),
      highlight_(platform),
      gap_(platform),
      bounce_(platform),
      deletion_(list, box, store, platform, [this] {
        RowDeletion::Hooks h = hooks_.deletion;
        h.stopRowAnimation = [this] { bounce_.cancel(); };
        return h;
      }()) {
  list_.onThumbScroll = [this] { gap_.cancel(); };
  list_.onSmoothScroll = [this] { bounce_.cancel(); };
  // The list's own handlers (scrolling) were added first and run first.
  auto& e = box_.listen();
  e.pointerMove = [this](int x, int y) {
    skipMove_ = keyboardHighlight_ && x == pointerX && y == pointerY;
    if (skipMove_) return;
    keyboardHighlight_ = false;
    pointerInside_ = true;
    track(x, y);
    if (hooks_.pointerMoved) hooks_.pointerMoved();
  };
  e.pointerDown = [this](canvas::Button b, int x, int y) {
    // A press is where the click happens, moved to or not (the pointer may
    // rest where a slide or the previous click left it).
    track(x, y);
    (void)b;
  };
  e.objectRightDown = [this](canvas::ObjectId) {
    deletion_.press(pointerRow);
    lastPointerRow = pointerRow;
  };
  e.objectRightUp = [this](canvas::ObjectId) {
    deletion_.release(pointerRow);
    // The rows may have gone from under the pointer: the highlight heads
    // for what is there now, or (when nothing was deleted) the band comes
    // back. A deletion puts the bin window in restore mode, and the
    // window, the line and the badge stand at the pointed row at once.
    track(pointerX, pointerY);
    highlightPointedRow();
    if (inRestoreMode()) highlight_.finish();
  };
  e.objectLeftDown = [this](canvas::ObjectId pressed) {
    // The thumb's drag is no press on a row: its release clicks nothing, so
    // nothing would end the press (the next row the pointer entered would
    // get a separator, and the keys would wait for a release).
    if (pressed == list_.thumb() && pressed > 0) return;
    pressPending = true;
    gapDragDone = false;
    list_.computeSlotOrder();
    pressedRow = pointerRow + list_.firstRow;
    pressedPosition = pointerRow + (list_.topSlotHidden ? 1 : 0) + 1;
  };
  e.canvasPointerMove = [this](int, int, canvas::ObjectId pressed) {
    if (pressed == list_.thumb() && pressed > 0) return;
    if (skipMove_) return;
    highlight();
  };
  e.objectLeftUp = [this](canvas::ObjectId released, canvas::ObjectId pressed) { click(released, pressed); };
  // A press whose release will not come neither inserts a separator when
  // the pointer moves on nor clicks.
  e.pressCancelled = [this](canvas::ObjectId) {
    pressPending = false;
    deletion_.cancel();
  };
  e.pointerLeave = [this] { pointerLeft(); };
}

void ListInteraction::cancelAnimations() {
  highlight_.cancel();
  gap_.cancel();
  bounce_.cancel();
  deletion_.cancelGap();
}

void ListInteraction::finishRowAnimations() {
  bounce_.finish();
  deletion_.finishGap();
}

void ListInteraction::highlightPointedRow() {
  if (!pointerInside_ && !keyboardHighlight_) return;
  lastPointerRow = -1;
  highlight();
}

bool ListInteraction::keyboardRow(int r) const {
  if (r < 1 || r > list_.rowCount) return false;
  const EntryId id = list_.idAtRow(r);
  if (id <= 0 || !store_.valid(id)) return false;
  return !store_.entry(id).isSeparator();
}

int ListInteraction::keyboardRowFrom(int r, int direction) const {
  for (; r >= 1 && r <= list_.rowCount; r += direction) {
    if (keyboardRow(r)) return r;
  }
  return 0;
}

int ListInteraction::bandRow() const {
  const canvas::ObjectId h = list_.hoverHighlight();
  // In restore mode the band is invisible and the badge shows the row.
  if (!inRestoreMode() && (box_.getTagNumber(h) == 0 || !box_.hasPicture(h))) return 0;  // cleared by a scroll
  if (box_.getTop(h) <= -20 && !highlight_.running()) return 0;                           // hidden
  const int r = list_.firstRow + aimedRow_;
  return r >= 1 && r <= list_.rowCount ? r : 0;
}

int ListInteraction::highlightedRow() const {
  const int r = bandRow();
  return keyboardRow(r) ? r : 0;
}

bool ListInteraction::moveHighlight(KeyStep step) {
  if (deletion_.selecting() || pressPending || list_.rowCount <= 0) return false;
  if (list_.currentCategory == -1 && list_.bookmarkCount == 0) return false;
  const int current = highlightedRow();
  // The pointer's band on a separator: the keys go on from there.
  // Nothing highlighted (the wheel or a new list cleared it): from the
  // first row in view (the last above it when none is in view); Up and
  // Down stop there.
  // (Row 0 of the view lies under the top fade: the first row in view is
  // the one below it.)
  const int band = bandRow();
  int from = band;
  if (from == 0) from = keyboardRowFrom(list_.firstRow + list_.firstClearRow(), 1);
  if (from == 0) from = keyboardRowFrom(list_.firstRow, -1);
  if (from == 0) return false;
  // A page turns so that the row at one edge of the clear part comes to
  // the other.
  const int page = std::max(1, list_.clearRowsInView() - 1);
  int target = 0;
  if (band == 0 && (step == KeyStep::Up || step == KeyStep::Down)) {
    target = from;
  } else {
    switch (step) {
      case KeyStep::Down: target = keyboardRowFrom(from + 1, 1); break;
      case KeyStep::Up: target = keyboardRowFrom(from - 1, -1); break;
      case KeyStep::PageDown:
        target = keyboardRowFrom(std::min(from + page, list_.rowCount), 1);
        if (target == 0) target = keyboardRowFrom(list_.rowCount, -1);
        break;
      case KeyStep::PageUp:
        target = keyboardRowFrom(std::max(from - page, 1), -1);
        if (target == 0) target = keyboardRowFrom(1, 1);
        break;
      case KeyStep::Home: target = keyboardRowFrom(1, 1); break;
      case KeyStep::End: target = keyboardRowFrom(list_.rowCount, -1); break;
    }
  }
  if (target == 0 || target == current) return false;
  // The rows that open nothing just above the target (the lead row, a
  // group's spacer and heading) come into view with it.
  int top = target;
  while (top > 1 && top > target - 2 && !keyboardRow(top - 1)) --top;
  list_.bringRowIntoView(top);
  list_.bringRowIntoView(target);
  pointerRow = target - list_.firstRow;
  targetEntry = list_.idAtRow(target);
  pastEnd = false;
  lastPointerRow = -1;
  keyboardHighlight_ = true;
  highlight();
  if (hooks_.keyboardMoved) hooks_.keyboardMoved(target);
  return true;
}

bool ListInteraction::openHighlighted() {
  if (deletion_.selecting() || pressPending) return false;
  const int r = highlightedRow();
  if (r == 0) return false;
  open(list_.idAtRow(r));
  return true;
}

void ListInteraction::pointerLeft() {
  // Nothing is under the pointer any more: no highlight, and the next entry
  // highlights its row again.
  highlight_.cancel();
  list_.hideHoverHighlight();
  lastPointerRow = -1;
  pressPending = false;
  pointerInside_ = false;
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

int ListInteraction::highlightTarget(bool restoreMode) const {
  int y1 = 20 * pointerRow;
  if (pastEnd) y1 = 20 * (list_.rowCount - list_.firstRow) + (restoreMode ? 20 : 0);
  return restoreMode ? y1 : y1 - 3;
}

void ListInteraction::aimHighlight() {
  const bool restore = inRestoreMode();
  // In restore mode from where the badge (and with it the bin window)
  // stands: the invisible band may be parked far above.
  highlightFrom_ = box_.getTop(restore ? list_.insertBadge() : list_.hoverHighlight());
  highlightTarget_ = highlightTarget(restore);
  aimedRow_ = pastEnd ? list_.rowCount - list_.firstRow + (restore ? 1 : 0) : pointerRow;
  highlight_.start(11, [this](int f) { highlightStep(f); });
}

void ListInteraction::highlight() {
  if (pointerRow == lastPointerRow) return;
  // The restore's approach and fly-in place the bin window and the rows
  // themselves; the highlight follows once they are done.
  if (hooks_.restoring && hooks_.restoring()) return;
  if (deletion_.selecting()) {
    // The range is marked instead; the (invisible) highlight still heads
    // for the row, and restore mode follows it.
    deletion_.mark(pointerRow);
    aimHighlight();
    lastPointerRow = pointerRow;
    return;
  }
  if (pressPending) {
    // Leaving the pressed row with the button down inserts a separator.
    pressPending = false;
    gapDragDone = true;
    insertSeparator();
    return;
  }
  if (targetEntry != 0 && !(list_.currentCategory == -1 && list_.bookmarkCount == 0)) {
    // Restore mode keeps the band invisible: the line and the badge show
    // the row.
    if (!inRestoreMode()) {
      const bool separator = targetEntry > 0 && store_.valid(targetEntry) && store_.entry(targetEntry).isSeparator();
      const int tag = separator ? 2 : 1;
      if (box_.getTagNumber(list_.hoverHighlight()) != tag || !box_.hasPicture(list_.hoverHighlight())) {
        box_.setTagNumber(list_.hoverHighlight(), tag);
        box_.setPicture(list_.hoverHighlight(), separator ? list_.look().separatorBand : list_.look().hoverBand);
      }
    }
    aimHighlight();
  }
  lastPointerRow = pointerRow;
}

void ListInteraction::highlightStep(int f) {
  int p = highlightTarget_;
  if (f <= 10) {
    p = static_cast<int>(highlightFrom_ + (highlightTarget_ - highlightFrom_) * (1 - std::pow(2.0, -10.0 * f / 10)));
  }
  box_.moveObject(list_.hoverHighlight(), 0, p);
  if (hooks_.highlightFrame) hooks_.highlightFrame(p);
}

void ListInteraction::click(canvas::ObjectId released, canvas::ObjectId pressed) {
  platform_.clipCursor(std::nullopt);
  if (pressed == list_.thumb() && pressed > 0) return;  // the thumb's drag ended
  if (gapDragDone) return;
  pressPending = false;
  // The release that ends a double click is no second click: the first one
  // already opened the row (and a category's list now stands under it).
  if (box_.releaseEndsDoubleClick()) return;
  if (released == list_.insertBadge() && released > 0 && inRestoreMode()) {
    if (list_.currentCategory != -1 && hooks_.restoreAll) hooks_.restoreAll();
    return;
  }
  if (targetEntry == 0 || targetEntry == -1) return;
  track(pointerX, pointerY);
  const store::Entry& e = store_.entry(targetEntry);
  if (e.isSeparator()) {
    if (pointerX >= 176 && pointerX <= 319) {
      removeSeparator(targetEntry);
    } else if (pointerX >= 37 && pointerX <= 174) {
      insertSeparatorBefore(list_.idAtRow(pressedRow));  // another one, before the pressed row
    }
    return;
  }
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

void ListInteraction::insertSeparator() {
  // Category mode only, inside the card, before an entry that is neither the
  // lead row nor past the end nor a separator itself.
  if (list_.currentCategory < 1 || pointerX < 25 || pointerX > 320) return;
  if (pressedRow <= 1 || pressedRow > list_.rowCount) return;
  const EntryId m = list_.idAtRow(pressedRow);
  if (m == 0 || store_.entry(m).isSeparator()) return;
  insertSeparatorBefore(m);
}

void ListInteraction::insertSeparatorBefore(EntryId m) {
  if (list_.currentCategory < 1 || m == 0) return;
  store_.addSeparator(list_.currentCategory, m);
  list_.showCategory(list_.currentCategory, list_.firstRow);
  if (hooks_.separatorSound) hooks_.separatorSound();
  // The rows from the pressed one down start 20 pixels higher and spring
  // into place.
  gapPosition_ = pressedPosition;
  gap_.start(35, [this](int f) { gapStep(f); });
}

void ListInteraction::gapStep(int f) {
  const double t = f / 35.0;
  constexpr double kPi = 3.14159265358979323846;
  const int d = static_cast<int>(20 * std::pow(2.0, -10 * t) * std::sin((t - 0.075) * 2 * kPi / 0.3));
  list_.offsetRows(gapPosition_, d);
}

void ListInteraction::removeSeparator(EntryId s) {
  if (list_.currentCategory < 1) return;
  const int row = list_.firstRow + pointerRow;
  if (row < 1 || row > list_.rowCount || list_.idAtRow(row) != s) return;
  store_.purgeEntry(list_.currentCategory, s);
  // The list drops the row itself instead of reloading.
  list_.memberRows.erase(list_.memberRows.begin() + (row - 1));
  --list_.rowCount;
  list_.computeSlotOrder();
  int p = pointerRow + (list_.topSlotHidden ? 1 : 0) + 1;
  if (p == 2) {
    p = 1;
  } else {
    const int above = std::min(list_.firstRow + p - 2, list_.rowCount);
    const EntryId a = list_.idAtRow(above);
    if (a != 0 && store_.entry(a).isSeparator()) --p;
  }
  list_.showFrom(list_.firstRow, false);
  list_.offsetRows(p, 20);
  const int under = list_.firstRow + pointerRow;
  const bool separatorUnder = under <= list_.rowCount && list_.idAtRow(under) != 0 &&
                              store_.entry(list_.idAtRow(under)).isSeparator();
  if (!separatorUnder && !inRestoreMode()) {
    if (under > list_.rowCount) {
      box_.setTagNumber(list_.hoverHighlight(), 0);
      box_.clearPicture(list_.hoverHighlight());
    } else {
      box_.setTagNumber(list_.hoverHighlight(), 1);
      box_.setPicture(list_.hoverHighlight(), list_.look().hoverBand);
    }
  }
  if (hooks_.removalSound) hooks_.removalSound();
  bouncePosition_ = p;
  bounce_.start(30, [this](int f) { list_.offsetRows(bouncePosition_, bounce(f / 30.0, 20, -20)); });
}


void ListInteraction::open(EntryId id) {
  if (list_.currentCategory == 9 || id == 0 || !store_.valid(id)) return;
  const store::Entry& e = store_.entry(id);
  if (e.isSeparator()) return;
  // An address the browser would read as a switch of its own is never
  // passed: nothing starts and no visit is counted.
  if (e.isBookmark() && !launchableAddress(e.url)) return;
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
