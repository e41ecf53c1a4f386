#include "features/search_query.h"

#include "store/members.h"
#include "text/gbk.h"
#include "text/rules.h"

namespace lh::features {

std::vector<std::string> searchWords(std::string_view text) {
  // 0x20 is never the second byte of a GBK character: a plain split is
  // character-aware.
  std::vector<std::string> words;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(' ', start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) words.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return words;
}

bool onlySpaces(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); i += text::charLength(text, i)) {
    if (text[i] == ' ') continue;
    if (text::charLength(text, i) == 2 && static_cast<unsigned char>(text[i]) == 0xA1 &&
        static_cast<unsigned char>(text[i + 1]) == 0xA1) {
      continue;
    }
    return false;
  }
  return true;
}

SearchWord::SearchWord(std::string word) : word_(std::move(word)) {
  byTitle_ = text::charLength(word_, 0) == 2 &&
             text::pinyinInitial(static_cast<unsigned char>(word_[0]), static_cast<unsigned char>(word_[1])) != 0;
}

bool SearchWord::matches(const store::Entry& b) const {
  if (text::findCaseless(b.url, word_) != text::npos) return true;
  return text::findCaseless(byTitle_ ? b.title : b.titleKey, word_) != text::npos;
}

std::vector<store::EntryId> searchTree(const store::BookmarkStore& store, const std::vector<std::string>& words) {
  std::vector<store::EntryId> results;
  if (words.empty()) return results;
  const SearchWord first(words[0]);
  // An explicit stack of (members, next index): any depth, no recursion.
  struct Frame {
    std::vector<store::EntryId> members;
    std::size_t next = 0;
  };
  std::vector<char> visited(static_cast<std::size_t>(store.count()) + 1, 0);
  std::vector<Frame> stack;
  visited[store::kRootCategory] = 1;
  stack.push_back({store.members(store::kRootCategory), 0});
  while (!stack.empty()) {
    Frame& f = stack.back();
    if (f.next >= f.members.size()) {
      stack.pop_back();
      continue;
    }
    const store::EntryId id = f.members[f.next++];
    // A token naming no entry (out of range, vacant, purged) finds nothing,
    // as the list shows no row for it.
    if (!store.exists(id)) continue;
    const store::Entry& e = store.entry(id);
    if (e.deleted) continue;
    if (e.isCategory()) {
      if (visited[static_cast<std::size_t>(id)]) continue;
      visited[static_cast<std::size_t>(id)] = 1;
      stack.push_back({store.members(id), 0});  // `f` is not used after this
      continue;
    }
    if (e.isBookmark() && first.matches(e)) results.push_back(id);
  }
  for (std::size_t w = 1; w < words.size(); ++w) {
    const SearchWord word(words[w]);
    std::size_t kept = 0;
    for (store::EntryId id : results) {
      if (word.matches(store.entry(id))) results[kept++] = id;
    }
    results.resize(kept);
  }
  return results;
}

}  // namespace lh::features
