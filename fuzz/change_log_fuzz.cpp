// Any bytes as a change log after a small store: the replay never crashes,
// and its result survives saving and loading again unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "store/bookmark_store.h"
#include "store/codec.h"
#include "text/memory_filesystem.h"

using namespace lh;

namespace {

std::string seedStore() {
  std::string file;
  for (int i = 1; i <= 12; ++i) {
    store::Entry e;
    e.title = "entry" + std::to_string(i);
    e.kind = i == 11 ? store::kBookmark : store::kCategory;
    e.url = i == 1 ? "u11u3u12u" : (i == 11 ? "http://a.com/" : "u");
    e.parentId = i == 11 || i == 3 || i == 12 ? 1 : 0;
    file += store::serializeLine(e) + "\r\n";
  }
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string kStore = seedStore();
  text::MemoryFileSystem fs;
  fs.files["udb"] = kStore;
  fs.files["bein"] = std::string(reinterpret_cast<const char*>(data), size);
  store::BookmarkStore replayed(fs, "udb", "bein");
  replayed.load();
  store::BookmarkStore again(fs, "udb", "bein");
  again.load();
  if (again.count() != replayed.count()) std::abort();
  for (store::EntryId id = 1; id <= replayed.count(); ++id) {
    if (again.line(id) != replayed.line(id)) std::abort();
    (void)replayed.members(id);
  }
  return 0;
}
