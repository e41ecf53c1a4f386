// The text rules applied around addresses and titles. Addresses are never
// canonicalised: these functions derive things from them (host, domain) or
// decide about them, and clean up titles.
#pragma once

#include <string>
#include <string_view>

namespace lh::text {

// True when the text contains, ignoring ASCII letter case, one of ".com",
// ".cn", ".net", "http://", "ftp://", "https://".
bool looksLikeAddress(std::string_view text);

// "http://" + text unless the text contains "http://" or "https://"
// (letter case significant).
std::string completeScheme(std::string_view text);

// Everything between the scheme's "//" and the first "/"; "未知" when that
// is empty. Never empty.
std::string hostOf(std::string_view address);
// The same as a part of `address`, or kUnknownHost.
std::string_view hostIn(std::string_view address);

// The last two dot-separated labels of the host, or three when the last two
// are exactly "com.cn" or "net.cn".
std::string registrableDomain(std::string_view host);
// The same as a part of `host`.
std::string_view registrableDomainIn(std::string_view host);

// An icon reference found in a page made absolute, relative to the site root.
std::string resolveIconHref(std::string_view host, std::string_view reference);

// Full-width characters to their ASCII forms (see fullWidthToAscii), then
// every "&" removed.
std::string cleanTitle(std::string_view text);

// A window title without the browser's own end: when it ends with a
// browser's name after a dash (hyphen, en or em dash: "Page — Mozilla
// Firefox", "Page - Personal - Microsoft Edge" with Edge's profile), the page
// title before it, whole even when it holds " - " itself; otherwise the text
// before the last " - ", or the text unchanged.
std::string cutBrowserSuffix(std::string_view text);

// Search key: full-width to ASCII, ASCII kept, each GB2312 hanzi replaced by
// the lower-case initial of its pinyin, every other character dropped.
std::string titleKeyOf(std::string_view title);

// Step one of cleanTitle: A3A1..A3FE -> 21..7E, A1A1 -> space, A1AB -> "~",
// A1EE and A1EF -> "*"; a lead byte at the very end is dropped.
std::string fullWidthToAscii(std::string_view text);

// Pinyin initial ('a'..'z') of the GB2312 hanzi with bytes b1 b2, or 0 when
// the pair is not a hanzi with a known reading.
char pinyinInitial(unsigned char b1, unsigned char b2);

// The host for unknown addresses.
inline constexpr std::string_view kUnknownHost = "未知";

}  // namespace lh::text
