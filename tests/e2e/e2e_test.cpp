// End-to-end tests of the real Linkhoard.exe, run under Wine (or on Windows):
// this program starts it in a fresh run directory, plays the user with real
// input (SendInput: the system makes the double clicks, focus and hover as
// it does for a person), and reads the windows, the screen and the files.
#include "win/loopback_server.h"  // (winsock2 before windows.h)

#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>
#include <png.h>

#include "store/codec.h"
#include "ui/layout.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

#include "e2e/e2e_support.h"

using namespace lh::e2e;

namespace {

TEST_F(EndToEnd, StartsAndDocksAtTheLeftEdgeWithItsShadows) {
  Program p(run);
  ASSERT_TRUE(p.start());
  ASSERT_TRUE(p.waitDockedWithShadows()) << "left " << p.rect(L"Linkhoard").left << " shadows "
                                          << p.rect(L"RightEdgeTabWindow").left << " "
                                          << p.rect(L"LeftEdgeTabWindow").left;
  const RECT main = p.rect(L"Linkhoard");
  EXPECT_EQ(main.right - main.left, layout::kMainWidth);
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
  settledList();
  screenshot("docked.png");
}

TEST_F(EndToEnd, ShowsTheRootCategory) {
  CreateDirectoryW(data.c_str(), nullptr);
  writeFile(data + L"\\udb", sampleStore());
  Program p(run);
  ASSERT_TRUE(p.start());
  ASSERT_TRUE(p.waitDocked());
  // Dark (text) pixels in the title column of list row k (0 is the lead row).
  auto inkInRow = [](int k) {
    int ink = 0;
    for (std::uint32_t px : grab(kLeft + 50, kListTop + kRow * k + 2, 250, 16)) {
      const int r = (px >> 16) & 0xFF, g = (px >> 8) & 0xFF, b = px & 0xFF;
      if (r + g + b < 3 * 140) ++ink;
    }
    return ink;
  };
  // The category, the three pages, the separator and the last bookmark are
  // rows 1 to 6: each title row carries its text, and nothing lies below.
  // (The pointer off the list, wherever an earlier case left it: a row under
  // it would wear the hover band.)
  pointTo(900, 950);
  ASSERT_TRUE(waitUntil([&] { return inkInRow(6) > 20; }, kSlowWaitMs)) << inkInRow(6);
  settledList();
  for (int k : {1, 2, 3, 4, 6}) EXPECT_GT(inkInRow(k), 20) << "row " << k;
  for (int k = 8; k < 20; ++k) EXPECT_EQ(inkInRow(k), 0) << "row " << k;
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
  // Row 3 of the list (the second member, 新浪首页), on its title: a double
  // click, which starts the browser once.
  doubleClickAt(kLeft + 120, kListTop + 2 * kRow + 8);
  const std::wstring launched = run + L"\\Browser Dir\\launched.txt";
  ASSERT_TRUE(waitUntil([&] { return fileExists(launched) && !readUtf16(launched).empty(); }, kSlowWaitMs));
  EXPECT_EQ(readUtf16(launched), L"\"" + browser + L"\" \"http://www.sina.com.cn/\"");
  // One visit, one record in the change log (a second launch would append a
  // second line to the recorder's file and a second record here).
  ASSERT_TRUE(waitUntil([&] { return !lh::store::decodeLog(readFile(data + L"\\bein")).empty(); }, kWaitMs));
  p.stop();
  EXPECT_EQ(readUtf16(launched), L"\"" + browser + L"\" \"http://www.sina.com.cn/\"");
  EXPECT_EQ(lh::store::decodeLog(readFile(data + L"\\bein")).size(), 1u);
  // The visit is in the change log: record 02 for entry 12 (新浪首页).
  const std::string log = readFile(data + L"\\bein");
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(static_cast<unsigned char>(log[0]), 2);
  EXPECT_EQ(static_cast<unsigned char>(log[5]), 12);
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
  auto list = [] { return grab(kLeft, kListTop, layout::kMainWidth, 600); };
  pointTo(kLeft + 200, 60);  // off the list: no hover band in the pictures compared
  const auto root = settledList();
  screenshot("list-root.png");

  // Into the category (row 2, its title), then back through the root's bar.
  clickAt(kLeft + 120, kListTop + kRow + 8);
  ASSERT_TRUE(waitUntil([&] { return differing(root, list()) > 5000; }, kWaitMs));
  const auto inside = settledList();
  screenshot("list-category.png");
  clickAt(kLeft + 120, 165);
  pointTo(kLeft + 200, 60);
  // The same rows; the category's title now black.
  ASSERT_TRUE(waitUntil([&] { return differing(root, list()) < 3000; }, kWaitMs));
  const auto back = settledList();
  EXPECT_GT(differing(inside, back), 5000);

  // The wheel: one notch towards the user scrolls the long list.
  wheelAt(kLeft + 120, 400, -1);
  ASSERT_TRUE(waitUntil([&] { return differing(back, list()) > 5000; }, kWaitMs));
  const auto scrolled = settledList();
  screenshot("list-scrolled.png");

  // The top bar switches to the visit-count view.
  clickAt(kLeft + 200, 165);  // away from the earlier click there: no double click
  ASSERT_TRUE(waitUntil([&] { return differing(scrolled, list()) > 5000; }, kWaitMs));
  settledList();
  screenshot("list-flat-view.png");
  p.stop();
  // The category's visit reached the change log.
  const auto records = lh::store::decodeLog(readFile(data + L"\\bein"));
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].op, lh::store::LogOp::RecordVisit);
  EXPECT_EQ(lh::store::getInt(records[0].fields[0]), 11);
}

