#include "canvas/animation_box.h"

#include <cmath>

#include "canvas/bmp_encode.h"
#include "canvas/decode.h"

namespace lh::canvas {

namespace {

int trunc(double v) {
  if (!(v > -2147483648.0 && v < 2147483647.0)) return v > 0 ? 2147483647 : (v < 0 ? -2147483647 : 0);
  return static_cast<int>(v);  // toward zero
}

// p * k / 256 on all four channels at once, k in 0..256.
inline std::uint32_t scale(std::uint32_t p, unsigned k) {
  const std::uint32_t rb = (((p & 0x00FF00FFu) * k) >> 8) & 0x00FF00FFu;
  const std::uint32_t ag = (((p >> 8) & 0x00FF00FFu) * k) & 0xFF00FF00u;
  return rb | ag;
}

// Premultiplied `s` over opaque `d`.
inline std::uint32_t over(std::uint32_t s, std::uint32_t d) {
  const unsigned sa = s >> 24;
  return s + scale(d, 256 - sa - (sa >> 7));
}

// Blends one row of an object's picture onto the composed row.
void blendRow(const std::uint32_t* src, std::uint32_t* dst, int n, unsigned factor) {
  if (factor == 256) {
    for (int i = 0; i < n; ++i) {
      const std::uint32_t s = src[i];
      const unsigned a = s >> 24;
      if (a == 255) {
        dst[i] = s;
      } else if (a != 0) {
        dst[i] = over(s, dst[i]) | 0xFF000000u;
      }
    }
  } else {
    for (int i = 0; i < n; ++i) {
      const std::uint32_t s = src[i];
      if ((s >> 24) == 0) continue;
      dst[i] = over(scale(s, factor), dst[i]) | 0xFF000000u;
    }
  }
}

}  // namespace

void AnimationBox::assignPicture(Object& o, std::shared_ptr<const Picture> picture) {
  o.spans.reset();
  o.picture = picture && !picture->empty() ? std::move(picture) : nullptr;
  if (!o.picture) return;
  const Picture& p = *o.picture;
  auto spans = std::make_shared<std::vector<Object::RowSpan>>(static_cast<std::size_t>(p.height));
  for (int y = 0; y < p.height; ++y) {
    const std::uint32_t* row = &p.pixels[static_cast<std::size_t>(y) * p.width];
    int b = 0, e = p.width;
    while (b < e && (row[b] >> 24) == 0) ++b;
    while (e > b && (row[e - 1] >> 24) == 0) --e;
    bool opaque = true;
    for (int x = b; x < e && opaque; ++x) opaque = (row[x] >> 24) == 255;
    (*spans)[static_cast<std::size_t>(y)] = {b, e, opaque};
  }
  o.spans = std::move(spans);
}

Rect AnimationBox::Object::rect() const {
  if (!picture || picture->empty()) return {};
  const int l = trunc(left), t = trunc(top);
  return {l, t, l + picture->width, t + picture->height};
}

AnimationBox::AnimationBox(int width, int height, TextRasterizer* rasterizer)
    : width_(std::max(0, width)), height_(std::max(0, height)), rasterizer_(rasterizer) {
  byId_.push_back(nullptr);  // id 0 names nothing
  pixels_.assign(static_cast<std::size_t>(width_) * height_, background_);
  invalidateAll();
}

void AnimationBox::resize(int width, int height) {
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  pixels_.assign(static_cast<std::size_t>(width_) * height_, background_);
  dirty_.clear();
  invalidateAll();
}

void AnimationBox::setBackground(std::uint32_t colourRef) {
  background_ = colourRefToArgb(colourRef);
  invalidateAll();
}

AnimationBox::Object* AnimationBox::find(ObjectId id) const {
  if (id <= 0 || static_cast<std::size_t>(id) >= byId_.size()) return nullptr;
  return byId_[static_cast<std::size_t>(id)];
}

void AnimationBox::insertByLayer(std::unique_ptr<Object> o) {
  // Before the first object of a higher layer: after all of the same layer.
  auto it = objects_.begin();
  while (it != objects_.end() && (*it)->layer <= o->layer) ++it;
  objects_.insert(it, std::move(o));
}

ObjectId AnimationBox::createObject(double left, double top, bool visible, std::string tagText) {
  auto o = std::make_unique<Object>();
  o->id = nextId_++;
  o->left = left;
  o->top = top;
  o->visible = visible;
  o->tagText = std::move(tagText);
  byId_.push_back(o.get());
  const ObjectId id = o->id;
  insertByLayer(std::move(o));
  return id;
}

ObjectId AnimationBox::cloneObject(ObjectId source, std::optional<double> left, std::optional<double> top,
                                   std::optional<bool> visible, std::optional<std::string> tagText) {
  const Object* src = find(source);
  if (!src) return -1;
  auto o = std::make_unique<Object>(*src);
  o->id = nextId_++;
  o->handlers.reset();  // whoever makes the clone gives it handlers of its own
  if (left) o->left = *left;
  if (top) o->top = *top;
  if (visible) o->visible = *visible;
  if (tagText) o->tagText = std::move(*tagText);
  byId_.push_back(o.get());
  const ObjectId id = o->id;
  invalidateObject(*o);
  insertByLayer(std::move(o));
  return id;
}

void AnimationBox::destroyObjects(const std::vector<ObjectId>& ids) {
  for (ObjectId id : ids) {
    Object* o = find(id);
    if (!o) continue;
    invalidateObject(*o);
    byId_[static_cast<std::size_t>(id)] = nullptr;
    for (auto it = objects_.begin(); it != objects_.end(); ++it) {
      if (it->get() == o) {
        objects_.erase(it);
        break;
      }
    }
  }
}

void AnimationBox::clear() {
  objects_.clear();
  byId_.assign(1, nullptr);
  nextId_ = 1;
  pressed_ = 0;
  hover_ = 0;
  invalidateAll();
}

void AnimationBox::moveObject(ObjectId id, double left, double top) {
  Object* o = find(id);
  if (!o) return;
  const int l = trunc(left), t = trunc(top);
  if (l == trunc(o->left) && t == trunc(o->top)) {
    o->left = left;
    o->top = top;
    return;
  }
  for (std::size_t i = 0; i < listeners_.size(); ++i) {
    auto moving = listeners_[i].objectMoving;
    if (moving && !moving(id, l, t)) return;
  }
  o = find(id);  // the handler may have destroyed it
  if (!o) return;
  invalidateObject(*o);
  o->left = left;
  o->top = top;
  invalidateObject(*o);
  raise(&Events::objectMoved, id, l, t);
}

int AnimationBox::getLeft(ObjectId id) const {
  const Object* o = find(id);
  return o ? trunc(o->left) : 0;
}
int AnimationBox::getTop(ObjectId id) const {
  const Object* o = find(id);
  return o ? trunc(o->top) : 0;
}
int AnimationBox::getWidth(ObjectId id) const {
  const Object* o = find(id);
  return o && o->picture ? o->picture->width : 0;
}
int AnimationBox::getHeight(ObjectId id) const {
  const Object* o = find(id);
  return o && o->picture ? o->picture->height : 0;
}

void AnimationBox::setPicture(ObjectId id, std::string_view bytes, std::int64_t keyColour) {
  Object* o = find(id);
  if (!o) return;
  invalidateObject(*o);
  assignPicture(*o, nullptr);
  o->keyColour = keyColour;
  Picture p = decodePicture(bytes, Alpha::Straight);
  if (p.empty()) return;
  if (keyColour != kNoKeyColour) {
    const std::uint32_t key = keyColour == kTopLeftKeyColour ? (p.pixels[0] & 0xFFFFFFu)
                                                             : (colourRefToArgb(static_cast<std::uint32_t>(keyColour)) & 0xFFFFFFu);
    for (std::uint32_t& px : p.pixels) {
      if ((px & 0xFFFFFFu) == key) px = 0;
    }
  }
  premultiply(p);
  assignPicture(*o, std::make_shared<const Picture>(std::move(p)));
  invalidateObject(*o);
}

void AnimationBox::setPicture(ObjectId id, std::shared_ptr<const Picture> picture) {
  Object* o = find(id);
  if (!o) return;
  invalidateObject(*o);
  assignPicture(*o, std::move(picture));
  o->keyColour = kNoKeyColour;
  invalidateObject(*o);
}

bool AnimationBox::hasPicture(ObjectId id) const {
  const Object* o = find(id);
  return o && o->picture;
}

void AnimationBox::renderText(Object& o) {
  assignPicture(o, nullptr);
  if (o.text.empty() || !rasterizer_) return;
  std::vector<TextMask> lines;
  std::size_t start = 0;
  for (;;) {
    std::size_t nl = o.text.find('\n', start);
    std::string_view line(o.text.data() + start, (nl == std::string::npos ? o.text.size() : nl) - start);
    if (!line.empty() && line.back() == '\r' && nl != std::string::npos) line.remove_suffix(1);
    lines.push_back(rasterizer_->renderLine(o.font, line));
    if (nl == std::string::npos) break;
    start = nl + 1;
  }
  auto p = std::make_shared<Picture>();
  p->alpha = Alpha::Premultiplied;
  for (const TextMask& m : lines) {
    p->width = std::max(p->width, m.width);
    p->height += m.height;
  }
  p->height += 2 * static_cast<int>(lines.size() - 1);
  if (p->width <= 0 || p->height <= 0 || p->width > kMaxPictureSide * 4 || p->height > kMaxPictureSide * 4) return;
  p->pixels.assign(static_cast<std::size_t>(p->width) * p->height, 0);
  const std::uint32_t colour = colourRefToArgb(o.textColour);
  int y0 = 0;
  for (const TextMask& m : lines) {
    for (int y = 0; y < m.height; ++y) {
      for (int x = 0; x < m.width; ++x) {
        const unsigned c = m.coverage[static_cast<std::size_t>(y) * m.width + x];
        if (c) p->at(x, y0 + y) = scale(colour, c + (c >> 7));
      }
    }
    y0 += m.height + 2;
  }
  assignPicture(o, std::move(p));
}

void AnimationBox::setText(ObjectId id, std::string text, std::optional<FontSpec> font,
                           std::optional<std::uint32_t> colourRef) {
  Object* o = find(id);
  if (!o) return;
  invalidateObject(*o);
  o->text = std::move(text);
  if (font) o->font = *font;
  if (colourRef) o->textColour = *colourRef;
  o->keyColour = kNoKeyColour;
  renderText(*o);
  invalidateObject(*o);
}

std::string AnimationBox::getText(ObjectId id) const {
  const Object* o = find(id);
  return o ? o->text : std::string();
}

void AnimationBox::setVisible(ObjectId id, bool visible) {
  Object* o = find(id);
  if (!o || o->visible == visible) return;
  o->visible = visible;
  invalidate(o->rect());
}
std::shared_ptr<const Picture> AnimationBox::getPicture(ObjectId id) const {
  const Object* o = find(id);
  return o ? o->picture : nullptr;
}

bool AnimationBox::getVisible(ObjectId id) const {
  const Object* o = find(id);
  return o && o->visible;
}

void AnimationBox::setLayer(ObjectId id, std::int32_t layer) {
  Object* o = find(id);
  if (!o || o->layer == layer) return;
  for (auto it = objects_.begin(); it != objects_.end(); ++it) {
    if (it->get() == o) {
      std::unique_ptr<Object> owned = std::move(*it);
      objects_.erase(it);
      owned->layer = layer;
      insertByLayer(std::move(owned));
      break;
    }
  }
  invalidateObject(*o);
}
std::int32_t AnimationBox::getLayer(ObjectId id) const {
  const Object* o = find(id);
  return o ? o->layer : 0;
}

void AnimationBox::setTransparency(ObjectId id, std::int32_t percent) {
  Object* o = find(id);
  if (!o) return;
  percent = std::clamp(percent, 0, 100);
  if (o->transparency == percent) return;
  o->transparency = percent;
  invalidateObject(*o);
}
std::int32_t AnimationBox::getTransparency(ObjectId id) const {
  const Object* o = find(id);
  return o ? o->transparency : 0;
}

void AnimationBox::setTagNumber(ObjectId id, std::int32_t value) {
  if (Object* o = find(id)) o->tagNumber = value;
}
std::int32_t AnimationBox::getTagNumber(ObjectId id) const {
  const Object* o = find(id);
  return o ? o->tagNumber : 0;
}
void AnimationBox::setTagText(ObjectId id, std::string value) {
  if (Object* o = find(id)) o->tagText = std::move(value);
}
std::string AnimationBox::getTagText(ObjectId id) const {
  const Object* o = find(id);
  return o ? o->tagText : std::string();
}

std::vector<ObjectId> AnimationBox::order() const {
  std::vector<ObjectId> ids;
  ids.reserve(objects_.size());
  for (const auto& o : objects_) ids.push_back(o->id);
  return ids;
}

ObjectId AnimationBox::hitTest(int x, int y) const {
  for (auto it = objects_.rbegin(); it != objects_.rend(); ++it) {
    const Object& o = **it;
    const Rect r = o.rect();
    if (!r.contains(x, y)) continue;
    if (alphaOf(o.picture->at(x - r.left, y - r.top)) != 0) return o.id;
  }
  return 0;
}

// ------------------------------------------------------------- painting

void AnimationBox::invalidate(const Rect& in) {
  Rect r = in.intersect({0, 0, width_, height_});
  if (r.empty()) return;
  // Merge with every rectangle it overlaps or touches, until none is left.
  for (std::size_t i = 0; i < dirty_.size();) {
    const Rect& d = dirty_[i];
    const bool touches = r.left <= d.right && d.left <= r.right && r.top <= d.bottom && d.top <= r.bottom;
    if (touches) {
      r = r.unite(d);
      dirty_[i] = dirty_.back();
      dirty_.pop_back();
      i = 0;
      continue;
    }
    ++i;
  }
  dirty_.push_back(r);
  if (dirty_.size() > 32) {
    Rect all;
    for (const Rect& d : dirty_) all = all.unite(d);
    dirty_.assign(1, all);
  }
}

void AnimationBox::invalidateObject(const Object& o) {
  if (o.visible) invalidate(o.rect());
}

void AnimationBox::invalidateAll() {
  dirty_.clear();
  invalidate({0, 0, width_, height_});
}

void AnimationBox::compose(const Rect& r, std::uint32_t background, std::uint32_t* out, int outStride,
                           int outLeft, int outTop) const {
  for (int y = r.top; y < r.bottom; ++y) {
    std::uint32_t* row = out + static_cast<std::ptrdiff_t>(y - outTop) * outStride + (r.left - outLeft);
    std::fill(row, row + r.width(), background);
  }
  for (const auto& op : objects_) {
    const Object& o = *op;
    if (!o.visible || !o.picture || o.transparency >= 100) continue;
    const Rect orect = o.rect();
    const Rect c = orect.intersect(r);
    if (c.empty()) continue;
    const unsigned f = static_cast<unsigned>(100 - o.transparency) * 256 / 100;
    const Picture& pic = *o.picture;
    for (int y = c.top; y < c.bottom; ++y) {
      const Object::RowSpan& span = (*o.spans)[static_cast<std::size_t>(y - orect.top)];
      const int x0 = std::max(c.left, orect.left + span.begin);
      const int x1 = std::min(c.right, orect.left + span.end);
      if (x0 >= x1) continue;
      const std::uint32_t* src = &pic.pixels[static_cast<std::size_t>(y - orect.top) * pic.width + (x0 - orect.left)];
      std::uint32_t* dst = out + static_cast<std::ptrdiff_t>(y - outTop) * outStride + (x0 - outLeft);
      if (span.opaque && f == 256) {
        std::copy(src, src + (x1 - x0), dst);
      } else {
        blendRow(src, dst, x1 - x0, f);
      }
    }
  }
}

void AnimationBox::paint() {
  for (const Rect& r : dirty_) {
    compose(r, background_, pixels_.data(), width_, 0, 0);
    painted_.push_back(r);
  }
  dirty_.clear();
}

std::vector<Rect> AnimationBox::takePaintedRects() {
  std::vector<Rect> out;
  out.swap(painted_);
  return out;
}

std::string AnimationBox::snapshot(int left, int top, int width, int height,
                                   std::optional<std::uint32_t> backgroundRef) const {
  const Rect r = Rect{left, top, left + std::max(0, width), top + std::max(0, height)}.intersect({0, 0, width_, height_});
  Picture p;
  if (!r.empty()) {
    p.width = r.width();
    p.height = r.height();
    p.pixels.resize(static_cast<std::size_t>(p.width) * p.height);
    compose(r, backgroundRef ? colourRefToArgb(*backgroundRef) : background_, p.pixels.data(), p.width, r.left,
            r.top);
  }
  return encodeBmp32(p);
}

// ---------------------------------------------------------------- input

ObjectId AnimationBox::livePressed() const {
  if (pressed_ > 0 && !find(pressed_)) return -1;
  return pressed_;
}

AnimationBox::Events& AnimationBox::listen() { return listeners_.emplace_back(); }

void AnimationBox::setObjectHandlers(ObjectId id, ObjectHandlers handlers) {
  if (Object* o = find(id)) o->handlers = std::make_shared<const ObjectHandlers>(std::move(handlers));
}

std::function<void()> AnimationBox::objectHandler(ObjectId id, std::function<void()> ObjectHandlers::*member) const {
  const Object* o = id > 0 ? find(id) : nullptr;
  if (!o || !o->handlers) return {};
  return (*o->handlers).*member;
}

void AnimationBox::pointerDown(Button b, int x, int y) {
  raise(&Events::pointerDown, b, x, y);
  const ObjectId hit = hitTest(x, y);
  if (b == Button::Left) {
    doublePress_ = false;
    pressed_ = hit > 0 ? hit : -1;
    raise(&Events::objectLeftDown, hit);
    if (auto f = objectHandler(hit, &ObjectHandlers::press)) f();
  } else {
    rightHeld_ = true;
    raise(&Events::objectRightDown, hit);
    if (auto f = objectHandler(hit, &ObjectHandlers::rightDown)) f();
  }
}

void AnimationBox::pointerUp(Button b, int x, int y) {
  if (b == Button::Left) {
    releaseEndsDouble_ = doublePress_;
    doublePress_ = false;
  }
  raise(&Events::pointerUp, b, x, y);
  if (b == Button::Left) {
    pressed_ = livePressed();
    const ObjectId hit = hitTest(x, y);
    const ObjectId pressed = pressed_;
    raise(&Events::objectLeftUp, hit, pressed);
    pressed_ = 0;
    if (hit > 0 && hit == pressed && !releaseEndsDouble_) {
      if (auto f = objectHandler(hit, &ObjectHandlers::click)) f();
    }
    releaseEndsDouble_ = false;
  } else {
    rightHeld_ = false;
    const ObjectId hit = hitTest(x, y);
    raise(&Events::objectRightUp, hit);
    if (auto f = objectHandler(hit, &ObjectHandlers::rightUp)) f();
  }
}

void AnimationBox::doubleClick(int x, int y) {
  doublePress_ = true;
  raise(&Events::doubleClick, x, y);
  const ObjectId hit = hitTest(x, y);
  raise(&Events::objectDoubleClick, hit);
  if (auto f = objectHandler(hit, &ObjectHandlers::doubleClick)) f();
}

void AnimationBox::wheel(int notches, int x, int y) { raise(&Events::wheel, notches, x, y); }

void AnimationBox::pointerMove(int x, int y, bool leftHeld) {
  raise(&Events::pointerMove, x, y);
  pressed_ = leftHeld ? livePressed() : 0;
  if (hover_ > 0 && !find(hover_)) hover_ = 0;
  const ObjectId hit = hitTest(x, y);
  if (hover_ > 0 && hover_ != hit) {
    const ObjectId left = hover_;
    hover_ = 0;
    raise(&Events::objectLeave, left, pressed_);
    if (auto f = objectHandler(left, &ObjectHandlers::leave)) f();
  }
  if (hit > 0 && hit != hover_) {
    hover_ = hit;
    raise(&Events::objectEnter, hit, pressed_);
    if (auto f = objectHandler(hit, &ObjectHandlers::enter)) f();
  }
  raise(&Events::canvasPointerMove, x, y, pressed_);
}

void AnimationBox::cancelPress() {
  const ObjectId pressed = livePressed();
  const bool right = rightHeld_;
  rightHeld_ = false;
  if (pressed == 0 && !right) return;
  pressed_ = 0;
  doublePress_ = false;
  raise(&Events::pressCancelled, pressed);
}

void AnimationBox::pointerLeave() {
  if (hover_ > 0 && !find(hover_)) hover_ = 0;
  if (hover_ > 0) {
    const ObjectId left = hover_;
    hover_ = 0;
    raise(&Events::objectLeave, left, pressed_);
    if (auto f = objectHandler(left, &ObjectHandlers::leave)) f();
  }
  raise(&Events::pointerLeave);
}

}  // namespace lh::canvas
