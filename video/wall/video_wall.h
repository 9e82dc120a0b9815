// VideoWall: the 16 tiles of the main window's video wall on screen.
//
// It owns the tile state (WallTable), creates the 16 players "v0".."v15"
// and their caption panels as children of the host window, opens and closes
// cameras (OpenCamera, CloseTile), places the players for a layout, turns
// the players' events into live flags, caption colours and camera event
// records, toggles full screen on double click, and carries the tile menu
// `PopupMenu1` with its item `N2` "Закрыть", which sends a close request
// (code 699) to the coordinator.
//
// Texts of the tile records are Windows-1251 bytes; the screen and the disk
// get UTF-8.
//
// Threads: GUI thread only. The coordinator reaches OpenCamera and CloseTile
// through the main window's main-thread call.
#pragma once

#include <QMenu>
#include <QObject>
#include <QPointer>

#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "app/core/main_window_port.h"
#include "platform/date_time.h"
#include "video/player/video_player.h"
#include "video/player/video_player_factory.h"
#include "video/wall/camera_event.h"
#include "video/wall/caption_panel.h"
#include "video/wall/wall_geometry.h"
#include "video/wall/wall_table.h"

class QAction;

namespace korvel {

class VideoWall : public QObject {
  Q_OBJECT

 public:
  struct Settings {
    bool recording = false;                // Main/Recording
    std::string storage_prefix = "storage/";  // Main/StoragePath as a folder prefix, UTF-8
    int dfsm = 0;                          // Main/DFSM
    int32_t video_place = 1;               // main/VideoPlace
  };
  // IP-camera no-frames timeout set on every opened player.
  static constexpr int kStreamTimeoutMs = 10000;

  // Creates the 16 players (hidden, no border, named "v0".."v15", handlers
  // attached, tile menu given) and then the 16 caption panels as children of
  // `host`. `sink` receives the camera event records; it must outlive the
  // wall.
  VideoWall(QWidget* host, const VideoPlayerFactory& factory, Settings settings,
            CameraEventSink* sink);
  ~VideoWall() override;

  // Where close requests go (the coordinator inbound queue); unset: dropped.
  void SetCloseRequestSink(std::function<void(std::string_view)> put) {
    put_close_request_ = std::move(put);
  }
  // Lines for the diagnostic log (Windows-1251), e.g. a recording folder
  // that cannot be made and the players' own failure texts.
  void SetLog(std::function<void(std::string_view)> log) { log_ = std::move(log); }
  // LayoutTiles of the window, run at the end of OpenCamera and CloseTile.
  void SetLayoutTiles(std::function<void()> layout) { layout_ = std::move(layout); }
  // The local clock (tests set it).
  void SetClock(std::function<DateTime()> now) { now_ = std::move(now); }

  // ---- the wall's operations ----

  // Puts the camera into the first free tile and starts it; false (and
  // nothing changes) when all 16 tiles are open. Texts are Windows-1251.
  bool OpenCamera(const std::string& name, const std::string& url, int32_t n_obj,
                  const std::string& nameobj);
  // Journals "closed", frees and stops the tile at `position` and closes the
  // gap. A position outside 0..15 changes nothing.
  void CloseTile(int position);

  // LayoutTiles, wall view: places the players of positions 0 .. n*n - 1,
  // shows their captions and hides the rest.
  void Place(const WallMetrics& metrics);
  // LayoutTiles, archive view: hides every player and caption.
  void HideAll();
  // The shown link-up flag the captions follow (applied at the next Place).
  void SetLinkShown(bool up) { link_shown_ = up; }
  bool link_shown() const { return link_shown_; }
  // Show tile caption for position p (after its player has been placed).
  void ShowTileCaption(int position);

  // ---- tile menu ----
  // PopupMenu1Popup: N2 enabled exactly when menu_tile's record has a URL.
  void PopupMenu1Popup();
  // N2Click: the close request of menu_tile's record into the sink.
  void N2Click();
  int menu_tile() const { return menu_tile_; }
  QMenu* PopupMenu1() const { return menu_; }
  QAction* N2() const { return n2_; }

  // ---- state ----
  const WallTable& table() const { return table_; }
  WallTiles ReadWallTiles() const;
  const Settings& settings() const { return settings_; }
  VideoPlayer* player(int tile) const { return players_[tile]; }
  CaptionPanel* caption(int tile) const { return captions_[tile]; }

  // ---- tile event handlers (public so tests can reach them by name) ----
  void TilePreviewStarted(VideoPlayer* sender);
  void TileRecordingStarted(VideoPlayer* sender, const QString& file);
  void TileDeviceLost(VideoPlayer* sender);
  void TileLog(VideoPlayer* sender, const QString& text);
  void TileDoubleClick(VideoPlayer* sender);
  void VideoGrabber1MouseDown(VideoPlayer* sender);

 private:
  void AttachHandlers(VideoPlayer* player);
  int TileOf(VideoPlayer* sender) const;
  void SetLive(int tile, bool live);
  void Journal(int tile, CameraEventKind kind);
  QString CaptionText(int tile) const;
  std::string StartRecording(int tile, VideoPlayer* player);
  bool RecordingPathTaken(const std::string& path) const;
  void Log(std::string_view utf8);

  QWidget* host_;
  Settings settings_;
  CameraEventSink* sink_;
  WallTable table_;
  std::array<VideoPlayer*, WallTable::kTiles> players_{};
  std::array<CaptionPanel*, WallTable::kTiles> captions_{};
  // The UTF-8 path each tile records into (for the collision check).
  std::array<std::string, WallTable::kTiles> recording_paths_;
  // The tile's player has written into the file its record names.
  std::array<bool, WallTable::kTiles> recording_written_{};
  // The bounds the last layout gave each tile's player.
  std::array<TileRect, WallTable::kTiles> placed_{};
  QMenu* menu_ = nullptr;
  QAction* n2_ = nullptr;
  int menu_tile_ = 0;
  bool link_shown_ = false;
  std::function<void(std::string_view)> put_close_request_;
  std::function<void(std::string_view)> log_;
  std::function<DateTime()> now_;
  std::function<void()> layout_;
};

}  // namespace korvel
