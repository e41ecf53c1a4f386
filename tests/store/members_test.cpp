#include "store/members.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace lh::store {
namespace {

using Ids = std::vector<EntryId>;

TEST(MemberList, ReadingDropsTheLeadingPiece) {
  EXPECT_EQ(parseMembers("u3u15u7u"), (Ids{3, 15, 7}));
  EXPECT_EQ(parseMembers("u"), Ids{});
  EXPECT_EQ(parseMembers(""), Ids{});
  EXPECT_EQ(parseMembers("u3uxu"), (Ids{3, 0}));
  EXPECT_EQ(parseMembers("u3uu4u"), (Ids{3, 0, 4}));
  EXPECT_EQ(memberCount("u3u15u7u"), 3u);
  EXPECT_EQ(memberCount("u"), 0u);
}

TEST(MemberList, AppendAndPrepend) {
  std::string m = "u3u";
  appendMember(m, 15);
  EXPECT_EQ(m, "u3u15u");
  prependMember(m, 7);
  EXPECT_EQ(m, "u7u3u15u");
  std::string empty;  // a cleared list still takes members
  appendMember(empty, 4);
  EXPECT_EQ(parseMembers(empty), Ids{4});
  std::string empty2;
  prependMember(empty2, 4);
  EXPECT_EQ(parseMembers(empty2), Ids{4});
}

TEST(MemberList, OnlyAnEmptyTextGainsALeadingU) {
  // A text that does not start with "u" (an address left behind when an
  // entry became a category) is extended as it is.
  std::string m = "http://a.com/";
  prependMember(m, 29);
  EXPECT_EQ(m, "u29http://a.com/");
  std::string a = "http://a.com/";
  appendMember(a, 29);
  EXPECT_EQ(a, "http://a.com/29u");
  std::string i = "x";
  appendItems(i, "u3u4u");
  EXPECT_EQ(i, "x3u4u");
}

TEST(MemberList, TokensNeverMatchInsideAnotherId) {
  std::string m = "u13u3u31u";
  EXPECT_TRUE(insertAfter(m, 3, "9u"));
  EXPECT_EQ(m, "u13u3u9u31u");
  EXPECT_TRUE(insertBefore(m, 31, "5u6u"));
  EXPECT_EQ(m, "u13u3u9u5u6u31u");
  EXPECT_FALSE(insertBefore(m, 1, "8u"));
  EXPECT_EQ(m, "u13u3u9u5u6u31u");
}

TEST(MemberList, RemoveEveryOccurrenceIncludingAdjacentOnes) {
  std::string m = "u3u3u4u3u";
  EXPECT_EQ(removeMember(m, 3), 3);
  EXPECT_EQ(m, "u4u");
  std::string f = "u3u4u3u";
  EXPECT_TRUE(removeFirstMember(f, 3));
  EXPECT_EQ(f, "u4u3u");
  EXPECT_FALSE(removeFirstMember(f, 9));
}

TEST(MemberList, RemovingManyAtOnceEqualsRemovingOneAfterAnother) {
  EXPECT_EQ([] { std::string m = "u3u07u7u3u9"; removeMembers(m, {3, 7, 9}); return m; }(), "u07u9");
  // Random lists with duplicates, pieces that are not ids, text before the
  // first "u" and a piece without its closing "u".
  std::mt19937 rng(7);
  const std::vector<std::string> pieces{"1", "2", "3", "12", "07", "", "x", "-1", "2147483648"};
  for (int round = 0; round < 2000; ++round) {
    std::string m = rng() % 4 == 0 ? "3u" : "u";
    for (int n = static_cast<int>(rng() % 12); n > 0; --n) m += pieces[rng() % pieces.size()] + "u";
    if (rng() % 3 == 0) m += pieces[rng() % pieces.size()];
    std::vector<EntryId> ids;
    for (int n = static_cast<int>(rng() % 4); n > 0; --n) ids.push_back(static_cast<EntryId>(rng() % 14) - 1);
    std::string oneByOne = m, atOnce = m;
    int removed = 0;
    std::vector<EntryId> distinct = ids;
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    for (EntryId id : distinct) removed += removeMember(oneByOne, id);
    EXPECT_EQ(removeMembers(atOnce, ids), removed) << m;
    EXPECT_EQ(atOnce, oneByOne) << m;
  }
}

TEST(MemberList, ItemsTolerateALeadingU) {
  EXPECT_EQ(parseItems("3u15u"), (Ids{3, 15}));
  EXPECT_EQ(parseItems("u3u15u"), (Ids{3, 15}));
  EXPECT_EQ(parseItems(""), Ids{});
  EXPECT_EQ(itemsBody("u3u"), "3u");
}

}  // namespace
}  // namespace lh::store
