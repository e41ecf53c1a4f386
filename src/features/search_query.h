// The search's matching, pure: the words of a search text, whether a
// bookmark matches a word, and the walk of the category tree that collects
// the matches of the first word and narrows them by every further one.
#pragma once

#include <cstdint>
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

// One word, ready to be matched many times: by `matches` on one entry, or
// by a SearchIndex over the whole tree.
class SearchWord {
 public:
  explicit SearchWord(std::string word);
  // Found in the address, or in the title text: the title itself when the
  // word starts with a GB2312 hanzi that has a pinyin reading, otherwise the
  // title's search key. Found = at a character boundary, ASCII letters of
  // single-byte characters in either case.
  bool matches(const store::Entry& bookmark) const;
  const std::string& text() const { return word_; }
  bool byTitle() const { return byTitle_; }

 private:
  std::string word_;
  bool byTitle_ = false;
};

// The texts a search looks in, of every live bookmark in the order of its
// id, case-folded into one buffer: address, title key and title of each,
// each text ended by a 0 byte; and the bookmarks the walk of searchTree
// reaches, in its order. One search then scans one buffer instead of a few
// short texts per bookmark, and reads the matches out in the walk's order.
// Built when first asked, and again once the store's revision has moved.
class SearchIndex {
 public:
  // The bookmarks that match every word, as searchTree gives them.
  std::vector<store::EntryId> find(const store::BookmarkStore& store, const std::vector<std::string>& words);
  // Forgets the buffer (the next find builds it again).
  void clear();

 private:
  struct Record {
    store::EntryId id;
    std::size_t url, key, title, end;  // where each text starts; `end` after the title's 0
  };
  struct Needle {
    std::string folded;
    bool byTitle;
    bool halfCharacterAtEnd;  // ends in a lead byte with nothing after it
  };
  void build(const store::BookmarkStore& store);
  // The first record at or after `r` that holds the needle between `from`
  // and `to` (at a character boundary, in a text the needle looks in);
  // records_.size() when none does.
  std::size_t nextMatch(const Needle& needle, std::size_t from, std::size_t to, std::size_t r) const;

  const store::BookmarkStore* store_ = nullptr;
  std::uint64_t revision_ = 0;
  bool built_ = false;
  std::string blob_;
  std::vector<Record> records_;      // by id
  std::vector<store::EntryId> walk_;  // bookmarks reached, in the walk's order
};

// The bookmarks that match every word, in the order of a depth-first walk
// from the root category (a sub-category's members before the next member
// of its parent). Each category is visited once, whatever its members list
// (a damaged store may list a category inside itself).
std::vector<store::EntryId> searchTree(const store::BookmarkStore& store, const std::vector<std::string>& words);

}  // namespace lh::features