TEST_F(EndToEnd, ClosingTheWindowRunsTheExitAndEndsTheProcess) {
  Program p(run);
  ASSERT_TRUE(p.start());
  ASSERT_TRUE(p.waitDocked());
  p.close();
  EXPECT_TRUE(p.ended(kWaitMs));
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
  EXPECT_TRUE(waitUntil(showsTheMessage, kWaitMs));
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(p.waitDocked());
  EXPECT_FALSE(fileExists(data + L"\\bein"));
  EXPECT_EQ(readFile(data + L"\\bein.bak"), log);
  p.stop();

  Program again(run);
  ASSERT_TRUE(again.start());
  // The message would come before the window slides in.
  ASSERT_TRUE(again.waitDocked());
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

// The edit control of the program's window under the screen point.
HWND editAt(HWND main, int x, int y) {
  struct Search {
    POINT at;
    HWND found;
  } search{{x, y}, nullptr};
  EnumChildWindows(
      main,
      [](HWND w, LPARAM lp) -> BOOL {
        auto* s = reinterpret_cast<Search*>(lp);
        wchar_t cls[16] = {};
        GetClassNameW(w, cls, 15);
        RECT r{};
        GetWindowRect(w, &r);
        if (_wcsicmp(cls, L"Edit") == 0 && IsWindowVisible(w) && PtInRect(&r, s->at)) {
          s->found = w;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The keyboard focus of the main window's thread is the window itself.
bool windowHasFocus(HWND main) {
  GUITHREADINFO info{sizeof info};
  return GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &info) && info.hwndFocus == main;
}

// Moves the pointer over the main window at (x, y) and a few pixels below,
// to and fro, until the window has taken the keyboard focus, as a user's
// hand does (a window the system activated late may have seen only the
// first move).
bool pointerGivesFocus(HWND main, int x, int y) {
  const ULONGLONG deadline = GetTickCount64() + kWaitMs;
  for (bool below = false; GetTickCount64() < deadline; below = !below) {
    pointTo(x, below ? y + 4 : y);
    if (waitUntil([&] { return windowHasFocus(main); }, 300)) return true;
  }
  return false;
}

// Clicks into the edit box at the screen point and waits until it has the
// keyboard focus (typing before that would go elsewhere).
bool focusEditAt(HWND main, int x, int y) {
  clickAt(x, y);
  return waitUntil(
      [&] {
        HWND edit = editAt(main, x, y);
        GUITHREADINFO info{sizeof info};
        return edit && GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &info) && info.hwndFocus == edit;
      },
      kWaitMs);
}

// An edit control's text: WM_GETTEXT, since GetWindowText does not ask a
// control of another process for it.
std::wstring textOf(HWND w) {
  wchar_t buf[1024] = {};
  SendMessageW(w, WM_GETTEXT, 1023, reinterpret_cast<LPARAM>(buf));
  return buf;
}

void withKeyDown(WORD vk, const std::function<void()>& f) {
  INPUT in{};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  SendInput(1, &in, sizeof in);
  f();
  in.ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(1, &in, sizeof in);
}


// The data folder's files and their bytes.
std::vector<std::pair<std::wstring, std::string>> folderContents(const std::wstring& dir) {
  std::vector<std::pair<std::wstring, std::string>> out;
  WIN32_FIND_DATAW f;
  HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &f);
  if (h == INVALID_HANDLE_VALUE) return out;
  do {
    if (!(f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) out.emplace_back(f.cFileName, readFile(dir + L"\\" + f.cFileName));
  } while (FindNextFileW(h, &f));
  FindClose(h);
  std::sort(out.begin(), out.end());
  return out;
}

TEST_F(EndToEnd, ASecondStartOnTheSameFolderShowsTheFirstCopyAndEnds) {
  Program first(run);
  ASSERT_TRUE(first.start());
  ASSERT_TRUE(first.waitDockedWithShadows());
  // Out of sight by a double click on the top strip.
  doubleClickAt(kLeft + 100, 10);
  ASSERT_TRUE(waitUntil([&] { return first.rect(L"Linkhoard").left == -layout::kMainWidth; }, kWaitMs));
  const auto before = folderContents(data);
  ASSERT_FALSE(before.empty());
  Program second(run);
  ASSERT_TRUE(second.start());
  EXPECT_TRUE(second.ended(kWaitMs));
  EXPECT_EQ(second.exitCode(), 0u);
  // The first copy slid in; the second touched no file.
  EXPECT_TRUE(first.waitDocked());
  EXPECT_EQ(folderContents(data), before);
  EXPECT_FALSE(fileExists(run + L"\\sat"));
}

// The store file's entries, field by field.
std::vector<lh::store::Entry> readStore(const std::wstring& path) {
  std::vector<lh::store::Entry> out;
  const std::string file = readFile(path);
  std::size_t at = 0;
  for (std::int64_t n = 1; at < file.size(); ++n) {
    const lh::store::ParsedLine line = lh::store::parseLine(file, at, n);
    if (line.next <= at) break;
    out.push_back(line.entry);
    at = line.next;
  }
  return out;
}

TEST_F(EndToEnd, AnEmptyStoreGetsItsFixedEntriesAndANewCategoryLandsInTheRoot) {
  CreateDirectoryW(data.c_str(), nullptr);
  writeFile(data + L"\\udb", "");
  {
    Program p(run);
    ASSERT_TRUE(p.start());
    ASSERT_TRUE(p.waitDocked());
    settledList();
    clickAt(kLeft + 80, 125);  // the new-category button; its edit box takes the focus
    ASSERT_TRUE(waitUntil(
        [&] {
          GUITHREADINFO info{sizeof info};
          HWND w = p.window(L"Linkhoard");
          return GetGUIThreadInfo(GetWindowThreadProcessId(w, nullptr), &info) && info.hwndFocus &&
                 info.hwndFocus == editAt(w, kLeft + 60, 160 + 69 + 45 + 8);
        },
        kWaitMs));
    typeText(L"Projects");
    pressKey(VK_RETURN);
    ASSERT_TRUE(waitUntil(
        [&] {
          const auto records = lh::store::decodeLog(readFile(data + L"\\bein"));
          return !records.empty() && records.back().op == lh::store::LogOp::AddCategory;
        },
        kWaitMs));
    p.stop();
  }
  Program again(run);
  ASSERT_TRUE(again.start());
  ASSERT_TRUE(again.waitDocked());
  settledList();
  screenshot("empty-store-new-category.png");
  again.stop();
  const auto entries = readStore(data + L"\\udb");
  ASSERT_EQ(entries.size(), 11u);
  EXPECT_EQ(entries[0].title, "我的收藏");
  EXPECT_EQ(entries[0].members(), "u11u");
  EXPECT_EQ(entries[10].title, "Projects");
  EXPECT_EQ(entries[10].parentId, 1);
}

TEST_F(EndToEnd, ABookmarkTypedInKeepsItsTwoLineNoteAndASavedAddressGoesToTheBin) {
  CreateDirectoryW(data.c_str(), nullptr);
  writeFile(data + L"\\udb", sampleStore());
  Program p(run);
  ASSERT_TRUE(p.start());
  ASSERT_TRUE(p.waitDocked());
  HWND main = p.window(L"Linkhoard");
  // The panel's boxes, in screen coordinates (the window is at x 6): title
  // at 49,148, address at 49,202, note at 49,258 of the panel at 160 + 80.
  const POINT titleAt{kLeft + 60, 240 + 148 + 8}, addressAt{kLeft + 60, 240 + 202 + 8}, noteAt{kLeft + 60, 240 + 258 + 8};
  clickAt(kLeft + 30, 125);  // the add button
  ASSERT_TRUE(waitUntil([&] { return editAt(main, titleAt.x, titleAt.y) != nullptr; }, kWaitMs));
  ASSERT_TRUE(focusEditAt(main, titleAt.x, titleAt.y));
  typeText(L"Typed page");
  ASSERT_TRUE(focusEditAt(main, addressAt.x, addressAt.y));
  typeText(L"http://typed.example/");
  ASSERT_TRUE(focusEditAt(main, noteAt.x, noteAt.y));
  typeText(L"first");
  pressKey(VK_RETURN);  // a line break in the note
  typeText(L"second");
  ASSERT_TRUE(waitUntil([&] { return textOf(editAt(main, noteAt.x, noteAt.y)) == L"first\r\nsecond"; }, kWaitMs))
      << "note: " << textOf(editAt(main, noteAt.x, noteAt.y)).size();
  EXPECT_EQ(textOf(editAt(main, titleAt.x, titleAt.y)), L"Typed page");
  EXPECT_EQ(textOf(editAt(main, addressAt.x, addressAt.y)), L"http://typed.example/");
  withKeyDown(VK_CONTROL, [] { pressKey(VK_RETURN); });  // Ctrl+Enter confirms
  const bool added = waitUntil(
      [&] {
        const auto r = logRecords(data);
        return !r.empty() && r.back().op == lh::store::LogOp::AddBookmark;
      },
      kWaitMs);
  if (!added) screenshot("typed-bookmark-not-added.png");
  ASSERT_TRUE(added);
  const auto record = logRecords(data).back();
  EXPECT_EQ(record.fields[0], "Typed page");
  EXPECT_EQ(record.fields[1], "http://typed.example/");
  EXPECT_EQ(record.fields[2], "first^second");
  EXPECT_FALSE(IsWindowVisible(p.window(L"RecycleBinWindow")));
  // The new row is the root's seventh member (row 8): its icon column opens
  // the edit panel with both lines of the note.
  ASSERT_TRUE(waitUntil([&] { return editAt(main, titleAt.x, titleAt.y) == nullptr; }, kWaitMs));
  settledList();
  clickAt(kLeft + 40, kListTop + 7 * kRow + 8);
  const bool shown = waitUntil(
      [&] {
        HWND note = editAt(main, noteAt.x, noteAt.y);
        return note && textOf(note) == L"first\r\nsecond";
      },
      kWaitMs);
  screenshot("edit-panel.png");
  ASSERT_TRUE(shown);
  EXPECT_EQ(textOf(editAt(main, titleAt.x, titleAt.y)), L"Typed page");
  pressKey(VK_ESCAPE);
  ASSERT_TRUE(waitUntil([&] { return editAt(main, titleAt.x, titleAt.y) == nullptr; }, kWaitMs));

  // An address saved before (Example Domain, entry 13): nothing is added,
  // the saved one goes to the recycle bin.
  clickAt(kLeft + 30, 125);
  ASSERT_TRUE(waitUntil([&] { return editAt(main, titleAt.x, titleAt.y) != nullptr; }, kWaitMs));
  ASSERT_TRUE(focusEditAt(main, titleAt.x, titleAt.y));
  typeText(L"Again");
  ASSERT_TRUE(focusEditAt(main, addressAt.x, addressAt.y));
  typeText(L"http://example.com/");
  pressKey(VK_RETURN);
  ASSERT_TRUE(waitUntil(
      [&] {
        const auto r = logRecords(data);
        return !r.empty() && r.back().op == lh::store::LogOp::MoveEntries;
      },
      kWaitMs));
  const auto moved = logRecords(data).back();
  EXPECT_EQ(moved.fields[0], "13u");
  EXPECT_EQ(lh::store::getInt(moved.fields[1]), 2);
  EXPECT_TRUE(waitUntil([&] { return IsWindowVisible(p.window(L"RecycleBinWindow")) != FALSE; }, kWaitMs));
  p.stop();
  EXPECT_EQ(logRecords(data).size(), 2u);  // the add and the move, nothing else
}

TEST_F(EndToEnd, TypingAWordInTheSearchBoxShowsTheMatchingBookmarks) {
  CreateDirectoryW(data.c_str(), nullptr);
  writeFile(data + L"\\udb", largeStore());
  const std::wstring browser = run + L"\\recorder.exe";
  ASSERT_TRUE(CopyFileW(widen(LH_RECORDER).c_str(), browser.c_str(), FALSE));
  writeFile(data + L"\\config.ini", "[浏览器]\r\n地址=" + std::string(browser.begin(), browser.end()) + "\r\n名称=recorder\r\n");
  Program p(run);
  ASSERT_TRUE(p.start());
  ASSERT_TRUE(p.waitDocked());
  pointTo(kLeft + 200, 60);
  const auto before = settledList();
  ASSERT_TRUE(focusEditAt(p.window(L"Linkhoard"), kSearchX, kSearchY));  // the search box
  typeText(L"site36");
  ASSERT_TRUE(waitUntil([&] { return differing(before, grab(kLeft, kListTop, layout::kMainWidth, 600)) > 5000; }, kWaitMs));
  settledList();
  screenshot("search.png");
  // The matches are the bookmarks of site36.com (every 37th): the first
  // result row (below the lead row and the site's heading; the list stands
  // under two bars now) opens one.
  clickAt(kLeft + 120, layout::listTopFor(2) + 2 * kRow + 8);
  const std::wstring launched = run + L"\\launched.txt";
  ASSERT_TRUE(waitUntil([&] { return fileExists(launched) && !readUtf16(launched).empty(); }, kWaitMs));
  EXPECT_NE(readUtf16(launched).find(L"\"http://site36.com/"), std::wstring::npos) << readUtf16(launched).size();
}

// ------------------------------------------------------------ a browser beside the window


// A browser's windows as the capture reads them, on a thread of their own
// that answers messages: a top-level "IEFrame" window right of the column
// with an "Edit" address bar two levels below it, starting where the capture
// point is (20 pixels right of the window at x 6). It also copies texts to
// the clipboard, as a program the user copies from.
class FakeBrowser {
 public:
  FakeBrowser(const std::wstring& title, const std::wstring& address) {
    ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread([this, title, address] { run(title, address); });
    WaitForSingleObject(ready_, kWaitMs);
  }
  ~FakeBrowser() {
    PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    thread_.join();
    CloseHandle(ready_);
  }
  HWND top() const { return top_; }
  // Puts the text on the clipboard from the browser's thread; false when
  // the clipboard could not be opened.
  bool copy(const std::string& text) { return SendMessageW(top_, WM_APP, 0, reinterpret_cast<LPARAM>(&text)) == 1; }

 private:
  static LRESULT CALLBACK proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_APP) {
      const auto* text = reinterpret_cast<const std::string*>(lp);
      // A viewer (the program) may be reading the last copy: try again, as
      // a browser does.
      bool open = false;
      for (int i = 0; i < 200 && !(open = OpenClipboard(w)); ++i) Sleep(10);
      if (!open) return 0;
      EmptyClipboard();
      HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, text->size() + 1);
      std::memcpy(GlobalLock(mem), text->c_str(), text->size() + 1);
      GlobalUnlock(mem);
      SetClipboardData(CF_TEXT, mem);
      CloseClipboard();
      return 1;
    }
    return DefWindowProcW(w, m, wp, lp);
  }
  void run(const std::wstring& title, const std::wstring& address) {
    threadId_ = GetCurrentThreadId();
    WNDCLASSW frame{};
    frame.lpfnWndProc = proc;
    frame.hInstance = GetModuleHandleW(nullptr);
    frame.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    frame.lpszClassName = L"IEFrame";
    RegisterClassW(&frame);
    frame.lpszClassName = L"BrowserPane";
    RegisterClassW(&frame);
    top_ = CreateWindowExW(0, L"IEFrame", title.c_str(), WS_POPUP | WS_VISIBLE, 376, 0, 1000, 900, nullptr, nullptr,
                           frame.hInstance, nullptr);
    HWND pane = CreateWindowExW(0, L"BrowserPane", L"", WS_CHILD | WS_VISIBLE, 0, 40, 1000, 860, top_, nullptr,
                                frame.hInstance, nullptr);
    CreateWindowExW(0, L"Edit", address.c_str(), WS_CHILD | WS_VISIBLE, 10, 10, 600, 20, pane, nullptr,
                    frame.hInstance, nullptr);
    SetEvent(ready_);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    DestroyWindow(top_);
  }

  HANDLE ready_ = nullptr;
  std::thread thread_;
  DWORD threadId_ = 0;
  HWND top_ = nullptr;
};

