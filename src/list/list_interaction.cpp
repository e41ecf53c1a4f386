#include "list/list_interaction.h"

#include <algorithm>
#include <cmath>

#include "list/launch.h"
#include "ui/easing.h"

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
      deletion_(list, box, store, platform, [this] { bounce_.cancel(); }) {
  list_.setScrollListeners([this] { gap_.cancel(); }, [this] { bounce_.cancel(); });
  // The list's own handlers (scrolling) were added first and run first.
  auto& e = box_.listen();
  e.pointerMove = [this](int x, int y) {
    skipMove_ = keyboardHighlight_ && x == pointerX_ && y == pointerY_;
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
    if (bin_) bin_->deletionStarted();
    deletion_.press(pointerRow_);
    lastPointerRow_ = pointerRow_;
  };
  e.objectRightUp = [this](canvas::ObjectId) {
    const bool pressed = deletion_.selecting();
    const auto deleted = deletion_.release(pointerRow_);
    if (pressed && !deleted && bin_) bin_->nothingDeleted();
    if (deleted && bin_) {
      bin_->rowsDeleted(deleted->items, deleted->rangeTopRow);
      if (deleted->emptiedCategory) {
        // The highlight heading for a row that is gone would take the badge
        // along: it stops, and the badge waits at the top of the empty list.
        highlight_.cancel();
        bin_->categoryEmptied();
      }
    }
    // The rows may have gone from under the pointer: the highlight heads
    // for what is there now, or (when nothing was deleted) the band comes
    // back. A deletion puts the bin window in restore mode, and the
    // window, the line and the badge stand at the pointed row at once.
    track(pointerX_, pointerY_);
    highlightPointedRow();
    if (inRestoreMode()) highlight_.finish();
  };
  e.objectLeftDown = [this](canvas::ObjectId pressed) {
    // The thumb's drag is no press on a row: its release clicks nothing, so
    // nothing would end the press (the next row the pointer entered would
    // get a separator, and the keys would wait for a release).
    if (pressed == list_.thumb() && pressed > 0) return;
    pressPending_ = true;
    gapDragDone_ = false;
    list_.computeSlotOrder();
    pressedRow_ = pointerRow_ + list_.firstRow();
    pressedPosition_ = list_.slotPositionOfVisibleRow(pointerRow_);
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
    pressPending_ = false;
    if (deletion_.selecting() && bin_) bin_->nothingDeleted();
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

PointedRow ListInteraction::pointed() const {
  return PointedRow{pointerRow_, pastEnd_, targetEntry_};
}

void ListInteraction::highlightPointedRow() {
  if (!pointerInside_ && !keyboardHighlight_) return;
  lastPointerRow_ = -1;
  highlight();
}

bool ListInteraction::keyboardRow(int r) const {
  if (r < 1 || r > list_.rowCount()) return false;
  const EntryId id = list_.idAtRow(r);
  if (id <= 0 || !store_.valid(id)) return false;
  return !store_.entry(id).isSeparator();
}

int ListInteraction::keyboardRowFrom(int r, int direction) const {
  for (; r >= 1 && r <= list_.rowCount(); r += direction) {
    if (keyboardRow(r)) return r;
  }
  return 0;
}

int ListInteraction::bandRow() const {
  const canvas::ObjectId h = list_.hoverHighlight();
  // In restore mode the band is invisible and the badge shows the row.
  if (!inRestoreMode() && (box_.getTagNumber(h) == 0 || !box_.hasPicture(h))) return 0;  // cleared by a scroll
  if (box_.getTop(h) <= -kRowHeight && !highlight_.running()) return 0;                   // hidden
  const int r = list_.firstRow() + aimedRow_;
  return r >= 1 && r <= list_.rowCount() ? r : 0;
}

int ListInteraction::highlightedRow() const {
  const int r = bandRow();
  return keyboardRow(r) ? r : 0;
}

bool ListInteraction::moveHighlight(KeyStep step) {
  if (deletion_.selecting() || pressPending_ || list_.rowCount() <= 0) return false;
  if (list_.inFlatView() && list_.empty()) return false;
  const int current = highlightedRow();
  // The pointer's band on a separator: the keys go on from there.
  // Nothing highlighted (the wheel or a new list cleared it): from the
  // first row in view (the last above it when none is in view); Up and
  // Down stop there.
  // (Row 0 of the view lies under the top fade: the first row in view is
  // the one below it.)
  const int band = bandRow();
  int from = band;
  if (from == 0) from = keyboardRowFrom(list_.firstRow() + list_.firstClearRow(), 1);
  if (from == 0) from = keyboardRowFrom(list_.firstRow(), -1);
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
        target = keyboardRowFrom(std::min(from + page, list_.rowCount()), 1);
        if (target == 0) target = keyboardRowFrom(list_.rowCount(), -1);
        break;
      case KeyStep::PageUp:
        target = keyboardRowFrom(std::max(from - page, 1), -1);
        if (target == 0) target = keyboardRowFrom(1, 1);
        break;
      case KeyStep::Home: target = keyboardRowFrom(1, 1); break;
      case KeyStep::End: target = keyboardRowFrom(list_.rowCount(), -1); break;
    }
  }
  if (target == 0 || target == current) return false;
  // The rows that open nothing just above the target (the lead row, a
  // group's spacer and heading) come into view with it.
  int top = target;
  while (top > 1 && top > target - 2 && !keyboardRow(top - 1)) --top;
  list_.bringRowIntoView(top);
  list_.bringRowIntoView(target);
  pointerRow_ = target - list_.firstRow();
  targetEntry_ = entryIn(target);
  pastEnd_ = false;
  lastPointerRow_ = -1;
  keyboardHighlight_ = true;
  highlight();
  if (hooks_.keyboardMoved) hooks_.keyboardMoved(target);
  return true;
}

