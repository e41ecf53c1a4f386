#include "text/rules.h"

#include <algorithm>

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

std::string_view hostIn(std::string_view address) {
  // Split at "//": exactly two pieces (one separator with text after it, or
  // two separators with nothing after the second) take the second piece,
  // anything else the whole address.
  std::string_view taken = address;
  const std::size_t s1 = find(address, "//");
  if (s1 != npos) {
    const std::size_t s2 = find(address, "//", s1 + 2);
    if (s2 == npos) {
      if (s1 + 2 < address.size()) taken = address.substr(s1 + 2);
    } else if (s2 + 2 == address.size()) {
      taken = address.substr(s1 + 2, s2 - s1 - 2);
    }
  }
  // Then the first piece of a split at "/".
  const std::string_view host = taken.substr(0, std::min(taken.size(), find(taken, "/")));
  return host.empty() ? kUnknownHost : host;
}

std::string hostOf(std::string_view address) { return std::string(hostIn(address)); }

std::string_view registrableDomainIn(std::string_view host) {
  const std::size_t d1 = findLast(host, ".");
  std::size_t d2 = d1 == npos ? npos : findLast(host, ".", d1);
  if (d2 != npos) {
    const std::string_view tail = host.substr(d2 + 1);
    if (tail == "com.cn" || tail == "net.cn") d2 = findLast(host, ".", d2);
  }
  if (d2 == npos) return host;
  return host.substr(d2 + 1);
}

std::string registrableDomain(std::string_view host) { return std::string(registrableDomainIn(host)); }

std::string resolveIconHref(std::string_view host, std::string_view reference) {
  if (contains(reference, "://")) return std::string(reference);
  if (contains(reference, "//")) return "http:" + std::string(reference);
  std::string joined(host);
  joined += '/';
  joined += reference;
  return "http://" + replaceAll(joined, "//", "/");
}

namespace {

// Walks the text converting full-width characters to ASCII; `emit` receives
// each resulting character (one byte, or a two-byte character as b1, b2).
template <typename Emit>
void walkFullWidthToAscii(std::string_view s, Emit emit) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto b1 = static_cast<unsigned char>(s[i]);
    if (!isLeadByte(b1)) {
      emit(s[i], 0);
      ++i;
      continue;
    }
    if (i + 1 >= s.size()) break;  // a lead byte without its second byte
    const auto b2 = static_cast<unsigned char>(s[i + 1]);
    if (!isTrailByte(b2)) {
      emit(s[i], 0);
      ++i;
      continue;
    }
    if (b1 == 0xA3 && b2 >= 0xA1 && b2 <= 0xFE) {
      emit(static_cast<char>(b2 - 0x80), 0);
    } else if (b1 == 0xA1 && b2 == 0xA1) {
      emit(' ', 0);
    } else if (b1 == 0xA1 && b2 == 0xAB) {
      emit('~', 0);
    } else if (b1 == 0xA1 && (b2 == 0xEE || b2 == 0xEF)) {
      emit('*', 0);
    } else {
      emit(s[i], s[i + 1]);
    }
    i += 2;
  }
}

}  // namespace

std::string fullWidthToAscii(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  walkFullWidthToAscii(s, [&out](char a, char b) {
    out.push_back(a);
    if (b) out.push_back(b);
  });
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
  std::string key;
  key.reserve(title.size());
  walkFullWidthToAscii(title, [&key](char a, char b) {
    if (!b) {
      if (static_cast<unsigned char>(a) < 0x80) key.push_back(a);
    } else if (const char c = pinyinInitial(static_cast<unsigned char>(a), static_cast<unsigned char>(b))) {
      key.push_back(c);
    }
  });
  return key;
}

}  // namespace lh::text
