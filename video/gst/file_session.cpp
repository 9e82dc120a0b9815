#include "video/gst/file_session.h"

#include <gst/app/gstappsink.h>

#include <algorithm>

#include <QFile>
#include <QFileInfo>

namespace korvel {

FileSession::FileSession(QString path, QSize frame_size, FrameSlot* frames, QObject* parent)
    : QObject(parent), path_(std::move(path)), frame_size_(frame_size), frames_(frames) {
  EnsureGstreamer();
  position_timer_.setInterval(kPositionPeriodMs);
  connect(&position_timer_, &QTimer::timeout, this, [this] { emit positionChanged(PositionFrame()); });
}

FileSession::~FileSession() {
  position_timer_.stop();
  if (playbin_) {
    GstBus* bus = gst_element_get_bus(playbin_.get());
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    gst_object_unref(bus);
    gst_element_set_state(playbin_.get(), GST_STATE_NULL);
  }
}

bool FileSession::Open() {
  const QFileInfo info(path_);
  if (!info.isFile() || !info.isReadable()) {
    emit logText("Not a playable file: " + path_);
    return false;
  }
  GstElement* playbin = MakeElement("playbin");
  GstElement* bin = gst_bin_new(nullptr);
  GstElement* scale = MakeElement("videoscale");
  GstElement* convert = MakeElement("videoconvert");
  frame_caps_ = MakeElement("capsfilter");
  appsink_ = MakeElement("appsink");
  if (playbin == nullptr || scale == nullptr || convert == nullptr || frame_caps_ == nullptr ||
      appsink_ == nullptr) {
    for (GstElement* e : {playbin, bin, scale, convert, frame_caps_, appsink_}) {
      if (e != nullptr) gst_object_unref(gst_object_ref_sink(e));
    }
    frame_caps_ = appsink_ = nullptr;
    emit logText("Playback cannot be set up (GStreamer plugins missing)");
    return false;
  }
  playbin_.Reset(GST_ELEMENT(gst_object_ref_sink(playbin)));
  SetFrameSize(frame_size_);
  g_object_set(appsink_, "max-buffers", 1u, "drop", TRUE, "sync", TRUE, "enable-last-sample", FALSE,
               nullptr);
  GstAppSinkCallbacks callbacks{};
  callbacks.new_sample = [](GstAppSink* sink, gpointer self) { return OnNewSample(GST_ELEMENT(sink), self); };
  // The first frame of a paused (prerolled) pipeline is shown too.
  callbacks.new_preroll = [](GstAppSink* sink, gpointer self) {
    auto* session = static_cast<FileSession*>(self);
    if (GstSample* sample = gst_app_sink_pull_preroll(sink)) {
      const bool stored = session->frames_->Put(sample);
      gst_sample_unref(sample);
      if (stored && !session->frame_pending_.exchange(true)) {
        QMetaObject::invokeMethod(session, [session] { session->OnFrame(); }, Qt::QueuedConnection);
      }
    }
    return GST_FLOW_OK;
  };
  gst_app_sink_set_callbacks(GST_APP_SINK(appsink_), &callbacks, this, nullptr);
  gst_bin_add_many(GST_BIN(bin), scale, convert, frame_caps_, appsink_, nullptr);
  gst_element_link_many(scale, convert, frame_caps_, appsink_, nullptr);
  GstPad* scale_sink = gst_element_get_static_pad(scale, "sink");
  gst_element_add_pad(bin, gst_ghost_pad_new("sink", scale_sink));
  gst_object_unref(scale_sink);

  gchar* uri = gst_filename_to_uri(QFile::encodeName(info.absoluteFilePath()).constData(), nullptr);
  g_object_set(playbin_.get(), "uri", uri, "video-sink", bin, nullptr);
  g_free(uri);
  gst_util_set_object_arg(G_OBJECT(playbin_.get()), "flags", "video");

  GstBus* bus = gst_element_get_bus(playbin_.get());
  gst_bus_set_sync_handler(bus, BusSyncHandler, this, nullptr);
  gst_object_unref(bus);
  SetPlaying(true);
  return true;
}

void FileSession::SetPlaying(bool playing) {
  if (!playbin_) return;
  playing_ = playing;
  if (playing && at_end_) {
    // Played to the end: play again from the start.
    at_end_ = false;
    gst_element_seek_simple(playbin_.get(), GST_FORMAT_TIME, GstSeekFlags(GST_SEEK_FLAG_FLUSH), 0);
  }
  stopped_ = false;
  gst_element_set_state(playbin_.get(), playing ? GST_STATE_PLAYING : GST_STATE_PAUSED);
  if (playing && opened_) {
    position_timer_.start();
  } else {
    position_timer_.stop();
  }
}

void FileSession::Play() { SetPlaying(true); }
void FileSession::Resume() { SetPlaying(true); }
void FileSession::Pause() { SetPlaying(false); }

void FileSession::Stop() {
  if (!playbin_) return;
  position_timer_.stop();
  playing_ = false;
  stopped_ = true;
  at_end_ = false;
  gst_element_set_state(playbin_.get(), GST_STATE_READY);
  frames_->Clear();
  emit frameArrived();
}

void FileSession::SeekToFrame(qint64 frame) {
  if (!playbin_ || fps_num_ <= 0) return;
  const qint64 last = frame_count_ > 0 ? frame_count_ - 1 : 0;
  frame = std::clamp<qint64>(frame, 0, last);
  const gint64 position =
      static_cast<gint64>(gst_util_uint64_scale(static_cast<guint64>(frame), GST_SECOND * fps_den_, fps_num_));
  if (stopped_) SetPlaying(false);  // a seek needs a paused or playing pipeline
  at_end_ = false;
  gst_element_seek_simple(playbin_.get(), GST_FORMAT_TIME,
                          GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), position);
}

