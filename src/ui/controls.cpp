#include "ui/controls.h"

#include <algorithm>

namespace lh::ui {

void fillRect(std::uint32_t colour, std::uint32_t* pixels, int stride, const Rect& r) {
  for (int y = r.top; y < r.bottom; ++y) std::fill(pixels + y * stride + r.left, pixels + y * stride + r.right, colour);
}

void blendPicture(const canvas::Picture& p, int x0, int y0, std::uint32_t* pixels, int stride, const Rect& clip) {
  const Rect c = Rect{x0, y0, x0 + p.width, y0 + p.height}.intersect(clip);
  for (int y = c.top; y < c.bottom; ++y) {
    for (int x = c.left; x < c.right; ++x) {
      const std::uint32_t s = p.at(x - x0, y - y0);
      const unsigned a = canvas::alphaOf(s);
      if (a == 0) continue;
      std::uint32_t& d = pixels[y * stride + x];
      if (a == 255) {
        d = s;
        continue;
      }
      const unsigned k = 255 - a;
      d = canvas::argb(255, canvas::redOf(s) + canvas::div255(canvas::redOf(d) * k),
                       canvas::greenOf(s) + canvas::div255(canvas::greenOf(d) * k),
                       canvas::blueOf(s) + canvas::div255(canvas::blueOf(d) * k));
    }
  }
}

// ------------------------------------------------------------ CanvasControl

CanvasControl::CanvasControl(std::string name, canvas::TextRasterizer& raster, int width, int height)
    : Control(std::move(name)), box_(width, height, &raster) {
  setBounds(0, 0, width, height);
}

void CanvasControl::boundsChanged() {
  if (box_.width() != width() || box_.height() != height()) box_.resize(width(), height());
}

void CanvasControl::buttonDown(MouseButton b, int x, int y) {
  Control::buttonDown(b, x, y);
  box_.pointerDown(b == MouseButton::Left ? canvas::Button::Left : canvas::Button::Right, x, y);
}
void CanvasControl::buttonUp(MouseButton b, int x, int y) {
  Control::buttonUp(b, x, y);
  box_.pointerUp(b == MouseButton::Left ? canvas::Button::Left : canvas::Button::Right, x, y);
}
void CanvasControl::doubleClick(int x, int y) {
  Control::doubleClick(x, y);
  box_.doubleClick(x, y);
}
void CanvasControl::pointerMove(int x, int y, bool leftHeld) {
  Control::pointerMove(x, y, leftHeld);
  box_.pointerMove(x, y, leftHeld);
}
void CanvasControl::wheel(int notches, int x, int y) {
  Control::wheel(notches, x, y);
  box_.wheel(notches, x, y);
}

void CanvasControl::pointerLeave() {
  Control::pointerLeave();
  box_.pointerLeave();
}

void CanvasControl::pressCancelled() {
  Control::pressCancelled();
  box_.cancelPress();
}

void CanvasControl::update() {
  box_.paint();
  for (const Rect& r : box_.takePaintedRects()) invalidate(r);
}

void CanvasControl::paint(std::uint32_t* pixels, int stride, const Rect& clip) {
  const Rect me = windowRect();
  // The box may be smaller than the control for a moment (a list height
  // set before the control's): paint only what it has.
  const Rect c = me.intersect(clip).intersect({me.left, me.top, me.left + box_.width(), me.top + box_.height()});
  const auto& src = box_.pixels();
  for (int y = c.top; y < c.bottom; ++y) {
    const std::uint32_t* s = &src[static_cast<std::size_t>(y - me.top) * box_.width() + (c.left - me.left)];
    std::copy(s, s + c.width(), pixels + y * stride + c.left);
  }
}

// ------------------------------------------------------------ Label

Label::Label(std::string name, canvas::TextRasterizer& raster, std::string caption)
    : Control(std::move(name)), raster_(raster), caption_(std::move(caption)) {
  render();
}

void Label::setCaption(std::string caption) {
  if (caption == caption_) return;
  caption_ = std::move(caption);
  render();
}
void Label::setFont(const canvas::FontSpec& f) {
  font_ = f;
  render();
}
void Label::setColour(std::uint32_t colourRef) {
  colour_ = colourRef;
  render();
}
void Label::setBackground(std::optional<std::uint32_t> colourRef) {
  background_ = colourRef;
  invalidate();
}

void Label::render() {
  // Lines at "\n", stacked 2 pixels apart, like canvas text.
  rendered_ = canvas::Picture{};
  rendered_.alpha = canvas::Alpha::Premultiplied;
  std::vector<canvas::TextMask> lines;
  std::size_t start = 0;
  for (;;) {
    const std::size_t nl = caption_.find('\n', start);
    std::string_view line(caption_.data() + start, (nl == std::string::npos ? caption_.size() : nl) - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(raster_.renderLine(font_, line));
    if (nl == std::string::npos) break;
    start = nl + 1;
  }
  for (const auto& m : lines) {
    rendered_.width = std::max(rendered_.width, m.width);
    rendered_.height += m.height + 2;
  }
  rendered_.height -= 2;
  if (rendered_.width > 0 && rendered_.height > 0) {
    rendered_.pixels.assign(static_cast<std::size_t>(rendered_.width) * rendered_.height, 0);
    int y0 = 0;
    const std::uint32_t c = canvas::colourRefToArgb(colour_);
    for (const auto& m : lines) {
      for (int y = 0; y < m.height; ++y) {
        for (int x = 0; x < m.width; ++x) {
          const unsigned a = m.coverage[static_cast<std::size_t>(y) * m.width + x];
          if (a) {
            rendered_.at(x, y0 + y) = canvas::argb(a, canvas::div255(canvas::redOf(c) * a),
                                                   canvas::div255(canvas::greenOf(c) * a),
                                                   canvas::div255(canvas::blueOf(c) * a));
          }
        }
      }
      y0 += m.height + 2;
    }
  } else {
    rendered_ = canvas::Picture{};
  }
  invalidate();
}

void Label::paint(std::uint32_t* pixels, int stride, const Rect& clip) {
  const Rect me = windowRect();
  if (background_) fillRect(canvas::colourRefToArgb(*background_), pixels, stride, me.intersect(clip));
  if (!rendered_.empty()) blendPicture(rendered_, me.left, me.top, pixels, stride, me.intersect(clip));
}

void Label::buttonUp(MouseButton b, int x, int y) {
  Control::buttonUp(b, x, y);
  if (b == MouseButton::Left && x >= 0 && y >= 0 && x < width() && y < height() && onClick) onClick();
}

// ------------------------------------------------------------ PictureBox

void PictureBox::setPicture(std::shared_ptr<const canvas::Picture> premultiplied) {
  picture_ = std::move(premultiplied);
  invalidate();
}

void PictureBox::setBackground(std::optional<std::uint32_t> colourRef) {
  background_ = colourRef;
  invalidate();
}

void PictureBox::paint(std::uint32_t* pixels, int stride, const Rect& clip) {
  const Rect me = windowRect();
  const Rect c = me.intersect(clip);
  if (background_) fillRect(canvas::colourRefToArgb(*background_), pixels, stride, c);
  if (picture_) blendPicture(*picture_, me.left, me.top, pixels, stride, c);
}

// ------------------------------------------------------------ ImageButton

void ImageButton::setPictures(std::shared_ptr<const canvas::Picture> normal, std::shared_ptr<const canvas::Picture> hover) {
  normal_ = std::move(normal);
  hover_ = std::move(hover);
  setPicture(hovering_ && hover_ ? hover_ : normal_);
}

void ImageButton::pointerMove(int x, int y, bool leftHeld) {
  Control::pointerMove(x, y, leftHeld);
  if (!hovering_) {
    hovering_ = true;
    if (hover_) setPicture(hover_);
  }
}

void ImageButton::pointerLeave() {
  Control::pointerLeave();
  hovering_ = false;
  setPicture(normal_);
}

void ImageButton::buttonUp(MouseButton b, int x, int y) {
  Control::buttonUp(b, x, y);
  if (b == MouseButton::Left && x >= 0 && y >= 0 && x < width() && y < height() && onClick) onClick();
}

// ------------------------------------------------------------ EditControl

EditControl::EditControl(std::string name, platform::HostWindow& host, const platform::EditOptions& options)
    : Control(std::move(name)), edit_(host.createEditBox(options)) {
  setBounds(options.bounds.left, options.bounds.top, options.bounds.width, options.bounds.height);
}

void EditControl::update() {
  // Placed in window coordinates; hidden with any hidden ancestor.
  const Rect r = windowRect();
  if (!(r == placed_)) {
    placed_ = r;
    edit_->setBounds({r.left, r.top, r.width(), r.height()});
  }
  const bool show = shown();
  if (show != shownNative_) {
    shownNative_ = show;
    edit_->setVisible(show);
  }
}

// ------------------------------------------------------------ TabControl

TabControl::TabControl(std::string name, std::vector<std::string> captions)
    : Control(std::move(name)), captions_(std::move(captions)) {
  for (std::size_t i = 0; i < captions_.size(); ++i) {
    Control& p = add<PictureBox>(this->name() + ".page" + std::to_string(i));
    p.setVisible(i == 0);
  }
}

void TabControl::select(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= children().size()) return;
  selected_ = index;
  for (std::size_t i = 0; i < children().size(); ++i) children()[i]->setVisible(static_cast<int>(i) == index);
  invalidate();
}

void TabControl::boundsChanged() {
  for (auto& p : children()) p->setBounds(0, 0, width(), height());
}

void TabControl::paint(std::uint32_t* pixels, int stride, const Rect& clip) {
  // The pages cover the control; their background is the window's.
  fillRect(canvas::colourRefToArgb(0xF7F7F7), pixels, stride, windowRect().intersect(clip));
}

}  // namespace lh::ui
