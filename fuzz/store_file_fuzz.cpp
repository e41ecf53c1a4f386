// Any bytes as a store file: loading never crashes, and what a load keeps
// survives saving and loading again unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "store/bookmark_store.h"
#include "text/memory_filesystem.h"

using namespace lh;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  text::MemoryFileSystem fs;
  fs.files["udb"] = std::string(reinterpret_cast<const char*>(data), size);
  store::BookmarkStore first(fs, "udb", "bein");
  first.load();
  for (store::EntryId id = 1; id <= first.count() && id <= 64; ++id) {
    (void)first.members(id);
    (void)first.entry(id).titleKey;
  }
  if (!first.saveAll()) std::abort();
  store::BookmarkStore second(fs, "udb", "bein");
  second.load();
  if (second.count() != first.count()) std::abort();
  for (store::EntryId id = 1; id <= first.count(); ++id) {
    if (second.line(id) != first.line(id)) std::abort();
  }
  return 0;
}
