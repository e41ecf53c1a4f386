// The window's MSAA objects (accessible_win32.h). Every call asks the
// program for its tree afresh, since the list scrolls and changes between
// an assistive program's calls; an object names its element by position
// (the root, or the root's child c), never by a pointer into a tree.
#include "platform/win32/accessible_win32.h"

#include <oleacc.h>

#include <atomic>
#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

#include "platform/win32/wide.h"

namespace lh::platform::win32 {

// What the window shares with its objects. The window clears it when it is
// destroyed; the objects only read it, on the window's thread.
struct AccessibleSource {
  HWND hwnd = nullptr;
  const WindowEvents* events = nullptr;

  // The tree now; nothing once the window is gone or gives no tree.
  std::optional<AccessibleNode> tree() const {
    if (!hwnd || !events || !events->accessibleTree) return std::nullopt;
    return events->accessibleTree();
  }
};

namespace {

std::atomic<long> gLiveObjects{0};

// (Not IID_IAccessible: mingw-w64's oleacc import library declares that
// name as an import thunk, and when it is linked before libuuid the name
// resolves to the thunk's code rather than the GUID.)
const IID kIidAccessible = __uuidof(IAccessible);

// A child of the root that is an object of its own: one with children, or
// a list (an empty list is still a list to the user).
bool isContainer(const AccessibleNode& n) { return !n.children.empty() || n.role == AccessibleRole::List; }

long roleOf(AccessibleRole r) {
  switch (r) {
    case AccessibleRole::Client: return ROLE_SYSTEM_CLIENT;
    case AccessibleRole::List: return ROLE_SYSTEM_LIST;
    case AccessibleRole::ListItem: return ROLE_SYSTEM_LISTITEM;
    case AccessibleRole::PushButton: return ROLE_SYSTEM_PUSHBUTTON;
    case AccessibleRole::PageTab: return ROLE_SYSTEM_PAGETAB;
    case AccessibleRole::StaticText: return ROLE_SYSTEM_STATICTEXT;
  }
  return ROLE_SYSTEM_CLIENT;
}

long stateOf(const AccessibleNode& n) {
  long s = 0;
  if (n.role == AccessibleRole::ListItem) s |= STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_SELECTABLE;
  if (n.role == AccessibleRole::StaticText) s |= STATE_SYSTEM_READONLY;
  if (n.focused) s |= STATE_SYSTEM_FOCUSED;
  if (n.selected) s |= STATE_SYSTEM_SELECTED;
  return s;
}

bool contains(const Bounds& b, POINT p) {
  return p.x >= b.left && p.x < b.left + b.width && p.y >= b.top && p.y < b.top + b.height;
}

// The sibling nearest to `from` wholly in the direction (NAVDIR_UP, DOWN,
// LEFT, RIGHT); -1 when there is none.
long nearestInDirection(const std::vector<AccessibleNode>& nodes, long from, long dir) {
  const Bounds& a = nodes[static_cast<std::size_t>(from)].bounds;
  long best = -1;
  long long bestScore = 0;
  for (long j = 0; j < static_cast<long>(nodes.size()); ++j) {
    if (j == from) continue;
    const Bounds& b = nodes[static_cast<std::size_t>(j)].bounds;
    long long along = 0, across = 0;
    switch (dir) {
      case NAVDIR_DOWN:
        along = b.top - (a.top + a.height);
        across = std::llabs((b.left * 2LL + b.width) - (a.left * 2LL + a.width)) / 2;
        break;
      case NAVDIR_UP:
        along = a.top - (b.top + b.height);
        across = std::llabs((b.left * 2LL + b.width) - (a.left * 2LL + a.width)) / 2;
        break;
      case NAVDIR_RIGHT:
        along = b.left - (a.left + a.width);
        across = std::llabs((b.top * 2LL + b.height) - (a.top * 2LL + a.height)) / 2;
        break;
      case NAVDIR_LEFT:
        along = a.left - (b.left + b.width);
        across = std::llabs((b.top * 2LL + b.height) - (a.top * 2LL + a.height)) / 2;
        break;
      default:
        return -1;
    }
    if (along < 0) continue;
    const long long score = along + across;
    if (best < 0 || score < bestScore) {
      best = j;
      bestScore = score;
    }
  }
  return best;
}

BSTR bstrOf(const std::string& gbk) {
  const std::wstring w = wide(gbk);
  return SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
}

void setI4(VARIANT* v, long value) {
  V_VT(v) = VT_I4;
  V_I4(v) = value;
}

// The root (container -1) or the root's child `container`, as an object.
class AccessibleObject final : public IAccessible {
 public:
  AccessibleObject(std::shared_ptr<AccessibleSource> source, int container)
      : source_(std::move(source)), container_(container) {
    ++gLiveObjects;
  }
  ~AccessibleObject() { --gLiveObjects; }
  AccessibleObject(const AccessibleObject&) = delete;
  AccessibleObject& operator=(const AccessibleObject&) = delete;

