// A file system held in memory, with switches that make operations fail the
// way a full disk or a crash would. For tests and benchmarks.
#pragma once

#include <cstddef>
#include <map>
#include <set>

#include "text/filesystem.h"

namespace lh::text {

class MemoryFileSystem : public FileSystem {
 public:
  std::map<std::string, std::string> files;
  std::set<std::string> directories;

  // Fault injection. A limit of n lets n more calls succeed, then fails the
  // rest (-1 = never fail).
  int replacesBeforeFailure = -1;
  int appendsBeforeFailure = -1;
  // When an append fails, this many bytes of it are still written (a torn
  // record).
  std::size_t tornAppendBytes = 0;
  int removesBeforeFailure = -1;

  // Counters, for tests that check how a file was written.
  int appendCalls = 0;
  int replaceCalls = 0;

  std::optional<std::string> readAll(const std::string& path) override;
  bool append(const std::string& path, std::string_view bytes) override;
  bool replace(const std::string& path, std::string_view bytes) override;
  bool write(const std::string& path, std::string_view bytes) override;
  bool remove(const std::string& path) override;
  bool rename(const std::string& from, const std::string& to) override;
  bool exists(const std::string& path) override;
  bool isDirectory(const std::string& path) override;
  bool makeDirectory(const std::string& path) override;

 private:
  static bool take(int& budget);
};

}  // namespace lh::text
