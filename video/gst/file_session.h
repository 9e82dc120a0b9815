// FileSession: playback of one local recording in the archive player.
//
//   playbin (video only) -> [videoscale -> videoconvert -> BGRx caps -> appsink]
//
// Positions are reported in 100-ns units and frames; the frame count comes
// from the duration and the frame rate of the decoded stream, and is 0 when
// the file has no constant frame rate to tell it by (callers must cope).
//
// Threads: constructed, driven and destroyed on the GUI thread; bus messages
// and frames are handed over from streaming threads; signals are emitted on
// the GUI thread.
#pragma once

#include <gst/gst.h>

#include <atomic>

#include <QObject>
#include <QSize>
#include <QString>
#include <QTimer>

#include "video/gst/frame_slot.h"
#include "video/gst/gobject_ref.h"
#include "video/gst/gst_support.h"

namespace korvel {

class FileSession : public QObject {
  Q_OBJECT

 public:
  // How often positionChanged is emitted while playing.
  static constexpr int kPositionPeriodMs = 200;

  FileSession(QString path, QSize frame_size, FrameSlot* frames, QObject* parent = nullptr);
  ~FileSession() override;

  // Starts opening and playing; false (nothing started) when the path is not
  // a readable regular file.
  bool Open();
  void Play();
  void Pause();
  void Resume();
  // Back to the start, not playing; Play() plays again.
  void Stop();
  void SeekToFrame(qint64 frame);
  void SetFrameSize(QSize size);

  bool IsOpened() const { return opened_; }
  bool IsPlaying() const { return playing_; }
  qint64 FrameCount() const { return frame_count_; }
  qint64 Duration100ns() const { return duration_ns_ / 100; }
  qint64 Position100ns() const;
  qint64 PositionFrame() const;

 signals:
  void opened();
  void positionChanged(qint64 frame_number);
  void frameArrived();
  void ended();
  void logText(const QString& text);

 private:
  void OnBusMessage(const GstMessagePtr& message);
  void OnFrame();
  void ReadStreamFacts();
  void SetPlaying(bool playing);
  qint64 PositionNs() const;

  static GstBusSyncReply BusSyncHandler(GstBus* bus, GstMessage* message, gpointer self);
  static GstFlowReturn OnNewSample(GstElement* appsink, gpointer self);

  QString path_;
  QSize frame_size_;
  FrameSlot* frames_;
  GObjectRef<GstElement> playbin_;
  GstElement* frame_caps_ = nullptr;  // owned by playbin_
  GstElement* appsink_ = nullptr;     // owned by playbin_
  std::atomic<bool> frame_pending_{false};
  bool opened_ = false;
  bool playing_ = false;
  bool stopped_ = false;   // Stop() was called; playbin is at READY
  bool at_end_ = false;
  qint64 duration_ns_ = 0;
  qint64 frame_count_ = 0;
  int fps_num_ = 0;
  int fps_den_ = 1;
  QTimer position_timer_;
};

}  // namespace korvel
