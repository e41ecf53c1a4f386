// What the end-to-end tests share: the user's hands (real input through
// SendInput), the screen's pixels, the program started in a fresh run
// directory, and its files read back.
#pragma once

#include "win/loopback_server.h"  // (winsock2 before windows.h)

#include <windows.h>

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "store/codec.h"
#include "ui/layout.h"

namespace lh::e2e {

namespace layout = lh::layout;
// Where the docked main window's parts stand on the screen (its top at 0).
inline constexpr int kLeft = layout::kDockedLeft;
inline constexpr int kListTop = layout::listTopFor(1);  // under one bar
inline constexpr int kRow = layout::kRowHeight;
// A point inside the search box.
inline constexpr int kSearchX = kLeft + layout::kSearchBox.left + 54, kSearchY = layout::kSearchBox.top + 8;
// How long a state a test waits for may take to come (on a loaded machine
// too): most of them, and the slow ones (a fetch, an import, a start).
inline constexpr int kWaitMs = 10000;
inline constexpr int kSlowWaitMs = 20000;

inline std::wstring widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

inline bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
  for (int waited = 0; waited < timeoutMs; waited += 50) {
    if (done()) return true;
    Sleep(50);
  }
  return done();
}

inline std::string readFile(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline bool fileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline void writeFile(const std::wstring& path, const std::string& bytes) {
  std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
  out << bytes;
}

// The screen's pixels in a rectangle (BGRA).
inline std::vector<std::uint32_t> grab(int left, int top, int width, int height) {
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

// ------------------------------------------------------------ the user's hands

inline void sendMouse(DWORD flags, int x = 0, int y = 0, DWORD data = 0) {
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = flags;
  in.mi.mouseData = data;
  if (flags & MOUSEEVENTF_ABSOLUTE) {
    // Normalised 0..65535 over the primary screen, rounded up: the system
    // maps back by cutting (x = dx * width / 65536), and a value rounded to
    // the nearest can land a pixel short (106 of 1920 came out as 105).
    const LONGLONG w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    in.mi.dx = static_cast<LONG>((x * 65536LL + w - 1) / w);
    in.mi.dy = static_cast<LONG>((y * 65536LL + h - 1) / h);
  }
  SendInput(1, &in, sizeof in);
}

// Moves the pointer to the screen point and waits until it is there.
inline void pointTo(int x, int y) {
  sendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, x, y);
  waitUntil(
      [&] {
        POINT p{};
        GetCursorPos(&p);
        return p.x == x && p.y == y;
      },
      5000);
}

inline void clickAt(int x, int y) {
  pointTo(x, y);
  sendMouse(MOUSEEVENTF_LEFTDOWN);
  sendMouse(MOUSEEVENTF_LEFTUP);
}

// The four button events in one call: a test thread held up between two
// calls would make them two single clicks.
inline void doubleClickAt(int x, int y) {
  pointTo(x, y);
  INPUT in[4]{};
  for (int i = 0; i < 4; ++i) {
    in[i].type = INPUT_MOUSE;
    in[i].mi.dwFlags = i % 2 ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_LEFTDOWN;
  }
  SendInput(4, in, sizeof in[0]);
}

inline void wheelAt(int x, int y, int notches) {
  pointTo(x, y);
  sendMouse(MOUSEEVENTF_WHEEL, 0, 0, static_cast<DWORD>(notches * WHEEL_DELTA));
}

inline void typeText(const std::wstring& text) {
  for (wchar_t c : text) {
    INPUT in[2]{};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wScan = in[1].ki.wScan = c;
    in[0].ki.dwFlags = KEYEVENTF_UNICODE;
    in[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
    SendInput(2, in, sizeof in[0]);
  }
}

inline void pressKey(WORD vk) {
  INPUT in[2]{};
  in[0].type = in[1].type = INPUT_KEYBOARD;
  in[0].ki.wVk = in[1].ki.wVk = vk;
  in[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, in, sizeof in[0]);
}

// Saves the whole screen as a PNG test artifact.
inline void screenshot(const std::string& name) {
  const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  std::vector<std::uint32_t> pixels = grab(0, 0, w, h);
  for (std::uint32_t& px : pixels) px |= 0xFF000000u;
  png_image img{};
  img.version = PNG_IMAGE_VERSION;
  img.width = w;
  img.height = h;
  img.format = PNG_FORMAT_BGRA;
  img.flags = PNG_IMAGE_FLAG_FAST;  // a bigger file, written in a fraction of the time
  CreateDirectoryA(LH_ARTIFACTS, nullptr);
  const std::string path = std::string(LH_ARTIFACTS) + "/" + name;
  png_image_write_to_file(&img, path.c_str(), 0, pixels.data(), 0, nullptr);
}

// Reads `read` every 60 ms until it gives the same value `sameReads` times
// more in a row (an animation has ended: a busy machine can hold one of its
// frames for longer than one interval); `last` is the value. False when it
// still changes after `reads` reads.
template <class T, class Read>
inline bool settles(Read read, T& last, int sameReads, int reads) {
  last = read();
  int same = 0;
  for (int i = 0; i < reads && same < sameReads; ++i) {
    Sleep(60);
    T now = read();
    same = now == last ? same + 1 : 0;
    last = std::move(now);
  }
  return same == sameReads;
}

// The list's pixels once they stop changing: the same in three grabs.
inline std::vector<std::uint32_t> settledList() {
  std::vector<std::uint32_t> pixels;
  EXPECT_TRUE(settles([] { return grab(kLeft, kListTop, layout::kMainWidth, 600); }, pixels, 2, 200)) << "the list never settled";
  return pixels;
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
  HANDLE process() const { return pi_.hProcess; }
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
  // Docked, and both shadows beside the window (they follow its last move).
  bool waitDockedWithShadows() {
    return waitUntil(
        [this] {
          return docked() && rect(L"RightEdgeTabWindow").left == 356 && rect(L"LeftEdgeTabWindow").left == 6 - 20;
        },
        30000);
  }
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
      if (!ended(kWaitMs)) {
        TerminateProcess(pi_.hProcess, 1);
        ended(kWaitMs);  // its windows go with it, before the next test looks for them
      }
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

// A store of the ten fixed entries, a category and a few bookmarks in the root.
inline std::string sampleStore() {
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

// A store of the fixed entries and these bookmarks in the root.
inline std::string storeWith(const std::vector<std::pair<std::string, std::string>>& bookmarks) {
  using lh::store::Entry;
  std::string file;
  auto line = [&file](const Entry& e) { file += lh::store::serializeLine(e) + "\r\n"; };
  std::string rootMembers = "u";
  for (std::size_t i = 0; i < bookmarks.size(); ++i) rootMembers += std::to_string(11 + i) + "u";
  const char* titles[] = {"我的收藏", "回收站"};
  for (int i = 1; i <= 10; ++i) {
    Entry e;
    e.title = i <= 2 ? titles[i - 1] : "保留";
    e.kind = lh::store::kCategory;
    e.url = i == 1 ? rootMembers : "u";
    line(e);
  }
  for (const auto& [title, url] : bookmarks) {
    Entry b;
    b.title = title;
    b.url = url;
    b.kind = lh::store::kBookmark;
    b.parentId = 1;
    b.added = 46000;
    line(b);
  }
  return file;
}

class EndToEnd : public ::testing::Test {
 protected:
  std::wstring run;
  std::wstring data;

  void SetUp() override {
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    // A fresh folder every time: under Wine the process id repeats from run
    // to run, and an old folder would bring its change log along.
    LARGE_INTEGER tick{};
    QueryPerformanceCounter(&tick);
    run = std::wstring(tmp) + L"linkhoard-e2e-" + widen(info->name()) + L"-" + std::to_wstring(GetCurrentProcessId()) +
          L"-" + std::to_wstring(tick.QuadPart);
    CreateDirectoryW(run.c_str(), nullptr);
    data = run + L"\\data";
    ASSERT_TRUE(CopyFileW(widen(LH_PROGRAM).c_str(), (run + L"\\Linkhoard.exe").c_str(), FALSE));
  }
};

inline int differing(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
  int n = 0;
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) n += (a[i] & 0xFFFFFF) != (b[i] & 0xFFFFFF);
  return n;
}

inline std::vector<lh::store::LogRecord> logRecords(const std::wstring& data) {
  return lh::store::decodeLog(readFile(data + L"\\bein"));
}

inline void rightClickAt(int x, int y) {
  pointTo(x, y);
  sendMouse(MOUSEEVENTF_RIGHTDOWN);
  sendMouse(MOUSEEVENTF_RIGHTUP);
}

inline bool hasBookmark(const std::wstring& data, const std::string& url, std::string* title = nullptr) {
  for (const auto& r : logRecords(data)) {
    if (r.op == lh::store::LogOp::AddBookmark && r.fields.size() > 1 && r.fields[1] == url) {
      if (title) *title = r.fields[0];
      return true;
    }
  }
  return false;
}

}  // namespace lh::e2e
