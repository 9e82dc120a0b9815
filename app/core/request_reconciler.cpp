#include "app/core/request_reconciler.h"

#include "app/core/close_request.h"

namespace korvel {

bool TileMatchesRequest(const TileRequest& tile, const RequestRecord& record) {
  return tile.n_obj == record.n_obj && tile.url == record.url && tile.name == record.name;
}

bool AddressedHere(const RequestRecord& record, int32_t video_place) {
  return record.mesto == video_place || record.mesto == 0;
}

namespace {

bool WallShows(const WallTiles& wall, const RequestRecord& record) {
  for (const TileRequest& tile : wall) {
    if (tile.occupied() && TileMatchesRequest(tile, record)) return true;
  }
  return false;
}

}  // namespace

WallTiles RequestReconciler::ReadWall() {
  WallTiles wall;
  window_.RunOnMainThread([&] {
    try {
      wall = window_.ReadWallTiles();
    } catch (...) {
    }
  });
  return wall;
}

void RequestReconciler::Reconcile(int32_t video_place) {
  {
    MutexLock lock(table_lock_);
    if (!tables_.RequestsPresent()) return;
  }
  WallTiles wall = ReadWall();
  OpenPhase(video_place, &wall);
  ClosePhase(video_place, &wall);
}

void RequestReconciler::OpenPhase(int32_t video_place, WallTiles* wall) {
  int count = 0;
  {
    MutexLock lock(table_lock_);
    if (!tables_.RequestsPresent()) return;
    count = tables_.RequestCount();
  }
  for (int r = 1; r <= count; ++r) {
    RequestRecord record;
    {
      MutexLock lock(table_lock_);
      // A reset may have released the table since the last record.
      if (!tables_.RequestsPresent() || r > tables_.RequestCount()) return;
      try {
        if (!tables_.ReadRequest(r, &record)) continue;
      } catch (...) {
        continue;
      }
    }
    if (record.name.empty() || WallShows(*wall, record) || !AddressedHere(record, video_place)) {
      continue;
    }
    window_.RunOnMainThread([&] {
      try {
        window_.OpenCamera(record.name, record.url, record.n_obj, record.nameobj);
      } catch (...) {
      }
      try {
        *wall = window_.ReadWallTiles();
      } catch (...) {
      }
    });
  }
}

bool RequestReconciler::ClosePhase(int32_t video_place, WallTiles* wall) {
  // Each close frees one tile; the bound keeps a tile that refuses to close
  // from holding the pass.
  int closes_left = kWallTileCount;
  for (int position = 0; position < kWallTileCount;) {
    const TileRequest& tile = (*wall)[position];
    if (!tile.occupied()) {
      ++position;
      continue;
    }
    bool keep = false;
    {
      MutexLock lock(table_lock_);
      if (!tables_.RequestsPresent()) return false;
      const int count = tables_.RequestCount();
      for (int r = 1; r <= count && !keep; ++r) {
        RequestRecord record;
        try {
          if (!tables_.ReadRequest(r, &record)) continue;
        } catch (...) {
          // A record that cannot be read keeps the tile: never close on doubt.
          keep = true;
          break;
        }
        keep = TileMatchesRequest(tile, record) && AddressedHere(record, video_place);
      }
    }
    if (keep || closes_left == 0) {
      ++position;
      continue;
    }
    --closes_left;
    window_.RunOnMainThread([&] {
      try {
        window_.CloseTile(position);
      } catch (...) {
      }
      try {
        *wall = window_.ReadWallTiles();
      } catch (...) {
      }
    });
    // The tile that moved into this position is examined in turn.
  }
  return true;
}

void RequestReconciler::HandleCloseRequest(std::string_view message, int32_t video_place) {
  CloseRequest request;
  if (!ParseCloseRequest(message, &request)) return;
  MutexLock lock(table_lock_);
  if (!tables_.RequestsPresent()) return;
  const int count = tables_.RequestCount();
  for (int r = 1; r <= count; ++r) {
    RequestRecord record;
    try {
      if (!tables_.ReadRequest(r, &record)) continue;
    } catch (...) {
      continue;
    }
    if (record.n_obj == request.n_obj && CloseRequestTextMatches(request.url, record.url) &&
        CloseRequestTextMatches(request.name, record.name) && AddressedHere(record, video_place)) {
      tables_.DeleteRequest(r);
      return;
    }
  }
}

}  // namespace korvel
