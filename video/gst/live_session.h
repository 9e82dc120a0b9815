// LiveSession: one opening of a live camera stream (RTSP or HTTP MJPEG),
// shown in a tile and optionally recorded to MP4.
//
// Pipeline, built once per session (the part right of the tee outlives the
// connections, so a reconnection keeps writing the same file):
//
//   [source bin: rtspsrc -> rtph26Xdepay -> h26Xparse -> watchdog
//                          (other codecs: rtspsrc -> watchdog -> parsebin)
//             | souphttpsrc -> watchdog -> parsebin] --> tee
//     tee -> queue -> decodebin (one decoding thread) -> videoscale -> videoconvert -> BGRx caps -> appsink
//     tee -> queue -> h264parse|h265parse -> mp4mux (robust) -> filesink (fsync at most every 10 s)
//            (other codecs: queue -> decodebin -> videoconvert -> x264enc -> h264parse -> mp4mux)
//
// The source bin is the only part replaced on a reconnection. Its loss is an
// error inside it (the watchdog's no-frames timeout included) or the end of
// its stream, which never passes into the tee: an EOS reaching the muxer
// would close the file. The recording branch takes buffers from the first
// keyframe of every connection on. A connection whose stream has another
// format than the first one (another codec or other codec data) restarts the
// whole pipeline, and with it the recording into the next file ("name-2.mp4",
// "name-3.mp4"...); so does a recording that outgrows the room the muxer
// reserved for its index (about four hours), without a pause in the picture.
// In both cases recordingStarted() names the new file.
//
// Threads: constructed, driven and destroyed on the GUI thread. Bus messages
// and pad callbacks arrive on streaming threads and only hand over to the GUI
// thread (queued calls bound to this object); every signal is emitted on the
// GUI thread.
#pragma once

#include <gst/gst.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include <QObject>
#include <QSize>
#include <QString>
#include <QTimer>

#include "video/gst/frame_slot.h"
#include "video/gst/gobject_ref.h"
#include "video/gst/gst_support.h"
#include "video/gst/reconnect_backoff.h"

namespace korvel {

class LiveSession : public QObject {
  Q_OBJECT

 public:
  struct Options {
    QString url;
    int stream_timeout_ms = 10000;
    QString record_file;  // empty: preview only
    QSize frame_size{320, 240};
  };

  LiveSession(Options options, FrameSlot* frames, QObject* parent = nullptr);
  // Stops like Stop().
  ~LiveSession() override;

  void Start();
  // Ends the session: the recording (if any) is drained and its file closed
  // before this returns (bounded wait), then the pipeline is torn down.
  void Stop();
  void SetFrameSize(QSize size);
  // The file recorded into now; empty when not recording.
  QString RecordingFile() const { return recording_file_; }
  bool IsLive() const { return live_; }
  // False when Start() could not build the pipeline (or after Stop()).
  bool IsRunning() const { return static_cast<bool>(pipeline_); }

 signals:
  // A new frame is in the FrameSlot.
  void frameArrived();
  // The first frame of the session.
  void firstFrame();
  // The recording into `file` has begun (its first keyframe is written).
  void recordingStarted(const QString& file);
  // A stream that delivered frames is lost / delivers frames again.
  void streamLost(const QString& reason);
  void streamBack();
  void logText(const QString& text);

 private:
  enum class Codec { kNone, kH264, kH265, kOther };

  bool BuildPipeline();
  void TearDownPipeline();
  bool ConnectSource();
  void DropSource();
  bool BuildRecordBranch(Codec codec);
  void FinishRecording();
  // Closes the current file and records on into the next one.
  void RollOver();
  void ScheduleReconnect();

  // GUI-thread halves of streaming-thread events.
  void OnBusMessage(const GstMessagePtr& message, unsigned pipeline_generation);
  void OnSourcePad(GstPad* pad, GstCaps* caps, gulong block_probe, unsigned source_generation);
  void OnSourceEnded(unsigned source_generation, const QString& reason);
  void OnFrame();
  void OnRecordingGateOpened(unsigned pipeline_generation);

