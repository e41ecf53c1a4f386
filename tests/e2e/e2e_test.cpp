// End-to-end tests of the real Linkhoard.exe, run under Wine (or on Windows):
// this program starts it in a fresh run directory, plays the user through
// window messages, and reads the windows and the data files.
#include <windows.h>

#include <gtest/gtest.h>
#include <png.h>

#include "store/codec.h"

#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::wstring widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
  for (int waited = 0; waited < timeoutMs; waited += 50) {
    if (done()) return true;
    Sleep(50);
  }
  return done();
}

std::string readFile(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool fileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void writeFile(const std::wstring& path, const std::string& bytes) {
  std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
  out << bytes;
}

// The screen's pixels in a rectangle (BGRA).
std::vector<std::uint32_t> grab(int left, int top, int width, int height) {
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, width, height, screen, left, top, SRCCOPY);
  GdiFlush();
  std::vector<std::uint32_t> out(static_cast<const std::uint32_t*>(bits),
                                 static_cast<const std::uint32_t*>(bits) + width * height);
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return out;
}

// Saves the whole screen as a PNG test artifact.
void screenshot(const std::string& name) {
  const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  std::vector<std::uint32_t> pixels = grab(0, 0, w, h);
  for (std::uint32_t& px : pixels) px |= 0xFF000000u;
  png_image img{};
  img.version = PNG_IMAGE_VERSION;
  img.width = w;
  img.height = h;
  img.format = PNG_FORMAT_BGRA;
  CreateDirectoryA(LH_ARTIFACTS, nullptr);
  const std::string path = std::string(LH_ARTIFACTS) + "/" + name;
  png_image_write_to_file(&img, path.c_str(), 0, pixels.data(), 0, nullptr);
}

class Program {
 public:
  explicit Program(const std::wstring& runDir) : runDir_(runDir) {}
  ~Program() { stop(); }

  bool start() {
    std::wstring exe = runDir_ + L"\\Linkhoard.exe";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    std::wstring cmd = L"\"" + exe + L"\"";
    if (!CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, runDir_.c_str(), &si, &pi_)) {
      return false;
    }
    started_ = true;
    return true;
  }
  HWND window(const wchar_t* title) const { return FindWindowW(L"LinkhoardWindow", title); }
  RECT rect(const wchar_t* title) const {
    RECT r{};
    if (HWND w = window(title)) GetWindowRect(w, &r);
    return r;
  }
  bool docked() const {
    HWND w = window(L"Linkhoard");
    return w && IsWindowVisible(w) && rect(L"Linkhoard").left == 6;
  }
  bool waitDocked() { return waitUntil([this] { return docked(); }, 30000); }
  bool ended(int timeoutMs) { return !started_ || WaitForSingleObject(pi_.hProcess, timeoutMs) == WAIT_OBJECT_0; }
  DWORD exitCode() {
    DWORD code = 0;
    GetExitCodeProcess(pi_.hProcess, &code);
    return code;
  }
  // Closes the main window the way the system does (Alt+F4, the close command).
  void close() {
    if (HWND w = window(L"Linkhoard")) PostMessageW(w, WM_CLOSE, 0, 0);
  }
  void stop() {
    if (!started_) return;
    if (!ended(0)) {
      close();
      if (!ended(10000)) TerminateProcess(pi_.hProcess, 1);
    }
    CloseHandle(pi_.hThread);
    CloseHandle(pi_.hProcess);
    started_ = false;
  }

 private:
  std::wstring runDir_;
  PROCESS_INFORMATION pi_{};
  bool started_ = false;
};

class EndToEnd : public ::testing::Test {
 protected:
  std::wstring run;
  std::wstring data;

  void SetUp() override {
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    run = std::wstring(tmp) + L"linkhoard-e2e-" + widen(info->name()) + L"-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(run.c_str(), nullptr);
    data = run + L"\\data";
    ASSERT_TRUE(CopyFileW(widen(LH_PROGRAM).c_str(), (run + L"\\Linkhoard.exe").c_str(), FALSE));
  }
};

