#include "store/members.h"

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

std::vector<EntryId> parseItems(std::string_view items) {
  std::vector<EntryId> ids;
  forEachPiece(itemsBody(items), [&ids](std::string_view piece) { ids.push_back(toId(piece)); });
  return ids;
}

}  // namespace lh::store
