#include "platform/win32/gdi_win32.h"

#include <shellapi.h>

#include <algorithm>

namespace lh::platform::win32 {

OwnedBitmap createDib32(HDC dc, int w, int h, void** bits) {
  *bits = nullptr;
  if (w <= 0 || h <= 0) return {};
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  OwnedBitmap bmp(CreateDIBSection(dc, &bi, DIB_RGB_COLORS, bits, nullptr, 0));
  if (!bmp || !*bits) {
    *bits = nullptr;
    return {};
  }
  return bmp;
}

DibSurface::DibSurface(int w, int h) {
  const ScreenDc screen;
  dc_.reset(CreateCompatibleDC(screen.get()));
  if (!dc_) return;
  void* bits = nullptr;
  bitmap_ = createDib32(dc_.get(), w, h, &bits);
  if (!bitmap_) return;
  previous_ = SelectObject(dc_.get(), bitmap_.get());
  bits_ = static_cast<std::uint32_t*>(bits);
}

DibSurface::~DibSurface() {
  // The bitmap leaves the context before either is freed.
  if (previous_) SelectObject(dc_.get(), previous_);
}

namespace {

// The surface's pixels as an opaque picture (the screen has no alpha).
canvas::Picture opaquePicture(const DibSurface& s, int w, int h) {
  canvas::Picture p;
  p.width = w;
  p.height = h;
  p.alpha = canvas::Alpha::Premultiplied;
  p.pixels.assign(s.bits(), s.bits() + static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
  for (auto& q : p.pixels) q |= 0xFF000000u;
  return p;
}

}  // namespace

canvas::Picture screenPicture(int w, int h) {
  if (w <= 0 || h <= 0 || w > canvas::kMaxPictureSide || h > canvas::kMaxPictureSide) return {};
  const DibSurface surface(w, h);
  const ScreenDc screen;
  if (!surface.ok() || !screen.get()) return {};
  SetStretchBltMode(surface.dc(), HALFTONE);
  SetBrushOrgEx(surface.dc(), 0, 0, nullptr);
  StretchBlt(surface.dc(), 0, 0, w, h, screen.get(), 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
             SRCCOPY | CAPTUREBLT);
  GdiFlush();
  return opaquePicture(surface, w, h);
}

canvas::Picture executableIconPicture(const std::wstring& path) {
  constexpr int kSide = 32;
  if (path.empty()) return {};
  HICON extracted = ExtractIconW(GetModuleHandleW(nullptr), path.c_str(), 0);
  // (1 means "not an executable": no icon to free.)
  if (reinterpret_cast<std::uintptr_t>(extracted) == 1) return {};
  const OwnedIcon icon(extracted);
  if (!icon) return {};
  const DibSurface surface(kSide, kSide);
  if (!surface.ok()) return {};
  std::fill_n(surface.bits(), kSide * kSide, 0xFFFFFFFFu);  // white
  DrawIconEx(surface.dc(), 0, 0, icon.get(), kSide, kSide, 0, nullptr, DI_NORMAL);
  GdiFlush();
  return opaquePicture(surface, kSide, kSide);
}

}  // namespace lh::platform::win32
