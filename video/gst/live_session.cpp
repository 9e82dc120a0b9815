#include "video/gst/live_session.h"

#include <gst/app/gstappsink.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <QFile>
#include <QFileInfo>
#include <QUrl>

namespace korvel {
namespace {

// The muxer keeps room at the start of the file for the index of this much
// recording and rewrites it there every second, so the file is complete (its
// duration right) at every moment, whatever happens to the process.
// The room is sparse on disk until used. A recording that nears the end of
// its room goes on in the next file (RollOver), as the muxer would fail.
constexpr guint64 kReservedMaxDurationNs = 4ull * 3600 * GST_SECOND;
constexpr guint64 kRollOverRemainingNs = 120ull * GST_SECOND;
constexpr int kRoomCheckPeriodMs = 10000;
constexpr guint64 kMoovUpdatePeriodNs = 1 * GST_SECOND;
// The muxer asks for an fsync after every index update. A killed process
// needs none (what was written is in the page cache), only a power cut
// does; one fsync a second for each of sixteen cameras costs as much CPU as
// the rest of the recording and keeps a small machine's disk seeking. The
// file is made durable at most this often instead.
constexpr gint64 kDurableEveryUs = 10 * G_USEC_PER_SEC;
// How long Stop() waits for the recording branch to drain its end of stream.
constexpr auto kDrainTimeout = std::chrono::seconds(5);
// Latency of the RTSP jitter buffer: low for a live wall.
constexpr guint kRtspLatencyMs = 200;

constexpr char kGenerationKey[] = "korvel-source-generation";
constexpr char kWatchdogName[] = "watchdog";

template <typename F>
void PostToGui(QObject* context, F&& work) {
  QMetaObject::invokeMethod(context, std::forward<F>(work), Qt::QueuedConnection);
}

using CapsPtr = std::shared_ptr<GstCaps>;
CapsPtr HoldCaps(GstCaps* owned) {
  return CapsPtr(owned, [](GstCaps* c) {
    if (c != nullptr) gst_caps_unref(c);
  });
}
using PadPtr = std::shared_ptr<GstPad>;
PadPtr HoldPad(GstPad* owned) {
  return PadPtr(owned, [](GstPad* p) {
    if (p != nullptr) gst_object_unref(p);
  });
}

// True when two connections carry the same stream as far as the recording
// is concerned: same codec, picture size and codec data.
bool SameFormat(const GstCaps* a, const GstCaps* b) {
  if (gst_caps_get_size(a) == 0 || gst_caps_get_size(b) == 0) return false;
  const GstStructure* sa = gst_caps_get_structure(a, 0);
  const GstStructure* sb = gst_caps_get_structure(b, 0);
  if (!gst_structure_has_name(sb, gst_structure_get_name(sa))) return false;
  for (const char* field : {"width", "height", "codec_data"}) {
    const GValue* va = gst_structure_get_value(sa, field);
    const GValue* vb = gst_structure_get_value(sb, field);
    if (va != nullptr && vb != nullptr && gst_value_compare(va, vb) != GST_VALUE_EQUAL) return false;
  }
  return true;
}

bool IsVideoCaps(const GstCaps* caps) {
  if (caps == nullptr || gst_caps_get_size(caps) == 0) return false;
  const char* name = gst_structure_get_name(gst_caps_get_structure(caps, 0));
  return g_str_has_prefix(name, "video/") || g_str_has_prefix(name, "image/");
}

QString NumberedFileName(const QString& first, int index) {
  const QFileInfo info(first);
  const QString suffix = info.suffix().isEmpty() ? QString() : "." + info.suffix();
  return info.path() + "/" + info.completeBaseName() + "-" + QString::number(index) + suffix;
}

}  // namespace

LiveSession::LiveSession(Options options, FrameSlot* frames, QObject* parent)
    : QObject(parent), options_(std::move(options)), frames_(frames) {
  EnsureGstreamer();
  room_timer_.setInterval(kRoomCheckPeriodMs);
  connect(&room_timer_, &QTimer::timeout, this, [this] {
    if (record_mux_ == nullptr) return;
    guint64 remaining_ns = GST_CLOCK_TIME_NONE;
    g_object_get(record_mux_, "reserved-duration-remaining", &remaining_ns, nullptr);
    if (remaining_ns != GST_CLOCK_TIME_NONE && remaining_ns < kRollOverRemainingNs) RollOver();
  });
  reconnect_timer_.setSingleShot(true);
  connect(&reconnect_timer_, &QTimer::timeout, this, [this] {
    if (!pipeline_ || source_bin_ != nullptr || !ConnectSource()) return;
    // A first connection that failed while the pipeline was still starting
    // leaves the pipeline short of playing; ask again (no-op otherwise).
    gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING);
  });
}

