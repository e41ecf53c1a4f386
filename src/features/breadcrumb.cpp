#include "features/breadcrumb.h"
#include "ui/easing.h"

#include <algorithm>
#include <cmath>

#include "features/view_tabs.h"
#include "list/list_text.h"
#include "text/gbk.h"

namespace lh::features {

namespace {

constexpr int kPushFrames = 20;

// The bar picture with `title` drawn centred at y 5 in font C.
std::shared_ptr<const canvas::Picture> titledBar(const canvas::Picture& background, canvas::TextRasterizer& raster,
                                                 const std::string& title) {
  auto bar = std::make_shared<canvas::Picture>(background);
  const canvas::TextMask m = raster.renderLine(fontC(), title);
  const int x0 = 175 - m.width / 2, y0 = 5;
  for (int y = 0; y < m.height && y0 + y < bar->height; ++y) {
    for (int x = 0; x < m.width; ++x) {
      if (x0 + x < 0 || x0 + x >= bar->width) continue;
      const unsigned a = m.coverage[static_cast<std::size_t>(y) * m.width + x];
      if (!a) continue;
      std::uint32_t& d = bar->at(x0 + x, y0 + y);
      const unsigned k = 255 - a, ink = 0x55;
      d = canvas::argb(255, canvas::div255(ink * a) + canvas::div255(canvas::redOf(d) * k),
                       canvas::div255(ink * a) + canvas::div255(canvas::greenOf(d) * k),
                       canvas::div255(ink * a) + canvas::div255(canvas::blueOf(d) * k));
    }
  }
  return bar;
}

}  // namespace

Breadcrumb::Breadcrumb(Parts parts) : parts_(parts), push_(parts.platform) {
  parts_.list.setViewBarPush([this](bool animate) { pushViewBar(animate); });
}

void Breadcrumb::createHeaderObjects() {
  auto& h = parts_.header;
  barTemplate_ = h.createObject(400, 100);
  h.setPicture(barTemplate_, parts_.pictures(Resource::BarTemplate));
  h.setLayer(barTemplate_, 7);
  viewTabMarker_ = h.createObject(-100, -100);
  h.setPicture(viewTabMarker_, parts_.pictures(Resource::ViewTabMarker));
  h.setLayer(viewTabMarker_, 8);
  h.listen().pointerUp = [this](canvas::Button b, int x, int y) {
    if (b == canvas::Button::Left) releasedAt(x, y);
  };
}

void Breadcrumb::settle() {
  push_.finish();
  for (auto& cancel : cancelOnNavigation) cancel();
}

void Breadcrumb::setListTop(int top) {
  // Only the position: the height stays the list's (the bottom bar, drawn
  // later, covers what reaches below it while a bar slides in).
  parts_.listCanvas.setTop(top);
  parts_.indicator.setTop(top - kIndicatorHeight);
  if (listMoved) listMoved();
}

void Breadcrumb::setListHeightFor(int bars) {
  const int height = std::max(0, parts_.bottomBar.top() - listTopFor(bars));
  parts_.listCanvas.setHeight(height);
  parts_.list.setListHeight(height);
}

void Breadcrumb::openRoot() {
  settle();
  // A second load starts the breadcrumb again.
  parts_.header.destroyObjects(bars_);
  bars_.clear();
  openCategory(store::kRootCategory, 1, true);
}

void Breadcrumb::openCategory(store::EntryId id, int level, bool push) {
  settle();
  // Other rows take the list's place (a key or the search box went back
  // while a button was held on the list): the press ends, as its release
  // would click, or delete, rows of the new list.
  parts_.listCanvas.cancelHeldPress();
  auto& list = parts_.list;
  setListHeightFor(level);
  list.hideHoverHighlight();
  // The rows first: the bar's push below looks at what the list shows.
  list.showCategory(id, parts_.store.entry(id).scrollRow);
  if (push) {
    pushCategoryBar(id);
  } else {
    setListTop(listTopFor(level));
  }
  parts_.platform.trimWorkingSet();
}

void Breadcrumb::pushCategoryBar(store::EntryId id) {
  auto& h = parts_.header;
  const std::string title = list::cutCategoryTitle(parts_.store.entry(id).title);
  const canvas::ObjectId o = h.createObject(0, -50, true, std::to_string(id));
  h.setPicture(o, titledBar(*parts_.pictures(Resource::BarBackground), parts_.platform.textRasterizer(), title));
  bars_.push_back(o);
  h.setLayer(o, static_cast<int>(bars_.size()));
  h.setObjectHandlers(o, {.click = [this, o] { barClicked(o); }});
  startPush(o);
}

void Breadcrumb::pushViewBar(bool animate) {
  auto& h = parts_.header;
  const canvas::ObjectId o = h.cloneObject(barTemplate_, 0.0, -50.0, true, std::string());
  bars_.push_back(o);
  const int n = static_cast<int>(bars_.size());
  h.setLayer(o, n);
  h.setObjectHandlers(o, {.click = [this, o] { barClicked(o); }});
  setListHeightFor(n);
  if (animate) {
    startPush(o);
    return;
  }
  h.moveObject(o, 0, barTopFor(n));
  setListTop(listTopFor(n));
  // The marker follows once the view is chosen.
}

void Breadcrumb::startPush(canvas::ObjectId bar) {
  // A push during a push: the earlier bar goes to its place at once.
  push_.finish();
  pushTarget_ = barTopFor(static_cast<int>(bars_.size()));
  pushedBar_ = bar;
  parts_.listCanvas.box().moveObject(parts_.list.curtain(), 0, 0);
  push_.start(kPushFrames, [this](int f) { pushFrame(f); },
              [this] { parts_.listCanvas.box().moveObject(parts_.list.curtain(), 350, 0); });
}

void Breadcrumb::pushFrame(int f) {
  const int a = pushTarget_ + 100, b = pushTarget_;
  const int y = ui::eased(a, b, ui::expoOut(f, kPushFrames));
  auto& h = parts_.header;
  const int listTop = y + layout::kListBelowBar;
  setListTop(listTop);
  h.moveObject(pushedBar_, 0, y);
  if (parts_.list.inFlatView()) placeViewTabMarker(listTop);
  parts_.listCanvas.box().setTransparency(parts_.list.curtain(), 5 * f);
  h.setTransparency(pushedBar_, 100 - 5 * f);
}

void Breadcrumb::placeViewTabMarker(int listTop) {
  // (View None: it stays where it is.)
  for (const ViewTab& t : kViewTabs) {
    if (t.view == parts_.list.view()) parts_.header.moveObject(viewTabMarker_, t.from + kMarkerPlacedX, listTop - kMarkerAboveList);
  }
}

void Breadcrumb::parkViewTabMarker() { parts_.header.moveObject(viewTabMarker_, -100, -100); }

void Breadcrumb::backToLevel(int level) {
  settle();
  auto& h = parts_.header;
  while (static_cast<int>(bars_.size()) > level && level >= 1) {
    h.destroyObject(bars_.back());
    bars_.pop_back();
  }
  if (bars_.empty()) return;
  const long long id = text::parseDecimal(h.getTagText(bars_.back()), 0);
  openCategory(static_cast<store::EntryId>(id), level, false);
}

void Breadcrumb::selectView(list::View v) {
  settle();
  parts_.list.selectView(v);
  // The new flat-view bar animates the marker with it; otherwise it moves now.
  if (!push_.running()) placeViewTabMarker(listTop());
}

void Breadcrumb::barClicked(canvas::ObjectId o) {
  settle();
  auto& list = parts_.list;
  auto& h = parts_.header;
  const auto at = std::find(bars_.begin(), bars_.end(), o);
  if (at == bars_.end()) return;
  if (o == bars_.back()) {
    // The top bar of a category: its visit-count view.
    if (!list.inFlatView()) {
      list.selectView(list::View::VisitCount, false);
      placeViewTabMarker(listTop());
    }
    return;
  }
  if (h.getTagText(o).empty()) return;
  if (list.inFlatView()) {
    parkViewTabMarker();
    if (leftFlatView) leftFlatView();
  }
  const int level = static_cast<int>(at - bars_.begin()) + 1;
  list.setReturnedFrom(
      static_cast<store::EntryId>(text::parseDecimal(h.getTagText(bars_[static_cast<std::size_t>(level)]), 0)));
  backToLevel(level);
}

bool Breadcrumb::backOneBar() {
  settle();
  if (bars_.size() < 2) return false;
  barClicked(bars_[bars_.size() - 2]);
  return true;
}

void Breadcrumb::releasedAt(int x, int y) {
  // The view tabs of the flat-view bar, in the 20 pixels below the marker's
  // top. The release that ends a double click sorts nothing again.
  if (!parts_.list.inFlatView() || parts_.header.releaseEndsDoubleClick()) return;
  auto& h = parts_.header;
  const int markerTop = h.getTop(viewTabMarker_);
  if (!(y > markerTop && y < markerTop + 20)) return;
  for (const ViewTab& t : kViewTabs) {
    if (x >= t.from && x <= t.to) {
      settle();
      h.moveObject(viewTabMarker_, t.from + kMarkerClickedX, markerTop);
      parts_.listCanvas.box().moveObject(parts_.list.hoverHighlight(), 0, -20);
      parts_.list.selectView(t.view);
      return;
    }
  }
}

}  // namespace lh::features
