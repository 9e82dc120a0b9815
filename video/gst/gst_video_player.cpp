#include "video/gst/gst_video_player.h"

#include <algorithm>

#include <QPainter>
#include <QRegion>
#include <QResizeEvent>
#include <QUrl>

#include "video/gst/file_session.h"
#include "video/gst/live_session.h"

namespace korvel {

GstVideoPlayer::GstVideoPlayer(QWidget* parent) : VideoPlayer(parent) {
  EnsureGstreamer();
  // Every pixel is painted in paintEvent.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

GstVideoPlayer::~GstVideoPlayer() { StopAll(); }

void GstVideoPlayer::StopAll() {
  live_.reset();  // a recording is finished here
  file_.reset();
  frames_.Clear();
  state_ = PlayerState::kIdle;
  update();
}

void GstVideoPlayer::OpenLive(const QString& url) {
  StopAll();
  url_ = url;
}

void GstVideoPlayer::SetStreamTimeoutMs(int timeout_ms) {
  stream_timeout_ms_ = std::max(timeout_ms, kMinStreamTimeoutMs);
}

void GstVideoPlayer::StartPreview() { StartLive({}); }

void GstVideoPlayer::StartRecording(const QString& file_path) { StartLive(file_path); }

void GstVideoPlayer::StartLive(const QString& record_file) {
  StopAll();
  if (url_.isEmpty()) return;
  LiveSession::Options options;
  options.url = url_;
  options.stream_timeout_ms = stream_timeout_ms_;
  options.record_file = record_file;
  options.frame_size = size();
  live_ = std::make_unique<LiveSession>(options, &frames_);
  LiveSession* session = live_.get();
  const bool recording = !record_file.isEmpty();
  connect(session, &LiveSession::frameArrived, this, qOverload<>(&QWidget::update));
  connect(session, &LiveSession::firstFrame, this, [this, recording] {
    state_ = PlayerState::kLive;
    if (!recording) emit previewStarted();
  });
  connect(session, &LiveSession::recordingStarted, this, [this](const QString& file) {
    emit recordingStarted(file);
  });
  connect(session, &LiveSession::streamLost, this, [this](const QString& reason) {
    state_ = PlayerState::kReconnecting;
    emit deviceLost();
    emit logText(QStringLiteral("Device lost: ") + url_ + " (" + reason + ")");
  });
  connect(session, &LiveSession::streamBack, this, [this] {
    state_ = PlayerState::kLive;
    emit logText(QStringLiteral("Device reconnected: ") + url_);
  });
  connect(session, &LiveSession::logText, this, &VideoPlayer::logText);
  session->Start();
  state_ = session->IsRunning() ? PlayerState::kConnecting : PlayerState::kIdle;
}

QString GstVideoPlayer::RecordingFile() const { return live_ ? live_->RecordingFile() : QString(); }

void GstVideoPlayer::Stop() {
  live_.reset();
  frames_.Clear();
  if (!file_) state_ = PlayerState::kIdle;
  update();
}

void GstVideoPlayer::OpenFile(const QString& path) {
  StopAll();
  const QUrl url(path);
  const QString local = url.isLocalFile() ? url.toLocalFile() : path;
  file_ = std::make_unique<FileSession>(local, size(), &frames_);
  FileSession* session = file_.get();
  connect(session, &FileSession::frameArrived, this, qOverload<>(&QWidget::update));
  connect(session, &FileSession::opened, this, [this] {
    if (state_ == PlayerState::kFileOpening) state_ = PlayerState::kPlaying;
    emit opened();
  });
  connect(session, &FileSession::positionChanged, this, &VideoPlayer::positionChanged);
  connect(session, &FileSession::ended, this, [this] { state_ = PlayerState::kPaused; });
  connect(session, &FileSession::logText, this, &VideoPlayer::logText);
  state_ = PlayerState::kFileOpening;
  if (!session->Open()) {
    file_.reset();
    state_ = PlayerState::kIdle;
  }
}

void GstVideoPlayer::Play() {
  if (!file_) return;
  file_->Play();
  state_ = file_->IsOpened() ? PlayerState::kPlaying : PlayerState::kFileOpening;
}

void GstVideoPlayer::Pause() {
  if (!file_) return;
  file_->Pause();
  state_ = PlayerState::kPaused;
}

void GstVideoPlayer::Resume() {
  if (!file_) return;
  file_->Resume();
  state_ = file_->IsOpened() ? PlayerState::kPlaying : PlayerState::kFileOpening;
}

void GstVideoPlayer::StopPlayback() {
  if (!file_) return;
  file_->Stop();
  state_ = PlayerState::kIdle;
}

void GstVideoPlayer::SeekToFrame(qint64 frame) {
  if (file_) file_->SeekToFrame(frame);
}

qint64 GstVideoPlayer::FrameCount() const { return file_ ? file_->FrameCount() : 0; }
qint64 GstVideoPlayer::Duration100ns() const { return file_ ? file_->Duration100ns() : 0; }
qint64 GstVideoPlayer::Position100ns() const { return file_ ? file_->Position100ns() : 0; }
qint64 GstVideoPlayer::PositionFrame() const { return file_ ? file_->PositionFrame() : 0; }

void GstVideoPlayer::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QImage frame = frames_.Take();
  if (frame.isNull()) {
    painter.fillRect(rect(), Qt::black);
    return;
  }
  // The pipeline scales to the tile; a frame of the previous size (the tile
  // was just resized) is fitted until the next one arrives.
  QSize target = frame.size().scaled(size(), Qt::KeepAspectRatio);
  const QRect where(QPoint((width() - target.width()) / 2, (height() - target.height()) / 2), target);
  // Only the margins around the picture are filled: sixteen tiles repainted
  // 25 times a second would otherwise write every pixel twice.
  const QRegion margins = QRegion(rect()).subtracted(where);
  for (const QRect& margin : margins) painter.fillRect(margin, Qt::black);
  if (where.size() == frame.size()) {
    painter.drawImage(where.topLeft(), frame);  // a plain copy, no scaling
  } else {
    painter.drawImage(where, frame);
  }
}

void GstVideoPlayer::resizeEvent(QResizeEvent* event) {
  VideoPlayer::resizeEvent(event);
  if (live_) live_->SetFrameSize(event->size());
  if (file_) file_->SetFrameSize(event->size());
}

VideoPlayerFactory MakeGstVideoPlayerFactory() {
  return [](QWidget* parent) -> VideoPlayer* { return new GstVideoPlayer(parent); };
}

}  // namespace korvel
