#include "text/gbk.h"

#include <gtest/gtest.h>

namespace lh::text {
namespace {

TEST(GbkSearch, MatchesOnlyAtCharacterBoundaries) {
  // "中" is D6 D0 and "怖" is B2 C0: "\xD0\xB2" occurs only across the two.
  const std::string s = "中怖";
  EXPECT_EQ(s.find("\xD0\xB2"), 1u);
  EXPECT_EQ(find(s, "\xD0\xB2"), npos);
  EXPECT_EQ(find(s, "怖"), 2u);
  // A second byte that is an ASCII letter (AB 6C ends in 'l') is not a match.
  EXPECT_EQ(find("\xAB\x6C" "l", "l"), 2u);
  EXPECT_EQ(findCaseless("\xAB\x6C" "L", "l"), 2u);
}

TEST(GbkSearch, CaselessFoldsAsciiLettersInSingleByteCharactersOnly) {
  EXPECT_EQ(findCaseless("Hello .COM", ".com"), 6u);
  EXPECT_EQ(findCaseless("abc", "ABC"), 0u);
  EXPECT_EQ(findCaseless("中国Zg", "zG"), 4u);
  // Second bytes 41 ('A') and 61 ('a') of two double-byte characters with
  // the same first byte are different characters: 亇 (81 61) is not 丂 (81 41).
  EXPECT_EQ(findCaseless("x\x81\x61", "\x81\x41"), npos);
  EXPECT_EQ(findCaseless("x\x81\x41", "\x81\x41"), 1u);
  EXPECT_EQ(find("x\x81\x61", "\x81\x41"), npos);
  // A needle that ends inside a double-byte character of the text.
  EXPECT_EQ(findCaseless("\x81\x41", "\x81"), npos);
  EXPECT_TRUE(matchesCaselessAt("ab中", 0, "AB中"));
  EXPECT_FALSE(matchesCaselessAt("ab", 1, "bc"));
}

TEST(GbkSearch, FindLastStopsBeforeTheLimit) {
  EXPECT_EQ(findLast("a.b.c", "."), 3u);
  EXPECT_EQ(findLast("a.b.c", ".", 3), 1u);
  EXPECT_EQ(findLast("abc", "."), npos);
  EXPECT_EQ(findLast("a - b - c", " - "), 5u);
}

TEST(GbkSplit, FollowsTheSplittingRule) {
  using V = std::vector<std::string>;
  EXPECT_EQ(split("a/b", "/"), (V{"a", "b"}));
  EXPECT_EQ(split("/a", "/"), (V{"", "a"}));
  EXPECT_EQ(split("a/", "/"), (V{"a"}));
  EXPECT_EQ(split("a//b", "/"), (V{"a", "", "b"}));
  EXPECT_EQ(split("", "/"), V{});
  EXPECT_EQ(split("/", "/"), (V{""}));
  EXPECT_EQ(split("http://x.com//y", "//"), (V{"http:", "x.com", "y"}));
}

TEST(GbkReplace, IsOnePassOverNonOverlappingOccurrences) {
  EXPECT_EQ(replaceAll("a///b", "//", "/"), "a//b");
  EXPECT_EQ(replaceAll("xx", "", "y"), "xx");
  std::string s = "u3u15u3u";
  EXPECT_TRUE(replaceFirst(s, "u3u", "u"));
  EXPECT_EQ(s, "u15u3u");
  EXPECT_FALSE(replaceFirst(s, "u9u", "u"));
}

TEST(GbkCut, NeverSplitsADoubleByteCharacter) {
  EXPECT_EQ(cutAtBoundary("ab中文", 3), "ab");
  EXPECT_EQ(cutAtBoundary("ab中文", 4), "ab中");
  EXPECT_EQ(cutAtBoundary("ab", 10), "ab");
}

TEST(GbkDecimal, ParsesStrictly) {
  EXPECT_EQ(parseDecimal("2573"), 2573);
  EXPECT_EQ(parseDecimal("-1"), -1);
  EXPECT_EQ(parseDecimal("12a", 7), 7);
  EXPECT_EQ(parseDecimal("", 7), 7);
  EXPECT_EQ(parseDecimal("+3", 7), 7);
  EXPECT_EQ(parseDecimal("99999999999999999999", 7), 7);
}

}  // namespace
}  // namespace lh::text
