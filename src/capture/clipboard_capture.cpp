#include "capture/clipboard_capture.h"

#include <utility>

#include "platform/bounded_call.h"
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
    : platform_(platform), browser_(browser), hooks_(std::move(hooks)), reader_(platform.createWorker()) {}

void ClipboardCapture::clipboardChanged() {
  // A copy made with the pointer over the column is the program's own (its
  // "复制"): not captured.
  const int x = platform_.cursorPosition().x;
  const int left = hooks_.columnLeft ? hooks_.columnLeft() : 0;
  if (x > left && x < left + kColumnWidth) return;
  const std::string text = copiedAddress(platform_.clipboardText());
  if (!text::looksLikeAddress(text)) return;
  if (hooks_.closeAddPanel) hooks_.closeAddPanel();
  if (hooks_.resetPointer) hooks_.resetPointer();
  copies_.push_back(text);
  if (copies_.size() == 1) readTitle();
}

void ClipboardCapture::readTitle() {
  // The title is the browser's beside the window, whichever program copied.
  const platform::Point at = hooks_.pointToCapture ? hooks_.pointToCapture() : platform::Point{};
  platform::Platform* platform = &platform_;
  reader_->start([this, platform, at](const platform::CancelFlag& cancel) -> platform::Worker::Delivery {
    auto read = std::make_shared<std::string>();
    const platform::BoundedOutcome outcome = platform::runBounded(
        [platform, at, read](const platform::CancelFlag&) { *read = titleAt(*platform, at); },
        kReadBoundMs, &cancel);
    std::string title = outcome == platform::BoundedOutcome::Finished ? *read : std::string();
    return [this, title = std::move(title)] {
      if (copies_.empty()) return;
      const std::string address = copies_.front();
      copies_.pop_front();
      browser_.captureAddress(title, address);
      if (!copies_.empty()) readTitle();
    };
  });
}

}  // namespace lh::capture
