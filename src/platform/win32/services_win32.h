// The parts of the Win32 platform the Windows tests use too: HTTP (WinINet,
// GET and POST), the common file dialogs and the desktop folder.
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