  // Streaming-thread callbacks (static, user data = this).
  static GstBusSyncReply BusSyncHandler(GstBus* bus, GstMessage* message, gpointer self);
  static void OnRtspPadAdded(GstElement* src, GstPad* pad, gpointer self);
  // Blocks the source bin's stream pad and hands it to OnSourcePad.
  void HandOverSourcePad(GstObject* bin, GstPad* pad);
  static gboolean OnRtspSelectStream(GstElement* src, guint num, GstCaps* caps, gpointer self);
  static void OnParsebinPadAdded(GstElement* parsebin, GstPad* pad, gpointer self);
  static void OnDecodebinPadAdded(GstElement* decodebin, GstPad* pad, gpointer target);
  static void OnDecoderAdded(GstBin* decodebin, GstBin* sub_bin, GstElement* element, gpointer);
  static int OnDecodebinAutoplugSelect(GstElement* decodebin, GstPad* pad, GstCaps* caps,
                                       GstElementFactory* factory, gpointer);
  static GstPadProbeReturn SourceEventProbe(GstPad* pad, GstPadProbeInfo* info, gpointer self);
  static GstPadProbeReturn KeyframeGateProbe(GstPad* pad, GstPadProbeInfo* info, gpointer self);
  // Lets the muxer's fsync requests through at most every few seconds
  // (user data: the time of the last one).
  static GstPadProbeReturn SpaceOutSyncProbe(GstPad* pad, GstPadProbeInfo* info, gpointer last_sync_us);
  static GstFlowReturn OnNewSample(GstElement* appsink, gpointer self);

  // Source bins being shut down on GStreamer worker threads.
  struct PendingTeardowns {
    std::mutex mutex;
    std::condition_variable done_cv;
    int count = 0;  // guarded by mutex
  };

  Options options_;
  FrameSlot* frames_;
  std::shared_ptr<PendingTeardowns> teardowns_ = std::make_shared<PendingTeardowns>();

  GObjectRef<GstElement> pipeline_;
  GstElement* tee_ = nullptr;           // owned by pipeline_
  GstElement* frame_caps_ = nullptr;    // owned by pipeline_
  GstElement* source_bin_ = nullptr;    // owned by pipeline_; null between connections
  GstPad* source_pad_ = nullptr;        // source_bin_'s ghost pad once linked (owned by it)
  GstPad* source_probe_pad_ = nullptr;  // where source_event_probe_ sits (owned by its bin)
  gulong source_event_probe_ = 0;
  GstPad* record_tee_pad_ = nullptr;    // requested from tee_; released in TearDownPipeline
  GstElement* record_queue_ = nullptr;  // owned by pipeline_
  GstElement* record_sink_ = nullptr;   // owned by pipeline_
  GstElement* record_mux_ = nullptr;    // owned by pipeline_
  std::vector<GstElement*> record_elements_;  // the recording branch, owned by pipeline_

  // Generations let the GUI thread ignore hand-overs from a pipeline or a
  // source bin that has gone since they were queued.
  std::atomic<unsigned> pipeline_generation_{0};
  std::atomic<unsigned> source_generation_{0};
  GstCaps* first_caps_ = nullptr;  // format of the first connection (owned)
  Codec codec_ = Codec::kNone;

  std::atomic<bool> frame_pending_{false};
  std::atomic<bool> gate_open_{false};   // recording branch passes buffers
  bool recording_announced_ = false;     // recordingStarted emitted for recording_file_
  bool connected_ = false;               // this connection delivered a frame
  bool ever_live_ = false;               // the session delivered a frame
  bool live_ = false;
  int file_index_ = 1;                   // 2, 3... after format changes
  QString recording_file_;
  ReconnectBackoff backoff_;
  QTimer reconnect_timer_;
  QTimer room_timer_;  // watches the muxer's room for the index
};

}  // namespace korvel
