#include "platform/win32/system_win32.h"

#include <winsock2.h>
#include <ws2tcpip.h>
// (winsock2 before windows.h)
#include <windows.h>

#include <iterator>

#include "platform/win32/scoped_win.h"
#include "platform/win32/wide.h"

namespace lh::platform::win32 {

bool launchProcess(const std::string& commandLine) {
  std::wstring cmd = wide(commandLine);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}

std::string httpOpenCommandValue() {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command", 0, KEY_READ, &opened) != ERROR_SUCCESS) return {};
  const OwnedKey key(opened);
  wchar_t buf[2048];
  DWORD size = sizeof buf - sizeof(wchar_t);
  DWORD type = 0;
  if (RegQueryValueExW(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ)) {
    return {};
  }
  std::size_t n = size / sizeof(wchar_t);
  while (n > 0 && buf[n - 1] == 0) --n;
  return narrow(buf, n);
}

std::string executableFolder() {
  wchar_t buf[MAX_PATH * 4];
  const DWORD n = GetModuleFileNameW(nullptr, buf, static_cast<DWORD>(std::size(buf)));
  std::wstring path(buf, n);
  const std::size_t slash = path.find_last_of(L"\\/");
  return narrow(slash == std::wstring::npos ? path : path.substr(0, slash));
}

void trimProcessWorkingSet() {
  SetProcessWorkingSetSize(GetCurrentProcess(), static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1));
}

Network::Network() {
  WSADATA wsa;
  started_ = WSAStartup(MAKEWORD(2, 2), &wsa) == 0;
}

Network::~Network() {
  if (started_) WSACleanup();
}

bool Network::tcpConnect(const std::string& host, int port, int timeoutMs) {
  if (!started_) return false;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* res = nullptr;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &res) != 0 || !res) return false;
  bool ok = false;
  const SOCKET s = socket(res->ai_family, res->ai_socktype, res->ai_protocol);
  if (s != INVALID_SOCKET) {
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    connect(s, res->ai_addr, static_cast<int>(res->ai_addrlen));
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    ok = select(0, nullptr, &writable, &failed, &tv) > 0 && FD_ISSET(s, &writable);
    closesocket(s);
  }
  freeaddrinfo(res);
  return ok;
}

}  // namespace lh::platform::win32