// A 16 x 16 BMP of one colour, as a site serves its icon.
std::string redIconBmp() {
  std::string b = "BM";
  auto u32 = [&b](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  auto u16 = [&b](std::uint16_t v) {
    b += static_cast<char>(v & 0xFF);
    b += static_cast<char>(v >> 8);
  };
  u32(54 + 16 * 16 * 4);
  u32(0);
  u32(54);
  u32(40);
  u32(16);
  u32(16);
  u16(1);
  u16(32);
  u32(0);
  u32(16 * 16 * 4);
  for (int i = 0; i < 4; ++i) u32(0);
  for (int i = 0; i < 256; ++i) b += std::string("\x00\x00\xff\xff", 4);  // B G R A
  return b;
}


TEST_F(EndToEnd, TheEdgeTabCapturesTheBrowsersPageWhoseIconIsFetchedAndCopiedAddressesAreAdded) {
  lh::test::LoopbackServer site("127.0.0.41");
  ASSERT_TRUE(site.listening());
  site.route("/", "<html><head><link rel=\"SHORTCUT ICON\" href=\"/red.bmp\"></head></html>");
  site.route("/red.bmp", redIconBmp());
  const std::string page = site.base() + "/";
  FakeBrowser browser(L"Red Site - Browser", std::wstring(page.begin(), page.end()));
  ASSERT_TRUE(browser.top());
  Program p(run);
  ASSERT_TRUE(p.start());
  ASSERT_TRUE(p.waitDockedWithShadows());
  // A real right click on the tab along the window's right edge.
  const RECT tab = p.rect(L"RightEdgeTabWindow");
  rightClickAt((tab.left + tab.right) / 2, 400);
  std::string title;
  ASSERT_TRUE(waitUntil([&] { return hasBookmark(data, page, &title); }, kSlowWaitMs));
  EXPECT_EQ(title, "Red Site");
  // The thumbnail flies in, and the site's declared icon arrives: record 3
  // of the strip, the host's key in the index, the row drawn with it.
  const std::string host = page.substr(7, page.size() - 8);
  ASSERT_TRUE(waitUntil(
      [&] {
        return readFile(data + L"\\ico").size() == 3 * 822 &&
               readFile(data + L"\\icon").find(host + "=3") != std::string::npos;
      },
      kSlowWaitMs))
      << readFile(data + L"\\icon");
  bool sawPage = false, sawIcon = false;
  for (const std::string& r : site.requests()) {
    sawPage |= r.rfind("GET / HTTP/1.0", 0) == 0;
    sawIcon |= r.rfind("GET /red.bmp HTTP/1.0", 0) == 0;  // a plain GET, as browsers send
  }
  EXPECT_TRUE(sawPage);
  EXPECT_TRUE(sawIcon);
  pointTo(900, 950);
  const bool redRow = waitUntil(
      [&] {
        const auto list = grab(kLeft, kListTop, layout::kMainWidth, 400);
        return std::count_if(list.begin(), list.end(), [](std::uint32_t px) {
                 return (px & 0xFFFFFF) == 0xFF0000;
               }) >= 200;
      },
      kWaitMs);
  screenshot("captured-with-icon.png");
  EXPECT_TRUE(redRow);

  // A copy made with the pointer over the column is the program's own; one
  // made elsewhere becomes a bookmark with the browser's title.
  pointTo(kLeft + 100, 500);
  ASSERT_TRUE(browser.copy("http://own.example/"));
  // The change notice is on its way to the window, which reads the pointer
  // when it takes it: a message sent after it is answered only once the
  // window has taken it.
  DWORD_PTR answer = 0;
  ASSERT_NE(SendMessageTimeoutW(p.window(L"Linkhoard"), WM_NULL, 0, 0, SMTO_NORMAL, kSlowWaitMs, &answer), 0);
  pointTo(900, 500);
  ASSERT_TRUE(browser.copy("www.copied.com/page\r\nsecond line"));
  ASSERT_TRUE(waitUntil([&] { return hasBookmark(data, "www.copied.com/page", &title); }, kSlowWaitMs))
      << "the own copy " << (hasBookmark(data, "http://own.example/") ? "was" : "was not") << " added; "
      << logRecords(data).size() << " log records; clipboard watched by the window: "
      << (GetClipboardViewer() != nullptr ? "a viewer is set" : "no viewer");
  EXPECT_EQ(title, "Red Site");
  EXPECT_FALSE(hasBookmark(data, "http://own.example/"));

  // A site whose only icon is its "/favicon.ico", a real multi-image icon
  // (48, 32 and 16 pixels, 32 bits): copied, added, and its icon stored as
  // record 4 under its own host.
  lh::test::LoopbackServer second("127.0.0.42");
  ASSERT_TRUE(second.listening());
  second.route("/", "<html><head><title>no icon declared</title></head></html>");
  second.route("/favicon.ico", readFile(widen(LH_FIXTURES "/rust-ico_wiki.ico")));
  ASSERT_FALSE(readFile(widen(LH_FIXTURES "/rust-ico_wiki.ico")).empty());
  const std::string secondPage = second.base() + "/";
  ASSERT_TRUE(browser.copy(secondPage));
  ASSERT_TRUE(waitUntil([&] { return hasBookmark(data, secondPage); }, kSlowWaitMs));
  const std::string secondHost = secondPage.substr(7, secondPage.size() - 8);
  ASSERT_TRUE(waitUntil(
      [&] {
        return readFile(data + L"\\ico").size() == 4 * 822 &&
               readFile(data + L"\\icon").find(secondHost + "=4") != std::string::npos;
      },
      kSlowWaitMs))
      << readFile(data + L"\\icon");
  settledList();
  screenshot("two-site-icons.png");
}

TEST_F(EndToEnd, AHostileSiteNeverStopsTheWindowWhileItsIconIsFetched) {
  // A page that sends one byte every 100 ms: the fetch waits for it on the
  // worker until its time limit; the window answers all the while.
  lh::test::LoopbackServer site("127.0.0.43");
  ASSERT_TRUE(site.listening());
  const std::string page = site.base() + "/trickle";
  FakeBrowser browser(L"Slow Site", std::wstring(page.begin(), page.end()));
  Program p(run);
  ASSERT_TRUE(p.start());
  ASSERT_TRUE(p.waitDockedWithShadows());
  const RECT tab = p.rect(L"RightEdgeTabWindow");
  rightClickAt((tab.left + tab.right) / 2, 400);
  ASSERT_TRUE(waitUntil([&] { return hasBookmark(data, page); }, kSlowWaitMs));
  const std::string host = page.substr(7, page.find('/', 7) - 7);
  ASSERT_TRUE(waitUntil([&] { return readFile(data + L"\\icon").find(host + "=-1") != std::string::npos; }, kWaitMs));
  HWND main = p.window(L"Linkhoard");
  ULONGLONG slowest = 0;
  for (int i = 0; i < 24; ++i) {  // six seconds, while the page trickles
    const ULONGLONG start = GetTickCount64();
    DWORD_PTR result = 0;
    const LRESULT answered = SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
    if (!answered) screenshot("hostile-no-answer.png");
    ASSERT_NE(answered, 0) << i << " error " << GetLastError() << " window " << IsWindow(main) << " class "
                           << (p.window(L"Linkhoard") == main);
    slowest = std::max(slowest, GetTickCount64() - start);
    Sleep(250);
  }
  std::printf("slowest answer of the window during the fetch: %llu ms\n", static_cast<unsigned long long>(slowest));
  // The window still does what it is asked: the add panel opens.
  clickAt(kLeft + 30, 125);
  ASSERT_TRUE(waitUntil([&] { return editAt(main, kLeft + 60, 240 + 148 + 8) != nullptr; }, kWaitMs));
  EXPECT_NE(readFile(data + L"\\icon").find(host + "=-1"), std::string::npos);  // nothing found, no record
  EXPECT_EQ(readFile(data + L"\\ico").size(), 2u * 822);
}

// ------------------------------------------------------------ the recycle bin

// A right-drag with the real right button from one screen point to another,
// through the points between.
void rightDragThrough(const std::vector<POINT>& points) {
  pointTo(points.front().x, points.front().y);
  sendMouse(MOUSEEVENTF_RIGHTDOWN);
  for (const POINT& p : points) pointTo(p.x, p.y);
  sendMouse(MOUSEEVENTF_RIGHTUP);
}

// The screen row of restore mode's purple insertion line between y0 and
// y1 (a column left of the badge), or -1.
int insertionLineY(int y0, int y1) {
  const std::vector<std::uint32_t> column = grab(kLeft + 100, y0, 1, y1 - y0);
  for (int y = 0; y < static_cast<int>(column.size()); ++y) {
    if ((column[static_cast<std::size_t>(y)] & 0xFFFFFF) == 0x800080) return y0 + y;
  }
  return -1;
}

bool lastRecordIs(const std::wstring& data, lh::store::LogOp op, std::size_t count) {
  const auto r = logRecords(data);
  return r.size() == count && r.back().op == op;
}

TEST_F(EndToEnd, ARightDragDeletesRowsIntoTheBinWhichRestoresAtThePointedRowAndEmpties) {
  CreateDirectoryW(data.c_str(), nullptr);
  writeFile(data + L"\\udb", sampleStore());
  // Root rows: 1 lead, 2 category 11, 3-5 bookmarks 12-14, 6 separator 15,
  // 7 bookmark 16; row r's middle is at y kListTop + kRow (r - 1) + 10.
  auto rowY = [](int r) { return kListTop + kRow * (r - 1) + 10; };
  {
    Program p(run);
    ASSERT_TRUE(p.start());
    ASSERT_TRUE(p.waitDockedWithShadows());
    settledList();
    rightDragThrough({{kLeft + 120, rowY(3)}, {kLeft + 120, rowY(4)}, {kLeft + 120, rowY(5)}});
    ASSERT_TRUE(waitUntil([&] { return lastRecordIs(data, lh::store::LogOp::MoveEntries, 1); }, kWaitMs));
    auto moved = logRecords(data).back();
    EXPECT_EQ(moved.fields[0], "12u13u14u");
    EXPECT_EQ(lh::store::getInt(moved.fields[1]), 2);
    EXPECT_EQ(lh::store::getInt(moved.fields[2]), -2);
    // The bin window stands beside the main window, one row per entry.
    ASSERT_TRUE(waitUntil([&] { return IsWindowVisible(p.window(L"RecycleBinWindow")) != FALSE; }, kWaitMs));
    const RECT main = p.rect(L"Linkhoard");
    EXPECT_EQ(p.rect(L"RecycleBinWindow").left, main.right + 10);
    EXPECT_EQ(p.rect(L"RecycleBinWindow").bottom - p.rect(L"RecycleBinWindow").top, 60);
    // Restore mode: the pointer on row 4 (bookmark 16 now) takes the line,
    // the badge and the bin window along (once the rows flying to the bin
    // have landed: their window would take the pointer's move).
    ASSERT_TRUE(waitUntil([&] { return IsWindowVisible(p.window(L"SideListWindow")) == FALSE; }, kWaitMs));
    pointTo(kLeft + 299, rowY(4));
    settledList();
    // (Its top: list top + the top of visible row 3 - half its height; the
    // purple insertion line lies on the row's top, between rows.)
    ASSERT_TRUE(waitUntil([&] { return p.rect(L"RecycleBinWindow").top == kListTop + kRow * 3 - 60 / 2; }, kWaitMs))
        << p.rect(L"RecycleBinWindow").top;
    EXPECT_EQ(insertionLineY(kListTop + kRow, kListTop + 120), kListTop + kRow * 3);
    screenshot("bin-restore-mode.png");
    clickAt(kLeft + 299, rowY(4));  // 点击插入
    ASSERT_TRUE(waitUntil([&] { return lastRecordIs(data, lh::store::LogOp::MoveEntries, 2); }, kWaitMs));
    moved = logRecords(data).back();
    EXPECT_EQ(moved.fields[0], "12u13u14u");
    EXPECT_EQ(lh::store::getInt(moved.fields[1]), 1);
    EXPECT_EQ(lh::store::getInt(moved.fields[2]), 16);
    ASSERT_TRUE(waitUntil([&] { return IsWindowVisible(p.window(L"RecycleBinWindow")) == FALSE; }, kWaitMs));
    settledList();
    screenshot("bin-restored.png");
    // Root now: 11, 15, 12, 13, 14, 16. Delete 12 and 13 (rows 4 and 5)
    // and put them back below the last row, where the badge stands under
    // it: appended.
    rightDragThrough({{kLeft + 120, rowY(4)}, {kLeft + 120, rowY(5)}});
    ASSERT_TRUE(waitUntil([&] { return lastRecordIs(data, lh::store::LogOp::MoveEntries, 3); }, kWaitMs));
    ASSERT_TRUE(waitUntil([&] { return IsWindowVisible(p.window(L"SideListWindow")) == FALSE; }, kWaitMs));
    pointTo(kLeft + 299, rowY(6));  // root rows 2-5: 11, 15, 14, 16
    settledList();
    if (!waitUntil([&] { return p.rect(L"RecycleBinWindow").top == kListTop + kRow * 5 - 40 / 2; }, kWaitMs)) {
      screenshot("bin-below-the-last-row-failed.png");
      const RECT bin = p.rect(L"RecycleBinWindow");
      FAIL() << "bin window top " << bin.top << ", height " << bin.bottom - bin.top << ", insertion line at "
             << insertionLineY(kListTop + kRow, kListTop + 160);
    }
    EXPECT_EQ(insertionLineY(kListTop + kRow, kListTop + 160), kListTop + kRow * 5);
    screenshot("bin-restore-below-the-last-row.png");
    clickAt(kLeft + 299, rowY(6));
    ASSERT_TRUE(waitUntil([&] { return lastRecordIs(data, lh::store::LogOp::MoveEntries, 4); }, kWaitMs));
    moved = logRecords(data).back();
    EXPECT_EQ(moved.fields[0], "12u13u");
    EXPECT_EQ(lh::store::getInt(moved.fields[1]), 1);
    EXPECT_EQ(lh::store::getInt(moved.fields[2]), -2);
    ASSERT_TRUE(waitUntil([&] { return IsWindowVisible(p.window(L"RecycleBinWindow")) == FALSE; }, kWaitMs));
    settledList();
    // Root now: 11, 15, 14, 16, 12, 13. Delete 12 and 13 (rows 6 and 7),
    // then empty the bin with a click on its strip.
    rightDragThrough({{kLeft + 120, rowY(6)}, {kLeft + 120, rowY(7)}});
    ASSERT_TRUE(waitUntil([&] { return lastRecordIs(data, lh::store::LogOp::MoveEntries, 5); }, kWaitMs));
    EXPECT_EQ(logRecords(data).back().fields[0], "12u13u");
    ASSERT_TRUE(waitUntil([&] { return IsWindowVisible(p.window(L"RecycleBinWindow")) != FALSE; }, kWaitMs));
    settledList();
    // The bin window follows the highlight's slide to the pointed row: click
    // its strip once it stands still.
    std::pair<LONG, LONG> bin;  // left, top
    ASSERT_TRUE(settles(
        [&] {
          const RECT r = p.rect(L"RecycleBinWindow");
          return std::make_pair(r.left, r.top);
        },
        bin, 4, 160));
    clickAt(bin.first + layout::kBinCanvasWidth + layout::kBinStripWidth / 2, bin.second + 10);
    ASSERT_TRUE(waitUntil([&] { return lastRecordIs(data, lh::store::LogOp::EmptyRecycleBin, 6); }, kWaitMs));
    ASSERT_TRUE(waitUntil([&] { return IsWindowVisible(p.window(L"RecycleBinWindow")) == FALSE; }, kWaitMs));
    p.stop();
  }
  // After a restart (the log folded into the store file) the destroyed
  // entries are marked deleted and listed nowhere; the bin stays hidden.
  Program again(run);
  ASSERT_TRUE(again.start());
  ASSERT_TRUE(again.waitDocked());
  ASSERT_TRUE(waitUntil([&] { return readFile(data + L"\\bein").empty(); }, kWaitMs));
  settledList();
  screenshot("bin-after-restart.png");
  EXPECT_FALSE(IsWindowVisible(again.window(L"RecycleBinWindow")));
  again.stop();
  const auto entries = readStore(data + L"\\udb");
  ASSERT_GE(entries.size(), 16u);
  EXPECT_TRUE(entries[11].deleted);
  EXPECT_TRUE(entries[12].deleted);
  EXPECT_FALSE(entries[13].deleted);
  EXPECT_EQ(entries[0].url, "u11u15u14u16u");
  EXPECT_EQ(entries[1].url, "u");
}

// ------------------------------------------------------------ bookmark files

// The system's file dialog the program shows (a "#32770" window of its
// process), once it is up.
HWND waitForFileDialog(DWORD processId) {
  HWND found = nullptr;
  std::pair<DWORD, HWND*> query(processId, &found);
  waitUntil(
      [&] {
        found = nullptr;
        EnumWindows(
            [](HWND w, LPARAM lp) -> BOOL {
              auto* out = reinterpret_cast<std::pair<DWORD, HWND*>*>(lp);
              wchar_t cls[32] = {};
              GetClassNameW(w, cls, 32);
              DWORD pid = 0;
              GetWindowThreadProcessId(w, &pid);
              if (pid == out->first && std::wstring(cls) == L"#32770" && IsWindowVisible(w)) {
                *out->second = w;
                return FALSE;
              }
              return TRUE;
            },
            reinterpret_cast<LPARAM>(&query));
        return found != nullptr;
      },
      kSlowWaitMs);
  return found;
}

// The edit box inside the dialog that has the keyboard focus, if any.
HWND focusedEditIn(HWND dialog) {
  GUITHREADINFO gi{};
  gi.cbSize = sizeof gi;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &gi)) return nullptr;
  if (gi.hwndFocus == nullptr || !IsChild(dialog, gi.hwndFocus)) return nullptr;
  wchar_t cls[32] = {};
  GetClassNameW(gi.hwndFocus, cls, 32);
  return _wcsicmp(cls, L"Edit") == 0 ? gi.hwndFocus : nullptr;
}

