// Any bytes as a change log after a small store: the replay never crashes,
// and its result survives saving and loading again unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "store_fuzz.h"
#include "text/memory_filesystem.h"

using namespace lh;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string kStore = fuzz::seedStore();
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
