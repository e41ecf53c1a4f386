// A host window of the real platform read the way a screen reader reads it:
// through oleacc's AccessibleObjectFromWindow, AccessibleChildren and
// AccessibleObjectFromEvent, and a WinEvent hook for the focus.
#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/accessible_win32.h"
#include "win/real_platform.h"

namespace lh::platform {
namespace {

// (Not IID_IAccessible: see accessible_win32.cpp.)
const IID kIidAccessible = __uuidof(IAccessible);

// An interface pointer released when it goes.
template <typename T>
class Ref {
 public:
  Ref() = default;
  ~Ref() { reset(); }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  Ref(Ref&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
  Ref& operator=(Ref&& o) noexcept {
    if (this != &o) {
      reset();
      p_ = o.p_;
      o.p_ = nullptr;
    }
    return *this;
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T** out() {
    reset();
    return &p_;
  }
  void reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }

 private:
  T* p_ = nullptr;
};

VARIANT childId(long id) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_I4;
  V_I4(&v) = id;
  return v;
}

std::wstring textOf(HRESULT (IAccessible::*get)(VARIANT, BSTR*), IAccessible* a, long id) {
  BSTR b = nullptr;
  (a->*get)(childId(id), &b);
  std::wstring s = b ? std::wstring(b, SysStringLen(b)) : L"(none)";
  SysFreeString(b);
  return s;
}
std::wstring nameOf(IAccessible* a, long id = CHILDID_SELF) { return textOf(&IAccessible::get_accName, a, id); }
std::wstring valueOf(IAccessible* a, long id = CHILDID_SELF) { return textOf(&IAccessible::get_accValue, a, id); }

long i4Of(HRESULT (IAccessible::*get)(VARIANT, VARIANT*), IAccessible* a, long id) {
  VARIANT v;
  VariantInit(&v);
  if (FAILED((a->*get)(childId(id), &v)) || V_VT(&v) != VT_I4) {
    VariantClear(&v);
    return -1;
  }
  return V_I4(&v);
}
long roleOf(IAccessible* a, long id = CHILDID_SELF) { return i4Of(&IAccessible::get_accRole, a, id); }
long stateOf(IAccessible* a, long id = CHILDID_SELF) { return i4Of(&IAccessible::get_accState, a, id); }

struct Location {
  long left = 0, top = 0, width = 0, height = 0;
  bool operator==(const Location&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Location& l) {
  return os << "(" << l.left << ", " << l.top << ", " << l.width << " x " << l.height << ")";
}
Location locationOf(IAccessible* a, long id = CHILDID_SELF) {
  Location l;
  EXPECT_EQ(a->accLocation(&l.left, &l.top, &l.width, &l.height, childId(id)), S_OK);
  return l;
}

// The accessible object a VARIANT holds (VT_DISPATCH), or none.
Ref<IAccessible> objectIn(VARIANT& v) {
  Ref<IAccessible> a;
  if (V_VT(&v) == VT_DISPATCH && V_DISPATCH(&v)) {
    V_DISPATCH(&v)->QueryInterface(kIidAccessible, reinterpret_cast<void**>(a.out()));
  }
  VariantClear(&v);
  return a;
}

AccessibleNode node(AccessibleRole role, const std::string& name, Bounds b) {
  AccessibleNode n;
  n.role = role;
  n.name = name;
  n.bounds = b;
  return n;
}

// A window of 300 x 400 at (200, 150): a back button, a view tab, the list
// (the root's child 2) with three rows, a button and a count below.
AccessibleNode sampleTree() {
  AccessibleNode root = node(AccessibleRole::Client, "我的收藏", {0, 0, 300, 400});
  root.children.push_back(node(AccessibleRole::PushButton, "返回", {4, 4, 60, 24}));
  AccessibleNode tab = node(AccessibleRole::PageTab, "最近访问", {70, 4, 80, 24});
  tab.selected = true;
  root.children.push_back(tab);
  AccessibleNode list = node(AccessibleRole::List, "书签", {0, 40, 300, 300});
  const char* rows[][2] = {
      {"新浪首页", "http://www.sina.com.cn/"}, {"Example Domain", "http://example.com/"}, {"中国政府网", "http://www.gov.cn/"}};
  for (int i = 0; i < 3; ++i) {
    AccessibleNode row = node(AccessibleRole::ListItem, rows[i][0], {0, 40 + 20 * i, 300, 20});
    row.value = rows[i][1];
    list.children.push_back(row);
  }
  list.children[1].focused = list.children[1].selected = true;
  root.children.push_back(list);
  root.children.push_back(node(AccessibleRole::PushButton, "新建分类", {4, 350, 100, 24}));
  root.children.push_back(node(AccessibleRole::StaticText, "共三个书签", {120, 350, 170, 24}));
  return root;
}

// Names in UTF-16.
const wchar_t kSina[] = L"\u65b0\u6d6a\u9996\u9875";        // 新浪首页
const wchar_t kGov[] = L"\u4e2d\u56fd\u653f\u5e9c\u7f51";    // 中国政府网
const wchar_t kNewCategory[] = L"\u65b0\u5efa\u5206\u7c7b";  // 新建分类

void pumpUntil(const std::function<bool()>& done, int timeoutMs) {
  const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
  MSG msg;
  while (GetTickCount64() < end && !done()) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

class WindowAccessibility : public ::testing::Test {
 protected:
  void SetUp() override {
    live_ = win32::liveAccessibleObjects();
    window_ = realPlatform().createWindow(WindowOptions{{200, 150, 300, 400}, true, false, false, "AccessibleTest"});
    window_->events.accessibleTree = [this] {
      ++reads_;
      return tree_;
    };
    window_->setVisible(true);
  }
  void TearDown() override {
    window_.reset();
    // Every object a test took has been released by now: none may be left.
    EXPECT_EQ(win32::liveAccessibleObjects(), live_);
  }

  HWND hwnd() const { return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window_->nativeId())); }
  Ref<IAccessible> fromWindow(LONG objectId) {
    Ref<IAccessible> a;
    const HRESULT hr = AccessibleObjectFromWindow(hwnd(), static_cast<DWORD>(objectId), kIidAccessible,
                                                  reinterpret_cast<void**>(a.out()));
    if (FAILED(hr)) a.reset();
    return a;
  }
  Ref<IAccessible> root() { return fromWindow(OBJID_CLIENT); }
  Ref<IAccessible> listOf(IAccessible* root) {
    Ref<IDispatch> d;
    EXPECT_EQ(root->get_accChild(childId(3), d.out()), S_OK);
    VARIANT v;
    V_VT(&v) = VT_DISPATCH;
    V_DISPATCH(&v) = d.get();
    d.get()->AddRef();
    return objectIn(v);
  }