TEST_F(EndToEnd, StartsAndDocksAtTheLeftEdgeWithItsShadows) {
  Program p(run);
  ASSERT_TRUE(p.start());
  ASSERT_TRUE(p.waitDocked()) << "left " << p.rect(L"Linkhoard").left;
  const RECT main = p.rect(L"Linkhoard");
  EXPECT_EQ(main.right - main.left, 350);
  EXPECT_EQ(main.top, 0);
  EXPECT_EQ(main.bottom, GetSystemMetrics(SM_CYSCREEN));
  const RECT right = p.rect(L"RightEdgeTabWindow");
  const RECT left = p.rect(L"LeftEdgeTabWindow");
  EXPECT_EQ(right.left, 356);
  EXPECT_EQ(right.right - right.left, 20);
  EXPECT_EQ(left.left, 6 - 20);
  EXPECT_TRUE(IsWindowVisible(p.window(L"RightEdgeTabWindow")));
  EXPECT_TRUE(IsWindowVisible(p.window(L"LeftEdgeTabWindow")));
  // A first run made the data directory and its store file.
  EXPECT_TRUE(fileExists(data + L"\\udb"));
  EXPECT_TRUE(fileExists(data + L"\\ico"));
  EXPECT_FALSE(fileExists(run + L"\\sat"));
  Sleep(500);
  screenshot("docked.png");
}

// A store of the ten fixed entries, a category and a few bookmarks in the root.
std::string sampleStore() {
  using lh::store::Entry;
  std::string file;
  auto line = [&file](Entry e) { file += lh::store::serializeLine(e) + "\r\n"; };
  const char* titles[] = {"我的收藏", "回收站"};
  for (int i = 1; i <= 10; ++i) {
    Entry e;
    e.title = i <= 2 ? titles[i - 1] : "保留";
    e.kind = lh::store::kCategory;
    e.url = i == 1 ? "u11u12u13u14u15u16u" : "u";
    line(e);
  }
  Entry cat;
  cat.title = "工作资料";
  cat.kind = lh::store::kCategory;
  cat.url = "u";
  cat.parentId = 1;
  line(cat);
  const char* pages[][2] = {{"新浪首页", "http://www.sina.com.cn/"},
                            {"Example Domain", "http://example.com/"},
                            {"中国政府网", "http://www.gov.cn/"}};
  for (auto& p : pages) {
    Entry b;
    b.title = p[0];
    b.url = p[1];
    b.kind = lh::store::kBookmark;
    b.parentId = 1;
    b.added = 46000;
    line(b);
  }
  Entry sep;
  sep.kind = lh::store::kSeparator;
  sep.parentId = 1;
  line(sep);
  Entry last;
  last.title = "A bookmark after a separator";
  last.url = "http://last.org/";
  last.kind = lh::store::kBookmark;
  last.parentId = 1;
  line(last);
  return file;
}

TEST_F(EndToEnd, ShowsTheRootCategory) {
  CreateDirectoryW(data.c_str(), nullptr);
  writeFile(data + L"\\udb", sampleStore());
  Program p(run);
  ASSERT_TRUE(p.start());
  ASSERT_TRUE(p.waitDocked());
  Sleep(800);
  screenshot("root-list.png");
}

std::wstring readUtf16(const std::wstring& path) {
  const std::string bytes = readFile(path);
  return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
}

