// The four view tabs of the flat-view bar, left to right: their names, the
// x range each takes in the header, and the view each sorts by.
#pragma once

#include "list/list_text.h"

namespace lh::features {

struct ViewTab {
  const char* name;
  int from, to;
  list::View view;
};
inline constexpr ViewTab kViewTabs[] = {{"添加", 67, 115, list::View::Added},
                                        {"访问", 122, 170, list::View::LastVisit},
                                        {"常用", 177, 225, list::View::VisitCount},
                                        {"域名", 233, 281, list::View::Domain}};

// The marker under the selected tab: a tab's click puts it just left of the
// tab's range; the bar, when it is put in place, 3 pixels further right.
inline constexpr int kMarkerClickedX = -1;
inline constexpr int kMarkerPlacedX = 2;
// The marker's top above the list's top.
inline constexpr int kMarkerAboveList = 42;

}  // namespace lh::features
