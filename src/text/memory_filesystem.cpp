#include "text/memory_filesystem.h"

namespace lh::text {

bool MemoryFileSystem::take(int& budget) {
  if (budget < 0) return true;
  if (budget == 0) return false;
  --budget;
  return true;
}

bool MemoryFileSystem::proceed() {
  ++operations;
  if (operations == failAt) return false;
  return crashAfter < 0 || operations <= crashAfter;
}

bool MemoryFileSystem::dead() const { return crashAfter >= 0 && operations > crashAfter + 1 && operations != failAt; }

std::optional<std::string> MemoryFileSystem::readAll(const std::string& path) {
  if (!proceed()) return std::nullopt;
  const auto it = files.find(path);
  if (it == files.end()) return std::nullopt;
  return it->second;
}

bool MemoryFileSystem::append(const std::string& path, std::string_view bytes) {
  ++appendCalls;
  if (!proceed() || !take(appendsBeforeFailure)) {
    if (!dead()) files[path].append(bytes.substr(0, tornAppendBytes));
    return false;
  }
  files[path].append(bytes);
  return true;
}

bool MemoryFileSystem::replace(const std::string& path, std::string_view bytes) {
  ++replaceCalls;
  if (!proceed() || !take(replacesBeforeFailure)) {
    // A crash or full disk while writing the new file leaves it half written
    // beside the old one; the old file is untouched.
    if (!dead()) files[path + ".new"] = std::string(bytes.substr(0, bytes.size() / 2));
    return false;
  }
  files.erase(path + ".new");
  files[path] = std::string(bytes);
  return true;
}

bool MemoryFileSystem::write(const std::string& path, std::string_view bytes) {
  if (!proceed()) {
    // Opened and truncated, then only half written; with nothing to write
    // only the open can have failed.
    if (!dead() && !bytes.empty()) files[path] = std::string(bytes.substr(0, bytes.size() / 2));
    return false;
  }
  files[path] = std::string(bytes);
  return true;
}

bool MemoryFileSystem::remove(const std::string& path) {
  if (!proceed() || !take(removesBeforeFailure)) return false;
  files.erase(path);
  return true;
}

bool MemoryFileSystem::rename(const std::string& from, const std::string& to) {
  if (!proceed()) return false;
  const auto it = files.find(from);
  if (it == files.end()) return false;
  std::string bytes = std::move(it->second);
  files.erase(it);
  files[to] = std::move(bytes);
  return true;
}

bool MemoryFileSystem::exists(const std::string& path) {
  return files.count(path) > 0 || directories.count(path) > 0;
}

bool MemoryFileSystem::isDirectory(const std::string& path) { return directories.count(path) > 0; }

bool MemoryFileSystem::makeDirectory(const std::string& path) {
  if (!proceed()) return false;
  directories.insert(path);
  return true;
}

}  // namespace lh::text
