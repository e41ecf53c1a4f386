// The common file dialogs and the desktop folder. Paths cross the boundary
// as GBK (code page 936): a chosen path with characters GBK cannot hold
// comes back with "?" in their place, which no file of that name matches.
#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>
#include <vector>

#include "platform/win32/services_win32.h"
#include "platform/win32/wide.h"

namespace lh::platform::win32 {

namespace {

// "desc|patterns|..." as the dialog wants it: each part ended by a zero,
// the list by a second one.
std::wstring dialogFilter(const std::string& filter) {
  std::wstring out;
  for (const auto& [description, patterns] : filterPairs(filter)) {
    out += wide(description);
    out += L'\0';
    out += wide(patterns);
    out += L'\0';
  }
  out += L'\0';
  return out;
}

}  // namespace

std::optional<std::string> showFileDialog(const FileDialogRequest& request) {
  // Room for a long path; the proposed name is cut to fit.
  std::vector<wchar_t> file(32768, L'\0');
  const std::wstring proposed = wide(request.proposedName);
  std::copy_n(proposed.begin(), std::min(proposed.size(), file.size() - 1), file.begin());
  const std::wstring filter = dialogFilter(request.filter);
  const std::wstring folder = wide(request.initialFolder);
  const std::wstring title = wide(request.title);
  const std::wstring extension = wide(request.defaultExtension);

  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(request.owner));
  ofn.lpstrFilter = filter.size() > 1 ? filter.c_str() : nullptr;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
  ofn.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
  // The program's working directory stays where it is.
  ofn.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  BOOL chosen;
  if (request.kind == FileDialogRequest::Kind::Save) {
    ofn.Flags |= OFN_OVERWRITEPROMPT;
    chosen = GetSaveFileNameW(&ofn);
  } else {
    ofn.Flags |= OFN_FILEMUSTEXIST;
    chosen = GetOpenFileNameW(&ofn);
  }
  if (!chosen) return std::nullopt;  // cancelled, or the dialog failed
  return narrow(std::wstring(file.data()));
}

std::string desktopDirectory() {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  // (Checked before the conversion: a GBK character may end in a 5C byte.)
  std::wstring w(path);
  if (w.empty()) return {};
  if (w.back() != L'\\') w += L'\\';
  return narrow(w);
}

}  // namespace lh::platform::win32
