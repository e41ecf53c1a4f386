// The icons a page declares, in the order a browser would try them for a
// 16-pixel picture.
//
// Every <link> of the page's head whose rel holds the token "icon" (any
// letter case; "shortcut icon" counts), attributes in any order, quoted with
// double, single or no quotes, entities decoded, its href read against the
// page's <base href> or the page's own address. Ranked for 16 pixels: sized
// 16, then an ICO without sizes, then sized 32, then the smallest above 16,
// then the largest below, then the others without sizes; among equals the
// one declared last first. "apple-touch-icon" links are kept apart: browsers
// take them for a tab only when nothing else is there. SVG icons (no
// decoder) and "mask-icon" are left out. data: icons stay as they are
// written, to be decoded from the page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lh::capture {

// Absolute http(s) addresses and data: addresses, best first.
struct PageIcons {
  std::vector<std::string> icons;
  std::vector<std::string> touchIcons;
};
PageIcons declaredIcons(std::string_view html, std::string_view pageAddress);

// What a download tries, in order: the declared icons (the best `mostIcons`
// of them), the site's "/favicon.ico", then the touch icons (the best
// `mostTouchIcons`).
std::vector<std::string> iconsToTry(std::string_view html, std::string_view pageAddress,
                                    std::size_t mostIcons = SIZE_MAX, std::size_t mostTouchIcons = SIZE_MAX);

// "/favicon.ico" on the scheme, host and port of `pageAddress`; empty when
// it is no http(s) address.
std::string faviconOf(std::string_view pageAddress);

// The bytes of a data: address in base64 or percent-encoding; empty when it
// is none or cannot be read.
std::string dataUrlBytes(std::string_view address);

}  // namespace lh::capture