LiveSession::~LiveSession() { Stop(); }

void LiveSession::Start() {
  if (pipeline_) return;
  const QString scheme = QUrl(options_.url).scheme().toLower();
  if (scheme != "rtsp" && scheme != "rtsps" && scheme != "http" && scheme != "https") {
    emit logText("Unsupported stream address: " + options_.url);
    return;
  }
  recording_file_ = options_.record_file;
  if (!BuildPipeline() || !ConnectSource()) {
    emit logText("Video pipeline cannot be built for " + options_.url);
    TearDownPipeline();
    return;
  }
  gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING);
}

void LiveSession::Stop() {
  reconnect_timer_.stop();
  room_timer_.stop();
  if (!pipeline_) return;
  FinishRecording();
  TearDownPipeline();
  recording_file_.clear();
}

void LiveSession::SetFrameSize(QSize size) {
  options_.frame_size = size;
  if (frame_caps_ != nullptr) {
    GstCaps* caps = NewFrameCaps(size);
    g_object_set(frame_caps_, "caps", caps, nullptr);
    gst_caps_unref(caps);
  }
}

bool LiveSession::BuildPipeline() {
  ++pipeline_generation_;
  pipeline_.Reset(GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new(nullptr))));
  tee_ = MakeElement("tee");
  GstElement* queue = MakeElement("queue");
  GstElement* decode = MakeElement("decodebin");
  GstElement* scale = MakeElement("videoscale");
  GstElement* convert = MakeElement("videoconvert");
  frame_caps_ = MakeElement("capsfilter");
  GstElement* sink = MakeElement("appsink");
  for (GstElement* e : {tee_, queue, decode, scale, convert, frame_caps_, sink}) {
    if (e == nullptr) {
      for (GstElement* made : {tee_, queue, decode, scale, convert, frame_caps_, sink}) {
        if (made != nullptr) gst_object_unref(gst_object_ref_sink(made));
      }
      tee_ = frame_caps_ = nullptr;
      pipeline_.Reset();
      return false;
    }
  }
  g_object_set(tee_, "allow-not-linked", TRUE, nullptr);
  // The display may fall behind; it drops old frames rather than hold up
  // the recording.
  g_object_set(queue, "leaky", 2, "max-size-buffers", 16u, "max-size-bytes", 0u, "max-size-time",
               guint64{0}, nullptr);
  // Sixteen tiles decode and scale sixteen streams: the cheapest scaling
  // and conversion keep the wall within a small margin of the decoding's own
  // cost (bilinear scaling and dithering would add about half of it again).
  gst_util_set_object_arg(G_OBJECT(scale), "method", "nearest-neighbour");
  gst_util_set_object_arg(G_OBJECT(convert), "dither", "none");
  gst_util_set_object_arg(G_OBJECT(convert), "chroma-mode", "none");
  SetFrameSize(options_.frame_size);
  g_object_set(sink, "max-buffers", 1u, "drop", TRUE, "sync", FALSE, "enable-last-sample", FALSE,
               nullptr);
  GstAppSinkCallbacks callbacks{};
  callbacks.new_sample = [](GstAppSink* appsink, gpointer self) {
    return OnNewSample(GST_ELEMENT(appsink), self);
  };
  gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, this, nullptr);

  gst_bin_add_many(GST_BIN(pipeline_.get()), tee_, queue, decode, scale, convert, frame_caps_, sink,
                   nullptr);
  gst_element_link_many(tee_, queue, decode, nullptr);
  gst_element_link_many(scale, convert, frame_caps_, sink, nullptr);
  g_signal_connect(decode, "pad-added", G_CALLBACK(OnDecodebinPadAdded), scale);
  g_signal_connect(decode, "autoplug-select", G_CALLBACK(OnDecodebinAutoplugSelect), nullptr);
  g_signal_connect(decode, "deep-element-added", G_CALLBACK(OnDecoderAdded), nullptr);

  GstBus* bus = gst_element_get_bus(pipeline_.get());
  gst_bus_set_sync_handler(bus, BusSyncHandler, this, nullptr);
  gst_object_unref(bus);
  return true;
}

