#include "video/wall/wall_geometry.h"

#include <charconv>
#include <cmath>

namespace korvel {

namespace {
int TruncDiv(double numerator, int n) { return static_cast<int>(std::trunc(numerator / n)); }
}  // namespace

std::vector<TileRect> WallTileRects(const WallMetrics& m, int layout_mode) {
  if (layout_mode < 0 || layout_mode > kMaxLayoutMode) return {};
  const int n = layout_mode + 1;
  const int h_above_below = m.panel1_height + m.status_height;
  const int w = TruncDiv(double(m.client_width) - kWallGapPx * (n + 1), n);
  const int h = TruncDiv(double(m.client_height) - h_above_below - kWallGapPx * (n + 1), n);
  std::vector<TileRect> rects;
  rects.reserve(n * n);
  for (int k = 0; k < n * n; ++k) {
    const int r = k / n;
    const int c = k % n;
    rects.push_back(TileRect{kWallGapPx + c * (w + kWallGapPx),
                             m.panel1_height + kWallGapPx + r * (h + kWallGapPx), w, h});
  }
  return rects;
}

int LayoutModeForOpenPosition(int position) {
  if (position >= 9) return 3;
  if (position >= 4) return 2;
  if (position >= 1) return 1;
  return 0;
}

int LayoutModeForCount(int count) {
  if (count >= 10) return 3;
  if (count >= 5) return 2;
  if (count >= 2) return 1;
  return 0;
}

CaptionGeometry CaptionForPlayer(const TileRect& player, bool link_up) {
  CaptionGeometry g;
  const int points = player.height / 25;  // C++ division truncates toward zero
  g.font_points = points;
  g.rect = TileRect{player.left + 1, player.top + 1, player.width - 2,
                    link_up ? points + 8 : player.height};
  return g;
}

std::array<int, 5> IndicatorMarkOffsets(int activity_counter) {
  std::array<int, 5> x{};
  for (int i = 0; i < 5; ++i) {
    int p = activity_counter + i;
    if (p > 16) p -= 16;
    x[i] = p;
  }
  return x;
}

int TileNumberFromPlayerName(std::string_view name) {
  if (name.size() < 2) return 0;
  std::string_view digits = name.substr(1);
  int value = 0;
  const char* begin = digits.data();
  const char* end = begin + digits.size();
  if (*begin == '+') ++begin;  // the integer reader takes a sign
  auto [ptr, ec] = std::from_chars(begin, end, value);
  if (ec != std::errc() || ptr != end) return 0;
  return value;
}

bool IsDeviceLostLog(std::string_view text) { return text.starts_with("Device lost"); }
bool IsDeviceReconnLog(std::string_view text) { return text.starts_with("Device reconn"); }

}  // namespace korvel
