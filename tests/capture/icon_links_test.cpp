// The icons a page declares, in the order a browser tries them: real pages
// of real sites with the icon today's browsers pick, and the rules' cases.
#include "capture/icon_links.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace lh::capture {
namespace {

std::string readFixture(const std::string& name) {
  std::ifstream in(std::string(LH_FIXTURES) + "/" + name, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The icon a browser would ask for first.
std::string firstChoice(const std::string& html, const std::string& page) {
  const std::vector<std::string> tried = iconsToTry(html, page);
  return tried.empty() ? std::string() : tried.front();
}

std::vector<std::string> icons(const std::string& html, const std::string& page) {
  return declaredIcons(html, page).icons;
}

TEST(DeclaredIcons, RealPagesGiveTheIconABrowserPicks) {
  std::istringstream table(readFixture("pages/expected.tsv"));
  std::string line;
  std::getline(table, line);  // the heading
  int pages = 0;
  while (std::getline(table, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> f;
    std::istringstream cells(line);
    for (std::string cell; std::getline(cells, cell, '\t');) f.push_back(cell);
    ASSERT_EQ(f.size(), 4u) << line;
    const std::string html = readFixture("pages/" + f[0]);
    ASSERT_FALSE(html.empty()) << f[0];
    const std::string chosen = firstChoice(html, f[1]);
    EXPECT_TRUE(chosen == f[2] || chosen == f[3]) << f[0] << ": " << chosen << " (browsers: " << f[2] << ", " << f[3]
                                                 << ")";
    ++pages;
  }
  EXPECT_EQ(pages, 20);
}

TEST(DeclaredIcons, RelIsATokenInAnyCaseAndAttributesComeInAnyOrderAndQuoting) {
  const std::string page = "https://site.example/dir/page.html";
  EXPECT_EQ(icons("<link rel=\"SHORTCUT ICON\" href=\"/a.ico\">", page),
            std::vector<std::string>{"https://site.example/a.ico"});
  EXPECT_EQ(icons("<LINK HREF='b.png' TYPE='image/png' REL='icon'>", page),
            std::vector<std::string>{"https://site.example/dir/b.png"});
  EXPECT_EQ(icons("<link rel=icon href=c.png>", page), std::vector<std::string>{"https://site.example/dir/c.png"});
  EXPECT_EQ(icons("<link\nrel = \"alternate icon\"\n href = \"//cdn.example/d.ico\" />", page),
            std::vector<std::string>{"https://cdn.example/d.ico"});
  // Not the token: another relation that merely contains the letters.
  EXPECT_TRUE(icons("<link rel=\"iconic\" href=\"/x.png\"><link rel=\"stylesheet\" href=\"icon.css\">", page)
                  .empty());
  // Entities in the address; white space around it.
  EXPECT_EQ(icons("<link rel=icon href=\" /i?a=1&amp;b=2&#38;c=3 \">", page),
            std::vector<std::string>{"https://site.example/i?a=1&b=2&c=3"});
}

TEST(DeclaredIcons, TheBaseAddressAndThePagesFinalAddressResolveTheHref) {
  EXPECT_EQ(icons("<base href=\"http://other.example/root/\"><link rel=icon href=\"f.ico\">",
                          "https://site.example/a/b"),
            std::vector<std::string>{"http://other.example/root/f.ico"});
  // A relative base is read against the page; only the first base counts.
  EXPECT_EQ(icons("<base href=\"/up/\"><base href=\"http://no.example/\"><link rel=icon href=\"../f.ico\">",
                          "http://site.example:8080/a/b"),
            std::vector<std::string>{"http://site.example:8080/f.ico"});
  EXPECT_EQ(faviconOf("https://site.example:8443/deep/page?q"), "https://site.example:8443/favicon.ico");
  EXPECT_EQ(faviconOf("not an address"), "");
  // Addresses of other schemes are no icon.
  EXPECT_TRUE(icons("<link rel=icon href=\"javascript:alert(1)\">", "http://s.example/").empty());
}

TEST(DeclaredIcons, SizesRankSixteenThenThirtyTwoThenTheNearestAndTouchIconsLast) {
  const std::string page = "http://s.example/";
  const std::string html =
      "<link rel=apple-touch-icon sizes=16x16 href=/touch.png>"
      "<link rel=icon href=/plain1.ico>"
      "<link rel=icon sizes=8x8 href=/8.png>"
      "<link rel=icon sizes=12x12 href=/12.png>"
      "<link rel=icon sizes=192x192 href=/192.png>"
      "<link rel=icon sizes=48x48 href=/48.png>"
      "<link rel=icon sizes=32x32 href=/32.png>"
      "<link rel=icon sizes=\"16x16 64x64\" href=/16.ico>"
      "<link rel=icon href=/plain2.ico>"
      "<link rel=icon href=/plain.png>"
      "<link rel=icon sizes=16x16 href=/16b.png>";
  const std::vector<std::string> want = {
      "http://s.example/16b.png", "http://s.example/16.ico", "http://s.example/plain2.ico",
      "http://s.example/plain1.ico", "http://s.example/32.png", "http://s.example/48.png",
      "http://s.example/192.png", "http://s.example/12.png", "http://s.example/8.png",
      "http://s.example/plain.png"};
  EXPECT_EQ(icons(html, page), want);
  // Touch icons only after the site's own "/favicon.ico".
  const std::vector<std::string> tried = iconsToTry(html, page);
  ASSERT_EQ(tried.size(), want.size() + 2);
  EXPECT_EQ(tried[want.size()], "http://s.example/favicon.ico");
  EXPECT_EQ(tried.back(), "http://s.example/touch.png");
  EXPECT_EQ(iconsToTry("<link rel=apple-touch-icon href=/t.png>", page),
            (std::vector<std::string>{"http://s.example/favicon.ico", "http://s.example/t.png"}));
}

TEST(DeclaredIcons, SvgAndMaskIconsAreLeftOutAndDataIconsKept) {
  const std::string page = "http://s.example/";
  EXPECT_EQ(icons("<link rel=icon type=\"image/svg+xml\" href=/a><link rel=icon href=/b.SVG?v=2>"
                          "<link rel=mask-icon href=/m.png><link rel=icon href=/ok.png>",
                          page),
            std::vector<std::string>{"http://s.example/ok.png"});
  const std::vector<std::string> data = icons("<link rel=icon href=\"data:image/png;base64,iVBORw0K\">", page);
  ASSERT_EQ(data.size(), 1u);
  EXPECT_EQ(dataUrlBytes(data[0]), std::string("\x89PNG\r\n", 6));
  EXPECT_EQ(dataUrlBytes("data:,A%20b"), "A b");
  EXPECT_EQ(dataUrlBytes("data:image/png;base64,!!"), "");
  EXPECT_EQ(dataUrlBytes("http://s.example/"), "");
}

TEST(DeclaredIcons, OnlyTheHeadCountsNotCommentsScriptsOrTheBody) {
  const std::string page = "http://s.example/";
  EXPECT_TRUE(icons("<!-- <link rel=icon href=/c.png> --><script>var s='<link rel=icon href=/s.png>'"
                            "</script><style>/* <link rel=icon href=/y.png> */</style>",
                            page)
                  .empty());
  EXPECT_TRUE(icons("<head></head><link rel=icon href=/after.png>", page).empty());
  EXPECT_TRUE(icons("<title>x</title><body><link rel=icon href=/body.png>", page).empty());
  // A page cut off in the middle of a tag, or of a quoted value.
  EXPECT_TRUE(icons("<link rel=icon href=\"/cut", page).empty());
  EXPECT_TRUE(icons("<link rel=\"icon", page).empty());
  EXPECT_TRUE(icons("<link rel=icon href=/cut", page).empty());
}

}  // namespace
}  // namespace lh::capture
