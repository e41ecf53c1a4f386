// A file system held in memory, with switches that make operations fail the
// way a full disk, a file held open by another program, or a crash would.
// For tests and benchmarks.
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

  // Fault injection by kind. A limit of n lets n more calls succeed, then
  // fails the rest (-1 = never fail).
  int replacesBeforeFailure = -1;
  int appendsBeforeFailure = -1;
  int removesBeforeFailure = -1;
  // When an append fails, this many bytes of it are still written (a torn
  // record).
  std::size_t tornAppendBytes = 0;

  // Fault injection by position. Every operation that can fail (all but
  // exists and isDirectory) counts, from 1. The failAt-th one fails; every
  // one after the crashAfter-th fails, as if the process had died there
  // (0 = none, -1 = no crash). A failed read gives nullopt, a failed append
  // leaves a torn record, a failed replace a half-written ".new" file, a
  // failed write a truncated file half written; a failed remove or rename
  // changes nothing. After a crash only the operation it interrupted leaves
  // such traces; the ones after it change nothing.
  int failAt = 0;
  int crashAfter = -1;
  // Files that are there but cannot be read (map and readAll fail).
  std::set<std::string> unreadable;
  // Files another program holds open without sharing (a virus scanner, a
  // backup or sync tool): they can be read, but every append, replace,
  // write, removal and rename of them, or onto them, fails. With
  // `heldRemovalLies` a removal reports success and leaves the file, as
  // Wine does for a file it cannot unlink (and Windows for one whose
  // holder shares deletion: it goes only when the holder lets go).
  std::set<std::string> held;
  bool heldRemovalLies = false;
  // From the holdFrom-th operation on (0 = never), the files of holdLater
  // are held as well.
  int holdFrom = 0;
  std::set<std::string> holdLater;
  int operations = 0;

  // What appendFailure() says.
  std::string appendFailureText = "磁盘空间不足。";

  std::string appendFailure() override { return appendFailureText; }

  // Counters, for tests that check how a file was written.
  int appendCalls = 0;
  int replaceCalls = 0;

  // Views of files: like a mapped file on Windows, a file with a live view
  // cannot be written, replaced or removed, nor renamed onto; it can be
  // renamed, and the view follows it.
  std::unique_ptr<FileView> map(const std::string& path) override;
  bool mapped(const std::string& path) const;

  std::optional<std::string> readAll(const std::string& path) override;
  bool append(const std::string& path, std::string_view bytes) override;
  bool replace(const std::string& path, std::string_view bytes) override;
  bool write(const std::string& path, std::string_view bytes) override;
  bool remove(const std::string& path) override;
  bool rename(const std::string& from, const std::string& to) override;
  bool exists(const std::string& path) override;
  bool isDirectory(const std::string& path) override;
  bool makeDirectory(const std::string& path) override;
  std::vector<std::string> filesIn(const std::string& directory) override;

 private:
  class View;
  static bool take(int& budget);
  // The live views of each file, by the file's current name.
  std::map<std::string, std::set<int>> views_;
  int nextView_ = 0;
  // Counts one operation; false when it is to fail.
  bool proceed();
  // The failing operation comes after the one a crash interrupted.
  bool dead() const;
};

}  // namespace lh::text