// Types a full path into the dialog's file name box and confirms it with
// Enter, as a person does: once the box has the focus (a dialog can be
// visible before its box takes it, and keys typed then go elsewhere), and
// only when the box shows the whole path. True once the dialog is gone.
bool answerFileDialog(HWND dialog, const std::wstring& path) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    SetForegroundWindow(dialog);
    HWND box = nullptr;
    if (!waitUntil([&] { return GetForegroundWindow() == dialog && (box = focusedEditIn(dialog)) != nullptr; },
                   kWaitMs))
      continue;
    withKeyDown(VK_CONTROL, [] { pressKey('A'); });
    typeText(path);
    if (!waitUntil([&] { return textOf(box) == path; }, 5000)) continue;
    pressKey(VK_RETURN);
    return waitUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, kSlowWaitMs);
  }
  return false;
}

// The tree under the root as "depth title address" lines, separators aside.
std::vector<std::string> treeOf(const std::vector<lh::store::Entry>& entries) {
  std::vector<std::string> out;
  struct Frame {
    std::vector<int> members;
    std::size_t next;
  };
  auto membersOf = [&](int id) {
    std::vector<int> m;
    const std::string list = entries[static_cast<std::size_t>(id - 1)].url;
    for (std::size_t at = 1; at < list.size();) {
      const std::size_t u = list.find('u', at);
      if (u == std::string::npos) break;
      m.push_back(std::atoi(list.substr(at, u - at).c_str()));
      at = u + 1;
    }
    return m;
  };
  std::vector<Frame> stack{{membersOf(1), 0}};
  while (!stack.empty()) {
    if (stack.back().next >= stack.back().members.size()) {
      stack.pop_back();
      continue;
    }
    const int k = stack.back().members[stack.back().next++];
    if (k < 1 || static_cast<std::size_t>(k) > entries.size()) continue;
    const lh::store::Entry& e = entries[static_cast<std::size_t>(k - 1)];
    // A separator travels as a link without title, which an import skips.
    if (e.kind == lh::store::kSeparator) continue;
    out.push_back(std::to_string(stack.size()) + " " + std::string(e.title) + " " +
                  (e.kind == lh::store::kCategory ? std::string() : std::string(e.url)));
    if (e.kind == lh::store::kCategory) stack.push_back({membersOf(k), 0});
  }
  return out;
}

