#include "store/conflicts.h"

#include <algorithm>
#include <map>

#include "store/bookmark_store.h"
#include "text/memory_filesystem.h"

namespace lh::store {

namespace {

bool allDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A computer's name as OneDrive appends it: letters, digits, '-' and '_'
// (never a '.', which the store's own files use: "udb.next", "udb.old").
bool computerName(std::string_view s) {
  return !s.empty() && s.size() <= 63 && std::all_of(s.begin(), s.end(), [](char c) {
           return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
                  static_cast<unsigned char>(c) >= 0x80;
         });
}

}  // namespace

std::optional<std::string> conflictSuffix(std::string_view name, std::string_view base) {
  if (name.size() <= base.size() || name.substr(0, base.size()) != base) return std::nullopt;
  const std::string_view rest = name.substr(base.size());
  if (rest.size() >= 2 && rest.substr(0, 2) == " (" && rest.back() == ')') {
    const std::string_view inside = rest.substr(2, rest.size() - 3);
    // Dropbox, Nextcloud: "... conflicted copy ..."; Google Drive: " (1)".
    if (inside.find("conflicted copy") != std::string_view::npos || allDigits(inside)) return std::string(rest);
    return std::nullopt;
  }
  if (rest.substr(0, 15) == ".sync-conflict-" && rest.size() > 15) return std::string(rest);  // Syncthing
  if (rest[0] == '-' && computerName(rest.substr(1))) return std::string(rest);                 // OneDrive
  return std::nullopt;
}

std::string ConflictCopy::shownName() const { return (storeName.empty() ? "bein" : "udb") + suffix; }

std::vector<ConflictCopy> findConflictCopies(text::FileSystem& fs, const std::string& dataDir) {
  std::map<std::string, ConflictCopy> bySuffix;
  for (const std::string& name : fs.filesIn(dataDir)) {
    if (const auto s = conflictSuffix(name, "udb")) {
      bySuffix[*s].suffix = *s;
      bySuffix[*s].storeName = name;
    } else if (const auto l = conflictSuffix(name, "bein")) {
      bySuffix[*l].suffix = *l;
      bySuffix[*l].logName = name;
    }
  }
  std::vector<ConflictCopy> out;
  for (auto& [suffix, copy] : bySuffix) out.push_back(copy);
  return out;
}

std::optional<std::string> conflictStoreBytes(text::FileSystem& fs, const std::string& dataDir,
                                              const ConflictCopy& copy) {
  const std::string storePath = dataDir + "\\" + (copy.storeName.empty() ? std::string("udb") : copy.storeName);
  std::optional<std::string> storeBytes = fs.readAll(storePath);
  if (!storeBytes && fs.exists(storePath)) return std::nullopt;
  text::MemoryFileSystem scratch;
  if (storeBytes) scratch.files["udb"] = std::move(*storeBytes);
  if (!copy.logName.empty()) {
    std::optional<std::string> log = fs.readAll(dataDir + "\\" + copy.logName);
    if (!log) return std::nullopt;
    scratch.files["bein"] = std::move(*log);
  }
  // Loaded, replayed and folded on the scratch files only.
  BookmarkStore s(scratch, "udb", "bein");
  s.load();
  if (s.readOnly()) return std::nullopt;
  return s.fileBytes();
}

bool moveConflictAside(text::FileSystem& fs, const std::string& dataDir, const ConflictCopy& copy) {
  const std::string folder = dataDir + "\\backup";
  if (!fs.makeDirectory(folder)) return false;
  bool moved = true;
  for (const std::string& name : {copy.storeName, copy.logName}) {
    if (!name.empty()) moved = fs.rename(dataDir + "\\" + name, folder + "\\" + name) && moved;
  }
  return moved;
}

}  // namespace lh::store
