// The small portable controls: a canvas host, labels, picture boxes, image
// buttons and the tab control.
#pragma once

#include "canvas/animation_box.h"
#include "canvas/text_raster.h"
#include "ui/window.h"

namespace lh::ui {

// Hosts an AnimationBox: feeds it the control's input and shows its pixels.
class CanvasControl : public Control {
 public:
  CanvasControl(std::string name, canvas::TextRasterizer& raster, int width, int height);
  canvas::AnimationBox& box() { return box_; }

  void buttonDown(MouseButton b, int x, int y) override;
  void buttonUp(MouseButton b, int x, int y) override;
  void doubleClick(int x, int y) override;
  void pointerMove(int x, int y, bool leftHeld) override;
  void wheel(int notches, int x, int y) override;
  void pointerLeave() override;
  void pressCancelled() override;
  void update() override;
  void paint(std::uint32_t* pixels, int stride, const Rect& clip) override;

 protected:
  void boundsChanged() override;

 private:
  canvas::AnimationBox box_;
};

// Text on a transparent or coloured background; clickable.
class Label : public Control {
 public:
  Label(std::string name, canvas::TextRasterizer& raster, std::string caption = {});
  const std::string& caption() const { return caption_; }
  void setCaption(std::string caption);
  void setFont(const canvas::FontSpec& f);
  void setColour(std::uint32_t colourRef);
  // A background colour (COLORREF), or none for a transparent label.
  void setBackground(std::optional<std::uint32_t> colourRef);
  void paint(std::uint32_t* pixels, int stride, const Rect& clip) override;

  std::function<void()> onClick;  // left button released over the label
  void buttonUp(MouseButton b, int x, int y) override;

 private:
  void render();
  canvas::TextRasterizer& raster_;
  std::string caption_;
  canvas::FontSpec font_;
  std::uint32_t colour_ = 0x000000;
  std::optional<std::uint32_t> background_;
  canvas::Picture rendered_;  // premultiplied
};

// A picture (drawn at its top-left, clipped) over an optional colour; it may
// hold other controls. Clicks on transparent parts still belong to it.
class PictureBox : public Control {
 public:
  explicit PictureBox(std::string name) : Control(std::move(name)) {}
  void setPicture(std::shared_ptr<const canvas::Picture> premultiplied);
  const std::shared_ptr<const canvas::Picture>& picture() const { return picture_; }
  void setBackground(std::optional<std::uint32_t> colourRef);
  void paint(std::uint32_t* pixels, int stride, const Rect& clip) override;
  std::string tagText;  // the program's mode marker on some panels

 private:
  std::shared_ptr<const canvas::Picture> picture_;
  std::optional<std::uint32_t> background_;
};

// Overlay pages: only the selected page (a child control) is shown.
class TabControl : public Control {
 public:
  TabControl(std::string name, std::vector<std::string> captions);
  const std::vector<std::string>& captions() const { return captions_; }
  // The page of that index (created with the control, sized to it).
  Control& page(int index) { return *children()[static_cast<std::size_t>(index)]; }
  int selected() const { return selected_; }
  void select(int index);
  void paint(std::uint32_t* pixels, int stride, const Rect& clip) override;

 protected:
  void boundsChanged() override;

 private:
  std::vector<std::string> captions_;
  int selected_ = 0;
};

// A picture that changes while the pointer is over it and runs onClick when
// the left button is released over it.
class ImageButton : public PictureBox {
 public:
  explicit ImageButton(std::string name) : PictureBox(std::move(name)) {}
  void setPictures(std::shared_ptr<const canvas::Picture> normal, std::shared_ptr<const canvas::Picture> hover);
  std::function<void()> onClick;
  void pointerMove(int x, int y, bool leftHeld) override;
  void pointerLeave() override;
  void buttonUp(MouseButton b, int x, int y) override;

 private:
  std::shared_ptr<const canvas::Picture> normal_, hover_;
  bool hovering_ = false;
};

// A native edit box placed like a control: it follows the control's
// position and visibility (in window coordinates) and forwards its events.
class EditControl : public Control {
 public:
  EditControl(std::string name, platform::HostWindow& host, const platform::EditOptions& options);
  platform::EditBox& edit() { return *edit_; }
  std::string text() const { return edit_->text(); }
  void setText(const std::string& t) { edit_->setText(t); }
  void update() override;

 private:
  std::unique_ptr<platform::EditBox> edit_;
  bool shownNative_ = true;
  Rect placed_;
};

// Blends a premultiplied picture placed at (x0, y0) in window coordinates
// onto the window pixels, within `clip`.
void blendPicture(const canvas::Picture& p, int x0, int y0, std::uint32_t* pixels, int stride, const Rect& clip);
void fillRect(std::uint32_t colour, std::uint32_t* pixels, int stride, const Rect& r);

}  // namespace lh::ui