TEST_F(EndToEnd, AnExportThroughTheSaveDialogImportsIntoAFreshFolderAsTheSameTree) {
  CreateDirectoryW(data.c_str(), nullptr);
  writeFile(data + L"\\udb", sampleStore());
  const std::wstring file = run + L"\\exported.html";
  {
    Program p(run);
    ASSERT_TRUE(p.start());
    ASSERT_TRUE(p.waitDocked());
    settledList();
    clickAt(kLeft + layout::kExportLabel.left + 8, p.rect(L"Linkhoard").bottom - layout::kBottomBarHeight + layout::kImportLabel.top + 6);  // 导出 on the bottom bar
    HWND dialog = waitForFileDialog(GetProcessId(p.process()));
    ASSERT_NE(dialog, nullptr);
    screenshot("export-dialog.png");
    ASSERT_TRUE(answerFileDialog(dialog, file));
    ASSERT_TRUE(waitUntil([&] { return fileExists(file) && !readFile(file).empty(); }, kSlowWaitMs));
    p.stop();
  }
  const std::string exported = readFile(file);
  EXPECT_EQ(exported.rfind("<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n", 0), 0u);
  // A fresh folder: the first run makes the fixed entries; then the import.
  const std::wstring run2 = run + L"-import";
  CreateDirectoryW(run2.c_str(), nullptr);
  ASSERT_TRUE(CopyFileW((run + L"\\Linkhoard.exe").c_str(), (run2 + L"\\Linkhoard.exe").c_str(), FALSE));
  {
    Program p(run2);
    ASSERT_TRUE(p.start());
    ASSERT_TRUE(p.waitDocked());
    settledList();
    clickAt(kLeft + layout::kImportLabel.left + 8, p.rect(L"Linkhoard").bottom - layout::kBottomBarHeight + layout::kImportLabel.top + 6);  // 导入
    HWND dialog = waitForFileDialog(GetProcessId(p.process()));
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(answerFileDialog(dialog, file));
    ASSERT_TRUE(waitUntil(
        [&] {
          const auto entries = readStore(run2 + L"\\data\\udb");
          return entries.size() > 10 && readFile(run2 + L"\\data\\bein").empty();
        },
        kSlowWaitMs));
    settledList();
    screenshot("imported.png");
    p.stop();
  }
  EXPECT_EQ(treeOf(readStore(run2 + L"\\data\\udb")), treeOf(readStore(data + L"\\udb")));
}

}  // namespace

