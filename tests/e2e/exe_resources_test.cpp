// The executable as the shell sees it: its icon, its version resource and
// its manifest, read back with the Windows API.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::wstring program() {
  const std::string p = LH_PROGRAM;
  return std::wstring(p.begin(), p.end());
}

// The icon drawn at 32 x 32 over white, as 0x00RRGGBB pixels.
std::vector<std::uint32_t> drawnOverWhite(HICON icon) {
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = 32;
  bi.bmiHeader.biHeight = -32;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  std::fill_n(static_cast<std::uint32_t*>(bits), 32 * 32, 0x00FFFFFFu);
  DrawIconEx(mem, 0, 0, icon, 32, 32, 0, nullptr, DI_NORMAL);
  GdiFlush();
  std::vector<std::uint32_t> out(static_cast<const std::uint32_t*>(bits), static_cast<const std::uint32_t*>(bits) + 32 * 32);
  for (auto& p : out) p &= 0x00FFFFFFu;
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return out;
}

bool looksLike(std::uint32_t rgb, int r, int g, int b) {
  const int pr = (rgb >> 16) & 0xFF, pg = (rgb >> 8) & 0xFF, pb = rgb & 0xFF;
  return std::abs(pr - r) <= 24 && std::abs(pg - g) <= 24 && std::abs(pb - b) <= 24;
}

std::wstring versionString(const std::vector<BYTE>& info, const wchar_t* block, const wchar_t* name) {
  const std::wstring key = std::wstring(L"\\StringFileInfo\\") + block + L"\\" + name;
  wchar_t* value = nullptr;
  UINT len = 0;
  if (!VerQueryValueW(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &len) || !value) return L"<none>";
  std::wstring s(value, len);
  while (!s.empty() && s.back() == L'\0') s.pop_back();
  return s;
}

TEST(ExecutableResources, TheIconIsTheTrayPicture) {
  EXPECT_EQ(ExtractIconExW(program().c_str(), -1, nullptr, nullptr, 0), 1u);
  HICON icon = ExtractIconW(GetModuleHandleW(nullptr), program().c_str(), 0);
  ASSERT_NE(icon, nullptr);
  ASSERT_NE(reinterpret_cast<std::uintptr_t>(icon), 1u);
  const std::vector<std::uint32_t> px = drawnOverWhite(icon);
  DestroyIcon(icon);
  auto at = [&](int x, int y) { return px[static_cast<std::size_t>(y) * 32 + x]; };
  EXPECT_TRUE(looksLike(at(0, 0), 255, 255, 255)) << std::hex << at(0, 0);    // a transparent corner
  EXPECT_TRUE(looksLike(at(5, 16), 0, 199, 232)) << std::hex << at(5, 16);    // the cyan square
  EXPECT_TRUE(looksLike(at(16, 12), 255, 255, 255)) << std::hex << at(16, 12);  // the white ribbon
  EXPECT_TRUE(looksLike(at(16, 27), 0, 199, 232)) << std::hex << at(16, 27);  // the ribbon's notch
}

TEST(ExecutableResources, TheVersionResourceNamesLinkhoard16) {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(program().c_str(), &handle);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> info(size);
  ASSERT_TRUE(GetFileVersionInfoW(program().c_str(), 0, size, info.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT len = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &len));
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(HIWORD(fixed->dwFileVersionMS), 1);
  EXPECT_EQ(LOWORD(fixed->dwFileVersionMS), 6);
  EXPECT_EQ(HIWORD(fixed->dwProductVersionMS), 1);
  EXPECT_EQ(LOWORD(fixed->dwProductVersionMS), 6);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

  struct Translation {
    WORD language, codePage;
  }* translation = nullptr;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &len));
  ASSERT_GE(len, sizeof(Translation));
  EXPECT_EQ(translation->language, 0x0804);
  EXPECT_EQ(translation->codePage, 1200);

  wchar_t block[9];
  swprintf(block, 9, L"%04x%04x", translation->language, translation->codePage);
  EXPECT_EQ(versionString(info, block, L"ProductName"), L"Linkhoard");
  EXPECT_EQ(versionString(info, block, L"ProductVersion"), L"1.6");
  EXPECT_EQ(versionString(info, block, L"FileVersion"), L"1.6.0.0");
  EXPECT_EQ(versionString(info, block, L"OriginalFilename"), L"Linkhoard.exe");
  EXPECT_EQ(versionString(info, block, L"FileDescription"), L"Linkhoard \u7f51\u5740\u6536\u85cf\u5939");  // 网址收藏夹
}

TEST(ExecutableResources, TheManifestAsksForCommonControls6AsInvokerAndNoDpiAwareness) {
  HMODULE image = LoadLibraryExW(program().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(image, nullptr);
  HRSRC found = FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
  ASSERT_NE(found, nullptr);
  const DWORD size = SizeofResource(image, found);
  const char* data = static_cast<const char*>(LockResource(LoadResource(image, found)));
  ASSERT_NE(data, nullptr);
  const std::string manifest(data, size);
  FreeLibrary(image);

  EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
  EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
  EXPECT_NE(manifest.find("<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>"), std::string::npos);  // 10, 11
  EXPECT_NE(manifest.find("<supportedOS Id=\"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}\"/>"), std::string::npos);  // 7
  EXPECT_EQ(manifest.find("dpiAware"), std::string::npos);  // neither dpiAware nor dpiAwareness
}

}  // namespace