void LiveSession::TearDownPipeline() {
  if (!pipeline_) return;
  ++pipeline_generation_;
  ++source_generation_;
  {
    // Source bins still shutting down on worker threads finish first.
    std::unique_lock lock(teardowns_->mutex);
    if (!teardowns_->done_cv.wait_for(lock, kDrainTimeout, [&] { return teardowns_->count == 0; })) {
      std::fprintf(stderr, "video: a camera connection is slow to close\n");
    }
  }
  GstBus* bus = gst_element_get_bus(pipeline_.get());
  gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
  gst_object_unref(bus);
  gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
  if (record_tee_pad_ != nullptr) {
    gst_element_release_request_pad(tee_, record_tee_pad_);
    gst_object_unref(record_tee_pad_);
    record_tee_pad_ = nullptr;
  }
  pipeline_.Reset();
  tee_ = frame_caps_ = source_bin_ = record_queue_ = record_sink_ = record_mux_ = nullptr;
  record_elements_.clear();
  source_pad_ = source_probe_pad_ = nullptr;
  source_event_probe_ = 0;
  if (first_caps_ != nullptr) gst_caps_unref(first_caps_);
  first_caps_ = nullptr;
  codec_ = Codec::kNone;
  live_ = connected_ = false;
  gate_open_ = false;
}

bool LiveSession::ConnectSource() {
  const unsigned generation = ++source_generation_;
  connected_ = false;
  GstElement* bin = gst_bin_new(nullptr);
  g_object_set_data(G_OBJECT(bin), kGenerationKey, GUINT_TO_POINTER(generation));
  GstElement* watchdog = MakeElement("watchdog", kWatchdogName);
  const QByteArray url = options_.url.toUtf8();
  const bool rtsp = options_.url.startsWith("rtsp", Qt::CaseInsensitive);
  // RTSP streams get their depayloader and parser when the stream's format
  // is known (OnRtspPadAdded); HTTP streams go through parsebin.
  GstElement* parse = rtsp ? gst_bin_new(nullptr) : MakeElement("parsebin");
  GstElement* src = MakeElement(rtsp ? "rtspsrc" : "souphttpsrc");
  if (watchdog == nullptr || parse == nullptr || src == nullptr) {
    for (GstElement* e : {watchdog, parse, src}) {
      if (e != nullptr) gst_object_unref(gst_object_ref_sink(e));
    }
    gst_object_unref(gst_object_ref_sink(bin));
    return false;
  }
  // The address is a property, never part of a pipeline description.
  g_object_set(src, "location", url.constData(), nullptr);
  // The watchdog fails the connection when nothing reaches it for this long
  // (frames, behind an RTSP stream's parser; data, in front of parsebin),
  // the handshake included: a frozen camera counts as lost.
  g_object_set(watchdog, "timeout", options_.stream_timeout_ms, nullptr);
  if (rtsp) {
    gst_object_unref(gst_object_ref_sink(parse));
    gst_bin_add_many(GST_BIN(bin), src, watchdog, nullptr);
    // Interleaved TCP: a camera that goes away ends the stream at once.
    gst_util_set_object_arg(G_OBJECT(src), "protocols", "tcp");
    g_object_set(src, "latency", kRtspLatencyMs, nullptr);
    g_signal_connect(src, "select-stream", G_CALLBACK(OnRtspSelectStream), this);
    g_signal_connect(src, "pad-added", G_CALLBACK(OnRtspPadAdded), this);
  } else {
    gst_bin_add_many(GST_BIN(bin), src, watchdog, parse, nullptr);
    g_object_set(src, "is-live", TRUE, "do-timestamp", TRUE, nullptr);
    gst_element_link_many(src, watchdog, parse, nullptr);
    g_signal_connect(parse, "pad-added", G_CALLBACK(OnParsebinPadAdded), this);
  }

  source_bin_ = bin;
  source_pad_ = nullptr;
  gst_bin_add(GST_BIN(pipeline_.get()), bin);
  gst_element_sync_state_with_parent(bin);
  return true;
}

void LiveSession::DropSource() {
  ++source_generation_;
  if (source_bin_ == nullptr) return;
  if (source_pad_ != nullptr) {
    if (GstPad* peer = gst_pad_get_peer(source_pad_)) {
      gst_pad_unlink(source_pad_, peer);
      gst_object_unref(peer);
    }
  }
  GstElement* bin = source_bin_;
  source_bin_ = nullptr;
  source_pad_ = nullptr;
  // No callback of the old bin may reach this object any more: its
  // streaming threads end on another thread, maybe after this object.
  GstIterator* children = gst_bin_iterate_recurse(GST_BIN(bin));
  gst_iterator_foreach(
      children,
      [](const GValue* item, gpointer self) {
        g_signal_handlers_disconnect_by_data(g_value_get_object(item), self);
      },
      this);
  gst_iterator_free(children);
  if (source_event_probe_ != 0 && source_probe_pad_ != nullptr) {
    gst_pad_remove_probe(source_probe_pad_, source_event_probe_);
  }
  source_event_probe_ = 0;
  source_probe_pad_ = nullptr;
  // The RTSP source's teardown may wait on a stalled server: shut the bin
  // down on a GStreamer worker thread, not on the GUI thread. The pipeline's
  // teardown waits for these (TearDownPipeline).
  {
    std::lock_guard lock(teardowns_->mutex);
    ++teardowns_->count;
  }
  gst_element_call_async(
      bin,
      [](GstElement* element, gpointer data) {
        gst_element_set_state(element, GST_STATE_NULL);
        if (GstObject* parent = gst_object_get_parent(GST_OBJECT(element))) {
          gst_bin_remove(GST_BIN(parent), element);
          gst_object_unref(parent);
        }
        auto& pending = **static_cast<std::shared_ptr<PendingTeardowns>*>(data);
        std::lock_guard lock(pending.mutex);
        --pending.count;
        pending.done_cv.notify_all();
      },
      new std::shared_ptr<PendingTeardowns>(teardowns_),
      [](gpointer data) { delete static_cast<std::shared_ptr<PendingTeardowns>*>(data); });
}

