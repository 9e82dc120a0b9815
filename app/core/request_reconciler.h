// Request reconciliation: keeps the video wall in step with the request
// table "videor", and turns the operator's close request into a delete
// message.
//
// Rules:
// - a record and a tile match when n_obj is equal and url and name are equal
//   as bytes;
// - a record is addressed here when its mesto is the video place or 0;
// - a record with an empty name is never opened (it would open a tile that
//   counts as free and is later overwritten without a "closed" event).
//
// Reconcile: open phase (records 1..Count: a record addressed here that no
// tile shows is opened with OpenCamera on the main thread), then close phase
// (positions 0..15: an occupied tile that no record addressed here matches is
// closed with CloseTile; the tile that moves into the position is examined
// in turn). The table lock is held for each decision and released before
// every call onto the main thread. A request table that is absent (or
// becomes absent during the pass, after a reset) ends the pass and leaves
// the wall as it is. A failure in one record or position is contained there.
//
// Threads: the coordinator thread only.
#pragma once

#include <cstdint>
#include <string_view>

#include "app/core/main_window_port.h"
#include "app/core/table_access.h"
#include "platform/thread_annotations.h"

namespace korvel {

bool TileMatchesRequest(const TileRequest& tile, const RequestRecord& record);
bool AddressedHere(const RequestRecord& record, int32_t video_place);

class RequestReconciler {
 public:
  RequestReconciler(Mutex& table_lock, TableAccess& tables, MainWindowPort& window)
      : table_lock_(table_lock), tables_(tables), window_(window) {}

  void Reconcile(int32_t video_place) KORVEL_EXCLUDES(table_lock_);

  // Handles a close request (close_request.h): the first record addressed
  // here whose url, name and n_obj equal the request's is deleted (a text
  // cut to 255 bytes matches on its first 255 bytes). The wall is not
  // changed here; the tile closes when the deletion comes back.
  void HandleCloseRequest(std::string_view message, int32_t video_place)
      KORVEL_EXCLUDES(table_lock_);

 private:
  WallTiles ReadWall();
  void OpenPhase(int32_t video_place, WallTiles* wall);
  // False when the request table went away (the pass ends).
  bool ClosePhase(int32_t video_place, WallTiles* wall);

  Mutex& table_lock_;
  TableAccess& tables_;
  MainWindowPort& window_;
};

}  // namespace korvel
