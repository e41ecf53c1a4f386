// Owners of the system's handles: each frees what it holds when it goes, so
// that no early return can forget a device context, a bitmap, an icon, a
// block of global memory, an open clipboard or a COM reference.
#pragma once

#include <windows.h>

#include <utility>

namespace lh::platform::win32 {

// A handle and the way to free it. Traits give the handle type, the value
// that means none, and the call that frees a handle.
template <class Traits>
class Owned {
 public:
  using Handle = typename Traits::Handle;
  Owned() = default;
  explicit Owned(Handle h) : h_(h) {}
  ~Owned() { reset(); }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  Owned(Owned&& o) noexcept : h_(o.release()) {}
  Owned& operator=(Owned&& o) noexcept {
    if (this != &o) reset(o.release());
    return *this;
  }
  Handle get() const { return h_; }
  explicit operator bool() const { return h_ != Traits::none(); }
  // Gives the handle up without freeing it (its new owner frees it).
  Handle release() { return std::exchange(h_, Traits::none()); }
  void reset(Handle h = Traits::none()) {
    if (h_ != Traits::none()) Traits::free(h_);
    h_ = h;
  }

 private:
  Handle h_ = Traits::none();
};

template <class H>
struct GdiObjectTraits {
  using Handle = H;
  static H none() { return nullptr; }
  static void free(H h) { DeleteObject(h); }
};
using OwnedBitmap = Owned<GdiObjectTraits<HBITMAP>>;
using OwnedFont = Owned<GdiObjectTraits<HFONT>>;
using OwnedBrush = Owned<GdiObjectTraits<HBRUSH>>;

struct MemoryDcTraits {
  using Handle = HDC;
  static HDC none() { return nullptr; }
  static void free(HDC h) { DeleteDC(h); }
};
// A memory device context (CreateCompatibleDC).
using OwnedMemoryDc = Owned<MemoryDcTraits>;

struct IconTraits {
  using Handle = HICON;
  static HICON none() { return nullptr; }
  static void free(HICON h) { DestroyIcon(h); }
};
using OwnedIcon = Owned<IconTraits>;

struct KernelHandleTraits {
  using Handle = HANDLE;
  static HANDLE none() { return nullptr; }
  static void free(HANDLE h) { CloseHandle(h); }
};
// A process, a mutex, a thread: none is null.
using OwnedHandle = Owned<KernelHandleTraits>;

struct SnapshotTraits {
  using Handle = HANDLE;
  static HANDLE none() { return INVALID_HANDLE_VALUE; }
  static void free(HANDLE h) { CloseHandle(h); }
};
// A toolhelp snapshot or a file: none is INVALID_HANDLE_VALUE.
using OwnedSnapshot = Owned<SnapshotTraits>;

struct RegistryKeyTraits {
  using Handle = HKEY;
  static HKEY none() { return nullptr; }
  static void free(HKEY h) { RegCloseKey(h); }
};
using OwnedKey = Owned<RegistryKeyTraits>;

struct GlobalMemoryTraits {
  using Handle = HGLOBAL;
  static HGLOBAL none() { return nullptr; }
  static void free(HGLOBAL h) { GlobalFree(h); }
};
// Global memory, until the clipboard takes it (release it then).
using OwnedGlobal = Owned<GlobalMemoryTraits>;

struct WindowTraits {
  using Handle = HWND;
  static HWND none() { return nullptr; }
  static void free(HWND h) { DestroyWindow(h); }
};
using OwnedWindow = Owned<WindowTraits>;

// The screen's device context (GetDC of no window), released when it goes.
class ScreenDc {
 public:
  ScreenDc() : dc_(GetDC(nullptr)) {}
  ~ScreenDc() {
    if (dc_) ReleaseDC(nullptr, dc_);
  }
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

// An object selected into a device context, the one before it selected
// back when this goes.
class Selection {
 public:
  Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~Selection() {
    if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
  }
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// Global memory locked for reading or writing; null when the lock failed.
template <class T>
class LockedGlobal {
 public:
  explicit LockedGlobal(HGLOBAL h) : h_(h), p_(h ? static_cast<T*>(GlobalLock(h)) : nullptr) {}
  ~LockedGlobal() {
    if (p_) GlobalUnlock(h_);
  }
  LockedGlobal(const LockedGlobal&) = delete;
  LockedGlobal& operator=(const LockedGlobal&) = delete;
  T* get() const { return p_; }

 private:
  HGLOBAL h_;
  T* p_;
};

// The clipboard, open for as long as this lives when `opened` (the result
// of OpenClipboard) says it was.
class OpenClipboardScope {
 public:
  explicit OpenClipboardScope(bool opened) : opened_(opened) {}
  ~OpenClipboardScope() {
    if (opened_) CloseClipboard();
  }
  OpenClipboardScope(const OpenClipboardScope&) = delete;
  OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
  bool opened() const { return opened_; }

 private:
  bool opened_;
};

// A COM reference, released when it goes.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  explicit ComPtr(T* p) : p_(p) {}
  ~ComPtr() {
    if (p_) p_->Release();
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For the calls that hand a reference out through a pointer's address.
  T** out() {
    if (p_) p_->Release();
    p_ = nullptr;
    return &p_;
  }
  T* release() { return std::exchange(p_, nullptr); }

 private:
  T* p_ = nullptr;
};

}  // namespace lh::platform::win32