bool LiveSession::BuildRecordBranch(Codec codec) {
  // Named so that the recording's threads ("rec-queue:src", "rec-mux:src")
  // can be told apart in top -H and by the wall benchmark.
  GstElement* queue = MakeElement("queue", "rec-queue");
  GstElement* mux = MakeElement("mp4mux", "rec-mux");
  GstElement* sink = MakeElement("filesink", "rec-file");
  std::vector<GstElement*> middle;
  if (codec == Codec::kH264) {
    middle = {MakeElement("h264parse")};
  } else if (codec == Codec::kH265) {
    middle = {MakeElement("h265parse")};
  } else {
    // Not H.264/H.265: decoded and encoded as H.264 for the MP4 file.
    middle = {MakeElement("decodebin"), MakeElement("videoconvert"), MakeElement("x264enc"),
              MakeElement("h264parse")};
  }
  std::vector<GstElement*> all = {queue};
  all.insert(all.end(), middle.begin(), middle.end());
  all.push_back(mux);
  all.push_back(sink);
  for (GstElement* e : all) {
    if (e == nullptr) {
      for (GstElement* made : all) {
        if (made != nullptr) gst_object_unref(gst_object_ref_sink(made));
      }
      return false;
    }
  }
  // The recording never drops data; the queue absorbs a slow disk.
  g_object_set(queue, "max-size-buffers", 0u, "max-size-bytes", 0u, "max-size-time",
               guint64{5 * GST_SECOND}, nullptr);
  g_object_set(mux, "reserved-max-duration", kReservedMaxDurationNs, "reserved-moov-update-period",
               kMoovUpdatePeriodNs, nullptr);
  const QByteArray path = QFile::encodeName(recording_file_);
  g_object_set(sink, "location", path.constData(), "async", FALSE, "sync", FALSE, nullptr);
  if (codec == Codec::kOther) {
    gst_util_set_object_arg(G_OBJECT(middle[2]), "tune", "zerolatency");
    gst_util_set_object_arg(G_OBJECT(middle[2]), "speed-preset", "veryfast");
  }
  for (GstElement* e : all) gst_bin_add(GST_BIN(pipeline_.get()), e);
  bool linked = true;
  if (codec == Codec::kOther) {
    linked = gst_element_link(queue, middle[0]) &&
             gst_element_link_many(middle[1], middle[2], middle[3], mux, sink, nullptr);
    g_signal_connect(middle[0], "pad-added", G_CALLBACK(OnDecodebinPadAdded), middle[1]);
  } else {
    linked = gst_element_link_many(queue, middle[0], mux, sink, nullptr);
  }
  for (auto it = all.rbegin(); it != all.rend(); ++it) gst_element_sync_state_with_parent(*it);
  record_queue_ = queue;
  record_sink_ = sink;
  GstPad* sink_pad = gst_element_get_static_pad(sink, "sink");
  gst_pad_add_probe(sink_pad, GST_PAD_PROBE_TYPE_BUFFER, SpaceOutSyncProbe, new gint64{0},
                    [](gpointer last_sync_us) { delete static_cast<gint64*>(last_sync_us); });
  gst_object_unref(sink_pad);
  record_mux_ = mux;
  record_elements_ = all;
  room_timer_.start();
  recording_announced_ = false;
  gate_open_ = false;
  record_tee_pad_ = gst_element_request_pad_simple(tee_, "src_%u");
  gst_pad_add_probe(record_tee_pad_, GST_PAD_PROBE_TYPE_BUFFER, KeyframeGateProbe, this, nullptr);
  GstPad* queue_sink = gst_element_get_static_pad(queue, "sink");
  linked = linked && gst_pad_link(record_tee_pad_, queue_sink) == GST_PAD_LINK_OK;
  gst_object_unref(queue_sink);
  return linked;
}

