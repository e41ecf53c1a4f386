#include "features/hot_key.h"

#include "text/ini.h"

namespace lh::features {

namespace {

std::string upper(std::string_view s) {
  std::string out;
  for (char c : s) {
    if (c == ' ' || c == '\t') continue;
    out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return out;
}

int keyCodeOf(const std::string& k) {
  if (k.size() == 1 && ((k[0] >= 'A' && k[0] <= 'Z') || (k[0] >= '0' && k[0] <= '9'))) return k[0];
  if (k.size() >= 2 && k.size() <= 3 && k[0] == 'F') {
    int n = 0;
    for (std::size_t i = 1; i < k.size(); ++i) {
      if (k[i] < '0' || k[i] > '9') return 0;
      n = n * 10 + (k[i] - '0');
    }
    if (n >= 1 && n <= 24 && k[1] != '0') return 0x70 + n - 1;  // VK_F1 ...
  }
  return 0;
}

}  // namespace

std::optional<HotKeySpec> parseHotKey(std::string_view text) {
  const std::string t = upper(text);
  HotKeySpec spec;
  std::size_t start = 0;
  for (;;) {
    const std::size_t plus = t.find('+', start);
    const std::string part = t.substr(start, plus == std::string::npos ? std::string::npos : plus - start);
    if (plus == std::string::npos) {
      spec.keyCode = keyCodeOf(part);
      break;
    }
    int bit = 0;
    if (part == "CTRL" || part == "CONTROL") bit = platform::kCtrl;
    if (part == "ALT") bit = platform::kAlt;
    if (part == "SHIFT") bit = platform::kShift;
    if (bit == 0 || (spec.modifiers & bit) != 0) return std::nullopt;
    spec.modifiers |= bit;
    start = plus + 1;
  }
  if (spec.keyCode == 0 || (spec.modifiers & (platform::kCtrl | platform::kAlt)) == 0) return std::nullopt;
  return spec;
}

void HotKey::start(text::FileSystem& fs, const std::string& settingsFile) {
  std::optional<std::string> value;
  if (const std::optional<std::string> bytes = fs.readAll(settingsFile)) {
    value = text::IniDocument(*bytes).find(kOptionsSection, kHotKeyKey);
  }
  const std::string text = value.value_or(kDefaultHotKey);
  registered_.reset();
  if (upper(text).empty()) {
    platform_.registerHotKey(0, 0, nullptr);  // turned off
    return;
  }
  const std::optional<HotKeySpec> spec = parseHotKey(text);
  if (!spec) {
    if (hooks_.tell) hooks_.tell("热键 " + text + " 无法识别");
    return;
  }
  if (!platform_.registerHotKey(spec->keyCode, spec->modifiers, [this] { pressed(); })) {
    if (hooks_.tell) hooks_.tell("热键 " + text + " 已被其他程序占用");
    return;
  }
  registered_ = spec;
}

void HotKey::pressed() {
  if (hooks_.windowIn && hooks_.windowIn()) {
    if (hooks_.sendOut) hooks_.sendOut();
  } else if (hooks_.bringIn) {
    hooks_.bringIn();
  }
}

}  // namespace lh::features
