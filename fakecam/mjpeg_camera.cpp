#include "fakecam/mjpeg_camera.h"

#include <gst/app/gstappsink.h>

namespace korvel::fakecam {
namespace {

constexpr char kBoundary[] = "fakecamframe";
// A viewer that falls this far behind is dropped rather than buffered.
constexpr size_t kMaxPendingBytes = 4u << 20;

}  // namespace

MjpegCamera::MjpegCamera(CameraOptions options) : options_(std::move(options)) {}

MjpegCamera::~MjpegCamera() {
  if (tick_id_ != 0) g_source_remove(tick_id_);
  if (service_) g_socket_service_stop(service_.get());
  if (pipeline_) gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
}

std::string MjpegCamera::Url() const {
  return "http://" + options_.address + ":" + std::to_string(options_.port) + "/";
}

bool MjpegCamera::Start(std::string* error) {
  const std::string description =
      "videotestsrc is-live=true pattern=ball ! video/x-raw,width=" + std::to_string(options_.width) +
      ",height=" + std::to_string(options_.height) + ",framerate=" + std::to_string(options_.fps) +
      "/1 ! videoconvert ! jpegenc quality=70 ! appsink name=sink max-buffers=2 drop=true sync=false";
  GError* gerror = nullptr;
  GstElement* pipeline = gst_parse_launch(description.c_str(), &gerror);
  if (pipeline == nullptr) {
    *error = gerror != nullptr ? gerror->message : "cannot build the encoder";
    g_clear_error(&gerror);
    return false;
  }
  g_clear_error(&gerror);
  pipeline_.Reset(GST_ELEMENT(gst_object_ref_sink(pipeline)));
  sink_ = gst_bin_get_by_name(GST_BIN(pipeline_.get()), "sink");
  gst_object_unref(sink_);  // the pipeline keeps it alive

  service_.Reset(g_socket_service_new());
  GInetAddress* inet = g_inet_address_new_from_string(options_.address.c_str());
  if (inet == nullptr) {
    *error = "bad address";
    return false;
  }
  GSocketAddress* address = g_inet_socket_address_new(inet, options_.port);
  g_object_unref(inet);
  const bool listening = g_socket_listener_add_address(G_SOCKET_LISTENER(service_.get()), address,
                                                       G_SOCKET_TYPE_STREAM, G_SOCKET_PROTOCOL_TCP,
                                                       nullptr, nullptr, &gerror);
  g_object_unref(address);
  if (!listening) {
    *error = gerror != nullptr ? gerror->message : "cannot listen";
    g_clear_error(&gerror);
    return false;
  }
  g_signal_connect(service_.get(), "incoming", G_CALLBACK(OnIncoming), this);
  g_socket_service_start(service_.get());
  gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING);
  tick_id_ = g_timeout_add(1000 / (2 * options_.fps) + 1, OnTick, this);
  return true;
}

gboolean MjpegCamera::OnIncoming(GSocketService*, GSocketConnection* connection, GObject*, gpointer self) {
  // The request itself is not read: whatever was asked, the stream is sent.
  auto* camera = static_cast<MjpegCamera*>(self);
  Viewer viewer;
  viewer.connection.Reset(G_SOCKET_CONNECTION(g_object_ref(connection)));
  viewer.pending = std::string("HTTP/1.0 200 OK\r\nCache-Control: no-cache\r\nConnection: close\r\n"
                               "Content-Type: multipart/x-mixed-replace;boundary=") +
                   kBoundary + "\r\n\r\n";
  camera->viewers_.push_back(std::move(viewer));
  return TRUE;
}

gboolean MjpegCamera::OnTick(gpointer self) {
  static_cast<MjpegCamera*>(self)->Tick();
  return G_SOURCE_CONTINUE;
}

void MjpegCamera::Tick() {
  std::string part;
  if (GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink_), 0)) {
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstMapInfo map;
    if (buffer != nullptr && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
      part = std::string("--") + kBoundary + "\r\nContent-Type: image/jpeg\r\nContent-Length: " +
             std::to_string(map.size) + "\r\n\r\n";
      part.append(reinterpret_cast<const char*>(map.data), map.size);
      part += "\r\n";
      gst_buffer_unmap(buffer, &map);
    }
    gst_sample_unref(sample);
  }
  for (auto it = viewers_.begin(); it != viewers_.end();) {
    // A viewer still busy with the previous frame skips this one.
    if (!part.empty() && (it->pending.empty() || !it->header_sent)) {
      it->pending += part;
      it->header_sent = true;
    }
    bool drop = it->pending.size() > kMaxPendingBytes;
    GOutputStream* out = g_io_stream_get_output_stream(G_IO_STREAM(it->connection.get()));
    while (!drop && !it->pending.empty()) {
      GError* error = nullptr;
      const gssize written = g_pollable_output_stream_write_nonblocking(
          G_POLLABLE_OUTPUT_STREAM(out), it->pending.data(), it->pending.size(), nullptr, &error);
      if (written < 0) {
        drop = !g_error_matches(error, G_IO_ERROR, G_IO_ERROR_WOULD_BLOCK);
        g_clear_error(&error);
        break;
      }
      it->pending.erase(0, static_cast<size_t>(written));
    }
    it = drop ? viewers_.erase(it) : std::next(it);
  }
}

}  // namespace korvel::fakecam
