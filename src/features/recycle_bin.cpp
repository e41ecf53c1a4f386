#include "features/recycle_bin.h"

#include <algorithm>
#include <cmath>

#include "resources/resources.h"
#include "ui/easing.h"
#include "store/backups.h"
#include "store/members.h"
#include "text/gbk.h"

namespace lh::features {

using resources::Resource;

namespace {

constexpr std::uint32_t kRowTextGrey = 0x818181;  // RGB (129, 129, 129)
using layout::kBinCanvasWidth;
using layout::kBinStripWidth;
using layout::kInsertionLineX;
constexpr int kBinWidth = kBinCanvasWidth + kBinStripWidth;
constexpr int kSideWidth = 286;
// The bin window as made, before its first filling sizes it to its rows.
constexpr int kMadeWidth = 329, kMadeHeight = 210, kMadeRowsHeight = 200;
// The restored rows and the side list fly with the window this far right of
// where the rows stand (the bin window's rows start at 39, the list's at 0).
constexpr int kWindowToRows = 39;
// The restore's approach and fly-in, the side list's flight: frames.
constexpr int kApproachFrames = 10, kFlyInFrames = 15, kFlightFrames = 30;
constexpr std::size_t kSideTitleBytes = 36;
// A bin row shows this many bytes of a title (TitleChars of text size 1).
constexpr std::size_t kBinTitleBytes = 42;

// The items' ids: "15u3u" or "u15u3u" (pieces naming no entry dropped).
std::vector<store::EntryId> itemIds(std::string_view items) {
  std::vector<store::EntryId> ids = store::parseItems(items);
  ids.erase(std::remove_if(ids.begin(), ids.end(), [](store::EntryId id) { return id <= 0; }), ids.end());
  return ids;
}

}  // namespace

// ------------------------------------------------------------ restore mode

RestoreMode::RestoreMode(list::BookmarkList& list, canvas::AnimationBox& listBox, ui::Window& main, ui::Window& bin,
                         std::function<int()> listTop)
    : list_(list), box_(listBox), main_(main), bin_(bin), listTop_(std::move(listTop)) {}

void RestoreMode::enter(int r) {
  on_ = true;
  box_.setTagNumber(list_.hoverHighlight(), 0);
  box_.clearPicture(list_.hoverHighlight());
  box_.setVisible(list_.insertionLine(), true);
  box_.setVisible(list_.insertBadge(), true);
  follow(kRowHeight * r);
}

void RestoreMode::follow(int y) {
  box_.moveObject(list_.insertionLine(), kInsertionLineX, y);
  box_.moveObject(list_.insertBadge(), main_.width() - layout::kBadgeFromRight, y);
  placeWindowAt(y);
}

void RestoreMode::atEmptyList() {
  constexpr int kEmptyListY = 14, kEmptyListBadgeX = layout::kMainWidth - layout::kBadgeFromRight;
  box_.moveObject(list_.insertionLine(), kInsertionLineX, kEmptyListY);
  box_.moveObject(list_.insertBadge(), kEmptyListBadgeX, kEmptyListY);
  placeWindowAt(kEmptyListY);
}

void RestoreMode::listMoved() {
  if (on_) placeWindowAt(box_.getTop(list_.insertBadge()));
}

void RestoreMode::placeWindowAt(int y) {
  // Centred on the row.
  bin_.moveTo(bin_.left(), listTop_() + main_.top() + y - bin_.height() / 2);
}

void RestoreMode::leave() {
  on_ = false;
  box_.setVisible(list_.insertionLine(), false);
  box_.setVisible(list_.insertBadge(), false);
  box_.moveObject(list_.insertBadge(), -100, -100);
}

// ------------------------------------------------------------ the windows

RecycleBin::RecycleBin(Parts parts)
    : p_(std::move(parts)),
      restore_(p_.list, p_.listBox, p_.main, p_.bin, p_.listTop),
      slideAway_(p_.platform),
      approach_(p_.platform),
      flyIn_(p_.platform),
      flight_(p_.platform) {
  rows_ = std::max(1, p_.screenHeight / kRowHeight);
  auto blank = std::make_shared<canvas::Picture>();
  blank->width = kMainWidth;
  blank->height = kRowHeight;
  blank->alpha = canvas::Alpha::Premultiplied;
  blank->pixels.assign(static_cast<std::size_t>(kMainWidth) * kRowHeight, 0xFFFFFFFFu);
  blankRow_ = std::move(blank);
}

void RecycleBin::makeRows(canvas::AnimationBox& box, std::vector<canvas::ObjectId>& icons,
                          std::vector<canvas::ObjectId>& texts) {
  for (int k = 1; k <= rows_; ++k) {
    icons.push_back(box.createObject(3, 3 + kRowHeight * (k - 1)));
    texts.push_back(box.createObject(24, 5 + kRowHeight * (k - 1), true, std::to_string(k)));
  }
}

void RecycleBin::build() {
  auto& raster = p_.platform.textRasterizer();
  binCanvas_ = &p_.bin.add<ui::CanvasControl>("动画框1", raster, kBinCanvasWidth, kMadeRowsHeight);
  binCanvas_->setBounds(0, 0, kBinCanvasWidth, kMadeRowsHeight);
  binCanvas_->box().setBackground(0xFFFFFF);
  strip_ = &p_.bin.add<ui::PictureBox>("图片框1");
  strip_->setBounds(kBinCanvasWidth, 0, kBinStripWidth, kMadeRowsHeight);
  strip_->setBackground(0xFFFFFF);
  strip_->setPicture(p_.pictures(Resource::BinStrip));
  // Only the strip does anything: a click on it empties the bin.
  strip_->onButtonUp = [this](platform::MouseButton b, int, int) {
    if (b == platform::MouseButton::Left) emptyBin();
  };
  makeRows(binCanvas_->box(), binIcons_, binTexts_);
  sideCanvas_ = &p_.side.add<ui::CanvasControl>("动画框1", raster, kSideWidth, kRowHeight);
  sideCanvas_->setBounds(0, 0, kSideWidth, kRowHeight);
  sideCanvas_->box().setBackground(0xFFFFFF);
  makeRows(sideCanvas_->box(), sideIcons_, sideTexts_);
  p_.bin.setBounds({p_.bin.left(), p_.bin.top(), kMadeWidth, kMadeHeight});
  p_.side.setBounds({p_.side.left(), p_.side.top(), kSideWidth, kRowHeight});
}

void RecycleBin::placeBeside() { p_.bin.moveTo(p_.main.left() + p_.main.width() + 10, p_.bin.top()); }

void RecycleBin::fillRows(canvas::AnimationBox& box, const std::vector<canvas::ObjectId>& icons,
                          const std::vector<canvas::ObjectId>& texts, const std::vector<store::EntryId>& ids,
                          int count, std::size_t titleBytes) {
  const list::ListLook& look = p_.list.look();
  for (int k = 0; k < static_cast<int>(icons.size()); ++k) {
    const canvas::ObjectId icon = icons[static_cast<std::size_t>(k)];
    const canvas::ObjectId label = texts[static_cast<std::size_t>(k)];
    if (k >= count) {
      box.clearPicture(icon);
      box.setText(label, "", look.titleFont, kRowTextGrey);
      continue;
    }
    const store::Entry& e = p_.store.entry(ids[static_cast<std::size_t>(k)]);
    box.setText(label, std::string(text::cutAtBoundary(e.title.view(), titleBytes)), look.titleFont, kRowTextGrey);
    if (e.isSeparator()) {
      box.setText(label, "", look.titleFont, kRowTextGrey);
      box.setPicture(icon, blankRow_);
    } else if (e.isCategory()) {
      box.setPicture(icon, look.categoryIcon);
    } else {
      box.setPicture(icon, p_.iconOf ? p_.iconOf(e.url) : look.defaultSiteIcon);
    }
  }
}

void RecycleBin::fillBin() {
  p_.bin.setBounds({p_.bin.left(), p_.bin.top(), kBinWidth, p_.bin.height()});
  const std::vector<store::EntryId> ids =
      p_.store.count() >= store::kRecycleBin ? p_.store.members(store::kRecycleBin) : std::vector<store::EntryId>();
  if (ids.empty()) {
    hideBin();
    return;
  }
  const int h = static_cast<int>(std::min<std::size_t>(ids.size(), 100000)) * kRowHeight;
  binCanvas_->setBounds(0, 0, kBinCanvasWidth, h);
  strip_->setBounds(kBinCanvasWidth, 0, kBinStripWidth, h);
  strip_->setVisible(true);
  p_.bin.setBounds({p_.bin.left(), p_.bin.top(), kBinWidth, h});
  binCount_ = std::min(static_cast<int>(ids.size()), rows_);
  fillRows(binCanvas_->box(), binIcons_, binTexts_, ids, binCount_, kBinTitleBytes);
}

void RecycleBin::refreshIcons() {
  if (!p_.bin.visible()) return;
  const std::vector<store::EntryId> ids = p_.store.members(store::kRecycleBin);
  for (int k = 0; k < binCount_ && k < static_cast<int>(ids.size()); ++k) {
    const store::Entry& e = p_.store.entry(ids[static_cast<std::size_t>(k)]);
    if (e.isBookmark() && p_.iconOf) binCanvas().setPicture(binIcons_[static_cast<std::size_t>(k)], p_.iconOf(e.url));
  }
}

void RecycleBin::showBin() {
  binShown_ = true;
  fillBin();
  if (p_.store.members(store::kRecycleBin).empty()) return;
  if (!p_.bin.visible()) {
    placeBeside();
    p_.bin.setVisible(true);
    restore_.enter(p_.pointer.pointed().visibleRow);
    // A highlight animation under way heads on from the badge's place.
    p_.pointer.highlightPointedRow();
  }
}

void RecycleBin::hideBin() {
  const bool wasInUse = binShown_ || restore_.on();
  restore_.leave();
  p_.bin.setVisible(false);
  binShown_ = false;
  // The band comes back where the pointer (or the keys) are.
  if (wasInUse) p_.pointer.highlightPointedRow();
}

void RecycleBin::highlightMoved(int y) {
  if (restore_.on()) restore_.follow(y);
}

void RecycleBin::categoryEmptied() {
  if (restore_.on()) restore_.atEmptyList();
}

// ------------------------------------------------------------ restoring

void RecycleBin::restoreAll(bool animate) {
  list::BookmarkList& list = p_.list;
  const std::optional<store::EntryId> shown = list.category();
  if (!shown || !p_.bin.visible()) return;  // no category shown: a flat view
  const store::EntryId current = *shown;
  // Where nothing is put back, the window stays as it is, its strip too.
  if (current == store::kNoRestoreCategory || !p_.store.isCategory(current)) return;
  p_.pointer.finishRowAnimations();
  p_.bin.setBounds({p_.bin.left(), p_.bin.top(), kBinCanvasWidth, p_.bin.height()});
  strip_->setVisible(false);
  flight_.cancel();
  p_.side.setVisible(false);
  const std::string binMembers = p_.store.entry(store::kRecycleBin).members();
  const std::string items = binMembers.size() > 1 ? binMembers.substr(1) : std::string();
  const std::vector<store::EntryId> ids = itemIds(items);
  if (ids.empty()) {
    hideBin();
    return;
  }
  // Where they go: before the pointed entry, or at the end (also when no
  // row has been pointed at: the category keeps its own members).
  const list::PointedRow pointed = p_.pointer.pointed();
  const bool empty = p_.store.members(current).empty();
  std::int32_t position = -2;
  if (pointed.entry && !pointed.pastEnd && !empty &&
      p_.store.entry(current).members().view().find(store::tokenOf(*pointed.entry)) != std::string_view::npos) {
    position = *pointed.entry;
  }
  if (!p_.store.moveEntries(items, current, position, false)) {
    fillBin();  // refused: the window as it was, its strip back
    return;
  }
  for (store::EntryId k : ids) {
    if (store::Entry* e = p_.store.mutableEntry(k)) e->dimmed = 0;
  }
  restore_.leave();
  list.showCategory(current, list.firstRow());
  // The restored rows that are visible start off the list's right edge.
  list.computeSlotOrder();
  restoredSlot_ = list.slotPositionOfVisibleRow(pointed.visibleRow);
  if (position == -2) {
    // Appended: their first row follows the category's last one.
    const int firstRestored = list.rowCount() - static_cast<int>(ids.size()) + 1;
    restoredSlot_ = list.slotPositionOfVisibleRow(firstRestored - list.firstRow());
  }
  restoredCount_ = std::max(0, std::min(static_cast<int>(ids.size()), list.slotCount() - restoredSlot_ + 1));
  list.shiftRowsRight(restoredSlot_, kMainWidth, restoredCount_);
  if (!animate) {
    list.shiftRowsRight(restoredSlot_, 0, restoredCount_);
    hideBin();
    return;
  }
  approachFrom_ = p_.bin.top();
  approachTo_ = restoredRowsTop();
  approach_.start(
      kApproachFrames,
      [this](int f) { p_.bin.moveTo(p_.bin.left(), ui::eased(approachFrom_, approachTo_, ui::expoOut(f, kApproachFrames))); },
      [this] { flyIn_.start(kFlyInFrames, [this](int f) { flyInStep(f); }, [this] { hideBin(); }); });
}

void RecycleBin::flyInStep(int f) {
  // From the list's right edge to its left one, the rows with the window.
  const int x0 = p_.main.left() + kMainWidth, x1 = p_.main.left() - kDockedLeft;
  const int x = ui::eased(x0, x1, ui::quartOut(f, kFlyInFrames));
  p_.bin.setBounds({x + kWindowToRows, restoredRowsTop(), p_.bin.width(), p_.bin.height()});
  p_.list.shiftRowsRight(restoredSlot_, x - p_.main.left() + kDockedLeft, restoredCount_);
}

// ------------------------------------------------------------ emptying

void RecycleBin::emptyBin() {
  if (slideAway_.running()) return;  // the first click is already emptying it
  if (beforeEmptyingMany && p_.store.count() >= store::kRecycleBin &&
      p_.store.members(store::kRecycleBin).size() > static_cast<std::size_t>(store::kBinEmptyingCopied)) {
    beforeEmptyingMany();
  }
  // Refused (a store that takes no change): the bin keeps its entries and
  // its window.
  if (!p_.store.emptyRecycleBin()) return;
  if (!p_.list.inFlatView()) p_.list.showFrom(p_.list.firstRow(), false);
  p_.platform.playSound(resources::bytes(Resource::BinSound));
  // Ten ticks of 10 pixels to the right; the eleventh hides the window.
  slideAway_.start(
      11,
      [this](int f) {
        if (f <= 10) p_.bin.moveTo(p_.bin.left() + 10, p_.bin.top());
      },
      [this] { hideBin(); });
}

// ------------------------------------------------------------ the side list

void RecycleBin::fillSideList(const std::string& items) {
  sideItems_ = itemIds(items);
  if (sideItems_.empty()) {
    hideBin();
    return;
  }
  const int h = static_cast<int>(sideItems_.size()) * kRowHeight;
  sideCanvas_->setBounds(0, 0, kSideWidth, h);
  p_.side.setBounds({p_.side.left(), p_.side.top(), kSideWidth, h});
  fillRows(sideCanvas_->box(), sideIcons_, sideTexts_, sideItems_, std::min(static_cast<int>(sideItems_.size()), rows_),
           kSideTitleBytes);
  p_.side.setVisible(true);
}

void RecycleBin::rowsDeleted(const std::string& items, int rangeTopRow) {
  fillSideList(items);
  showBin();
  flySideList(rangeTopRow);
}

void RecycleBin::flySideList(int rangeTopRow) {
  // From the main window's left to beside the bin window's rows.
  flightFrom_ = p_.main.left();
  flightTo_ = p_.bin.left() - (kWindowToRows - 1);
  flightTop_ = kRowHeight * rangeTopRow + p_.listTop() - 2;
  flight_.start(
      kFlightFrames,
      [this](int f) {
        const int x = ui::eased(flightFrom_, flightTo_, ui::expoOut(f, kFlightFrames));
        const double t = static_cast<double>(f) / kFlightFrames;
        const int a = static_cast<int>(255 - 255 * t * t);
        p_.side.host().raise(false);
        p_.side.setBounds({x + kWindowToRows, flightTop_ + p_.main.top(), p_.side.width(), p_.side.height()});
        if (a >= 0 && a <= 255) p_.side.host().setWindowAlpha(a);
      },
      [this] { p_.side.setVisible(false); });
}

void RecycleBin::cancelAnimations() {
  slideAway_.cancel();
  approach_.cancel();
  flyIn_.cancel();
  flight_.cancel();
}

void RecycleBin::settle() {
  flight_.finish();
  approach_.finish();  // starts the fly-in
  flyIn_.finish();
  slideAway_.finish();
}

}  // namespace lh::features
