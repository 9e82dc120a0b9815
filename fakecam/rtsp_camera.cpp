#include "fakecam/rtsp_camera.h"

#include <string>

namespace korvel::fakecam {
namespace {

// The picture's text elements are named in the launch description and given
// their texts as properties when a media is made, so no name from the
// command line is ever parsed as part of a pipeline description.
constexpr char kNameOverlay[] = "camera_name";

void OnMediaConfigure(GstRTSPMediaFactory*, GstRTSPMedia* media, gpointer user_data) {
  const auto* options = static_cast<const CameraOptions*>(user_data);
  GstElement* bin = gst_rtsp_media_get_element(media);
  if (bin == nullptr) return;
  if (GstElement* overlay = gst_bin_get_by_name(GST_BIN(bin), kNameOverlay)) {
    g_object_set(overlay, "text", options->name.c_str(), nullptr);
    gst_object_unref(overlay);
  }
  gst_object_unref(bin);
}

GstRTSPFilterResult RemoveClient(GstRTSPServer*, GstRTSPClient*, gpointer) {
  return GST_RTSP_FILTER_REMOVE;
}

bool HaveElement(const char* factory_name) {
  GstElementFactory* factory = gst_element_factory_find(factory_name);
  if (factory == nullptr) return false;
  gst_object_unref(factory);
  return true;
}

}  // namespace

RtspCamera::RtspCamera(CameraOptions options) : options_(std::move(options)) {}

void RtspCamera::NewFactory() {
  // A fresh factory per start: a shared factory keeps its media, and a
  // camera started again must not hand out the stream it dropped.
  factory_.Reset(gst_rtsp_media_factory_new());
  gst_rtsp_media_factory_set_launch(factory_.get(), LaunchDescription().c_str());
  // One encoder per camera, however many clients watch it.
  gst_rtsp_media_factory_set_shared(factory_.get(), TRUE);
  g_signal_connect(factory_.get(), "media-configure", G_CALLBACK(OnMediaConfigure), &options_);
}

RtspCamera::~RtspCamera() { Refuse(); }

std::string RtspCamera::LaunchDescription() const {
  // Only numbers are put into the description; texts are set as properties.
  const std::string caps = "video/x-raw,width=" + std::to_string(options_.width) +
                           ",height=" + std::to_string(options_.height) +
                           ",framerate=" + std::to_string(options_.fps) + "/1";
  std::string text;
  // textoverlay and clockoverlay come with the Pango plugin; without it the
  // cameras still serve the moving bars.
  if (HaveElement("textoverlay") && HaveElement("clockoverlay")) {
    text = std::string(" ! textoverlay name=") + kNameOverlay +
           " valignment=top halignment=left font-desc=\"Sans 18\""
           " ! clockoverlay valignment=bottom halignment=right time-format=\"%H:%M:%S\""
           " font-desc=\"Sans 18\"";
  }
  // A keyframe every second, so a viewer or a recording starts within one.
  return "( videotestsrc is-live=true pattern=smpte horizontal-speed=2 ! " + caps + text +
         " ! videoconvert ! x264enc tune=zerolatency speed-preset=ultrafast"
         " key-int-max=" + std::to_string(options_.fps) +
         " bitrate=" + std::to_string(options_.bitrate_kbps) +
         " ! video/x-h264,profile=baseline ! rtph264pay name=pay0 pt=96 config-interval=-1 )";
}

std::string RtspCamera::Url() const {
  return "rtsp://" + options_.address + ":" + std::to_string(options_.port) + options_.mount;
}

const char* RtspCamera::StateName() const {
  if (!server_) return "refusing";
  return mounted_ ? "running" : "stopped";
}

bool RtspCamera::Listen(std::string* error) {
  if (server_) return true;
  GObjectRef<GstRTSPServer> server(gst_rtsp_server_new());
  gst_rtsp_server_set_address(server.get(), options_.address.c_str());
  gst_rtsp_server_set_service(server.get(), std::to_string(options_.port).c_str());
  GError* gerror = nullptr;
  GSource* source = gst_rtsp_server_create_source(server.get(), nullptr, &gerror);
  if (source == nullptr) {
    *error = gerror != nullptr ? gerror->message : "cannot listen";
    g_clear_error(&gerror);
    return false;
  }
  source_id_ = g_source_attach(source, nullptr);
  g_source_unref(source);  // the main context holds it now
  server_ = std::move(server);
  return true;
}

bool RtspCamera::Start(std::string* error) {
  if (!Listen(error)) return false;
  if (!mounted_) {
    NewFactory();
    GstRTSPMountPoints* mounts = gst_rtsp_server_get_mount_points(server_.get());
    g_object_ref(factory_.get());  // add_factory takes a reference
    gst_rtsp_mount_points_add_factory(mounts, options_.mount.c_str(), factory_.get());
    g_object_unref(mounts);
    mounted_ = true;
  }
  return true;
}

void RtspCamera::DropClients() {
  if (server_) gst_rtsp_server_client_filter(server_.get(), RemoveClient, nullptr);
}

void RtspCamera::Stop() {
  if (server_ && mounted_) {
    GstRTSPMountPoints* mounts = gst_rtsp_server_get_mount_points(server_.get());
    gst_rtsp_mount_points_remove_factory(mounts, options_.mount.c_str());
    g_object_unref(mounts);
  }
  mounted_ = false;
  DropClients();
}

void RtspCamera::Refuse() {
  Stop();
  if (source_id_ != 0) {
    // Destroying the source releases the listening socket, which closes it.
    if (GSource* source = g_main_context_find_source_by_id(nullptr, source_id_)) {
      g_source_destroy(source);
    }
    source_id_ = 0;
  }
  server_.Reset();
}

}  // namespace korvel::fakecam
