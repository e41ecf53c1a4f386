// GBK texts to and from the wide-character API (code page 936, named
// explicitly by text/codepage.h).
#pragma once

#include <string>

#include "text/codepage.h"

namespace lh::platform::win32 {

inline std::wstring wide(const std::string& gbk) {
  const std::u16string w = text::gbkToUtf16(gbk);
  return std::wstring(w.begin(), w.end());
}

inline std::string narrow(const wchar_t* w, std::size_t n) {
  return text::utf16ToGbk(std::u16string(reinterpret_cast<const char16_t*>(w), n));
}
inline std::string narrow(const std::wstring& w) { return narrow(w.data(), w.size()); }

}  // namespace lh::platform::win32
