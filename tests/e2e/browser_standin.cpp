// Stand-in browsers for the end-to-end tests: a top-level window whose
// class, title and accessible tree are shaped like today's browsers', its
// tree served across processes through WM_GETOBJECT and LresultFromObject as
// the browsers serve theirs (they draw their address bars themselves: no
// child window holds the address).
//
//   browser_standin.exe <kind> <left> <top> <width> <height>
//
// kind: chromium, firefox, chinese, focused, notsecure, hang (stops
// answering once asked for its tree's objects), deep (the bar below the
// walk's depth), huge (100,000 objects before the bar), nobar. The window
// stays until the process is ended.
#include <windows.h>
#include <oleacc.h>
#include <shellapi.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// ------------------------------------------------------------ the tree

struct Node {
  long role = ROLE_SYSTEM_CLIENT;
  long state = 0;
  std::wstring name, value, shortcut;
  std::vector<std::shared_ptr<Node>> children;
  // A generated subtree: `count` plain groupings, the last one holding
  // `last` (the huge browser's 100,000 objects, made only when asked for).
  int generated = 0;
  std::shared_ptr<Node> last;
};
using NodeP = std::shared_ptr<Node>;

NodeP make(long role, std::wstring name = L"", std::wstring value = L"", std::vector<NodeP> children = {}) {
  auto n = std::make_shared<Node>();
  n->role = role;
  n->name = std::move(name);
  n->value = std::move(value);
  n->children = std::move(children);
  return n;
}

NodeP bar(std::wstring name, std::wstring value, std::wstring shortcut, long state = 0) {
  NodeP b = make(ROLE_SYSTEM_TEXT, std::move(name), std::move(value));
  b->shortcut = std::move(shortcut);
  b->state = state;
  return b;
}

// Chromium's: client → pane → toolbar (back, the site-information button,
// the omnibox), and the page's document beside it.
NodeP chromium(NodeP omnibox, const std::wstring& siteButton = L"View site information") {
  NodeP toolbar = make(ROLE_SYSTEM_TOOLBAR, L"", L"",
                       {make(ROLE_SYSTEM_PUSHBUTTON, L"Back"), make(ROLE_SYSTEM_PUSHBUTTON, siteButton), omnibox});
  NodeP page = make(ROLE_SYSTEM_DOCUMENT, L"Page", L"",
                    {bar(L"Search", L"evil.example.org/phish", L"")});
  return make(ROLE_SYSTEM_CLIENT, L"", L"", {make(ROLE_SYSTEM_PANE, L"", L"", {toolbar, page})});
}

bool gHang = false;  // the hang browser: asked for a child count, it never answers

NodeP treeOf(const std::wstring& kind) {
  if (kind == L"chromium" || kind == L"hang") {
    return chromium(bar(L"Address and search bar", L"example.com/path?q=1", L"Ctrl+L"));
  }
  if (kind == L"firefox") {
    NodeP urlbar = bar(L"Search or enter address", L"https://www.mozilla.org/en-US/", L"");
    return make(ROLE_SYSTEM_CLIENT, L"", L"",
                {make(ROLE_SYSTEM_TOOLBAR, L"Navigation", L"", {make(ROLE_SYSTEM_COMBOBOX, L"", L"", {urlbar})})});
  }
  if (kind == L"chinese") return chromium(bar(L"\u5730\u5740\u548c\u641c\u7d22\u680f", L"www.example.cn/news", L""));
  if (kind == L"focused") {
    return chromium(bar(L"Address and search bar", L"half.typed.example", L"Ctrl+L", STATE_SYSTEM_FOCUSED));
  }
  if (kind == L"notsecure") {
    return chromium(bar(L"Address and search bar", L"plain.example/", L"Ctrl+L"), L"Not secure");
  }
  if (kind == L"deep") {
    NodeP n = bar(L"Address and search bar", L"deep.example/", L"Ctrl+L");
    for (int i = 0; i < 40; ++i) n = make(ROLE_SYSTEM_PANE, L"", L"", {n});
    return make(ROLE_SYSTEM_CLIENT, L"", L"", {n});
  }
  if (kind == L"huge") {
    // A hundred groups of a thousand, the bar the very last object.
    NodeP root = make(ROLE_SYSTEM_CLIENT);
    for (int g = 0; g < 100; ++g) {
      NodeP group = make(ROLE_SYSTEM_GROUPING);
      group->generated = 1000;
      if (g == 99) group->last = bar(L"Address and search bar", L"late.example/", L"Ctrl+L");
      root->children.push_back(group);
    }
    return root;
  }
  // nobar
  return make(ROLE_SYSTEM_CLIENT, L"", L"",
              {make(ROLE_SYSTEM_TOOLBAR, L"", L"", {make(ROLE_SYSTEM_PUSHBUTTON, L"Menu")})});
}

int childCount(const Node& n) { return n.generated ? n.generated : static_cast<int>(n.children.size()); }

