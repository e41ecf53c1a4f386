// Any bytes as a bookmark file: imported into a small store, whose file then
// loads back the same; the store exported, and the export imported into a
// fresh store, gives the same tree: the same links in the same order with the
// same titles, addresses and dates (as the file writes them), and each
// folder's sub-folders in the reverse order (an import puts each new folder
// first). The progress only rises, and ends at 100. An import whose store
// file could not be written leaves the store as its files are.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "store/bookmark_file.h"
#include "store_fuzz.h"
#include "text/memory_filesystem.h"

using namespace lh;

namespace {

constexpr const char* kStore = "D:\\data\\udb";
constexpr const char* kLog = "D:\\data\\bein";

// The ten fixed entries, all empty categories.
std::string fixedEntries() {
  std::string file;
  for (int i = 1; i <= store::kLastFixedEntry; ++i) {
    store::Entry e;
    e.title = "fixed" + std::to_string(i);
    e.url = "u";
    file += store::serializeLine(e) + "\r\n";
  }
  return file;
}

void check(bool ok) {
  if (!ok) std::abort();
}

// The members of a category that an export writes, split into folders and
// links (separators have no title and do not come back).
struct Members {
  std::vector<store::EntryId> folders, links;
};

Members membersOf(const store::BookmarkStore& s, store::EntryId c) {
  Members m;
  for (store::EntryId k : s.members(c)) {
    if (!s.exists(k) || s.entry(k).deleted || s.entry(k).isSeparator()) continue;
    (s.entry(k).isCategory() ? m.folders : m.links).push_back(k);
  }
  return m;
}

// `b` imported the export of `a`.
void compareTrees(const store::BookmarkStore& a, const store::BookmarkStore& b) {
  std::vector<std::pair<store::EntryId, store::EntryId>> pending{{store::kRootCategory, store::kRootCategory}};
  while (!pending.empty()) {
    const auto [ca, cb] = pending.back();
    pending.pop_back();
    const Members x = membersOf(a, ca);
    const Members y = membersOf(b, cb);
    check(x.links.size() == y.links.size());
    check(x.folders.size() == y.folders.size());
    for (std::size_t i = 0; i < x.links.size(); ++i) {
      const store::Entry& p = a.entry(x.links[i]);
      const store::Entry& q = b.entry(y.links[i]);
      check(p.title == q.title);
      check(p.url == q.url);
      check(p.domain == q.domain);
      check(q.parentId == cb);
      check(store::fileSecondsOf(p.added) == store::fileSecondsOf(q.added));
      check(store::fileSecondsOf(p.lastVisit) == store::fileSecondsOf(q.lastVisit));
    }
    for (std::size_t i = 0; i < x.folders.size(); ++i) {
      const store::EntryId fa = x.folders[i];
      const store::EntryId fb = y.folders[y.folders.size() - 1 - i];
      check(a.entry(fa).title == b.entry(fb).title);
      check(b.entry(fb).parentId == cb);
      check(store::fileSecondsOf(a.entry(fa).added) == store::fileSecondsOf(b.entry(fb).added));
      pending.emplace_back(fa, fb);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  // A store with a bookmark and a category already there.
  text::MemoryFileSystem fsA;
  fsA.files[kStore] = fuzz::seedStore();
  store::BookmarkStore a(fsA, kStore, kLog);
  a.load();
  int last = -1;
  static_cast<void>(a.compact());  // (nothing to renumber may leave it as it is)
  const store::ImportCounts counts = store::importBookmarkFile(a, bytes, [&last](int percent) {
    check(percent > last && percent >= 0 && percent <= 100);
    last = percent;
  });
  check(last == -1 || last == 100);
  check(counts.saved);  // a store file in memory always takes it
  // What the import wrote is what it holds.
  store::BookmarkStore reloaded(fsA, kStore, kLog);
  reloaded.load();
  check(fuzz::linesOf(reloaded) == fuzz::linesOf(a));

  // The same import into a store whose file cannot be written at the
  // fold's n-th replacement: it keeps what its files hold.
  text::MemoryFileSystem fsC;
  fsC.files[kStore] = fuzz::seedStore();
  store::BookmarkStore c(fsC, kStore, kLog);
  c.load();
  const auto before = fuzz::linesOf(c);
  fsC.replacesBeforeFailure = size % 2;
  const store::ImportCounts refused = store::importBookmarkFile(c, bytes);
  if (!refused.saved) check(fuzz::linesOf(c) == before);
  store::BookmarkStore afterRefusal(fsC, kStore, kLog);
  afterRefusal.load();
  check(fuzz::linesOf(afterRefusal) == fuzz::linesOf(c));

  const std::string file = store::exportBookmarkFile(a);
  text::MemoryFileSystem fsB;
  fsB.files[kStore] = fixedEntries();
  store::BookmarkStore b(fsB, kStore, kLog);
  b.load();
  const store::ImportCounts n = store::importBookmarkFile(b, file);
  check(n.saved && n.duplicates == 0);
  compareTrees(a, b);
  return 0;
}
