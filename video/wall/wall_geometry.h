// The arithmetic of the video wall: tile sizes and places for a layout mode,
// the layout mode that holds a number of open tiles, the caption panel over
// a player, and the link indicator's moving mark. Pure functions, no Qt.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace korvel {

inline constexpr int kWallGapPx = 2;
inline constexpr int kMaxLayoutMode = 3;  // 4 x 4

struct TileRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const TileRect&) const = default;
};

// The main window's client area and the heights of the regions above and
// below the wall.
struct WallMetrics {
  int client_width = 0;
  int client_height = 0;
  int panel1_height = 81;  // top panel (81, or 5 when collapsed)
  int status_height = 19;  // status bar
};

// The bounds of the players at positions 0 .. n*n - 1 (n = layout mode + 1),
// position k at row k / n, column k % n:
//   w = trunc((ClientWidth - 2(n+1)) / n), h = trunc((ClientHeight - H - 2(n+1)) / n)
//   left = 2 + c(w + 2), top = Panel1.Height + 2 + r(h + 2)
// with H = Panel1.Height + StatusBar1.Height, computed in floating point and
// truncated toward zero (sizes are applied as computed, also when zero or
// negative). A layout mode outside 0..3 gives no positions.
std::vector<TileRect> WallTileRects(const WallMetrics& metrics, int layout_mode);

// The smallest grid for the tile opened at position p (p + 1 open tiles).
int LayoutModeForOpenPosition(int position);
// The smallest grid for c open tiles: 0 for c <= 1, 1 from 2, 2 from 5, 3
// from 10.
int LayoutModeForCount(int count);

// The caption panel over a player: 1 pixel in from its left and top edges,
// 2 pixels narrower; trunc(height / 25) + 8 high while the link is up,
// the player's whole height while it is down; its font in points is
// trunc(height / 25) either way.
struct CaptionGeometry {
  TileRect rect;
  int font_points = 0;
};
CaptionGeometry CaptionForPlayer(const TileRect& player, bool link_up);

// The five x offsets (from the indicator's left edge) of the activity mark
// for counter c: c .. c + 4, an offset above 16 taking 16 off.
std::array<int, 5> IndicatorMarkOffsets(int activity_counter);

// The tile number a player's name gives ("v12" gives 12): the name without
// its first character as a decimal integer, 0 when that is not one.
int TileNumberFromPlayerName(std::string_view player_name);

// Player log texts: the first 11 characters are exactly "Device lost"; the
// first 13 exactly "Device reconn". Case matters; shorter texts never match.
bool IsDeviceLostLog(std::string_view text);
bool IsDeviceReconnLog(std::string_view text);

}  // namespace korvel
