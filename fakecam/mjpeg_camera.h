// MjpegCamera: an HTTP camera serving motion JPEG
// (multipart/x-mixed-replace), the other kind of stream IP cameras offer.
// Any GET on its port is answered with the stream.
//
// Threads: GLib main loop thread only (frames are taken from the encoder by a
// main-loop timer, and written to the viewers without blocking).
#pragma once

#include <gio/gio.h>
#include <gst/gst.h>

#include <list>
#include <string>

#include "fakecam/rtsp_camera.h"
#include "video/gst/gobject_ref.h"

namespace korvel::fakecam {

class MjpegCamera {
 public:
  explicit MjpegCamera(CameraOptions options);
  ~MjpegCamera();
  MjpegCamera(const MjpegCamera&) = delete;
  MjpegCamera& operator=(const MjpegCamera&) = delete;

  bool Start(std::string* error);
  std::string Url() const;

 private:
  struct Viewer {
    korvel::GObjectRef<GSocketConnection> connection;
    std::string pending;  // bytes of the current part not yet written
    bool header_sent = false;
  };
  static gboolean OnIncoming(GSocketService*, GSocketConnection* connection, GObject*, gpointer self);
  static gboolean OnTick(gpointer self);
  void Tick();

  CameraOptions options_;
  korvel::GObjectRef<GstElement> pipeline_;
  GstElement* sink_ = nullptr;  // owned by pipeline_
  korvel::GObjectRef<GSocketService> service_;
  std::list<Viewer> viewers_;
  guint tick_id_ = 0;
};

}  // namespace korvel::fakecam
