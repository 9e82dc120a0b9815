#include "video/archive/playback_math.h"

#include <algorithm>

#include "platform/date_time.h"

namespace korvel {

std::optional<int> ProgressPercent(int64_t frame, int64_t frame_count) {
  if (frame_count <= 0) return std::nullopt;
  frame = std::clamp<int64_t>(frame, 0, frame_count);
  // Taken in 128 bits so that no frame count can overflow the product.
  const auto percent = static_cast<int64_t>(static_cast<__int128>(frame) * 100 / frame_count);
  return static_cast<int>(std::clamp<int64_t>(percent, 0, 100));
}

std::optional<int64_t> SeekFrameForClick(int x, int width, int64_t frame_count) {
  if (width <= 0 || frame_count <= 0) return std::nullopt;
  x = std::clamp(x, 0, width);
  // At least 64 bits as the player expects; 128 so no count overflows it.
  return static_cast<int64_t>(static_cast<__int128>(x) * frame_count / width);
}

std::string PlaybackClockText(int64_t ticks_100ns) {
  const int64_t seconds = ticks_100ns > 0 ? ticks_100ns / kTicks100nsPerSecond : 0;
  return FormatHms(static_cast<unsigned>(seconds / 3600), static_cast<unsigned>(seconds % 3600 / 60),
                   static_cast<unsigned>(seconds % 60));
}

std::string PlaybackLabelText(int64_t position_100ns, int64_t duration_100ns) {
  return PlaybackClockText(position_100ns) + "/" + PlaybackClockText(duration_100ns);
}

}  // namespace korvel
