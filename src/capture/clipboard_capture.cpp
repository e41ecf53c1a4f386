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
  std::shared_ptr<platform::ForeignWindows> windows = platform_.foreignWindows();
  reader_->start([this, windows, at](const platform::CancelFlag& cancel) -> platform::Worker::Delivery {
    auto read = std::make_shared<std::string>();
    std::shared_ptr<ReadPlaces::Place> place = places_.take();
    const bool placed = place != nullptr;
    const platform::BoundedOutcome outcome =
        placed ? platform::runBounded(
                     [windows, at, read, place = std::move(place)](const platform::CancelFlag&) mutable {
                       *read = titleAt(*windows, at);
                       place.reset();  // free before the caller hears of the end
                     },
                     kReadBoundMs, &cancel)
               : platform::BoundedOutcome::Refused;
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
