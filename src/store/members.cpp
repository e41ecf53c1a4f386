#include "store/members.h"

#include <algorithm>
#include <charconv>

#include "text/gbk.h"

namespace lh::store {

namespace {

EntryId toId(std::string_view piece) {
  const long long v = text::parseDecimal(piece, 0);
  if (v < INT32_MIN || v > INT32_MAX) return 0;
  return static_cast<EntryId>(v);
}

// An empty text is the empty list "u"; any other text is extended as it is.
void normalise(std::string& members) {
  if (members.empty()) members = "u";
}

}  // namespace

std::string tokenOf(EntryId id) { return "u" + std::to_string(id) + "u"; }

namespace {

// Calls `f` with every piece of `body` cut at "u"; a trailing "u" yields no
// piece, two in a row an empty one.
template <typename F>
void forEachPiece(std::string_view body, F f) {
  std::size_t start = 0;
  while (start < body.size()) {
    std::size_t end = body.find('u', start);
    if (end == std::string_view::npos) end = body.size();
    f(body.substr(start, end - start));
    start = end + 1;
  }
}

// The text after the leading "u" (the piece before it is dropped).
std::string_view listBody(std::string_view members) {
  const std::size_t first = members.find('u');
  return first == std::string_view::npos ? std::string_view() : members.substr(first + 1);
}

}  // namespace

std::vector<EntryId> parseMembers(std::string_view members) {
  std::vector<EntryId> ids;
  forEachPiece(listBody(members), [&ids](std::string_view piece) { ids.push_back(toId(piece)); });
  return ids;
}

std::size_t memberCount(std::string_view members) {
  std::size_t n = 0;
  forEachPiece(listBody(members), [&n](std::string_view) { ++n; });
  return n;
}

void appendMember(std::string& members, EntryId id) {
  normalise(members);
  members += std::to_string(id);
  members += 'u';
}

void prependMember(std::string& members, EntryId id) {
  normalise(members);
  members = "u" + std::to_string(id) + members;
}

std::string_view itemsBody(std::string_view items) {
  if (!items.empty() && items.front() == 'u') items.remove_prefix(1);
  return items;
}

void appendItems(std::string& members, std::string_view items) {
  normalise(members);
  members += itemsBody(items);
}

bool insertAfter(std::string& members, EntryId anchor, std::string_view items) {
  const std::string token = tokenOf(anchor);
  return text::replaceFirst(members, token, token + std::string(itemsBody(items)));
}

bool insertBefore(std::string& members, EntryId anchor, std::string_view items) {
  const std::string token = tokenOf(anchor);
  return text::replaceFirst(members, token,
                            "u" + std::string(itemsBody(items)) + std::to_string(anchor) + "u");
}

int removeMember(std::string& members, EntryId id) {
  const std::string token = tokenOf(id);
  int removed = 0;
  std::size_t at = members.find(token);
  while (at != std::string::npos) {
    members.replace(at, token.size(), "u");
    ++removed;
    at = members.find(token, at);
  }
  return removed;
}

bool removeFirstMember(std::string& members, EntryId id) {
  const std::string token = tokenOf(id);
  const std::size_t at = members.find(token);
  if (at == std::string::npos) return false;
  members.replace(at, token.size(), "u");
  return true;
}

int removeMembers(std::string& members, std::vector<EntryId> ids) {
  std::sort(ids.begin(), ids.end());
  // A piece matches a token only when it is the id written as tokenOf
  // writes it ("07" is not the token of 7).
  const auto isRemoved = [&ids](std::string_view piece) {
    EntryId v = 0;
    const auto [end, error] = std::from_chars(piece.data(), piece.data() + piece.size(), v);
    if (error != std::errc() || end != piece.data() + piece.size() || piece.empty()) return false;
    if (std::to_string(v) != piece) return false;
    return std::binary_search(ids.begin(), ids.end(), v);
  };
  // Tokens are "u" id "u": only pieces after the first "u" that are closed
  // by a "u" can match. Matching pieces are dropped with their closing "u".
  const std::size_t first = members.find('u');
  if (first == std::string::npos) return 0;
  std::size_t in = first + 1, out = first + 1;
  int removed = 0;
  for (;;) {
    const std::size_t close = members.find('u', in);
    if (close == std::string::npos) break;
    const std::string_view piece(members.data() + in, close - in);
    if (isRemoved(piece)) {
      ++removed;
    } else {
      if (out != in) std::copy(members.begin() + static_cast<std::ptrdiff_t>(in),
                               members.begin() + static_cast<std::ptrdiff_t>(close + 1),
                               members.begin() + static_cast<std::ptrdiff_t>(out));
      out += close + 1 - in;
    }
    in = close + 1;
  }
  if (removed == 0) return 0;
  members.erase(std::copy(members.begin() + static_cast<std::ptrdiff_t>(in), members.end(),
                          members.begin() + static_cast<std::ptrdiff_t>(out)),
                members.end());
  return removed;
}

std::vector<EntryId> parseItems(std::string_view items) {
  std::vector<EntryId> ids;
  forEachPiece(itemsBody(items), [&ids](std::string_view piece) { ids.push_back(toId(piece)); });
  return ids;
}

}  // namespace lh::store
