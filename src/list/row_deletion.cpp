#include "list/row_deletion.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "list/list_model.h"
#include "store/members.h"
#include "text/gbk.h"
#include "ui/easing.h"

namespace lh::list {

RowDeletion::RowDeletion(BookmarkList& list, canvas::AnimationBox& box, store::BookmarkStore& store,
                         platform::Platform& platform, std::function<void()> stopOtherRowAnimation)
    : list_(list),
      box_(box),
      store_(store),
      platform_(platform),
      stopOtherRowAnimation_(std::move(stopOtherRowAnimation)),
      gap_(platform) {}

void RowDeletion::press(int pointerRow) {
  selecting_ = true;
  rangeStart_ = pointerRow + list_.firstRow();
  rangeTopRow_ = pointerRow;
  fade(rangeStart_, rangeStart_);
}

void RowDeletion::mark(int pointerRow) {
  if (!selecting_) return;
  box_.setTagNumber(list_.hoverHighlight(), 0);
  box_.clearPicture(list_.hoverHighlight());
  const int r = pointerRow + list_.firstRow();
  if (r <= rangeStart_) rangeTopRow_ = pointerRow;
  fade(std::min(rangeStart_, r), std::max(rangeStart_, r));
}

void RowDeletion::fade(int a, int b) {
  for (const auto& s : list_.slots()) {
    const int c = (box_.getTop(s.text) - 3) / kRowHeight + list_.firstRow();
    const int tag = box_.getTagNumber(s.text);
    if (c >= a && c <= b && a > 0) {
      if (tag == 2) continue;  // a heading keeps its look
      box_.setTransparency(s.text, 60);
      box_.setTransparency(s.icon, 60);
    } else {
      box_.setTransparency(s.text, 0);
      box_.setTransparency(s.icon, 0);
    }
  }
}

void RowDeletion::cancel() {
  if (!selecting_) return;
  selecting_ = false;
  fade(0, 0);
}

std::optional<RowDeletion::Deleted> RowDeletion::release(int pointerRow) {
  if (!selecting_) return std::nullopt;
  // Any row animation ends, and every slot goes back to its ring place.
  gap_.cancel();
  if (stopOtherRowAnimation_) stopOtherRowAnimation_();
  list_.restoreSlotPlaces();
  selecting_ = false;
  fade(0, 0);
  rangeEnd_ = pointerRow + list_.firstRow();
  if (rangeStart_ == 1 && rangeEnd_ == 1) return std::nullopt;
  if (!list_.inFlatView() && list_.rowCount() < 2) return std::nullopt;  // a category without members
  const int n = list_.rowCount();
  if (rangeStart_ > n && rangeEnd_ > n) return std::nullopt;
  if (rangeEnd_ < rangeStart_) std::swap(rangeStart_, rangeEnd_);
  if (rangeStart_ > n) return std::nullopt;
  return list_.inFlatView() ? deleteInFlatView(n) : deleteInCategory(n);
}

std::optional<RowDeletion::Deleted> RowDeletion::deleteInFlatView(int n) {
  rangeEnd_ = std::min(rangeEnd_, n);
  const store::EntryText& bin = store_.entry(store::kRecycleBin).members();
  std::string items;
  std::unordered_set<EntryId> taken;
  for (int r = rangeStart_; r <= rangeEnd_; ++r) {
    const EntryId e = list_.idAtRow(r);
    if (e <= 0 || !store_.exists(e) || !store_.entry(e).isBookmark()) continue;  // spacer, heading
    if (bin.view().find(store::tokenOf(e)) != std::string_view::npos) continue;  // in the bin already
    if (!taken.insert(e).second) continue;  // each once
    items += std::to_string(e) + "u";
  }
  if (items.empty() || !store_.moveEntries(items, store::kRecycleBin, -2, false)) return std::nullopt;
  for (EntryId e : store::parseItems(items)) {
    if (store::Entry* entry = store_.mutableEntry(e)) entry->dimmed = 1;
  }
  list_.showFrom(list_.firstRow(), false);  // the rows stay, light grey
  return Deleted{items, rangeTopRow_, false};
}

std::optional<RowDeletion::Deleted> RowDeletion::deleteInCategory(int n) {
  rangeEnd_ = std::min(rangeEnd_, n);
  if (rangeStart_ == 1) rangeStart_ = 2;  // the lead row is no member
  const std::optional<EntryId> shown = list_.category();
  if (rangeStart_ > rangeEnd_ || !shown) return std::nullopt;
  const EntryId category = *shown;
  std::string items;
  for (int r = rangeStart_; r <= rangeEnd_; ++r) items += std::to_string(list_.idAtRow(r)) + "u";
  const int deleted = rangeEnd_ - rangeStart_ + 1;
  if (!store_.moveEntries(items, store::kRecycleBin, -2, false)) return std::nullopt;
  // The rows are drawn again where the slots stand; the rows below the
  // range then start where they were and close the gap.
  list_.computeSlotOrder();
  int p = list_.slotPositionOfVisibleRow(rangeTopRow_);
  list_.showCategory(category, list_.firstRow(), true);
  list_.offsetRows(p, kRowHeight * deleted);
  if (p == 2) {
    p = 1;
  } else {
    const int above = std::min(list_.firstRow() + p - 2, list_.rowCount());
    const EntryId a = list_.idAtRow(above);
    if (a > 0 && store_.exists(a) && store_.entry(a).isSeparator()) --p;
  }
  gapPosition_ = p;
  const int a = kRowHeight * deleted;
  gap_.start(30, [this, a](int f) { list_.offsetRows(gapPosition_, ui::eased(a, 0, ui::quartOut(f, 30))); });
  return Deleted{items, rangeTopRow_, list_.rowCount() < 2};
}

}  // namespace lh::list
