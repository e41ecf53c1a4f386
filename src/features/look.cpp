#include "features/look.h"

#include "canvas/decode.h"

namespace lh::features {

namespace {

canvas::FontSpec font(int size, bool bold) {
  canvas::FontSpec f;
  f.size = size;
  f.bold = bold;
  f.face = "新宋体";
  return f;
}

}  // namespace

canvas::FontSpec fontA() { return font(11, false); }
canvas::FontSpec fontB() { return font(9, false); }
canvas::FontSpec fontC() { return font(9, true); }

std::shared_ptr<const canvas::Picture> Pictures::operator()(Resource r) {
  auto& cached = cache_[r];
  if (!cached) {
    cached = std::make_shared<const canvas::Picture>(
        canvas::decodePicture(resources::bytes(r), canvas::Alpha::Premultiplied));
  }
  return cached;
}

ui::Label& addLabel(ui::Control& parent, const char* name, std::string caption, std::uint32_t colour,
                    const platform::Bounds& b, canvas::TextRasterizer& raster) {
  auto& l = parent.add<ui::Label>(name, raster, std::move(caption));
  l.setFont(fontB());
  l.setColour(colour);
  l.setBounds(b.left, b.top, b.width, b.height);
  return l;
}

canvas::ObjectId addHeaderButton(canvas::AnimationBox& header, Pictures& pictures, int x, int y, Resource hover,
                                 std::function<void()> click) {
  const canvas::ObjectId b = header.createObject(x, y);
  auto normalPicture = pictures(Resource::ButtonHitArea), hoverPicture = pictures(hover);
  header.setPicture(b, normalPicture);
  header.setLayer(b, 8);
  header.setObjectHandlers(b, {.click = std::move(click),
                               .enter = [&header, b, hoverPicture] { header.setPicture(b, hoverPicture); },
                               .leave = [&header, b, normalPicture] { header.setPicture(b, normalPicture); }});
  return b;
}

list::ListLook listLook(Pictures& pictures) {
  list::ListLook look;
  look.cardMiddle = pictures(Resource::CardMiddle);
  look.cardBottom = pictures(Resource::CardBottom);
  look.cardTop = pictures(Resource::CardTop);
  look.categoryIcon = pictures(Resource::CategoryIcon);
  look.defaultSiteIcon = pictures(Resource::DefaultSiteIcon);
  look.hoverBand = pictures(Resource::HoverBand);
  look.separatorBand = pictures(Resource::SeparatorBand);
  look.scrollThumb = pictures(Resource::ScrollThumb);
  look.scrollThumbHover = pictures(Resource::ScrollThumbHover);
  look.topFade = pictures(Resource::TopFade);
  look.bottomFade = pictures(Resource::BottomFade);
  look.insertionLine = pictures(Resource::InsertionLine);
  look.insertBadge = pictures(Resource::InsertBadge);
  look.titleFont = fontB();
  look.headingFont = fontA();
  return look;
}

}  // namespace lh::features
