#include "features/about.h"

namespace lh::features {

About::About(platform::Platform& platform, OverlayPages& pages, ui::Control& bottomBar, Pictures& pictures,
             std::string productLabel, std::function<void()> openSite)
    : pages_(pages) {
  auto& raster = platform.textRasterizer();
  open_ = &addLabel(bottomBar, "标签26", "关于", 0x808080, {262, 12, 30, 14}, raster);
  open_->onClick = [this] { show(); };

  auto& page = pages_.page(OverlayPages::About);
  auto& box = page.add<ui::PictureBox>("图片框8");
  box.setBounds(0, 60, kMainWidth, 300);
  box.setPicture(pictures(Resource::AboutBackground));
  text_ = &addLabel(box, "标签29",
                    productLabel + "\n\n" + "浏览器之外的网址收藏夹\n" + "数据保存在程序旁的 data 文件夹\n\n" +
                        "点击这里访问主页",
                    0x515151, {49, 80, 251, 120}, raster);
  // A left click or a right-button release opens the product's site.
  text_->onClick = [openSite] {
    if (openSite) openSite();
  };
  text_->onButtonUp = [openSite](platform::MouseButton b, int, int) {
    if (b == platform::MouseButton::Right && openSite) openSite();
  };
  auto closeButton = [&](ui::Control& parent, const char* name, int left, int top) {
    auto& c = parent.add<ui::ImageButton>(name);
    c.setBounds(left, top, 70, 20);
    c.setPictures(pictures(Resource::CancelButton), pictures(Resource::CancelButtonHover));
    c.onClick = [this] { pages_.hide(); };
  };
  closeButton(box, "fl图形按钮c2", 228, 240);
  closeButton(pages_.page(OverlayPages::Sync), "fl图形按钮c5", 228, 426);
}

void About::show() { pages_.show(OverlayPages::About); }

}  // namespace lh::features
