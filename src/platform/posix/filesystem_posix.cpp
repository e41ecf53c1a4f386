// The file system on POSIX systems. Program paths are GBK with "\"
// separators; here they become UTF-8 with "/".
#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "text/codepage.h"
#include "text/filesystem.h"

namespace lh::text {

namespace {

std::string nativePath(const std::string& path) {
  std::string p = gbkToUtf8(path);
  for (char& c : p) {
    if (c == '\\') c = '/';
  }
  return p;
}

bool writeAllTo(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

class MappedView : public FileView {
 public:
  MappedView(void* at, std::size_t size) : at_(at), size_(size) {}
  ~MappedView() override { ::munmap(at_, size_); }
  std::string_view bytes() const override { return std::string_view(static_cast<const char*>(at_), size_); }

 private:
  void* at_;
  std::size_t size_;
};

class PosixFileSystem : public FileSystem {
 public:
  std::unique_ptr<FileView> map(const std::string& path) override {
    const int fd = ::open(nativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0) {
      ::close(fd);
      return FileSystem::map(path);  // nothing to map, or not a plain file
    }
    void* at = ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);
    if (at == MAP_FAILED) return FileSystem::map(path);
    return std::make_unique<MappedView>(at, static_cast<std::size_t>(st.st_size));
  }

  std::optional<std::string> readAll(const std::string& path) override {
    const int fd = ::open(nativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string out;
    struct stat st {};
    std::size_t expected = 0;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) expected = static_cast<std::size_t>(st.st_size);
    // Read straight into the result; grow it if the file grew meanwhile.
    out.resize(expected + 1);
    std::size_t done = 0;
    for (;;) {
      if (done == out.size()) out.resize(out.size() * 2 + 65536);
      const ssize_t n = ::read(fd, out.data() + done, out.size() - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        ::close(fd);
        return std::nullopt;
      }
      if (n == 0) break;
      done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    out.resize(done);
    return out;
  }

  bool append(const std::string& path, std::string_view bytes) override {
    const int fd = ::open(nativePath(path).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = ::lseek(fd, 0, SEEK_END) >= 0 && writeAllTo(fd, bytes);
    ok = (::close(fd) == 0) && ok;
    return ok;
  }

  bool replace(const std::string& path, std::string_view bytes) override {
    const std::string target = nativePath(path);
    const std::string temp = target + ".new";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = writeAllTo(fd, bytes) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (!ok || std::rename(temp.c_str(), target.c_str()) != 0) {
      ::unlink(temp.c_str());
      return false;
    }
    // Make the rename itself durable.
    std::string dir = target.substr(0, target.find_last_of('/') == std::string::npos ? 0 : target.find_last_of('/'));
    if (dir.empty()) dir = ".";
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
      ::fsync(dfd);
      ::close(dfd);
    }
    return true;
  }

  bool write(const std::string& path, std::string_view bytes) override {
    const int fd = ::open(nativePath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = writeAllTo(fd, bytes);
    ok = (::close(fd) == 0) && ok;
    return ok;
  }

  bool remove(const std::string& path) override {
    return ::unlink(nativePath(path).c_str()) == 0 || errno == ENOENT;
  }

  bool rename(const std::string& from, const std::string& to) override {
    return std::rename(nativePath(from).c_str(), nativePath(to).c_str()) == 0;
  }

  bool exists(const std::string& path) override {
    struct stat st {};
    return ::stat(nativePath(path).c_str(), &st) == 0;
  }

  bool isDirectory(const std::string& path) override {
    struct stat st {};
    return ::stat(nativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }

  bool makeDirectory(const std::string& path) override {
    return ::mkdir(nativePath(path).c_str(), 0755) == 0 || isDirectory(path);
  }

  std::vector<std::string> filesIn(const std::string& directory) override {
    std::vector<std::string> names;
    DIR* d = ::opendir(nativePath(directory).c_str());
    if (!d) return names;
    while (const dirent* e = ::readdir(d)) {
      const std::string name = e->d_name;
      if (name == "." || name == "..") continue;
      struct stat st {};
      if (::stat((nativePath(directory) + "/" + name).c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        names.push_back(utf8ToGbk(name));
      }
    }
    ::closedir(d);
    return names;
  }
};

}  // namespace

std::unique_ptr<FileSystem> makeRealFileSystem() { return std::make_unique<PosixFileSystem>(); }

}  // namespace lh::text
