#include "capture/clipboard_capture.h"

#include <utility>

#include "text/rules.h"

namespace lh::capture {

namespace {
constexpr int kColumnWidth = 350;  // whatever the window's own width
}  // namespace

std::string copiedAddress(std::string text) {
  const std::size_t cut = text.find_first_of("\r\n");
  if (cut != std::string::npos) text.resize(cut);
  return text;
}

ClipboardCapture::ClipboardCapture(platform::Platform& platform, BrowserCapture& browser, Hooks hooks)
    : platform_(platform), browser_(browser), hooks_(std::move(hooks)) {}

void ClipboardCapture::clipboardChanged() {
  // A copy made with the pointer over the column is the program's own (its
  // "复制"): not captured.
  const int x = platform_.cursorPosition().x;
  const int left = hooks_.columnLeft ? hooks_.columnLeft() : 0;
  if (x > left && x < left + kColumnWidth) return;
  const std::string text = copiedAddress(platform_.clipboardText());
  if (!text::looksLikeAddress(text)) return;
  // The title is the browser's beside the window, whichever program copied.
  const platform::ForeignWindow top = topLevelOf(platform_, platform_.windowAt(hooks_.pointToCapture()));
  const std::string title = top ? platform_.textOf(top) : std::string();
  if (hooks_.closeAddPanel) hooks_.closeAddPanel();
  if (hooks_.resetPointer) hooks_.resetPointer();
  browser_.captureAddress(title, text);
}

}  // namespace lh::capture
