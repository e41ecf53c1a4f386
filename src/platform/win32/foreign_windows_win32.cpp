#include "platform/win32/foreign_windows_win32.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>

#include "platform/win32/scoped_win.h"
#include "platform/win32/wide.h"

namespace lh::platform::win32 {

bool sendBounded(HWND to, UINT msg, WPARAM wp, LPARAM lp, DWORD_PTR* result) {
  DWORD_PTR ignored = 0;
  return SendMessageTimeoutW(to, msg, wp, lp, SMTO_NORMAL | SMTO_ABORTIFHUNG, Platform::kForeignSendTimeoutMs,
                             result ? result : &ignored) != 0;
}

ForeignWindow foreignWindowAt(Point p) { return foreignOf(WindowFromPoint(POINT{p.x, p.y})); }

ForeignWindow foreignParentOf(ForeignWindow w) { return foreignOf(GetParent(hwndOf(w))); }

std::string foreignClassNameOf(ForeignWindow w) {
  char buf[260] = {};
  const int n = GetClassNameA(hwndOf(w), buf, 259);
  return std::string(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
}

std::string foreignTextOf(ForeignWindow w) {
  DWORD_PTR len = 0;
  if (!sendBounded(hwndOf(w), WM_GETTEXTLENGTH, 0, 0, &len) || len == 0) return {};
  std::wstring buf(static_cast<std::size_t>(len) + 1, L'\0');
  DWORD_PTR n = 0;
  if (!sendBounded(hwndOf(w), WM_GETTEXT, static_cast<WPARAM>(buf.size()), reinterpret_cast<LPARAM>(buf.data()), &n)) {
    return {};
  }
  return narrow(buf.data(), std::min<std::size_t>(static_cast<std::size_t>(n), static_cast<std::size_t>(len)));
}

std::vector<ForeignWindow> foreignChildrenOf(ForeignWindow w) {
  std::vector<ForeignWindow> out;
  HWND child = nullptr;
  while ((child = FindWindowExW(hwndOf(w), child, nullptr, nullptr)) != nullptr) out.push_back(foreignOf(child));
  return out;
}

std::string processPathOf(ForeignWindow w) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwndOf(w), &pid);
  const OwnedHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
  if (!process) return {};
  wchar_t buf[1024] = {};
  const DWORD n = GetModuleFileNameExW(process.get(), nullptr, buf, 1024);
  return narrow(buf, n);
}

std::string processFileNameOf(ForeignWindow w) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwndOf(w), &pid);
  const OwnedSnapshot snap(CreateToolhelp32Snapshot(TH32CS_SNAPALL, 0));
  if (!snap) return {};
  PROCESSENTRY32W e{};
  e.dwSize = sizeof e;
  for (BOOL ok = Process32FirstW(snap.get(), &e); ok; ok = Process32NextW(snap.get(), &e)) {
    if (e.th32ProcessID == pid) return narrow(std::wstring(e.szExeFile));
  }
  return {};
}

}  // namespace lh::platform::win32