TEST_F(EndToEnd, ClickingABookmarkStartsTheBrowserAndTheVisitIsStored) {
  CreateDirectoryW(data.c_str(), nullptr);
  writeFile(data + L"\\udb", sampleStore());
  const std::wstring browser = run + L"\\Browser Dir\\recorder.exe";
  CreateDirectoryW((run + L"\\Browser Dir").c_str(), nullptr);
  ASSERT_TRUE(CopyFileW(widen(LH_RECORDER).c_str(), browser.c_str(), FALSE));
  // The settings name the browser (GBK file; the path is ASCII here).
  std::string ascii(browser.begin(), browser.end());
  writeFile(data + L"\\config.ini", "[浏览器]\r\n地址=" + ascii + "\r\n名称=recorder\r\n");
  Program p(run);
  ASSERT_TRUE(p.start());
  ASSERT_TRUE(p.waitDocked());
  Sleep(500);
  // Row 3 of the list (the second member, 新浪首页), on its title.
  HWND main = p.window(L"Linkhoard");
  const LPARAM at = MAKELPARAM(120, 202 + 2 * 20 + 8);
  PostMessageW(main, WM_MOUSEMOVE, 0, at);
  PostMessageW(main, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(main, WM_LBUTTONUP, 0, at);
  const std::wstring launched = run + L"\\Browser Dir\\launched.txt";
  ASSERT_TRUE(waitUntil([&] { return fileExists(launched) && !readUtf16(launched).empty(); }, 15000));
  EXPECT_EQ(readUtf16(launched), L"\"" + browser + L"\" \"http://www.sina.com.cn/\"");
  p.stop();
  // The visit is in the change log: record 02 for entry 12 (新浪首页).
  const std::string log = readFile(data + L"\\bein");
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(static_cast<unsigned char>(log[0]), 2);
  EXPECT_EQ(static_cast<unsigned char>(log[5]), 12);
}

int differing(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
  int n = 0;
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) n += (a[i] & 0xFFFFFF) != (b[i] & 0xFFFFFF);
  return n;
}

// The root holds a category of 40 bookmarks and 300 bookmarks of its own.
std::string largeStore() {
  using lh::store::Entry;
  std::string file;
  auto line = [&file](const Entry& e) { file += lh::store::serializeLine(e) + "\r\n"; };
  std::string root = "u11u";
  for (int i = 0; i < 300; ++i) root += std::to_string(52 + i) + "u";
  std::string inner = "u";
  for (int i = 0; i < 40; ++i) inner += std::to_string(12 + i) + "u";
  for (int i = 1; i <= 10; ++i) {
    Entry e;
    e.title = i == 1 ? "我的收藏" : (i == 2 ? "回收站" : "保留");
    e.kind = lh::store::kCategory;
    e.url = i == 1 ? root : "u";
    line(e);
  }
  Entry cat;
  cat.title = "工作资料";
  cat.kind = lh::store::kCategory;
  cat.url = inner;
  cat.parentId = 1;
  line(cat);
  for (int i = 0; i < 340; ++i) {
    Entry b;
    b.title = (i < 40 ? "资料 " : "书签 ") + std::to_string(i);
    b.url = "http://site" + std::to_string(i % 37) + ".com/" + std::to_string(i);
    b.kind = lh::store::kBookmark;
    b.parentId = i < 40 ? 11 : 1;
    b.added = 46000 - i;
    b.visitCount = i % 7;
    b.lastVisit = b.visitCount ? 46000 - i / 3.0 : 0;
    line(b);
  }
  return file;
}

TEST_F(EndToEnd, TheListScrollsOpensACategoryGoesBackAndShowsAView) {
  CreateDirectoryW(data.c_str(), nullptr);
  writeFile(data + L"\\udb", largeStore());
  Program p(run);
  ASSERT_TRUE(p.start());
  ASSERT_TRUE(p.waitDocked());
  Sleep(800);
  HWND main = p.window(L"Linkhoard");
  auto list = [] { return grab(6, 202, 350, 600); };
  auto click = [main](int x, int y) {
    const LPARAM at = MAKELPARAM(x, y);
    PostMessageW(main, WM_MOUSEMOVE, 0, at);
    PostMessageW(main, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(main, WM_LBUTTONUP, 0, at);
  };
  const auto root = list();
  screenshot("list-root.png");

  // Into the category (row 2, its title), then back through the root's bar.
  click(120, 202 + 20 + 8);
  Sleep(800);
  const auto inside = list();
  screenshot("list-category.png");
  EXPECT_GT(differing(root, inside), 5000);
  click(120, 165);
  Sleep(800);
  const auto back = list();
  EXPECT_LT(differing(root, back), 3000);  // the same rows; the category's title now black

  // The wheel: one notch towards the user scrolls the long list.
  PostMessageW(main, WM_MOUSEMOVE, 0, MAKELPARAM(120, 400));
  PostMessageW(main, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), MAKELPARAM(6 + 120, 400));
  Sleep(800);
  const auto scrolled = list();
  screenshot("list-scrolled.png");
  EXPECT_GT(differing(back, scrolled), 5000);

  // The top bar switches to the visit-count view.
  click(120, 165);
  Sleep(800);
  screenshot("list-flat-view.png");
  EXPECT_GT(differing(scrolled, list()), 5000);
  p.stop();
  // The category's visit reached the change log.
  const std::string log = readFile(data + L"\\bein");
  ASSERT_GE(log.size(), 6u);
  EXPECT_EQ(static_cast<unsigned char>(log[0]), 2);
  EXPECT_EQ(static_cast<unsigned char>(log[5]), 11);
}

