// GBK (code page 936) byte strings: the program's one text type.
//
// Texts are std::string holding GBK bytes. A byte 81..FE followed by a byte
// 40..FE (not 7F) forms one double-byte character; every other byte (and a lead byte at
// the very end of a text) is a single-byte character. Searches below only
// match at character boundaries: never at the second byte of a character.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace lh::text {

inline constexpr std::size_t npos = std::string_view::npos;

inline bool isLeadByte(unsigned char b) { return b >= 0x81 && b <= 0xFE; }

inline bool isTrailByte(unsigned char b) { return b >= 0x40 && b <= 0xFE && b != 0x7F; }

// Length in bytes (1 or 2) of the character starting at `pos` (< size).
inline std::size_t charLength(std::string_view s, std::size_t pos) {
  return (pos + 1 < s.size() && isLeadByte(static_cast<unsigned char>(s[pos])) &&
          isTrailByte(static_cast<unsigned char>(s[pos + 1])))
             ? 2
             : 1;
}

// First occurrence of `needle` at or after `from` starting at a character
// boundary (`from` is assumed to be one); npos when absent. An empty needle
// is found at `from`.
std::size_t find(std::string_view hay, std::string_view needle, std::size_t from = 0);

// As find, with the ASCII letters A-Z and a-z equal to each other in
// single-byte characters only: a double-byte character matches only itself
// (its second byte may look like a letter, but it is none).
std::size_t findCaseless(std::string_view hay, std::string_view needle, std::size_t from = 0);
// Whether `needle` stands at `at` (a character boundary of `hay`) by that rule.
bool matchesCaselessAt(std::string_view hay, std::size_t at, std::string_view needle);

// Whether `at` (<= size) starts a character of `hay`, judged by the bytes
// before it alone.
bool isBoundary(std::string_view hay, std::size_t at);

// The text with A-Z of its single-byte characters made a-z: two folded texts
// are equal at a boundary exactly where findCaseless finds one in the other
// (a needle that ends in half a character aside). Folding keeps every
// character's length.
std::string foldCase(std::string_view s);

// Last occurrence starting at a character boundary that lies wholly before
// byte `end` (npos for the whole text); npos when absent.
std::size_t findLast(std::string_view hay, std::string_view needle, std::size_t end = npos);

inline bool contains(std::string_view hay, std::string_view needle) {
  return find(hay, needle) != npos;
}
inline bool containsCaseless(std::string_view hay, std::string_view needle) {
  return findCaseless(hay, needle) != npos;
}

// The splitting rule: cut at every (non-overlapping) occurrence of `sep`;
// every piece before a separator counts, also an empty one; the piece after
// the last separator counts only when it is not empty.
std::vector<std::string> split(std::string_view s, std::string_view sep);

// Every occurrence of `from` replaced by `to`, left to right, non-overlapping.
std::string replaceAll(std::string_view s, std::string_view from, std::string_view to);

// Replaces only the first occurrence; returns false when there is none.
bool replaceFirst(std::string& s, std::string_view from, std::string_view to);

// The first `n` bytes, shortened by one when the cut would split a
// double-byte character.
std::string_view cutAtBoundary(std::string_view s, std::size_t n);

// Decimal text of an integer, and strict parsing of one (optional '-' and
// digits only; anything else, or overflow, gives `fallback`).
std::string decimal(long long v);
long long parseDecimal(std::string_view s, long long fallback = 0);

inline char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

}  // namespace lh::text
