#include "text/rules.h"

#include "text/gbk.h"

namespace lh::text {

bool looksLikeAddress(std::string_view text) {
  static constexpr std::string_view kMarks[] = {".com", ".cn", ".net", "http://", "ftp://", "https://"};
  for (std::string_view m : kMarks) {
    if (containsCaseless(text, m)) return true;
  }
  return false;
}

std::string completeScheme(std::string_view text) {
  if (contains(text, "http://") || contains(text, "https://")) return std::string(text);
  return "http://" + std::string(text);
}

std::string hostOf(std::string_view address) {
  const auto halves = split(address, "//");
  const std::string taken = halves.size() == 2 ? halves[1] : std::string(address);
  const auto pieces = split(taken, "/");
  std::string host = pieces.empty() ? std::string() : pieces[0];
  if (host.empty()) return std::string(kUnknownHost);
  return host;
}

std::string registrableDomain(std::string_view host) {
  const std::size_t d1 = findLast(host, ".");
  std::size_t d2 = d1 == npos ? npos : findLast(host, ".", d1);
  if (d2 != npos) {
    const std::string_view tail = host.substr(d2 + 1);
    if (tail == "com.cn" || tail == "net.cn") d2 = findLast(host, ".", d2);
  }
  if (d2 == npos) return std::string(host);
  return std::string(host.substr(d2 + 1));
}

std::string resolveIconHref(std::string_view host, std::string_view reference) {
  if (contains(reference, "://")) return std::string(reference);
  if (contains(reference, "//")) return "http:" + std::string(reference);
  std::string joined(host);
  joined += '/';
  joined += reference;
  return "http://" + replaceAll(joined, "//", "/");
}

std::string fullWidthToAscii(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  std::size_t i = 0;
  while (i < s.size()) {
    const auto b1 = static_cast<unsigned char>(s[i]);
    if (!isLeadByte(b1)) {
      out.push_back(s[i]);
      ++i;
      continue;
    }
    if (i + 1 >= s.size()) break;  // a lead byte without its second byte
    const auto b2 = static_cast<unsigned char>(s[i + 1]);
    if (!isTrailByte(b2)) {
      out.push_back(s[i]);
      ++i;
      continue;
    }
    if (b1 == 0xA3 && b2 >= 0xA1 && b2 <= 0xFE) {
      out.push_back(static_cast<char>(b2 - 0x80));
    } else if (b1 == 0xA1 && b2 == 0xA1) {
      out.push_back(' ');
    } else if (b1 == 0xA1 && b2 == 0xAB) {
      out.push_back('~');
    } else if (b1 == 0xA1 && (b2 == 0xEE || b2 == 0xEF)) {
      out.push_back('*');
    } else {
      out.push_back(s[i]);
      out.push_back(s[i + 1]);
    }
    i += 2;
  }
  return out;
}

std::string cleanTitle(std::string_view text) {
  // "&" (26) is below every trail byte, so a byte scan stays on boundaries.
  std::string out = fullWidthToAscii(text);
  std::erase(out, '&');
  return out;
}

std::string cutBrowserSuffix(std::string_view text) {
  const std::size_t at = findLast(text, " - ");
  if (at == npos) return std::string(text);
  return std::string(text.substr(0, at));
}

std::string titleKeyOf(std::string_view title) {
  const std::string ascii = fullWidthToAscii(title);
  std::string key;
  key.reserve(ascii.size());
  for (std::size_t i = 0; i < ascii.size();) {
    const std::size_t len = charLength(ascii, i);
    if (len == 1) {
      const auto b = static_cast<unsigned char>(ascii[i]);
      if (b < 0x80) key.push_back(ascii[i]);
    } else if (const char c = pinyinInitial(static_cast<unsigned char>(ascii[i]),
                                            static_cast<unsigned char>(ascii[i + 1]))) {
      key.push_back(c);
    }
    i += len;
  }
  return key;
}

}  // namespace lh::text
