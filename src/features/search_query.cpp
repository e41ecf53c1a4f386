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
  SearchIndex index;
  return index.find(store, words);
}

void SearchIndex::clear() {
  built_ = false;
  store_ = nullptr;
  std::string().swap(blob_);
  std::vector<Record>().swap(records_);
  std::vector<store::EntryId>().swap(walk_);
}

void SearchIndex::build(const store::BookmarkStore& store) {
  // The buffers keep their capacity: a rebuild after a change needs about
  // as much again.
  blob_.clear();
  records_.clear();
  walk_.clear();
  // Each text is folded as it is copied, character by character from its
  // first byte.
  const auto append = [this](std::string_view text) {
    const std::size_t at = blob_.size();
    blob_.resize(at + text.size() + 1);
    char* out = blob_.data() + at;
    for (std::size_t i = 0; i < text.size();) {
      const auto b = static_cast<unsigned char>(text[i]);
      if (b < 0x80) {
        out[i] = text::asciiLower(text[i]);
        ++i;
      } else if (text::charLength(text, i) == 2) {
        out[i] = text[i];
        out[i + 1] = text[i + 1];
        i += 2;
      } else {
        out[i] = text[i];
        ++i;
      }
    }
    out[text.size()] = '\0';
    return at;
  };
  const auto hasLeadByte = [](std::string_view text) {
    for (char c : text) {
      if (text::isLeadByte(static_cast<unsigned char>(c))) return true;
    }
    return false;
  };
  // Every entry in the order of its id, the order it lies in memory and in
  // the file: the texts of each live bookmark, and what each entry is for
  // the walk below (which then reads no entry but the categories').
  enum : unsigned char { kNone, kLiveBookmark, kLiveCategory };
  std::vector<unsigned char> kind(static_cast<std::size_t>(store.count()) + 1, kNone);
  for (store::EntryId id = 1; id <= store.count(); ++id) {
    // A token naming no entry (out of range, vacant, purged) finds nothing,
    // as the list shows no row for it.
    if (!store.exists(id)) continue;
    const store::Entry& e = store.entry(id);
    if (e.deleted) continue;
    if (e.isCategory()) {
      kind[static_cast<std::size_t>(id)] = kLiveCategory;
    } else if (e.isBookmark()) {
      kind[static_cast<std::size_t>(id)] = kLiveBookmark;
      Record r{id, 0, 0, 0, 0};
      r.url = append(e.url);
      r.key = append(e.titleKey);
      // A title word starts with a hanzi: a title without one is left out.
      r.title = append(hasLeadByte(e.title) ? e.title.view() : std::string_view());
      r.end = blob_.size();
      records_.push_back(r);
    }
  }
  // The walk from the root, each category once. The root is walked from,
  // never again; a root that is no category (a damaged store) is a member
  // like any other where a list names it. A store without entries (one that
  // could not be read) has no root.
  if (store.valid(store::kRootCategory)) {
    if (kind[store::kRootCategory] == kLiveCategory) kind[store::kRootCategory] = kNone;
    store::walkMembers(store, store::kRootCategory, [&](store::EntryId id) {
      if (id < 1 || id > store.count()) return false;
      unsigned char& k = kind[static_cast<std::size_t>(id)];
      if (k == kLiveBookmark) walk_.push_back(id);
      if (k != kLiveCategory) return false;
      k = kNone;  // visited
      return true;
    });
  }
  store_ = &store;
  revision_ = store.revision();
  built_ = true;
}

std::size_t SearchIndex::nextMatch(const Needle& needle, std::size_t from, std::size_t to, std::size_t r) const {
  const std::string_view blob(blob_.data(), to);
  const std::size_t n = needle.folded.size();
  while (from < to) {
    const std::size_t at = blob.find(needle.folded, from);
    if (at == std::string_view::npos) break;
    while (records_[r].end <= at) ++r;
    const Record& rec = records_[r];
    // The text the hit lies in (a needle holds no 0 byte, so it never
    // spans two texts), and where the next candidate may start.
    std::size_t start;
    if (at >= rec.title) {
      start = needle.byTitle ? rec.title : std::string_view::npos;
    } else if (at >= rec.key) {
      start = needle.byTitle ? std::string_view::npos : rec.key;
    } else {
      start = rec.url;
    }
    if (start == std::string_view::npos) {
      from = at >= rec.title ? rec.end : rec.title;  // a text this needle does not look in
      continue;
    }
    const bool whole = !needle.halfCharacterAtEnd || !text::isTrailByte(static_cast<unsigned char>(blob_[at + n]));
    if (whole && text::isBoundary(std::string_view(blob_.data() + start, at - start + 1), at - start)) return r;
    from = at + 1;
  }
  return records_.size();
}

std::vector<store::EntryId> SearchIndex::find(const store::BookmarkStore& store, const std::vector<std::string>& words) {
  std::vector<store::EntryId> results;
  if (words.empty()) return results;
  if (!built_ || store_ != &store || revision_ != store.revision()) build(store);
  std::vector<Needle> needles;
  for (const std::string& w : words) {
    Needle needle{text::foldCase(w), SearchWord(w).byTitle(), false};
    std::size_t i = 0;
    while (i < w.size() && i + text::charLength(w, i) < w.size()) i += text::charLength(w, i);
    needle.halfCharacterAtEnd =
        i < w.size() && text::charLength(w, i) == 1 && text::isLeadByte(static_cast<unsigned char>(w[i]));
    needles.push_back(std::move(needle));
  }
  // The first word over the whole buffer, one record at a time.
  std::vector<std::size_t> found;
  for (std::size_t r = nextMatch(needles[0], 0, blob_.size(), 0); r < records_.size();
       r = nextMatch(needles[0], records_[r].end, blob_.size(), r + 1)) {
    found.push_back(r);
  }
  // Every further word narrows within each record found.
  for (std::size_t w = 1; w < needles.size(); ++w) {
    std::size_t kept = 0;
    for (std::size_t r : found) {
      if (nextMatch(needles[w], records_[r].url, records_[r].end, r) == r) found[kept++] = r;
    }
    found.resize(kept);
  }
  // In the walk's order, once for each place a match is listed.
  std::vector<char> matched(static_cast<std::size_t>(store.count()) + 1, 0);
  for (std::size_t r : found) matched[static_cast<std::size_t>(records_[r].id)] = 1;
  for (store::EntryId id : walk_) {
    if (matched[static_cast<std::size_t>(id)]) results.push_back(id);
  }
  return results;
}

}  // namespace lh::features