void LiveSession::FinishRecording() {
  if (record_queue_ == nullptr || record_sink_ == nullptr) return;
  // Drain only the recording branch: cut it from the tee, push an end of
  // stream into it and wait until the file sink has it (the muxer has then
  // written its final index).
  struct Drain {
    std::mutex mutex;
    std::condition_variable done_cv;
    bool done = false;
  };
  auto drain = std::make_shared<Drain>();
  GstPad* sink_pad = gst_element_get_static_pad(record_sink_, "sink");
  auto* held = new std::shared_ptr<Drain>(drain);
  const gulong probe = gst_pad_add_probe(
      sink_pad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM,
      [](GstPad*, GstPadProbeInfo* info, gpointer data) {
        if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_EOS) {
          auto& d = **static_cast<std::shared_ptr<Drain>*>(data);
          std::lock_guard lock(d.mutex);
          d.done = true;
          d.done_cv.notify_all();
        }
        return GST_PAD_PROBE_OK;
      },
      held, [](gpointer data) { delete static_cast<std::shared_ptr<Drain>*>(data); });
  GstPad* queue_sink = gst_element_get_static_pad(record_queue_, "sink");
  if (record_tee_pad_ != nullptr) gst_pad_unlink(record_tee_pad_, queue_sink);
  gst_pad_send_event(queue_sink, gst_event_new_eos());
  gst_object_unref(queue_sink);
  {
    std::unique_lock lock(drain->mutex);
    if (!drain->done_cv.wait_for(lock, kDrainTimeout, [&] { return drain->done; })) {
      emit logText("Recording did not finish in time: " + recording_file_);
    }
  }
  gst_pad_remove_probe(sink_pad, probe);
  gst_object_unref(sink_pad);
}

void LiveSession::RollOver() {
  if (record_queue_ == nullptr) return;
  emit logText("Recording goes on in the next file: " + recording_file_);
  FinishRecording();
  for (GstElement* e : record_elements_) {
    gst_element_set_state(e, GST_STATE_NULL);
    gst_bin_remove(GST_BIN(pipeline_.get()), e);
  }
  record_elements_.clear();
  record_queue_ = record_sink_ = record_mux_ = nullptr;
  if (record_tee_pad_ != nullptr) {
    gst_element_release_request_pad(tee_, record_tee_pad_);
    gst_object_unref(record_tee_pad_);
    record_tee_pad_ = nullptr;
  }
  recording_file_ = NumberedFileName(options_.record_file, ++file_index_);
  if (!BuildRecordBranch(codec_)) emit logText("Recording cannot be set up: " + recording_file_);
}

void LiveSession::ScheduleReconnect() {
  const int delay_ms = backoff_.NextDelayMs();
  emit logText(QString("Retry in %1 ms: %2").arg(delay_ms).arg(options_.url));
  reconnect_timer_.start(delay_ms);
}

// ---- GUI-thread halves -------------------------------------------------

void LiveSession::OnBusMessage(const GstMessagePtr& message, unsigned pipeline_generation) {
  if (pipeline_generation != pipeline_generation_ || !pipeline_) return;
  GstObject* src = GST_MESSAGE_SRC(message.get());
  if (src == nullptr || !gst_object_has_as_ancestor(src, GST_OBJECT(pipeline_.get()))) return;
  const bool from_source = source_bin_ != nullptr && gst_object_has_as_ancestor(src, GST_OBJECT(source_bin_));
  const QString text = QString::fromStdString(DescribeMessage(message.get()));
  if (GST_MESSAGE_TYPE(message.get()) == GST_MESSAGE_ERROR) {
    if (from_source) {
      OnSourceEnded(source_generation_, text);
    } else {
      emit logText("Video error: " + text);
    }
  }
}

void LiveSession::OnSourcePad(GstPad* pad, GstCaps* caps, gulong block_probe, unsigned source_generation) {
  if (source_generation != source_generation_ || source_bin_ == nullptr || source_pad_ != nullptr) {
    gst_pad_remove_probe(pad, block_probe);
    return;
  }
  const char* name = gst_structure_get_name(gst_caps_get_structure(caps, 0));
  const Codec codec = g_str_equal(name, "video/x-h264")   ? Codec::kH264
                      : g_str_equal(name, "video/x-h265") ? Codec::kH265
                                                          : Codec::kOther;
  if (first_caps_ == nullptr) {
    first_caps_ = gst_caps_ref(caps);
    codec_ = codec;
    if (!recording_file_.isEmpty() && !BuildRecordBranch(codec)) {
      emit logText("Recording cannot be set up: " + recording_file_);
    }
  } else if (!SameFormat(first_caps_, caps)) {
    // Another format: the muxer cannot take it into the same file. Start
    // over with a new pipeline and, when recording, the next file.
    gst_pad_remove_probe(pad, block_probe);
    emit logText("Stream format changed: " + options_.url);
    const bool recording = !recording_file_.isEmpty();
    FinishRecording();
    TearDownPipeline();
    if (recording) recording_file_ = NumberedFileName(options_.record_file, ++file_index_);
    if (BuildPipeline() && ConnectSource()) {
      gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING);
    }
    return;
  }
  GstPad* ghost = gst_ghost_pad_new("src", pad);
  gst_pad_set_active(ghost, TRUE);
  gst_element_add_pad(source_bin_, ghost);
  source_event_probe_ =
      gst_pad_add_probe(ghost, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, SourceEventProbe, this, nullptr);
  source_probe_pad_ = ghost;
  GstPad* tee_sink = gst_element_get_static_pad(tee_, "sink");
  if (gst_pad_link(ghost, tee_sink) != GST_PAD_LINK_OK) emit logText("Stream cannot be linked: " + options_.url);
  gst_object_unref(tee_sink);
  source_pad_ = ghost;
  gate_open_ = false;  // this connection's recording starts at its first keyframe
  gst_pad_remove_probe(pad, block_probe);
}