  AccessibleNode tree_ = sampleTree();
  int reads_ = 0;
  long live_ = 0;
  std::unique_ptr<HostWindow> window_;
};

TEST_F(WindowAccessibility, TheClientObjectIsTheRootWithItsChildrenNumberedFromOne) {
  Ref<IAccessible> r = root();
  ASSERT_TRUE(r);
  EXPECT_EQ(roleOf(r.get()), ROLE_SYSTEM_CLIENT);
  EXPECT_EQ(nameOf(r.get()), L"\u6211\u7684\u6536\u85cf");  // 我的收藏
  LONG count = 0;
  ASSERT_EQ(r->get_accChildCount(&count), S_OK);
  EXPECT_EQ(count, 5);
  EXPECT_EQ(roleOf(r.get(), 1), ROLE_SYSTEM_PUSHBUTTON);
  EXPECT_EQ(nameOf(r.get(), 1), L"\u8fd4\u56de");  // 返回
  EXPECT_EQ(roleOf(r.get(), 2), ROLE_SYSTEM_PAGETAB);
  EXPECT_EQ(roleOf(r.get(), 3), ROLE_SYSTEM_LIST);
  EXPECT_EQ(nameOf(r.get(), 3), L"\u4e66\u7b7e");  // 书签
  EXPECT_EQ(roleOf(r.get(), 4), ROLE_SYSTEM_PUSHBUTTON);
  EXPECT_EQ(nameOf(r.get(), 4), kNewCategory);
  EXPECT_EQ(roleOf(r.get(), 5), ROLE_SYSTEM_STATICTEXT);
  EXPECT_EQ(nameOf(r.get(), 5), L"\u5171\u4e09\u4e2a\u4e66\u7b7e");  // 共三个书签
  EXPECT_EQ(valueOf(r.get(), 1), L"(none)");
  // Buttons are neither focusable nor selected; the selected tab says so.
  EXPECT_EQ(stateOf(r.get(), 1), 0);
  EXPECT_EQ(stateOf(r.get(), 2), STATE_SYSTEM_SELECTED);
  EXPECT_EQ(stateOf(r.get(), 5), STATE_SYSTEM_READONLY);
  EXPECT_EQ(stateOf(r.get()) & STATE_SYSTEM_INVISIBLE, 0);
  // Child ids outside 1..5 are refused.
  BSTR b = nullptr;
  EXPECT_EQ(r->get_accName(childId(6), &b), E_INVALIDARG);
  EXPECT_EQ(r->get_accName(childId(-1), &b), E_INVALIDARG);
  EXPECT_EQ(b, nullptr);
  LONG x, y, w, h;
  EXPECT_EQ(r->accLocation(&x, &y, &w, &h, childId(0x10000)), E_INVALIDARG);
}

TEST_F(WindowAccessibility, TheListIsAnObjectOfItsOwnAndOtherChildrenAreSimpleElements) {
  Ref<IAccessible> r = root();
  ASSERT_TRUE(r);
  for (long id : {1L, 2L, 4L, 5L}) {
    IDispatch* d = reinterpret_cast<IDispatch*>(1);
    EXPECT_EQ(r->get_accChild(childId(id), &d), S_FALSE) << id;
    EXPECT_EQ(d, nullptr) << id;
  }
  Ref<IAccessible> list = listOf(r.get());
  ASSERT_TRUE(list);
  EXPECT_EQ(roleOf(list.get()), ROLE_SYSTEM_LIST);
  EXPECT_EQ(nameOf(list.get()), L"\u4e66\u7b7e");
  LONG count = 0;
  ASSERT_EQ(list->get_accChildCount(&count), S_OK);
  EXPECT_EQ(count, 3);
  // The rows are the list's simple elements.
  IDispatch* d = reinterpret_cast<IDispatch*>(1);
  EXPECT_EQ(list->get_accChild(childId(1), &d), S_FALSE);
  EXPECT_EQ(d, nullptr);
  // The list's parent is the root; the root's is the window.
  Ref<IDispatch> parent;
  ASSERT_EQ(list->get_accParent(parent.out()), S_OK);
  VARIANT pv;
  V_VT(&pv) = VT_DISPATCH;
  V_DISPATCH(&pv) = parent.get();
  parent.get()->AddRef();
  Ref<IAccessible> back = objectIn(pv);
  ASSERT_TRUE(back);
  EXPECT_EQ(roleOf(back.get()), ROLE_SYSTEM_CLIENT);
  EXPECT_EQ(nameOf(back.get(), 4), kNewCategory);
  Ref<IDispatch> window;
  ASSERT_EQ(r->get_accParent(window.out()), S_OK);
  ASSERT_TRUE(window);
  VARIANT wv;
  V_VT(&wv) = VT_DISPATCH;
  V_DISPATCH(&wv) = window.get();
  window.get()->AddRef();
  Ref<IAccessible> frame = objectIn(wv);
  ASSERT_TRUE(frame);
  Ref<IOleWindow> ole;
  ASSERT_EQ(frame->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(ole.out())), S_OK);
  HWND frameWindow = nullptr;
  ASSERT_EQ(ole->GetWindow(&frameWindow), S_OK);
  EXPECT_EQ(frameWindow, hwnd());
  // oleacc finds the window from the list by climbing those parents.
  HWND found = nullptr;
  ASSERT_EQ(WindowFromAccessibleObject(list.get(), &found), S_OK);
  EXPECT_EQ(found, hwnd());

