// Any bytes as a store file, compacted: the compaction never crashes, keeps
// every titled entry (and separator) the fixed entries reach, in the same
// order and nesting, with its fields, and what it writes loads again the
// same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "store/bookmark_store.h"
#include "store/codec.h"
#include "store_fuzz.h"
#include "text/memory_filesystem.h"

using namespace lh;

namespace {

// The reachable tree as the compaction keeps it: from each fixed entry, the
// members that exist, are not destroyed, and have a title (or are
// separators), depth first, each category once; one line per entry with its
// depth and every field but the ids.
std::vector<std::string> keptTree(const store::BookmarkStore& s) {
  std::vector<std::string> out;
  std::vector<bool> walked(static_cast<std::size_t>(s.count()) + 1, false);
  struct Frame {
    std::vector<store::EntryId> members;
    std::size_t next;
  };
  for (store::EntryId fixed = 1; fixed <= store::kLastFixedEntry && fixed <= s.count(); ++fixed) {
    walked[static_cast<std::size_t>(fixed)] = true;
  }
  for (store::EntryId fixed = 1; fixed <= store::kLastFixedEntry && fixed <= s.count(); ++fixed) {
    out.push_back("fixed " + std::to_string(fixed));
    std::vector<Frame> stack{{s.members(fixed), 0}};
    while (!stack.empty()) {
      Frame& f = stack.back();
      if (f.next >= f.members.size()) {
        stack.pop_back();
        continue;
      }
      const store::EntryId k = f.members[f.next++];
      if (!s.exists(k) || k <= store::kLastFixedEntry) continue;
      const store::Entry& e = s.entry(k);
      if (e.deleted || (e.title.empty() && !e.isSeparator())) continue;
      if (e.isCategory() && walked[static_cast<std::size_t>(k)]) continue;
      store::Entry copy = e;
      copy.parentId = 0;
      if (copy.isCategory()) copy.members() = "";
      out.push_back(std::to_string(stack.size()) + " " + store::serializeLine(copy));
      if (e.isCategory()) {
        walked[static_cast<std::size_t>(k)] = true;
        stack.push_back({s.members(k), 0});  // `f` is not used after this
      }
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  text::MemoryFileSystem fs;
  fs.files["udb"] = fuzz::seedStore() + std::string(reinterpret_cast<const char*>(data), size);
  store::BookmarkStore s(fs, "udb", "bein");
  s.load();
  if (s.count() > 4000) return 0;  // keeps each run short
  const std::vector<std::string> before = keptTree(s);
  const auto ids = s.compact();
  if (!ids) return 0;  // refused (a store without its fixed entries)
  if (keptTree(s) != before) std::abort();
  store::BookmarkStore again(fs, "udb", "bein");
  again.load();
  if (fuzz::linesOf(again) != fuzz::linesOf(s)) std::abort();
  return 0;
}