void LiveSession::OnSourceEnded(unsigned source_generation, const QString& reason) {
  if (source_generation != source_generation_ || !pipeline_) return;
  const bool was_connected = connected_;
  DropSource();
  connected_ = false;
  live_ = false;
  if (was_connected) {
    emit streamLost(reason);
  } else {
    emit logText("Connection failed: " + reason);
  }
  ScheduleReconnect();
}

void LiveSession::OnFrame() {
  frame_pending_ = false;
  if (!pipeline_) return;
  if (!connected_ && source_pad_ != nullptr) {
    connected_ = true;
    live_ = true;
    backoff_.Reset();
    if (ever_live_) {
      emit streamBack();
    } else {
      ever_live_ = true;
      emit firstFrame();
    }
  }
  emit frameArrived();
}

void LiveSession::OnRecordingGateOpened(unsigned pipeline_generation) {
  if (pipeline_generation != pipeline_generation_ || recording_announced_) return;
  recording_announced_ = true;
  emit recordingStarted(recording_file_);
}

// ---- Streaming-thread callbacks: hand over, never touch GUI state --------

GstBusSyncReply LiveSession::BusSyncHandler(GstBus*, GstMessage* message, gpointer self) {
  auto* session = static_cast<LiveSession*>(self);
  const GstMessageType type = GST_MESSAGE_TYPE(message);
  if (type == GST_MESSAGE_ERROR || type == GST_MESSAGE_WARNING) {
    const unsigned generation = session->pipeline_generation_;
    GstMessagePtr held = TakeMessage(gst_message_ref(message));
    PostToGui(session, [session, held, generation] { session->OnBusMessage(held, generation); });
  }
  return GST_BUS_DROP;
}

gboolean LiveSession::OnRtspSelectStream(GstElement*, guint, GstCaps* caps, gpointer) {
  const GstStructure* s = gst_caps_get_structure(caps, 0);
  const char* media = s != nullptr ? gst_structure_get_string(s, "media") : nullptr;
  return media != nullptr && g_str_equal(media, "video");
}

