// Pixels through GDI: 32-bit DIB sections and a memory device context with
// one selected, for drawing text, icons and screen copies into our own
// pixel buffers.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "canvas/picture.h"
#include "platform/win32/scoped_win.h"

namespace lh::platform::win32 {

// A top-down 32-bit DIB section of w x h pixels; `bits` receives its pixels.
// None (and `bits` null) when the system could not make one: out of GDI
// memory, or an empty size. Callers never write through a null `bits`.
OwnedBitmap createDib32(HDC dc, int w, int h, void** bits);

// A w x h DIB section selected into a memory device context compatible
// with the screen; `ok()` is false when either could not be made. Both go
// (the bitmap deselected first) when this goes.
class DibSurface {
 public:
  DibSurface(int w, int h);
  ~DibSurface();
  DibSurface(const DibSurface&) = delete;
  DibSurface& operator=(const DibSurface&) = delete;
  bool ok() const { return bits_ != nullptr; }
  HDC dc() const { return dc_.get(); }
  std::uint32_t* bits() const { return bits_; }

 private:
  OwnedMemoryDc dc_;
  OwnedBitmap bitmap_;
  std::uint32_t* bits_ = nullptr;
  HGDIOBJ previous_ = nullptr;
};

// The whole screen reduced to w x h (opaque); empty when it could not be
// read.
canvas::Picture screenPicture(int w, int h);

// The first icon of an executable drawn at 32 x 32 on white; empty when it
// has none.
canvas::Picture executableIconPicture(const std::wstring& path);

}  // namespace lh::platform::win32
