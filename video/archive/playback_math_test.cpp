#include "video/archive/playback_math.h"

#include <gtest/gtest.h>

namespace korvel {
namespace {

TEST(PlaybackMath, SeekFromTheClickPosition) {
  EXPECT_EQ(SeekFrameForClick(120, 241, 1000), 497);
  EXPECT_EQ(SeekFrameForClick(0, 241, 1000), 0);
  EXPECT_EQ(SeekFrameForClick(241, 241, 1000), 1000);
  EXPECT_EQ(SeekFrameForClick(-5, 241, 1000), 0);    // clamped to the bar
  EXPECT_EQ(SeekFrameForClick(900, 241, 1000), 1000);
  // The product is taken in 64 bits.
  EXPECT_EQ(SeekFrameForClick(240, 241, 4'000'000'000LL), 3'983'402'489LL);
  // A file without frames or a bar without width: no seek, no division.
  EXPECT_EQ(SeekFrameForClick(120, 241, 0), std::nullopt);
  EXPECT_EQ(SeekFrameForClick(120, 0, 1000), std::nullopt);
  EXPECT_EQ(SeekFrameForClick(120, 241, -3), std::nullopt);
}

TEST(PlaybackMath, ProgressInPercent) {
  EXPECT_EQ(ProgressPercent(497, 1000), 49);
  EXPECT_EQ(ProgressPercent(1000, 1000), 100);
  EXPECT_EQ(ProgressPercent(1500, 1000), 100);
  EXPECT_EQ(ProgressPercent(-1, 1000), 0);
  EXPECT_EQ(ProgressPercent(5, 0), std::nullopt);
  EXPECT_EQ(ProgressPercent(INT64_MAX / 2, INT64_MAX), 49);
}

TEST(PlaybackMath, ClockTexts) {
  EXPECT_EQ(PlaybackClockText((3600 + 2 * 60 + 3) * kTicks100nsPerSecond), "01:02:03");
  EXPECT_EQ(PlaybackClockText(65 * kTicks100nsPerSecond + 9'999'999), "00:01:05");
  EXPECT_EQ(PlaybackClockText(0), "00:00:00");
  EXPECT_EQ(PlaybackClockText(-1), "00:00:00");
  EXPECT_EQ(PlaybackClockText(int64_t{100} * 3600 * kTicks100nsPerSecond), "100:00:00");
  EXPECT_EQ(PlaybackLabelText(65 * kTicks100nsPerSecond, 600 * kTicks100nsPerSecond),
            "00:01:05/00:10:00");
  EXPECT_STREQ(kPlaybackLabelStopped, "00:00:00/00:00:00");
}

}  // namespace
}  // namespace korvel
