// GstVideoPlayer: the VideoPlayer of the program, over GStreamer.
//
// A live camera runs in a LiveSession, a file in a FileSession (one at a
// time); both hand their newest frame to this widget through a FrameSlot,
// and the widget paints it, letterboxed, over a black background. This path
// works alike on an X display, under Xvfb and with QT_QPA_PLATFORM=offscreen.
//
// Live events: the first frame of a preview gives previewStarted(); with
// recording, the first keyframe written gives recordingStarted(file) instead
// (so one opening journals one "started" event). A stream that delivered
// frames and is lost gives deviceLost() and the log text "Device lost: <url>
// (<reason>)"; the player then retries by itself with growing delays, logging
// "Retry in <n> ms: <url>", and a stream that delivers frames again gives
// "Device reconnected: <url>".
//
// Threads: GUI thread only (see VideoPlayer).
#pragma once

#include <memory>

#include "video/gst/frame_slot.h"
#include "video/player/video_player.h"
#include "video/player/video_player_factory.h"

namespace korvel {

class LiveSession;
class FileSession;

class GstVideoPlayer : public VideoPlayer {
  Q_OBJECT

 public:
  explicit GstVideoPlayer(QWidget* parent = nullptr);
  ~GstVideoPlayer() override;

  void OpenLive(const QString& url) override;
  void SetStreamTimeoutMs(int timeout_ms) override;
  void StartPreview() override;
  void StartRecording(const QString& file_path) override;
  QString RecordingFile() const override;
  void Stop() override;
  bool IsLive() const override { return state_ == PlayerState::kLive; }
  PlayerState State() const override { return state_; }

  void OpenFile(const QString& path) override;
  void Play() override;
  void Pause() override;
  void Resume() override;
  void StopPlayback() override;
  void SeekToFrame(qint64 frame) override;
  qint64 FrameCount() const override;
  qint64 Duration100ns() const override;
  qint64 Position100ns() const override;
  qint64 PositionFrame() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void StartLive(const QString& record_file);
  void StopAll();

  FrameSlot frames_;
  std::unique_ptr<LiveSession> live_;
  std::unique_ptr<FileSession> file_;
  QString url_;
  int stream_timeout_ms_ = kDefaultStreamTimeoutMs;
  PlayerState state_ = PlayerState::kIdle;
};

// The factory the program hands to the wall and the archive view.
VideoPlayerFactory MakeGstVideoPlayerFactory();

}  // namespace korvel
