// The search's matching, pure: the words of a search text, whether a
// bookmark matches a word, and the walk of the category tree that collects
// the matches of the first word and narrows them by every further one.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "store/bookmark_store.h"

namespace lh::features {

// The words of a search text: split at every ASCII space (the ideographic
// space separates nothing), empty words skipped.
std::vector<std::string> searchWords(std::string_view text);

// True when the text holds nothing but ASCII and ideographic spaces.
bool onlySpaces(std::string_view text);

// One word, ready to be matched many times.
class SearchWord {
 public:
  explicit SearchWord(std::string word);
  // Found in the address, or in the title text: the title itself when the
  // word starts with a GB2312 hanzi that has a pinyin reading, otherwise the
  // title's search key. Found = at a character boundary, ASCII letters of
  // single-byte characters in either case.
  bool matches(const store::Entry& bookmark) const;
  const std::string& text() const { return word_; }

 private:
  std::string word_;
  bool byTitle_ = false;
};

// The bookmarks that match every word, in the order of a depth-first walk
// from the root category (a sub-category's members before the next member
// of its parent). Each category is visited once, whatever its members list
// (a damaged store may list a category inside itself).
std::vector<store::EntryId> searchTree(const store::BookmarkStore& store, const std::vector<std::string>& words);

}  // namespace lh::features
