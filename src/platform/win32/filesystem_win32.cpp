// The file system on Windows, through the wide-character API with the GBK
// paths converted from code page 936.
#include <windows.h>

#include <algorithm>

#include "platform/win32/retry.h"
#include "platform/win32/wide.h"
#include "text/codepage.h"
#include "text/filesystem.h"

namespace lh::text {

namespace {

std::wstring widePath(const std::string& path) {
  const std::u16string w = gbkToUtf16(path);
  return std::wstring(w.begin(), w.end());
}

class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() { close(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return h_; }
  bool close() {
    if (!valid()) return true;
    const BOOL ok = CloseHandle(h_);
    h_ = INVALID_HANDLE_VALUE;
    return ok != 0;
  }

 private:
  HANDLE h_;
};

bool writeAllTo(HANDLE h, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(h, bytes.data() + done, chunk, &written, nullptr) || written == 0) return false;
    done += written;
  }
  return true;
}

// Renames `from` to `to`, over it if it is there. Another program that has
// one of the files open for a moment (a virus scanner or an indexer looking
// at a file just written, a backup tool, a reader of our files) makes the
// rename fail with a sharing error; it is tried again for about a third of
// a second before the failure is reported. With `retryDenied` an access
// error is tried again too: Wine reports a target held open by another
// program that way. (It is also what renaming over a file the program has
// mapped gives, which the store expects to fail at once, so `rename`
// leaves it out.)
bool moveOver(const std::wstring& from, const std::wstring& to, bool retryDenied) {
  return platform::win32::retryBriefly(
      [&] { return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0; },
      [retryDenied] {
        const DWORD e = GetLastError();
        return e == ERROR_SHARING_VIOLATION || e == ERROR_LOCK_VIOLATION || (retryDenied && e == ERROR_ACCESS_DENIED);
      },
      160);
}

// The error of the last append that failed, per thread (the store asks for
// it after reading the log again, which sets the thread's error anew).
thread_local DWORD lastAppendError = 0;

bool failedAppend() {
  lastAppendError = GetLastError();
  return false;
}

class MappedView : public FileView {
 public:
  MappedView(const void* at, std::size_t size) : at_(at), size_(size) {}
  ~MappedView() override { UnmapViewOfFile(at_); }
  std::string_view bytes() const override { return std::string_view(static_cast<const char*>(at_), size_); }

 private:
  const void* at_;
  std::size_t size_;
};

class Win32FileSystem : public FileSystem {
 public:
  std::unique_ptr<FileView> map(const std::string& path) override {
    // Others may read the file and rename or delete it, but not write it:
    // the program replaces its files by renaming new ones over them.
    Handle h(CreateFileW(widePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.valid()) return nullptr;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(h.get(), &size) || size.QuadPart == 0) return FileSystem::map(path);
    Handle mapping(CreateFileMappingW(h.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping.get()) return FileSystem::map(path);
    const void* at = MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0);
    if (!at) return FileSystem::map(path);
    // The view keeps the mapping and the file open.
    return std::make_unique<MappedView>(at, static_cast<std::size_t>(size.QuadPart));
  }

  std::optional<std::string> readAll(const std::string& path) override {
    Handle h(CreateFileW(widePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.valid()) return std::nullopt;
    // Straight into the string, in as few calls as the file's size allows;
    // then on until the end, in case the file grew meanwhile.
    LARGE_INTEGER size{};
    std::string out;
    if (GetFileSizeEx(h.get(), &size) && size.QuadPart > 0) out.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    for (;;) {
      DWORD n = 0;
      if (done < out.size()) {
        const auto want = static_cast<DWORD>(std::min<std::size_t>(out.size() - done, std::size_t{1} << 30));
        if (!ReadFile(h.get(), out.data() + done, want, &n, nullptr)) return std::nullopt;
        if (n == 0) break;
        done += n;
        continue;
      }
      char buf[65536];
      if (!ReadFile(h.get(), buf, sizeof buf, &n, nullptr)) return std::nullopt;
      if (n == 0) break;
      out.append(buf, n);
      done += n;
    }
    out.resize(done);
    return out;
  }

  bool append(const std::string& path, std::string_view bytes) override {
    Handle h(CreateFileW(widePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.valid()) return failedAppend();
    LARGE_INTEGER zero{};
    bool ok = SetFilePointerEx(h.get(), zero, nullptr, FILE_END) && writeAllTo(h.get(), bytes);
    if (!ok) failedAppend();
    return h.close() && ok;
  }

  std::string appendFailure() override {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, lastAppendError, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring words = n && text ? std::wstring(text, n) : L"error " + std::to_wstring(lastAppendError);
    if (text) LocalFree(text);
    while (!words.empty() && (words.back() == L'\r' || words.back() == L'\n' || words.back() == L' ')) words.pop_back();
    return platform::win32::narrow(words);
  }

  bool replace(const std::string& path, std::string_view bytes) override {
    const std::wstring target = widePath(path);
    const std::wstring temp = target + L".new";
    {
      // No sharing: other processes can neither read nor write the new file.
      Handle h(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr));
      if (!h.valid()) return false;
      bool ok = writeAllTo(h.get(), bytes) && FlushFileBuffers(h.get());
      if (!h.close() || !ok) {
        DeleteFileW(temp.c_str());
        return false;
      }
    }
    if (!moveOver(temp, target, true)) {
      DeleteFileW(temp.c_str());
      return false;
    }
    return true;
  }

  bool write(const std::string& path, std::string_view bytes) override {
    Handle h(CreateFileW(widePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.valid()) return false;
    const bool ok = writeAllTo(h.get(), bytes);
    return h.close() && ok;
  }

  bool remove(const std::string& path) override {
    const std::wstring p = widePath(path);
    if (DeleteFileW(p.c_str())) return true;
    const DWORD e = GetLastError();
    return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND;
  }

  bool rename(const std::string& from, const std::string& to) override {
    return moveOver(widePath(from), widePath(to), false);
  }

  bool exists(const std::string& path) override {
    return GetFileAttributesW(widePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  bool isDirectory(const std::string& path) override {
    const DWORD a = GetFileAttributesW(widePath(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
  }

  bool makeDirectory(const std::string& path) override {
    return CreateDirectoryW(widePath(path).c_str(), nullptr) || isDirectory(path);
  }

  std::vector<std::string> filesIn(const std::string& directory) override {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(widePath(directory + "\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(platform::win32::narrow(found.cFileName));
    } while (FindNextFileW(h, &found));
    FindClose(h);
    return names;
  }
};

}  // namespace

std::unique_ptr<FileSystem> makeRealFileSystem() { return std::make_unique<Win32FileSystem>(); }

}  // namespace lh::text