bool ListInteraction::openHighlighted() {
  if (deletion_.selecting() || pressPending_) return false;
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
  lastPointerRow_ = -1;
  pressPending_ = false;
  pointerInside_ = false;
}

std::optional<EntryId> ListInteraction::entryIn(int r) const {
  const EntryId id = list_.idAtRow(r);
  return id > 0 ? std::optional<EntryId>(id) : std::nullopt;
}

void ListInteraction::track(int x, int y) {
  if (!hoverActivated_) {
    if (hooks_.activateWindow) hooks_.activateWindow();
    hoverActivated_ = true;
  }
  pointerRow_ = y / kRowHeight;
  pointerX_ = x;
  pointerY_ = y;
  int r = pointerRow_ + list_.firstRow();
  pastEnd_ = r > list_.rowCount();
  if (pastEnd_) r = list_.rowCount();
  targetEntry_ = entryIn(r);
}

int ListInteraction::highlightTarget(bool restoreMode) const {
  int y1 = kRowHeight * pointerRow_;
  if (pastEnd_) y1 = kRowHeight * (list_.rowCount() - list_.firstRow() + (restoreMode ? 1 : 0));
  return restoreMode ? y1 : y1 - 3;
}

void ListInteraction::aimHighlight() {
  const bool restore = inRestoreMode();
  // In restore mode from where the badge (and with it the bin window)
  // stands: the invisible band may be parked far above.
  highlightFrom_ = box_.getTop(restore ? list_.insertBadge() : list_.hoverHighlight());
  highlightTarget_ = highlightTarget(restore);
  aimedRow_ = pastEnd_ ? list_.rowCount() - list_.firstRow() + (restore ? 1 : 0) : pointerRow_;
  highlight_.start(11, [this](int f) { highlightStep(f); });
}

void ListInteraction::highlight() {
  if (pointerRow_ == lastPointerRow_) return;
  // The restore's approach and fly-in place the bin window and the rows
  // themselves; the highlight follows once they are done.
  if (bin_ && bin_->restoring()) return;
  if (deletion_.selecting()) {
    // The range is marked instead; the (invisible) highlight still heads
    // for the row, and restore mode follows it.
    deletion_.mark(pointerRow_);
    aimHighlight();
    lastPointerRow_ = pointerRow_;
    return;
  }
  if (pressPending_) {
    // Leaving the pressed row with the button down inserts a separator.
    pressPending_ = false;
    gapDragDone_ = true;
    insertSeparator();
    return;
  }
  if (targetEntry_ && !(list_.inFlatView() && list_.empty())) {
    // Restore mode keeps the band invisible: the line and the badge show
    // the row.
    if (!inRestoreMode()) {
      const bool separator = store_.valid(*targetEntry_) && store_.entry(*targetEntry_).isSeparator();
      const int tag = separator ? 2 : 1;
      if (box_.getTagNumber(list_.hoverHighlight()) != tag || !box_.hasPicture(list_.hoverHighlight())) {
        box_.setTagNumber(list_.hoverHighlight(), tag);
        box_.setPicture(list_.hoverHighlight(), separator ? list_.look().separatorBand : list_.look().hoverBand);
      }
    }
    aimHighlight();
  }
  lastPointerRow_ = pointerRow_;
}

void ListInteraction::highlightStep(int f) {
  int p = highlightTarget_;
  if (f <= 10) {
    p = ui::eased(highlightFrom_, highlightTarget_, ui::expoOut(f, 10));
  }
  box_.moveObject(list_.hoverHighlight(), 0, p);
  if (bin_) bin_->highlightMoved(p);
}

