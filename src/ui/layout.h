// The main window's fixed geometry, in pixels: one name for each figure,
// shared by the program and by its end-to-end tests (which find the rows,
// the bottom bar's labels and the search box on the screen by them).
#pragma once

namespace lh::layout {

// A rectangle within its parent: left, top, width, height.
struct Place {
  int left, top, width, height;
};

inline constexpr int kMainWidth = 350;
// The main window's left edge when it is docked (slid in).
inline constexpr int kDockedLeft = 6;
// The edge tab windows along the main window's sides.
inline constexpr int kEdgeWidth = 20;

// The list: rows of 20 pixels under the breadcrumb's bars, above the bottom
// bar.
inline constexpr int kRowHeight = 20;
// A bar's resting top for its 1-based level.
inline constexpr int barTopFor(int level) { return 136 + 22 * level; }
// The list starts this far below the top of the breadcrumb's last bar.
inline constexpr int kListBelowBar = 44;
// The list's top for a breadcrumb of `bars` bars.
inline constexpr int listTopFor(int bars) { return barTopFor(bars) + kListBelowBar; }
// The position indicator (位置外形框) stands this high just above the list.
inline constexpr int kIndicatorHeight = 20;
inline constexpr Place kIndicator{118, -kIndicatorHeight, 113, kIndicatorHeight};  // top: from the list's top
// The scroll thumb's column at the list's right.
inline constexpr int kThumbX = 323;
inline constexpr int kThumbWidth = 27;
// Restore mode's insertion line starts here; the 点击插入 badge stands this
// far left of the main window's right edge.
inline constexpr int kInsertionLineX = 27;
inline constexpr int kBadgeFromRight = 87;

inline constexpr int kBottomBarHeight = 36;
// On the bottom bar.
inline constexpr Place kImportLabel{20, 12, 30, 14};
inline constexpr Place kExportLabel{60, 12, 30, 14};
inline constexpr Place kBackupLabel{100, 12, 30, 14};
// The backup page's rows of copies.
inline constexpr int kBackupRowsTop = 44, kBackupRowHeight = 20;
// The search box 查找编辑框 in the header.
inline constexpr Place kSearchBox{146, 121, 147, 16};

// The browser beside the window is read at this point: right of the right
// edge tab's left, at this height on the screen.
inline constexpr int kCaptureRightOfEdgeTab = 20, kCaptureY = 121;
// The balloon of a capture that read nothing points at least this far
// right of the capture point, clear of the edge tab.
inline constexpr int kBalloonClearance = 4;

// Balloon tips point here, at the browser badge in the header (x from the
// main window's left, y on the screen).
inline constexpr int kBalloonX = 308, kBalloonY = 120;

// The recycle bin's window: its rows' canvas and the strip beside it.
inline constexpr int kBinCanvasWidth = 290;
inline constexpr int kBinStripWidth = 32;

}  // namespace lh::layout
