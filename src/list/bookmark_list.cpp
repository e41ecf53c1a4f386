#include "list/bookmark_list.h"

#include <cmath>

#include "ui/easing.h"

namespace lh::list {

using layout::kThumbX;

namespace {

constexpr std::uint32_t kTitleGrey = 0x818181;     // RGB (129, 129, 129)
constexpr std::uint32_t kDimmed = 0xDADADA;        // RGB (218, 218, 218)
constexpr std::uint32_t kHeading = 0x033333;       // RGB (51, 51, 3)
constexpr std::uint32_t kNoticeGrey = 0x808080;    // RGB (128, 128, 128)
constexpr int kScrollFrames = 35;

}  // namespace

BookmarkList::BookmarkList(canvas::AnimationBox& box, store::BookmarkStore& store, platform::Platform& platform,
                           ListLook look, int screenHeight)
    : box_(box), store_(store), platform_(platform), look_(std::move(look)), screenHeight_(screenHeight) {
  scrollTimer_ = platform_.createTimer([this] { scrollTick(); });
}

void BookmarkList::buildSlots() {
  const int m = screenHeight_ / kRowHeight;
  slots_.clear();
  for (int k = 1; k <= m; ++k) {
    Slot s;
    s.background = box_.createObject(0, 2 + kRowHeight * (k - 1));
    box_.setPicture(s.background, look_.cardMiddle);
    s.icon = box_.createObject(0, kRowHeight * (k - 1));
    s.text = box_.createObject(58, 2 + kRowHeight * (k - 1));
    box_.setTagNumber(s.text, 1);
    for (ObjectId o : {s.background, s.icon, s.text}) box_.setLayer(o, 1);
    s.row = k;
    slots_.push_back(s);
  }
  auto object = [this](double x, double y, const Pic& p, int layer, bool visible = true) {
    const ObjectId o = box_.createObject(x, y, visible);
    if (p) box_.setPicture(o, p);
    box_.setLayer(o, layer);
    return o;
  };
  hoverHighlight_ = object(0, -100, look_.hoverBand, 5);
  box_.setTagNumber(hoverHighlight_, 1);
  insertionLine_ = object(0, 0, look_.insertionLine, 2, false);
  insertBadge_ = object(layout::kMainWidth - layout::kBadgeFromRight, 0, look_.insertBadge, 6, false);
  thumb_ = object(kThumbX, 0, look_.scrollThumb, 6);
  topFade_ = object(0, 0, look_.topFade, 5);
  bottomFade_ = object(0, 0, look_.bottomFade, 5);
  canvas::Picture sheet;
  sheet.width = 350;
  sheet.height = std::max(1, screenHeight_);
  sheet.alpha = canvas::Alpha::Premultiplied;
  sheet.pixels.assign(static_cast<std::size_t>(sheet.width) * sheet.height, 0xFFF7F7F7u);
  curtain_ = object(350, 0, std::make_shared<const canvas::Picture>(std::move(sheet)), 8);
  emptyNotice_ = object(0, -100, nullptr, 8);

  box_.setObjectHandlers(thumb_, {.press =
                                      [this] {
                                        userScroll_ = true;
                                        if (confineToThumb_) confineToThumb_(true);
                                      },
                                  .enter = [this] { box_.setPicture(thumb_, look_.scrollThumbHover); },
                                  .leave = [this] { box_.setPicture(thumb_, look_.scrollThumb); }});
  auto& e = box_.listen();
  e.objectMoving = [this](ObjectId o, int l, int t) { return onMoving(o, l, t); };
  e.objectMoved = [this](ObjectId o, int, int t) {
    if (o == thumb_ && userScroll_) onThumbMoved(t);
  };
  e.wheel = [this](int notches, int, int) { wheel(notches); };
  e.pointerDown = [this](canvas::Button b, int, int y) {
    if (b == canvas::Button::Left) grabOffset_ = y - box_.getTop(thumb_);
  };
  e.canvasPointerMove = [this](int, int y, ObjectId pressed) {
    if (pressed == thumb_ && pressed > 0) box_.moveObject(thumb_, kThumbX, y - grabOffset_);
  };
  // A thumb drag whose release will not come (long work took the list's
  // input) ends where it is.
  e.pressCancelled = [this](ObjectId pressed) {
    if (pressed != thumb_ || pressed <= 0) return;
    if (confineToThumb_) confineToThumb_(false);
    userScroll_ = false;
  };
  e.objectLeftUp = [this](ObjectId, ObjectId pressed) {
    if (pressed != thumb_ || pressed <= 0) return;
    if (confineToThumb_) confineToThumb_(false);
    userScroll_ = false;
    // A drag always comes to rest on a whole row.
    if (firstRow_ != 1 && shownOffset_ != -alignedOffset_) scrollTo(shownOffset_, -alignedOffset_);
  };
}

void BookmarkList::setListHeight(int h) {
  listHeight_ = h;
  box_.resize(350, std::max(0, h));
  const SlotGeometry g = slotGeometry(h);
  slotCount_ = std::min<int>(g.slotCount, static_cast<int>(slots_.size()));
  wrapExtra_ = g.wrapExtra;
  box_.moveObject(bottomFade_, 0, h - kFadeHeight);
  // Every slot beyond the used count is parked: a list that lost several
  // slots (a deeper breadcrumb) must not show rows of the list before it.
  for (std::size_t k = static_cast<std::size_t>(std::max(0, slotCount_)); k < slots_.size(); ++k) {
    const Slot& parked = slots_[k];
    for (ObjectId o : {parked.background, parked.icon, parked.text}) box_.moveObject(o, -350, 0);
  }
}

void BookmarkList::hideHoverHighlight() { box_.moveObject(hoverHighlight_, 0, -100); }

void BookmarkList::cancelAnimations() { stopScroll(); }

EntryId BookmarkList::idAtRow(int r) const {
  const std::vector<EntryId>& rows = inFlatView() ? displayRows_ : memberRows_;
  if (r < 1 || static_cast<std::size_t>(r) > rows.size()) return 0;
  return rows[static_cast<std::size_t>(r - 1)];
}

void BookmarkList::showCategory(EntryId id, int first, bool keepPositions) {
  if (first == 0) first = 1;
  currentCategory_ = id;
  currentView_ = View::None;  // a category has no sort
  memberRows_ = list::memberRows(store_, id);
  rowCount_ = static_cast<int>(memberRows_.size());
  if (showIndicator_) showIndicator_(first, rowCount_ - 1);
  box_.setText(emptyNotice_, "空", look_.titleFont, kNoticeGrey);
  const int x = 175 - box_.getWidth(emptyNotice_) / 2;
  box_.moveObject(emptyNotice_, x, rowCount_ < 2 ? 60 : -100);
  if (showPositionIndicator_) showPositionIndicator_(rowCount_ >= 2);
  firstRow_ = first;
  showFrom(first, keepPositions);
}

void BookmarkList::enterFlatView(bool animateBar) {
  if (inFlatView()) return;
  if (pushViewBar_) pushViewBar_(animateBar);
  previousCategory_ = currentCategory_;
  currentCategory_ = -1;
}

void BookmarkList::selectView(View v, bool animateBar) {
  // The sort lets window messages through: the input that could change the
  // rows it sorts waits until it is done.
  ui::Busy::Scope busyScope(busy_);
  if (!inFlatView()) {
    enterFlatView(animateBar);
    searchResults_ = bookmarkMembers(store_, memberRows_);
  }
  currentView_ = v;
  sortForView(store_, searchResults_, v, [this] { platform_.processPendingMessages(); });
  bookmarkCount_ = static_cast<int>(searchResults_.size());
  displayRows_ = list::displayRows(store_, searchResults_, v, platform_.oleNow());
  rowCount_ = static_cast<int>(displayRows_.size());
  showFrom(1, false);
}

void BookmarkList::showResults(std::vector<EntryId> results, View v, const std::string& notFoundNotice) {
  if (!results.empty()) {
    hideEmptyNotice();
    searchResults_ = std::move(results);
    selectView(v, true);
    return;
  }
  currentView_ = v;
  searchResults_.clear();
  displayRows_.clear();
  bookmarkCount_ = 0;
  rowCount_ = 0;
  box_.setText(emptyNotice_, notFoundNotice, look_.titleFont, kNoticeGrey);
  box_.moveObject(emptyNotice_, 175 - box_.getWidth(emptyNotice_) / 2, 60);
  if (showPositionIndicator_) showPositionIndicator_(false);
  showFrom(1, false);
}

void BookmarkList::removeRow(int r) {
  if (inFlatView() || r < 1 || static_cast<std::size_t>(r) > memberRows_.size()) return;
  memberRows_.erase(memberRows_.begin() + (r - 1));
  --rowCount_;
}

void BookmarkList::shiftRowsRight(int position, int x, int n) {
  for (int q = position; q < position + n && q <= slotCount_; ++q) {
    if (q < 1 || static_cast<std::size_t>(q) >= slotOrder_.size()) continue;
    const int k = slotOrder_[static_cast<std::size_t>(q)];
    if (k <= 0) continue;
    const Slot& s = slots_[static_cast<std::size_t>(k - 1)];
    box_.moveObject(s.text, box_.getTagNumber(s.text) == 3 ? x + 29 : x + 58, box_.getTop(s.text));
    box_.moveObject(s.icon, x + 36, box_.getTop(s.icon));
    box_.moveObject(s.background, x, box_.getTop(s.background));
  }
}

void BookmarkList::hideEmptyNotice() {
  box_.moveObject(emptyNotice_, 175 - box_.getWidth(emptyNotice_) / 2, -100);
  if (showPositionIndicator_) showPositionIndicator_(true);
}

void BookmarkList::placeThumb() {
  const bool was = userScroll_;
  userScroll_ = false;
  // An empty list has no thumb (parked, so that it neither shows nor takes
  // the wheel).
  const bool empty = this->empty();
  box_.moveObject(thumb_, empty ? -350 : kThumbX, empty ? 0 : thumbTopFor(scrollOffset_, geometry()));
  userScroll_ = was;
}

void BookmarkList::showFrom(int first, bool keepPositions) {
  firstRow_ = first;
  if (showIndicator_) showIndicator_(firstRow_, inFlatView() ? bookmarkCount_ : rowCount_ - 1);
  scrollOffset_ = offsetOfRow(firstRow_);
  alignedOffset_ = scrollOffset_;
  shownOffset_ = -scrollOffset_;
  userScroll_ = false;
  placeThumb();
  if (firstRow_ <= 0) firstRow_ = 1;
  placeRows(-offsetOfRow(firstRow_), true, keepPositions);
  if (!keepPositions) computeSlotOrder();
}

void BookmarkList::placeRows(int offset, bool repaintAll, bool keepPositions) {
  for (int k = 1; k <= slotCount_; ++k) {
    Slot& s = slots_[static_cast<std::size_t>(k - 1)];
    const int y = slotY(k, offset, slotCount_);
    const int r = rowAt(y, offset);
    if (repaintAll || r != s.row) {
      s.row = r;
      paintSlot(s);
    }
    if (!keepPositions) {
      box_.moveObject(s.background, 0, y);
      box_.moveObject(s.icon, 36, y + 1);
      if (box_.getTagNumber(s.text) == 2) {
        box_.moveObject(s.text, 29, y - 3);
      } else {
        box_.moveObject(s.text, 58, y + 3);
      }
    }
  }
}

void BookmarkList::hideSlot(Slot& s) {
  box_.setVisible(s.icon, false);
  box_.setVisible(s.text, false);
  box_.setVisible(s.background, false);
}

void BookmarkList::refreshIcons() {
  for (const Slot& s : slots_) {
    if (s.row < 1 || s.row > rowCount_) continue;
    const EntryId e = idAtRow(s.row);
    if (e == 0) continue;
    const store::Entry& entry = store_.entry(e);
    if (entry.kind == store::kBookmark && box_.getVisible(s.icon)) {
      box_.setPicture(s.icon, iconOf_ ? iconOf_(entry.url) : look_.defaultSiteIcon);
    }
  }
}

void BookmarkList::paintSlot(Slot& s) {
  // A row past the end is hidden, never painted with stale data.
  if (s.row > rowCount_ || s.row < 1) {
    hideSlot(s);
    return;
  }
  for (ObjectId o : {s.icon, s.text, s.background}) box_.setVisible(o, true);
  if (inFlatView()) {
    paintFlatSlot(s);
  } else {
    paintCategorySlot(s);
  }
}

void BookmarkList::paintCardRow(Slot& s, int r) {
  // A row of the card; the last one before a separator or the end closes it.
  if (box_.getTagNumber(s.background) == 1) {
    box_.setPicture(s.background, look_.cardMiddle);
    box_.setTagNumber(s.background, 0);
  }
  const EntryId next = idAtRow(r + 1);
  if (r == rowCount_ || next == 0 || store_.entry(next).isSeparator()) {
    box_.setPicture(s.background, look_.cardBottom);
    box_.setTagNumber(s.background, 1);
  }
  box_.setTagNumber(s.text, 1);
}

void BookmarkList::paintCategorySlot(Slot& s) {
  const int r = s.row;
  const EntryId e = idAtRow(r);
  const store::Entry& entry = store_.entry(e);
  auto opensCard = [&](int next) {
    const EntryId n = idAtRow(next);
    return next <= rowCount_ && n != 0 && store_.entry(n).kind >= 0;
  };
  if (e == 0 || entry.isSeparator()) {
    hideSlot(s);
    box_.setTagNumber(s.background, 1);
    if (r < rowCount_ && opensCard(r + 1)) {
      box_.setVisible(s.background, true);
      box_.setPicture(s.background, look_.cardTop);
    }
    return;
  }
  paintCardRow(s, r);
  if (entry.isCategory()) {
    box_.setPicture(s.icon, look_.categoryIcon);
    box_.setText(s.text, cutCategoryTitle(entry.title), look_.titleFont, e == returnedFrom_ ? 0x000000 : kTitleGrey);
  } else {
    box_.setPicture(s.icon, iconOf_ ? iconOf_(entry.url) : look_.defaultSiteIcon);
    box_.setText(s.text, cutBookmarkTitle(entry.title), look_.titleFont, kTitleGrey);
  }
}

void BookmarkList::paintFlatSlot(Slot& s) {
  const int r = s.row;
  const EntryId e = idAtRow(r);
  const store::Entry& entry = store_.entry(e);
  if (e == 0 || entry.isSeparator()) {
    hideSlot(s);
    box_.setTagNumber(s.background, 1);
    const EntryId n = idAtRow(r + 1);
    if (r < rowCount_ && n != 0 && store_.entry(n).kind == store::kBookmark) {
      const store::Entry& ne = store_.entry(n);
      box_.setVisible(s.background, true);
      box_.setPicture(s.background, look_.cardTop);
      box_.setVisible(s.text, true);
      box_.setTagNumber(s.text, 2);
      std::string label;
      switch (currentView_) {
        case View::LastVisit: label = relativeTime(ne.lastVisit, platform_.oleNow(), View::LastVisit); break;
        case View::Added: label = relativeTime(ne.added, platform_.oleNow(), View::Added); break;
        case View::VisitCount: label = ne.groupLabel; break;
        default: label = ne.domain; break;
      }
      box_.setText(s.text, label, look_.headingFont, kHeading);
    }
    return;
  }
  paintCardRow(s, r);
  box_.setPicture(s.icon, iconOf_ ? iconOf_(entry.url) : look_.defaultSiteIcon);
  box_.setText(s.text, cutBookmarkTitle(entry.title), look_.titleFont, entry.dimmed == 1 ? kDimmed : kTitleGrey);
}

bool BookmarkList::onMoving(ObjectId o, int, int top) {
  if (o != thumb_) return true;
  if (top < 0) {
    box_.moveObject(thumb_, kThumbX, 0);
    return false;
  }
  if (top > listHeight_ - 90) {
    box_.moveObject(thumb_, kThumbX, listHeight_ - 90);
    return false;
  }
  return true;
}

void BookmarkList::onThumbMoved(int top) {
  if (onThumbScroll_) onThumbScroll_();
  const ScrollGeometry g = geometry();
  const int offset = offsetForThumb(top, g);
  // A list too short for the thumb's reach does not scroll by it: it stays
  // where it is (at its top, or where the keys took it), its first row
  // too.
  if (offset < 0) return;
  scrollOffset_ = offset;
  alignedOffset_ = kRowHeight * static_cast<int>(std::floor(scrollOffset_ / static_cast<double>(kRowHeight)));
  firstRow_ = alignedOffset_ / kRowHeight + 1;
  firstRowScrolled();
  if (box_.getTagNumber(hoverHighlight_) != 0) {
    box_.setTagNumber(hoverHighlight_, 0);
    box_.clearPicture(hoverHighlight_);
  }
  if (immediateScroll_) {
    shownOffset_ = -scrollOffset_;
    placeRows(shownOffset_, false, false);
  } else {
    scrollTo(shownOffset_, snapToRows_ ? -alignedOffset_ : -scrollOffset_);
  }
}

void BookmarkList::wheel(int notches) {
  if (box_.getLeft(thumb_) == -350) return;
  userScroll_ = true;
  snapToRows_ = true;
  const int before = box_.getTop(thumb_);
  box_.moveObject(thumb_, kThumbX, before - kRowHeight * notches);
  // The keys scroll by rows that the thumb may not show (a row or two of a
  // long list leave it at the top of its track): the wheel up with the thumb
  // already there still takes the list to its top.
  if (notches > 0 && before == 0 && box_.getTop(thumb_) == 0 && firstRow_ > 1) onThumbMoved(0);
  userScroll_ = false;
}

void BookmarkList::scrollTo(int from, int to) {
  if (onSmoothScroll_) onSmoothScroll_();
  scrollFrame_ = 0;
  scrollFrom_ = from;
  scrollTo_ = to;
  if (platform_.timerPeriod(scrollTimer_) == 0) platform_.setTimerPeriod(scrollTimer_, 10);
}

void BookmarkList::firstRowScrolled() {
  if (currentCategory_ >= 1) {
    if (store::Entry* c = store_.mutableEntry(currentCategory_)) c->scrollRow = firstRow_;  // memory only
  }
  if (showIndicator_) showIndicator_(firstRow_, inFlatView() ? bookmarkCount_ : rowCount_ - 1);
}

void BookmarkList::bringRowIntoView(int r) {
  int first = firstRow_;
  if (r < first + firstClearRow()) first = r - firstClearRow();
  if (r > first + lastClearRow()) first = r - lastClearRow();
  if (first < 1) first = 1;
  if (first == firstRow_) return;
  firstRow_ = first;
  scrollOffset_ = offsetOfRow(first);
  alignedOffset_ = scrollOffset_;
  firstRowScrolled();
  placeThumb();
  scrollTo(shownOffset_, -alignedOffset_);
}

void BookmarkList::stopScroll() {
  platform_.setTimerPeriod(scrollTimer_, 0);
  scrollFrame_ = 0;
}

void BookmarkList::scrollTick() {
  ++scrollFrame_;
  if (scrollFrame_ >= kScrollFrames) {
    shownOffset_ = scrollTo_;
    placeRows(scrollTo_, false, false);
    stopScroll();
    return;
  }
  shownOffset_ = ui::eased(scrollFrom_, scrollTo_, ui::expoOut(scrollFrame_, kScrollFrames));
  placeRows(shownOffset_, false, false);
}

void BookmarkList::computeSlotOrder() {
  slotOrder_.assign(static_cast<std::size_t>(slotCount_) + 1, 0);
  if (slotCount_ <= 0) return;
  const int top = box_.getTop(slots_[0].background);
  int q = top >= 0 ? top / kRowHeight + 1 : 1;
  for (int i = 1; i <= slotCount_; ++i) {
    if (q >= 1 && q <= slotCount_) slotOrder_[static_cast<std::size_t>(q)] = i;
    q = q % slotCount_ + 1;
  }
  const int first = slotOrder_[1];
  topSlotHidden_ = first > 0 && box_.getTop(slots_[static_cast<std::size_t>(first - 1)].background) == -kRowHeight;
}

void BookmarkList::offsetRows(int position, int d) {
  if (slotCount_ <= 0 || slotOrder_.size() <= static_cast<std::size_t>(slotCount_)) return;
  int y = kRowHeight * position - (box_.getTop(slots_[0].background) < 0 ? 2 * kRowHeight : kRowHeight) + d;
  for (int p = position; p <= slotCount_; ++p, y += kRowHeight) {
    const int k = slotOrder_[static_cast<std::size_t>(p)];
    if (k <= 0) continue;
    Slot& s = slots_[static_cast<std::size_t>(k - 1)];
    const bool heading = box_.getTagNumber(s.text) == 2;
    box_.moveObject(s.text, heading ? 29 : 58, heading ? y - 3 : y + 3);
    if (inFlatView() || !heading) box_.moveObject(s.icon, 36, y + 1);
    box_.moveObject(s.background, 0, y);
  }
}

BookmarkList::~BookmarkList() { platform_.setTimerPeriod(scrollTimer_, 0); }

}  // namespace lh::list