// ------------------------------------------------------------ the keyboard and the hot key

namespace {

void keyChord(const std::vector<WORD>& keys) {
  std::vector<INPUT> in;
  for (WORD k : keys) {
    INPUT i{};
    i.type = INPUT_KEYBOARD;
    i.ki.wVk = k;
    in.push_back(i);
  }
  for (auto k = keys.rbegin(); k != keys.rend(); ++k) {
    INPUT i{};
    i.type = INPUT_KEYBOARD;
    i.ki.wVk = *k;
    i.ki.dwFlags = KEYEVENTF_KEYUP;
    in.push_back(i);
  }
  SendInput(static_cast<UINT>(in.size()), in.data(), sizeof in[0]);
}

std::wstring withRecorder(const std::wstring& run, const std::wstring& data) {
  const std::wstring browser = run + L"\\recorder.exe";
  CopyFileW(widen(LH_RECORDER).c_str(), browser.c_str(), FALSE);
  writeFile(data + L"\\config.ini", "[浏览器]\r\n地址=" + std::string(browser.begin(), browser.end()) + "\r\n名称=recorder\r\n");
  return run + L"\\launched.txt";
}

}  // namespace

TEST_F(EndToEnd, KeysOpenACategoryAndABookmarkAndBackspaceGoesBackABar) {
  CreateDirectoryW(data.c_str(), nullptr);
  writeFile(data + L"\\udb", largeStore());
  const std::wstring launched = withRecorder(run, data);
  Program p(run);
  ASSERT_TRUE(p.start());
  ASSERT_TRUE(p.waitDocked());
  auto list = [] { return grab(kLeft, kListTop, layout::kMainWidth, 600); };
  pointTo(kLeft + 200, 60);
  const auto unpointed = settledList();
  // The pointer moves over the list (which activates the window: its
  // highlight shows) and then rests on the header, away from the rows.
  pointTo(kLeft + 200, kListTop + 100);
  ASSERT_TRUE(waitUntil([&] { return differing(unpointed, list()) > 100; }, kWaitMs));
  pointTo(kLeft + 200, 60);
  const HWND main = p.window(L"Linkhoard");
  ASSERT_TRUE(waitUntil([&] { return windowHasFocus(main); }, kWaitMs));
  const auto root = settledList();
  ASSERT_LT(differing(unpointed, root), 100);  // no highlight left

  pressKey(VK_DOWN);  // row 2: the category 工作资料
  ASSERT_TRUE(waitUntil([&] { return differing(root, list()) > 100; }, kWaitMs));  // the highlight
  pressKey(VK_RETURN);
  ASSERT_TRUE(waitUntil([&] { return differing(root, list()) > 5000; }, kWaitMs));
  settledList();
  pressKey(VK_DOWN);  // its first member, 资料 0
  pressKey(VK_RETURN);
  ASSERT_TRUE(waitUntil([&] { return fileExists(launched) && !readUtf16(launched).empty(); }, kSlowWaitMs));
  EXPECT_NE(readUtf16(launched).find(L"\"http://site0.com/0\""), std::wstring::npos);
  settledList();
  screenshot("keyboard-highlight.png");

  pressKey(VK_BACK);  // back to the root's bar: the root's rows again
  ASSERT_TRUE(waitUntil([&] { return differing(root, list()) < 3000; }, kWaitMs));
  p.stop();
  // Two visits: the category's and the bookmark's, nothing else.
  const auto records = lh::store::decodeLog(readFile(data + L"\\bein"));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].op, lh::store::LogOp::RecordVisit);
  EXPECT_EQ(lh::store::getInt(records[0].fields[0]), 11);
  EXPECT_EQ(records[1].op, lh::store::LogOp::RecordVisit);
  EXPECT_EQ(lh::store::getInt(records[1].fields[0]), 12);
}

