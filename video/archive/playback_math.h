// The arithmetic of the archive player's progress bar and time label.
// Pure functions; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace korvel {

inline constexpr int64_t kTicks100nsPerSecond = 10'000'000;

// Progress bar position 0..100 for the frame being shown:
// trunc(frame x 100 / frame_count), clamped to the bar's range. Nothing
// (the bar stays where it is) when the file reports no frames.
std::optional<int> ProgressPercent(int64_t frame, int64_t frame_count);

// The frame a click at x on a bar `width` pixels wide seeks to:
// trunc(x x frame_count / width), the product taken in 64 bits (x clamped
// to 0..width). Nothing (no seek) when the width or the frame count is 0.
// A click at x = 120 of 241 on 1000 frames gives frame 497.
std::optional<int64_t> SeekFrameForClick(int x, int width, int64_t frame_count);

// "hh:mm:ss" of whole seconds of a 100-ns count (hours with at least two
// digits, leading zeros): 1 h 2 min 3 s gives "01:02:03"; negative gives
// "00:00:00".
std::string PlaybackClockText(int64_t ticks_100ns);

// The time label: position, "/", duration ("00:01:05/00:10:00").
std::string PlaybackLabelText(int64_t position_100ns, int64_t duration_100ns);

// The label's text when nothing plays.
inline constexpr const char* kPlaybackLabelStopped = "00:00:00/00:00:00";

}  // namespace korvel
