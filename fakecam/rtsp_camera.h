// RtspCamera: one test camera of fakecam, an RTSP server of its own on one
// port that serves an H.264 test picture (moving bars, the camera's name and
// a clock) at one mount.
//
// A camera can be in three states, driven by the control commands:
//   running  - the port accepts connections and the stream is served;
//   stopped  - the port accepts connections, but every client is dropped and
//              the mount is gone (a camera whose video died);
//   refusing - the port is closed: connections are refused (a camera that is
//              switched off or unplugged).
//
// Threads: every member runs on the thread of the GLib main context the
// server is attached to (fakecam's main loop). Not copyable.
#pragma once

#include <string>

#include <gst/rtsp-server/rtsp-server.h>

#include "video/gst/gobject_ref.h"

namespace korvel::fakecam {

struct CameraOptions {
  std::string name;             // shown in the picture
  std::string address = "127.0.0.1";
  int port = 0;
  std::string mount = "/live";
  int width = 640;
  int height = 360;
  int fps = 25;
  int bitrate_kbps = 600;
};

class RtspCamera {
 public:
  explicit RtspCamera(CameraOptions options);
  ~RtspCamera();
  RtspCamera(const RtspCamera&) = delete;
  RtspCamera& operator=(const RtspCamera&) = delete;

  // Each returns false with a reason in *error when it cannot do its work
  // (the port is taken, say); the camera then stays as it was.
  bool Start(std::string* error);  // -> running
  void Stop();                     // -> stopped
  void Refuse();                   // -> refusing

  const CameraOptions& Options() const { return options_; }
  std::string Url() const;
  const char* StateName() const;

 private:
  bool Listen(std::string* error);
  void NewFactory();
  void DropClients();
  std::string LaunchDescription() const;

  CameraOptions options_;
  korvel::GObjectRef<GstRTSPServer> server_;        // null while refusing
  korvel::GObjectRef<GstRTSPMediaFactory> factory_;
  guint source_id_ = 0;                     // the listening source in the main context
  bool mounted_ = false;
};

}  // namespace korvel::fakecam
