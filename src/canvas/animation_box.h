// The sprite canvas: positioned picture objects on a background, painted in
// layer order with per-pixel alpha and a transparency per object, with
// pointer events per object. Every animated surface of the program is one.
//
// The canvas owns its composed pixels. A change invalidates only the old and
// the new rectangle of the object; paint() recomposes the invalidated region
// and hands the host the rectangles it changed.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "canvas/picture.h"
#include "canvas/text_raster.h"

namespace lh::canvas {

using ObjectId = std::int32_t;

enum class Button { Left, Right };

// Key colour arguments of setPicture.
inline constexpr std::int64_t kNoKeyColour = -1;
inline constexpr std::int64_t kTopLeftKeyColour = -2;

class AnimationBox {
 public:
  // Canvas-wide handlers; each may be empty. Ordinary events come first for
  // every pointer message, then the object events.
  struct Events {
    std::function<void(Button, int x, int y)> pointerDown, pointerUp;
    std::function<void(int x, int y)> pointerMove, doubleClick;
    std::function<void(int notches, int x, int y)> wheel;

    std::function<void(ObjectId)> objectLeftDown, objectRightDown, objectRightUp, objectDoubleClick;
    std::function<void(ObjectId released, ObjectId pressed)> objectLeftUp;
    std::function<void(ObjectId, ObjectId pressed)> objectEnter, objectLeave;
    std::function<void(int x, int y, ObjectId pressed)> canvasPointerMove;
    // Returning false cancels the move.
    std::function<bool(ObjectId, int left, int top)> objectMoving;
    std::function<void(ObjectId, int left, int top)> objectMoved;
    // The pointer left the canvas (after the hovered object's leave).
    std::function<void()> pointerLeave;
    // The press held on the canvas will have no release (see cancelPress);
    // `pressed` is the object the left press was on (-1 for none, 0 when
    // only the right button was held).
    std::function<void(ObjectId pressed)> pressCancelled;
  };
  // Adds a set of canvas-wide handlers. Every set runs, in the order the sets
  // were added; a move is cancelled when any objectMoving handler refuses it.
  // The reference stays valid for the canvas's life.
  Events& listen();

  // Handlers of one object, set by whoever created it. They run after the
  // canvas-wide handlers of the same message. `click` is a left press and
  // release on the object, except the release that ends a double click.
  struct ObjectHandlers {
    std::function<void()> press, click, rightDown, rightUp, doubleClick, enter, leave;
  };
  void setObjectHandlers(ObjectId id, ObjectHandlers handlers);

  AnimationBox(int width, int height, TextRasterizer* rasterizer);

  // The control's size and background (a COLORREF, 0x00BBGGRR).
  void resize(int width, int height);
  int width() const { return width_; }
  int height() const { return height_; }
  void setBackground(std::uint32_t colourRef);

  // Objects. An id that names no object makes an operation do nothing and a
  // query return 0.
  ObjectId createObject(double left, double top, bool visible = true, std::string tagText = {});
  // -1 when the source does not exist.
  ObjectId cloneObject(ObjectId source, std::optional<double> left = {}, std::optional<double> top = {},
                       std::optional<bool> visible = {}, std::optional<std::string> tagText = {});
  void destroyObjects(const std::vector<ObjectId>& ids);
  void destroyObject(ObjectId id) { destroyObjects({id}); }
  void clear();  // removes every object; ids start again at 1

  void moveObject(ObjectId id, double left, double top);
  int getLeft(ObjectId id) const;
  int getTop(ObjectId id) const;
  int getWidth(ObjectId id) const;
  int getHeight(ObjectId id) const;

  // Decodes BMP, PNG, GIF, JPEG or ICO bytes; bytes that do not decode leave
  // the object without a picture. Key colour: kNoKeyColour, kTopLeftKeyColour
  // or a COLORREF whose pixels become fully transparent.
  void setPicture(ObjectId id, std::string_view bytes, std::int64_t keyColour = kNoKeyColour);
  // A picture the program made itself (premultiplied), shared, not copied.
  void setPicture(ObjectId id, std::shared_ptr<const Picture> picture);
  void clearPicture(ObjectId id) { setPicture(id, std::shared_ptr<const Picture>()); }
  bool hasPicture(ObjectId id) const;
  // Renders the text (lines split at "\n", a "\r" before it dropped, 2 pixels
  // between lines) in the font and colour given or kept from before.
  void setText(ObjectId id, std::string text, std::optional<FontSpec> font = {},
               std::optional<std::uint32_t> colourRef = {});
  std::string getText(ObjectId id) const;

