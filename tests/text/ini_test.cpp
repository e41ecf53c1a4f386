#include "text/ini.h"

#include <gtest/gtest.h>

#include "text/memory_filesystem.h"

namespace lh::text {
namespace {

TEST(IniRead, SectionsAndKeysIgnoreAsciiCase) {
  IniDocument doc("[Browser]\r\nPath = C:\\b.exe \r\n[浏览器]\r\n地址=D:\\x.exe\r\n");
  EXPECT_EQ(doc.get("browser", "PATH"), "C:\\b.exe");
  EXPECT_EQ(doc.get("浏览器", "地址"), "D:\\x.exe");
  EXPECT_EQ(doc.get("浏览器", "名称"), "");
  EXPECT_FALSE(doc.find("missing", "x").has_value());
}

TEST(IniRead, TrimsBlanksAndOnePairOfQuotes) {
  IniDocument doc("[s]\n  a =\t\" spaced \"  \nb='x'\nc=\"unbalanced\nd\n");
  EXPECT_EQ(doc.get("s", "a"), " spaced ");
  EXPECT_EQ(doc.get("s", "b"), "x");
  EXPECT_EQ(doc.get("s", "c"), "\"unbalanced");
  EXPECT_EQ(doc.find("s", "d"), std::string());
}

TEST(IniRead, FirstMatchWinsAndCommentsAreNotKeys) {
  IniDocument doc("[s]\n;k=commented\nk=1\nk=2\n[S]\nk=3\nj=4\n");
  EXPECT_EQ(doc.get("s", "k"), "1");
  EXPECT_EQ(doc.get("s", "j"), "4");  // a later section of the same name is searched too
  EXPECT_EQ(doc.get("s", ";k"), "");
}

TEST(IniRead, LongValuesAreCut) {
  const std::string big(20000, 'x');
  IniDocument doc("[s]\nk=" + big + "\n");
  EXPECT_EQ(doc.get("s", "k").size(), kMaxProfileValue);
}

TEST(IniWrite, ChangesOneKeyAndKeepsEveryOtherLine) {
  const std::string before = "; top comment\n[a]\nx=1\r\n\n[b]\ny = 2 ; note\nz\n";
  IniDocument doc(before);
  doc.set("A", "X", "10");
  EXPECT_EQ(doc.bytes(), "; top comment\n[a]\nx=10\r\n\n[b]\ny = 2 ; note\nz\n");
  doc.set("b", "new", "v");
  EXPECT_EQ(doc.bytes(), "; top comment\n[a]\nx=10\r\n\n[b]\ny = 2 ; note\nz\nnew=v\r\n");
  doc.set("a", "w", "3");  // goes after the last key of [a], before the blank line
  EXPECT_EQ(doc.bytes(), "; top comment\n[a]\nx=10\r\nw=3\r\n\n[b]\ny = 2 ; note\nz\nnew=v\r\n");
}

TEST(IniWrite, AddsAMissingSectionAtTheEnd) {
  IniDocument doc("[a]\nx=1");  // no line end after the last line
  doc.set("浏览器", "地址", "C:\\b.exe");
  EXPECT_EQ(doc.bytes(), "[a]\nx=1\r\n[浏览器]\r\n地址=C:\\b.exe\r\n");
  IniDocument empty;
  empty.set("s", "k", "v");
  EXPECT_EQ(empty.bytes(), "[s]\r\nk=v\r\n");
}

TEST(IniWrite, LineBreaksCannotSplitALine) {
  IniDocument doc;
  doc.set("s", "k", "one\r\ntwo");
  EXPECT_EQ(doc.get("s", "k"), "onetwo");
  EXPECT_EQ(IniDocument(doc.bytes()).get("s", "k"), "onetwo");
}

TEST(IniWrite, RemoveDeletesTheKeyOnly) {
  IniDocument doc("[ico]\nx.com=3\ny.com=-1\n[md5]\nx.com=9\n");
  EXPECT_TRUE(doc.remove("ICO", "x.com"));
  EXPECT_FALSE(doc.remove("ico", "x.com"));
  EXPECT_EQ(doc.bytes(), "[ico]\ny.com=-1\n[md5]\nx.com=9\n");
}

TEST(ProfileFile, MissingFileReadsEmptyAndWritesCreateIt) {
  MemoryFileSystem fs;
  EXPECT_EQ(readProfileString(fs, "c.ini", "s", "k"), "");
  EXPECT_TRUE(writeProfileString(fs, "c.ini", "s", "k", "v"));
  EXPECT_EQ(readProfileString(fs, "c.ini", "S", "K"), "v");
  EXPECT_TRUE(deleteProfileKey(fs, "c.ini", "s", "k"));
  EXPECT_EQ(fs.files["c.ini"], "[s]\r\n");
  EXPECT_TRUE(deleteProfileKey(fs, "none.ini", "s", "k"));
  EXPECT_FALSE(fs.exists("none.ini"));
}

TEST(ProfileFile, AFailedWriteLeavesTheFileAsItWas) {
  MemoryFileSystem fs;
  fs.files["c.ini"] = "[s]\r\nk=old\r\n";
  fs.replacesBeforeFailure = 0;
  EXPECT_FALSE(writeProfileString(fs, "c.ini", "s", "k", "new"));
  EXPECT_EQ(fs.files["c.ini"], "[s]\r\nk=old\r\n");
}

TEST(CachedIni, ReadsFromMemoryAndWritesThrough) {
  MemoryFileSystem fs;
  fs.files["icon"] = "[ico]\r\na.com=1\r\n";
  CachedIniFile ini(fs, "icon");
  EXPECT_EQ(ini.get("ico", "a.com"), "1");
  ini.set("ico", "b.com", "-1");
  EXPECT_EQ(fs.files["icon"], "[ico]\r\na.com=1\r\nb.com=-1\r\n");
  fs.files["icon"] = "[ico]\r\n";  // changed behind its back: still served from memory
  EXPECT_EQ(ini.get("ico", "a.com"), "1");
  ini.reload();
  EXPECT_EQ(ini.get("ico", "a.com"), "");
}

}  // namespace
}  // namespace lh::text
