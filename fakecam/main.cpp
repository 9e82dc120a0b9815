// fakecam: several RTSP test cameras in one process, for trying the driver
// and for its end-to-end tests. Usage is in usage_text below and in the
// README.
#include <glib-unix.h>
#include <gio/gio.h>
#include <gst/gst.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "fakecam/control.h"
#include "fakecam/mjpeg_camera.h"
#include "fakecam/rtsp_camera.h"

namespace korvel::fakecam {
namespace {

constexpr char kUsage[] =
    "usage: fakecam [options] NAME=PORT[/MOUNT] ...\n"
    "  each NAME=PORT[/MOUNT] serves one H.264 camera at rtsp://ADDRESS:PORT/MOUNT\n"
    "  (MOUNT defaults to live)\n"
    "options:\n"
    "  --address A       listen address (default 127.0.0.1)\n"
    "  --size WxH        picture size (default 640x360)\n"
    "  --fps N           frames per second (default 25)\n"
    "  --bitrate KBPS    H.264 bit rate (default 600)\n"
    "  --mjpeg NAME=PORT also serve one HTTP MJPEG camera at http://ADDRESS:PORT/\n"
    "  --control PORT    accept control commands on ADDRESS:PORT (TCP, one per line)\n"
    "control commands (standard input or control port): list, stop NAME, start NAME,\n"
    "  refuse NAME, quit; NAME may be * for every camera\n";

struct App {
  GMainLoop* loop = nullptr;
  std::vector<std::unique_ptr<RtspCamera>> cameras;
  std::unique_ptr<MjpegCamera> mjpeg;
};

void Say(const std::string& text) {
  std::fputs(text.c_str(), stdout);
  std::fflush(stdout);
}

CommandResult Run(App* app, const std::string& line) {
  CommandResult result = RunCommand(line, app->cameras);
  if (result.quit) g_main_loop_quit(app->loop);
  return result;
}

gboolean OnStdin(GIOChannel* channel, GIOCondition, gpointer data) {
  auto* app = static_cast<App*>(data);
  gchar* line = nullptr;
  gsize length = 0;
  GIOStatus status = g_io_channel_read_line(channel, &line, &length, nullptr, nullptr);
  if (status == G_IO_STATUS_EOF || status == G_IO_STATUS_ERROR) {
    g_free(line);
    return G_SOURCE_REMOVE;  // no more commands; the cameras keep running
  }
  if (line != nullptr) {
    std::string text(line, length);
    g_free(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    Say(Run(app, text).reply);
  }
  return G_SOURCE_CONTINUE;
}

// One control connection: reads lines, answers each.
struct ControlClient {
  App* app;
  GSocketConnection* connection;
  GDataInputStream* input;
};

void ReadNextLine(ControlClient* client);

void OnControlLine(GObject* source, GAsyncResult* res, gpointer data) {
  auto* client = static_cast<ControlClient*>(data);
  gsize length = 0;
  gchar* line = g_data_input_stream_read_line_finish(G_DATA_INPUT_STREAM(source), res, &length, nullptr);
  if (line == nullptr) {
    g_object_unref(client->input);
    g_object_unref(client->connection);
    delete client;
    return;
  }
  std::string text(line, length);
  g_free(line);
  while (!text.empty() && text.back() == '\r') text.pop_back();
  const CommandResult result = Run(client->app, text);
  GOutputStream* out = g_io_stream_get_output_stream(G_IO_STREAM(client->connection));
  g_output_stream_write_all(out, result.reply.data(), result.reply.size(), nullptr, nullptr, nullptr);
  ReadNextLine(client);
}

void ReadNextLine(ControlClient* client) {
  g_data_input_stream_read_line_async(client->input, G_PRIORITY_DEFAULT, nullptr, OnControlLine, client);
}

gboolean OnControlIncoming(GSocketService*, GSocketConnection* connection, GObject*, gpointer data) {
  auto* client = new ControlClient{static_cast<App*>(data), G_SOCKET_CONNECTION(g_object_ref(connection)),
                                   nullptr};
  client->input = g_data_input_stream_new(g_io_stream_get_input_stream(G_IO_STREAM(connection)));
  // A control line longer than this is not a command.
  g_buffered_input_stream_set_buffer_size(G_BUFFERED_INPUT_STREAM(client->input), 4096);
  ReadNextLine(client);
  return TRUE;
}

gboolean OnQuitSignal(gpointer data) {
  g_main_loop_quit(static_cast<App*>(data)->loop);
  return G_SOURCE_CONTINUE;
}

// Parses "NAME=PORT[/MOUNT]"; false when malformed.
bool ParseCamera(const std::string& arg, std::string* name, int* port, std::string* mount) {
  const size_t eq = arg.rfind('=');
  if (eq == std::string::npos || eq == 0) return false;
  *name = arg.substr(0, eq);
  std::string rest = arg.substr(eq + 1);
  const size_t slash = rest.find('/');
  if (slash != std::string::npos) {
    *mount = rest.substr(slash);
    rest.resize(slash);
  }
  char* end = nullptr;
  const long value = std::strtol(rest.c_str(), &end, 10);
  if (rest.empty() || *end != '\0' || value < 1 || value > 65535) return false;
  *port = static_cast<int>(value);
  return *mount != "/";
}

bool ParseSize(const std::string& text, int* width, int* height) {
  return std::sscanf(text.c_str(), "%dx%d", width, height) == 2 && *width >= 16 && *height >= 16 &&
         *width <= 4096 && *height <= 4096;
}

int Main(int argc, char** argv) {
  gst_init(&argc, &argv);
  App app;
  CameraOptions defaults;
  int control_port = 0;
  std::vector<std::string> camera_args;
  std::string mjpeg_arg;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "fakecam: %s needs a value\n%s", arg.c_str(), kUsage);
        std::exit(2);
      }
      return argv[++i];
    };
    if (arg == "--address") {
      defaults.address = value();
    } else if (arg == "--size") {
      if (!ParseSize(value(), &defaults.width, &defaults.height)) {
        std::fprintf(stderr, "fakecam: bad --size\n");
        return 2;
      }
    } else if (arg == "--fps") {
      defaults.fps = std::atoi(value().c_str());
    } else if (arg == "--bitrate") {
      defaults.bitrate_kbps = std::atoi(value().c_str());
    } else if (arg == "--mjpeg") {
      mjpeg_arg = value();
    } else if (arg == "--control") {
      control_port = std::atoi(value().c_str());
    } else if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    } else {
      camera_args.push_back(arg);
    }
  }
  if (defaults.fps < 1 || defaults.fps > 120 || defaults.bitrate_kbps < 16) {
    std::fprintf(stderr, "fakecam: bad --fps or --bitrate\n");
    return 2;
  }
  if (camera_args.empty() && mjpeg_arg.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  for (const std::string& arg : camera_args) {
    CameraOptions options = defaults;
    if (!ParseCamera(arg, &options.name, &options.port, &options.mount)) {
      std::fprintf(stderr, "fakecam: bad camera %s (want NAME=PORT[/MOUNT])\n", arg.c_str());
      return 2;
    }
    app.cameras.push_back(std::make_unique<RtspCamera>(options));
    std::string error;
    if (!app.cameras.back()->Start(&error)) {
      std::fprintf(stderr, "fakecam: camera %s: %s\n", options.name.c_str(), error.c_str());
      return 1;
    }
    Say("camera " + options.name + " " + app.cameras.back()->Url() + "\n");
  }
  if (!mjpeg_arg.empty()) {
    CameraOptions options = defaults;
    std::string mount;
    if (!ParseCamera(mjpeg_arg, &options.name, &options.port, &mount)) {
      std::fprintf(stderr, "fakecam: bad --mjpeg %s (want NAME=PORT)\n", mjpeg_arg.c_str());
      return 2;
    }
    app.mjpeg = std::make_unique<MjpegCamera>(options);
    std::string error;
    if (!app.mjpeg->Start(&error)) {
      std::fprintf(stderr, "fakecam: mjpeg camera %s: %s\n", options.name.c_str(), error.c_str());
      return 1;
    }
    Say("mjpeg " + options.name + " " + app.mjpeg->Url() + "\n");
  }

  app.loop = g_main_loop_new(nullptr, FALSE);
  GSocketService* control = nullptr;
  if (control_port > 0) {
    control = g_socket_service_new();
    GInetAddress* inet = g_inet_address_new_from_string(defaults.address.c_str());
    GSocketAddress* address = inet != nullptr ? g_inet_socket_address_new(inet, control_port) : nullptr;
    GError* error = nullptr;
    if (address == nullptr || !g_socket_listener_add_address(G_SOCKET_LISTENER(control), address,
                                                             G_SOCKET_TYPE_STREAM, G_SOCKET_PROTOCOL_TCP,
                                                             nullptr, nullptr, &error)) {
      std::fprintf(stderr, "fakecam: control port %d: %s\n", control_port,
                   error != nullptr ? error->message : "bad address");
      return 1;
    }
    g_object_unref(address);
    g_object_unref(inet);
    g_signal_connect(control, "incoming", G_CALLBACK(OnControlIncoming), &app);
    g_socket_service_start(control);
    Say("control " + defaults.address + ":" + std::to_string(control_port) + "\n");
  }
  GIOChannel* in = g_io_channel_unix_new(0);
  g_io_add_watch(in, GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR), OnStdin, &app);
  g_unix_signal_add(SIGINT, OnQuitSignal, &app);
  g_unix_signal_add(SIGTERM, OnQuitSignal, &app);
  Say("ready\n");

  g_main_loop_run(app.loop);

  if (control != nullptr) {
    g_socket_service_stop(control);
    g_object_unref(control);
  }
  g_io_channel_unref(in);
  app.cameras.clear();
  app.mjpeg.reset();
  g_main_loop_unref(app.loop);
  return 0;
}

}  // namespace
}  // namespace korvel::fakecam

int main(int argc, char** argv) { return korvel::fakecam::Main(argc, argv); }
