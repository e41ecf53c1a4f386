// GBK <-> UTF-16 with the Windows API, code page 936 named explicitly.
#include <windows.h>

#include "text/codepage.h"

namespace lh::text {

std::u16string gbkToUtf16(std::string_view gbk) {
  if (gbk.empty()) return {};
  const int n = MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
  std::u16string out(n > 0 ? n : 0, u'\0');
  if (n > 0) {
    MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()),
                        reinterpret_cast<wchar_t*>(out.data()), n);
  }
  return out;
}

std::string utf16ToGbk(std::u16string_view utf16) {
  if (utf16.empty()) return {};
  const auto* w = reinterpret_cast<const wchar_t*>(utf16.data());
  const int len = static_cast<int>(utf16.size());
  const int n = WideCharToMultiByte(936, 0, w, len, nullptr, 0, "?", nullptr);
  std::string out(n > 0 ? n : 0, '\0');
  if (n > 0) WideCharToMultiByte(936, 0, w, len, out.data(), n, "?", nullptr);
  return out;
}

}  // namespace lh::text
