// The search: its matching and tree walk (pure), and the search box in the
// program (simulator).
#include <gtest/gtest.h>

#include "../app/app_fixture.h"
#include "../store/store_fixture.h"
#include "features/search_query.h"
#include "text/gbk.h"

namespace lh::features {
namespace {

using store::EntryId;

store::Entry bookmark(std::string title, std::string url) {
  store::Entry e;
  store::BookmarkStore::setTitle(e, std::move(title));
  store::BookmarkStore::setUrl(e, std::move(url));
  e.kind = store::kBookmark;
  return e;
}

TEST(SearchWords, SplitAtAsciiSpacesOnlySkippingEmptyOnes) {
  EXPECT_EQ(searchWords("  a  b "), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(searchWords("中\xA1\xA1国"), (std::vector<std::string>{"中\xA1\xA1国"}));  // ideographic space
  EXPECT_TRUE(searchWords("   ").empty());
  EXPECT_TRUE(onlySpaces(" \xA1\xA1 "));
  EXPECT_TRUE(onlySpaces(""));
  EXPECT_FALSE(onlySpaces(" a"));
  EXPECT_FALSE(onlySpaces("\xA1\xA2"));
}

TEST(SearchWord, AddressOrTitleKeyInAnyLetterCase) {
  const auto b = bookmark("My GitHub page", "http://example.org/");
  EXPECT_TRUE(SearchWord("github").matches(b));
  EXPECT_TRUE(SearchWord("EXAMPLE").matches(b));
  EXPECT_FALSE(SearchWord("gitlab").matches(b));
}

TEST(SearchWord, HanziSearchTheTitleAndLettersTheKey) {
  const auto b = bookmark("中国", "http://www.gov.cn/");
  EXPECT_EQ(b.titleKey, "zg");
  EXPECT_TRUE(SearchWord("zg").matches(b));
  EXPECT_TRUE(SearchWord("ZG").matches(b));
  EXPECT_TRUE(SearchWord("中国").matches(b));
  EXPECT_FALSE(SearchWord("中g").matches(b));  // titles only: 中g is not in 中国
}

TEST(SearchWord, ASecondByteThatLooksLikeALetterIsNoLetter) {
  // 丂 is 81 41 and 亇 is 81 61: one must not find the other.
  const auto b = bookmark("x", "http://a/\x81\x61");
  EXPECT_FALSE(SearchWord("\x81\x41").matches(b));
  EXPECT_TRUE(SearchWord("\x81\x61").matches(b));
}

class SearchTree : public store::test::StoreTest {};

TEST_F(SearchTree, WalksDepthFirstNarrowsByEveryWordAndSkipsCategoriesAndTheBin) {
  const EntryId a = store.addBookmark("alpha one", "http://a.com/", "", 1, 1.0, -1);
  const EntryId sub = store.addCategory(1, 1.0, "alpha category");
  const EntryId deep = store.addCategory(sub, 1.0, "deeper");
  const EntryId b = store.addBookmark("alpha two", "http://b.com/", "", deep, 1.0, -1);
  const EntryId c = store.addBookmark("beta", "http://alpha.org/x", "", sub, 1.0, -1);
  const EntryId d = store.addBookmark("alpha three", "http://d.com/", "", 1, 1.0, -1);
  const EntryId binned = store.addBookmark("alpha binned", "http://e.com/", "", 1, 1.0, -1);
  EXPECT_TRUE(store.moveEntries(std::to_string(binned) + "u", store::kRecycleBin, -2, false));
  // The new category is put first in the root: sub's members, deep's first.
  EXPECT_EQ(searchTree(store, {"alpha"}), (std::vector<EntryId>{b, c, a, d}));
  EXPECT_EQ(searchTree(store, {"alpha", "com"}), (std::vector<EntryId>{b, a, d}));
  EXPECT_EQ(searchTree(store, {"alpha", "com", "TWO"}), (std::vector<EntryId>{b}));
  EXPECT_TRUE(searchTree(store, {"nothing"}).empty());
  EXPECT_TRUE(searchTree(store, {}).empty());
}

TEST_F(SearchTree, ATokenNamingAPurgedEntryFindsNothing) {
  const EntryId a = store.addBookmark("alpha gone", "http://a.com/", "", 1, 1.0, -1);
  const EntryId b = store.addBookmark("alpha kept", "http://b.com/", "", 1, 1.0, -1);
  EXPECT_TRUE(store.purgeEntry(3, a));  // its line goes; the root's token stays, as in a damaged store
  ASSERT_FALSE(store.exists(a));
  EXPECT_EQ(searchTree(store, {"alpha"}), (std::vector<EntryId>{b}));
}

TEST_F(SearchTree, ACategoryListingItselfOrAnAncestorIsWalkedOnce) {
  std::string file = store::test::fixedEntriesFile();
  // Root lists 11; 11 lists itself, the root and 12; 12 lists 11.
  store::Entry root;
  file.clear();
  for (int i = 1; i <= 10; ++i) {
    store::Entry e;
    e.title = "f";
    e.kind = store::kCategory;
    e.url = i == 1 ? "u11u" : "u";
    file += store::serializeLine(e) + "\r\n";
  }
  store::Entry c11;
  c11.kind = store::kCategory;
  c11.url = "u11u1u13u12u";
  file += store::serializeLine(c11) + "\r\n";
  store::Entry c12;
  c12.kind = store::kCategory;
  c12.url = "u11u13u";
  file += store::serializeLine(c12) + "\r\n";
  file += store::serializeLine(bookmark("loop", "http://loop/")) + "\r\n";
  fs.files[store::test::kStore] = file;
  store::BookmarkStore damaged(fs, store::test::kStore, store::test::kLog);
  damaged.load();
  EXPECT_EQ(searchTree(damaged, {"loop"}), (std::vector<EntryId>{13, 13}));
}

TEST_F(SearchTree, AStoreWithoutEntriesFindsNothing) {
  // What a store file that cannot be read leaves (read-only, no fixed
  // entries created).
  fs.files[store::test::kStore] = "";
  store::BookmarkStore empty(fs, store::test::kStore, store::test::kLog);
  empty.load();
  ASSERT_EQ(empty.count(), 0);
  EXPECT_TRUE(searchTree(empty, {"a"}).empty());
}

TEST_F(SearchTree, TenThousandNestedCategoriesDoNotOverflowTheStack) {
  constexpr int kDepth = 10000;
  std::string file;
  for (int i = 1; i <= 10; ++i) {
    store::Entry e;
    e.kind = store::kCategory;
    e.url = i == 1 ? "u11u" : "u";
    file += store::serializeLine(e) + "\r\n";
  }
  for (int k = 0; k < kDepth; ++k) {
    store::Entry e;
    e.kind = store::kCategory;
    e.url = "u" + std::to_string(k + 1 < kDepth ? 12 + k : 11 + kDepth) + "u";
    file += store::serializeLine(e) + "\r\n";
  }
  file += store::serializeLine(bookmark("at the bottom", "http://deep/")) + "\r\n";
  fs.files[store::test::kStore] = file;
  store::BookmarkStore deep(fs, store::test::kStore, store::test::kLog);
  deep.load();
  EXPECT_EQ(searchTree(deep, {"bottom"}), (std::vector<EntryId>{11 + kDepth}));
}

TEST_F(SearchTree, AKeptIndexFollowsEveryChangeOfTheStore) {
  SearchIndex index;
  const EntryId a = store.addBookmark("alpha", "http://a.com/", "", 1, 1.0, -1);
  EXPECT_EQ(index.find(store, {"alpha"}), (std::vector<EntryId>{a}));
  const EntryId b = store.addBookmark("alpha two", "http://b.com/", "", 1, 1.0, -1);
  EXPECT_EQ(index.find(store, {"alpha"}), (std::vector<EntryId>{a, b}));
  EXPECT_TRUE(store.editBookmark(a, "gamma", "", "http://a.com/"));
  EXPECT_EQ(index.find(store, {"alpha"}), (std::vector<EntryId>{b}));
  EXPECT_EQ(index.find(store, {"gamma"}), (std::vector<EntryId>{a}));
  const EntryId sub = store.addCategory(1, 1.0, "sub");
  EXPECT_TRUE(store.moveEntries(std::to_string(a) + "u", sub, -2, false));
  EXPECT_EQ(index.find(store, {"com"}), (std::vector<EntryId>{a, b}));
  EXPECT_TRUE(store.moveEntries(std::to_string(b) + "u", store::kRecycleBin, -2, false));
  EXPECT_EQ(index.find(store, {"com"}), (std::vector<EntryId>{a}));
  EXPECT_TRUE(store.purgeEntry(sub, a));
  EXPECT_TRUE(index.find(store, {"com"}).empty());
  // Another store at the same time is not answered from this one's buffer.
  store::BookmarkStore other(fs, store::test::kStore, store::test::kLog);
  other.load();
  EXPECT_EQ(index.find(other, {"gamma"}), searchTree(other, {"gamma"}));
}

TEST_F(SearchTree, AnIndexBuiltWhileALoadLetsMessagesThroughIsBuiltAgainAfterIt) {
  // The load's progress lets window messages run while the entries of the
  // previous load are still the ones in memory.
  const EntryId a = store.addBookmark("old text", "http://a.com/", "", 1, 1.0, -1);
  EXPECT_TRUE(store.saveAll());
  SearchIndex index;
  EXPECT_EQ(index.find(store, {"old"}), (std::vector<EntryId>{a}));
  std::string file;
  for (int i = 1; i <= 10; ++i) {
    store::Entry e;
    e.kind = store::kCategory;
    e.url = i == 1 ? "u11u" : "u";
    file += store::serializeLine(e) + "\r\n";
  }
  file += store::serializeLine(bookmark("new text", "http://n.com/")) + "\r\n";
  fs.files[store::test::kStore] = file;
  struct Typing : store::LoadObserver {
    SearchIndex* index;
    store::BookmarkStore* store;
    void progress(int) override { index->find(*store, {"old"}); }
  } typing;
  typing.index = &index;
  typing.store = &store;
  store.readStoreFile(&typing);
  EXPECT_TRUE(index.find(store, {"old"}).empty());
  EXPECT_EQ(index.find(store, {"new"}), (std::vector<EntryId>{11}));
}

// The buffer's scan must find exactly what matching each bookmark by itself
// finds: random titles, addresses and words over letters in both cases,
// spaces, and double-byte characters whose second byte looks like a letter,
// with words that end in half a character.
TEST_F(SearchTree, TheIndexFindsWhatMatchingEachBookmarkFinds) {
  const std::vector<std::string> pieces = {"a", "A", "b", "B", " ", "/", "\x81\x41", "\x81\x61", "\xd6\xd0",
                                           "\xb9\xfa", "\xd6", "\x81", "z", "Z", "\xa3\xc1"};
  std::uint32_t seed = 12345;
  auto next = [&seed](std::uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % n;
  };
  auto randomText = [&](std::uint32_t maxPieces) {
    std::string t;
    for (std::uint32_t k = next(maxPieces) + 1; k > 0; --k) t += pieces[next(static_cast<std::uint32_t>(pieces.size()))];
    return t;
  };
  std::vector<EntryId> ids;
  for (int i = 0; i < 300; ++i) ids.push_back(store.addBookmark(randomText(8), "h" + randomText(8), "", 1, 1.0, -1));
  SearchIndex index;
  int nonEmpty = 0;
  for (int q = 0; q < 400; ++q) {
    std::string word = randomText(3);
    if (word.find(' ') != std::string::npos) continue;
    const SearchWord one(word);
    std::vector<EntryId> expected;
    for (EntryId id : ids) {
      if (one.matches(store.entry(id))) expected.push_back(id);
    }
    nonEmpty += expected.empty() ? 0 : 1;
    ASSERT_EQ(index.find(store, {word}), expected) << "word of " << word.size() << " bytes, query " << q;
  }
  EXPECT_GT(nonEmpty, 50);  // the words do find things
}

// The walk a kept index reads its results from must be the plain one:
// every member list in order, a sub-category's members first, each category
// once, each bookmark tested every time it is listed. Damaged stores on
// purpose: bookmarks listed twice or in several categories, lists naming
// themselves, missing, vacant, deleted or out-of-range entries, separators,
// unknown kinds, and a root that is no category at all.
std::vector<EntryId> walkAndMatch(const store::BookmarkStore& s, const std::vector<std::string>& words) {
  std::vector<EntryId> results;
  if (words.empty()) return results;
  const SearchWord first(words[0]);
  std::vector<char> visited(static_cast<std::size_t>(s.count()) + 1, 0);
  visited[store::kRootCategory] = 1;
  struct Frame {
    std::vector<EntryId> members;
    std::size_t next = 0;
  };
  std::vector<Frame> stack{{s.members(store::kRootCategory), 0}};
  while (!stack.empty()) {
    if (stack.back().next >= stack.back().members.size()) {
      stack.pop_back();
      continue;
    }
    const EntryId id = stack.back().members[stack.back().next++];
    if (!s.exists(id)) continue;
    const store::Entry& e = s.entry(id);
    if (e.deleted) continue;
    if (e.isCategory()) {
      if (visited[static_cast<std::size_t>(id)]) continue;
      visited[static_cast<std::size_t>(id)] = 1;
      stack.push_back({s.members(id), 0});
      continue;
    }
    if (e.isBookmark() && first.matches(e)) results.push_back(id);
  }
  for (std::size_t w = 1; w < words.size(); ++w) {
    const SearchWord word(words[w]);
    std::vector<EntryId> kept;
    for (EntryId id : results) {
      if (word.matches(s.entry(id))) kept.push_back(id);
    }
    results = kept;
  }
  return results;
}

TEST_F(SearchTree, TheIndexWalksDamagedTreesAsMatchingEachListedBookmarkDoes) {
  std::uint32_t seed = 777;
  auto next = [&seed](std::uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % n;
  };
  const std::vector<std::string> words = {"a", "b", "ab", "u1", "x", "A b"};
  int compared = 0, nonEmpty = 0;
  for (int round = 0; round < 60; ++round) {
    const int n = 12 + static_cast<int>(next(30));
    std::string file;
    for (int i = 1; i <= n; ++i) {
      if (i > 1 && next(12) == 0) {
        file += "\r\n";  // a vacant slot
        continue;
      }
      store::Entry e;
      const std::uint32_t k = next(10);
      e.kind = k < 4 ? store::kCategory : (k < 8 ? store::kBookmark : (k == 8 ? store::kSeparator : 7));
      if (i == 1 && round % 3 == 0) e.kind = store::kBookmark;  // a root that is none
      e.deleted = next(8) == 0;
      e.title = std::string(1, static_cast<char>('a' + next(3))) + (next(2) ? "b" : "x");
      if (e.kind == store::kCategory || i == 1) {
        std::string members = "u";
        for (std::uint32_t m = next(6); m > 0; --m) members += std::to_string(static_cast<int>(next(n + 3)) - 1) + "u";
        e.url = members;
      } else {
        e.url = "http://" + std::string(1, static_cast<char>('a' + next(3))) + ".com/u" + std::to_string(next(3));
      }
      file += store::serializeLine(e) + "\r\n";
    }
    fs.files[store::test::kStore] = file;
    fs.files.erase(store::test::kLog);
    store::BookmarkStore damaged(fs, store::test::kStore, store::test::kLog);
    damaged.load();
    SearchIndex index;
    for (const std::string& text : words) {
      const std::vector<std::string> w = searchWords(text);
      const std::vector<EntryId> expected = walkAndMatch(damaged, w);
      nonEmpty += expected.empty() ? 0 : 1;
      ++compared;
      ASSERT_EQ(index.find(damaged, w), expected) << "round " << round << ", text " << text;
    }
  }
  EXPECT_GT(nonEmpty, compared / 4);  // the trees do hold matches
}

}  // namespace
}  // namespace lh::features

namespace lh::app {
namespace {

using namespace simtest;

class SearchBox : public StartUp {
 protected:
  platform::sim::SimEditBox& box() { return static_cast<platform::sim::SimEditBox&>(app->searchBox().edit()); }
  // Typing key by key, as a person does.
  void type(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
      const std::size_t n = text::charLength(text, i);
      box().type(text.substr(i, n));
      i += n;
    }
  }
  void eraseAll() {
    while (!box().text().empty()) {
      std::string t = box().text();
      t.pop_back();
      box().setText(t);
    }
  }
  SimWindow& main() { return host(app->mainWindow()); }
};

TEST_F(SearchBox, TypingShowsTheMatchesBySiteAndEmptyingGoesBack) {
  start();
  sim.advance(300);
  type("x1");
  EXPECT_TRUE(app->list().inFlatView());
  EXPECT_EQ(app->list().view(), list::View::Domain);
  EXPECT_EQ(app->list().results(), (std::vector<store::EntryId>{12}));
  // The lead row, the site's heading, the bookmark.
  EXPECT_EQ(app->list().rowIds().size(), 3u);
  EXPECT_EQ(app->list().rowIds().back(), 12);
  EXPECT_EQ(app->breadcrumb().size(), 2u);
  sim.advance(300);
  EXPECT_EQ(app->header().getLeft(app->headerObjects().viewTabMarker), 235);
  eraseAll();
  EXPECT_EQ(app->breadcrumb().size(), 1u);
  EXPECT_EQ(app->list().category(), 1);
  EXPECT_EQ(app->list().rowCount(), 4);
  EXPECT_EQ(app->header().getLeft(app->headerObjects().viewTabMarker), -100);
}

TEST_F(SearchBox, NoMatchShowsNotFoundAndNoRows) {
  start();
  sim.advance(300);
  type("nothing-like-it");
  auto& canvas = app->listCanvas().box();
  EXPECT_EQ(canvas.getText(app->list().emptyNotice()), "未找到");
  EXPECT_EQ(canvas.getTop(app->list().emptyNotice()), 60);
  EXPECT_FALSE(app->positionIndicator().visible());
  EXPECT_EQ(app->list().rowCount(), 0);
  const auto& slots = app->list().slots();
  for (int k = 0; k < app->list().slotCount(); ++k) EXPECT_FALSE(canvas.getVisible(slots[static_cast<std::size_t>(k)].background));
  // A match again hides the notice.
  box().setText("x2");
  EXPECT_EQ(canvas.getTop(app->list().emptyNotice()), -100);
  EXPECT_TRUE(app->positionIndicator().visible());
}

TEST_F(SearchBox, SpacesPushNoBarAndEmptyingAlwaysReturnsToTheCategory) {
  start();
  sim.advance(300);
  type("  ");
  EXPECT_EQ(app->breadcrumb().size(), 1u);
  EXPECT_EQ(app->list().category(), 1);
  eraseAll();
  type("x");
  EXPECT_EQ(app->breadcrumb().size(), 2u);
  box().setText(" ");  // spaces while searching: the category again
  EXPECT_EQ(app->breadcrumb().size(), 1u);
  EXPECT_EQ(app->list().category(), 1);
  type("b1");
  EXPECT_EQ(app->breadcrumb().size(), 2u);
  EXPECT_EQ(app->list().results(), (std::vector<store::EntryId>{12}));
  eraseAll();
  EXPECT_EQ(app->breadcrumb().size(), 1u);
  EXPECT_EQ(app->list().category(), 1);
}

TEST_F(SearchBox, KeysTypedDuringTheBarsPushAreNotLost) {
  start();
  sim.advance(300);
  type("x");
  sim.advance(50);  // the flat-view bar is still sliding in
  type("2");
  EXPECT_EQ(app->list().results(), (std::vector<store::EntryId>{13}));
  sim.advance(300);
  EXPECT_EQ(app->listTop(), 180 + 44);
}

TEST_F(SearchBox, TextTypedWhileAViewIsSortedIsSearchedAfterTheSort) {
  fs.files[kData + "\\udb"] = fixedStore(3000);
  start();
  sim.advance(300);
  sim.post([&] { type("b2999"); });
  main().click(120, 165);  // the visit-count view: a sort that lets messages through
  sim.processPendingMessages();
  EXPECT_EQ(app->list().view(), list::View::Domain);
  EXPECT_EQ(app->list().results(), (std::vector<store::EntryId>{3010}));
  EXPECT_EQ(app->breadcrumb().size(), 2u);
  eraseAll();
  EXPECT_EQ(app->breadcrumb().size(), 1u);
  EXPECT_EQ(app->list().rowCount(), 3001);
}

TEST_F(SearchBox, ALowerBarEmptiesTheBoxAndGoesBackOnce) {
  fs.files[kData + "\\bein"] =
      store::encodeRecord({store::LogOp::AddCategory, {store::intField(1), store::dateField(1.0), "Sub"}});
  start();
  sim.advance(300);
  main().click(120, 202 + 25);  // category 14
  sim.advance(600);
  type("x0");
  sim.advance(300);
  ASSERT_EQ(app->breadcrumb().size(), 3u);
  main().click(120, 165);  // the root's bar
  EXPECT_EQ(box().text(), "");
  EXPECT_EQ(app->breadcrumb().size(), 1u);
  EXPECT_EQ(app->list().category(), 1);
  EXPECT_FALSE(app->search().active());
}

}  // namespace
}  // namespace lh::app