  // oleacc's own enumeration sees the same: the list as an object.
  VARIANT children[8];
  LONG got = 0;
  ASSERT_TRUE(SUCCEEDED(AccessibleChildren(r.get(), 0, 8, children, &got)));
  ASSERT_EQ(got, 5);
  EXPECT_EQ(V_VT(&children[0]), VT_I4);
  EXPECT_EQ(V_I4(&children[0]), 1);
  Ref<IAccessible> enumerated = objectIn(children[2]);
  ASSERT_TRUE(enumerated);
  EXPECT_EQ(roleOf(enumerated.get()), ROLE_SYSTEM_LIST);
  EXPECT_EQ(V_VT(&children[4]), VT_I4);
  EXPECT_EQ(V_I4(&children[4]), 5);
  for (LONG i = 0; i < got; ++i) VariantClear(&children[i]);
}

TEST_F(WindowAccessibility, RowsAnswerNamesValuesStatesAndScreenLocations) {
  Ref<IAccessible> r = root();
  ASSERT_TRUE(r);
  Ref<IAccessible> list = listOf(r.get());
  ASSERT_TRUE(list);
  EXPECT_EQ(roleOf(list.get(), 1), ROLE_SYSTEM_LISTITEM);
  EXPECT_EQ(nameOf(list.get(), 1), kSina);
  EXPECT_EQ(valueOf(list.get(), 1), L"http://www.sina.com.cn/");
  EXPECT_EQ(nameOf(list.get(), 2), L"Example Domain");
  EXPECT_EQ(nameOf(list.get(), 3), kGov);
  EXPECT_EQ(valueOf(list.get(), 3), L"http://www.gov.cn/");
  constexpr long kItem = STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_SELECTABLE;
  EXPECT_EQ(stateOf(list.get(), 1), kItem);
  EXPECT_EQ(stateOf(list.get(), 2), kItem | STATE_SYSTEM_FOCUSED | STATE_SYSTEM_SELECTED);
  EXPECT_EQ(stateOf(list.get(), 3), kItem);

  // Client coordinates moved to the screen: the window stands at (200, 150).
  RECT wr{};
  GetWindowRect(hwnd(), &wr);
  ASSERT_EQ(wr.left, 200);
  ASSERT_EQ(wr.top, 150);
  EXPECT_EQ(locationOf(r.get()), (Location{200, 150, 300, 400}));
  EXPECT_EQ(locationOf(list.get()), (Location{200, 190, 300, 300}));
  EXPECT_EQ(locationOf(list.get(), 3), (Location{200, 230, 300, 20}));
  EXPECT_EQ(locationOf(r.get(), 4), (Location{204, 500, 100, 24}));
  // The window moves: so do the answers.
  window_->setBounds({260, 100, 300, 400});
  EXPECT_EQ(locationOf(list.get(), 1), (Location{260, 140, 300, 20}));
}

TEST_F(WindowAccessibility, TheFocusIsTheListObjectOnTheRootAndTheRowOnTheList) {
  Ref<IAccessible> r = root();
  ASSERT_TRUE(r);
  VARIANT v;
  ASSERT_EQ(r->get_accFocus(&v), S_OK);
  ASSERT_EQ(V_VT(&v), VT_DISPATCH);
  Ref<IAccessible> focused = objectIn(v);
  ASSERT_TRUE(focused);
  EXPECT_EQ(roleOf(focused.get()), ROLE_SYSTEM_LIST);
  ASSERT_EQ(focused->get_accFocus(&v), S_OK);
  ASSERT_EQ(V_VT(&v), VT_I4);
  EXPECT_EQ(V_I4(&v), 2);
  ASSERT_EQ(focused->get_accSelection(&v), S_OK);
  ASSERT_EQ(V_VT(&v), VT_I4);
  EXPECT_EQ(V_I4(&v), 2);

  // The highlight moves to the third row: asked afresh, the answers follow.
  tree_.children[2].children[1].focused = tree_.children[2].children[1].selected = false;
  tree_.children[2].children[2].focused = tree_.children[2].children[2].selected = true;
  ASSERT_EQ(focused->get_accFocus(&v), S_OK);
  ASSERT_EQ(V_VT(&v), VT_I4);
  EXPECT_EQ(V_I4(&v), 3);
  EXPECT_EQ(stateOf(focused.get(), 3) & STATE_SYSTEM_FOCUSED, STATE_SYSTEM_FOCUSED);
  EXPECT_EQ(stateOf(focused.get(), 2) & STATE_SYSTEM_FOCUSED, 0);

  // No highlight: no focus anywhere.
  tree_.children[2].children[2].focused = tree_.children[2].children[2].selected = false;
  ASSERT_EQ(r->get_accFocus(&v), S_OK);
  EXPECT_EQ(V_VT(&v), VT_EMPTY);
  ASSERT_EQ(focused->get_accFocus(&v), S_OK);
  EXPECT_EQ(V_VT(&v), VT_EMPTY);
  ASSERT_EQ(focused->get_accSelection(&v), S_OK);
  EXPECT_EQ(V_VT(&v), VT_EMPTY);
  // The root's selection is then the selected tab.
  ASSERT_EQ(r->get_accSelection(&v), S_OK);
  ASSERT_EQ(V_VT(&v), VT_I4);
  EXPECT_EQ(V_I4(&v), 2);
}

TEST_F(WindowAccessibility, EveryCallReadsTheContentsAfresh) {
  Ref<IAccessible> r = root();
  ASSERT_TRUE(r);
  Ref<IAccessible> list = listOf(r.get());
  ASSERT_TRUE(list);
  // The list scrolls: other rows, more of them.
  tree_.children[2].children.erase(tree_.children[2].children.begin());
  for (int i = 0; i < 3; ++i) {
    AccessibleNode row = node(AccessibleRole::ListItem, "Row " + std::to_string(i), {0, 80 + 20 * i, 300, 20});
    tree_.children[2].children.push_back(row);
  }
  const int before = reads_;
  LONG count = 0;
  ASSERT_EQ(list->get_accChildCount(&count), S_OK);
  EXPECT_EQ(count, 5);
  EXPECT_EQ(nameOf(list.get(), 1), L"Example Domain");
  EXPECT_EQ(nameOf(list.get(), 5), L"Row 2");
  EXPECT_GE(reads_, before + 3);
  // The list is gone from the root's child 2: its object fails instead of
  // answering for whatever stands there now.
  tree_.children.erase(tree_.children.begin() + 2);
  EXPECT_EQ(list->get_accChildCount(&count), E_FAIL);
  EXPECT_EQ(nameOf(list.get()), L"(none)");
  EXPECT_EQ(nameOf(r.get(), 3), kNewCategory);
}

TEST_F(WindowAccessibility, ObjectIdsAboveZeroNameTheRootsContainersOnly) {
  Ref<IAccessible> list = fromWindow(3);  // the root's child 2
  ASSERT_TRUE(list);
  EXPECT_EQ(roleOf(list.get()), ROLE_SYSTEM_LIST);
  EXPECT_EQ(nameOf(list.get(), 1), kSina);
  list.reset();
  // A simple element, or an id past the children, is not ours to answer.
  const long live = win32::liveAccessibleObjects();
  for (LONG id : {1, 4, 6, 100}) {
    Ref<IAccessible> other = fromWindow(id);
    if (other) {
      EXPECT_NE(roleOf(other.get()), ROLE_SYSTEM_LIST) << id;
    }
  }
  EXPECT_EQ(win32::liveAccessibleObjects(), live);
  // An empty list is still a list, with no rows and no focus.
  tree_.children[2].children.clear();
  list = fromWindow(3);
  ASSERT_TRUE(list);
  LONG count = -1;
  ASSERT_EQ(list->get_accChildCount(&count), S_OK);
  EXPECT_EQ(count, 0);
  VARIANT v;
  ASSERT_EQ(list->get_accFocus(&v), S_OK);
  EXPECT_EQ(V_VT(&v), VT_EMPTY);
  // Without a tree the window is left to the system's standard object.
  list.reset();
  window_->events.accessibleTree = nullptr;
  Ref<IAccessible> standard = root();
  ASSERT_TRUE(standard);
  EXPECT_EQ(win32::liveAccessibleObjects(), live);
}

TEST_F(WindowAccessibility, HitTestAndNavigationFollowTheBounds) {
  Ref<IAccessible> r = root();
  ASSERT_TRUE(r);
  VARIANT v;
  // On the third row: the root answers with the list, the list with the row.
  ASSERT_EQ(r->accHitTest(200 + 150, 150 + 40 + 2 * 20 + 5, &v), S_OK);
  Ref<IAccessible> list = objectIn(v);
  ASSERT_TRUE(list);
  EXPECT_EQ(roleOf(list.get()), ROLE_SYSTEM_LIST);
  ASSERT_EQ(list->accHitTest(200 + 150, 150 + 40 + 2 * 20 + 5, &v), S_OK);
  ASSERT_EQ(V_VT(&v), VT_I4);
  EXPECT_EQ(V_I4(&v), 3);
  // On the button below the list; on the root's bare background; outside.
  ASSERT_EQ(r->accHitTest(200 + 10, 150 + 360, &v), S_OK);
  ASSERT_EQ(V_VT(&v), VT_I4);
  EXPECT_EQ(V_I4(&v), 4);
  ASSERT_EQ(r->accHitTest(200 + 200, 150 + 20, &v), S_OK);
  ASSERT_EQ(V_VT(&v), VT_I4);
  EXPECT_EQ(V_I4(&v), CHILDID_SELF);
  EXPECT_EQ(r->accHitTest(100, 100, &v), S_FALSE);
  EXPECT_EQ(V_VT(&v), VT_EMPTY);

  // Through the rows: first, next, down, past the last.
  ASSERT_EQ(list->accNavigate(NAVDIR_FIRSTCHILD, childId(CHILDID_SELF), &v), S_OK);
  ASSERT_EQ(V_VT(&v), VT_I4);
  EXPECT_EQ(V_I4(&v), 1);
  ASSERT_EQ(list->accNavigate(NAVDIR_NEXT, childId(1), &v), S_OK);
  EXPECT_EQ(V_I4(&v), 2);
  ASSERT_EQ(list->accNavigate(NAVDIR_DOWN, childId(2), &v), S_OK);
  EXPECT_EQ(V_I4(&v), 3);
  ASSERT_EQ(list->accNavigate(NAVDIR_UP, childId(2), &v), S_OK);
  EXPECT_EQ(V_I4(&v), 1);
  EXPECT_EQ(list->accNavigate(NAVDIR_NEXT, childId(3), &v), S_FALSE);
  EXPECT_EQ(V_VT(&v), VT_EMPTY);
  EXPECT_EQ(list->accNavigate(NAVDIR_LASTCHILD, childId(3), &v), E_INVALIDARG);
  // Among the root's children: right of the back button is the tab; down
  // from the tab is the list (an object); the list's next sibling is the
  // button below it.
  ASSERT_EQ(r->accNavigate(NAVDIR_RIGHT, childId(1), &v), S_OK);
  ASSERT_EQ(V_VT(&v), VT_I4);
  EXPECT_EQ(V_I4(&v), 2);
  ASSERT_EQ(r->accNavigate(NAVDIR_DOWN, childId(2), &v), S_OK);
  Ref<IAccessible> below = objectIn(v);
  ASSERT_TRUE(below);
  EXPECT_EQ(roleOf(below.get()), ROLE_SYSTEM_LIST);
  ASSERT_EQ(list->accNavigate(NAVDIR_NEXT, childId(CHILDID_SELF), &v), S_OK);
  ASSERT_EQ(V_VT(&v), VT_I4);
  EXPECT_EQ(V_I4(&v), 4);
}

TEST_F(WindowAccessibility, CallsFromOtherApartmentsComeToTheWindowsThread) {
  // The platform made the GUI thread a single-threaded apartment...
  APTTYPE type{};
  APTTYPEQUALIFIER qualifier{};
  ASSERT_EQ(CoGetApartmentType(&type, &qualifier), S_OK);
  EXPECT_TRUE(type == APTTYPE_MAINSTA || type == APTTYPE_STA) << type;
  // ...so a reader in another apartment gets a proxy, and its calls run
  // here, between this thread's messages, never beside the program.
  const DWORD gui = GetCurrentThreadId();
  std::vector<DWORD> askedOn;
  window_->events.accessibleTree = [this, &askedOn] {
    askedOn.push_back(GetCurrentThreadId());
    return tree_;
  };
  std::atomic<bool> done{false};
  HRESULT got = E_FAIL;
  LONG count = -1;
  std::wstring rowName;
  const HWND w = hwnd();
  std::thread reader([&] {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IAccessible* a = nullptr;
    got = AccessibleObjectFromWindow(w, static_cast<DWORD>(OBJID_CLIENT), kIidAccessible, reinterpret_cast<void**>(&a));
    if (SUCCEEDED(got) && a) {
      a->get_accChildCount(&count);
      IDispatch* d = nullptr;
      if (a->get_accChild(childId(3), &d) == S_OK && d) {
        IAccessible* list = nullptr;
        if (SUCCEEDED(d->QueryInterface(kIidAccessible, reinterpret_cast<void**>(&list)))) {
          rowName = nameOf(list, 1);
          list->Release();
        }
        d->Release();
      }
      a->Release();
    }
    CoUninitialize();
    done = true;
  });
  pumpUntil([&] { return done.load(); }, 20000);
  reader.join();
  ASSERT_EQ(got, S_OK);
  EXPECT_EQ(count, 5);
  EXPECT_EQ(rowName, kSina);
  ASSERT_FALSE(askedOn.empty());
  for (DWORD t : askedOn) EXPECT_EQ(t, gui);
  // (The proxies' references go when the reader's apartment ends.)
  pumpUntil([&] { return win32::liveAccessibleObjects() == live_; }, 5000);
}

struct FocusEvent {
  HWND hwnd;
  LONG object, child;
};
std::vector<FocusEvent> gFocusEvents;

void CALLBACK onFocus(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD, DWORD) {
  if (event == EVENT_OBJECT_FOCUS) gFocusEvents.push_back({hwnd, object, child});
}

TEST_F(WindowAccessibility, TheFocusEventLeadsAScreenReaderToTheHighlightedRow) {
  gFocusEvents.clear();
  HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_FOCUS, nullptr, onFocus,
                                       GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
  ASSERT_NE(hook, nullptr);
  tree_.children[2].children[1].focused = tree_.children[2].children[1].selected = false;
  tree_.children[2].children[2].focused = tree_.children[2].children[2].selected = true;
  window_->accessibleFocus(2, 2);
  auto ours = [this] {
    for (const FocusEvent& e : gFocusEvents) {
      if (e.hwnd == hwnd()) return true;
    }
    return false;
  };
  pumpUntil(ours, 10000);
  UnhookWinEvent(hook);
  ASSERT_TRUE(ours());
  FocusEvent e{};
  for (const FocusEvent& f : gFocusEvents) {
    if (f.hwnd == hwnd()) e = f;
  }
  EXPECT_EQ(e.object, 3);
  EXPECT_EQ(e.child, 3);
  // What a screen reader does with the event: the object and child it names.
  Ref<IAccessible> a;
  VARIANT child;
  ASSERT_EQ(AccessibleObjectFromEvent(e.hwnd, static_cast<DWORD>(e.object), static_cast<DWORD>(e.child), a.out(), &child),
            S_OK);
  ASSERT_TRUE(a);
  ASSERT_EQ(V_VT(&child), VT_I4);
  EXPECT_EQ(V_I4(&child), 3);
  EXPECT_EQ(nameOf(a.get(), V_I4(&child)), kGov);
  EXPECT_EQ(roleOf(a.get(), V_I4(&child)), ROLE_SYSTEM_LISTITEM);
  EXPECT_EQ(stateOf(a.get(), V_I4(&child)) & STATE_SYSTEM_FOCUSED, STATE_SYSTEM_FOCUSED);
}

TEST_F(WindowAccessibility, ObjectsKeptAfterTheWindowIsDestroyedFailWithoutTouchingIt) {
  Ref<IAccessible> r = root();
  ASSERT_TRUE(r);
  Ref<IAccessible> list = listOf(r.get());
  ASSERT_TRUE(list);
  const long live = win32::liveAccessibleObjects();
  EXPECT_GE(live, live_ + 2);
  window_.reset();
  const int readsAfter = reads_;
  LONG count = 7;
  EXPECT_EQ(r->get_accChildCount(&count), E_FAIL);
  EXPECT_EQ(count, 0);
  BSTR b = nullptr;
  EXPECT_EQ(list->get_accName(childId(1), &b), E_FAIL);
  EXPECT_EQ(b, nullptr);
  VARIANT v;
  EXPECT_EQ(list->get_accFocus(&v), E_FAIL);
  EXPECT_EQ(V_VT(&v), VT_EMPTY);
  LONG x, y, w, h;
  EXPECT_EQ(r->accLocation(&x, &y, &w, &h, childId(1)), E_FAIL);
  EXPECT_EQ(r->accHitTest(250, 200, &v), E_FAIL);
  IDispatch* d = nullptr;
  EXPECT_EQ(r->get_accParent(&d), E_FAIL);
  EXPECT_EQ(reads_, readsAfter);  // the tree is never asked for again
  // Released, they go.
  r.reset();
  list.reset();
  EXPECT_EQ(win32::liveAccessibleObjects(), live - 2);
}

TEST_F(WindowAccessibility, AWindowClosedByTheSystemCutsItsObjectsOffToo) {
  Ref<IAccessible> r = root();
  ASSERT_TRUE(r);
  // Alt+F4's message: without a closeRequested handler the window goes,
  // while the program still holds its HostWindow.
  SendMessageW(hwnd(), WM_CLOSE, 0, 0);
  ASSERT_FALSE(IsWindow(hwnd()));
  LONG count = 0;
  EXPECT_EQ(r->get_accChildCount(&count), E_FAIL);
  EXPECT_EQ(nameOf(r.get(), 1), L"(none)");
}

}  // namespace
}  // namespace lh::platform