NodeP childAt(const NodeP& n, int i) {  // 0-based
  if (!n->generated) return n->children[static_cast<std::size_t>(i)];
  if (i == n->generated - 1 && n->last) return n->last;
  return make(ROLE_SYSTEM_GROUPING);
}

// ------------------------------------------------------------ the objects

class Object : public IAccessible {
 public:
  explicit Object(NodeP node) : node_(std::move(node)) {}
  virtual ~Object() = default;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(IAccessible)) {
      *out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return n;
  }
  // IDispatch: not for scripts.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  // IAccessible: every child is an object of its own.
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** p) override {
    *p = nullptr;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* n) override {
    if (gHang) {
      // Stops answering, as a browser stuck in its own work does.
      for (;;) Sleep(1000);
    }
    *n = childCount(*node_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
    *out = nullptr;
    if (V_VT(&child) != VT_I4 || V_I4(&child) < 1 || V_I4(&child) > childCount(*node_)) return E_INVALIDARG;
    *out = new Object(childAt(node_, V_I4(&child) - 1));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* out) override { return text(child, node_->name, out); }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* out) override { return text(child, node_->value, out); }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT, BSTR* out) override {
    *out = nullptr;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* out) override {
    if (!self(child)) return E_INVALIDARG;
    V_VT(out) = VT_I4;
    V_I4(out) = node_->role;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* out) override {
    if (!self(child)) return E_INVALIDARG;
    V_VT(out) = VT_I4;
    V_I4(out) = node_->state;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR* out) override {
    *out = nullptr;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, long* topic) override {
    *file = nullptr;
    *topic = 0;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* out) override {
    return text(child, node_->shortcut, out);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* out) override {
    V_VT(out) = VT_EMPTY;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* out) override {
    V_VT(out) = VT_EMPTY;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT, BSTR* out) override {
    *out = nullptr;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE accSelect(long, VARIANT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE accLocation(long* x, long* y, long* w, long* h, VARIANT) override {
    *x = *y = *w = *h = 0;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long, VARIANT, VARIANT* out) override {
    V_VT(out) = VT_EMPTY;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long, long, VARIANT* out) override {
    V_VT(out) = VT_EMPTY;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

 private:
  static bool self(const VARIANT& child) { return V_VT(&child) == VT_I4 && V_I4(&child) == CHILDID_SELF; }
  static HRESULT text(const VARIANT& child, const std::wstring& t, BSTR* out) {
    *out = nullptr;
    if (!self(child)) return E_INVALIDARG;
    if (t.empty()) return S_FALSE;
    *out = SysAllocStringLen(t.data(), static_cast<UINT>(t.size()));
    return S_OK;
  }

  NodeP node_;
  LONG refs_ = 1;
};

// ------------------------------------------------------------ the window

NodeP gTree;

LRESULT CALLBACK proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_GETOBJECT && static_cast<long>(lp) == OBJID_CLIENT && gTree) {
    Object* root = new Object(gTree);
    const LRESULT r = LresultFromObject(__uuidof(IAccessible), wp, root);
    root->Release();
    return r;
  }
  if (m == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(w, m, wp, lp);
}

struct Kind {
  const wchar_t* name;
  const wchar_t* windowClass;
  const wchar_t* title;
};

const Kind kKinds[] = {
    {L"chromium", L"Chrome_WidgetWin_1", L"Example Domain - Google Chrome"},
    {L"firefox", L"MozillaWindowClass", L"Internet for people \u2014 Mozilla Firefox"},
    {L"chinese", L"Chrome_WidgetWin_1", L"\u65b0\u95fb - 360\u5b89\u5168\u6d4f\u89c8\u5668"},
    {L"focused", L"Chrome_WidgetWin_1", L"Typing - Google Chrome"},
    {L"notsecure", L"Chrome_WidgetWin_1", L"Plain page - Google Chrome"},
    {L"hang", L"Chrome_WidgetWin_1", L"Stuck - Google Chrome"},
    {L"deep", L"Chrome_WidgetWin_1", L"Deep - Google Chrome"},
    {L"huge", L"Chrome_WidgetWin_1", L"Huge - Google Chrome"},
    {L"nobar", L"MozillaWindowClass", L"No bar \u2014 Mozilla Firefox"},
};

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argc < 6) return 2;
  const std::wstring kind = argv[1];
  const Kind* k = nullptr;
  for (const Kind& candidate : kKinds) {
    if (kind == candidate.name) k = &candidate;
  }
  if (!k) return 2;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  gTree = treeOf(kind);
  gHang = kind == L"hang";
  WNDCLASSW wc{};
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = k->windowClass;
  RegisterClassW(&wc);
  CreateWindowExW(0, k->windowClass, k->title, WS_POPUP | WS_VISIBLE, _wtoi(argv[2]), _wtoi(argv[3]), _wtoi(argv[4]),
                  _wtoi(argv[5]), nullptr, nullptr, instance, nullptr);
  LocalFree(argv);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  CoUninitialize();
  return 0;
}
