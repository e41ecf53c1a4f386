#include "text/rules.h"

#include <algorithm>
#include <optional>

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

namespace {

// The dashes browsers put between a page's title and their own name: the
// hyphen, the en dash, and the em dash (GBK holds it as A1AA, and a horizontal
// bar that looks the same as A844).
constexpr std::string_view kDashes[] = {" - ", " \xA8\x43 ", " \xA1\xAA ", " \xA8\x44 "};

// The names browsers end their windows' titles with. "Microsoft Edge" holds
// a zero-width space, which a GBK text holds as "?" (GB18030: 81 36 A4 37),
// and some versions write a plain space or nothing.
constexpr std::string_view kBrowserNames[] = {
    "Google Chrome", "Chromium", "Mozilla Firefox Private Browsing", "Mozilla Firefox", "Firefox", "Brave",
    "Opera", "Vivaldi", "Yandex", "Windows Internet Explorer", "Internet Explorer",
    "360安全浏览器", "360极速浏览器", "QQ浏览器", "搜狗高速浏览器", "搜狗浏览器", "2345加速浏览器", "UC浏览器",
};
constexpr std::string_view kEdgeJoins[] = {"?", " ", "", "\x81\x36\xA4\x37"};

// Edge's own profiles, named in the title before its name.
bool isEdgeProfile(std::string_view p) {
  static constexpr std::string_view kProfiles[] = {
      "Personal", "Work", "InPrivate", "[InPrivate]", "个人", "工作"};
  for (std::string_view k : kProfiles) {
    if (p == k) return true;
  }
  return p.starts_with("Profile ");
}

// The length of `text` left when it ends with one of the dashes followed by
// `name`; npos when it does not.
std::size_t beforeEnding(std::string_view text, std::string_view name) {
  if (!text.ends_with(name)) return npos;
  const std::string_view head = text.substr(0, text.size() - name.size());
  for (std::string_view dash : kDashes) {
    // (The dash must stand on a character boundary of the whole title.)
    if (head.ends_with(dash) && find(text, dash, head.size() - dash.size()) == head.size() - dash.size()) {
      return head.size() - dash.size();
    }
  }
  return npos;
}

// The page's title when `text` ends with a browser's own name (and, for
// Edge, a profile); nothing when it does not.
std::optional<std::string_view> withoutBrowserName(std::string_view text) {
  for (std::string_view join : kEdgeJoins) {
    const std::string edge = "Microsoft" + std::string(join) + "Edge";
    const std::size_t at = beforeEnding(text, edge);
    if (at == npos) continue;
    std::string_view page = text.substr(0, at);
    const std::size_t profile = findLast(page, " - ");
    if (profile != npos && isEdgeProfile(page.substr(profile + 3))) page = page.substr(0, profile);
    return page;
  }
  for (std::string_view name : kBrowserNames) {
    const std::size_t at = beforeEnding(text, name);
    if (at != npos) return text.substr(0, at);
  }
  return std::nullopt;
}

}  // namespace

std::string cutBrowserSuffix(std::string_view text) {
  // A browser recognised by its name: only its own parts go, and a page
  // title holding " - " itself stays whole.
  if (const auto page = withoutBrowserName(text)) return std::string(*page);
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