void FileSession::SetFrameSize(QSize size) {
  frame_size_ = size;
  if (frame_caps_ != nullptr) {
    GstCaps* caps = NewFrameCaps(size);
    g_object_set(frame_caps_, "caps", caps, nullptr);
    gst_caps_unref(caps);
  }
}

qint64 FileSession::PositionNs() const {
  if (!playbin_ || stopped_) return 0;
  gint64 position = 0;
  if (!gst_element_query_position(playbin_.get(), GST_FORMAT_TIME, &position) || position < 0) return 0;
  return duration_ns_ > 0 ? std::min<qint64>(position, duration_ns_) : position;
}

qint64 FileSession::Position100ns() const { return PositionNs() / 100; }

qint64 FileSession::PositionFrame() const {
  if (fps_num_ <= 0) return 0;
  const qint64 frame = static_cast<qint64>(
      gst_util_uint64_scale(static_cast<guint64>(PositionNs()), fps_num_, GST_SECOND * fps_den_));
  return frame_count_ > 0 ? std::min(frame, frame_count_ - 1) : frame;
}

void FileSession::ReadStreamFacts() {
  gint64 duration = 0;
  if (gst_element_query_duration(playbin_.get(), GST_FORMAT_TIME, &duration) && duration > 0) {
    duration_ns_ = duration;
  }
  GstPad* pad = gst_element_get_static_pad(appsink_, "sink");
  if (GstCaps* caps = gst_pad_get_current_caps(pad)) {
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    int num = 0;
    int den = 1;
    if (gst_structure_get_fraction(s, "framerate", &num, &den) && num > 0 && den > 0) {
      fps_num_ = num;
      fps_den_ = den;
    }
    gst_caps_unref(caps);
  }
  gst_object_unref(pad);
  frame_count_ = fps_num_ > 0 ? static_cast<qint64>(gst_util_uint64_scale_round(
                                    static_cast<guint64>(duration_ns_), fps_num_, GST_SECOND * fps_den_))
                              : 0;
}

void FileSession::OnBusMessage(const GstMessagePtr& message) {
  if (!playbin_) return;
  switch (GST_MESSAGE_TYPE(message.get())) {
    case GST_MESSAGE_ASYNC_DONE:
      if (!opened_) {
        ReadStreamFacts();
        opened_ = true;
        emit opened();
        if (playing_) position_timer_.start();
      }
      break;
    case GST_MESSAGE_DURATION_CHANGED:
      if (opened_) ReadStreamFacts();
      break;
    case GST_MESSAGE_EOS:
      at_end_ = true;
      playing_ = false;
      position_timer_.stop();
      gst_element_set_state(playbin_.get(), GST_STATE_PAUSED);
      emit positionChanged(frame_count_ > 0 ? frame_count_ - 1 : PositionFrame());
      emit ended();
      break;
    case GST_MESSAGE_ERROR:
      position_timer_.stop();
      playing_ = false;
      emit logText("Playback error: " + QString::fromStdString(DescribeMessage(message.get())));
      break;
    default:
      break;
  }
}

void FileSession::OnFrame() {
  frame_pending_ = false;
  emit frameArrived();
}

GstBusSyncReply FileSession::BusSyncHandler(GstBus*, GstMessage* message, gpointer self) {
  switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ASYNC_DONE:
    case GST_MESSAGE_DURATION_CHANGED:
    case GST_MESSAGE_EOS:
    case GST_MESSAGE_ERROR: {
      auto* session = static_cast<FileSession*>(self);
      GstMessagePtr held = TakeMessage(gst_message_ref(message));
      QMetaObject::invokeMethod(session, [session, held] { session->OnBusMessage(held); },
                                Qt::QueuedConnection);
      break;
    }
    default:
      break;
  }
  return GST_BUS_DROP;
}

GstFlowReturn FileSession::OnNewSample(GstElement* appsink, gpointer self) {
  auto* session = static_cast<FileSession*>(self);
  GstSample* sample = gst_app_sink_pull_sample(GST_APP_SINK(appsink));
  if (sample == nullptr) return GST_FLOW_OK;
  const bool stored = session->frames_->Put(sample);
  gst_sample_unref(sample);
  if (stored && !session->frame_pending_.exchange(true)) {
    QMetaObject::invokeMethod(session, [session] { session->OnFrame(); }, Qt::QueuedConnection);
  }
  return GST_FLOW_OK;
}

}  // namespace korvel
