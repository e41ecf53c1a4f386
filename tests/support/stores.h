// Store files for tests: the ten fixed entries (categories f1 .. f10) and
// bookmarks b0, b1 … with addresses http://x0.com/, http://x1.com/ … in the
// root (entries 11, 12 …).
#pragma once

#include <string>

#include "store/codec.h"
#include "store/entry.h"

namespace lh::test {

inline std::string fixedStore(int extraBookmarks = 0) {
  std::string file;
  for (int i = 1; i <= 10; ++i) {
    store::Entry e;
    e.title = "f" + std::to_string(i);
    e.kind = store::kCategory;
    e.url = "u";
    if (i == 1) {
      for (int k = 0; k < extraBookmarks; ++k) e.url += std::to_string(11 + k) + "u";
    }
    file += store::serializeLine(e) + "\r\n";
  }
  for (int k = 0; k < extraBookmarks; ++k) {
    store::Entry b;
    b.title = "b" + std::to_string(k);
    b.url = "http://x" + std::to_string(k) + ".com/";
    b.kind = store::kBookmark;
    b.parentId = 1;
    file += store::serializeLine(b) + "\r\n";
  }
  return file;
}

}  // namespace lh::test
