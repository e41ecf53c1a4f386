// The system's file open and save dialogs, as the exchange of bookmark
// files uses them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lh::platform {

struct FileDialogRequest {
  enum class Kind { Open, Save };
  Kind kind = Kind::Open;
  // Pairs of a description and its patterns, each part ended by '|', the
  // way the form's dialog control takes them: "html|*.html;*.htm".
  std::string filter;
  std::string initialFolder;  // GBK; empty = the system's choice
  std::string proposedName;   // GBK; the file name box of a save dialog
  // Added to a typed save name that has no extension ("html"); empty = none.
  std::string defaultExtension;
  std::string title;          // GBK; empty = the system's title
  std::uint64_t owner = 0;    // HostWindow::nativeId() of the owner, 0 = none
};

// The filter's (description, patterns) pairs in order. A description
// without patterns ends the list; an empty filter gives none.
std::vector<std::pair<std::string, std::string>> filterPairs(std::string_view filter);

}  // namespace lh::platform