TEST_F(EndToEnd, TheHotKeySlidesTheWindowOutAndBringsItBackWithTheFocus) {
  Program p(run);
  ASSERT_TRUE(p.start());
  ASSERT_TRUE(p.waitDocked());
  const HWND main = p.window(L"Linkhoard");
  keyChord({VK_CONTROL, VK_MENU, 'B'});
  ASSERT_TRUE(waitUntil([&] { return p.rect(L"Linkhoard").right <= 0; }, kWaitMs)) << p.rect(L"Linkhoard").left;
  // Another window has the focus now (the desktop's, or none).
  SetForegroundWindow(GetDesktopWindow());
  keyChord({VK_CONTROL, VK_MENU, 'B'});
  ASSERT_TRUE(p.waitDocked());
  ASSERT_TRUE(waitUntil([&] { return GetForegroundWindow() == main; }, kWaitMs));
  screenshot("hot-key-in.png");
}

// ------------------------------------------------------------ a screen reader

namespace {

// The COM apartment of the test's thread, which a screen reader's own
// process has (the main window's objects come through COM's proxies).
struct ComApartment {
  ComApartment() : ok(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComApartment() {
    if (ok) CoUninitialize();
  }
  bool ok;
};

// An IAccessible held and released.
class Accessible {
 public:
  Accessible() = default;
  explicit Accessible(IAccessible* a) : a_(a) {}
  ~Accessible() {
    if (a_) a_->Release();
  }
  Accessible(Accessible&& o) noexcept : a_(o.a_) { o.a_ = nullptr; }
  Accessible& operator=(Accessible&& o) noexcept {
    std::swap(a_, o.a_);
    return *this;
  }
  explicit operator bool() const { return a_ != nullptr; }
  IAccessible* operator->() const { return a_; }

  static Accessible fromWindow(HWND w) {
    IAccessible* a = nullptr;
    // (__uuidof: mingw-w64's IID_IAccessible can resolve to an import thunk.)
    if (FAILED(AccessibleObjectFromWindow(w, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&a)))) {
      return {};
    }
    return Accessible(a);
  }
  // The object a VARIANT holds (VT_DISPATCH); the VARIANT is cleared.
  static Accessible in(VARIANT& v) {
    IAccessible* a = nullptr;
    if (V_VT(&v) == VT_DISPATCH && V_DISPATCH(&v)) {
      V_DISPATCH(&v)->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(&a));
    }
    VariantClear(&v);
    return Accessible(a);
  }

  static VARIANT id(long child) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = child;
    return v;
  }
  long count() const {
    LONG n = -1;
    return SUCCEEDED(a_->get_accChildCount(&n)) ? n : -1;
  }
  long role(long child = CHILDID_SELF) const { return i4(&IAccessible::get_accRole, child); }
  long state(long child = CHILDID_SELF) const { return i4(&IAccessible::get_accState, child); }
  std::wstring name(long child = CHILDID_SELF) const { return text(&IAccessible::get_accName, child); }
  std::wstring value(long child = CHILDID_SELF) const { return text(&IAccessible::get_accValue, child); }
  Accessible child(long child) const {
    IDispatch* d = nullptr;
    if (a_->get_accChild(id(child), &d) != S_OK || !d) return {};
    VARIANT v;
    V_VT(&v) = VT_DISPATCH;
    V_DISPATCH(&v) = d;
    return in(v);
  }
  RECT location(long child) const {
    LONG x = 0, y = 0, w = 0, h = 0;
    a_->accLocation(&x, &y, &w, &h, id(child));
    return RECT{x, y, x + w, y + h};
  }
  // The focused child's id; 0 for none (or the object itself); -1 when the
  // call failed.
  long focus() const {
    VARIANT v;
    VariantInit(&v);
    if (FAILED(a_->get_accFocus(&v))) return -1;
    const long id = V_VT(&v) == VT_I4 ? V_I4(&v) : 0;
    VariantClear(&v);
    return id;
  }

 private:
  long i4(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*), long child) const {
    VARIANT v;
    VariantInit(&v);
    if (FAILED((a_->*get)(id(child), &v)) || V_VT(&v) != VT_I4) {
      VariantClear(&v);
      return -1;
    }
    return V_I4(&v);
  }
  std::wstring text(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*), long child) const {
    BSTR b = nullptr;
    if (FAILED((a_->*get)(id(child), &b))) return L"(failed)";
    std::wstring s = b ? std::wstring(b, SysStringLen(b)) : L"";
    SysFreeString(b);
    return s;
  }
  IAccessible* a_ = nullptr;
};

}  // namespace

// The list whose accessible object the root of the main window names (a
// child of role list), or none.
Accessible listOf(const Accessible& root) {
  for (long id = 1; id <= root.count(); ++id) {
    if (root.role(id) == ROLE_SYSTEM_LIST) return root.child(id);
  }
  return {};
}

