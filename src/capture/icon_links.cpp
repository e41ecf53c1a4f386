#include "capture/icon_links.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <tuple>

#include "platform/http.h"

namespace lh::capture {

namespace {

bool isHtmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
char lowerAscii(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool sameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
  }
  return true;
}

bool beginsNoCase(std::string_view s, std::size_t at, std::string_view prefix) {
  return at <= s.size() && s.size() - at >= prefix.size() && sameNoCase(s.substr(at, prefix.size()), prefix);
}

std::size_t searchNoCase(std::string_view s, std::string_view what, std::size_t from) {
  for (std::size_t i = from; i + what.size() <= s.size(); ++i) {
    if (beginsNoCase(s, i, what)) return i;
  }
  return std::string_view::npos;
}

std::string_view trimmedSpace(std::string_view s) {
  while (!s.empty() && isHtmlSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && isHtmlSpace(s.back())) s.remove_suffix(1);
  return s;
}

// The character references an address is written with; others (and any
// outside ASCII) stay as they are.
std::string decodeEntities(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    if (s[i] != '&') {
      out += s[i++];
      continue;
    }
    const std::size_t semi = s.find(';', i);
    const std::string_view name = semi == std::string_view::npos ? std::string_view() : s.substr(i + 1, semi - i - 1);
    int code = -1;
    if (name == "amp") code = '&';
    else if (name == "lt") code = '<';
    else if (name == "gt") code = '>';
    else if (name == "quot") code = '"';
    else if (name == "apos") code = '\'';
    else if (name.size() > 1 && name.size() < 8 && name[0] == '#') {
      const bool hex = name[1] == 'x' || name[1] == 'X';
      const std::string_view digits = name.substr(hex ? 2 : 1);
      int v = 0;
      bool ok = !digits.empty();
      for (char c : digits) {
        const int d = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                      : hex && std::isxdigit(static_cast<unsigned char>(c)) ? 10 + lowerAscii(c) - 'a'
                                                                             : -1;
        if (d < 0) ok = false;
        v = v * (hex ? 16 : 10) + std::max(d, 0);
      }
      if (ok && v > 0 && v < 128) code = v;
    }
    if (code < 0) {
      out += s[i++];
      continue;
    }
    out += static_cast<char>(code);
    i = semi + 1;
  }
  return out;
}

// An address as an attribute gives it: entities decoded, surrounding
// white space dropped, tabs and line breaks inside removed.
std::string cleanAddress(std::string_view raw) {
  std::string s = decodeEntities(trimmedSpace(raw));
  s.erase(std::remove_if(s.begin(), s.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }), s.end());
  return s;
}

struct HtmlTag {
  std::string name;  // lower case
  bool closed = false;  // its '>' was found (a tag cut off by the page's end counts for nothing)
  std::vector<std::pair<std::string, std::string>> attributes;  // names lower case, values raw
  const std::string* get(std::string_view name) const {
    for (const auto& [n, v] : attributes) {
      if (n == name) return &v;
    }
    return nullptr;
  }
};

// Reads the tag whose name starts at `i` (just after '<'); leaves `i` after
// its '>' (or at the end).
HtmlTag readTag(std::string_view h, std::size_t& i) {
  HtmlTag t;
  while (i < h.size() && std::isalnum(static_cast<unsigned char>(h[i]))) t.name += lowerAscii(h[i++]);
  while (i < h.size() && h[i] != '>') {
    if (isHtmlSpace(h[i]) || h[i] == '/') {
      ++i;
      continue;
    }
    std::string name;
    while (i < h.size() && !isHtmlSpace(h[i]) && h[i] != '/' && h[i] != '>' && (h[i] != '=' || name.empty())) {
      name += lowerAscii(h[i++]);
    }
    while (i < h.size() && isHtmlSpace(h[i])) ++i;
    std::string value;
    if (i < h.size() && h[i] == '=') {
      ++i;
      while (i < h.size() && isHtmlSpace(h[i])) ++i;
      if (i < h.size() && (h[i] == '"' || h[i] == '\'')) {
        const char quote = h[i++];
        const std::size_t end = h.find(quote, i);
        const std::size_t stop = end == std::string_view::npos ? h.size() : end;
        value = std::string(h.substr(i, stop - i));
        i = stop == h.size() ? stop : stop + 1;
      } else {
        while (i < h.size() && !isHtmlSpace(h[i]) && h[i] != '>') value += h[i++];
      }
    }
    if (!t.get(name)) t.attributes.emplace_back(std::move(name), std::move(value));  // the first one counts
  }
  if (i < h.size()) {
    t.closed = true;
    ++i;
  }
  return t;
}

