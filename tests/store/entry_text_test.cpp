// Entry texts: borrowed spans of the loaded file, short texts inside the
// object, longer ones in a buffer of their own, member lists edited in place.
#include "store/entry_text.h"

#include <gtest/gtest.h>

#include <sstream>

#include "store_fixture.h"
#include "text/rules.h"

namespace lh::store {
namespace {

TEST(EntryText, HoldsAnyTextInSixteenBytes) {
  static_assert(sizeof(EntryText) == 16);
  for (const std::string s : {std::string(), std::string("u"), std::string(15, 'a'), std::string(16, 'b'),
                              std::string(5000, 'c'), std::string("a\0b", 3)}) {
    SCOPED_TRACE(s.size());
    EntryText t(s);
    EXPECT_EQ(t.view(), s);
    EXPECT_EQ(t.size(), s.size());
    EXPECT_FALSE(t.isBorrowed());
    EntryText copy = t;
    EXPECT_EQ(copy, t);
    EXPECT_NE(copy.data(), s.size() > 15 ? t.data() : nullptr);  // its own copy
    EntryText moved = std::move(copy);
    EXPECT_EQ(moved, s);
    EXPECT_TRUE(copy.empty());
    moved = t;
    EXPECT_EQ(moved.view(), s);
  }
}

TEST(EntryText, ABorrowedTextPointsAtItsSourceUntilItIsChanged) {
  const std::string file = "a title of more than fifteen bytes";
  EntryText t = EntryText::borrowed(file);
  EXPECT_TRUE(t.isBorrowed());
  EXPECT_EQ(t.data(), file.data());
  const EntryText copy = t;  // copies of a borrowed text borrow too
  EXPECT_EQ(copy.data(), file.data());
  t.edit() += "!";
  EXPECT_FALSE(t.isBorrowed());
  EXPECT_EQ(t, file + "!");
  EXPECT_EQ(copy, file);
  t = "short";
  EXPECT_EQ(t, "short");
  t.clear();
  EXPECT_TRUE(t.empty());
}

TEST(EntryText, ComparesAsUnsignedBytesAndPrints) {
  EXPECT_LT(EntryText("abc"), EntryText("abd"));
  EXPECT_LT(EntryText("z"), EntryText("\xB0\xA1"));  // GBK bytes above ASCII
  EXPECT_EQ(EntryText("x"), std::string("x"));
  EXPECT_EQ(std::string(EntryText("y")), "y");
  std::ostringstream out;
  out << EntryText(std::string(20, 'p'));
  EXPECT_EQ(out.str(), std::string(20, 'p'));
}

class LoadedTexts : public test::StoreTest {};

TEST_F(LoadedTexts, ALoadedStoreKeepsItsTextsInTheFileBytes) {
  const EntryId a = store.addBookmark("A title that is long enough", "http://www.example.com.cn/page", "a note",
                                      1, 1.0, -1);
  const EntryId b = store.addBookmark("B", "http:///no-host", "", 1, 1.0, -1);
  ASSERT_TRUE(store.saveAll());
  const auto loaded = reload();
  const Entry& e = loaded->entry(a);
  for (const EntryText* t : {&e.title, &e.url, &e.note, &e.domain}) EXPECT_TRUE(t->isBorrowed());
  EXPECT_EQ(e.title, "A title that is long enough");
  EXPECT_EQ(e.domain, "example.com.cn");
  EXPECT_EQ(loaded->entry(b).domain, text::kUnknownHost);
  // The root's member list is copied when it first changes, and the line of
  // the untouched bookmark still reads from the file.
  EXPECT_NE(loaded->addBookmark("C", "c.com", "", 1, 2.0, -1), 0);
  EXPECT_FALSE(loaded->entry(1).members().isBorrowed());
  EXPECT_EQ(loaded->members(1), (std::vector<EntryId>{a, b, a + 2}));
  EXPECT_EQ(loaded->line(a), store.line(a));
}

}  // namespace
}  // namespace lh::store
