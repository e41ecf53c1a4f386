#include "text/codepage.h"

#include <gtest/gtest.h>

namespace lh::text {
namespace {

TEST(CodePage936, ConvertsKnownCharacters) {
  // "中文" is D6 D0 CE C4 in GBK and U+4E2D U+6587.
  EXPECT_EQ(gbkToUtf16("\xD6\xD0\xCE\xC4" "A"), (std::u16string{0x4E2D, 0x6587, u'A'}));
  EXPECT_EQ(utf16ToGbk(std::u16string{0x4E2D, 0x6587, u'A'}), "\xD6\xD0\xCE\xC4" "A");
  // A full-width ampersand and the ideographic space.
  EXPECT_EQ(gbkToUtf16("\xA3\xA6\xA1\xA1"), (std::u16string{0xFF06, 0x3000}));
}

TEST(CodePage936, RoundTripsEveryGb2312Hanzi) {
  std::string all;
  for (int b1 = 0xB0; b1 <= 0xF7; ++b1) {
    for (int b2 = 0xA1; b2 <= 0xFE; ++b2) {
      if (b1 == 0xD7 && b2 > 0xF9) continue;
      all.push_back(static_cast<char>(b1));
      all.push_back(static_cast<char>(b2));
    }
  }
  const std::u16string wide = gbkToUtf16(all);
  EXPECT_EQ(wide.size(), all.size() / 2);
  EXPECT_EQ(utf16ToGbk(wide), all);
}

TEST(CodePage936, UnrepresentableCharactersBecomeQuestionMarks) {
  // U+0E01 (Thai) has no GBK form.
  EXPECT_EQ(utf16ToGbk(std::u16string{u'a', 0x0E01, u'b'}), "a?b");
}

TEST(CodePage936, Utf8GoesThroughUtf16) {
  EXPECT_EQ(utf8ToGbk("\xE4\xB8\xAD"), "\xD6\xD0");
  EXPECT_EQ(gbkToUtf8("\xD6\xD0"), "\xE4\xB8\xAD");
  EXPECT_EQ(utf8ToGbk("plain"), "plain");
}

}  // namespace
}  // namespace lh::text
