#include "video/player/fake_video_player.h"

#include <algorithm>

namespace korvel {

FakeVideoPlayer::FakeVideoPlayer(QWidget* parent) : VideoPlayer(parent) {}
FakeVideoPlayer::~FakeVideoPlayer() = default;

void FakeVideoPlayer::Record(const char* op, const QString& arg) {
  std::string entry = op;
  if (!arg.isEmpty()) entry += ' ' + arg.toStdString();
  calls_.push_back(std::move(entry));
}

void FakeVideoPlayer::RaisePreviewStarted() {
  state_ = PlayerState::kLive;
  emit previewStarted();
}

void FakeVideoPlayer::RaiseRecordingStarted() {
  state_ = PlayerState::kLive;
  emit recordingStarted(recording_file_);
}

void FakeVideoPlayer::RaiseRecordingMovedTo(const QString& file) {
  recording_file_ = file;
  RaiseRecordingStarted();
}

void FakeVideoPlayer::RaiseDeviceLost() {
  state_ = PlayerState::kReconnecting;
  emit deviceLost();
  emit logText(QStringLiteral("Device lost: ") + url_);
}

void FakeVideoPlayer::RaiseReconnected() {
  state_ = PlayerState::kLive;
  emit logText(QStringLiteral("Device reconnected: ") + url_);
}

void FakeVideoPlayer::RaiseOpened(qint64 frame_count, qint64 duration_100ns) {
  frame_count_ = frame_count;
  duration_100ns_ = duration_100ns;
  state_ = PlayerState::kPlaying;
  emit opened();
}

void FakeVideoPlayer::RaisePosition(qint64 frame, qint64 position_100ns) {
  position_frame_ = frame;
  position_100ns_ = position_100ns;
  emit positionChanged(frame);
}

void FakeVideoPlayer::OpenLive(const QString& url) {
  Record("OpenLive", url);
  url_ = url;
  recording_file_.clear();
  state_ = PlayerState::kIdle;
}

void FakeVideoPlayer::SetStreamTimeoutMs(int timeout_ms) {
  Record("SetStreamTimeoutMs", QString::number(timeout_ms));
  stream_timeout_ms_ = std::max(timeout_ms, kMinStreamTimeoutMs);
}

void FakeVideoPlayer::StartPreview() {
  Record("StartPreview");
  recording_file_.clear();
  state_ = PlayerState::kConnecting;
}

void FakeVideoPlayer::StartRecording(const QString& file_path) {
  Record("StartRecording", file_path);
  recording_file_ = file_path;
  state_ = PlayerState::kConnecting;
}

void FakeVideoPlayer::Stop() {
  Record("Stop");
  recording_file_.clear();
  state_ = PlayerState::kIdle;
}

void FakeVideoPlayer::SetFullScreen(int monitor_index) {
  Record("SetFullScreen", QString::number(monitor_index));
  VideoPlayer::SetFullScreen(monitor_index);
}

void FakeVideoPlayer::ExitFullScreen() {
  Record("ExitFullScreen");
  VideoPlayer::ExitFullScreen();
}

void FakeVideoPlayer::OpenFile(const QString& path) {
  Record("OpenFile", path);
  file_ = path;
  frame_count_ = duration_100ns_ = position_100ns_ = position_frame_ = 0;
  state_ = PlayerState::kFileOpening;
}

void FakeVideoPlayer::Play() {
  Record("Play");
  if (!file_.isEmpty()) state_ = PlayerState::kPlaying;
}

void FakeVideoPlayer::Pause() {
  Record("Pause");
  if (state_ == PlayerState::kPlaying) state_ = PlayerState::kPaused;
}

void FakeVideoPlayer::Resume() {
  Record("Resume");
  if (state_ == PlayerState::kPaused) state_ = PlayerState::kPlaying;
}

void FakeVideoPlayer::StopPlayback() {
  Record("StopPlayback");
  position_frame_ = position_100ns_ = 0;
  if (!file_.isEmpty()) state_ = PlayerState::kIdle;
}

void FakeVideoPlayer::SeekToFrame(qint64 frame) {
  Record("SeekToFrame", QString::number(frame));
  position_frame_ = std::clamp<qint64>(frame, 0, std::max<qint64>(frame_count_ - 1, 0));
}

VideoPlayerFactory MakeFakeVideoPlayerFactory(std::vector<FakeVideoPlayer*>* created) {
  return [created](QWidget* parent) -> VideoPlayer* {
    auto* player = new FakeVideoPlayer(parent);
    created->push_back(player);
    return player;
  };
}

}  // namespace korvel
