// VideoPlayer: one camera tile or the archive player, as the wall and the
// archive view see it. The widget itself is the tile: it paints the video,
// reports mouse presses and double-clicks, and can be shown full screen.
//
// The backend (GStreamer in video/gst/, a scripted fake in this folder for
// the wall's tests) lives behind this class; nothing outside those folders
// knows which one runs. Create players through a VideoPlayerFactory
// (video_player_factory.h).
//
// Threads: every member function must be called on the GUI thread, and every
// signal is emitted on the GUI thread (a backend hands its streaming-thread
// work over before it emits). No call blocks for long; results of starting
// and stopping become visible only through the signals.
#pragma once

#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>
#include <QtGlobal>

namespace korvel {

// What a player is doing. Live states follow OpenLive; file states follow
// OpenFile. A player is always in exactly one of them.
enum class PlayerState {
  kIdle,          // nothing opened, or stopped
  kConnecting,    // live source set and started, no frame yet
  kLive,          // live frames arriving (preview or recording)
  kReconnecting,  // live stream lost; the player retries on its own
  kFileOpening,   // a file is being opened
  kPlaying,       // a file is playing
  kPaused,        // a file is open and paused
};

// Texts of logText that the wall's tile handlers look for: a text beginning
// with kLogDeviceLost when a live stream drops, with kLogDeviceReconnected
// when the player has re-established it by itself.
inline constexpr char kLogDeviceLost[] = "Device lost";
inline constexpr char kLogDeviceReconnected[] = "Device reconn";

// Default and lowest accepted no-frames timeout of a live stream.
inline constexpr int kDefaultStreamTimeoutMs = 10000;
inline constexpr int kMinStreamTimeoutMs = 500;

class VideoPlayer : public QWidget {
  Q_OBJECT

 public:
  explicit VideoPlayer(QWidget* parent = nullptr);
  ~VideoPlayer() override;

  VideoPlayer(const VideoPlayer&) = delete;
  VideoPlayer& operator=(const VideoPlayer&) = delete;

  // ---- Live camera -------------------------------------------------------

  // Sets the camera's stream URL (rtsp://, rtsps://, http(s):// MJPEG, or
  // file:// for tests). Stops whatever the player was doing; starts nothing.
  virtual void OpenLive(const QString& url) = 0;
  // Time without frames after which a connected live stream counts as lost
  // (values below kMinStreamTimeoutMs are raised to it). Takes effect at the
  // next start.
  virtual void SetStreamTimeoutMs(int timeout_ms) = 0;
  // Shows the stream. previewStarted() follows when the first frame is
  // painted.
  virtual void StartPreview() = 0;
  // Shows the stream and records it into `file_path` (MP4; the folder must
  // exist). recordingStarted(file) follows when the first keyframe is written
  // (and no previewStarted(): one opening reports one start). The stream is
  // stored as the camera sends it when it is H.264 or H.265. A stream that
  // comes back in another format after a loss, or a recording that outgrows
  // what one file's index can hold (hours), goes on in a next file
  // ("name-2.mp4"...): recordingStarted(next file) again, and RecordingFile()
  // follows.
  virtual void StartRecording(const QString& file_path) = 0;
  // The file the player records into now: file_path of StartRecording, or
  // the next file when a reconnection brought a stream of another format.
  // Empty when not recording.
  virtual QString RecordingFile() const = 0;
  // Stops preview or recording. A recording is finished (its file closed and
  // complete) before the call returns.
  virtual void Stop() = 0;

  // True while live frames arrive.
  virtual bool IsLive() const = 0;
  virtual PlayerState State() const = 0;

  // ---- Full screen -------------------------------------------------------

  // Shows this player alone, full screen, on screen `monitor_index` of
  // QGuiApplication::screens() (the primary screen when there is no such
  // screen). ExitFullScreen puts it back into its tile where it was.
  virtual void SetFullScreen(int monitor_index);
  virtual void ExitFullScreen();
  virtual bool IsFullScreen() const { return full_screen_; }

  // ---- File playback -----------------------------------------------------

  // Opens a local regular file and starts playing it; opened() follows when
  // it is open, positionChanged() a few times a second while it plays.
  virtual void OpenFile(const QString& path) = 0;
  // Plays the open file from where it stands (from the start after
  // StopPlayback).
  virtual void Play() = 0;
  virtual void Pause() = 0;
  virtual void Resume() = 0;
  // Stops playing; the file stays open and the position returns to 0.
  virtual void StopPlayback() = 0;
  // Moves to frame `frame` (0-based; clamped to the file).
  virtual void SeekToFrame(qint64 frame) = 0;
  // Number of frames of the open file; 0 when the file does not tell.
  virtual qint64 FrameCount() const = 0;
  // Duration and position of the open file in 100-ns units (10 000 000 per
  // second); 0 when unknown.
  virtual qint64 Duration100ns() const = 0;
  virtual qint64 Position100ns() const = 0;
  // The frame shown now (0-based); 0 when unknown.
  virtual qint64 PositionFrame() const = 0;

 signals:
  // Live: first frame of a preview painted.
  void previewStarted();
  // Live: recording into `file` has started.
  void recordingStarted(const QString& file);
  // Live: a stream that delivered frames is lost (always together with a
  // "Device lost" log text). A camera that could not be reached at all is
  // retried without this event.
  void deviceLost();
  // Information texts; see kLogDeviceLost and kLogDeviceReconnected.
  void logText(const QString& text);
  // Mouse on the tile (any player state).
  void doubleClicked();
  void mouseDown(Qt::MouseButton button, QPoint pos);
  // File playback: the file is open (FrameCount and Duration100ns are
  // known from here on), and the frame shown now.
  void opened();
  void positionChanged(qint64 frame_number);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  bool full_screen_ = false;
  // Where the tile stood before full screen, to put it back.
  QWidget* tile_parent_ = nullptr;
  QRect tile_geometry_;
  bool tile_was_visible_ = false;
};

}  // namespace korvel
