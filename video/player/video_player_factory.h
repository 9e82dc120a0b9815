// How the wall and the archive view create their players without knowing the
// backend: the program passes the GStreamer factory (video/gst/), the wall's
// tests the fake one (fake_video_player.h).
#pragma once

#include <functional>

#include <QWidget>

#include "video/player/video_player.h"

namespace korvel {

// Returns a new player owned by `parent` (Qt ownership). GUI thread only.
using VideoPlayerFactory = std::function<VideoPlayer*(QWidget* parent)>;

}  // namespace korvel
