// The tile record: what one of the 16 tiles of the video wall shows.
//
// Indexed by tile number 0..15 (not by wall position). Texts are
// Windows-1251 bytes, as they came from the request table; `recording_file`
// is the recording's native path in Windows-1251 (what the journal carries).
// Main thread only.
#pragma once

#include <cstdint>
#include <string>

namespace korvel {

struct TileRecord {
  int32_t n_obj = 0;
  std::string name;     // empty: the tile is free
  std::string url;
  std::string nameobj;
  bool recording = false;      // the Recording setting when the tile opened
  std::string recording_file;  // empty when not recording

  bool occupied() const { return !name.empty(); }
};

}  // namespace korvel
