// The state of the video wall without its widgets: the 16 tile records, the
// live flags, the tile order table and the layout mode, with the rules that
// keep them consistent. No Qt; the window applies the result to its players.
//
// Invariants: the order table is a permutation of 0..15; the open tiles sit
// at positions 0 .. count - 1 in the order they were opened; the layout mode
// is the smallest grid that holds them.
//
// Threads: main thread only.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "video/wall/tile_record.h"

namespace korvel {

class WallTable {
 public:
  static constexpr int kTiles = 16;

  WallTable();

  const TileRecord& record(int tile) const { return records_[tile]; }
  TileRecord& record(int tile) { return records_[tile]; }
  bool live(int tile) const { return live_[tile]; }
  void set_live(int tile, bool live) { live_[tile] = live; }
  // The tile shown at position 0..15.
  int TileAt(int position) const { return order_[position]; }
  const std::array<int, kTiles>& order() const { return order_; }
  int layout_mode() const { return layout_mode_; }

  // OpenCamera, steps 1, 2 and 5: the first position whose tile is free
  // takes the camera (record set, not live, no recording file yet) and the
  // layout mode follows. Returns the tile number, or -1 when all 16 are open
  // (then nothing changes).
  int Open(std::string name, std::string url, int32_t n_obj, std::string nameobj,
           bool recording);

  // CloseTile, steps 3, 5, 6 and 7, for the tile at `position` (the caller
  // journals "closed" with the record first): the record is cleared (name,
  // url, nameobj, n_obj; `recording` and `recording_file` stay), the tile is
  // not live, positions position..14 move down by one and the tile takes
  // position 15; the layout mode follows the count of open tiles from
  // position 0. Returns the tile, or -1 for a position outside 0..15.
  int Close(int position);

  // Open tiles counted from position 0 up to the first free one.
  int CountOpenFromStart() const;

  // The tile whose player is named `player_name` ("v" + tile number),
  // searched through positions 0..15 in order; -1 when none matches.
  int FindTileByPlayerName(std::string_view player_name) const;

 private:
  std::array<TileRecord, kTiles> records_;
  std::array<bool, kTiles> live_{};
  std::array<int, kTiles> order_{};
  int layout_mode_ = 0;
};

// The component name of tile t's player: "v" followed by t.
std::string PlayerName(int tile);

}  // namespace korvel
