// The parts of the Win32 platform that live in files of their own: HTTP
// (WinINet and MSXML2.XMLHTTP), the common file dialogs and the desktop
// folder. Used by win32_platform.cpp and by the Windows tests.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/dialogs.h"
#include "platform/http.h"

namespace lh::platform::win32 {

// Stateless and shared by every thread.
std::unique_ptr<Http> makeHttp();

// GetOpenFileNameW / GetSaveFileNameW; runs on the calling (GUI) thread.
std::optional<std::string> showFileDialog(const FileDialogRequest& request);

// The shell's desktop directory with a trailing "\".
std::string desktopDirectory();

}  // namespace lh::platform::win32
