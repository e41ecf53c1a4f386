// Member lists: "u" followed, for each member id, by the decimal id and "u"
// (u3u15u7u holds 3, 15 and 7). A member's token is "u", id, "u"; since every
// id is closed by "u" on both sides a token never matches inside another id.
//
// An empty text is treated as the empty list "u" by the operations that add
// members, so that a first member is never glued to nothing (where reading
// would drop it). Any other text, even one that does not start with "u", is
// extended as it is.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "store/entry.h"

namespace lh::store {

std::string tokenOf(EntryId id);

// The member ids in order. A piece that is not a decimal number reads as 0.
std::vector<EntryId> parseMembers(std::string_view members);

// Number of members (pieces after the leading "u").
std::size_t memberCount(std::string_view members);

void appendMember(std::string& members, EntryId id);
void prependMember(std::string& members, EntryId id);
// Appends ids already in item form ("3u15u", a leading "u" tolerated).
void appendItems(std::string& members, std::string_view items);

// Insert `id` (or `items`) just after / before the first occurrence of
// token(anchor); false (and nothing changed) when the token is absent.
bool insertAfter(std::string& members, EntryId anchor, std::string_view items);
bool insertBefore(std::string& members, EntryId anchor, std::string_view items);

// Removes token(id); every occurrence (also adjacent duplicates) or only the
// first. Returns the number removed.
int removeMember(std::string& members, EntryId id);
bool removeFirstMember(std::string& members, EntryId id);
// Removes every occurrence of the token of each of `ids`, in one pass over
// the list (the same result as removeMember for each). Returns the number
// removed.
int removeMembers(std::string& members, std::vector<EntryId> ids);

// "3u15u" -> {3, 15}; a leading "u" is tolerated, empty pieces read as 0.
std::vector<EntryId> parseItems(std::string_view items);
// Items text without a leading "u".
std::string_view itemsBody(std::string_view items);

}  // namespace lh::store
