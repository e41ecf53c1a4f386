#include "list/row_deletion.h"

#include <algorithm>
#include <cmath>

#include "list/list_model.h"
#include "text/gbk.h"

namespace lh::list {

RowDeletion::RowDeletion(BookmarkList& list, canvas::AnimationBox& box, store::BookmarkStore& store,
                         platform::Platform& platform, Hooks hooks)
    : list_(list), box_(box), store_(store), platform_(platform), hooks_(std::move(hooks)), gap_(platform) {}

void RowDeletion::press(int pointerRow) {
  selecting_ = true;
  if (hooks_.binInUse) hooks_.binInUse();
  rangeStart = pointerRow + list_.firstRow;
  rangeTopRow = pointerRow;
  fade(rangeStart, rangeStart);
}

void RowDeletion::mark(int pointerRow) {
  if (!selecting_) return;
  box_.setTagNumber(list_.hoverHighlight(), 0);
  box_.clearPicture(list_.hoverHighlight());
  const int r = pointerRow + list_.firstRow;
  if (r <= rangeStart) rangeTopRow = pointerRow;
  fade(std::min(rangeStart, r), std::max(rangeStart, r));
}

void RowDeletion::fade(int a, int b) {
  for (const auto& s : list_.slots()) {
    const int c = (box_.getTop(s.text) - 3) / 20 + list_.firstRow;
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

void RowDeletion::release(int pointerRow) {
  if (!selecting_) return;
  // Any row animation ends, and every slot goes back to its ring place.
  gap_.cancel();
  if (hooks_.stopRowAnimation) hooks_.stopRowAnimation();
  list_.placeRows(-(20 * list_.firstRow - 20), false, false);
  selecting_ = false;
  rangeEnd = pointerRow + list_.firstRow;
  if (rangeStart == 1 && rangeEnd == 1) return fade(0, 0);
  if (list_.currentCategory != -1 && list_.rowCount < 2) return fade(0, 0);  // a category without members
  const int n = list_.rowCount;
  if (rangeStart > n && rangeEnd > n) return fade(0, 0);
  fade(0, 0);
  if (rangeEnd < rangeStart) std::swap(rangeStart, rangeEnd);
  if (rangeStart > n) return;
  if (list_.currentCategory == -1) {
    deleteInFlatView(n);
  } else {
    deleteInCategory(n);
  }
}

bool RowDeletion::deleteInFlatView(int n) {
  rangeEnd = std::min(rangeEnd, n);
  const std::string bin = store_.entry(store::kRecycleBin).members();
  std::string items;
  deleteCount = 0;
  for (int r = rangeStart; r <= rangeEnd; ++r) {
    const EntryId e = list_.idAtRow(r);
    if (e <= 0 || !store_.exists(e) || !store_.entry(e).isBookmark()) continue;  // spacer, heading
    if (bin.find("u" + std::to_string(e) + "u") != std::string::npos) continue;   // in the bin already
    if (items.find("u" + std::to_string(e) + "u") != std::string::npos) continue;
    items += (items.empty() ? "u" : "") + std::to_string(e) + "u";
    ++deleteCount;
  }
  if (deleteCount == 0) return false;
  const std::string moved = items.substr(1);  // "15u3u"
  store_.moveEntries(moved, store::kRecycleBin, -2, false);
  for (const std::string& piece : text::split(moved, "u")) {
    if (store::Entry* e = store_.mutableEntry(static_cast<EntryId>(text::parseDecimal(piece, 0)))) e->dimmed = 1;
  }
  if (hooks_.fillSideList) hooks_.fillSideList(moved);
  list_.showFrom(list_.firstRow, false);  // the rows stay, light grey
  if (hooks_.showBin) hooks_.showBin();
  if (hooks_.flySideList) hooks_.flySideList(rangeTopRow);
  return true;
}

bool RowDeletion::deleteInCategory(int n) {
  rangeEnd = std::min(rangeEnd, n);
  if (rangeStart == 1) rangeStart = 2;  // the lead row is no member
  if (rangeStart > rangeEnd) return false;
  const EntryId category = list_.currentCategory;
  std::string moved;
  for (int r = rangeStart; r <= rangeEnd; ++r) moved += std::to_string(list_.idAtRow(r)) + "u";
  deleteCount = rangeEnd - rangeStart + 1;
  store_.moveEntries(moved, store::kRecycleBin, -2, false);
  if (hooks_.fillSideList) hooks_.fillSideList(moved);
  if (hooks_.showBin) hooks_.showBin();
  // The rows are drawn again where the slots stand; the rows below the
  // range then start where they were and close the gap.
  list_.computeSlotOrder();
  int p = rangeTopRow + 1 + (list_.topSlotHidden ? 1 : 0);
  list_.showCategory(category, list_.firstRow, true);
  if (list_.rowCount < 2 && hooks_.categoryEmptied) hooks_.categoryEmptied();
  list_.offsetRows(p, 20 * deleteCount);
  if (hooks_.flySideList) hooks_.flySideList(rangeTopRow);
  if (p == 2) {
    p = 1;
  } else {
    const int above = std::min(list_.firstRow + p - 2, list_.rowCount);
    const EntryId a = list_.idAtRow(above);
    if (a > 0 && store_.exists(a) && store_.entry(a).isSeparator()) --p;
  }
  gapPosition_ = p;
  const int a = 20 * deleteCount;
  gap_.start(30, [this, a](int f) {
    const double t = f / 30.0;
    list_.offsetRows(gapPosition_, static_cast<int>(a * std::pow(t - 1, 4)));
  });
  return true;
}

}  // namespace lh::list