  void setVisible(ObjectId id, bool visible = true);
  bool getVisible(ObjectId id) const;
  // The object's picture (premultiplied), or nullptr.
  std::shared_ptr<const Picture> getPicture(ObjectId id) const;
  void setLayer(ObjectId id, std::int32_t layer);
  std::int32_t getLayer(ObjectId id) const;
  void setTransparency(ObjectId id, std::int32_t percent);
  std::int32_t getTransparency(ObjectId id) const;
  void setTagNumber(ObjectId id, std::int32_t value);
  std::int32_t getTagNumber(ObjectId id) const;
  void setTagText(ObjectId id, std::string value);
  std::string getTagText(ObjectId id) const;

  bool exists(ObjectId id) const { return find(id) != nullptr; }
  // Ids in painting order (first painted first).
  std::vector<ObjectId> order() const;
  // The top-most object whose picture has a non-transparent pixel at the
  // point, visible or not; 0 for none.
  ObjectId hitTest(int x, int y) const;

  // The rectangle of the canvas (clipped to it) composed as painted, on the
  // given or the canvas's own background, as the bytes of a 32-bit BMP file.
  std::string snapshot(int left, int top, int width, int height,
                       std::optional<std::uint32_t> backgroundRef = {}) const;

  // Painting: recomposes what changed since the last paint. The pixels are
  // opaque 0xFFRRGGBB, width() * height(), row by row from the top.
  void paint();
  void invalidateAll();
  const std::vector<std::uint32_t>& pixels() const { return pixels_; }
  std::uint32_t pixel(int x, int y) const { return pixels_[static_cast<std::size_t>(y) * width_ + x]; }
  bool needsPaint() const { return !dirty_.empty(); }
  // The rectangles recomposed by paint() since the last call.
  std::vector<Rect> takePaintedRects();

  // Input from the host, in canvas coordinates.
  void pointerDown(Button b, int x, int y);
  void pointerUp(Button b, int x, int y);
  void pointerMove(int x, int y, bool leftHeld);
  // The second press of a double click: a press, then the double-click
  // events. Its release raises objectLeftUp but no object click.
  void doubleClick(int x, int y);
  void wheel(int notches, int x, int y);
  // The pointer left the canvas: the hovered object is left.
  void pointerLeave();
  // The press held on the canvas (either button) ends without a release
  // (its input was taken away): nothing is pressed any more, and the
  // handlers hear of it.
  void cancelPress();
  // True while the handlers of the release that ends a double click run.
  bool releaseEndsDoubleClick() const { return releaseEndsDouble_; }

  ObjectId pressedObject() const { return pressed_; }
  ObjectId hoverObject() const { return hover_; }

 private:
  struct Object {
    ObjectId id = 0;
    double left = 0, top = 0;
    bool visible = true;
    std::int32_t layer = 0;
    std::int32_t transparency = 0;
    std::int32_t tagNumber = 0;
    std::string tagText;
    std::shared_ptr<const Picture> picture;  // premultiplied
    // Per row of the picture: the span of pixels that are not fully
    // transparent, and whether all of them are opaque (copied, not blended).
    struct RowSpan {
      std::int32_t begin = 0, end = 0;
      bool opaque = false;
    };
    std::shared_ptr<const std::vector<RowSpan>> spans;
    std::string text;
    FontSpec font;
    std::uint32_t textColour = 0;
    std::int64_t keyColour = kNoKeyColour;
    std::shared_ptr<const ObjectHandlers> handlers;  // not copied by a clone
    Rect rect() const;
  };

  Object* find(ObjectId id) const;
  void insertByLayer(std::unique_ptr<Object> o);
  void invalidate(const Rect& r);
  void invalidateObject(const Object& o);
  void compose(const Rect& r, std::uint32_t background, std::uint32_t* out, int outStride, int outLeft,
               int outTop) const;
  void renderText(Object& o);
  static void assignPicture(Object& o, std::shared_ptr<const Picture> picture);
  ObjectId livePressed() const;
  // The object's handler `member`, copied so that the handler may destroy it.
  std::function<void()> objectHandler(ObjectId id, std::function<void()> ObjectHandlers::*member) const;
  template <typename F, typename... A>
  void raise(std::function<F> Events::*member, A... args) {
    for (std::size_t i = 0; i < listeners_.size(); ++i) {
      auto f = listeners_[i].*member;  // a handler may add listeners
      if (f) f(args...);
    }
  }

  int width_, height_;
  TextRasterizer* rasterizer_;
  std::uint32_t background_ = 0xFFF7F7F7;
  std::vector<std::unique_ptr<Object>> objects_;  // sorted by layer
  std::vector<Object*> byId_;                     // index = id; nullptr once destroyed
  ObjectId nextId_ = 1;
  ObjectId pressed_ = 0;
  bool rightHeld_ = false;  // a right press waits for its release
  ObjectId hover_ = 0;
  bool doublePress_ = false, releaseEndsDouble_ = false;
  std::deque<Events> listeners_;
  std::vector<std::uint32_t> pixels_;
  std::vector<Rect> dirty_;
  std::vector<Rect> painted_;
};

}  // namespace lh::canvas
