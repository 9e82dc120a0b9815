// What the coordinator `datab` and the link thread `cl` need of the main
// window, as a small interface: the core stays free of Qt. The main window
// (TForm1) implements it; tests implement it with a fake that runs a "main
// thread" loop of its own.
//
// Threads. The main thread owns the tiles, their records, the tile order
// table, the status bar and the year label. Worker threads reach them only
// through RunOnMainThread, except SetLinkUp, which only stores a flag.
//
// Lock rule: no caller holds the table lock or a queue lock while it calls
// RunOnMainThread (the main thread may be waiting for the table lock inside
// a link handler).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace korvel {

// Number of tiles of the video wall; wall positions and tiles are 0..15.
inline constexpr int kWallTileCount = 16;

// The part of a tile record that request reconciliation reads. Texts are
// Windows-1251 bytes. A tile is occupied when its name is not empty.
struct TileRequest {
  int32_t n_obj = 0;
  std::string name;
  std::string url;
  std::string nameobj;

  bool occupied() const { return !name.empty(); }
};

// The tile records at wall positions 0..15, in position order (position p
// shows tile `tile order table[p]`).
using WallTiles = std::array<TileRequest, kWallTileCount>;

class MainWindowPort {
 public:
  virtual ~MainWindowPort() = default;

  // Any thread. Runs `work` on the main thread and returns once it has run.
  // Called on the main thread itself, runs `work` directly (waiting for the
  // main thread from the main thread would deadlock). The main thread keeps
  // serving these calls in every event loop, inside modal dialogs, and while
  // it waits for the coordinator to end. `work` does not throw out of here:
  // callers catch inside it.
  virtual void RunOnMainThread(std::function<void()> work) = 0;

  // ---- main thread only (workers call them inside RunOnMainThread) ----

  // Puts the camera into the first free tile and starts it (preview, or
  // preview and recording); changes nothing when no tile is free. Texts are
  // Windows-1251 bytes.
  virtual void OpenCamera(const std::string& name, const std::string& url, int32_t n_obj,
                          const std::string& nameobj) = 0;

  // Stops and frees the tile at wall position 0..15 (journals "closed");
  // the tiles at later positions move down by one and the freed tile takes
  // the last position. A position outside 0..15 changes nothing.
  virtual void CloseTile(int position) = 0;

  // The tile records at wall positions 0..15, through the tile order table.
  virtual WallTiles ReadWallTiles() const = 0;

  // Repaints the status bar at once (the activity counter has moved, or
  // the link state changed).
  virtual void RepaintStatus() = 0;

  // Shows the archive year, four digits, in the year label (Label327).
  virtual void ShowArchiveYear(int year) = 0;

  // ---- any thread ----

  // The published link-up flag: written by the link thread after every
  // connection attempt with its outcome (not changed when a connection
  // later drops). The window's 200 ms timer compares it with the shown flag.
  // The implementation stores it in an atomic.
  virtual void SetLinkUp(bool up) = 0;
};

}  // namespace korvel
