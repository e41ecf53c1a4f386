// The pictures and sounds the program carries, drawn and synthesised by
// resources/generate.py at build time and embedded in the program.
#pragma once

#include <string_view>

namespace lh::resources {

enum class Resource {
  PinStrip,
  PinStripHover,
  ToolbarStrip,
  ButtonHitArea,
  AddButtonHover,
  NewCategoryButtonHover,
  SearchFieldFrame,
  BarTemplate,
  BarBackground,
  ViewTabMarker,
  BadgeFrame,
  RightEdgeShadow,
  LeftEdgeShadow,
  CardMiddle,
  CardBottom,
  CardTop,
  CategoryIcon,
  DefaultSiteIcon,
  HoverBand,
  SeparatorBand,
  ScrollThumb,
  ScrollThumbHover,
  TopFade,
  BottomFade,
  InsertionLine,
  InsertBadge,
  OkButton,
  CancelButton,
  OkButtonHover,
  CancelButtonHover,
  PanelBackground,
  AboutBackground,
  BinStrip,
  TrayIcon,
  StartupSound,
  SeparatorSound,
  RemovalSound,
  BinSound,
};

// The file's bytes (PNG, ICO or WAV).
std::string_view bytes(Resource r);
// The file name it was generated as.
const char* nameOf(Resource r);

}  // namespace lh::resources