void LiveSession::OnRtspPadAdded(GstElement* src, GstPad* pad, gpointer self) {
  GstObject* bin = gst_object_get_parent(GST_OBJECT(src));
  if (bin == nullptr) return;
  GstElement* watchdog = gst_bin_get_by_name(GST_BIN(bin), kWatchdogName);
  GstPad* watchdog_sink = watchdog != nullptr ? gst_element_get_static_pad(watchdog, "sink") : nullptr;
  GstCaps* caps = gst_pad_get_current_caps(pad);
  if (caps == nullptr) caps = gst_pad_query_caps(pad, nullptr);
  const GstStructure* s = caps != nullptr && gst_caps_get_size(caps) > 0 ? gst_caps_get_structure(caps, 0) : nullptr;
  const char* encoding = s != nullptr ? gst_structure_get_string(s, "encoding-name") : nullptr;
  if (watchdog_sink != nullptr && !gst_pad_is_linked(watchdog_sink)) {
    // H.264 and H.265 are depayloaded into whole access units (the RTP
    // marker bit ends one), so a frame sent in several slices stays one
    // timestamped buffer for the muxer. Anything else is left to parsebin.
    const bool h264 = encoding != nullptr && g_ascii_strcasecmp(encoding, "H264") == 0;
    const bool h265 = encoding != nullptr && g_ascii_strcasecmp(encoding, "H265") == 0;
    std::vector<GstElement*> chain;
    if (h264 || h265) {
      GstElement* filter = gst_element_factory_make("capsfilter", nullptr);
      GstCaps* au = gst_caps_new_simple(h264 ? "video/x-h264" : "video/x-h265", "alignment", G_TYPE_STRING,
                                        "au", nullptr);
      if (filter != nullptr) g_object_set(filter, "caps", au, nullptr);
      gst_caps_unref(au);
      chain = {gst_element_factory_make(h264 ? "rtph264depay" : "rtph265depay", nullptr), filter,
               gst_element_factory_make(h264 ? "h264parse" : "h265parse", nullptr)};
    } else {
      chain = {gst_element_factory_make("parsebin", nullptr)};
    }
    bool made = true;
    for (GstElement* e : chain) made = made && e != nullptr;
    if (made) {
      for (GstElement* e : chain) gst_bin_add(GST_BIN(bin), e);
      for (size_t i = 1; i < chain.size(); ++i) gst_element_link(chain[i - 1], chain[i]);
      for (auto it = chain.rbegin(); it != chain.rend(); ++it) gst_element_sync_state_with_parent(*it);
      if (chain.size() == 1) {
        // parsebin's pads come later: the watchdog stays in front of it.
        gst_element_link(watchdog, chain[0]);
        gst_pad_link(pad, watchdog_sink);
        g_signal_connect(chain[0], "pad-added", G_CALLBACK(OnParsebinPadAdded), self);
      } else {
        // The watchdog sits behind the parser, where a buffer is a whole
        // frame: fed once per frame rather than once per RTP packet (each
        // feed re-arms its timer, which costs more than the packet itself).
        gst_element_link(chain.back(), watchdog);
        GstPad* in = gst_element_get_static_pad(chain.front(), "sink");
        gst_pad_link(pad, in);
        gst_object_unref(in);
        GstPad* out = gst_element_get_static_pad(watchdog, "src");
        static_cast<LiveSession*>(self)->HandOverSourcePad(bin, out);
        gst_object_unref(out);
      }
    } else {
      for (GstElement* e : chain) {
        if (e != nullptr) gst_object_unref(gst_object_ref_sink(e));
      }
    }
  }
  if (caps != nullptr) gst_caps_unref(caps);
  if (watchdog_sink != nullptr) gst_object_unref(watchdog_sink);
  if (watchdog != nullptr) gst_object_unref(watchdog);
  gst_object_unref(bin);
}

void LiveSession::HandOverSourcePad(GstObject* bin, GstPad* pad) {
  GstCaps* caps = gst_pad_get_current_caps(pad);
  if (caps == nullptr) caps = gst_pad_query_caps(pad, nullptr);
  const unsigned generation = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(bin), kGenerationKey));
  // Held until the GUI thread has linked the pad into the pipeline.
  const gulong probe = gst_pad_add_probe(
      pad, GST_PAD_PROBE_TYPE_BLOCK_DOWNSTREAM,
      [](GstPad*, GstPadProbeInfo*, gpointer) { return GST_PAD_PROBE_OK; }, nullptr, nullptr);
  PadPtr held_pad = HoldPad(GST_PAD(gst_object_ref(pad)));
  CapsPtr held_caps = HoldCaps(caps);
  PostToGui(this, [this, held_pad, held_caps, probe, generation] {
    OnSourcePad(held_pad.get(), held_caps.get(), probe, generation);
  });
}

void LiveSession::OnParsebinPadAdded(GstElement* parsebin, GstPad* pad, gpointer self) {
  GstCaps* caps = gst_pad_get_current_caps(pad);
  if (caps == nullptr) caps = gst_pad_query_caps(pad, nullptr);
  GstObject* bin = gst_object_get_parent(GST_OBJECT(parsebin));
  if (bin == nullptr) {
    gst_caps_unref(caps);
    return;
  }
  if (!IsVideoCaps(caps)) {
    // Audio or data beside the video: swallowed inside the source bin.
    GstElement* sink = gst_element_factory_make("fakesink", nullptr);
    if (sink != nullptr) {
      g_object_set(sink, "sync", FALSE, "async", FALSE, nullptr);
      gst_bin_add(GST_BIN(bin), sink);
      gst_element_sync_state_with_parent(sink);
      GstPad* sink_pad = gst_element_get_static_pad(sink, "sink");
      gst_pad_link(pad, sink_pad);
      gst_object_unref(sink_pad);
    }
    gst_caps_unref(caps);
    gst_object_unref(bin);
    return;
  }
  static_cast<LiveSession*>(self)->HandOverSourcePad(bin, pad);
  gst_caps_unref(caps);
  gst_object_unref(bin);
}

