// Building each sorted flat view (sort + grouping) over 100,000 bookmarks,
// including the last-visit view with every bookmark never visited.
#include <time.h>

#include <cstdio>
#include <random>

#include "bench_data.h"
#include "list/bookmark_list.h"
#include "list/list_model.h"
#include "platform/sim/sim_platform.h"
#include "store/bookmark_store.h"
#include "text/memory_filesystem.h"

using namespace lh;

namespace {

using lh::bench::nowMs;

}  // namespace

int main() {
  text::MemoryFileSystem fs;
  store::BookmarkStore s(fs, "udb", "bein");
  std::mt19937 rng(7);
  std::vector<store::EntryId> visited, never;
  for (int i = 0; i < 100000; ++i) {
    const store::EntryId id = s.newEntry();
    store::Entry& e = *s.mutableEntry(id);
    e.kind = store::kBookmark;
    e.added = 40000 + rng() % 6000 + (rng() % 86400) / 86400.0;
    store::BookmarkStore::setUrl(e, "http://www.site" + std::to_string(rng() % 5000) + ".com/" + std::to_string(i));
    if (rng() % 3) {
      e.visitCount = 1 + rng() % 3000;
      e.lastVisit = e.added + rng() % 900;
    }
    visited.push_back(id);
    never.push_back(id);
  }
  const double now = 46500;
  struct Case {
    const char* name;
    list::View view;
    bool neverVisited;
  } cases[] = {{"view 1, last visit", list::View::LastVisit, false},
               {"view 1, nothing ever visited", list::View::LastVisit, true},
               {"view 2, date added", list::View::Added, false},
               {"view 3, visit count", list::View::VisitCount, false},
               {"view 4, domain", list::View::Domain, false}};
  std::printf("selectView over 100,000 bookmarks (sort + grouping), median of 5\n");
  for (const Case& c : cases) {
    std::vector<double> times;
    for (int r = 0; r < 5; ++r) {
      if (c.neverVisited) {
        for (store::EntryId id : never) s.mutableEntry(id)->lastVisit = 0;
      }
      std::vector<store::EntryId> ids = visited;
      std::shuffle(ids.begin(), ids.end(), rng);
      const double t0 = nowMs();
      list::sortForView(s, ids, c.view);
      const auto rows = list::displayRows(s, ids, c.view, now);
      times.push_back(nowMs() - t0);
      if (rows.size() < ids.size()) return 1;
    }
    std::sort(times.begin(), times.end());
    std::printf("  %-28s %7.1f ms\n", c.name, times[2]);
  }
  // One smooth-scroll step of the full list: every slot moves by a pixel,
  // rows that enter are painted, and the dirty region is recomposed.
  {
    store::BookmarkStore root(fs, "udb2", "bein2");
    const store::EntryId r = root.newEntry();
    root.mutableEntry(r)->members() = "u";
    for (int i = 0; i < 100000; ++i) {
      const store::EntryId id = root.newEntry();
      store::Entry& e = *root.mutableEntry(id);
      e.kind = store::kBookmark;
      store::BookmarkStore::setTitle(e, "Bookmark number " + std::to_string(i) + " with a title");
      store::BookmarkStore::setUrl(e, "http://site" + std::to_string(i % 500) + ".com/");
      root.mutableEntry(r)->members() += std::to_string(id) + "u";
      root.refreshLine(id);
    }
    root.refreshLine(r);
    platform::sim::SimPlatform sim;
    canvas::FixedWidthRasterizer raster;
    canvas::AnimationBox box(350, 1080 - 238, &raster);
    auto solid = [](int w, int h, std::uint32_t c) {
      canvas::Picture p;
      p.width = w, p.height = h, p.alpha = canvas::Alpha::Premultiplied;
      p.pixels.assign(static_cast<std::size_t>(w) * h, c);
      return std::make_shared<const canvas::Picture>(std::move(p));
    };
    list::ListLook look;
    look.cardMiddle = look.cardBottom = look.cardTop = solid(350, 20, 0xFFFFFFFF);
    look.categoryIcon = look.defaultSiteIcon = solid(16, 16, 0xFF00C7E8);
    look.hoverBand = look.separatorBand = solid(350, 26, 0x31313131);
    look.scrollThumb = look.scrollThumbHover = solid(27, 88, 0xFFC2C2C2);
    look.topFade = look.bottomFade = solid(350, 20, 0x80808080);
    look.insertionLine = solid(295, 1, 0xFF800080);
    look.insertBadge = solid(60, 20, 0xFF800080);
    look.titleFont.size = 9;
    look.headingFont.size = 11;
    list::BookmarkList l(box, root, sim, look, 1080);
    l.buildSlots();
    l.setListHeight(1080 - 238);
    l.showCategory(r, 1);
    box.paint();
    constexpr int kSteps = 4000;
    const double t0 = nowMs();
    for (int step = 1; step <= kSteps; ++step) {
      l.placeRows(-step, false, false);
      box.paint();
    }
    std::printf("one smooth-scroll step of the list (100,000 rows, %d slots): %.3f ms\n", l.slotCount(),
                (nowMs() - t0) / kSteps);
  }
  return 0;
}
