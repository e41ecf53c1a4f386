// A fresh directory for a test's files, removed afterwards. Its path is a
// program path: GBK with "\" separators (the POSIX file system maps them).
#pragma once

#include <atomic>
#include <filesystem>
#include <random>
#include <string>

namespace lh::test {

class TempDir {
 public:
  TempDir() {
    static std::atomic<int> counter{0};
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0;; ++attempt) {
      dir_ = base / ("linkhoard-test-" + std::to_string(uniqueNumber()) + "-" + std::to_string(counter++));
      if (std::filesystem::create_directory(dir_)) break;
    }
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // Program path of the directory.
  std::string path() const { return dir_.string(); }
  // Program path of a file in it.
  std::string file(const std::string& name) const { return path() + "\\" + name; }
  const std::filesystem::path& native() const { return dir_; }

 private:
  static unsigned uniqueNumber() {
    static std::random_device device;
    return device();
  }
  std::filesystem::path dir_;
};

}  // namespace lh::test
