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
  if (holdFrom > 0 && operations >= holdFrom) held.insert(holdLater.begin(), holdLater.end());
  if (operations == failAt) return false;
  return crashAfter < 0 || operations <= crashAfter;
}

bool MemoryFileSystem::dead() const { return crashAfter >= 0 && operations > crashAfter + 1 && operations != failAt; }

class MemoryFileSystem::View : public FileView {
 public:
  View(MemoryFileSystem& fs, int id, std::string bytes) : fs_(fs), id_(id), bytes_(std::move(bytes)) {}
  ~View() override {
    for (auto it = fs_.views_.begin(); it != fs_.views_.end(); ++it) {
      if (it->second.erase(id_) > 0) {
        if (it->second.empty()) fs_.views_.erase(it);
        break;
      }
    }
  }
  std::string_view bytes() const override { return bytes_; }

 private:
  MemoryFileSystem& fs_;
  int id_;
  std::string bytes_;
};

std::unique_ptr<FileView> MemoryFileSystem::map(const std::string& path) {
  if (!proceed() || unreadable.count(path)) return nullptr;
  const auto it = files.find(path);
  if (it == files.end()) return nullptr;
  const int id = nextView_++;
  views_[path].insert(id);
  return std::make_unique<View>(*this, id, it->second);
}

bool MemoryFileSystem::mapped(const std::string& path) const {
  const auto it = views_.find(path);
  return it != views_.end() && !it->second.empty();
}

std::optional<std::string> MemoryFileSystem::readAll(const std::string& path) {
  if (!proceed() || unreadable.count(path)) return std::nullopt;
  const auto it = files.find(path);
  if (it == files.end()) return std::nullopt;
  return it->second;
}

bool MemoryFileSystem::append(const std::string& path, std::string_view bytes) {
  ++appendCalls;
  if (held.count(path)) return proceed() && false;
  if (!proceed() || !take(appendsBeforeFailure)) {
    if (!dead()) files[path].append(bytes.substr(0, tornAppendBytes));
    return false;
  }
  files[path].append(bytes);
  return true;
}

bool MemoryFileSystem::replace(const std::string& path, std::string_view bytes) {
  ++replaceCalls;
  if (held.count(path)) return proceed() && false;
  if (!proceed() || !take(replacesBeforeFailure)) {
    // A crash or full disk while writing the new file leaves it half written
    // beside the old one; the old file is untouched.
    if (!dead()) files[path + ".new"] = std::string(bytes.substr(0, bytes.size() / 2));
    return false;
  }
  if (mapped(path)) {
    files[path + ".new"] = std::string(bytes);  // written, but cannot be renamed over a mapped file
    return false;
  }
  files.erase(path + ".new");
  files[path] = std::string(bytes);
  return true;
}

bool MemoryFileSystem::write(const std::string& path, std::string_view bytes) {
  if (held.count(path)) return proceed() && false;
  const bool opens = !mapped(path);
  if (!proceed()) {
    // Opened and truncated, then only half written; with nothing to write
    // only the open can have failed.
    if (opens && !dead() && !bytes.empty()) files[path] = std::string(bytes.substr(0, bytes.size() / 2));
    return false;
  }
  if (!opens) return false;
  files[path] = std::string(bytes);
  return true;
}

bool MemoryFileSystem::remove(const std::string& path) {
  if (held.count(path) && files.count(path)) return proceed() && heldRemovalLies;
  if (!proceed() || !take(removesBeforeFailure) || mapped(path)) return false;
  files.erase(path);
  return true;
}

bool MemoryFileSystem::rename(const std::string& from, const std::string& to) {
  if (held.count(from) || held.count(to)) return proceed() && false;
  if (!proceed() || mapped(to)) return false;
  const auto it = files.find(from);
  if (it == files.end()) return false;
  std::string bytes = std::move(it->second);
  files.erase(it);
  files[to] = std::move(bytes);
  if (const auto v = views_.find(from); v != views_.end()) {
    std::set<int> moving = std::move(v->second);
    views_.erase(v);
    views_[to] = std::move(moving);
  }
  return true;
}

bool MemoryFileSystem::exists(const std::string& path) {
  return files.count(path) > 0 || directories.count(path) > 0;
}

bool MemoryFileSystem::isDirectory(const std::string& path) { return directories.count(path) > 0; }

std::vector<std::string> MemoryFileSystem::filesIn(const std::string& directory) {
  std::vector<std::string> names;
  if (!proceed()) return names;
  const std::string prefix = directory + "\\";
  for (const auto& [path, bytes] : files) {
    if (path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0 &&
        path.find('\\', prefix.size()) == std::string::npos) {
      names.push_back(path.substr(prefix.size()));
    }
  }
  return names;
}

bool MemoryFileSystem::makeDirectory(const std::string& path) {
  if (!proceed()) return false;
  directories.insert(path);
  return true;
}

}  // namespace lh::text