TEST_F(EndToEnd, ClosingTheWindowRunsTheExitAndEndsTheProcess) {
  Program p(run);
  ASSERT_TRUE(p.start());
  ASSERT_TRUE(p.waitDocked());
  p.close();
  EXPECT_TRUE(p.ended(10000));
  EXPECT_EQ(p.exitCode(), 0u);
  EXPECT_EQ(FindWindowW(L"LinkhoardWindow", L"RightEdgeTabWindow"), nullptr);
}

HWND findRecoveryDialog() { return FindWindowW(L"#32770", L"信息："); }

TEST_F(EndToEnd, AStaleStartMarkerShowsTheRecoveryMessageOnceAndKeepsTheLog) {
  {
    Program first(run);  // a first run makes the data directory
    ASSERT_TRUE(first.start());
    ASSERT_TRUE(first.waitDocked());
  }
  const std::string log = "not replayed: kept aside";
  writeFile(data + L"\\bein", log);
  writeFile(run + L"\\sat", "");
  Program p(run);
  ASSERT_TRUE(p.start());
  HWND dialog = nullptr;
  ASSERT_TRUE(waitUntil([&] { return (dialog = findRecoveryDialog()) != nullptr; }, 30000));
  // Its text (the dialog may be found before its controls exist).
  auto showsTheMessage = [&] {
    for (HWND c = FindWindowExW(dialog, nullptr, nullptr, nullptr); c; c = FindWindowExW(dialog, c, nullptr, nullptr)) {
      wchar_t text[256] = {};
      GetWindowTextW(c, text, 255);
      if (std::wstring(text) == L"有错误，数据恢复") return true;
    }
    return false;
  };
  EXPECT_TRUE(waitUntil(showsTheMessage, 10000));
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(p.waitDocked());
  EXPECT_FALSE(fileExists(data + L"\\bein"));
  EXPECT_EQ(readFile(data + L"\\bein.bak"), log);
  p.stop();

  Program again(run);
  ASSERT_TRUE(again.start());
  ASSERT_TRUE(again.waitDocked());
  Sleep(1000);
  EXPECT_EQ(findRecoveryDialog(), nullptr);
}

TEST_F(EndToEnd, TheSystemBrowserFromTheRegistryGoesIntoTheSettings) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  wchar_t old[2048] = {};
  DWORD oldSize = sizeof old;
  const bool hadOld = RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(old), &oldSize) == ERROR_SUCCESS;
  const std::wstring command = L"\"C:\\Browsers\\Fake Browser\\fakebrowser.exe\" -url \"%1\"";
  RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                 static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
  Program p(run);
  ASSERT_TRUE(p.start());
  ASSERT_TRUE(p.waitDocked());
  const std::string ini = readFile(data + L"\\config.ini");
  EXPECT_NE(ini.find("地址=C:\\Browsers\\Fake Browser\\fakebrowser.exe"), std::string::npos) << ini;
  EXPECT_NE(ini.find("名称=fakebrowser"), std::string::npos) << ini;
  p.stop();
  if (hadOld) {
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(old), oldSize);
  }
  RegCloseKey(key);
}

}  // namespace
