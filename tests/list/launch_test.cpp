#include "list/launch.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

#include "text/codepage.h"

namespace lh::list {
namespace {

// How a Windows program splits its command line into arguments: on Windows
// the system's own CommandLineToArgvW, elsewhere the same documented rules.
std::vector<std::string> argumentsOf(const std::string& line) {
#ifdef _WIN32
  const std::u16string w = text::gbkToUtf16(line);
  int n = 0;
  LPWSTR* argv = CommandLineToArgvW(reinterpret_cast<LPCWSTR>(w.c_str()), &n);
  std::vector<std::string> out;
  for (int i = 0; i < n; ++i) {
    out.push_back(text::utf16ToGbk(std::u16string(reinterpret_cast<const char16_t*>(argv[i]))));
  }
  LocalFree(argv);
  return out;
#else
  std::vector<std::string> out;
  std::size_t i = 0;
  // The program name: up to the closing quote, or the first blank.
  std::string arg;
  if (i < line.size() && line[i] == '"') {
    ++i;
    while (i < line.size() && line[i] != '"') arg += line[i++];
    ++i;
  } else {
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') arg += line[i++];
  }
  out.push_back(arg);
  while (true) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size()) break;
    arg.clear();
    bool quoted = false;
    while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
      std::size_t slashes = 0;
      while (i < line.size() && line[i] == '\\') ++slashes, ++i;
      if (i < line.size() && line[i] == '"') {
        arg.append(slashes / 2, '\\');
        if (slashes % 2) {
          arg += '"';
        } else if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
          arg += '"';
          ++i;
        } else {
          quoted = !quoted;
        }
        ++i;
      } else {
        arg.append(slashes, '\\');
        if (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) arg += line[i++];
      }
    }
    out.push_back(arg);
  }
  return out;
#endif
}

TEST(BrowserCommandLine, ThePathIsQuoted) {
  EXPECT_EQ(browserCommandLine("C:\\Program Files\\B\\b.exe", "http://x.com/"),
            "\"C:\\Program Files\\B\\b.exe\" \"http://x.com/\"");
}

TEST(BrowserCommandLine, TheBrowserReceivesExactlyTheStoredAddress) {
  const std::string path = "C:\\Program Files\\B\\b.exe";
  for (const std::string address :
       {"http://x.com/a b", "see example.com -new-window --incognito", "http://x.com/\\", "x.com\\\\",
        "http://x.com/?q=a&b=c", "新浪 http://sina.com.cn/", "  leading and trailing  "}) {
    const auto args = argumentsOf(browserCommandLine(path, address));
    ASSERT_EQ(args.size(), 2u) << address;
    EXPECT_EQ(args[0], path);
    EXPECT_EQ(args[1], address);
  }
}

TEST(BrowserCommandLine, DoubleQuotesBecomePercent22) {
  const auto args = argumentsOf(browserCommandLine("b.exe", "say \"hi\" \" --flag"));
  ASSERT_EQ(args.size(), 2u);
  EXPECT_EQ(args[1], "say %22hi%22 %22 --flag");
}

}  // namespace
}  // namespace lh::list
