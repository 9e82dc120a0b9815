#include "video/wall/wall_geometry.h"

#include <gtest/gtest.h>

namespace korvel {
namespace {

struct LayoutCase {
  int layout_mode;
  int w, h;
  TileRect position1;  // unused for n = 1
  TileRect last;
};

class WorkedExample : public ::testing::TestWithParam<LayoutCase> {};

// Client area 1190 x 573, top panel 81, status bar 19.
TEST_P(WorkedExample, SizesAndPositions) {
  const LayoutCase& c = GetParam();
  const auto rects = WallTileRects({1190, 573, 81, 19}, c.layout_mode);
  const int n = c.layout_mode + 1;
  ASSERT_EQ(rects.size(), size_t(n * n));
  for (const TileRect& r : rects) {
    EXPECT_EQ(r.width, c.w);
    EXPECT_EQ(r.height, c.h);
  }
  EXPECT_EQ(rects[0], (TileRect{2, 83, c.w, c.h}));
  if (n > 1) {
    EXPECT_EQ(rects[1], c.position1);
  }
  EXPECT_EQ(rects.back(), c.last);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WorkedExample,
    ::testing::Values(LayoutCase{0, 1186, 469, {}, {2, 83, 1186, 469}},
                      LayoutCase{1, 592, 233, {596, 83, 592, 233}, {596, 318, 592, 233}},
                      LayoutCase{2, 394, 155, {398, 83, 394, 155}, {794, 397, 394, 155}},
                      LayoutCase{3, 295, 115, {299, 83, 295, 115}, {893, 434, 295, 115}}));

TEST(WallTileRects, CollapsedTopPanel) {
  const auto rects = WallTileRects({1190, 573, 5, 19}, 1);
  ASSERT_EQ(rects.size(), 4u);
  EXPECT_EQ(rects[0], (TileRect{2, 7, 592, 271}));
  EXPECT_EQ(rects[1], (TileRect{596, 7, 592, 271}));
  EXPECT_EQ(rects[2], (TileRect{2, 280, 592, 271}));
  EXPECT_EQ(rects[3], (TileRect{596, 280, 592, 271}));
}

TEST(WallTileRects, TruncationAndOddInputs) {
  EXPECT_EQ(WallTileRects({1191, 573, 81, 19}, 1)[0].width, 592);
  EXPECT_TRUE(WallTileRects({1190, 573, 81, 19}, 4).empty());
  EXPECT_TRUE(WallTileRects({1190, 573, 81, 19}, -1).empty());
  // Too small a window: sizes truncate toward zero and are applied as they are.
  const auto tiny = WallTileRects({5, 100, 81, 19}, 1);
  EXPECT_EQ(tiny[0].width, 0);   // (5 - 6) / 2 = -0.5 -> 0
  EXPECT_EQ(tiny[0].height, -3);  // (100 - 100 - 6) / 2
}

TEST(LayoutMode, FromOpenPositionAndFromCount) {
  const int by_position[16] = {0, 1, 1, 1, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3};
  for (int p = 0; p < 16; ++p) EXPECT_EQ(LayoutModeForOpenPosition(p), by_position[p]) << p;
  const int by_count[17] = {0, 0, 1, 1, 1, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3};
  for (int c = 0; c <= 16; ++c) EXPECT_EQ(LayoutModeForCount(c), by_count[c]) << c;
}

TEST(Caption, FourHundredPixelPlayer) {
  const TileRect player{10, 20, 300, 400};
  const CaptionGeometry up = CaptionForPlayer(player, true);
  EXPECT_EQ(up.rect, (TileRect{11, 21, 298, 24}));
  EXPECT_EQ(up.font_points, 16);
  const CaptionGeometry down = CaptionForPlayer(player, false);
  EXPECT_EQ(down.rect, (TileRect{11, 21, 298, 400}));
  EXPECT_EQ(down.font_points, 16);
  EXPECT_EQ(CaptionForPlayer({0, 0, 10, 24}, true).rect.height, 8);
}

TEST(IndicatorMark, PositionsWrapInsideTheIndicator) {
  using A = std::array<int, 5>;
  EXPECT_EQ(IndicatorMarkOffsets(0), (A{0, 1, 2, 3, 4}));
  EXPECT_EQ(IndicatorMarkOffsets(12), (A{12, 13, 14, 15, 16}));
  EXPECT_EQ(IndicatorMarkOffsets(13), (A{13, 14, 15, 16, 1}));
  EXPECT_EQ(IndicatorMarkOffsets(15), (A{15, 16, 1, 2, 3}));
}

TEST(PlayerName, TileNumber) {
  EXPECT_EQ(TileNumberFromPlayerName("v12"), 12);
  EXPECT_EQ(TileNumberFromPlayerName("v0"), 0);
  EXPECT_EQ(TileNumberFromPlayerName("VideoGrabber1"), 0);
  EXPECT_EQ(TileNumberFromPlayerName("v"), 0);
  EXPECT_EQ(TileNumberFromPlayerName(""), 0);
  EXPECT_EQ(TileNumberFromPlayerName("v-3"), -3);
}

TEST(PlayerLog, FirstCharactersOnlyAndCaseMatters) {
  EXPECT_TRUE(IsDeviceLostLog("Device lost"));
  EXPECT_TRUE(IsDeviceLostLog("Device lost: rtsp://x timed out"));
  EXPECT_FALSE(IsDeviceLostLog("device lost"));
  EXPECT_FALSE(IsDeviceLostLog("Device los"));
  EXPECT_TRUE(IsDeviceReconnLog("Device reconnected"));
  EXPECT_FALSE(IsDeviceReconnLog("Device recon"));
  EXPECT_FALSE(IsDeviceReconnLog("Device lost"));
}

}  // namespace
}  // namespace korvel