  // ------------------------------------------------------------ IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, kIidAccessible)) {
      *out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  // ------------------------------------------------------------ IDispatch
  // No type information: clients call the IAccessible methods directly.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  // ------------------------------------------------------------ IAccessible
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    if (!parent) return E_POINTER;
    *parent = nullptr;
    AccessibleNode self;
    if (HRESULT hr = view(self); FAILED(hr)) return hr;
    if (container_ >= 0) {
      *parent = new AccessibleObject(source_, -1);
      return S_OK;
    }
    return CreateStdAccessibleObject(source_->hwnd, OBJID_WINDOW, IID_IDispatch, reinterpret_cast<void**>(parent));
  }

  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    AccessibleNode self;
    if (HRESULT hr = view(self); FAILED(hr)) return hr;
    *count = static_cast<LONG>(self.children.size());
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    AccessibleNode self;
    if (HRESULT hr = view(self); FAILED(hr)) return hr;
    const long index = childIndex(self, child);
    if (index < 0) return E_INVALIDARG;
    if (container_ < 0 && isContainer(self.children[static_cast<std::size_t>(index)])) {
      *out = new AccessibleObject(source_, static_cast<int>(index));
      return S_OK;
    }
    return S_FALSE;  // a simple element: its parent answers for it
  }

  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    return text(child, name, [](const AccessibleNode& n) { return n.name; });
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    return text(child, value, [](const AccessibleNode& n) { return n.value; });
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* out) override {
    return text(child, out, [](const AccessibleNode&) { return std::string(); });
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* out) override {
    return text(child, out, [](const AccessibleNode&) { return std::string(); });
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* out) override {
    return text(child, out, [](const AccessibleNode&) { return std::string(); });
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, LONG* topic) override {
    if (file) *file = nullptr;
    if (topic) *topic = 0;
    return DISP_E_MEMBERNOTFOUND;
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT, BSTR* action) override {
    if (action) *action = nullptr;
    return DISP_E_MEMBERNOTFOUND;
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
  HRESULT STDMETHODCALLTYPE accSelect(LONG, VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if (!role) return E_POINTER;
    VariantInit(role);
    const AccessibleNode* n = nullptr;
    AccessibleNode self;
    if (HRESULT hr = element(child, self, &n); FAILED(hr)) return hr;
    setI4(role, roleOf(n->role));
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    if (!state) return E_POINTER;
    VariantInit(state);
    const AccessibleNode* n = nullptr;
    AccessibleNode self;
    if (HRESULT hr = element(child, self, &n); FAILED(hr)) return hr;
    long s = stateOf(*n);
    if (container_ < 0 && n == &self && !IsWindowVisible(source_->hwnd)) s |= STATE_SYSTEM_INVISIBLE;
    setI4(state, s);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override {
    if (!left || !top || !width || !height) return E_POINTER;
    *left = *top = *width = *height = 0;
    const AccessibleNode* n = nullptr;
    AccessibleNode self;
    if (HRESULT hr = element(child, self, &n); FAILED(hr)) return hr;
    Bounds b = n->bounds;
    if (n == &self && container_ < 0 && (b.width <= 0 || b.height <= 0)) {
      RECT rc{};
      GetClientRect(source_->hwnd, &rc);
      b = Bounds{0, 0, rc.right, rc.bottom};
    }
    POINT p{b.left, b.top};
    ClientToScreen(source_->hwnd, &p);
    *left = p.x;
    *top = p.y;
    *width = b.width;
    *height = b.height;
    return S_OK;
  }

  // The focused element: a child id here, or (on the root) the container
  // object holding the focused item.
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* out) override {
    return marked(out, [](const AccessibleNode& n) { return n.focused; });
  }
  // The selected element, answered like the focus (one at most: the list's
  // highlighted row).
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* out) override {
    return marked(out, [](const AccessibleNode& n) { return n.selected; });
  }

  HRESULT STDMETHODCALLTYPE accNavigate(LONG dir, VARIANT start, VARIANT* out) override {
    if (!out) return E_POINTER;
    VariantInit(out);
    AccessibleNode self;
    if (HRESULT hr = view(self); FAILED(hr)) return hr;
    if (V_VT(&start) != VT_I4) return E_INVALIDARG;
    const long from = V_I4(&start);
    if (from == CHILDID_SELF) {
      if (dir == NAVDIR_FIRSTCHILD || dir == NAVDIR_LASTCHILD) {
        if (self.children.empty()) return S_FALSE;
        const long j = dir == NAVDIR_FIRSTCHILD ? 0 : static_cast<long>(self.children.size()) - 1;
        childVariant(self.children, j, container_ < 0, out);
        return S_OK;
      }
      if (dir < NAVDIR_UP || dir > NAVDIR_PREVIOUS) return E_INVALIDARG;
      if (container_ < 0) return S_FALSE;  // the root's own siblings are the window's business
      // A container moves among the root's children.
      std::optional<AccessibleNode> root = source_->tree();
      if (!root) return E_FAIL;
      return sibling(root->children, container_, dir, true, out);
    }
    if (from < 1 || from > static_cast<long>(self.children.size())) return E_INVALIDARG;
    if (dir == NAVDIR_FIRSTCHILD || dir == NAVDIR_LASTCHILD) return E_INVALIDARG;  // from a simple element
    return sibling(self.children, from - 1, dir, container_ < 0, out);
  }

  HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* out) override {
    if (!out) return E_POINTER;
    VariantInit(out);
    AccessibleNode self;
    if (HRESULT hr = view(self); FAILED(hr)) return hr;
    POINT p{x, y};
    ScreenToClient(source_->hwnd, &p);
    Bounds own = self.bounds;
    if (container_ < 0) {
      RECT rc{};
      GetClientRect(source_->hwnd, &rc);
      if (own.width <= 0 || own.height <= 0) own = Bounds{0, 0, rc.right, rc.bottom};
    }
    if (!contains(own, p)) return S_FALSE;
    // Later children are drawn over earlier ones.
    for (long j = static_cast<long>(self.children.size()) - 1; j >= 0; --j) {
      if (contains(self.children[static_cast<std::size_t>(j)].bounds, p)) {
        childVariant(self.children, j, container_ < 0, out);
        return S_OK;
      }
    }
    setI4(out, CHILDID_SELF);
    return S_OK;
  }

 private:
  // This object's node in the tree as it is now. E_FAIL when the window is
  // gone, or when the root's child this object stands for is no container
  // any more.
  HRESULT view(AccessibleNode& out) const {
    std::optional<AccessibleNode> root = source_->tree();
    if (!root) return E_FAIL;
    if (container_ < 0) {
      out = std::move(*root);
      return S_OK;
    }
    if (static_cast<std::size_t>(container_) >= root->children.size() ||
        !isContainer(root->children[static_cast<std::size_t>(container_)])) {
      return E_FAIL;
    }
    out = std::move(root->children[static_cast<std::size_t>(container_)]);
    return S_OK;
  }

  // The index of the child a child id names (1..n); -1 for CHILDID_SELF or
  // an id out of range.
  static long childIndex(const AccessibleNode& self, const VARIANT& id) {
    if (V_VT(&id) != VT_I4) return -1;
    const long v = V_I4(&id);
    if (v < 1 || v > static_cast<long>(self.children.size())) return -1;
    return v - 1;
  }

  // The element a child id names: this object's node (CHILDID_SELF) or one
  // of its children. `self` receives the tree it points into.
  HRESULT element(const VARIANT& id, AccessibleNode& self, const AccessibleNode** out) const {
    if (HRESULT hr = view(self); FAILED(hr)) return hr;
    if (V_VT(&id) == VT_I4 && V_I4(&id) == CHILDID_SELF) {
      *out = &self;
      return S_OK;
    }
    const long index = childIndex(self, id);
    if (index < 0) return E_INVALIDARG;
    *out = &self.children[static_cast<std::size_t>(index)];
    return S_OK;
  }

  template <typename Get>
  HRESULT text(const VARIANT& id, BSTR* out, Get get) const {
    if (!out) return E_POINTER;
    *out = nullptr;
    const AccessibleNode* n = nullptr;
    AccessibleNode self;
    if (HRESULT hr = element(id, self, &n); FAILED(hr)) return hr;
    const std::string s = get(*n);
    if (s.empty()) return S_FALSE;
    *out = bstrOf(s);
    return *out ? S_OK : E_OUTOFMEMORY;
  }

  // Child j of `nodes` as a VARIANT: at the root level a container is its
  // object, anything else its child id.
  void childVariant(const std::vector<AccessibleNode>& nodes, long j, bool rootLevel, VARIANT* out) const {
    if (rootLevel && isContainer(nodes[static_cast<std::size_t>(j)])) {
      V_VT(out) = VT_DISPATCH;
      V_DISPATCH(out) = new AccessibleObject(source_, static_cast<int>(j));
    } else {
      setI4(out, j + 1);
    }
  }

  HRESULT sibling(const std::vector<AccessibleNode>& nodes, long from, long dir, bool rootLevel, VARIANT* out) const {
    long j = -1;
    switch (dir) {
      case NAVDIR_NEXT: j = from + 1; break;
      case NAVDIR_PREVIOUS: j = from - 1; break;
      case NAVDIR_UP:
      case NAVDIR_DOWN:
      case NAVDIR_LEFT:
      case NAVDIR_RIGHT: j = nearestInDirection(nodes, from, dir); break;
      default: return E_INVALIDARG;
    }
    if (j < 0 || j >= static_cast<long>(nodes.size())) return S_FALSE;
    childVariant(nodes, j, rootLevel, out);
    return S_OK;
  }

  // The focus or the selection: the first child the predicate marks (on
  // the root, a container holding a marked item comes as its object);
  // VT_EMPTY when there is none.
  template <typename Marked>
  HRESULT marked(VARIANT* out, Marked is) const {
    if (!out) return E_POINTER;
    VariantInit(out);
    AccessibleNode self;
    if (HRESULT hr = view(self); FAILED(hr)) return hr;
    for (std::size_t j = 0; j < self.children.size(); ++j) {
      const AccessibleNode& c = self.children[j];
      if (container_ < 0 && isContainer(c)) {
        bool holds = is(c);
        for (const AccessibleNode& item : c.children) holds = holds || is(item);
        if (!holds) continue;
        childVariant(self.children, static_cast<long>(j), true, out);
        return S_OK;
      }
      if (is(c)) {
        setI4(out, static_cast<long>(j) + 1);
        return S_OK;
      }
    }
    if (is(self)) setI4(out, CHILDID_SELF);
    return S_OK;
  }

  std::atomic<ULONG> refs_{1};
  std::shared_ptr<AccessibleSource> source_;
  int container_;
};

}  // namespace

