// One stand-in browser (the program lh_browser_standin), started with the
// kind of browser it plays at a place on the screen, ended with its owner.
#pragma once

#include <windows.h>

#include <string>

namespace lh::test {

class StandInBrowser {
 public:
  // Ready once its window (of `windowClass`) is the top-level window at
  // `readPoint`: the one a test had before may still be going.
  StandInBrowser(const std::wstring& exe, const std::wstring& kind, const std::wstring& windowClass, RECT at,
                 POINT readPoint) {
    std::wstring cmd = L"\"" + exe + L"\" " + kind + L" " + std::to_wstring(at.left) + L" " + std::to_wstring(at.top) +
                       L" " + std::to_wstring(at.right - at.left) + L" " + std::to_wstring(at.bottom - at.top);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_)) return;
    CloseHandle(pi_.hThread);
    for (int i = 0; i < kTries && !window_; ++i) {
      Sleep(kTryMs);
      window_ = findOwnWindow(windowClass);
    }
    for (int i = 0; i < kTries && window_ && GetAncestor(WindowFromPoint(readPoint), GA_ROOT) != window_; ++i) {
      Sleep(kTryMs);
    }
  }
  ~StandInBrowser() {
    if (!pi_.hProcess) return;
    TerminateProcess(pi_.hProcess, 0);
    WaitForSingleObject(pi_.hProcess, 5000);
    CloseHandle(pi_.hProcess);
  }
  StandInBrowser(const StandInBrowser&) = delete;
  StandInBrowser& operator=(const StandInBrowser&) = delete;
  HWND window() const { return window_; }

 private:
  static constexpr int kTries = 200, kTryMs = 50;
  HWND findOwnWindow(const std::wstring& cls) const {
    for (HWND w = FindWindowExW(nullptr, nullptr, cls.c_str(), nullptr); w;
         w = FindWindowExW(nullptr, w, cls.c_str(), nullptr)) {
      DWORD pid = 0;
      GetWindowThreadProcessId(w, &pid);
      if (pid == pi_.dwProcessId) return w;
    }
    return nullptr;
  }
  PROCESS_INFORMATION pi_{};
  HWND window_ = nullptr;
};

}  // namespace lh::test