void ListInteraction::click(canvas::ObjectId released, canvas::ObjectId pressed) {
  platform_.clipCursor(std::nullopt);
  if (pressed == list_.thumb() && pressed > 0) return;  // the thumb's drag ended
  if (gapDragDone_) return;
  pressPending_ = false;
  // The release that ends a double click is no second click: the first one
  // already opened the row (and a category's list now stands under it).
  if (box_.releaseEndsDoubleClick()) return;
  if (released == list_.insertBadge() && released > 0 && inRestoreMode()) {
    if (!list_.inFlatView()) bin_->restoreAll();
    return;
  }
  if (!targetEntry_) return;
  track(pointerX_, pointerY_);
  if (!targetEntry_ || !store_.valid(*targetEntry_)) return;
  const EntryId target = *targetEntry_;
  const store::Entry& e = store_.entry(target);
  if (e.isSeparator()) {
    if (pointerX_ >= 176 && pointerX_ <= 319) {
      removeSeparator(target);
    } else if (pointerX_ >= 37 && pointerX_ <= 174) {
      insertSeparatorBefore(list_.idAtRow(pressedRow_));  // another one, before the pressed row
    }
    return;
  }
  if (pointerRow_ + list_.firstRow() > list_.rowCount()) return;
  if (pointerX_ > 59) {
    open(target);
  } else if (target > store::kLastFixedEntry) {  // the fixed entries open no editor
    if (e.isCategory()) {
      if (hooks_.showRenamePanel) hooks_.showRenamePanel(target);
    } else if (hooks_.openEditPanel) {
      hooks_.openEditPanel(target);
    }
  }
}

void ListInteraction::insertSeparator() {
  // Category mode only, inside the card, before an entry that is neither the
  // lead row nor past the end nor a separator itself.
  if (!list_.category() || pointerX_ < 25 || pointerX_ > 320) return;
  if (pressedRow_ <= 1 || pressedRow_ > list_.rowCount()) return;
  const EntryId m = list_.idAtRow(pressedRow_);
  if (m == 0 || store_.entry(m).isSeparator()) return;
  insertSeparatorBefore(m);
}

void ListInteraction::insertSeparatorBefore(EntryId m) {
  const auto category = list_.category();
  if (!category || m == 0) return;
  if (!store_.addSeparator(*category, m)) return;  // refused: no gap opens
  list_.showCategory(*category, list_.firstRow());
  if (hooks_.separatorSound) hooks_.separatorSound();
  // The rows from the pressed one down start 20 pixels higher and spring
  // into place.
  gapPosition_ = pressedPosition_;
  gap_.start(35, [this](int f) { gapStep(f); });
}

void ListInteraction::gapStep(int f) {
  const double t = f / 35.0;
  constexpr double kPi = 3.14159265358979323846;
  const int d = static_cast<int>(kRowHeight * std::pow(2.0, -10 * t) * std::sin((t - 0.075) * 2 * kPi / 0.3));
  list_.offsetRows(gapPosition_, d);
}

void ListInteraction::removeSeparator(EntryId s) {
  const auto category = list_.category();
  if (!category) return;
  const int row = list_.firstRow() + pointerRow_;
  if (row < 1 || row > list_.rowCount() || list_.idAtRow(row) != s) return;
  if (!store_.purgeEntry(*category, s)) return;  // refused: the row stays
  // The list drops the row itself instead of reloading.
  list_.removeRow(row);
  list_.computeSlotOrder();
  int p = list_.slotPositionOfVisibleRow(pointerRow_);
  if (p == 2) {
    p = 1;
  } else {
    const int above = std::min(list_.firstRow() + p - 2, list_.rowCount());
    const EntryId a = list_.idAtRow(above);
    if (a != 0 && store_.entry(a).isSeparator()) --p;
  }
  list_.showFrom(list_.firstRow(), false);
  list_.offsetRows(p, kRowHeight);
  const int under = list_.firstRow() + pointerRow_;
  const bool separatorUnder = under <= list_.rowCount() && list_.idAtRow(under) != 0 &&
                              store_.entry(list_.idAtRow(under)).isSeparator();
  if (!separatorUnder && !inRestoreMode()) {
    if (under > list_.rowCount()) {
      box_.setTagNumber(list_.hoverHighlight(), 0);
      box_.clearPicture(list_.hoverHighlight());
    } else {
      box_.setTagNumber(list_.hoverHighlight(), 1);
      box_.setPicture(list_.hoverHighlight(), list_.look().hoverBand);
    }
  }
  if (hooks_.removalSound) hooks_.removalSound();
  bouncePosition_ = p;
  bounce_.start(30, [this](int f) { list_.offsetRows(bouncePosition_, bounce(f / 30.0, kRowHeight, -kRowHeight)); });
}

void ListInteraction::open(EntryId id) {
  if (list_.category() == store::kNoLaunchCategory || id == 0 || !store_.valid(id)) return;
  const store::Entry& e = store_.entry(id);
  if (e.isSeparator()) return;
  // An address the browser would read as a switch of its own is never
  // passed: nothing starts and no visit is counted.
  if (e.isBookmark() && !launchableAddress(e.url)) return;
  // A store that takes no change (read only) opens the page all the same,
  // the visit uncounted.
  static_cast<void>(store_.recordVisit(id, platform_.oleNow(), e.visitCount + 1));
  if (e.isCategory()) {
    // Categories open wherever they are shown, fixed entries included.
    const BookmarkList::ImmediateScroll immediate(list_);
    if (hooks_.openCategory) hooks_.openCategory(id, (hooks_.barCount ? hooks_.barCount() : 0) + 1, true);
    return;
  }
  list_.repaintInPlace();
  const std::string path = hooks_.browserPath ? hooks_.browserPath() : std::string();
  platform_.launch(browserCommandLine(path, store_.entry(id).url));
}

}  // namespace lh::list