TEST_F(EndToEnd, AScreenReaderInAnotherProcessReadsTheListAndFollowsTheKeyboardsHighlight) {
  ComApartment com;
  ASSERT_TRUE(com.ok);
  CreateDirectoryW(data.c_str(), nullptr);
  writeFile(data + L"\\udb", sampleStore());
  Program p(run);
  ASSERT_TRUE(p.start());
  ASSERT_TRUE(p.waitDocked());
  const HWND main = p.window(L"Linkhoard");
  Accessible root = Accessible::fromWindow(main);
  ASSERT_TRUE(root);
  EXPECT_EQ(root.role(), ROLE_SYSTEM_CLIENT);

  // The list among the root's children, an object of its own.
  Accessible list = listOf(root);
  ASSERT_TRUE(list);
  EXPECT_EQ(list.role(), ROLE_SYSTEM_LIST);
  // The rows that open something, top to bottom, once the store has loaded:
  // the category, the three pages and the bookmark after the separator.
  const std::wstring expected[] = {L"\u5de5\u4f5c\u8d44\u6599",       // 工作资料
                                   L"\u65b0\u6d6a\u9996\u9875",       // 新浪首页
                                   L"Example Domain",
                                   L"\u4e2d\u56fd\u653f\u5e9c\u7f51",  // 中国政府网
                                   L"A bookmark after a separator"};
  ASSERT_TRUE(waitUntil([&] { return list.count() == 5 && list.name(5) == expected[4]; }, kSlowWaitMs))
      << list.count() << " rows";
  for (long id = 1; id <= 5; ++id) {
    EXPECT_EQ(list.name(id), expected[id - 1]) << id;
    EXPECT_EQ(list.role(id), ROLE_SYSTEM_LISTITEM) << id;
  }
  EXPECT_EQ(list.value(2), L"http://www.sina.com.cn/");
  // 新浪首页 is the list's third row on the screen (the first is the lead row).
  const RECT sina = list.location(2);
  EXPECT_EQ(sina.left, 6);
  EXPECT_EQ(sina.top, kListTop + 2 * kRow);
  EXPECT_EQ(sina.bottom - sina.top, 20);

  // The window active with no row highlighted, as the keyboard tests have it:
  // the pointer over the list (which activates the window) and then, once
  // the window has the focus, back on the header.
  ASSERT_TRUE(pointerGivesFocus(main, kLeft + 200, kListTop + 60));
  pointTo(kLeft + 200, 60);
  ASSERT_TRUE(waitUntil([&] { return list.focus() == 0; }, kWaitMs)) << list.focus();

  // Down highlights the first row that opens something, Down again the next.
  pressKey(VK_DOWN);
  ASSERT_TRUE(waitUntil([&] { return list.focus() == 1; }, kWaitMs)) << list.focus();
  pressKey(VK_DOWN);
  ASSERT_TRUE(waitUntil([&] { return list.focus() == 2; }, kWaitMs)) << list.focus();
  EXPECT_EQ(list.name(list.focus()), expected[1]);
  EXPECT_EQ(list.state(2) & (STATE_SYSTEM_FOCUSED | STATE_SYSTEM_SELECTED), STATE_SYSTEM_FOCUSED | STATE_SYSTEM_SELECTED);
  EXPECT_EQ(list.state(1) & STATE_SYSTEM_FOCUSED, 0);
  // The root answers its focus with the list.
  VARIANT f;
  VariantInit(&f);
  ASSERT_EQ(root->get_accFocus(&f), S_OK);
  Accessible focused = Accessible::in(f);
  ASSERT_TRUE(focused);
  EXPECT_EQ(focused.role(), ROLE_SYSTEM_LIST);

  // The program ends while the reader still holds its objects: they fail.
  p.stop();
  EXPECT_EQ(list.count(), -1);
  EXPECT_EQ(root.name(), L"(failed)");
}


TEST_F(EndToEnd, AfterAClickInTheSearchBoxThePointerOverTheListTakesTheKeys) {
  ComApartment com;
  ASSERT_TRUE(com.ok);
  CreateDirectoryW(data.c_str(), nullptr);
  writeFile(data + L"\\udb", largeStore());
  Program p(run);
  ASSERT_TRUE(p.start());
  ASSERT_TRUE(p.waitDocked());
  const HWND main = p.window(L"Linkhoard");
  pointTo(kLeft + 200, kListTop + 50);  // the window active
  settledList();
  Accessible list = listOf(Accessible::fromWindow(main));
  ASSERT_TRUE(list);
  ASSERT_TRUE(focusEditAt(main, kSearchX, kSearchY));  // a click into the empty search box
  // The pointer onto the list, on the fourth row (list item 3): the keys
  // are the list's again.
  ASSERT_TRUE(pointerGivesFocus(main, kLeft + 200, kListTop + kRow * 3 + 5));
  ASSERT_TRUE(waitUntil([&] { return list.focus() == 3; }, kWaitMs)) << list.focus();
  pressKey(VK_NEXT);
  ASSERT_TRUE(waitUntil([&] { return list.focus() > 3; }, kWaitMs)) << list.focus();
  EXPECT_TRUE(editAt(main, kSearchX, kSearchY) != nullptr && textOf(editAt(main, kSearchX, kSearchY)).empty());
  p.stop();
}

// A bookmark file of an old Mac (every line ended by a CR alone) arrives
// whole; while it is read, the exchange page shows its own captions and the
// progress, nothing of the bookmark panel.
TEST_F(EndToEnd, AnOldMacBookmarkFileImportsWholeWhileThePageShowsItsProgress) {
  ComApartment com;
  ASSERT_TRUE(com.ok);
  CreateDirectoryW(data.c_str(), nullptr);
  writeFile(data + L"\\udb", sampleStore());
  constexpr int kLinks = kSlowWaitMs;
  std::string html = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\r<TITLE>Bookmarks</TITLE>\r<DL><p>\r<DT><H3>Old Mac</H3>\r<DL><p>\r";
  for (int i = 0; i < kLinks; ++i) {
    html += "<DT><A HREF=\"http://mac" + std::to_string(i) + ".example/\">Mac " + std::to_string(i) + "</A>\r";
  }
  html += "</DL><p>\r<DT><A HREF=\"http://after.example/\">After the folder</A>\r</DL><p>\r";
  const std::wstring file = run + L"\\old-mac.htm";
  writeFile(file, html);
  Program p(run);
  ASSERT_TRUE(p.start());
  ASSERT_TRUE(p.waitDocked());
  settledList();
  Accessible root = Accessible::fromWindow(p.window(L"Linkhoard"));
  ASSERT_TRUE(root);
  clickAt(kLeft + layout::kImportLabel.left + 8, p.rect(L"Linkhoard").bottom - layout::kBottomBarHeight + layout::kImportLabel.top + 6);  // 导入
  HWND dialog = waitForFileDialog(GetProcessId(p.process()));
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(answerFileDialog(dialog, file));
  // The status label reads 导入... with a percentage once lines are read.
  const std::wstring importing = L"\u5bfc\u5165...";
  ASSERT_TRUE(waitUntil(
      [&] {
        for (long id = 1; id <= root.count(); ++id) {
          const std::wstring n = root.name(id);
          if (n.rfind(importing, 0) == 0 && n.size() > importing.size() && n.back() == L'%') return true;
        }
        return false;
      },
      30000));
  screenshot("import-progress.png");
  ASSERT_TRUE(waitUntil(
      [&] { return readStore(data + L"\\udb").size() > 10u + kLinks && readFile(data + L"\\bein").empty(); }, 60000));
  settledList();
  screenshot("imported-old-mac.png");
  p.stop();
  int links = 0, after = 0;
  for (const auto& e : readStore(data + L"\\udb")) {
    links += e.url.view().rfind("http://mac", 0) == 0;
    after += e.url.view() == "http://after.example/";
  }
  EXPECT_EQ(links, kLinks);
  EXPECT_EQ(after, 1);
}