bool hasToken(std::string_view list, std::string_view token) {
  std::size_t i = 0;
  while (i < list.size()) {
    while (i < list.size() && isHtmlSpace(list[i])) ++i;
    const std::size_t start = i;
    while (i < list.size() && !isHtmlSpace(list[i])) ++i;
    if (i > start && sameNoCase(list.substr(start, i - start), token)) return true;
  }
  return false;
}

bool isSvg(const HtmlTag& t, std::string_view address) {
  if (const std::string* type = t.get("type"); type && sameNoCase(trimmedSpace(*type), "image/svg+xml")) return true;
  if (beginsNoCase(address, 0, "data:image/svg")) return true;
  const std::string_view path = address.substr(0, address.find_first_of("?#"));
  return path.size() >= 4 && sameNoCase(path.substr(path.size() - 4), ".svg");
}

bool isIco(const HtmlTag& t, std::string_view address) {
  if (const std::string* type = t.get("type")) {
    const std::string_view ty = trimmedSpace(*type);
    if (sameNoCase(ty, "image/x-icon") || sameNoCase(ty, "image/vnd.microsoft.icon") || sameNoCase(ty, "image/ico") ||
        sameNoCase(ty, "image/icon")) {
      return true;
    }
  }
  const std::string_view path = address.substr(0, address.find_first_of("?#"));
  return path.size() >= 4 && sameNoCase(path.substr(path.size() - 4), ".ico");
}

// How near a link comes to a 16-pixel picture: (class, tie-break), smaller
// first: sized 16; an ICO without sizes (such a file nearly always holds
// 16 pixels among its pictures); sized 32; the smallest above 16; the
// largest below; anything else without sizes.
std::pair<int, int> sizeRank(const HtmlTag& t, std::string_view address) {
  const std::pair<int, int> unsized{isIco(t, address) ? 1 : 5, 0};
  const std::string* sizes = t.get("sizes");
  if (!sizes) return unsized;
  std::pair<int, int> best{6, 0};
  std::size_t i = 0;
  const std::string_view s = *sizes;
  while (i < s.size()) {
    while (i < s.size() && isHtmlSpace(s[i])) ++i;
    int w = 0;
    std::size_t digits = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])) && digits < 6) {
      w = w * 10 + (s[i++] - '0');
      ++digits;
    }
    const bool paired = digits > 0 && i < s.size() && (s[i] == 'x' || s[i] == 'X');
    while (i < s.size() && !isHtmlSpace(s[i])) ++i;
    if (!paired || w <= 0) continue;
    const std::pair<int, int> r = w == 16 ? std::pair{0, 0} : w == 32 ? std::pair{2, 0} : w > 16 ? std::pair{3, w}
                                                                                             : std::pair{4, -w};
    best = std::min(best, r);
  }
  return best.first == 6 ? unsized : best;  // "any", or nothing readable
}

struct IconLink {
  std::string address;
  int group;  // 0: an icon, 1: an apple-touch-icon
  std::pair<int, int> size;
  int order;
};

// Skips the text of an element read as plain text (a script, a style) up to
// its end tag.
void skipRawText(std::string_view h, std::size_t& i, std::string_view name) {
  const std::string end = "</" + std::string(name);
  const std::size_t at = searchNoCase(h, end, i);
  i = at == std::string_view::npos ? h.size() : at;
}

}  // namespace

