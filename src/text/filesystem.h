// The few whole-file operations the data files need, behind one interface so
// that the store and the INI code stay free of any platform, and tests can
// inject faults. Paths are GBK texts with "\" separators, as on Windows.
//
// Real implementations: platform/posix/filesystem_posix.cpp and
// platform/win32/filesystem_win32.cpp (both through makeRealFileSystem()).
// In-memory implementation for tests: text/memory_filesystem.h.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lh::text {

// A file's bytes, read-only, for as long as the object lives.
class FileView {
 public:
  virtual ~FileView() = default;
  virtual std::string_view bytes() const = 0;
};

// A view of bytes held in memory.
class OwnedFileView : public FileView {
 public:
  explicit OwnedFileView(std::string bytes) : bytes_(std::move(bytes)) {}
  std::string_view bytes() const override { return bytes_; }

 private:
  std::string bytes_;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // The whole file, read-only, for as long as the view lives. The real file
  // systems map it into memory: nothing is copied, and its pages are the
  // system's file cache rather than the program's own memory. While a view
  // lives the file cannot be written, replaced or removed (on Windows), but
  // it can be renamed. nullptr when the file is missing or cannot be read.
  // This default reads the file.
  virtual std::unique_ptr<FileView> map(const std::string& path) {
    auto bytes = readAll(path);
    if (!bytes) return nullptr;
    return std::make_unique<OwnedFileView>(std::move(*bytes));
  }

  // The whole file; nullopt when it is missing or cannot be read.
  virtual std::optional<std::string> readAll(const std::string& path) = 0;

  // Opens the file for writing (created when missing, contents kept), moves
  // to its end, writes `bytes` and closes it. False when any step failed;
  // a failed write may have left part of the bytes.
  virtual bool append(const std::string& path, std::string_view bytes) = 0;

  // Replaces the file's contents in one step: writes a new file beside it
  // (path + ".new"), flushes it to the disk, and renames it over the old one.
  // On failure the old file is untouched and false is returned. Other
  // processes are denied access to the new file while it is written.
  virtual bool replace(const std::string& path, std::string_view bytes) = 0;

  // Creates or truncates the file and writes `bytes` (not atomic).
  virtual bool write(const std::string& path, std::string_view bytes) = 0;

  // Deletes the file; true when it is gone afterwards (also when missing).
  virtual bool remove(const std::string& path) = 0;

  // Renames `from` to `to`, replacing `to` when it exists.
  virtual bool rename(const std::string& from, const std::string& to) = 0;

  virtual bool exists(const std::string& path) = 0;

  // True for an existing directory.
  virtual bool isDirectory(const std::string& path) = 0;

  // Creates the directory (its parent must exist); true when it exists after.
  virtual bool makeDirectory(const std::string& path) = 0;

  // The names of the files (not directories) in a directory, in no order;
  // empty when it cannot be read.
  virtual std::vector<std::string> filesIn(const std::string& directory) = 0;

  // Why the last append that failed on this thread failed, in words for
  // the user ("" when unknown).
  virtual std::string appendFailure() { return {}; }
};

// The operating system's file system.
std::unique_ptr<FileSystem> makeRealFileSystem();

}  // namespace lh::text
