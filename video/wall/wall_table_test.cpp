#include "video/wall/wall_table.h"

#include <gtest/gtest.h>

namespace korvel {
namespace {

void OpenN(WallTable* t, int n) {
  for (int i = 0; i < n; ++i) {
    ASSERT_EQ(t->Open("c" + std::to_string(i), "rtsp://h/" + std::to_string(i), i, "o", false),
              i);
  }
}

TEST(WallTable, StartsEmptyWithTheIdentityOrder) {
  WallTable t;
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(t.TileAt(i), i);
    EXPECT_FALSE(t.record(i).occupied());
  }
  EXPECT_EQ(t.layout_mode(), 0);
  EXPECT_EQ(t.CountOpenFromStart(), 0);
}

TEST(WallTable, SixteenFillInOrderAndTheSeventeenthIsRefused) {
  WallTable t;
  const int modes[16] = {0, 1, 1, 1, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3};
  for (int i = 0; i < 16; ++i) {
    ASSERT_EQ(t.Open("c" + std::to_string(i), "u", i, "o", true), i);
    EXPECT_EQ(t.layout_mode(), modes[i]);
  }
  const auto before = t.order();
  EXPECT_EQ(t.Open("c16", "u", 16, "o", true), -1);
  EXPECT_EQ(t.order(), before);
  EXPECT_EQ(t.layout_mode(), 3);
}

TEST(WallTable, CloseInTheMiddleCompactsAndKeepsTheGrid) {
  WallTable t;
  OpenN(&t, 3);
  t.record(1).recording_file = "f.mp4";
  EXPECT_EQ(t.Close(1), 1);
  EXPECT_EQ(t.TileAt(0), 0);
  EXPECT_EQ(t.TileAt(1), 2);
  EXPECT_EQ(t.TileAt(15), 1);
  EXPECT_EQ(t.layout_mode(), 1);
  EXPECT_FALSE(t.record(1).occupied());
  EXPECT_EQ(t.record(1).n_obj, 0);
  EXPECT_EQ(t.record(1).recording_file, "f.mp4");  // stale until the next open
  EXPECT_EQ(t.Close(1), 2);
  EXPECT_EQ(t.layout_mode(), 0);
  // The next camera takes the first free position: tile 3 now stands at 1.
  EXPECT_EQ(t.TileAt(1), 3);
  EXPECT_EQ(t.Open("n", "u", 9, "o", false), 3);
  EXPECT_EQ(t.record(3).recording_file, "");
}

TEST(WallTable, ClosingPosition15MovesNothing) {
  WallTable t;
  OpenN(&t, 16);
  const auto before = t.order();
  EXPECT_EQ(t.Close(15), 15);
  EXPECT_EQ(t.order(), before);
  EXPECT_EQ(t.CountOpenFromStart(), 15);
  EXPECT_EQ(t.layout_mode(), 3);
  EXPECT_EQ(t.Close(16), -1);
  EXPECT_EQ(t.Close(-1), -1);
}

TEST(WallTable, OrderStaysAPermutation) {
  WallTable t;
  OpenN(&t, 10);
  for (int k : {3, 0, 7, 2, 2, 0}) t.Close(k);
  std::array<bool, 16> seen{};
  for (int p = 0; p < 16; ++p) seen[t.TileAt(p)] = true;
  for (bool s : seen) EXPECT_TRUE(s);
  EXPECT_EQ(t.CountOpenFromStart(), 4);
  EXPECT_EQ(t.layout_mode(), 1);
}

TEST(WallTable, FindTileByPlayerName) {
  WallTable t;
  EXPECT_EQ(t.FindTileByPlayerName("v12"), 12);
  EXPECT_EQ(t.FindTileByPlayerName("v16"), -1);
  EXPECT_EQ(t.FindTileByPlayerName("V12"), -1);
  EXPECT_EQ(t.FindTileByPlayerName("v012"), -1);
  EXPECT_EQ(PlayerName(7), "v7");
}

}  // namespace
}  // namespace korvel
