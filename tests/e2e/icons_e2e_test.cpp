// Site icons from today's web, through the real program: bookmarks of https
// sites saved before their icons could be found are tried again in the
// background after the start, each ending with the icon a browser would
// choose or with none, within the bound, while the window answers. The
// sites are tests/support/tls_sites.py's (its own authority, host names of
// their own), which runs this program.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "capture/icon_record.h"
#include "capture/icons.h"
#include "e2e/e2e_support.h"
#include "store/codec.h"
#include "text/ini.h"
#include "win/tls_sites.h"

namespace {

using namespace lh::e2e;

// The middle pixel of an icon record (a 24-bit bottom-up BMP), as 0xRRGGBB.
std::uint32_t middleOf(const std::string& record) {
  const std::size_t at = lh::capture::kIconHeaderSize + (16 - 1 - 8) * 48 + 8 * 3;
  if (record.size() < at + 3) return 0xFFFFFFFF;
  const auto byte = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(record[i])); };
  return byte(at + 2) << 16 | byte(at + 1) << 8 | byte(at);
}

class HttpsIcons : public EndToEnd {
 protected:
  // The host key of a site ("host:port"), as the index holds it.
  static std::string hostOf(const std::string& label) { return lh::test::tlsSites().at(label); }
  int valueOf(const std::string& label) {
    const std::string v = lh::text::IniDocument(readFile(data + L"\\icon")).get("ico", hostOf(label));
    return v.empty() ? 0 : std::stoi(v);
  }
  std::string recordOf(const std::string& label) {
    const int n = valueOf(label);
    const std::string strip = readFile(data + L"\\ico");
    if (n < 1 || static_cast<std::size_t>(n) * lh::capture::kIconRecordSize > strip.size()) return {};
    return strip.substr(static_cast<std::size_t>(n - 1) * lh::capture::kIconRecordSize, lh::capture::kIconRecordSize);
  }
};

TEST_F(HttpsIcons, OldHttpsBookmarksGetTheIconsABrowserWouldChooseInTheBackground) {
  ASSERT_FALSE(lh::test::tlsSite("good").empty()) << lh::test::kRunThroughTlsSites;
  using lh::test::tlsSite;
  CreateDirectoryW(data.c_str(), nullptr);
  writeFile(data + L"\\udb", storeWith({
                                 {"Declares PNG icons with sizes", tlsSite("good") + "/icons"},
                                 {"Its favicon is a redirect", tlsSite("other") + "/page"},
                                 {"http, moved to https", tlsSite("plain") + "/to-https/icons"},
                                 {"Expired certificate", tlsSite("expired") + "/icons"},
                                 {"Certificate for another name", tlsSite("wrongname") + "/icons"},
                                 {"Certificate nobody trusts", tlsSite("untrusted") + "/icons"},
                                 {"Handshake never answered", tlsSite("stall") + "/"},
                             }));
  // Saved by an earlier version: one host at "-1", the others never fetched.
  CreateDirectoryW(data.c_str(), nullptr);
  writeFile(data + L"\\icon", "[ico]\r\n" + hostOf("good") + "=-1\r\n");
  Program p(run);
  ASSERT_TRUE(p.start());
  ASSERT_TRUE(p.waitDocked());
  // The sweep starts a while after the start and goes host by host; the
  // window answers all the while (the fetches run on the worker).
  HWND main = p.window(L"Linkhoard");
  ULONGLONG slowest = 0;
  const ULONGLONG start = GetTickCount64();
  const auto sweptDay = [&] {
    return !lh::text::IniDocument(readFile(data + L"\\config.ini"))
                .get(lh::capture::kRetrySection, lh::capture::kRetryDayKey)
                .empty();
  };
  // The delay, then seven sites of at most two 6-s requests each.
  const ULONGLONG bound = lh::capture::kRetryDelayMs + 7 * 2 * 6000 + 10000;
  while (!sweptDay() && GetTickCount64() - start < bound) {
    const ULONGLONG asked = GetTickCount64();
    DWORD_PTR result = 0;
    ASSERT_NE(SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result), 0);
    slowest = std::max(slowest, GetTickCount64() - asked);
    Sleep(200);
  }
  ASSERT_TRUE(sweptDay()) << readFile(data + L"\\icon");
  std::printf("sweep of 7 https bookmarks ended %llu ms after the start; slowest answer of the window %llu ms\n",
              static_cast<unsigned long long>(GetTickCount64() - start), static_cast<unsigned long long>(slowest));
  const std::string index = readFile(data + L"\\icon");
  // The 16-pixel PNG the page declares (green), not its 32-pixel one.
  EXPECT_EQ(middleOf(recordOf("good")), 0x00A000u) << index;
  // The favicon's redirect followed to the 32-pixel PNG, reduced (red).
  EXPECT_EQ(middleOf(recordOf("other")), 0xC80000u) << index;
  // From http to https: the page came from the good site, its icon too,
  // shared by digest.
  EXPECT_EQ(valueOf("plain"), valueOf("good")) << index;
  // Bad certificates and a stalled handshake: nothing, "-1".
  for (const char* label : {"expired", "wrongname", "untrusted", "stall"}) {
    EXPECT_EQ(valueOf(label), -1) << label << "\n" << index;
  }
  pointTo(900, 950);
  const std::vector<std::uint32_t> list = settledList();
  const auto count = [&](std::uint32_t rgb) {
    return std::count_if(list.begin(), list.end(), [rgb](std::uint32_t px) { return (px & 0xFFFFFF) == rgb; });
  };
  screenshot("https-icons.png");
  EXPECT_GE(count(0x00A000), 2 * 200);  // the good site's row and the moved one's
  EXPECT_GE(count(0xC80000), 200);
}

}  // namespace