WindowAccessibility::WindowAccessibility(HWND hwnd, const WindowEvents& events)
    : source_(std::make_shared<AccessibleSource>()) {
  source_->hwnd = hwnd;
  source_->events = &events;
}

WindowAccessibility::~WindowAccessibility() { detach(); }

void WindowAccessibility::detach() {
  source_->hwnd = nullptr;
  source_->events = nullptr;
}

bool WindowAccessibility::getObject(WPARAM wp, LPARAM lp, LRESULT* result) {
  // The object id is a 32-bit value (OBJID_CLIENT is negative); callers
  // pass it zero- or sign-extended.
  const LONG id = static_cast<LONG>(static_cast<DWORD>(lp));
  if (id != OBJID_CLIENT && id <= 0) return false;
  std::optional<AccessibleNode> root = source_->tree();
  if (!root) return false;
  int container = -1;
  if (id > 0) {
    container = id - 1;
    if (static_cast<std::size_t>(container) >= root->children.size() ||
        !isContainer(root->children[static_cast<std::size_t>(container)])) {
      return false;
    }
  }
  auto* object = new AccessibleObject(source_, container);
  *result = LresultFromObject(kIidAccessible, wp, static_cast<IAccessible*>(object));
  object->Release();  // the marshalled reference keeps it while a client holds it
  return true;
}

long liveAccessibleObjects() { return gLiveObjects.load(); }

}  // namespace lh::platform::win32
