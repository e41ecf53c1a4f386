#include "text/gbk.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace lh::text {

namespace {

template <typename Eq>
std::size_t findImpl(std::string_view hay, std::string_view needle, std::size_t from, Eq eq) {
  if (needle.empty()) return from <= hay.size() ? from : npos;
  if (needle.size() > hay.size()) return npos;
  const std::size_t last = hay.size() - needle.size();
  for (std::size_t i = from; i <= last; i += charLength(hay, i)) {
    std::size_t k = 0;
    while (k < needle.size() && eq(hay[i + k], needle[k])) ++k;
    if (k == needle.size()) return i;
  }
  return npos;
}

}  // namespace

std::size_t find(std::string_view hay, std::string_view needle, std::size_t from) {
  if (needle.size() == 1) {
    // Fast path for the common single-byte separators: a byte below 0x40 is
    // never the second byte of a GBK character, so memchr finds boundaries.
    const auto c = static_cast<unsigned char>(needle[0]);
    if (c < 0x40) return hay.find(needle[0], from);
  }
  return findImpl(hay, needle, from, [](char a, char b) { return a == b; });
}

bool matchesCaselessAt(std::string_view hay, std::size_t at, std::string_view needle) {
  if (at > hay.size() || needle.size() > hay.size() - at) return false;
  for (std::size_t k = 0; k < needle.size();) {
    if (charLength(hay, at + k) == 2) {
      // A double-byte character matches only itself, byte for byte.
      if (k + 1 >= needle.size() || hay[at + k] != needle[k] || hay[at + k + 1] != needle[k + 1]) return false;
      k += 2;
    } else {
      if (asciiLower(hay[at + k]) != asciiLower(needle[k])) return false;
      ++k;
    }
  }
  return true;
}

// Bytes 81..FE can only be first bytes or (after one) second bytes, and a
// byte below 81 always ends a character; so of the run of 81..FE bytes just
// before `at`, an even length means whole pairs and `at` starts a character.
bool isBoundary(std::string_view hay, std::size_t at) {
  std::size_t run = 0;
  while (run < at && isLeadByte(static_cast<unsigned char>(hay[at - run - 1]))) ++run;
  if (run % 2 == 0) return true;
  // An odd run: the last lead byte pairs with the byte at `at` if that can
  // be a second byte.
  return at >= hay.size() || !isTrailByte(static_cast<unsigned char>(hay[at]));
}

std::size_t findCaseless(std::string_view hay, std::string_view needle, std::size_t from) {
  if (needle.empty()) return from <= hay.size() ? from : npos;
  if (needle.size() > hay.size() || from > hay.size() - needle.size()) return npos;
  const std::size_t last = hay.size() - needle.size();
  // Candidates by their first byte in either case (memchr, one position
  // kept per case), then the boundary and the whole needle: no stepping
  // character by character (the search runs this over every bookmark at
  // each keystroke).
  const char lower = asciiLower(needle[0]);
  const char upper = (lower >= 'a' && lower <= 'z') ? static_cast<char>(lower - 32) : lower;
  auto next = [&](char c, std::size_t at) -> std::size_t {
    if (at > last) return npos;
    const void* p = std::memchr(hay.data() + at, c, last - at + 1);
    return p ? static_cast<std::size_t>(static_cast<const char*>(p) - hay.data()) : npos;
  };
  std::size_t nextLower = next(lower, from);
  std::size_t nextUpper = upper == lower ? npos : next(upper, from);
  for (;;) {
    const std::size_t i = std::min(nextLower, nextUpper);
    if (i == npos) return npos;
    if ((i == from || isBoundary(hay.substr(from), i - from)) && matchesCaselessAt(hay, i, needle)) return i;
    if (i == nextLower) nextLower = next(lower, i + 1);
    if (i == nextUpper) nextUpper = next(upper, i + 1);
  }
}

std::string foldCase(std::string_view s) {
  std::string folded(s);
  for (std::size_t i = 0; i < folded.size();) {
    const std::size_t n = charLength(folded, i);
    if (n == 1) folded[i] = asciiLower(folded[i]);
    i += n;
  }
  return folded;
}

std::size_t findLast(std::string_view hay, std::string_view needle, std::size_t end) {
  if (end > hay.size()) end = hay.size();
  std::size_t found = npos;
  for (std::size_t i = 0; i < hay.size() && i + needle.size() <= end; i += charLength(hay, i)) {
    if (hay.compare(i, needle.size(), needle) == 0) found = i;
  }
  return found;
}

std::vector<std::string> split(std::string_view s, std::string_view sep) {
  std::vector<std::string> pieces;
  if (sep.empty()) {
    if (!s.empty()) pieces.emplace_back(s);
    return pieces;
  }
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = find(s, sep, start);
    if (at == npos) break;
    pieces.emplace_back(s.substr(start, at - start));
    start = at + sep.size();
  }
  if (start < s.size()) pieces.emplace_back(s.substr(start));
  return pieces;
}

std::string replaceAll(std::string_view s, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(s);
  std::string out;
  out.reserve(s.size());
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = find(s, from, start);
    if (at == npos) break;
    out.append(s.substr(start, at - start)).append(to);
    start = at + from.size();
  }
  out.append(s.substr(start));
  return out;
}

bool replaceFirst(std::string& s, std::string_view from, std::string_view to) {
  const std::size_t at = find(s, from);
  if (at == npos || from.empty()) return false;
  s.replace(at, from.size(), to);
  return true;
}

std::string_view cutAtBoundary(std::string_view s, std::size_t n) {
  if (n >= s.size()) return s;
  std::size_t i = 0;
  while (i < n) {
    const std::size_t len = charLength(s, i);
    if (i + len > n) break;
    i += len;
  }
  return s.substr(0, i);
}

std::string decimal(long long v) { return std::to_string(v); }

long long parseDecimal(std::string_view s, long long fallback) {
  if (s.empty()) return fallback;
  long long v = 0;
  const char* first = s.data();
  const char* last = s.data() + s.size();
  if (*first == '+') return fallback;
  auto [ptr, ec] = std::from_chars(first, last, v);
  if (ec != std::errc() || ptr != last) return fallback;
  return v;
}

}  // namespace lh::text
