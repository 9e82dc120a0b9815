// The tile players' event handlers. Every player shares them; the tile is
// found from the sender's name through the tile order table.
#include <QGuiApplication>

#include "platform/codepage.h"
#include "video/wall/video_wall.h"

namespace korvel {

int VideoWall::TileOf(VideoPlayer* sender) const {
  if (sender == nullptr) return -1;
  return table_.FindTileByPlayerName(sender->objectName().toStdString());
}

void VideoWall::SetLive(int tile, bool live) {
  table_.set_live(tile, live);
  // While the link is down the caption is the red notice; its white text
  // stays until the next layout gives the panel back its caption look.
  if (link_shown_) captions_[tile]->SetTextColor(live ? CaptionPanel::kGreen : CaptionPanel::kRed);
}

void VideoWall::Journal(int tile, CameraEventKind kind) {
  // A stopped player's late event has no camera left to journal.
  if (sink_ == nullptr || !table_.record(tile).occupied()) return;
  SendCameraEvent(*sink_, table_.record(tile), kind, settings_.video_place, now_());
}

void VideoWall::TilePreviewStarted(VideoPlayer* sender) {
  const int t = TileOf(sender);
  if (t < 0) return;
  SetLive(t, true);
  Journal(t, CameraEventKind::kPreviewStarted);
}

void VideoWall::TileRecordingStarted(VideoPlayer* sender, const QString& /*file*/) {
  const int t = TileOf(sender);
  if (t < 0) return;
  // A reconnection that brought a stream of another format (or a recording
  // that filled its file) goes on in a new file. The finished file is
  // journaled as closed, so the archive lists it like any other; then the
  // record follows the player, so the next "closed" names the new file.
  const std::string now_recording = sender->RecordingFile().toStdString();
  if (table_.record(t).occupied() && !now_recording.empty()) {
    const std::string file = Utf8ToCp1251(now_recording);
    if (recording_written_[t] && file != table_.record(t).recording_file) Journal(t, CameraEventKind::kClosed);
    table_.record(t).recording_file = file;
    recording_paths_[t] = now_recording;
    recording_written_[t] = true;
  }
  SetLive(t, true);
  Journal(t, CameraEventKind::kRecordingStarted);
}

void VideoWall::TileDeviceLost(VideoPlayer* sender) {
  const int t = TileOf(sender);
  if (t < 0) return;
  SetLive(t, false);
}

void VideoWall::TileLog(VideoPlayer* sender, const QString& text) {
  const int t = TileOf(sender);
  if (t < 0) return;
  const std::string utf8 = text.toStdString();
  if (IsDeviceLostLog(utf8)) {
    SetLive(t, false);
    Journal(t, CameraEventKind::kLost);
  }
  if (IsDeviceReconnLog(utf8)) {
    SetLive(t, true);
    Journal(t, CameraEventKind::kReconnected);
  }
  // What a player reports (losses, a recording that cannot be written, a
  // stream it cannot open) also goes to the diagnostic log, with the camera.
  if (table_.record(t).occupied()) {
    Log(Cp1251ToUtf8(table_.record(t).nameobj) + " - " + Cp1251ToUtf8(table_.record(t).name) +
        ": " + utf8);
  }
}

void VideoWall::TileDoubleClick(VideoPlayer* sender) {
  if (sender == nullptr) return;
  if (sender->IsFullScreen()) {
    sender->ExitFullScreen();
  } else {
    sender->SetFullScreen(settings_.dfsm);
  }
}

void VideoWall::VideoGrabber1MouseDown(VideoPlayer* sender) {
  if (sender == nullptr) return;
  menu_tile_ = TileNumberFromPlayerName(sender->objectName().toStdString());
}

}  // namespace korvel
