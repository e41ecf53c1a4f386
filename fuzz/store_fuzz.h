// What the store fuzz targets share: a small store to start from, and every
// line of a store as the next save would write it.
#pragma once

#include <string>
#include <vector>

#include "store/bookmark_store.h"
#include "store/codec.h"

namespace lh::fuzz {

// Twelve entries: the fixed categories, bookmark 11 and category 12 in the
// root.
inline std::string seedStore() {
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

inline std::vector<std::string> linesOf(const store::BookmarkStore& s) {
  std::vector<std::string> lines;
  for (store::EntryId id = 1; id <= s.count(); ++id) lines.emplace_back(s.line(id));
  return lines;
}

}  // namespace lh::fuzz
