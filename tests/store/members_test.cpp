#include "store/members.h"

#include <gtest/gtest.h>

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

TEST(MemberList, ItemsTolerateALeadingU) {
  EXPECT_EQ(parseItems("3u15u"), (Ids{3, 15}));
  EXPECT_EQ(parseItems("u3u15u"), (Ids{3, 15}));
  EXPECT_EQ(parseItems(""), Ids{});
  EXPECT_EQ(itemsBody("u3u"), "3u");
}

}  // namespace
}  // namespace lh::store
