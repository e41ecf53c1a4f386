#include "platform/win32/single_instance_win32.h"

#include <cstdint>
#include <cwchar>

#include "platform/win32/wide.h"

namespace lh::platform::win32 {

namespace {

constexpr UINT kShowRequestMessage = WM_APP + 3;  // a later copy asks the first one to show itself
constexpr UINT kShowRequestTimeoutMs = 3000;

// The key's upper-case UTF-16 form, hashed (FNV-1a) into the names of the
// mutex and of the window.
std::wstring instanceName(const std::string& key) {
  std::wstring k = wide(key);
  CharUpperBuffW(k.data(), static_cast<DWORD>(k.size()));
  std::uint64_t h = 14695981039346656037ull;
  for (wchar_t c : k) {
    h ^= static_cast<std::uint16_t>(c);
    h *= 1099511628211ull;
  }
  wchar_t hex[17];
  swprintf(hex, 17, L"%016llx", static_cast<unsigned long long>(h));
  return std::wstring(L"Linkhoard-") + hex;
}

}  // namespace

bool SingleInstance::claim(const std::string& key, std::function<void()> onShowRequest) {
  const std::wstring name = instanceName(key);
  mutex_.reset(CreateMutexW(nullptr, FALSE, (L"Local\\" + name).c_str()));
  if (mutex_ && GetLastError() == ERROR_ALREADY_EXISTS) {
    // The first copy may still be starting (no window yet): it shows itself.
    if (HWND other = FindWindowExW(HWND_MESSAGE, nullptr, kMessageClass, name.c_str())) {
      DWORD pid = 0;
      GetWindowThreadProcessId(other, &pid);
      AllowSetForegroundWindow(pid);
      SendMessageTimeoutW(other, kShowRequestMessage, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, kShowRequestTimeoutMs,
                          nullptr);
    }
    mutex_.reset();
    return false;
  }
  // Without a mutex (an odd system) the program runs rather than not.
  onShowRequest_ = std::move(onShowRequest);
  window_ = std::make_unique<MessageWindow>(MessageWindow::Kind::MessageOnly, name);
  window_->on(kShowRequestMessage, [this](WPARAM, LPARAM) {
    if (onShowRequest_) onShowRequest_();
    return LRESULT{0};
  });
  return true;
}

void SingleInstance::release() {
  onShowRequest_ = nullptr;
  window_.reset();
  mutex_.reset();
}

}  // namespace lh::platform::win32
