#include "list/list_model.h"

#include <algorithm>

#include "store/members.h"
#include "text/oledate.h"

namespace lh::list {

std::vector<EntryId> memberRows(const store::BookmarkStore& s, EntryId category) {
  std::vector<EntryId> rows{0};
  for (EntryId id : s.members(category)) {
    if (s.exists(id)) rows.push_back(id);
  }
  return rows;
}

std::vector<EntryId> bookmarkMembers(const store::BookmarkStore& s, const std::vector<EntryId>& rows) {
  std::vector<EntryId> out;
  for (EntryId id : rows) {
    if (id != 0 && s.entry(id).kind == store::kBookmark) out.push_back(id);
  }
  return out;
}

void sortForView(const store::BookmarkStore& s, std::vector<EntryId>& ids, View view,
                 const std::function<void()>& pump) {
  std::size_t comparisons = 0;
  auto tick = [&] {
    if (pump && (++comparisons & 4095) == 0) pump();
  };
  if (view == View::Domain) {
    std::sort(ids.begin(), ids.end(), [&](EntryId a, EntryId b) {
      tick();
      // Texts compare through char_traits<char>, which orders them as
      // unsigned bytes.
      return s.entry(a).domain.view() < s.entry(b).domain.view();
    });
    return;
  }
  // Numeric keys, read once.
  std::vector<std::pair<double, EntryId>> keyed;
  keyed.reserve(ids.size());
  for (EntryId id : ids) {
    const store::Entry& e = s.entry(id);
    double key = view == View::LastVisit ? text::clampOleDate(e.lastVisit)
                 : view == View::Added   ? text::clampOleDate(e.added)
                                         : static_cast<double>(e.visitCount);
    keyed.emplace_back(key, id);
  }
  std::sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
    tick();
    return a.first > b.first;
  });
  for (std::size_t i = 0; i < ids.size(); ++i) ids[i] = keyed[i].second;
}

std::string groupLabel(const store::Entry& e, View view, double now, int& counter) {
  switch (view) {
    case View::LastVisit: return relativeTime(e.lastVisit, now, view);
    case View::Added: return relativeTime(e.added, now, view);
    case View::VisitCount:
      ++counter;
      if (e.visitCount == 0) return "没访问过";
      return counter <= 16 ? std::string("常用") : "访问次数 " + std::to_string(e.visitCount);
    case View::Domain: return e.domain;
    case View::None: break;
  }
  return {};
}

std::vector<EntryId> displayRows(store::BookmarkStore& s, const std::vector<EntryId>& sorted, View view, double now) {
  std::vector<EntryId> rows;
  rows.reserve(sorted.size() + 64);
  int counter = 0;
  bool haveLabel = false;
  std::string current;
  for (EntryId id : sorted) {
    std::string label = groupLabel(s.entry(id), view, now, counter);
    if (!haveLabel || label != current) {
      rows.push_back(0);  // spacer
      rows.push_back(0);  // heading
      haveLabel = true;
      current = label;
      // The bookmark is looked at a second time after the insertion, which
      // the visit-count view's counter counts.
      label = groupLabel(s.entry(id), view, now, counter);
    }
    if (view == View::VisitCount) {
      if (store::Entry* e = s.mutableEntry(id)) e->groupLabel = label;
    }
    rows.push_back(id);
  }
  return rows;
}

SlotGeometry slotGeometry(int listHeight) {
  SlotGeometry g;
  g.slotCount = listHeight / kRowHeight + 2;
  g.wrapExtra = kRowHeight - listHeight % kRowHeight;
  return g;
}

int slotY(int k, int offset, int slotCount) {
  int y = kRowHeight * (k - 1) + offset;
  if (y < -kRowHeight) {
    const int span = kRowHeight * slotCount;
    y += ((-kRowHeight - y + span - 1) / span) * span;
  }
  return y;
}

ScrollGeometry scrollGeometry(int listHeight, int rowCount) {
  const SlotGeometry slots = slotGeometry(listHeight);
  return {listHeight - 90, kRowHeight * rowCount - listHeight + kRowHeight * slots.slotCount - 220};
}

int thumbTopFor(int scrollOffset, const ScrollGeometry& g) {
  if (g.scrollable <= 0) return 0;
  return static_cast<int>(static_cast<long long>(scrollOffset) * g.travel / g.scrollable);
}

int offsetForThumb(int thumbTop, const ScrollGeometry& g) {
  if (g.travel <= 0) return 0;
  return static_cast<int>(static_cast<long long>(thumbTop) * g.scrollable / g.travel);
}

}  // namespace lh::list
