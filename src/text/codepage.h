// Conversion between GBK texts and UTF-16, always with code page 936 named
// explicitly, so that the program behaves the same whatever the system's own
// code page is. Implemented with the Windows API on Windows
// (platform/win32/codepage_win32.cpp) and with iconv elsewhere
// (platform/posix/codepage_iconv.cpp).
#pragma once

#include <string>
#include <string_view>

namespace lh::text {

// Bytes that are not valid GBK become U+FFFD (iconv) or the system's default
// replacement (Windows); the conversion never fails as a whole.
std::u16string gbkToUtf16(std::string_view gbk);

// Characters that GBK cannot hold become "?".
std::string utf16ToGbk(std::u16string_view utf16);

// UTF-8 <-> GBK, built on the two above (UTF-8 handled portably).
std::string gbkToUtf8(std::string_view gbk);
std::string utf8ToGbk(std::string_view utf8);

}  // namespace lh::text
