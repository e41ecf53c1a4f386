// One keystroke of the search over 100,000 bookmarks (titles and addresses
// as in the store benchmark, spread over the root and 100 categories), as
// the search box runs it: SearchIndex::find for the first word and the
// narrowing by every further one. Prints the median and the worst of
// repeated keystrokes for each search text, and the first keystroke after a
// change of the store (which builds the index: the walk of the tree).
//
//   search_bench
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_data.h"
#include "features/search_query.h"
#include "store/bookmark_store.h"
#include "store/codec.h"
#include "text/memory_filesystem.h"

using namespace lh;

namespace {

constexpr int kBookmarks = 100000;
constexpr int kCategories = 100;

using bench::nowMs;

// The ten fixed entries, 100 categories in the root, and the bookmarks
// spread over the root and the categories.
std::string storeFile() {
  bench::BookmarkMaker make;
  const int first = 11 + kCategories;
  std::vector<std::string> members(static_cast<std::size_t>(kCategories) + 1, "u");
  for (int c = 0; c < kCategories; ++c) members[0] += std::to_string(11 + c) + "u";
  std::vector<store::Entry> bookmarks;
  for (int b = 0; b < kBookmarks; ++b) {
    const int home = b % (kCategories + 1);  // 0 = the root
    members[static_cast<std::size_t>(home)] += std::to_string(first + b) + "u";
    store::Entry e;
    e.title = make.title();
    e.url = make.url();
    e.kind = store::kBookmark;
    e.parentId = home == 0 ? 1 : 10 + home;
    bookmarks.push_back(std::move(e));
  }
  std::string file;
  for (int i = 1; i <= 10; ++i) {
    store::Entry e;
    e.kind = store::kCategory;
    e.url = i == 1 ? members[0] : "u";
    file += store::serializeLine(e) + "\r\n";
  }
  for (int c = 1; c <= kCategories; ++c) {
    store::Entry e;
    e.title = "category " + std::to_string(c);
    e.kind = store::kCategory;
    e.parentId = 1;
    e.url = members[static_cast<std::size_t>(c)];
    file += store::serializeLine(e) + "\r\n";
  }
  for (const auto& e : bookmarks) file += store::serializeLine(e) + "\r\n";
  return file;
}

}  // namespace

int main() {
  text::MemoryFileSystem fs;
  fs.files["D:\\udb"] = storeFile();
  store::BookmarkStore store(fs, "D:\\udb", "D:\\bein");
  store.load();
  std::printf("search over %d bookmarks in %d categories\n", kBookmarks, kCategories + 1);
  std::printf("(a keystroke = SearchIndex::find as the search box runs it; the first after a change of the\n"
              " store builds the index, every further one scans it)\n");
  {
    // The first search after the load also reads every entry from its line.
    features::SearchIndex index;
    const double t0 = nowMs();
    index.find(store, features::searchWords("qx"));
    std::printf("  first search after the load (reads every entry): %.2f ms\n", nowMs() - t0);
  }
  const char* texts[] = {"qx", "http", "ab", "http com www", "zzzz", "\xd0\xc2" /* 新 */, "~~"};
  for (const char* text : texts) {
    const auto words = features::searchWords(text);
    std::vector<double> built;
    std::vector<double> times;
    std::size_t found = 0;
    for (int run = 0; run < 5; ++run) {
      features::SearchIndex index;
      double t0 = nowMs();
      index.find(store, words);
      built.push_back(nowMs() - t0);
      for (int k = 0; k < 5; ++k) {
        t0 = nowMs();
        found = index.find(store, words).size();
        times.push_back(nowMs() - t0);
      }
    }
    std::sort(built.begin(), built.end());
    std::sort(times.begin(), times.end());
    std::printf("  %-14s %6zu matches (%5.2f %%)  keystroke: median %7.2f ms  worst %7.2f ms"
                "  first after a change: median %7.2f ms\n",
                words.size() == 1 && static_cast<unsigned char>(text[0]) >= 0x80 ? "(xin)" : text, found,
                100.0 * static_cast<double>(found) / kBookmarks, times[times.size() / 2], times.back(),
                built[built.size() / 2]);
  }
  return 0;
}
