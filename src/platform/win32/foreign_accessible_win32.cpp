#include "platform/win32/foreign_accessible_win32.h"

#include <oleacc.h>

#include <algorithm>
#include <vector>

#include "platform/win32/scoped_win.h"
#include "platform/win32/wide.h"

namespace lh::platform::win32 {

namespace {

// The calling thread's COM apartment (a multithreaded one: the other
// program's objects reach it through their proxies, no message loop needed),
// joined while any object of this file lives on the thread and left when
// the last one goes. Left then, in the read's own code, and never from a
// thread-exit destructor: there the loader lock is held, and leaving
// releases proxies with calls to the other program, which may be hung or
// gone; every thread the process starts or ends would wait meanwhile.
class ApartmentRef {
 public:
  ApartmentRef() {
    if (users_ == 0) joined_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    ++users_;
  }
  ~ApartmentRef() {
    if (--users_ == 0 && joined_) {
      CoUninitialize();
      joined_ = false;
    }
  }
  ApartmentRef(const ApartmentRef&) = delete;
  ApartmentRef& operator=(const ApartmentRef&) = delete;

 private:
  static thread_local int users_;
  static thread_local bool joined_;
};
thread_local int ApartmentRef::users_ = 0;
thread_local bool ApartmentRef::joined_ = false;

VARIANT childVariant(long id) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_I4;
  V_I4(&v) = id;
  return v;
}

std::string narrowBstr(BSTR b) {
  if (!b) return {};
  std::string out = narrow(b, SysStringLen(b));
  SysFreeString(b);
  return out;
}

// One object, or one simple element of its parent (child id > 0).
class Win32ForeignAccessible : public ForeignAccessible {
 public:
  Win32ForeignAccessible(ComPtr<IAccessible> object, long child) : object_(std::move(object)), child_(child) {}

  int role() override {
    VARIANT r;
    VariantInit(&r);
    if (FAILED(object_->get_accRole(childVariant(child_), &r))) return 0;
    const int role = V_VT(&r) == VT_I4 ? static_cast<int>(V_I4(&r)) : 0;
    VariantClear(&r);
    return role;
  }
  std::uint32_t state() override {
    VARIANT s;
    VariantInit(&s);
    if (FAILED(object_->get_accState(childVariant(child_), &s))) return 0;
    const std::uint32_t state = V_VT(&s) == VT_I4 ? static_cast<std::uint32_t>(V_I4(&s)) : 0;
    VariantClear(&s);
    return state;
  }
  std::string name() override { return text(&IAccessible::get_accName); }
  std::string value() override { return text(&IAccessible::get_accValue); }
  std::string keyboardShortcut() override { return text(&IAccessible::get_accKeyboardShortcut); }

  std::vector<std::unique_ptr<ForeignAccessible>> children(int most) override {
    std::vector<std::unique_ptr<ForeignAccessible>> out;
    if (child_ != CHILDID_SELF || most <= 0) return out;  // simple elements have none
    long count = 0;
    if (FAILED(object_->get_accChildCount(&count)) || count <= 0) return out;
    const long wanted = std::min<long>(count, most);
    std::vector<VARIANT> got(static_cast<std::size_t>(wanted));
    long obtained = 0;
    if (FAILED(AccessibleChildren(object_.get(), 0, wanted, got.data(), &obtained))) return out;
    for (long i = 0; i < obtained; ++i) {
      VARIANT& v = got[static_cast<std::size_t>(i)];
      if (V_VT(&v) == VT_DISPATCH && V_DISPATCH(&v)) {
        ComPtr<IAccessible> a;
        if (SUCCEEDED(V_DISPATCH(&v)->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(a.out())))) {
          out.push_back(std::make_unique<Win32ForeignAccessible>(std::move(a), CHILDID_SELF));
        }
      } else if (V_VT(&v) == VT_I4) {
        ComPtr<IAccessible> same(object_.get());
        object_->AddRef();
        out.push_back(std::make_unique<Win32ForeignAccessible>(std::move(same), V_I4(&v)));
      }
      VariantClear(&v);
    }
    return out;
  }

 private:
  std::string text(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*)) {
    BSTR b = nullptr;
    if (FAILED((object_.get()->*get)(childVariant(child_), &b))) return {};
    return narrowBstr(b);
  }

  ApartmentRef apartment_;  // (first: the proxy below is released inside it)
  ComPtr<IAccessible> object_;
  long child_;
};

}  // namespace

std::unique_ptr<ForeignAccessible> accessibleOfWindow(HWND w, unsigned timeoutMs) {
  if (!w) return nullptr;
  const ApartmentRef apartment;
  // WM_GETOBJECT bounded (AccessibleObjectFromWindow would wait for a hung
  // window as long as it hangs), then the answer unmarshalled.
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(w, WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_CLIENT), SMTO_NORMAL | SMTO_ABORTIFHUNG,
                           timeoutMs, &result) ||
      result == 0) {
    return nullptr;
  }
  ComPtr<IAccessible> root;
  if (FAILED(ObjectFromLresult(static_cast<LRESULT>(result), __uuidof(IAccessible), 0,
                               reinterpret_cast<void**>(root.out()))) ||
      !root) {
    return nullptr;
  }
  return std::make_unique<Win32ForeignAccessible>(std::move(root), CHILDID_SELF);
}

}  // namespace lh::platform::win32
