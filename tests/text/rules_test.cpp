#include "text/rules.h"

#include <gtest/gtest.h>

namespace lh::text {
namespace {

TEST(LooksLikeAddress, AnyOfTheSixMarksInAnyCase) {
  EXPECT_TRUE(looksLikeAddress("see example.Com for details"));
  EXPECT_TRUE(looksLikeAddress("FTP://files"));
  EXPECT_TRUE(looksLikeAddress("news.sina.cn"));
  EXPECT_TRUE(looksLikeAddress("HTTPS://x"));
  EXPECT_TRUE(looksLikeAddress("dot.NET rocks"));
  EXPECT_FALSE(looksLikeAddress("localhost:8080/x"));
  EXPECT_FALSE(looksLikeAddress(""));
  EXPECT_FALSE(looksLikeAddress("http:/x.org"));
}

TEST(CompleteScheme, AddsHttpOnlyWithoutAnyScheme) {
  EXPECT_EQ(completeScheme("x.com/a"), "http://x.com/a");
  EXPECT_EQ(completeScheme("https://x.com"), "https://x.com");
  EXPECT_EQ(completeScheme("a\r\nTitle http://"), "a\r\nTitle http://");
  EXPECT_EQ(completeScheme("HTTP://x.com"), "http://HTTP://x.com");
  EXPECT_EQ(completeScheme(""), "http://");
}

TEST(HostOf, TakesTheTextBetweenSchemeAndFirstSlash) {
  EXPECT_EQ(hostOf("http://x.com/a/b"), "x.com");
  EXPECT_EQ(hostOf("x.com/a"), "x.com");
  EXPECT_EQ(hostOf("http://"), "http:");
  EXPECT_EQ(hostOf("http://x.com/a//b"), "http:");
  EXPECT_EQ(hostOf(""), "未知");
  EXPECT_EQ(hostOf("//host.org"), "host.org");
  EXPECT_EQ(hostOf("http://x.com:8080/"), "x.com:8080");
  EXPECT_EQ(hostOf("http://user@X.Com/"), "user@X.Com");
  EXPECT_EQ(hostOf("/path"), "未知");
}

TEST(RegistrableDomain, LastTwoLabelsOrThreeForComCnAndNetCn) {
  EXPECT_EQ(registrableDomain("a.b.com.cn"), "b.com.cn");
  EXPECT_EQ(registrableDomain("a.b.net.cn"), "b.net.cn");
  EXPECT_EQ(registrableDomain("a.b.COM.CN"), "COM.CN");
  EXPECT_EQ(registrableDomain("a.b.org"), "b.org");
  EXPECT_EQ(registrableDomain("x.com:8080"), "x.com:8080");
  EXPECT_EQ(registrableDomain("localhost"), "localhost");
  EXPECT_EQ(registrableDomain("未知"), "未知");
  EXPECT_EQ(registrableDomain("192.168.1.10"), "1.10");
  EXPECT_EQ(registrableDomain("com.cn"), "com.cn");
  EXPECT_EQ(registrableDomain(".com.cn"), ".com.cn");
  EXPECT_EQ(registrableDomain(hostOf("http://www.sina.com.cn/news")), "sina.com.cn");
}

TEST(ResolveIconHref, RelativeReferencesAreTakenFromTheSiteRoot) {
  EXPECT_EQ(resolveIconHref("h.com", "http://cdn.org/i.ico"), "http://cdn.org/i.ico");
  EXPECT_EQ(resolveIconHref("h.com", "//cdn.org/i.ico"), "http://cdn.org/i.ico");
  EXPECT_EQ(resolveIconHref("h.com", "img/fav.ico"), "http://h.com/img/fav.ico");
  EXPECT_EQ(resolveIconHref("h.com", "/favicon.ico"), "http://h.com/favicon.ico");
  EXPECT_EQ(resolveIconHref("h.com", "a/b.ico?x=1"), "http://h.com/a/b.ico?x=1");
}

TEST(CleanTitle, FullWidthBecomesAsciiAndAmpersandsGo) {
  // ＡＢ＆ｃ with an ideographic space and ～ ☆ ★ ￥
  EXPECT_EQ(cleanTitle("\xA3\xC1\xA3\xC2\xA3\xA6\xA3\xE3\xA1\xA1\xA1\xAB\xA1\xEE\xA1\xEF\xA3\xA4"), "ABc ~**$");
  EXPECT_EQ(cleanTitle("\xA3\xA6\xA3\xA6"), "");
  EXPECT_EQ(cleanTitle("Tom & Jerry"), "Tom  Jerry");
  EXPECT_EQ(cleanTitle("中文"), "中文");
  EXPECT_EQ(cleanTitle("ab\xD6"), "ab");  // a lead byte without its second byte
}

TEST(CutBrowserSuffix, KeepsTheTextBeforeTheLastSeparator) {
  EXPECT_EQ(cutBrowserSuffix("Page - Site - Browser"), "Page - Site");
  EXPECT_EQ(cutBrowserSuffix("Page"), "Page");
  EXPECT_EQ(cutBrowserSuffix(" - Browser"), "");
  EXPECT_EQ(cutBrowserSuffix("a-b"), "a-b");
}

// Today's browsers end their titles in shapes of their own: their name after
// an em dash, a profile before Edge's name (which holds a zero-width space),
// Chinese names. Only the browser's parts go; the page's own " - " stays.
TEST(BrowserSuffix, TheBrowsersOwnEndsGoAndThePagesDashesStay) {
  EXPECT_EQ(cutBrowserSuffix("Rust - Wikipedia - Google Chrome"), "Rust - Wikipedia");
  EXPECT_EQ(cutBrowserSuffix("Example Domain \xA1\xAA Mozilla Firefox"), "Example Domain");  // the em dash
  EXPECT_EQ(cutBrowserSuffix("A - B \xA1\xAA Mozilla Firefox Private Browsing"), "A - B");
  EXPECT_EQ(cutBrowserSuffix("Page \xA8\x44 Mozilla Firefox"), "Page");  // a horizontal bar
  EXPECT_EQ(cutBrowserSuffix("Page - Personal - Microsoft?Edge"), "Page");  // the zero-width space as GBK has it
  EXPECT_EQ(cutBrowserSuffix("Page - Work - Microsoft Edge"), "Page");
  EXPECT_EQ(cutBrowserSuffix("新闻 - 工作 - Microsoft\x81\x36\xA4\x37" "Edge"), "新闻");
  EXPECT_EQ(cutBrowserSuffix("Page - [InPrivate] - MicrosoftEdge"), "Page");
  // Not a profile: the page's own part stays.
  EXPECT_EQ(cutBrowserSuffix("Docs - Guide - Microsoft?Edge"), "Docs - Guide");
  EXPECT_EQ(cutBrowserSuffix("百度一下，你就知道 - 360安全浏览器"), "百度一下，你就知道");
  EXPECT_EQ(cutBrowserSuffix("Mail - Inbox - QQ浏览器"), "Mail - Inbox");
  EXPECT_EQ(cutBrowserSuffix("Page \xA8\x43 Brave"), "Page");  // an en dash
  // A name without a dash before it is part of the page's title; an
  // unknown browser's end still goes at the last " - ".
  EXPECT_EQ(cutBrowserSuffix("Why Firefox"), "Why Firefox");
  EXPECT_EQ(cutBrowserSuffix("Page - Some Browser"), "Page");
  EXPECT_EQ(cutBrowserSuffix("Google Chrome"), "Google Chrome");
  // A dash byte pair that is the tail of another character is no dash.
  EXPECT_EQ(cutBrowserSuffix("x\xB0\xA1\xAA Opera"), "x\xB0\xA1\xAA Opera");
}

TEST(TitleKey, HanziGiveTheirPinyinInitials) {
  EXPECT_EQ(titleKeyOf("中国"), "zg");
  EXPECT_EQ(titleKeyOf("安"), "a");
  EXPECT_EQ(titleKeyOf("长"), "c");  // GB2312 orders it under chang
  EXPECT_EQ(titleKeyOf("行"), "x");  // and this one under xing
  EXPECT_EQ(titleKeyOf("新浪Sina"), "xlSina");
  EXPECT_EQ(titleKeyOf("新闻 2016"), "xw 2016");
  EXPECT_EQ(titleKeyOf("安全知识"), "aqzs");
  // Full-width letters are converted first; punctuation and symbols vanish.
  EXPECT_EQ(titleKeyOf("\xA3\xC7\xA3\xE9\xA3\xF4"), "Git");
  EXPECT_EQ(titleKeyOf("《中》"), "z");
  EXPECT_EQ(titleKeyOf("中，"), "z,");  // the full-width comma becomes ASCII
  // "&" stays in the key.
  EXPECT_EQ(titleKeyOf("a&b"), "a&b");
}

TEST(TitleKey, LevelTwoHanziComeFromTheTable) {
  EXPECT_EQ(titleKeyOf("亍"), "c");  // D8A1, the first level-2 hanzi
  EXPECT_EQ(titleKeyOf("鑫琪"), "xq");
  EXPECT_EQ(pinyinInitial(0xD7, 0xFA), 0);  // past the last level-1 hanzi
  EXPECT_EQ(pinyinInitial(0xA1, 0xA1), 0);
}

TEST(TitleKey, EveryGb2312HanziHasAnInitial) {
  int missing = 0;
  for (int b1 = 0xB0; b1 <= 0xF7; ++b1) {
    for (int b2 = 0xA1; b2 <= 0xFE; ++b2) {
      if (b1 == 0xD7 && b2 > 0xF9) continue;
      const char c = pinyinInitial(static_cast<unsigned char>(b1), static_cast<unsigned char>(b2));
      if (c < 'a' || c > 'z' || c == 'i' || c == 'u' || c == 'v') ++missing;
    }
  }
  EXPECT_EQ(missing, 0);
}

}  // namespace
}  // namespace lh::text
