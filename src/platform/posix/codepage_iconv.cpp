// GBK <-> UTF-16 with iconv (glibc's CP936 table).
#include <errno.h>
#include <iconv.h>

#include <vector>

#include "text/codepage.h"

namespace lh::text {

namespace {

// Converts with iconv, replacing each unconvertible input unit (of
// `unitBytes`) by `replacement` in the output encoding.
std::string convert(const char* to, const char* from, const char* in, std::size_t inLen,
                    std::size_t unitBytes, std::string_view replacement) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  std::string out;
  std::vector<char> buf(inLen * 2 + 16);
  char* src = const_cast<char*>(in);
  std::size_t left = inLen;
  while (left > 0) {
    char* dst = buf.data();
    std::size_t room = buf.size();
    const std::size_t r = iconv(cd, &src, &left, &dst, &room);
    out.append(buf.data(), dst - buf.data());
    if (r == static_cast<std::size_t>(-1)) {
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL: skip one unit and mark it.
      const std::size_t skip = left < unitBytes ? left : unitBytes;
      src += skip;
      left -= skip;
      out.append(replacement);
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(cd);
  return out;
}

}  // namespace

std::u16string gbkToUtf16(std::string_view gbk) {
  static const char16_t kReplacement[] = {0xFFFD};
  const std::string bytes =
      convert("UTF-16LE", "CP936", gbk.data(), gbk.size(), 1,
              std::string_view(reinterpret_cast<const char*>(kReplacement), 2));
  std::u16string out(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                   (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  }
  return out;
}

std::string utf16ToGbk(std::u16string_view utf16) {
  std::string le(utf16.size() * 2, '\0');
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    le[2 * i] = static_cast<char>(utf16[i] & 0xFF);
    le[2 * i + 1] = static_cast<char>(utf16[i] >> 8);
  }
  return convert("CP936", "UTF-16LE", le.data(), le.size(), 2, "?");
}

}  // namespace lh::text
