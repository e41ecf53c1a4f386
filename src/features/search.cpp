#include "features/search.h"

#include "features/search_query.h"

namespace lh::features {

Search::Search(platform::Platform& platform, ui::Busy& busy, store::BookmarkStore& store, list::BookmarkList& list,
               Breadcrumb& breadcrumb, ui::EditControl& box)
    : platform_(platform), busy_(busy), store_(store), list_(list), breadcrumb_(breadcrumb), box_(box) {
  box_.edit().onChange = [this] { textChanged(); };
  // A text typed while a sort or a load walks the rows is searched once
  // that work is done, from the box's text then.
  busy_.onChange.push_back([this](bool busy) {
    if (busy || !pending_) return;
    pending_ = false;
    platform_.post([this] { textChanged(); });
  });
}

void Search::clear() {
  active_ = false;
  clearing_ = true;
  box_.setText("");
  clearing_ = false;
}

void Search::leave() {
  // The flat-view bar of the search goes; the category below it shows.
  active_ = false;
  const int n = static_cast<int>(breadcrumb_.bars().size());
  if (list_.inFlatView() && n >= 2) breadcrumb_.backToLevel(n - 1);
  breadcrumb_.parkViewTabMarker();
}

void Search::textChanged() {
  if (clearing_) return;
  if (busy_.busy()) {
    pending_ = true;
    return;
  }
  // Typing during the bar's push: the push ends now instead of the
  // keystroke being lost.
  breadcrumb_.settle();
  const std::string text = box_.text();
  if (text.empty() || onlySpaces(text)) {
    // Spaces alone search nothing: no bar of their own, and the category
    // shown before the search comes back.
    if (active_ || (text.empty() && list_.inFlatView())) leave();
    return;
  }
  if (!list_.inFlatView()) {
    list_.enterFlatView(true);
    active_ = true;
  } else if (!active_) {
    active_ = true;  // typed into a sorted view: the search takes its bar
  }
  run(text);
}

void Search::run(const std::string& text) {
  list_.hideHoverHighlight();
  std::vector<store::EntryId> results = index_.find(store_, searchWords(text));
  const bool found = !results.empty();
  // Results are grouped by site.
  list_.showResults(std::move(results), list::View::Domain, "未找到");
  if (found) breadcrumb_.showViewTabMarker();
}

}  // namespace lh::features
