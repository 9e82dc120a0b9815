// FakeVideoPlayer: a VideoPlayer without video, for tests of the wall, the
// tile events and the archive view. It records every call made on it and lets
// the test raise the player's events by hand, in any order.
//
// Threads: GUI thread only, like every player.
#pragma once

#include <string>
#include <vector>

#include "video/player/video_player.h"
#include "video/player/video_player_factory.h"

namespace korvel {

class FakeVideoPlayer : public VideoPlayer {
  Q_OBJECT

 public:
  explicit FakeVideoPlayer(QWidget* parent = nullptr);
  ~FakeVideoPlayer() override;

  // ---- What the code under test called, in order -------------------------
  // One entry per call: the operation's name, then its argument after a
  // space when it has one: "OpenLive rtsp://h/x", "SetStreamTimeoutMs 10000",
  // "StartPreview", "StartRecording /s/a.mp4", "Stop", "SetFullScreen 1",
  // "ExitFullScreen", "OpenFile /s/a.mp4", "Play", "Pause", "Resume",
  // "StopPlayback", "SeekToFrame 497".
  const std::vector<std::string>& Calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }
  const QString& Url() const { return url_; }
  int StreamTimeoutMs() const { return stream_timeout_ms_; }
  const QString& OpenedFile() const { return file_; }

  // ---- Events a test raises ----------------------------------------------
  // Each sets the state a real player would be in, then emits.
  void RaisePreviewStarted();                      // kLive, previewStarted()
  void RaiseRecordingStarted();                    // kLive, recordingStarted(file)
  void RaiseRecordingMovedTo(const QString& file);  // the recording goes on in `file`
  void RaiseDeviceLost();                          // kReconnecting, deviceLost() + "Device lost"
  void RaiseReconnected();                         // kLive, "Device reconnected"
  void RaiseLog(const QString& text) { emit logText(text); }
  void RaiseDoubleClick() { emit doubleClicked(); }
  void RaiseMouseDown(Qt::MouseButton button = Qt::LeftButton, QPoint pos = {}) {
    emit mouseDown(button, pos);
  }
  // File playback: what the open file reports, then opened().
  void RaiseOpened(qint64 frame_count, qint64 duration_100ns);
  // Moves the position and emits positionChanged(frame).
  void RaisePosition(qint64 frame, qint64 position_100ns);

  // ---- VideoPlayer -------------------------------------------------------
  void OpenLive(const QString& url) override;
  void SetStreamTimeoutMs(int timeout_ms) override;
  void StartPreview() override;
  void StartRecording(const QString& file_path) override;
  QString RecordingFile() const override { return recording_file_; }
  void Stop() override;
  bool IsLive() const override { return state_ == PlayerState::kLive; }
  PlayerState State() const override { return state_; }
  void SetFullScreen(int monitor_index) override;
  void ExitFullScreen() override;
  void OpenFile(const QString& path) override;
  void Play() override;
  void Pause() override;
  void Resume() override;
  void StopPlayback() override;
  void SeekToFrame(qint64 frame) override;
  qint64 FrameCount() const override { return frame_count_; }
  qint64 Duration100ns() const override { return duration_100ns_; }
  qint64 Position100ns() const override { return position_100ns_; }
  qint64 PositionFrame() const override { return position_frame_; }

 private:
  void Record(const char* op, const QString& arg = {});

  std::vector<std::string> calls_;
  PlayerState state_ = PlayerState::kIdle;
  QString url_;
  int stream_timeout_ms_ = kDefaultStreamTimeoutMs;
  QString recording_file_;
  QString file_;
  qint64 frame_count_ = 0;
  qint64 duration_100ns_ = 0;
  qint64 position_100ns_ = 0;
  qint64 position_frame_ = 0;
};

// A factory of fake players that appends each player it makes to `*created`
// (which must outlive the factory's use), so a test reaches them by index.
VideoPlayerFactory MakeFakeVideoPlayerFactory(std::vector<FakeVideoPlayer*>* created);

}  // namespace korvel