int LiveSession::OnDecodebinAutoplugSelect(GstElement*, GstPad*, GstCaps* caps, GstElementFactory* factory,
                                           gpointer) {
  // decodebin's answers (GstAutoplugSelectResult): try the factory, or skip it.
  constexpr int kTry = 0;
  constexpr int kSkip = 2;
  // The source bin hands over a parsed stream; a second parser in front of
  // the decoder would parse every frame again for nothing.
  if (caps == nullptr || gst_caps_get_size(caps) == 0) return kTry;
  const GstStructure* s = gst_caps_get_structure(caps, 0);
  gboolean parsed = FALSE;
  const char* klass = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS);
  if (gst_structure_get_boolean(s, "parsed", &parsed) && parsed && klass != nullptr &&
      std::strstr(klass, "Parser") != nullptr) {
    return kSkip;
  }
  return kTry;
}

void LiveSession::OnDecoderAdded(GstBin*, GstBin*, GstElement* element, gpointer) {
  // A wall decodes up to sixteen streams at once, which already keeps every
  // core busy; a decoder's own worker threads would only add a hand-over
  // (and a frame of latency) per frame. One thread per stream is enough for
  // a camera's main stream shown full screen as well.
  if (g_object_class_find_property(G_OBJECT_GET_CLASS(element), "max-threads") != nullptr) {
    g_object_set(element, "max-threads", 1, nullptr);
  }
}

void LiveSession::OnDecodebinPadAdded(GstElement*, GstPad* pad, gpointer target) {
  GstCaps* caps = gst_pad_get_current_caps(pad);
  if (caps == nullptr) caps = gst_pad_query_caps(pad, nullptr);
  const bool video = caps != nullptr && gst_caps_get_size(caps) > 0 &&
                     g_str_has_prefix(gst_structure_get_name(gst_caps_get_structure(caps, 0)), "video/");
  if (caps != nullptr) gst_caps_unref(caps);
  if (!video) return;
  GstPad* sink = gst_element_get_static_pad(GST_ELEMENT(target), "sink");
  if (!gst_pad_is_linked(sink)) gst_pad_link(pad, sink);
  gst_object_unref(sink);
}

GstPadProbeReturn LiveSession::SourceEventProbe(GstPad* pad, GstPadProbeInfo* info, gpointer self) {
  if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) != GST_EVENT_EOS) return GST_PAD_PROBE_OK;
  // The live source ended (a TCP RTSP source's camera went away): a loss.
  // The end of stream goes no further, or it would close the recording.
  auto* session = static_cast<LiveSession*>(self);
  unsigned generation = 0;
  if (GstObject* bin = gst_object_get_parent(GST_OBJECT(pad))) {
    generation = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(bin), kGenerationKey));
    gst_object_unref(bin);
  }
  PostToGui(session, [session, generation] { session->OnSourceEnded(generation, "end of stream"); });
  return GST_PAD_PROBE_DROP;
}

GstPadProbeReturn LiveSession::KeyframeGateProbe(GstPad*, GstPadProbeInfo* info, gpointer self) {
  auto* session = static_cast<LiveSession*>(self);
  if (session->gate_open_) return GST_PAD_PROBE_OK;
  GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
  if (GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_DELTA_UNIT)) return GST_PAD_PROBE_DROP;
  session->gate_open_ = true;
  const unsigned generation = session->pipeline_generation_;
  PostToGui(session, [session, generation] { session->OnRecordingGateOpened(generation); });
  return GST_PAD_PROBE_OK;
}

GstPadProbeReturn LiveSession::SpaceOutSyncProbe(GstPad*, GstPadProbeInfo* info, gpointer last_sync_us) {
  GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
  if (!GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_SYNC_AFTER)) return GST_PAD_PROBE_OK;
  gint64& last = *static_cast<gint64*>(last_sync_us);
  const gint64 now = g_get_monotonic_time();
  if (last == 0 || now - last >= kDurableEveryUs) {
    last = now;
    return GST_PAD_PROBE_OK;
  }
  buffer = gst_buffer_make_writable(buffer);
  GST_BUFFER_FLAG_UNSET(buffer, GST_BUFFER_FLAG_SYNC_AFTER);
  GST_PAD_PROBE_INFO_DATA(info) = buffer;
  return GST_PAD_PROBE_OK;
}

GstFlowReturn LiveSession::OnNewSample(GstElement* appsink, gpointer self) {
  auto* session = static_cast<LiveSession*>(self);
  GstSample* sample = gst_app_sink_pull_sample(GST_APP_SINK(appsink));
  if (sample == nullptr) return GST_FLOW_OK;
  const bool stored = session->frames_->Put(sample);
  gst_sample_unref(sample);
  // One repaint request in flight at a time; the GUI thread takes the
  // newest frame when it gets to it.
  if (stored && !session->frame_pending_.exchange(true)) {
    PostToGui(session, [session] { session->OnFrame(); });
  }
  return GST_FLOW_OK;
}

}  // namespace korvel