PageIcons declaredIcons(std::string_view html, std::string_view pageAddress) {
  const std::optional<platform::Url> page = platform::parseUrl(pageAddress);
  std::optional<platform::Url> base = page;
  bool baseSeen = false;
  std::vector<IconLink> found;
  int order = 0;
  for (std::size_t i = 0; i < html.size();) {
    if (html[i] != '<') {
      ++i;
      continue;
    }
    if (html.compare(i, 4, "<!--") == 0) {
      const std::size_t end = html.find("-->", i + 4);
      i = end == std::string_view::npos ? html.size() : end + 3;
      continue;
    }
    if (beginsNoCase(html, i, "</head") || beginsNoCase(html, i, "<body")) break;  // icons are the head's
    if (i + 1 < html.size() && (html[i + 1] == '!' || html[i + 1] == '?' || html[i + 1] == '/')) {
      const std::size_t end = html.find('>', i);
      i = end == std::string_view::npos ? html.size() : end + 1;
      continue;
    }
    ++i;
    if (i >= html.size() || !std::isalpha(static_cast<unsigned char>(html[i]))) continue;
    const HtmlTag tag = readTag(html, i);
    if (!tag.closed) break;
    if (tag.name == "script" || tag.name == "style" || tag.name == "title" || tag.name == "textarea" ||
        tag.name == "template") {
      skipRawText(html, i, tag.name);
      continue;
    }
    if (tag.name == "base" && !baseSeen && page) {
      if (const std::string* href = tag.get("href")) {
        baseSeen = true;
        if (auto b = platform::resolveLocation(*page, cleanAddress(*href))) base = b;
      }
      continue;
    }
    if (tag.name != "link") continue;
    const std::string* rel = tag.get("rel");
    const std::string* href = tag.get("href");
    if (!rel || !href) continue;
    const bool icon = hasToken(*rel, "icon");
    const bool touch = hasToken(*rel, "apple-touch-icon") || hasToken(*rel, "apple-touch-icon-precomposed");
    if (!icon && !touch) continue;
    const std::string address = cleanAddress(*href);
    if (address.empty() || isSvg(tag, address)) continue;
    std::string absolute;
    if (beginsNoCase(address, 0, "data:")) {
      absolute = address;
    } else if (base) {
      if (auto u = platform::resolveLocation(*base, address)) absolute = u->text();
    }
    if (absolute.empty()) continue;
    found.push_back({absolute, icon ? 0 : 1, sizeRank(tag, address), order++});
  }
  std::stable_sort(found.begin(), found.end(), [](const IconLink& a, const IconLink& b) {
    return std::tie(a.group, a.size, b.order) < std::tie(b.group, b.size, a.order);
  });
  PageIcons out;
  for (const IconLink& c : found) {
    std::vector<std::string>& list = c.group == 0 ? out.icons : out.touchIcons;
    if (std::find(list.begin(), list.end(), c.address) == list.end()) list.push_back(c.address);
  }
  return out;
}

std::vector<std::string> iconsToTry(std::string_view html, std::string_view pageAddress, std::size_t mostIcons,
                                    std::size_t mostTouchIcons) {
  PageIcons declared = declaredIcons(html, pageAddress);
  declared.icons.resize(std::min(declared.icons.size(), mostIcons));
  declared.touchIcons.resize(std::min(declared.touchIcons.size(), mostTouchIcons));
  std::vector<std::string> out = std::move(declared.icons);
  const std::string favicon = faviconOf(pageAddress);
  if (!favicon.empty() && std::find(out.begin(), out.end(), favicon) == out.end()) out.push_back(favicon);
  for (std::string& a : declared.touchIcons) {
    if (std::find(out.begin(), out.end(), a) == out.end()) out.push_back(std::move(a));
  }
  return out;
}

std::string faviconOf(std::string_view pageAddress) {
  std::optional<platform::Url> u = platform::parseUrl(pageAddress);
  if (!u) return {};
  u->target = "/favicon.ico";
  return u->text();
}

std::string dataUrlBytes(std::string_view address) {
  if (!beginsNoCase(address, 0, "data:")) return {};
  const std::size_t comma = address.find(',');
  if (comma == std::string_view::npos) return {};
  const std::string_view head = address.substr(5, comma - 5);
  const std::string_view body = address.substr(comma + 1);
  std::string out;
  const bool base64 = head.size() >= 7 && sameNoCase(head.substr(head.size() - 7), ";base64");
  if (!base64) {
    for (std::size_t i = 0; i < body.size(); ++i) {
      if (body[i] == '%' && i + 2 < body.size() && std::isxdigit(static_cast<unsigned char>(body[i + 1])) &&
          std::isxdigit(static_cast<unsigned char>(body[i + 2]))) {
        out += static_cast<char>(std::stoi(std::string(body.substr(i + 1, 2)), nullptr, 16));
        i += 2;
      } else {
        out += body[i];
      }
    }
    return out;
  }
  unsigned bits = 0;
  int count = 0;
  for (char c : body) {
    int v;
    if (c >= 'A' && c <= 'Z') v = c - 'A';
    else if (c >= 'a' && c <= 'z') v = c - 'a' + 26;
    else if (c >= '0' && c <= '9') v = c - '0' + 52;
    else if (c == '+' || c == '-') v = 62;
    else if (c == '/' || c == '_') v = 63;
    else if (c == '=' || isHtmlSpace(c)) continue;  // padding, wrapped lines
    else return {};
    bits = (bits << 6) | static_cast<unsigned>(v);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out += static_cast<char>((bits >> count) & 0xFF);
    }
  }
  return out;
}

}  // namespace lh::capture
