// The system-wide hot key that slides the main window in from any program
// and gives it the focus, or slides it out when it is in. The key is kept
// in config.ini (section 选项, key 热键) as text such as "Ctrl+Alt+B";
// without the key the default holds, and an empty value turns it off.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "text/filesystem.h"

namespace lh::features {

inline constexpr const char* kOptionsSection = "选项";
inline constexpr const char* kHotKeyKey = "热键";
inline constexpr const char* kDefaultHotKey = "Ctrl+Alt+B";

struct HotKeySpec {
  int keyCode = 0;
  int modifiers = 0;  // platform::kCtrl | kShift | kAlt
  bool operator==(const HotKeySpec&) const = default;
};

// "Ctrl+Alt+B", "ctrl + shift + f12", "Alt+3": modifiers (Ctrl or Control,
// Alt, Shift) and one key (a letter, a digit or F1 to F24), joined by "+".
// nullopt for anything else, and for a key without Ctrl or Alt (it would
// take a plain key from every program).
std::optional<HotKeySpec> parseHotKey(std::string_view text);

class HotKey {
 public:
  struct Hooks {
    std::function<bool()> windowIn;  // the main window is slid in and shown
    std::function<void()> bringIn;   // slides it in (shown) and gives it the focus
    std::function<void()> sendOut;   // slides it out
    // A notice for the user (the balloon).
    std::function<void(const std::string&)> tell;
  };
  HotKey(platform::Platform& platform, Hooks hooks) : platform_(platform), hooks_(std::move(hooks)) {}

  // Reads the key from the settings file and registers it. A key another
  // program holds, or a value that names no key, is told once.
  void start(text::FileSystem& fs, const std::string& settingsFile);
  void pressed();
  std::optional<HotKeySpec> registered() const { return registered_; }

 private:
  platform::Platform& platform_;
  Hooks hooks_;
  std::optional<HotKeySpec> registered_;
};

}  // namespace lh::features
