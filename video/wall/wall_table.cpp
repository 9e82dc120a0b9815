#include "video/wall/wall_table.h"

#include "video/wall/wall_geometry.h"

namespace korvel {

WallTable::WallTable() {
  for (int i = 0; i < kTiles; ++i) order_[i] = i;
}

int WallTable::Open(std::string name, std::string url, int32_t n_obj, std::string nameobj,
                    bool recording) {
  for (int p = 0; p < kTiles; ++p) {
    const int t = order_[p];
    if (records_[t].occupied()) continue;
    TileRecord& r = records_[t];
    r.name = std::move(name);
    r.url = std::move(url);
    r.n_obj = n_obj;
    r.nameobj = std::move(nameobj);
    r.recording = recording;
    r.recording_file.clear();
    live_[t] = false;
    layout_mode_ = LayoutModeForOpenPosition(p);
    return t;
  }
  return -1;
}

int WallTable::Close(int position) {
  if (position < 0 || position >= kTiles) return -1;
  const int t = order_[position];
  TileRecord& r = records_[t];
  r.name.clear();
  r.url.clear();
  r.nameobj.clear();
  r.n_obj = 0;
  live_[t] = false;
  for (int i = position; i < kTiles - 1; ++i) order_[i] = order_[i + 1];
  order_[kTiles - 1] = t;
  layout_mode_ = LayoutModeForCount(CountOpenFromStart());
  return t;
}

int WallTable::CountOpenFromStart() const {
  int c = 0;
  while (c < kTiles && records_[order_[c]].occupied()) ++c;
  return c;
}

int WallTable::FindTileByPlayerName(std::string_view player_name) const {
  for (int p = 0; p < kTiles; ++p) {
    const int t = order_[p];
    if (PlayerName(t) == player_name) return t;
  }
  return -1;
}

std::string PlayerName(int tile) { return "v" + std::to_string(tile); }

}  // namespace korvel
